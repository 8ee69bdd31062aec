// bench-archive: packs a generated folder of table files at level 6 and unpacks it, our engines
// beside bsdtar, Python's zipfile and 7-Zip in one run, and prints each run against the fastest
// peer.
//
// Usage: bench-archive [--mb N] [--work DIR] [--repeat N] [--jobs N]
//   --mb N      size of the generated table sets in MB (default 180; small values for quick runs)
//   --work DIR  where the data and archives go (default a folder under /tmp, kept for reuse)
//   --repeat N  runs per program (default 1): the fastest counts, the median in the comparison
//               of whole unpacking processes below
//   --jobs N    records of the one large job-search table made beside the sets with the shared
//               sample generator (default 65000, three years of searches; 0 leaves it out)
// Output: one line per run, "name seconds bytes time_ratio size_ratio"; packing lines give the
// archive size, unpacking lines the bytes extracted; ratios are against the fastest peer.
// Then arcvane-unpack and bsdtar -xf, each as a child process, unpack our archive and bsdtar's in
// turn: whole-process wall, user and system time and the child's peak memory (getrusage), with
// the time ratio against bsdtar on the same archive.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive/pack/pack_engine.h"
#include "platform/drive_map.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"

namespace fs = std::filesystem;

namespace {

struct Table {
    const char* name;
    double share;  // of one table set's bytes
    int kind;      // 0 payments, 1 job search, 2 statistics, 3 lookup
};

// One table set, shaped like the program's own: two large record tables, statistics, pick lists.
const Table kTables[] = {
    {"PAVODEN2.DB", 0.22, 0},   {"jsearch2.DB", 0.40, 1},   {"STATS_JT.DB", 0.08, 2},
    {"STATS_ST.DB", 0.06, 2},   {"ST_2024_01.DB", 0.04, 2}, {"ST_2024_02.DB", 0.04, 2},
    {"ST_2024_03.DB", 0.04, 2}, {"JT_EDITS.DB", 0.05, 3},   {"CARRIER.DB", 0.02, 3},
    {"CONTACTS.DB", 0.03, 3},   {"CONFIG.DB", 0.01, 3},     {"DQ_STATES.DB", 0.01, 3},
};
const char* const kSets[] = {"db", "db/subsets/2022", "db/subsets/2023", "db/subsets/archive"};

const char* const kWords[] = {
    "engineer", "analyst",  "manager", "senior",  "junior",   "software",  "support", "payment",
    "cheque",   "carrier",  "retired", "spousal", "child",    "cleared",   "sent",    "received",
    "Austin",   "Dallas",   "Houston", "Denver",  "Boston",   "Seattle",   "Phoenix", "Tucson",
    "contract", "fulltime", "remote",  "onsite",  "followup", "interview", "offer",   "declined"};
const char* const kStates[] = {"TX", "CO", "MA", "WA", "OR", "AZ", "FL", "GA", "CA", "NY"};

std::string words(std::mt19937& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kWords[rng() % (sizeof kWords / sizeof *kWords)];
    }
    return s;
}

std::string date(std::mt19937& rng) {
    char b[16];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u", static_cast<unsigned>(2015 + rng() % 10),
                  static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
    return b;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(2);
    }
}

// Fills a table file with rows until it reaches about target bytes.
void make_table(const fs::path& path, std::uint64_t target, int kind, unsigned seed) {
    fs::remove(path);
    sqlite3* db = nullptr;
    check(sqlite3_open(path.c_str(), &db), db, "open");
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
    const char* create =
        kind == 0   ? "CREATE TABLE t(PK INTEGER PRIMARY KEY, ITEM TEXT, DATE_SENT TEXT, DATE_RCVD "
                      "TEXT, DATE_CLEARED TEXT, RETIRED_PAY REAL, SPOUSAL REAL, CHILD REAL, OTHER "
                      "REAL, CHEQUE_NO TEXT, CARRIER TEXT, DAYS1 INTEGER, DAYS2 INTEGER, NOTES TEXT)"
        : kind == 1 ? "CREATE TABLE t(PK INTEGER PRIMARY KEY, REFNUM INTEGER, CONTACT TEXT, CITY "
                      "TEXT, STATE TEXT, POS_TITLE TEXT, POS_TITLE_ORIGINAL TEXT, POS_TYPE TEXT, "
                      "DATE_SUBMITTED TEXT, REASON TEXT, ACTIVE TEXT, NOTES TEXT)"
        : kind == 2 ? "CREATE TABLE t(PK INTEGER PRIMARY KEY, CATEGORY TEXT, STATE TEXT, COUNT "
                      "INTEGER, SHARE REAL, MONTH TEXT)"
                    : "CREATE TABLE t(PK INTEGER PRIMARY KEY, VALUE TEXT, DESCRIPTION TEXT)";
    check(sqlite3_exec(db, create, nullptr, nullptr, nullptr), db, "create");
    const char* insert = kind == 0   ? "INSERT INTO t VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
                         : kind == 1 ? "INSERT INTO t VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"
                         : kind == 2 ? "INSERT INTO t VALUES(?,?,?,?,?,?)"
                                     : "INSERT INTO t VALUES(?,?,?)";
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, insert, -1, &st, nullptr), db, "prepare");
    std::mt19937 rng(seed);
    std::int64_t pk = 0;
    auto text = [&](int i, const std::string& s) {
        sqlite3_bind_text(st, i, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    };
    for (;;) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int r = 0; r < 2000; ++r) {
            ++pk;
            sqlite3_bind_int64(st, 1, pk);
            if (kind == 0) {
                text(2, words(rng, 2));
                text(3, date(rng));
                text(4, date(rng));
                text(5, date(rng));
                for (int c = 6; c <= 9; ++c) sqlite3_bind_double(st, c, (rng() % 500000) / 100.0);
                text(10, std::to_string(100000 + rng() % 900000));
                text(11, kWords[rng() % 8]);
                sqlite3_bind_int(st, 12, static_cast<int>(rng() % 60));
                sqlite3_bind_int(st, 13, static_cast<int>(rng() % 60));
                text(14, words(rng, static_cast<int>(rng() % 10)));
            } else if (kind == 1) {
                sqlite3_bind_int64(st, 2, pk - static_cast<std::int64_t>(rng() % 5));
                text(3, words(rng, 2));
                text(4, kWords[16 + rng() % 8]);
                text(5, kStates[rng() % 10]);
                text(6, words(rng, 3));
                text(7, words(rng, 4));
                text(8, kWords[24 + rng() % 4]);
                text(9, date(rng));
                text(10, words(rng, static_cast<int>(rng() % 4)));
                text(11, rng() % 3 ? "T" : "F");
                text(12, words(rng, static_cast<int>(rng() % 14)));
            } else if (kind == 2) {
                text(2, words(rng, 2));
                text(3, kStates[rng() % 10]);
                sqlite3_bind_int(st, 4, static_cast<int>(rng() % 1000));
                sqlite3_bind_double(st, 5, (rng() % 10000) / 100.0);
                text(6, date(rng).substr(0, 7));
            } else {
                text(2, words(rng, 1 + static_cast<int>(rng() % 3)));
                text(3, words(rng, static_cast<int>(rng() % 8)));
            }
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        std::error_code ec;
        if (fs::file_size(path, ec) >= target) break;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}

void generate(const fs::path& data, std::uint64_t total) {
    std::uint64_t per_set = total / (sizeof kSets / sizeof *kSets);
    unsigned seed = 1;
    for (const char* set : kSets) {
        fs::create_directories(data / set);
        for (const Table& t : kTables)
            make_table(
                data / set / t.name,
                std::max<std::uint64_t>(16384, static_cast<std::uint64_t>(per_set * t.share)),
                t.kind, seed++);
    }
}

// The job-search table of someone who has searched for years, written through the table layer
// with the shared sample generator: one member far larger than any of the sets'.
void generate_job_searches(const fs::path& folder, int count) {
    fs::create_directories(folder);
    const std::string logical = pavo::DriveMap::current().to_logical(folder);
    const pavo::store::TableSchema* schema = pavo::store::find_table_schema("jsearch2.DB");
    if (!schema) {
        std::fprintf(stderr, "bench-archive: no job-search table in the schema\n");
        std::exit(2);
    }
    pavo::store::TableSetCreator::create_table_in(logical, *schema);
    pavo::sample::Generator generator;
    pavo::tables::Table t;
    t.set_database_name(logical);
    t.set_table_name(schema->file_name);
    t.open();
    pavo::sample::append_rows(t, generator.job_searches(count));
}

std::uint64_t tree_bytes(const fs::path& root) {
    std::uint64_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) n += e.file_size();
    return n;
}

// CPU seconds of this process (all threads) and of its finished children.
double cpu_now() {
    double t = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        t += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
             static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return t;
}

// CPU seconds of the run seconds() last picked: on a shared machine wall time depends on the other
// load, CPU time much less, so both are shown.
double g_last_cpu = 0;

double seconds(const std::function<void()>& f, int repeat) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        double c0 = cpu_now();
        auto t0 = std::chrono::steady_clock::now();
        f();
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (t < best) {
            best = t;
            g_last_cpu = cpu_now() - c0;
        }
    }
    return best;
}

void sh(const std::string& cmd) {
    int st = std::system((cmd + " >/dev/null 2>&1").c_str());
    if (st != 0) std::fprintf(stderr, "bench-archive: command failed (%d): %s\n", st, cmd.c_str());
}

bool have(const std::string& p) {
    return std::system(("command -v " + p + " >/dev/null 2>&1").c_str()) == 0;
}

std::string q(const fs::path& p) {
    std::string s(1, '\'');
    s += p.string();
    s += '\'';
    return s;
}

struct Run {
    std::string name;
    double secs;
    std::uint64_t bytes;
    bool ours;
    double cpu = g_last_cpu;
};

void print(const std::vector<Run>& runs) {
    const Run* fastest = nullptr;
    for (const auto& r : runs)
        if (!r.ours && (!fastest || r.secs < fastest->secs)) fastest = &r;
    for (const auto& r : runs) {
        double tr = fastest ? r.secs / fastest->secs : 0;
        double sr = fastest && fastest->bytes ? static_cast<double>(r.bytes) / fastest->bytes : 0;
        std::printf("%-16s %8.3f %12llu %6.3f %6.3f\n", r.name.c_str(), r.secs,
                    static_cast<unsigned long long>(r.bytes), tr, sr);
    }
    for (const auto& r : runs) std::printf("# cpu %-16s %8.3f s\n", r.name.c_str(), r.cpu);
    std::fflush(stdout);
}

// One child process's whole run: wall time, CPU time and peak resident memory (getrusage).
struct ChildRun {
    double wall = 0, user = 0, sys = 0;
    double peak_mb = 0;
    int status = -1;  // exit status, -1 when it did not exit normally
};

// Children are started by a small launcher process forked before the benchmark grows: Linux counts
// the memory a child had before exec (a copy of its parent's) into its peak, so a child forked from
// this process would show this process's size instead of its own.
struct Launcher {
    int to = -1, from = -1;
};
Launcher g_launcher;

bool read_all(int fd, void* buf, std::size_t n) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool write_all(int fd, const void* buf, std::size_t n) {
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = write(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

// The launcher's loop: a command is a length and its arguments separated by NULs; the answer is
// the ChildRun.
[[noreturn]] void launcher_loop(int in, int out) {
    for (;;) {
        std::uint32_t len = 0;
        if (!read_all(in, &len, sizeof len) || len == 0) _exit(0);
        std::string text(len, '\0');
        if (!read_all(in, text.data(), len)) _exit(0);
        std::vector<char*> argv;
        for (std::size_t i = 0; i < text.size(); i += std::strlen(text.c_str() + i) + 1)
            argv.push_back(text.data() + i);
        argv.push_back(nullptr);
        ChildRun r;
        auto t0 = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
            }
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage ru{};
        if (pid > 0 && wait4(pid, &status, 0, &ru) == pid) {
            r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            r.user = static_cast<double>(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec / 1e6;
            r.sys = static_cast<double>(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec / 1e6;
            r.peak_mb = static_cast<double>(ru.ru_maxrss) / 1024.0;  // kilobytes on Linux
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (!write_all(out, &r, sizeof r)) _exit(0);
    }
}

void start_launcher() {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) return;
    pid_t pid = fork();
    if (pid == 0) {
        close(down[1]);
        close(up[0]);
        launcher_loop(down[0], up[1]);
    }
    close(down[0]);
    close(up[1]);
    if (pid < 0) return;
    g_launcher.to = down[1];
    g_launcher.from = up[0];
}

ChildRun run_child(const std::vector<std::string>& args) {
    ChildRun r;
    std::string text;
    for (const auto& a : args) text += a + '\0';
    const auto len = static_cast<std::uint32_t>(text.size());
    if (g_launcher.to < 0 || !write_all(g_launcher.to, &len, sizeof len) ||
        !write_all(g_launcher.to, text.data(), text.size()) ||
        !read_all(g_launcher.from, &r, sizeof r))
        std::fprintf(stderr, "bench-archive: the launcher is gone\n");
    return r;
}

// Unpacks each archive into an empty folder with arcvane-unpack and with bsdtar -xf, repeat times
// each, alternating, and prints the median run by wall time (peak memory: the largest seen).
void compare_unpacking(const std::vector<fs::path>& archives, const fs::path& work, int repeat) {
#ifdef PAVO_ARCVANE_UNPACK
    if (!have("bsdtar")) return;
    const fs::path d = work / "x-child";
    std::printf(
        "# unpacking as child processes, median of %d: wall user sys (s), peak MB, "
        "time ratio to bsdtar on the same archive\n",
        repeat);
    for (const fs::path& zip : archives) {
        if (!fs::exists(zip)) continue;
        std::vector<ChildRun> ours, peer;
        for (int i = 0; i < repeat; ++i) {
            for (int who : {0, 1}) {
                fs::remove_all(d);
                fs::create_directories(d);
                // Both start from a page cache that already holds the archive.
                ChildRun r = who == 0
                                 ? run_child({PAVO_ARCVANE_UNPACK, "-qq", "-o", zip.string(), "-d",
                                              d.string()})
                                 : run_child({"bsdtar", "-xf", zip.string(), "-C", d.string()});
                if (r.status != 0)
                    std::fprintf(stderr, "bench-archive: %s failed on %s (%d)\n",
                                 who == 0 ? "arcvane-unpack" : "bsdtar", zip.c_str(), r.status);
                (who == 0 ? ours : peer).push_back(r);
            }
        }
        auto median = [](std::vector<ChildRun> runs) {
            double peak = 0;
            for (const auto& r : runs) peak = std::max(peak, r.peak_mb);
            std::sort(runs.begin(), runs.end(),
                      [](const ChildRun& a, const ChildRun& b) { return a.wall < b.wall; });
            ChildRun m = runs[runs.size() / 2];
            m.peak_mb = peak;
            return m;
        };
        ChildRun o = median(ours), p = median(peer);
        for (const auto& [name, r] : {std::pair{"arcvane-unpack", o}, std::pair{"bsdtar -xf", p}})
            std::printf("unpack %-12s %-15s %7.3f %6.3f %6.3f %7.1f MB %6.3f\n",
                        zip.filename().c_str(), name, r.wall, r.user, r.sys, r.peak_mb,
                        r.wall / p.wall);
    }
    std::fflush(stdout);
#else
    (void)archives, (void)work, (void)repeat;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    start_launcher();
    std::uint64_t mb = 180;
    int repeat = 1, jobs = 65000;
    fs::path work = fs::temp_directory_path() / "pavo-bench-archive";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--mb")
            mb = std::strtoull(argv[i + 1], nullptr, 10);
        else if (a == "--work")
            work = argv[i + 1];
        else if (a == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--jobs")
            jobs = std::max(0, std::atoi(argv[i + 1]));
    }
    // The table layer finds its files through the drive map; give it a home of its own.
    fs::create_directories(work / "home");
    pavo::DriveMap::set_current_home(work / "home");
    std::string sz = have("7z") ? "7z" : have("7zz") ? "7zz" : "";
    fs::path data = work / ("data-" + std::to_string(mb) + "-" + std::to_string(jobs));
    if (!fs::exists(data / ".complete")) {
        std::fprintf(stderr, "generating %llu MB of table files and %d job searches in %s ...\n",
                     static_cast<unsigned long long>(mb), jobs, data.c_str());
        fs::remove_all(data);
        generate(data, mb << 20);
        if (jobs > 0) generate_job_searches(data / "jobsearch", jobs);
        std::FILE* f = std::fopen((data / ".complete").c_str(), "w");
        if (f) std::fclose(f);
    }
    fs::remove(data / ".complete");  // not part of the packed folder
    std::uint64_t in_bytes = tree_bytes(data);
    const std::uint64_t job_bytes =
        fs::exists(data / "jobsearch") ? tree_bytes(data / "jobsearch") : 0;
    std::printf(
        "# %llu bytes of table files: %zu sets and a job-search table of %llu bytes, "
        "level 6\n",
        static_cast<unsigned long long>(in_bytes), sizeof kSets / sizeof *kSets,
        static_cast<unsigned long long>(job_bytes));
    fs::path out = work / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    fs::path cwd = fs::current_path();

    std::vector<Run> pack;
    fs::current_path(data);
    // Ours twice: on every core, and on one worker thread to show what the second core brings.
    for (int workers : {0, 1}) {
        pavo::zip::set_pack_worker_threads(workers);
        fs::path zip = out / (workers ? "ours-1t.zip" : "ours.zip");
        double t = seconds(
            [&] {
                fs::remove(zip);
                std::vector<std::string> args{"arcvane-pack", "-r",         "-6", "-q",
                                              "-S",           zip.string(), "*"};
                std::vector<const char*> av;
                for (auto& s : args) av.push_back(s.c_str());
                int rc = pavo::zip::pack_main(static_cast<int>(av.size()), av.data(), {});
                if (rc != 0) std::fprintf(stderr, "pack failed: %d\n", rc);
            },
            repeat);
        pack.push_back({workers ? "pack-ours-1t" : "pack-ours", t, fs::file_size(zip), true});
    }
    pavo::zip::set_pack_worker_threads(0);
    if (have("bsdtar")) {
        fs::path zip = out / "bsdtar.zip";
        double t = seconds(
            [&] {
                fs::remove(zip);
                sh("bsdtar --format zip --options zip:compression-level=6 -cf " + q(zip) + " .");
            },
            repeat);
        pack.push_back({"pack-bsdtar", t, fs::file_size(zip), false});
    }
    if (have("python3")) {
        fs::path zip = out / "zipfile.zip";
        std::string script =
            "import os, sys, zipfile\n"
            "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:\n"
            "    for root, dirs, files in os.walk('.'):\n"
            "        for d in dirs: z.write(os.path.join(root, d))\n"
            "        for f in files: z.write(os.path.join(root, f))\n";
        double t = seconds(
            [&] {
                fs::remove(zip);
                sh("python3 -c \"" + script + "\" " + q(zip));
            },
            repeat);
        pack.push_back({"pack-zipfile", t, fs::file_size(zip), false});
    }
    if (!sz.empty()) {
        fs::path zip = out / "7z.zip";
        double t = seconds(
            [&] {
                fs::remove(zip);
                sh(sz + " a -tzip -mx=6 -mmt=1 " + q(zip) + " .");
            },
            repeat);
        pack.push_back({"pack-7z", t, fs::file_size(zip), false});
    }
    print(pack);

    // Every program unpacks the same archive (bsdtar's, else ours) into a fresh folder.
    fs::current_path(work);
    fs::path source = fs::exists(out / "bsdtar.zip") ? out / "bsdtar.zip" : out / "ours.zip";
    std::vector<Run> unpack;
    auto fresh = [&](const std::string& n) {
        fs::path d = work / ("x-" + n);
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    };
#ifdef PAVO_ARCVANE_UNPACK
    {
        fs::path d;
        double best = 1e30, cpu = 0;
        double t = seconds(
            [&] {
                d = fresh("ours");
                ChildRun r = run_child(
                    {PAVO_ARCVANE_UNPACK, "-qq", "-o", source.string(), "-d", d.string()});
                if (r.status != 0) std::fprintf(stderr, "unpack failed: %d\n", r.status);
                // The launcher's child is not ours to count: its CPU time comes back with it.
                if (r.wall < best) best = r.wall, cpu = r.user + r.sys;
            },
            repeat);
        unpack.push_back({"unpack-ours", t, tree_bytes(d), true, cpu});
    }
#endif
    if (have("bsdtar")) {
        fs::path d;
        double t = seconds(
            [&] {
                d = fresh("bsdtar");
                sh("bsdtar -xf " + q(source) + " -C " + q(d));
            },
            repeat);
        unpack.push_back({"unpack-bsdtar", t, tree_bytes(d), false});
    }
    if (have("python3")) {
        fs::path d;
        double t = seconds(
            [&] {
                d = fresh("zipfile");
                sh("python3 -c \"import sys, zipfile; "
                   "zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])\" " +
                   q(source) + " " + q(d));
            },
            repeat);
        unpack.push_back({"unpack-zipfile", t, tree_bytes(d), false});
    }
    if (!sz.empty()) {
        fs::path d;
        double t = seconds(
            [&] {
                d = fresh("7z");
                sh(sz + " x -y -mmt=1 -o" + q(d) + " " + q(source));
            },
            repeat);
        unpack.push_back({"unpack-7z", t, tree_bytes(d), false});
    }
    print(unpack);
    compare_unpacking({out / "ours.zip", out / "bsdtar.zip"}, work, repeat);
    for (const char* n : {"x-ours", "x-bsdtar", "x-zipfile", "x-7z", "x-child"})
        fs::remove_all(work / n);
    std::FILE* f = std::fopen((data / ".complete").c_str(), "w");
    if (f) std::fclose(f);
    fs::current_path(cwd);
    return 0;
}
