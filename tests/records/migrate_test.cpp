// The migration of old Paradox tables: mapping, values, code pages, memos, refused rows, numbering
// and the set made all or nothing.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pavo::records::test
