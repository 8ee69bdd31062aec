// bench-report: times the job search report on 65,000 generated job searches and prints "name
// ours_ms baseline_ms ratio" per figure. The baseline selects the same fields in the same order
// with raw SQLite and formats the lines with plain snprintf into a file, in the same run.
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "records/job_report.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace fs = std::filesystem;
using namespace pavo::bench;
using namespace pavo;
using namespace pavo::tables;

namespace {

constexpr int kJobs = 65000;
const char* const kDb = "c:\\bench";
// About a third of the generated records pass.
const char* const kFilter = "POS_TYPE <> 'PT' AND SUBMITTED = TRUE AND POS_STATE <> 'CA'";
const char* const kFilterSql = "POS_TYPE <> 'PT' AND SUBMITTED = 1 AND POS_STATE <> 'CA'";
const char* const kDescOrder = "ORDER BY YYYYMMDD COLLATE NOCASE DESC, TIME COLLATE NOCASE DESC";

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "baseline %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
long status_kb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with(key)) return std::atol(line.c_str() + std::strlen(key) + 1);
    return 0;
}

// Peak resident memory growth of work in megabytes (the kernel's high-water mark reset first).
double peak_growth_mb(const std::function<void()>& work) {
    // Freed memory goes back to the system first, so the run cannot hide in what malloc kept.
    malloc_trim(0);
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    long before = status_kb("VmRSS");
    work();
    return static_cast<double>(status_kb("VmHWM") - before) / 1024.0;
}

// The baseline report: same header, same columns, lines by snprintf.
void baseline_report(sqlite3* db, const fs::path& out, bool all, const char* where) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    std::fputs("\r\n+", f);
    for (int i = 0; i < 78; ++i) std::fputc('-', f);
    std::fputs("+\r\n|", f);
    std::fprintf(f, "%-78s|\r\n\r\nJOB SEARCH REPORT FOR    : %s\r\n\r\n", "PAVODEN2", "NAME");
    std::string sql =
        "SELECT ACTIVE, DATE, TIME, REFNUM, POS_TITLE, POS_CITY, POS_STATE, POS_TYPE, SUBMITTED, "
        "CONTACT_NAME, REASON_NO_SUBMIT, COMMENT, ITEM_FILE FROM jsearch2";
    if (where) sql += std::string(" WHERE ") + where;
    sql += std::string(" ") + kDescOrder;
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, "select");
    auto text = [&](int c) {
        const unsigned char* p = sqlite3_column_text(s, c);
        return p ? reinterpret_cast<const char*>(p) : "";
    };
    char line[1024];
    while (sqlite3_step(s) == SQLITE_ROW) {
        auto c = civil_from_date(sqlite3_column_double(s, 1));
        char date[16];
        std::snprintf(date, sizeof date, "%02d/%02d/%04d", c ? c->month : 0, c ? c->day : 0,
                      c ? c->year : 0);
        const char* submitted = sqlite3_column_int(s, 8) == 0 ? "NO" : "YES";
        int n;
        if (all)
            n = std::snprintf(line, sizeof line,
                              "%6s  %10s  %5s  %-7.7s  %-40.40s  %-40.40s  %-5.5s  %-9.9s  %-9s  "
                              "%-25.25s  %-35.35s  %-80.80s  \r\n",
                              sqlite3_column_int(s, 0) ? "True" : "False", date, text(2), text(3),
                              text(4), text(5), text(6), text(7), submitted, text(9), text(10),
                              text(11));
        else
            n = std::snprintf(line, sizeof line,
                              "%10s  %-7.7s  %-40.40s  %-5.5s  %-9.9s  %-9s  %-80.80s  \r\n", date,
                              text(3), text(4), text(6), text(7), submitted, text(11));
        std::fwrite(line, 1, static_cast<std::size_t>(n), f);
        if (all && *text(12)) std::fprintf(f, "%20sITEM FILE: %s\r\n", "", text(12));
    }
    sqlite3_finalize(s);
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
}

}  // namespace

int main() {
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-report-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        fs::path home = tmpl;
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("jsearch2.DB"));
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("CONFIG.DB"));

        // The baseline's table: the same rows as typed SQLite columns, with the date index.
        sqlite3* bdb = nullptr;
        sqlite3_open((home / "baseline.sqlite").c_str(), &bdb);
        {
            auto fields = store::find_table_schema("jsearch2.DB")->fields;
            auto rows = sample::Generator().job_searches(kJobs);
            Table t;
            t.set_database_name(kDb);
            t.set_table_name("jsearch2.DB");
            t.open();
            sample::append_rows(t, rows);

            std::string create = "CREATE TABLE jsearch2(PK INTEGER PRIMARY KEY", ins = "NULL";
            for (std::size_t i = 1; i < fields.size(); ++i) {
                create += ", \"" + fields[i].name + "\"";
                ins += ",?";
            }
            check(sqlite3_exec(
                      bdb,
                      (create + "); CREATE INDEX d ON jsearch2(YYYYMMDD COLLATE NOCASE, TIME "
                                "COLLATE NOCASE); BEGIN")
                          .c_str(),
                      nullptr, nullptr, nullptr),
                  bdb, "create");
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(bdb, ("INSERT INTO jsearch2 VALUES(" + ins + ")").c_str(), -1, &s,
                               nullptr);
            for (const auto& row : rows) {
                for (std::size_t i = 1; i < fields.size(); ++i) {
                    int p = static_cast<int>(i);
                    const std::string& v = row[i];
                    if (v.empty())
                        sqlite3_bind_null(s, p);
                    else if (fields[i].type == FieldType::kDate)
                        sqlite3_bind_double(s, p, *parse_short_date(v));
                    else if (fields[i].type == FieldType::kBoolean)
                        sqlite3_bind_int(s, p, *parse_bool(v) ? 1 : 0);
                    else
                        sqlite3_bind_text(s, p, v.c_str(), static_cast<int>(v.size()),
                                          SQLITE_TRANSIENT);
                }
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            check(sqlite3_exec(bdb, "COMMIT", nullptr, nullptr, nullptr), bdb, "commit");
        }

        Table jobs, config;
        jobs.set_database_name(kDb);
        jobs.set_table_name("jsearch2.DB");
        jobs.set_index_name("YYYYMMDD_TIME_DESCENDING");
        jobs.open();
        config.set_database_name(kDb);
        config.set_table_name("CONFIG.DB");
        config.open();
        records::JobReportTicks all{};
        all.fill(true);
        const std::string out = "c:\\mydata\\KV-DB\\pavoden2\\reports\\JOB_SEARCH___bench.txt";
        const fs::path base_out = home / "baseline.txt";

        auto ours_run = [&](const records::JobReportTicks& ticks) {
            return [&, ticks] { records::write_job_report(jobs, config, out, ticks); };
        };
        // One untimed run each, so both read a warm page cache.
        ours_run(all)();
        baseline_report(bdb, base_out, true, nullptr);

        report("job_report_all", best_ms(3, ours_run(all)),
               best_ms(3, [&] { baseline_report(bdb, base_out, true, nullptr); }));
        report("job_report_default", best_ms(3, ours_run(records::job_report_default_ticks())),
               best_ms(3, [&] { baseline_report(bdb, base_out, false, nullptr); }));
        jobs.set_filter(kFilter);
        jobs.set_filtered(true);
        std::fprintf(stderr, "filter passes %d of %d\n", jobs.record_count(), kJobs);
        report("job_report_filtered", best_ms(3, ours_run(records::job_report_default_ticks())),
               best_ms(3, [&] { baseline_report(bdb, base_out, false, kFilterSql); }));
        jobs.set_filtered(false);
        double ours_mb = peak_growth_mb(ours_run(all));
        double base_mb = peak_growth_mb([&] { baseline_report(bdb, base_out, true, nullptr); });
        report("job_report_peak_mb", ours_mb, base_mb, 2);
        sqlite3_close(bdb);
        fs::remove_all(home);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-report: %s\n", e.what());
        return 1;
    }
}
