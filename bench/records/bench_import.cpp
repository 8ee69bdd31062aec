// bench-import: times a 1,000-job mail import and the clean-up steps on 65,000 generated job
// searches and 5,000 job title edits, and prints "name ours_ms baseline_ms ratio" per figure. The
// baseline does the same reads, lookups, inserts and updates with raw SQLite statements on a copy
// of the same rows, in the same run, one transaction per step.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "records/import_steps.h"
#include "records/job_import.h"
#include "records/job_mail.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace fs = std::filesystem;
using namespace pavo;
using namespace pavo::bench;
using namespace pavo::tables;

namespace {

constexpr int kJobs = 65000;
constexpr int kEdits = 5000;
constexpr int kMailJobs = 1000;
const char* const kDb = "c:\\bench";

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "baseline %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3* db, const std::string& sql) {
    check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

// A prepared statement run with text parameters; row() steps once and tells whether a row came.
struct Stmt {
    sqlite3* db;
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* d, const std::string& sql) : db(d) {
        check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, sql.c_str());
    }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, double v) {
        sqlite3_bind_double(s, i, v);
        return *this;
    }
    bool row() {
        int rc = sqlite3_step(s);
        check(rc, db, "step");
        return rc == SQLITE_ROW;
    }
    void run() {
        row();
        sqlite3_reset(s);
    }
    bool exists() {
        bool r = row();
        sqlite3_reset(s);
        return r;
    }
    std::string text(int c) {
        auto p = sqlite3_column_text(s, c);
        return p ? reinterpret_cast<const char*>(p) : "";
    }
};

// The 1,000-job mail: version 4 lines over fifty cities and varied titles, one Sent line.
std::string mail_text() {
    std::string text = "Sent: May 01, 2003 8:00 AM\nBench Jobs SEARCH AGENT: Refine\n";
    const char* states[] = {"CO", "TX", "MI", "CA", "WA"};
    for (int i = 0; i < kMailJobs; ++i)
        text += std::string(states[i % 5]) + "-City " + std::to_string(i % 50) + "\t*Engineer " +
                std::to_string(i) + "\n";
    return text;
}

void open(Table& t, const char* name, const std::string& order = "", bool by_name = false) {
    t.set_database_name(kDb);
    t.set_table_name(name);
    if (by_name)
        t.set_index_name(order);
    else if (!order.empty())
        t.set_index_field_names(order);
    t.open();
}

// Baseline rebuild of a pick list from one column of the jobs: empty, then look up and add.
void baseline_lookup_add(sqlite3* db, const std::string& source_sql, const std::string& table,
                         const std::string& field, bool empty_first, bool trimmed) {
    exec(db, "BEGIN");
    if (empty_first) exec(db, "DELETE FROM " + table);
    Stmt walk(db, source_sql);
    Stmt find(db, "SELECT 1 FROM " + table + " WHERE " + field + " = ?");
    Stmt add(db, "INSERT INTO " + table + "(" + field + ") VALUES(?)");
    while (walk.row()) {
        std::string v = trimmed ? trim(walk.text(0)) : walk.text(0);
        if (v.empty()) continue;
        if (!find.bind(1, v).exists()) add.bind(1, v).run();
    }
    exec(db, "COMMIT");
}

}  // namespace

int main() {
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-import-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        fs::path home = tmpl;
        setenv("PAVODEN2_HOME", tmpl.c_str(), 1);
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        for (const char* name : {"jsearch2.DB", "CITY.db", "JS_EDIT.db", "REASON.db",
                                 "CONTACT_NAME.DB", "POSTITLE.DB", "STATS_JT.DB"})
            store::TableSetCreator::create_table_in(kDb, *store::find_table_schema(name));

        const auto fields = store::find_table_schema("jsearch2.DB")->fields;
        auto field_at = [&](const char* name) {
            for (std::size_t i = 0; i < fields.size(); ++i)
                if (fields[i].name == name) return i;
            return fields.size();
        };
        const auto rows = sample::Generator().job_searches(kJobs);
        std::vector<std::vector<std::string>> edits;
        {
            std::set<std::string> titles;
            for (const auto& r : rows) titles.insert(r[field_at("POS_TITLE")]);
            int i = 0;
            for (const auto& t : titles)
                if (i++ < kEdits) edits.push_back({t, t + " (EDITED)", "TOO FAR"});
            for (; i < kEdits; ++i)
                edits.push_back({"OLD TITLE " + std::to_string(i), "OLD", "NOT A FIT"});
        }
        Table jobs, city, js_edit, reason, contact, postitle, stats;
        open(jobs, "jsearch2.DB", "YYYYMMDD_TIME_DESCENDING", true);
        open(city, "CITY.db", "CITY");
        open(js_edit, "JS_EDIT.db");
        open(reason, "REASON.db", "REASON");
        open(contact, "CONTACT_NAME.DB", "CONTACT_NAME");
        open(postitle, "POSTITLE.DB");
        open(stats, "STATS_JT.DB", "ORDER;CATEGORY");
        sample::append_rows(jobs, rows);
        sample::append_rows(js_edit, edits);

        // The baseline's tables: the columns the steps touch, the pick lists keyed as ours.
        sqlite3* db = nullptr;
        sqlite3_open((home / "baseline.sqlite").c_str(), &db);
        exec(db,
             "CREATE TABLE jobs(PK INTEGER PRIMARY KEY, REFNUM, DATE, YYYYMMDD, TIME, "
             "CONTACT_NAME, EMAIL, POS_TYPE, POS_CITY, POS_STATE, POS_TITLE, POS_TITLE_ORIGINAL, "
             "SUBMITTED, REASON_NO_SUBMIT, ITEM_FILE, COMMENT);"
             "CREATE INDEX jd ON jobs(YYYYMMDD COLLATE NOCASE, TIME COLLATE NOCASE);"
             "CREATE TABLE js_edit(CHANGE_FROM, CHANGE_TO, REASON_NO_SUBMIT, "
             "PRIMARY KEY(CHANGE_FROM, CHANGE_TO, REASON_NO_SUBMIT));"
             "CREATE TABLE city(CITY PRIMARY KEY); CREATE TABLE reason(REASON PRIMARY KEY);"
             "CREATE TABLE contact(CONTACT_NAME PRIMARY KEY);"
             "CREATE TABLE postitle(POS_TITLE PRIMARY KEY); BEGIN");
        {
            Stmt ins(db,
                     "INSERT INTO jobs(REFNUM, YYYYMMDD, TIME, CONTACT_NAME, POS_CITY, POS_STATE, "
                     "POS_TITLE, REASON_NO_SUBMIT) VALUES(?,?,?,?,?,?,?,?)");
            for (const auto& r : rows) {
                int p = 1;
                for (const char* f : {"REFNUM", "YYYYMMDD", "TIME", "CONTACT_NAME", "POS_CITY",
                                      "POS_STATE", "POS_TITLE", "REASON_NO_SUBMIT"})
                    ins.bind(p++, r[field_at(f)]);
                ins.run();
            }
            Stmt ed(db, "INSERT INTO js_edit VALUES(?,?,?)");
            for (const auto& e : edits) ed.bind(1, e[0]).bind(2, e[1]).bind(3, e[2]).run();
        }
        exec(db, "COMMIT");

        auto in_command = [](const std::function<void()>& work) {
            return [work] {
                CommandScope scope;
                work();
                scope.commit();
            };
        };
        const records::StepIo io;

        // import_1000: read, checked against the records, posted with its cities.
        const std::string mail = mail_text();
        double ours = time_ms(in_command([&] {
            auto reading = records::read_job_mail(mail, records::MailLayout::kV4, "c:\\m\\a.txt");
            if (reading.refusal) throw std::runtime_error(reading.refusal->text);
            auto recorded = records::find_recorded_jobs(jobs, reading.jobs);
            auto posted =
                records::post_mail_jobs(jobs, city, reading.jobs, recorded, "c:\\m\\a.txt");
            if (posted.refusal) throw std::runtime_error(posted.refusal->text);
        }));
        double base = time_ms([&] {
            auto reading = records::read_job_mail(mail, records::MailLayout::kV4, "c:\\m\\b.txt");
            exec(db, "BEGIN");
            Stmt dup(db,
                     "SELECT YYYYMMDD, POS_STATE, POS_CITY, COMMENT, POS_TITLE FROM jobs "
                     "WHERE YYYYMMDD = ?");
            while (dup.bind(1, reading.jobs.front().yyyymmdd).row()) {
            }
            Stmt ins(db,
                     "INSERT INTO jobs(REFNUM, DATE, YYYYMMDD, TIME, CONTACT_NAME, EMAIL, "
                     "POS_TYPE, POS_CITY, POS_STATE, POS_TITLE, SUBMITTED, REASON_NO_SUBMIT, "
                     "ITEM_FILE, COMMENT) VALUES(0,?,?,'00:00','CAREERBUILDER.COM',1,'MU',?,?,?,0,"
                     "'AUTOMATED E-MAIL',?,?)");
            Stmt find(db, "SELECT 1 FROM city WHERE CITY = ?");
            Stmt add(db, "INSERT INTO city VALUES(?)");
            for (const auto& j : reading.jobs) {
                ins.bind(1, j.date).bind(2, j.yyyymmdd).bind(3, j.city).bind(4, j.state);
                ins.bind(5, j.title).bind(6, j.item_file).bind(7, j.comment).run();
                if (!find.bind(1, j.city).exists()) add.bind(1, j.city).run();
            }
            exec(db, "COMMIT");
        });
        report("import_1000", ours, base);
        // The window re-reads its datasets after an import; the steps below walk what it shows.
        std::printf("# import window's re-read of the shared datasets: %.1f ms\n", time_ms([&] {
                        jobs.refresh();
                        city.refresh();
                    }));

        auto step1 = [&] { records::update_refnum(jobs, io); };
        auto base1 = [&] {
            exec(db, "BEGIN");
            Stmt walk(db, "SELECT PK, REFNUM FROM jobs ORDER BY YYYYMMDD DESC, TIME DESC");
            Stmt upd(db, "UPDATE jobs SET REFNUM = ? WHERE PK = ?");
            while (walk.row())
                if (sqlite3_column_double(walk.s, 1) == 0)
                    upd.bind(1, sqlite3_column_double(walk.s, 0))
                        .bind(2, sqlite3_column_double(walk.s, 0))
                        .run();
            exec(db, "COMMIT");
        };
        auto step2 = [&] { records::update_job_title_edits(jobs, js_edit, io); };
        auto base2 = [&] {
            exec(db, "BEGIN");
            Stmt walk(db, "SELECT PK, POS_TITLE FROM jobs ORDER BY YYYYMMDD DESC, TIME DESC");
            Stmt upd(db, "UPDATE jobs SET POS_TITLE = ? WHERE PK = ?");
            Stmt find(db, "SELECT 1 FROM js_edit WHERE CHANGE_FROM = ?");
            Stmt add(db, "INSERT INTO js_edit VALUES(?, '*** NEW ENTRY, EDIT ME ***', NULL)");
            while (walk.row()) {
                std::string t = walk.text(1), w = t;
                for (char& c : w)
                    if (c == '\'') c = '_';
                if (w != t) upd.bind(1, w).bind(2, sqlite3_column_double(walk.s, 0)).run();
                if (!w.empty() && !find.bind(1, w).exists()) add.bind(1, w).run();
            }
            exec(db, "COMMIT");
        };
        auto step4 = [&] {
            jobs.first();
            records::update_job_titles(jobs, js_edit, io);
        };
        auto base4 = [&] {
            exec(db, "BEGIN");
            Stmt walk(db,
                      "SELECT PK, POS_TITLE, POS_TITLE_ORIGINAL FROM jobs ORDER BY YYYYMMDD DESC, "
                      "TIME DESC");
            Stmt orig(db, "UPDATE jobs SET POS_TITLE_ORIGINAL = ? WHERE PK = ?");
            Stmt title(db, "UPDATE jobs SET POS_TITLE = ? WHERE PK = ?");
            Stmt find(db, "SELECT CHANGE_TO FROM js_edit WHERE CHANGE_FROM = ?");
            while (walk.row()) {
                std::string t = walk.text(1);
                double pk = sqlite3_column_double(walk.s, 0);
                if (t != walk.text(2)) orig.bind(1, t).bind(2, pk).run();
                find.bind(1, to_upper(trim(t)));
                if (find.row()) {
                    std::string to = find.text(0);
                    if (to != "*** NEW ENTRY, EDIT ME ***" && to != t)
                        title.bind(1, to).bind(2, pk).run();
                }
                sqlite3_reset(find.s);
            }
            exec(db, "COMMIT");
        };
        auto step5 = [&] { records::update_position_titles(jobs, postitle, io); };
        auto base5 = [&] {
            baseline_lookup_add(db, "SELECT POS_TITLE FROM jobs", "postitle", "POS_TITLE", false,
                                false);
        };
        auto step7 = [&] { records::rebuild_reasons(jobs, reason, js_edit, io); };
        auto base7 = [&] {
            baseline_lookup_add(db, "SELECT REASON_NO_SUBMIT FROM jobs", "reason", "REASON", true,
                                true);
            baseline_lookup_add(db, "SELECT REASON_NO_SUBMIT FROM js_edit", "reason", "REASON",
                                false, true);
        };
        auto step8 = [&] { records::rebuild_cities(jobs, city, io); };
        auto base8 = [&] {
            baseline_lookup_add(db, "SELECT POS_CITY FROM jobs", "city", "CITY", true, true);
        };
        auto step9 = [&] { records::update_contact_names(jobs, contact, io); };
        auto base9 = [&] {
            baseline_lookup_add(db, "SELECT CONTACT_NAME FROM jobs", "contact", "CONTACT_NAME",
                                false, false);
        };
        const std::vector<std::tuple<const char*, std::function<void()>, std::function<void()>>>
            steps = {{"step1", step1, base1}, {"step2", step2, base2}, {"step4", step4, base4},
                     {"step5", step5, base5}, {"step7", step7, base7}, {"step8", step8, base8},
                     {"step9", step9, base9}};
        double all_ours = 0, all_base = 0;
        for (const auto& [name, o, b] : steps) {
            double t_ours = time_ms(in_command(o)), t_base = time_ms(b);
            report(name, t_ours, t_base);
        }
        // Run All Steps without the title edit window, on the records as the steps left them.
        all_ours = time_ms(in_command([&] {
            for (const auto& s : steps) std::get<1>(s)();
        }));
        all_base = time_ms([&] {
            for (const auto& s : steps) std::get<2>(s)();
        });
        report("run_all", all_ours, all_base);
        sqlite3_close(db);
        jobs.close();
        std::error_code ec;
        fs::remove_all(home, ec);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-import: %s\n", e.what());
        return 1;
    }
}
