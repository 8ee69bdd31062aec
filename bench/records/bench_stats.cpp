// bench-stats: times the job search statistics on 62,899 generated job searches and 721 title
// categories and prints "name ours_ms baseline_ms ratio" per figure. The baseline does the same
// work with raw SQLite on typed tables of the same rows in the same run: it reads the same columns,
// matches each distinct title once against the categories in the same order and writes the same
// rows in one transaction.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "records/job_report.h"
#include "records/job_stats.h"
#include "records/stats_report.h"
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

constexpr int kJobs = 62899;
constexpr int kCategories = 721;
const char* const kDb = "c:\\bench";
constexpr std::size_t kStates = 61;

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "baseline %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3* db, const std::string& sql) {
    check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

std::string text(sqlite3_stmt* s, int c) {
    const unsigned char* p = sqlite3_column_text(s, c);
    return p ? reinterpret_cast<const char*>(p) : "";
}

std::vector<std::string> strings(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, sql.c_str());
    std::vector<std::string> out;
    while (sqlite3_step(s) == SQLITE_ROW) out.push_back(text(s, 0));
    sqlite3_finalize(s);
    return out;
}

// The baseline's counting: rows in counting order, each distinct text matched once, then every
// row's COUNT, PERCENTAGE and AS_OF_DATE updated in one transaction.
void baseline_count(sqlite3* db, const std::string& table, const std::string& key,
                    const std::string& order, const std::string& text_column,
                    const std::string& where) {
    std::vector<std::string> texts = strings(
        db, "SELECT " + text_column + " FROM jsearch2" + (where.empty() ? "" : " WHERE " + where));
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(
              db, ("SELECT rowid, " + key + " FROM " + table + " ORDER BY " + order).c_str(), -1,
              &s, nullptr),
          db, "rows");
    std::vector<std::pair<sqlite3_int64, std::string>> rows;
    while (sqlite3_step(s) == SQLITE_ROW) rows.emplace_back(sqlite3_column_int64(s, 0), text(s, 1));
    sqlite3_finalize(s);
    std::vector<long long> counts(rows.size());
    std::unordered_map<std::string, long> first;
    for (const std::string& t : texts) {
        auto [it, fresh] = first.try_emplace(t, -1);
        if (fresh)
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (!rows[i].second.empty() && t.find(rows[i].second) != std::string::npos) {
                    it->second = static_cast<long>(i);
                    break;
                }
        if (it->second >= 0) ++counts[static_cast<std::size_t>(it->second)];
    }
    exec(db, "BEGIN");
    check(sqlite3_prepare_v2(
              db,
              ("UPDATE " + table + " SET COUNT = ?, PERCENTAGE = ?, AS_OF_DATE = ? WHERE rowid = ?")
                  .c_str(),
              -1, &s, nullptr),
          db, "update");
    const double n = static_cast<double>(texts.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sqlite3_bind_double(s, 1, static_cast<double>(counts[i]));
        sqlite3_bind_double(s, 2, n == 0 ? 0 : static_cast<double>(counts[i]) / n * 100);
        sqlite3_bind_double(s, 3, today_date());
        sqlite3_bind_int64(s, 4, rows[i].first);
        check(sqlite3_step(s), db, "update");
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    exec(db, "COMMIT");
}

}  // namespace

int main() {
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-stats-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        fs::path home = tmpl;
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        for (const char* t :
             {"jsearch2.DB", "CONFIG.DB", "STATS_JT.DB", "STATS_ST.DB", "POSTITLE.DB"})
            store::TableSetCreator::create_table_in(kDb, *store::find_table_schema(t));

        sample::Generator gen;
        auto jobs_rows = gen.job_searches(kJobs);
        auto category_rows = gen.title_categories(kCategories);
        std::vector<std::vector<std::string>> state_rows;
        {
            // The state codes the records use, and more up to the 61 codes of the configuration.
            std::set<std::string> codes;
            for (const auto& r : jobs_rows) codes.insert(r[11]);
            for (char a = 'A'; codes.size() < kStates; ++a) codes.insert(std::string("X") + a);
            for (const std::string& c : codes) state_rows.push_back({c, "0", "0", ""});
        }

        Table jobs, jt, st, titles, config;
        jobs.set_database_name(kDb);
        jobs.set_table_name("jsearch2.DB");
        jobs.set_index_name("YYYYMMDD_TIME_DESCENDING");
        jobs.open();
        sample::append_rows(jobs, jobs_rows);
        jt.set_database_name(kDb);
        jt.set_table_name("STATS_JT.DB");
        jt.set_index_field_names("ORDER;CATEGORY");
        jt.open();
        sample::append_rows(jt, category_rows);
        st.set_database_name(kDb);
        st.set_table_name("STATS_ST.DB");
        st.open();
        sample::append_rows(st, state_rows);
        titles.set_database_name(kDb);
        titles.set_table_name("POSTITLE.DB");
        titles.open();
        config.set_database_name(kDb);
        config.set_table_name("CONFIG.DB");
        config.open();

        // The baseline's tables: the same rows as typed SQLite columns.
        sqlite3* bdb = nullptr;
        sqlite3_open((home / "baseline.sqlite").c_str(), &bdb);
        exec(bdb,
             "CREATE TABLE jsearch2(DATE REAL, POS_TITLE TEXT, POS_STATE TEXT);"
             "CREATE INDEX d ON jsearch2(DATE);"
             "CREATE TABLE stats_jt(\"ORDER\" REAL, CATEGORY TEXT, COUNT REAL, PERCENTAGE REAL,"
             " REASON_NOT_SUBMITTED TEXT, AS_OF_DATE REAL, PRIMARY KEY(\"ORDER\", CATEGORY));"
             "CREATE TABLE stats_st(STATE TEXT PRIMARY KEY, COUNT REAL, PERCENTAGE REAL,"
             " AS_OF_DATE REAL);"
             "CREATE TABLE postitle(POS_TITLE TEXT PRIMARY KEY);"
             "BEGIN");
        {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(bdb, "INSERT INTO jsearch2 VALUES(?,?,?)", -1, &s, nullptr);
            for (const auto& r : jobs_rows) {
                sqlite3_bind_double(s, 1, *parse_short_date(r[4]));
                sqlite3_bind_text(s, 2, r[12].c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 3, r[11].c_str(), -1, SQLITE_TRANSIENT);
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            sqlite3_prepare_v2(bdb, "INSERT INTO stats_jt VALUES(?,?,0,0,?,NULL)", -1, &s, nullptr);
            for (const auto& r : category_rows) {
                sqlite3_bind_double(s, 1, *parse_number(r[0]));
                sqlite3_bind_text(s, 2, r[1].c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 3, r[4].c_str(), -1, SQLITE_TRANSIENT);
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            sqlite3_prepare_v2(bdb, "INSERT INTO stats_st VALUES(?,0,0,NULL)", -1, &s, nullptr);
            for (const auto& r : state_rows) {
                sqlite3_bind_text(s, 1, r[0].c_str(), -1, SQLITE_TRANSIENT);
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
        }
        exec(bdb, "COMMIT");

        // Counting.
        records::update_title_stats(jobs, jt);  // warm both caches once
        baseline_count(bdb, "stats_jt", "CATEGORY", "\"ORDER\", CATEGORY", "POS_TITLE", "");
        report("stats_title", best_ms(3, [&] { records::update_title_stats(jobs, jt); }),
               best_ms(3, [&] {
                   baseline_count(bdb, "stats_jt", "CATEGORY", "\"ORDER\", CATEGORY", "POS_TITLE",
                                  "");
               }));
        report("stats_state", best_ms(3, [&] { records::update_state_stats(jobs, st); }),
               best_ms(
                   3, [&] { baseline_count(bdb, "stats_st", "STATE", "STATE", "POS_STATE", ""); }));

        // New categories: the table goes back to its 721 rows before each run.
        auto reset_categories = [&] {
            jt.empty_table();
            jt.refresh();
            sample::append_rows(jt, category_rows);
        };
        auto baseline_categories = [&] {
            std::vector<std::string> t = strings(bdb, "SELECT POS_TITLE FROM jsearch2");
            std::vector<std::string> known_rows = strings(bdb, "SELECT CATEGORY FROM stats_jt");
            std::unordered_set<std::string> known(known_rows.begin(), known_rows.end());
            exec(bdb, "BEGIN");
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(
                bdb, "INSERT INTO stats_jt VALUES(1,?,0,0,'*** NEW ENTRY, EDIT ME ***',?)", -1, &s,
                nullptr);
            for (const std::string& title : t) {
                std::string key = trim(to_upper(trim(title)).substr(0, 50));
                if (key.empty() || !known.insert(key).second) continue;
                sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_double(s, 2, today_date());
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            exec(bdb, "COMMIT");
        };
        double ours_cat =
            best_ms(3, reset_categories, [&] { records::add_new_categories(jobs, jt); });
        double base_cat = best_ms(
            3, [&] { exec(bdb, "DELETE FROM stats_jt WHERE rowid > 721"); }, baseline_categories);
        report("stats_new_categories", ours_cat, base_cat);
        reset_categories();

        double ours_pos = best_ms(
            3,
            [&] {
                titles.empty_table();
                titles.refresh();
            },
            [&] { records::add_new_position_titles(jobs, titles); });
        double base_pos = best_ms(
            3, [&] { exec(bdb, "DELETE FROM postitle"); },
            [&] {
                std::vector<std::string> t = strings(bdb, "SELECT POS_TITLE FROM jsearch2");
                std::vector<std::string> known_rows =
                    strings(bdb, "SELECT POS_TITLE FROM postitle");
                std::unordered_set<std::string> known(known_rows.begin(), known_rows.end());
                exec(bdb, "BEGIN");
                sqlite3_stmt* s = nullptr;
                sqlite3_prepare_v2(bdb, "INSERT INTO postitle VALUES(?)", -1, &s, nullptr);
                for (const std::string& title : t) {
                    if (trim(title).empty() || !known.insert(title).second) continue;
                    sqlite3_bind_text(s, 1, title.c_str(), -1, SQLITE_TRANSIENT);
                    check(sqlite3_step(s), bdb, "insert");
                    sqlite3_reset(s);
                }
                sqlite3_finalize(s);
                exec(bdb, "COMMIT");
            });
        report("stats_position_titles", ours_pos, base_pos);

        std::size_t months = 0;
        double ours_months = best_ms(3, [&] { months = records::job_search_months(jobs).size(); });
        double base_months = best_ms(3, [&] {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(bdb, "SELECT DATE FROM jsearch2", -1, &s, nullptr);
            std::set<std::pair<int, int>> m;
            while (sqlite3_step(s) == SQLITE_ROW) {
                auto c = civil_from_date(sqlite3_column_double(s, 0));
                m.insert({c ? c->year : 1899, c ? c->month : 12});
            }
            sqlite3_finalize(s);
            months = std::max(months, m.size());
        });
        report("stats_month_list", ours_months, base_months);

        // One month: the last one that holds records.
        const records::YearMonth month = records::job_search_months(jobs).back();
        const double first = date_from_civil(month.year, month.month, 1);
        const double last =
            date_from_civil(month.year, month.month, days_in_month(month.year, month.month));
        double ours_monthly =
            best_ms(3, [&] { records::update_monthly_stats(jobs, st, jt, month, true, true); });
        double base_monthly = best_ms(3, [&] {
            exec(bdb,
                 "DROP TABLE IF EXISTS m_st; DROP TABLE IF EXISTS m_jt;"
                 "CREATE TABLE m_st(STATE TEXT PRIMARY KEY, COUNT REAL, PERCENTAGE REAL,"
                 " AS_OF_DATE REAL);"
                 "CREATE TABLE m_jt(\"ORDER\" REAL, CATEGORY TEXT, COUNT REAL, PERCENTAGE REAL,"
                 " REASON_NOT_SUBMITTED TEXT, AS_OF_DATE REAL, PRIMARY KEY(\"ORDER\", CATEGORY));"
                 "INSERT INTO m_st(STATE) SELECT STATE FROM stats_st;"
                 "INSERT INTO m_jt(\"ORDER\", CATEGORY, REASON_NOT_SUBMITTED)"
                 " SELECT \"ORDER\", CATEGORY, REASON_NOT_SUBMITTED FROM stats_jt;");
            char where[128];
            std::snprintf(where, sizeof where, "DATE >= %.1f AND DATE <= %.1f", first, last);
            baseline_count(bdb, "m_st", "STATE", "STATE", "POS_STATE", where);
            baseline_count(bdb, "m_jt", "CATEGORY", "\"ORDER\", CATEGORY", "POS_TITLE", where);
        });
        report("stats_monthly", ours_monthly, base_monthly);

        const std::string out =
            "c:\\mydata\\KV-DB\\pavoden2\\reports\\JOB_SEARCH_TITLE_STATS_bench.txt";
        const fs::path base_out = home / "baseline.txt";
        double ours_report = best_ms(3, [&] {
            auto lines =
                records::stats_report_lines(records::StatsReportKind::kTitle, kDb, "STATS_JT.DB",
                                            records::read_report_address(config));
            lines.push_back("");
            lines.push_back(records::saved_to_line(out));
            records::save_stats_report(lines, out);
        });
        double base_report = best_ms(3, [&] {
            std::FILE* f = std::fopen(base_out.c_str(), "wb");
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(bdb,
                               "SELECT CATEGORY, COUNT, PERCENTAGE, REASON_NOT_SUBMITTED FROM "
                               "stats_jt ORDER BY \"ORDER\", CATEGORY",
                               -1, &s, nullptr);
            long long total = 0;
            double pct = 0;
            while (sqlite3_step(s) == SQLITE_ROW) {
                double count = sqlite3_column_double(s, 1);
                total += static_cast<long long>(count);
                pct += sqlite3_column_double(s, 2);
                if (count > 0)
                    std::fprintf(f, "%-30.30s     %10.0f     %10.4f     %-50.50s     \r\n",
                                 text(s, 0).c_str(), count, sqlite3_column_double(s, 2),
                                 text(s, 3).c_str());
            }
            std::fprintf(f, "%-30s     %10lld     %10.4f     \r\n", "TOTALS", total, pct);
            sqlite3_finalize(s);
            std::fflush(f);
            fsync(fileno(f));
            std::fclose(f);
        });
        report("stats_report_title", ours_report, base_report);
        std::fprintf(stderr, "%d records, %d categories, %zu months\n", kJobs, kCategories, months);

        sqlite3_close(bdb);
        jobs.close();
        jt.close();
        st.close();
        titles.close();
        config.close();
        fs::remove_all(home);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-stats: %s\n", e.what());
        return 1;
    }
}
