// The migration of old Paradox tables: mapping, values, code pages, memos, refused rows, numbering
// and the set made all or nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "migrate_fixture.h"
#include "platform/file_system.h"
#include "store/table_tool.h"

namespace pavo::records::test {
namespace {

std::string slurp(const fs::path& p) {
    return read_whole_file(p);
}

TEST_F(MigrateTest, TablesAndFieldsAreMatchedByNameWhateverTheirCase) {
    // jsearch2 under another spelling, with an old field the new table lacks, no MEMO field, and
    // a TIME field of another type.
    OldTableSpec jobs = spec("jsearch2.DB");
    jobs.columns.erase(jobs.columns.begin() + pavo::test::column_index(jobs, "MEMO"));
    jobs.columns[static_cast<std::size_t>(pavo::test::column_index(jobs, "CONTACT_NAME"))].name =
        "contact_name";
    jobs.columns.push_back({"OLD_NOTE", 0x01, 10});
    jobs.columns[static_cast<std::size_t>(pavo::test::column_index(jobs, "ACTIVE_CHANGED"))].type =
        0x14;  // Time
    jobs.rows.push_back(job(jobs, 1, "ACME"));
    write("JSEARCH2", jobs);
    OldTableSpec city = spec("CITY.db");
    city.rows = {{Cell::str("DENVER")}, {Cell::str("BOULDER")}};
    write("city", city);
    OldTableSpec other;
    other.columns = {{"X", 0x01, 5}};
    other.rows = {{Cell::str("a")}, {Cell::str("b")}, {Cell::str("c")}};
    write("OTHER", other);
    std::ofstream(old_ / "notes.txt") << "x";
    std::ofstream(old_ / "CITY.PX") << "index";

    MigrationReport r = migrate();
    ASSERT_TRUE(r.done) << format_report(r);
    EXPECT_EQ(r.exit_status(), 0);
    ASSERT_EQ(r.tables.size(), 19u);
    for (const TableReport& t : r.tables) EXPECT_NO_THROW(rows(t.table)) << t.table;

    const TableReport* j = table_report(r, "jsearch2.DB");
    ASSERT_TRUE(j);
    EXPECT_EQ(j->file, "JSEARCH2.DB");
    EXPECT_FALSE(j->created);
    EXPECT_EQ(j->written, 1);
    EXPECT_EQ(j->unknown_fields, std::vector<std::string>{"OLD_NOTE"});
    EXPECT_EQ(j->missing_fields, std::vector<std::string>{"MEMO"});
    ASSERT_EQ(j->mismatched_fields.size(), 1u);
    EXPECT_EQ(j->mismatched_fields[0].field, "ACTIVE_CHANGED");
    EXPECT_EQ(j->mismatched_fields[0].found, "Time");
    EXPECT_EQ(j->mismatched_fields[0].expected, "ftDate");
    EXPECT_EQ(rows("jsearch2.DB").at(0).at("CONTACT_NAME"), "ACME");

    // A table the old folder has keeps only its own rows; one it lacks gets its initial rows.
    EXPECT_EQ(rows("CITY.db").size(), 2u);
    EXPECT_EQ(rows("Carrier.db").size(), 23u);
    EXPECT_TRUE(table_report(r, "Carrier.db")->created);
    EXPECT_EQ(rows("CONFIG.DB").size(), 1u);
    ASSERT_EQ(r.unknown_tables.size(), 1u);
    EXPECT_EQ(r.unknown_tables[0].file, "OTHER.DB");
    EXPECT_EQ(r.unknown_tables[0].rows, 3);
    EXPECT_EQ(r.ignored_files, (std::vector<std::string>{"CITY.PX", "notes.txt"}));
    EXPECT_NE(slurp(target_ / "migration" / "report.txt").find("0 rows refused"),
              std::string::npos);
}

TEST_F(MigrateTest, ValuesKeepTheirDatesBitsNullsAndText) {
    OldTableSpec jobs = spec("jsearch2.DB");
    const std::string long_memo = [] {
        std::string m;
        for (int i = 0; m.size() < 70000; ++i) m += "line " + std::to_string(i) + "\r\n";
        return m.substr(0, 70000);
    }();
    auto a = job(jobs, 1, "O'BRIEN & SONS");
    a[static_cast<std::size_t>(pavo::test::column_index(jobs, "DATE"))] = Cell::date(1900, 1, 1);
    a[static_cast<std::size_t>(pavo::test::column_index(jobs, "REFNUM"))] = Cell::num(0.0);
    a[static_cast<std::size_t>(pavo::test::column_index(jobs, "SUBMITTED"))] = Cell::boolean(false);
    a[static_cast<std::size_t>(pavo::test::column_index(jobs, "POS_TITLE"))] =
        Cell::str("Caf\xE9 m\xFCller");  // accented letters in code page 1252
    a[static_cast<std::size_t>(pavo::test::column_index(jobs, "MEMO"))] = Cell::memo(long_memo);
    auto b = job(jobs, 2, "Smith");
    b[static_cast<std::size_t>(pavo::test::column_index(jobs, "REFNUM"))] = Cell::num(0.1);
    b[static_cast<std::size_t>(pavo::test::column_index(jobs, "COMMENT"))] =
        Cell::str("first\r\nsecond");
    auto c = job(jobs, 3, "Tiny");
    c[static_cast<std::size_t>(pavo::test::column_index(jobs, "REFNUM"))] = Cell::num(-2.5e-300);
    jobs.rows = {a, b, c};
    write("jsearch2", jobs);

    MigrationReport r = migrate();
    ASSERT_TRUE(r.done) << format_report(r);
    auto got = rows("jsearch2.DB");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].at("DATE"), "1/1/1900");
    EXPECT_EQ(got[1].at("DATE"), "2/29/2004");
    EXPECT_EQ(got[0].at("CONTACT_NAME"), "O'BRIEN & SONS");
    EXPECT_EQ(got[0].at("POS_TITLE"), "Caf\u00e9 m\u00fcller");
    EXPECT_EQ(got[0].at("MEMO"), long_memo);
    EXPECT_EQ(got[1].at("COMMENT"), "first\r\nsecond");
    // 0 and false stay values; an empty field stays null.
    EXPECT_EQ(got[0].count("REFNUM"), 1u);
    EXPECT_EQ(got[0].at("SUBMITTED"), "False");
    EXPECT_EQ(got[0].count("ACTIVE"), 0u);
    EXPECT_EQ(got[0].count("ACTIVE_CHANGED"), 0u);
    EXPECT_EQ(got[1].count("EMAIL"), 0u);

    // Numbers keep every bit.
    tables::Table t;
    t.set_database_name(DriveMap::current().to_logical(target_));
    t.set_table_name("jsearch2.DB");
    t.open();
    std::vector<double> refnums;
    for (t.first(); !t.eof(); t.next()) refnums.push_back(t.field("REFNUM").as_float());
    EXPECT_EQ(refnums, (std::vector<double>{0.0, 0.1, -2.5e-300}));
    t.first();
    EXPECT_FALSE(t.field("REFNUM").is_null());
}

TEST_F(MigrateTest, CodePagesConvertTextAndListBytesThePageLacks) {
    struct Case {
        int recorded, forced;
        std::string bytes, text;
        bool assumed, replaced;
    };
    const std::vector<Case> cases = {
        {437, 0, "\x82t\xE9", "\u00e9t\u0398", false, false},
        {850, 0, "\xD0\x9D", "\u00f0\u00d8", false, false},
        {852, 0, "\xA5\xE6", "\u0105\u0160", false, false},
        {1250, 0, "\x8A\xB9", "\u0160\u0105", false, false},
        {1251, 0, "\xC0\xFF", "\u0410\u044f", false, false},
        {1252, 0, "\x80\xE9", "\u20ac\u00e9", false, false},
        {1252, 0, "a\x81z", "a\ufffdz", false, true},
        {0, 0, "\xE9", "\u00e9", true, false},
        {1252, 437, "\x82", "\u00e9", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recorded * 10000 + c.forced);
        fs::remove_all(old_);
        fs::create_directories(old_);
        fs::remove_all(target_);
        OldTableSpec city = spec("CITY.db");
        city.codepage = c.recorded;
        city.rows = {{Cell::str(c.bytes)}};
        write("CITY", city);
        MigrationOptions o;
        o.codepage = c.forced;
        MigrationReport r = migrate(o);
        ASSERT_TRUE(r.done) << format_report(r);
        EXPECT_EQ(rows("CITY.db").at(0).at("CITY"), c.text);
        const TableReport* t = table_report(r, "CITY.db");
        EXPECT_EQ(t->codepage, c.forced ? c.forced : (c.recorded ? c.recorded : 1252));
        EXPECT_EQ(t->codepage_assumed, c.assumed);
        ASSERT_EQ(t->replaced_chars.size(), c.replaced ? 1u : 0u);
        if (c.replaced) {
            EXPECT_EQ(t->replaced_chars[0].row, 1);
            EXPECT_EQ(t->replaced_chars[0].field, "CITY");
        }
    }
}

TEST_F(MigrateTest, MemosOfEveryBlockKindAndAMissingMemoFile) {
    OldTableSpec pay = spec("PAVODEN2.DB");
    const int memo = pavo::test::column_index(pay, "MEMO");
    const std::vector<std::string> memos = {"short", std::string(300, 'x'), "another shared one",
                                            std::string(9000, 'y'), ""};
    for (std::size_t i = 0; i < memos.size(); ++i) {
        auto r = row(pay, {{"pk", Cell::whole(static_cast<long>(i) + 1)}});
        if (!memos[i].empty()) r[static_cast<std::size_t>(memo)] = Cell::memo(memos[i]);
        pay.rows.push_back(r);
    }
    write("PAVODEN2", pay);
    MigrationReport r = migrate();
    ASSERT_TRUE(r.done) << format_report(r);
    auto got = rows("PAVODEN2.DB");
    ASSERT_EQ(got.size(), memos.size());
    for (std::size_t i = 0; i < memos.size(); ++i)
        EXPECT_EQ(got[i].count("MEMO") ? got[i].at("MEMO") : "", memos[i]) << i;

    // Without the memo file: refused unless asked to go on, then only the memos held in the
    // record come over and the others are listed.
    fs::remove(old_ / "PAVODEN2.MB");
    fs::remove_all(target_);
    r = migrate();
    ASSERT_FALSE(r.done);
    EXPECT_EQ(r.error->kind, "memo_missing");
    EXPECT_EQ(r.error->file, "PAVODEN2.DB");
    EXPECT_EQ(r.error->table, "PAVODEN2.DB");
    EXPECT_FALSE(fs::exists(target_));
    MigrationOptions o;
    o.skip_memos = true;
    r = migrate(o);
    ASSERT_TRUE(r.done) << format_report(r);
    got = rows("PAVODEN2.DB");
    EXPECT_EQ(got[0].at("MEMO"), "short");
    for (int i : {1, 2, 3}) EXPECT_EQ(got[static_cast<std::size_t>(i)].count("MEMO"), 0u) << i;
    const TableReport* t = table_report(r, "PAVODEN2.DB");
    ASSERT_EQ(t->skipped_memos.size(), 3u);
    EXPECT_EQ(t->skipped_memos[0].row, 2);
    EXPECT_EQ(t->skipped_memos[0].field, "MEMO");
}

TEST_F(MigrateTest, RefusedRowsAreListedKeptInTheirFileAndLoadBack) {
    OldTableSpec jobs = spec("jsearch2.DB");
    auto no_contact = job(jobs, 2, "");
    auto bad_date = job(jobs, 3, "X");
    bad_date[static_cast<std::size_t>(pavo::test::column_index(jobs, "DATE"))] =
        Cell::whole(0x7FFFFFF0);
    auto long_title = job(jobs, 4, "Y");
    long_title[static_cast<std::size_t>(pavo::test::column_index(jobs, "POS_STATE"))] =
        Cell::str("COLORADO");  // cut to 2 characters
    jobs.columns[static_cast<std::size_t>(pavo::test::column_index(jobs, "POS_STATE"))].size = 10;
    jobs.rows = {job(jobs, 1, "A"), no_contact, bad_date, long_title, job(jobs, 1, "duplicate")};
    jobs.autoinc = 9;  // rows up to 9 were numbered; 5 to 9 deleted since
    write("JSEARCH2", jobs);
    OldTableSpec city = spec("CITY.db");
    city.rows = {{Cell::str("Denver")}, {Cell::str("DENVER")}, {Cell::str("Denver")}};
    write("CITY", city);
    OldTableSpec config = spec("CONFIG.DB");
    config.rows = {row(config, {{"MY_NAME", Cell::str("FIRST")}}),
                   row(config, {{"MY_NAME", Cell::str("SECOND")}})};
    write("CONFIG", config);

    MigrationReport r = migrate();
    ASSERT_TRUE(r.done) << format_report(r);
    EXPECT_EQ(r.refused_count(), 5);
    const TableReport* j = table_report(r, "jsearch2.DB");
    ASSERT_EQ(j->refused.size(), 3u);
    struct Want {
        int row;
        const char* key;
        const char* reason;
        const char* field;
    };
    const Want want[] = {{2, "2", "required_empty", "CONTACT_NAME"},
                         {3, "3", "bad_value", "DATE"},
                         {5, "1", "key_violation", ""}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(j->refused[i].row, want[i].row) << i;
        EXPECT_EQ(j->refused[i].key, want[i].key) << i;
        EXPECT_EQ(j->refused[i].reason, want[i].reason) << i;
        EXPECT_EQ(j->refused[i].field, want[i].field) << i;
    }
    ASSERT_EQ(j->cut.size(), 1u);
    EXPECT_EQ(j->cut[0].row, 4);
    EXPECT_EQ(j->cut[0].field, "POS_STATE");
    EXPECT_EQ(j->cut[0].length, 8);
    EXPECT_EQ(rows("jsearch2.DB").at(1).at("POS_STATE"), "CO");
    // Numbering goes on past the old counter, not past the highest row kept.
    EXPECT_EQ(j->next_autoinc, 10);
    // Keys compare case-sensitively: "Denver" and "DENVER" both stay.
    const TableReport* c = table_report(r, "CITY.db");
    ASSERT_EQ(c->refused.size(), 1u);
    EXPECT_EQ(c->refused[0].reason, "key_violation");
    EXPECT_EQ(c->refused[0].key, "Denver");
    EXPECT_EQ(rows("CITY.db").size(), 2u);
    const TableReport* cfg = table_report(r, "CONFIG.DB");
    ASSERT_EQ(cfg->refused.size(), 1u);
    EXPECT_EQ(cfg->refused[0].reason, "extra_config_row");
    EXPECT_EQ(rows("CONFIG.DB").at(0).at("MY_NAME"), "FIRST");
    EXPECT_EQ(cfg->initial_rows, 0);

    // The refused file holds the rows in the table tool's form; fixed, they load back.
    std::string lines = slurp(target_ / "migration" / "refused-jsearch2.jsonl");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    std::string first = lines.substr(0, lines.find('\n') + 1);
    EXPECT_NE(first.find("\"PK\":2"), std::string::npos) << first;
    EXPECT_NE(first.find("\"DATE\":\"2004-02-29\""), std::string::npos) << first;
    const std::string fixed_line = std::string(first).replace(first.find("\"CONTACT_NAME\":null"),
                                                              19, "\"CONTACT_NAME\":\"FIXED\"");
    { std::ofstream(home_.path() / "fixed.jsonl") << fixed_line; }
    std::ostringstream out, err;
    EXPECT_EQ(store::run_table_tool({"--dir", target_.string(), "load", "jsearch2.DB",
                                     (home_.path() / "fixed.jsonl").string()},
                                    out, err),
              0)
        << err.str();
    auto got = rows("jsearch2.DB");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].at("PK"), "2");
    EXPECT_EQ(got[1].at("CONTACT_NAME"), "FIXED");
}

TEST_F(MigrateTest, AnEmptyOldConfigTableGetsTheInitialRow) {
    write("CONFIG", spec("CONFIG.DB"));
    MigrationReport r = migrate();
    ASSERT_TRUE(r.done) << format_report(r);
    EXPECT_EQ(table_report(r, "CONFIG.DB")->initial_rows, 1);
    EXPECT_EQ(rows("CONFIG.DB").at(0).at("SIDE_BAR_COLOR"), "clLime");
}

}  // namespace
}  // namespace pavo::records::test
