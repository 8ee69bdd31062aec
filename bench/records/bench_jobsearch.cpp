// bench-jobsearch: times the job-search window's work on 65,000 generated records (open newest
// first, Save with its reopen, the related-records update, a change of order, quick find) and a
// title mass change on 20,000 edit rows, and prints "name ours_ms baseline_ms ratio" per figure.
// The baseline runs the same statements through raw SQLite on a copy of the same table files.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "records/job_search_edits.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace fs = std::filesystem;
using namespace pavo::bench;
using namespace pavo;

namespace {

constexpr int kJobs = 65000;
constexpr int kEdits = 20000;
constexpr int kEditMatches = 2000;
constexpr int kGridRows = 40;
constexpr double kRelatedRefnum = 990001;
const char* const kGridColumns =
    "REFNUM, ACTIVE, ACTIVE_CHANGED, DATE, TIME, POS_TITLE, CONTACT_NAME, EMAIL, POS_TYPE, "
    "POS_CITY, POS_STATE";
const char* const kNewestFirst = "YYYYMMDD_TIME_DESCENDING";

// What the reads produce goes here, so no compiler drops them.
std::size_t g_sink = 0;

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw Error(ErrorKind::kIO, std::string("baseline ") + what + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const std::string& sql) {
    check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

// Steps a query to its end, touching every column as a grid would; returns the rows.
int run_query(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, sql.c_str());
    int rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c)
            if (const unsigned char* p = sqlite3_column_text(s, c))
                bytes += std::char_traits<char>::length(reinterpret_cast<const char*>(p));
        ++rows;
    }
    sqlite3_finalize(s);
    g_sink += bytes;
    return rows;
}

// The grid of the window: the record count and the first rows, every column as text.
int read_grid(tables::Table& t) {
    static const char* const kFields[] = {"REFNUM",   "ACTIVE",    "ACTIVE_CHANGED", "DATE",
                                          "TIME",     "POS_TITLE", "CONTACT_NAME",   "EMAIL",
                                          "POS_TYPE", "POS_CITY",  "POS_STATE"};
    std::vector<int> idx;
    for (const char* f : kFields) idx.push_back(t.field(f).index());
    const int n = std::min(kGridRows, t.record_count());
    std::size_t bytes = 0;
    for (int r = 1; r <= n; ++r)
        for (int i : idx) bytes += t.text_at(r, i).size();
    g_sink += bytes;
    return n;
}

int base_grid(sqlite3* db, const char* order) {
    run_query(db, "SELECT count(*) FROM data");
    return run_query(db, std::string("SELECT ") + kGridColumns + " FROM data " + order + " LIMIT " +
                             std::to_string(kGridRows));
}

const char* const kBaseNewest = "ORDER BY YYYYMMDD COLLATE NOCASE DESC, TIME COLLATE NOCASE DESC";
const char* const kBaseStateCity = "ORDER BY POS_STATE COLLATE NOCASE, POS_CITY COLLATE NOCASE";

void reopen(tables::Table& t, const char* index) {
    t.close();
    t.set_index_name(index);
    t.open();
}

}  // namespace

int main(int argc, char** argv) {
    // Figures named on the command line run alone (all of them without arguments).
    auto want = [&](const char* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) == name) return true;
        return false;
    };
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-jobsearch-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        const fs::path home = tmpl;
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        AliasConfig::current().add_standard("BENCH", "c:\\bench\\", "Paradox", true);

        auto create = [](const char* name) {
            const store::TableSchema* schema = store::find_table_schema(name);
            auto t = std::make_unique<tables::Table>();
            t->set_database_name("BENCH");
            t->set_table_name(name);
            t->set_field_defs(schema->fields);
            t->set_index_defs(schema->indexes);
            t->create_table(true);
            t->open();
            return t;
        };
        fs::path jobs_file, edits_file;
        {
            auto jobs = create("jsearch2.DB");
            sample::Generator gen;
            sample::append_rows(*jobs, gen.job_searches(kJobs));
            // One application with six records, for the related-records update.
            tables::CommandScope scope;
            for (int i = 0; i < 6; ++i) {
                jobs->append();
                jobs->field("REFNUM").set_as_float(kRelatedRefnum);
                jobs->field("DATE").set_as_string("5/" + std::to_string(i + 1) + "/2004");
                jobs->field("YYYYMMDD").set_as_string("2004050" + std::to_string(i + 1));
                jobs->field("TIME").set_as_string("10:00");
                jobs->field("CONTACT_NAME").set_as_string("R. LEE");
                jobs->field("POS_TYPE").set_as_string("FT");
                jobs->field("POS_CITY").set_as_string("DENVER");
                jobs->field("POS_STATE").set_as_string("CO");
                jobs->post();
            }
            scope.commit();
            jobs_file = jobs->file_path();

            auto edits = create("JS_EDIT.db");
            tables::CommandScope edit_scope;
            for (int i = 0; i < kEdits; ++i) {
                edits->append();
                const bool match = i % (kEdits / kEditMatches) == 0;
                edits->field("CHANGE_FROM")
                    .set_as_string((match ? "SENIOR WIDGET ENGINEER " : "SENIOR ANALYST ") +
                                   std::to_string(i));
                edits->field("CHANGE_TO").set_as_string("*** NEW ENTRY, EDIT ME ***");
                edits->post();
            }
            edit_scope.commit();
            edits_file = edits->file_path();
        }
        // The baseline's copies, made while no Table holds the files.
        const fs::path base_jobs = home / "base_jobs.sqlite",
                       base_edits = home / "base_edits.sqlite";
        fs::copy_file(jobs_file, base_jobs);
        fs::copy_file(edits_file, base_edits);
        sqlite3 *bj = nullptr, *be = nullptr;
        sqlite3_open(base_jobs.c_str(), &bj);
        sqlite3_open(base_edits.c_str(), &be);
        exec(bj, "PRAGMA synchronous=FULL");
        exec(be, "PRAGMA synchronous=FULL");

        tables::Table js;
        js.set_database_name("BENCH");
        js.set_table_name("jsearch2.DB");
        js.set_index_name(kNewestFirst);
        js.set_filter_case_insensitive(true);
        js.open();

        if (want("js_open")) {
            // js_open: the window's dataset reopened newest first and its grid read.
            const double open_ours = best_ms(5, [&] {
                reopen(js, kNewestFirst);
                read_grid(js);
            });
            const double open_base = best_ms(5, [&] { base_grid(bj, kBaseNewest); });
            report("js_open", open_ours, open_base);
        }

        int turn = 0;
        const double today = today_date();
        if (want("js_save")) {
            // js_save: an edited record saved (keys, one transaction) and the dataset reopened.
            const double save_ours = best_ms(5, [&] {
                tables::CommandScope scope;
                js.first();
                js.edit();
                js.field("COMMENT").set_as_string("CALLED BACK " + std::to_string(++turn));
                records::save_job_search(js, {38000, js.field("ACTIVE").as_boolean(), today});
                reopen(js, kNewestFirst);
                read_grid(js);
                scope.commit();
            });
            const double save_base = best_ms(5, [&] {
                exec(bj, "BEGIN; UPDATE data SET COMMENT = 'CALLED BACK " + std::to_string(++turn) +
                             "', DATE = 38000, YYYYMMDD = '20040124' WHERE rid = (SELECT rid FROM "
                             "data " +
                             kBaseNewest + " LIMIT 1); COMMIT");
                base_grid(bj, kBaseNewest);
            });
            report("js_save", save_ours, save_base);
        }

        if (want("js_related")) {
            // js_related: ACTIVE carried to the six records of one application.
            bool active = false;
            const double related_ours = best_ms(5, [&] {
                tables::CommandScope scope;
                active = !active;
                if (records::update_related_records(js, kRelatedRefnum, active, today) != 6)
                    std::fprintf(stderr, "js_related: not six records\n");
                scope.commit();
            });
            const double related_base = best_ms(5, [&] {
                active = !active;
                exec(bj, std::string("BEGIN; UPDATE data SET ACTIVE = ") + (active ? "1" : "0") +
                             ", ACTIVE_CHANGED = 38000 WHERE REFNUM = " +
                             records::refnum_text(kRelatedRefnum) + "; COMMIT");
                run_query(bj, "SELECT count(*) FROM data");
            });
            report("js_related", related_ours, related_base);
        }

        if (want("js_sort")) {
            // js_sort: the order switched to state and city, the grid read.
            const double sort_ours = best_ms(
                5, [&] { reopen(js, kNewestFirst); },
                [&] {
                    reopen(js, "POS_STATE_CITY_");
                    read_grid(js);
                });
            const double sort_base = best_ms(5, [&] { base_grid(bj, kBaseStateCity); });
            report("js_sort", sort_ours, sort_base);
        }

        if (want("js_find")) {
            // js_find: quick find through every record (no match) in the order shown.
            reopen(js, kNewestFirst);
            js.first();
            const double find_ours = best_ms(5, [&] {
                if (records::quick_find(js, "no such text anywhere"))
                    std::fprintf(stderr, "found?\n");
            });
            const double find_base = best_ms(5, [&] {
                run_query(
                    bj,
                    "SELECT rid FROM data WHERE instr(lower(POS_TITLE), 'no such text anywhere') "
                    "OR instr(lower(CONTACT_NAME), 'no such text anywhere') OR "
                    "instr(lower(POS_CITY), 'no such text anywhere') OR instr(lower(COMMENT), "
                    "'no such text anywhere') " +
                        std::string(kBaseNewest));
            });
            report("js_find", find_ours, find_base);
        }
        js.close();

        if (want("title_mass_change")) {
            // title_mass_change: 2,000 of 20,000 rows given a new CHANGE_TO, no confirmation.
            tables::Table edits;
            edits.set_database_name("BENCH");
            edits.set_table_name("JS_EDIT.db");
            edits.open();
            int changed = 0;
            const double mass_ours = best_ms(5, [&] {
                tables::CommandScope scope;
                changed = records::mass_change(edits, records::MassChangeField::kChangeTo, "WIDGET",
                                               "WIDGET ENGINEER " + std::to_string(++turn))
                              .changed;
                scope.commit();
            });
            if (changed != kEditMatches)
                std::fprintf(stderr, "title_mass_change changed %d rows\n", changed);
            const double mass_base = best_ms(5, [&] {
                exec(be, "BEGIN; UPDATE data SET CHANGE_TO = 'WIDGET ENGINEER " +
                             std::to_string(++turn) +
                             "' WHERE instr(CHANGE_FROM, 'WIDGET') > 0; COMMIT");
            });
            report("title_mass_change", mass_ours, mass_base);
            edits.close();
        }

        sqlite3_close(bj);
        sqlite3_close(be);
        fs::remove_all(home);
    } catch (const Error& e) {
        std::fprintf(stderr, "bench-jobsearch: %s\n", e.what());
        return 1;
    }
    return 0;
}
