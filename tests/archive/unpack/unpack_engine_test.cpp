// Tests of the unpacking engine: extraction, listing, options, result codes, hostile and damaged
// input.
#include "archive/unpack/unpack_engine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "zip_builder.h"

// Members are written with designated initializers naming only the fields a case is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pavo::zip {
namespace {

namespace stdfs = std::filesystem;
using testing::build_zip;
using testing::BuildMember;

stdfs::path data_dir() {
    return PAVO_UNPACK_TEST_DATA;
}

std::string slurp(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const stdfs::path& p, const std::string& bytes) {
    stdfs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

struct RunResult {
    int code = -1;
    std::vector<std::string> messages;
    std::vector<MemberInfo> infos;
    std::vector<FileProgress> progress;
    std::optional<std::uint64_t> total;
    bool said(const std::string& part) const {
        for (const auto& m : messages)
            if (m.find(part) != std::string::npos) return true;
        return false;
    }
};

class Unpack : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string t = (stdfs::temp_directory_path() / "unpack-XXXXXX").string();
        ASSERT_NE(::mkdtemp(t.data()), nullptr);
        base_ = t;
        work_ = base_ / "work";
        stdfs::create_directories(work_);
        stdfs::create_directories(base_ / "home");
        DriveMap::set_current_home(base_ / "home");
        old_cwd_ = stdfs::current_path();
        stdfs::current_path(work_);
    }
    void TearDown() override {
        stdfs::current_path(old_cwd_);
        std::error_code ec;
        stdfs::remove_all(base_, ec);
    }

    // abort, when given, is polled with the run's record so far.
    RunResult run(std::vector<std::string> args,
                  std::function<bool(const RunResult&)> abort = nullptr) {
        args.insert(args.begin(), "unpack");
        std::vector<const char*> argv;
        for (auto& a : args) argv.push_back(a.c_str());
        RunResult r;
        UnpackCallbacks cb;
        cb.message = [&](const std::string& m) { r.messages.push_back(m); };
        cb.member_info = [&](const MemberInfo& m) { r.infos.push_back(m); };
        cb.progress = [&](const FileProgress& p) { r.progress.push_back(p); };
        cb.total_bytes = [&](std::uint64_t n) { r.total = n; };
        if (abort) cb.abort_requested = [&] { return abort(r); };
        r.code = unpack_main(static_cast<int>(argv.size()), argv.data(), cb);
        return r;
    }
    void write_archive(const std::string& bytes, const std::string& name = "a.zip") {
        spit(work_ / name, bytes);
    }
    // Every file below dir, relative, sorted; the engine's temporary files would show up here.
    std::vector<std::string> tree(const stdfs::path& dir) {
        std::vector<std::string> out;
        for (auto it = stdfs::recursive_directory_iterator(dir);
             it != stdfs::recursive_directory_iterator(); ++it)
            out.push_back(it->path().lexically_relative(dir).generic_string() +
                          (it->is_directory() && !it->is_symlink() ? "/" : ""));
        std::sort(out.begin(), out.end());
        return out;
    }

    stdfs::path base_, work_, old_cwd_;
};

TEST_F(Unpack, ExtractsFoldersFilesTimesAndModes) {
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) % 251);
    write_archive(build_zip({
        {.name = "folder1/",
         .data = "",
         .method = kMethodStored,
         .mtime = 1500000000,
         .unix_mode = 040755},
        {.name = "folder1/folder2/name.txt", .data = "hello\n", .mtime = 1600000000},
        {.name = "stored.bin", .data = big, .method = kMethodStored, .mtime = 1650000000},
        {.name = "deflated.bin", .data = big + big, .mtime = 1660000000, .unix_mode = 0100600},
        {.name = "empty.txt", .data = "", .mtime = 1670000000},
    }));
    RunResult r = run({"-qq", "-C", "-n", "-Ga", "0", "-Gb", "0", "\"a.zip\"", "-d", "\"out\""});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.messages.empty());  // -qq
    stdfs::path out = work_ / "out";
    EXPECT_EQ(tree(out),
              (std::vector<std::string>{"deflated.bin", "empty.txt", "folder1/", "folder1/folder2/",
                                        "folder1/folder2/name.txt", "stored.bin"}));
    EXPECT_EQ(slurp(out / "folder1/folder2/name.txt"), "hello\n");
    EXPECT_TRUE(slurp(out / "stored.bin") == big);
    EXPECT_TRUE(slurp(out / "deflated.bin") == big + big);
    EXPECT_EQ(stdfs::file_size(out / "empty.txt"), 0u);
    auto mtime = [](const stdfs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return static_cast<std::int64_t>(st.st_mtime);
    };
    EXPECT_EQ(mtime(out / "folder1/folder2/name.txt"), 1600000000);
    EXPECT_EQ(mtime(out / "deflated.bin"), 1660000000);
    EXPECT_EQ(mtime(out / "folder1"), 1500000000);  // set after its contents were written
    EXPECT_EQ(stdfs::status(out / "deflated.bin").permissions() & stdfs::perms::all,
              stdfs::perms::owner_read | stdfs::perms::owner_write);

    // Progress: the total first, every file ends done at 100 %, the run ends at 100 %.
    ASSERT_TRUE(r.total);
    EXPECT_EQ(*r.total, 6 + big.size() * 3);
    ASSERT_FALSE(r.progress.empty());
    EXPECT_EQ(r.progress.back().total_percent, 100);
    int done = 0;
    int last_total = 0;
    for (const auto& p : r.progress) {
        EXPECT_GE(p.total_percent, last_total);
        last_total = p.total_percent;
        if (p.done) {
            ++done;
            EXPECT_EQ(p.file_percent, 100) << p.name;
        }
    }
    EXPECT_EQ(done, 5);
}

TEST_F(Unpack, LogicalPathsGoThroughTheDriveMap) {
    // The archive and the extraction folder named as the program names them, in any case.
    spit(base_ / "home/drive_c/mydata/ZIP/b.zip",
         build_zip({{.name = "PAVODEN2.DB", .data = "rows"}}));
    stdfs::create_directories(base_ / "home/drive_c/mydata/KV-DB");
    RunResult r = run({"-o", "\"C:\\MYDATA\\zip\\b.zip\"", "-d", "\"c:\\mydata\\kv-db\\restore\"",
                       "-x", "\"*.px\""});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(slurp(base_ / "home/drive_c/mydata/KV-DB/restore/PAVODEN2.DB"), "rows");
    // A folder that cannot be made (a file is in its way) is refused before anything is written.
    spit(work_ / "blocker", "file");
    EXPECT_EQ(run({"-o", "c:\\mydata\\zip\\b.zip", "-d", "blocker/sub"}).code, 10);
}

TEST_F(Unpack, ExistingFilesFollowTheOverwriteOptions) {
    write_archive(
        build_zip({{.name = "Data/t.db", .data = "new"}, {.name = "fresh.txt", .data = "f"}}));
    struct Case {
        std::vector<std::string> options;
        std::string expected;
        int code;
    } cases[] = {
        {{"-n"}, "old", 0},
        {{"-o"}, "new", 0},
        {{"-n", "-o"}, "old", 0},  // -n wins
        {{}, "old", 1},            // no answer to the question: left alone, with a warning
    };
    for (const auto& c : cases) {
        stdfs::remove_all(work_ / "x");
        // An existing folder of another case is the same folder, as on the user's drive.
        spit(work_ / "x/data/t.db", "old");
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"a.zip", "-d", "x"});
        RunResult r = run(args);
        EXPECT_EQ(r.code, c.code) << c.options.size();
        EXPECT_EQ(slurp(work_ / "x/data/t.db"), c.expected);
        EXPECT_EQ(slurp(work_ / "x/fresh.txt"), "f");
        EXPECT_EQ(tree(work_ / "x"), (std::vector<std::string>{"data/", "data/t.db", "fresh.txt"}));
    }
}

TEST_F(Unpack, FreshenAndUpdateCompareTimes) {
    write_archive(build_zip({{.name = "old_on_disk", .data = "archive", .mtime = 1600000000},
                             {.name = "new_on_disk", .data = "archive", .mtime = 1600000000},
                             {.name = "absent", .data = "archive", .mtime = 1600000000}}));
    struct Case {
        std::string option;
        std::vector<std::string> replaced;
    } cases[] = {{"-f", {"old_on_disk"}}, {"-u", {"absent", "old_on_disk"}}};
    for (const auto& c : cases) {
        stdfs::remove_all(work_ / "o");
        spit(work_ / "o/old_on_disk", "disk");
        spit(work_ / "o/new_on_disk", "disk");
        stdfs::last_write_time(
            work_ / "o/old_on_disk",
            stdfs::last_write_time(work_ / "o/old_on_disk") - std::chrono::hours(24 * 3650));
        EXPECT_EQ(run({c.option, "a.zip", "-d", "o"}).code, 0) << c.option;
        std::vector<std::string> replaced;
        for (const char* n : {"absent", "new_on_disk", "old_on_disk"})
            if (stdfs::exists(work_ / "o" / n) && slurp(work_ / "o" / n) == "archive")
                replaced.push_back(n);
        EXPECT_EQ(replaced, c.replaced) << c.option;
    }
}

TEST_F(Unpack, ResultCodesForWhatCanGoWrong) {
    const std::string shrunk_payload = "\x01\x02\x03\x04";
    struct Case {
        const char* what;
        std::vector<BuildMember> members;
        std::vector<std::string> options;
        int code;
        std::vector<std::string> written;
    } cases[] = {
        {"shrunk beside deflated",
         {{.name = "s.txt", .data = "abcd", .method = 1, .raw_payload = shrunk_payload},
          {.name = "d.txt", .data = "dddd"}},
         {},
         1,
         {"d.txt"}},
        {"only shrunk",
         {{.name = "s.txt", .data = "abcd", .method = 1, .raw_payload = shrunk_payload}},
         {},
         81,
         {}},
        {"reduced, tokenized, deflate64, DCL implode",
         {{.name = "r", .data = "x", .method = 3, .raw_payload = "x"},
          {.name = "t", .data = "x", .method = 7, .raw_payload = "x"},
          {.name = "d64", .data = "x", .method = 9, .raw_payload = "x"},
          {.name = "dcl", .data = "x", .method = 10, .raw_payload = "x"}},
         {},
         81,
         {}},
        {"needs a newer version",
         {{.name = "v.txt", .data = "v", .version_needed = 63}},
         {},
         81,
         {}},
        {"bad CRC, the rest still extracted",
         {{.name = "a.txt", .data = "aaa"},
          {.name = "bad.txt", .data = "bbb", .crc_override = 1},
          {.name = "c.txt", .data = "ccc"}},
         {},
         2,
         {"a.txt", "c.txt"}},
        {"wrong password on every member",
         {{.name = "p/", .data = "", .method = 0},
          {.name = "p/1", .data = "one", .password = "right"},
          {.name = "p/2", .data = "two", .method = 0, .password = "right"}},
         {"-P", "wrong"},
         82,
         {"p/"}},
        {"no password for encrypted members",
         {{.name = "1", .data = "one", .password = "pw"}},
         {},
         82,
         {}},
        {"right password",
         {{.name = "1", .data = "one", .password = "pw"},
          {.name = "2", .data = "two", .method = 0, .password = "pw"}},
         {"-P", "pw"},
         0,
         {"1", "2"}},
        {"wrong password on one of two",
         {{.name = "1", .data = "one", .password = "other"}, {.name = "2", .data = "two"}},
         {"-P", "pw"},
         1,
         {"2"}},
        {"no member matches", {{.name = "a.txt", .data = "a"}}, {"*.db"}, 11, {}},
        {"excluded all", {{.name = "a.txt", .data = "a"}}, {"-x", "*"}, 11, {}},
        {"unknown option", {{.name = "a.txt", .data = "a"}}, {"-K"}, 10, {}},
        {"bad date limit", {{.name = "a.txt", .data = "a"}}, {"-Ga", "13402024"}, 10, {}},
        {"stored sizes that disagree",
         {{.name = "s", .data = "12345678", .method = 0, .usize_override = 4},
          {.name = "ok", .data = "k"}},
         {},
         2,
         {"ok"}},
        {"inflates past its declared size",
         {{.name = "bomb", .data = std::string(1 << 20, 'z'), .usize_override = 1000}},
         {},
         2,
         {}},
        {"inflates short of its declared size",
         {{.name = "short", .data = "abc", .usize_override = 5}},
         {},
         2,
         {}},
        {"declares far more than deflate can make",
         {{.name = "liar", .data = "abc", .usize_override = 100000000}},
         {},
         2,
         {}},
        {"DOS volume label beside a file",
         {{.name = "LABEL", .data = "", .method = 0, .made_by = 20, .external_attr = 0x08},
          {.name = "f", .data = "f"}},
         {},
         0,
         {"f"}},
        {"test mode writes nothing", {{.name = "d/f", .data = "f"}}, {"-t"}, 0, {}},
        {"test mode finds a bad CRC",
         {{.name = "f", .data = "f", .crc_override = 7}},
         {"-t"},
         2,
         {}},
        {"junk paths",
         {{.name = "d/", .data = "", .method = 0}, {.name = "d/e/f", .data = "f"}},
         {"-j"},
         0,
         {"f"}},
        {"local header offset wrong",
         {{.name = "a", .data = "a", .offset_override = 3}},
         {},
         2,
         {}},
    };
    for (const auto& c : cases) {
        write_archive(build_zip(c.members));
        stdfs::remove_all(work_ / "o");
        std::vector<std::string> args = {"-o", "a.zip"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"-d", "o"});
        RunResult r = run(args);
        EXPECT_EQ(r.code, c.code) << c.what;
        std::vector<std::string> written =
            stdfs::exists(work_ / "o") ? tree(work_ / "o") : std::vector<std::string>{};
        std::vector<std::string> expected = c.written;
        for (const auto& w : c.written)
            if (w.find('/') != std::string::npos && w.back() != '/')
                expected.push_back(w.substr(0, w.find('/') + 1));
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(written, expected) << c.what;
    }
}

// Members many times the size of the decoding buffers: deflated (compressible and not), stored, and
// one after another so that each starts from a clean decoder; then damage deep inside one.
TEST_F(Unpack, MembersLargerThanTheDecodeBuffersStreamIntact) {
    std::mt19937 rng(11);
    auto bytes = [&rng](std::size_t n, unsigned alphabet) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>('a' + rng() % alphabet);
        return s;
    };
    const std::string table = bytes(3u << 20, 12), noise = bytes(700000, 256),
                      stored = bytes(600000, 26), table2 = bytes(2u << 20, 4);
    const std::vector<BuildMember> members = {
        {.name = "jsearch2.db", .data = table},
        {.name = "noise.bin", .data = noise},
        {.name = "stored.bin", .data = stored, .method = 0},
        {.name = "tiny", .data = "x"},
        {.name = "sub/again.db", .data = table2},
    };
    const std::string zip = build_zip(members);
    write_archive(zip);
    RunResult r = run({"-o", "a.zip", "-d", "o"});
    ASSERT_EQ(r.code, 0);
    for (const auto& m : members) EXPECT_EQ(slurp(work_ / "o" / m.name), m.data) << m.name;

    struct Damage {
        const char* what;
        std::string archive;
        const char* message;
    };
    std::string flipped = zip;
    const std::size_t middle = 1u << 20;  // well inside the first member's compressed data
    for (std::size_t i = 0; i < 64; ++i)
        flipped[middle + i] = static_cast<char>(~flipped[middle + i]);
    std::vector<BuildMember> cut = members;
    cut[0].csize_override = static_cast<std::uint32_t>(testing::deflate_raw(table).size() / 2);
    const Damage damages[] = {
        {"bytes flipped mid-stream", flipped, "jsearch2.db"},
        {"compressed size cut in half", build_zip(cut), "compressed data ends early"},
    };
    for (const auto& d : damages) {
        write_archive(d.archive);
        stdfs::remove_all(work_ / "o");
        RunResult bad = run({"-o", "a.zip", "-d", "o"});
        EXPECT_EQ(bad.code, 2) << d.what;
        EXPECT_TRUE(bad.said(d.message)) << d.what;
        // The damaged member is not written, not even in part; the others are.
        EXPECT_FALSE(stdfs::exists(work_ / "o" / "jsearch2.db")) << d.what;
        EXPECT_EQ(slurp(work_ / "o" / "sub" / "again.db"), table2) << d.what;
        EXPECT_EQ(tree(work_ / "o"), (std::vector<std::string>{"noise.bin", "stored.bin", "sub/",
                                                               "sub/again.db", "tiny"}))
            << d.what;
    }
}

TEST_F(Unpack, ArchivesThatCannotBeReadAtAll) {
    std::string good = build_zip({{.name = "a", .data = "a"}});
    struct Case {
        const char* what;
        std::optional<std::string> bytes;
        std::string name;
        int code;
    } cases[] = {
        {"missing", std::nullopt, "nothere.zip", 9},
        {"missing, found with .zip added", good, "a", 0},
        {"not a zip", std::string(3000, 'q'), "a.zip", 9},
        {"empty file", std::string(), "a.zip", 9},
        {"directory cut short", good.substr(0, good.size() - 30) + good.substr(good.size() - 22),
         "a.zip", 9},
        {"entry count wrong",
         good.substr(0, good.size() - 12) + std::string("\x05\x00", 2) +
             good.substr(good.size() - 10),
         "a.zip", 3},
    };
    for (const auto& c : cases) {
        stdfs::remove(work_ / "a.zip");
        if (c.bytes) write_archive(*c.bytes);
        EXPECT_EQ(run({"-o", c.name, "-d", "o"}).code, c.code) << c.what;
    }
    // -Z is only an option in first place.
    write_archive(good);
    EXPECT_EQ(run({"-C", "-Z", "a.zip"}).code, 10);
    EXPECT_EQ(run({"a.zip", "-d"}).code, 10);  // an option without its value
}

TEST_F(Unpack, HostileNamesStayInsideTheExtractionFolder) {
    struct Case {
        std::string name;
        bool extracted;
        std::string lands_at;
    } cases[] = {
        {"../evil.txt", false, ""},
        {"ok/../../evil.txt", false, ""},
        {"..\\evil.txt", false, ""},
        {"/tmp/evil.txt", false, ""},
        {"\\evil.txt", false, ""},
        {"c:/evil.txt", false, ""},
        {"C:\\evil.txt", false, ""},
        {std::string("nul\0byte", 8), false, ""},
        {"a\\b\\back.txt", true, "a/b/back.txt"},
        {"./dot/./x.txt", true, "dot/x.txt"},
        {"dots..fine.txt", true, "dots..fine.txt"},
    };
    for (const auto& c : cases) {
        stdfs::remove_all(work_ / "box");
        stdfs::create_directories(work_ / "box");
        write_archive(
            build_zip({{.name = c.name, .data = "payload"}, {.name = "good.txt", .data = "good"}}));
        RunResult r = run({"-o", "a.zip", "-d", "box"});
        EXPECT_EQ(r.code, c.extracted ? 0 : 1) << c.name;
        std::vector<std::string> t = tree(work_ / "box");
        EXPECT_TRUE(std::find(t.begin(), t.end(), "good.txt") != t.end()) << c.name;
        if (c.extracted) {
            EXPECT_EQ(slurp(work_ / "box" / c.lands_at), "payload") << c.name;
        } else {
            EXPECT_EQ(t, std::vector<std::string>{"good.txt"}) << c.name;
        }
        EXPECT_EQ(r.said("backslashes"), c.name.find('\\') != std::string::npos && c.extracted)
            << c.name;
    }
    EXPECT_FALSE(stdfs::exists(work_ / "evil.txt"));
    EXPECT_FALSE(stdfs::exists(base_ / "evil.txt"));
    // A hostile member alone is a damaged archive, not a quiet success.
    write_archive(build_zip({{.name = "../evil.txt", .data = "payload"}}));
    EXPECT_EQ(run({"-o", "a.zip", "-d", "box"}).code, 2);
}

TEST_F(Unpack, SymbolicLinksOnTheWayAreNeverFollowed) {
    stdfs::create_directories(work_ / "outside");
    spit(work_ / "outside/victim.txt", "precious");
    stdfs::create_directories(work_ / "box");
    stdfs::create_directory_symlink(work_ / "outside", work_ / "box/link");
    stdfs::create_symlink(work_ / "outside/victim.txt", work_ / "box/file_link.txt");
    write_archive(build_zip({{.name = "link/victim.txt", .data = "overwritten"},
                             {.name = "link/new.txt", .data = "planted"},
                             {.name = "file_link.txt", .data = "replaced the link"}}));
    RunResult r = run({"-o", "a.zip", "-d", "box"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp(work_ / "outside/victim.txt"), "precious");
    EXPECT_FALSE(stdfs::exists(work_ / "outside/new.txt"));
    // The link itself was replaced by the member's file, not written through.
    EXPECT_FALSE(stdfs::is_symlink(work_ / "box/file_link.txt"));
    EXPECT_EQ(slurp(work_ / "box/file_link.txt"), "replaced the link");
    // Link members from Unix archives are not restored as links.
    write_archive(
        build_zip({{.name = "l", .data = "/etc/passwd", .method = 0, .unix_mode = 0120777},
                   {.name = "f", .data = "f"}}));
    r = run({"-o", "a.zip", "-d", "box2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(tree(work_ / "box2"), std::vector<std::string>{"f"});
}

TEST_F(Unpack, AbortDuringTheSecondOfThreeFiles) {
    std::string big(3 << 20, 'a');
    write_archive(build_zip({{.name = "one", .data = "1"},
                             {.name = "two", .data = big},
                             {.name = "three", .data = "3"}}));
    spit(work_ / "o/two", "old two");
    RunResult r = run({"-o", "a.zip", "-d", "o"}, [](const RunResult& so_far) {
        return !so_far.progress.empty() && so_far.progress.back().name == "two" &&
               !so_far.progress.back().done;
    });
    EXPECT_EQ(r.code, 80);
    // The first file is there, the second kept its old content, the third never started, and no
    // temporary file is left behind.
    EXPECT_EQ(tree(work_ / "o"), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(slurp(work_ / "o/two") == "old two");
}

TEST_F(Unpack, InformationModeReportsEveryFieldAndWritesNothing) {
    std::string text(1000, 'x');
    write_archive(
        build_zip({{.name = "dir/", .data = "", .method = 0, .mtime = 1600000000},
                   {.name = "dir/Text.TXT", .data = text, .mtime = 1600000000, .comment = "note"},
                   {.name = "empty", .data = "", .mtime = 1600000000},
                   {.name = "stored.bin", .data = "abcd", .method = 0, .mtime = 1600000000},
                   {.name = "secret", .data = "s", .method = 0, .password = "p"}}));
    RunResult r = run({"-Z", "-C", "\"a.zip\""});
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.infos.size(), 5u);
    const MemberInfo& t = r.infos[1];
    EXPECT_EQ(t.name, "dir/Text.TXT");
    EXPECT_EQ(t.comment, "note");
    EXPECT_EQ(t.uncompressed_size, 1000u);
    EXPECT_EQ(t.ratio, static_cast<int>(100.0 - 100.0 * t.compressed_size / 1000.0));
    EXPECT_GT(t.ratio, 90);
    EXPECT_EQ(t.crc32, crc32_update(0, text.data(), text.size()));
    std::time_t tt = 1600000000;
    std::tm lt{};
    localtime_r(&tt, &lt);
    EXPECT_EQ(t.mtime, static_cast<std::int64_t>(timegm(&lt)));
    EXPECT_FALSE(t.encrypted);
    EXPECT_EQ(r.infos[2].ratio, 100);  // empty member
    EXPECT_EQ(r.infos[3].ratio, 0);    // stored
    EXPECT_TRUE(r.infos[4].encrypted);
    EXPECT_EQ(r.infos[4].ratio, static_cast<int>(100.0 - 100.0 * 13 / 1));
    EXPECT_EQ(tree(work_), std::vector<std::string>{"a.zip"});

    // Masks as the listing passes them, case-insensitive under -C, classes in both syntaxes.
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> names;
    } cases[] = {
        {{"-Z", "-C", "a.zip", "-i", "\"*.txt\""}, {"dir/Text.TXT"}},
        {{"-Z", "a.zip", "-i", "\"*.txt\""}, {}},
        {{"-Z", "-C", "a.zip", "-i", "\"*.txt\"", "\"s*\"", "-x", "\"*.bin\""},
         {"dir/Text.TXT", "secret"}},
        {{"-Z", "a.zip", "[ef]*"}, {"empty"}},
        {{"-Z", "-Gw", "a.zip", "<ef>*"}, {"empty"}},
        {{"-Z", "a.zip", "-x", "*/*", "[!s]*"}, {"stored.bin", "secret"}},
        {{"-Z", "a.zip", "[!s]*", "-x", "*/*"}, {"empty"}},
    };
    for (const auto& c : cases) {
        RunResult l = run(c.args);
        std::vector<std::string> names;
        for (const auto& i : l.infos) names.push_back(i.name);
        EXPECT_EQ(names, c.names) << c.args.back();
        EXPECT_EQ(l.code, c.names.empty() ? 11 : 0) << c.args.back();
    }
}

TEST_F(Unpack, DateLimitsSelectMembersByDay) {
    auto at = [](int y, int m, int d, int h) {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = m - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&tm));
    };
    write_archive(build_zip({{.name = "early", .data = "e", .mtime = at(2020, 1, 1, 12)},
                             {.name = "mid", .data = "m", .mtime = at(2021, 6, 15, 23)},
                             {.name = "late", .data = "l", .mtime = at(2022, 12, 31, 1)}}));
    struct Case {
        std::string after, before;
        std::vector<std::string> names;
    } cases[] = {
        {"0", "0", {"early", "mid", "late"}},
        {"06152021", "0", {"early", "mid"}},  // the whole upper day counts
        {"0", "06152021", {"mid", "late"}},
        {"06152021", "06152021", {"mid"}},
        {"06142021", "06142021", {}},
    };
    for (const auto& c : cases) {
        RunResult r = run({"-Z", "-Ga", c.after, "-Gb", c.before, "a.zip"});
        std::vector<std::string> names;
        for (const auto& i : r.infos) names.push_back(i.name);
        EXPECT_EQ(names, c.names) << c.after << " " << c.before;
    }
}

TEST_F(Unpack, ImplodedMembersAndShrunkOneFromAnOldArchive) {
    stdfs::copy_file(data_dir() / "commons-compress/implode/moby-imploded.zip", work_ / "moby.zip");
    RunResult r = run({"-o", "moby.zip", "-d", "o"});
    EXPECT_EQ(r.code, 1);  // 134 imploded members extracted, the shrunk one skipped
    EXPECT_EQ(tree(work_ / "o").size(), 134u);
    EXPECT_TRUE(r.said("moby.122  `shrunk' method not supported"));
    r = run({"-o", "moby.zip", "moby.122", "-d", "o2"});
    EXPECT_EQ(r.code, 81);
}

TEST_F(Unpack, FullDiskAndUnsettableTimes) {
    std::string data(2 << 20, 'd');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 % 256);
    write_archive(build_zip({{.name = "a", .data = data}, {.name = "b", .data = data}}));
    {
        FaultyFileSystem faulty;
        faulty.fail_write_after_bytes = 3 << 20;
        ScopedFileSystem scope(&faulty);
        RunResult r = run({"-o", "a.zip", "-d", "o"});
        EXPECT_EQ(r.code, 50);
    }
    // The first file is whole, the second was never put in place, nothing half-written remains.
    EXPECT_EQ(tree(work_ / "o"), std::vector<std::string>{"a"});
    EXPECT_TRUE(slurp(work_ / "o/a") == data);
    {
        FaultyFileSystem faulty;
        faulty.fail_set_times = 1;
        ScopedFileSystem scope(&faulty);
        RunResult r = run({"-o", "a.zip", "-d", "o3"});
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.said("cannot set time"));
    }
    EXPECT_TRUE(slurp(work_ / "o3/b") == data);
}

TEST_F(Unpack, ASecondRunWhileOneIsActiveIsRefused) {
    write_archive(build_zip({{.name = "a", .data = "a"}}));
    int inner = -1;
    RunResult r = run({"-o", "a.zip", "-d", "o"}, [&](const RunResult&) {
        if (inner == -1) {
            const char* argv[] = {"unpack", "-o", "a.zip", "-d", "p"};
            inner = unpack_main(5, argv, {});
        }
        return false;
    });
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(inner, 5);
    // And the next run after it is accepted again.
    EXPECT_EQ(run({"-o", "a.zip", "-d", "q"}).code, 0);
}

TEST_F(Unpack, DamagedThirdPartyArchivesGiveAListedResult) {
    const std::set<int> listed = {0, 1, 2, 3, 9, 11, 51, 81, 82};
    int archives = 0;
    for (const char* folder : {"commons-compress/malformed", "libarchive/malformed",
                               "zip2-rust/malformed", "zip4j/malformed", "sharpcompress/malformed",
                               "libarchive/misc", "zip2-rust/misc", "zt-zip/misc"}) {
        for (const auto& f : stdfs::directory_iterator(data_dir() / folder)) {
            ++archives;
            stdfs::copy_file(f.path(), work_ / "a.zip", stdfs::copy_options::overwrite_existing);
            stdfs::remove_all(work_ / "o");
            RunResult x = run({"-o", "-P", "pw", "a.zip", "-d", "o"});
            EXPECT_TRUE(listed.count(x.code)) << f.path() << " gave " << x.code;
            RunResult l = run({"-Z", "a.zip"});
            EXPECT_TRUE(listed.count(l.code)) << f.path() << " listing gave " << l.code;
        }
    }
    EXPECT_GT(archives, 40);
    // A member whose CRC is wrong is found out.
    stdfs::copy_file(data_dir() / "zip4j/malformed/entry_with_checksum_mismatch.zip",
                     work_ / "crc.zip");
    EXPECT_EQ(run({"-o", "crc.zip", "-d", "c"}).code, 2);
}

}  // namespace
}  // namespace pavo::zip
