// Fixture of the table tests: each test gets its own home, alias TESTDB at c:\data\.
#include "table_test_support.h"

#include <sqlite3.h>

#include <cstdlib>

#include "platform/alias_config.h"
#include "platform/drive_map.h"

namespace pavo::tables::test {

void TableTest::SetUp() {
    std::string tmpl = (fs::temp_directory_path() / "pavo-tables-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    home_ = tmpl;
    DriveMap::set_current_home(home_);
    AliasConfig::reset_current();
    fs::create_directories(data_dir());
    AliasConfig::current().add_standard("TESTDB", "c:\\data\\", "Paradox", true);
}

void TableTest::TearDown() {
    AliasConfig::reset_current();
    std::error_code ec;
    fs::remove_all(home_, ec);
}

std::unique_ptr<Table> TableTest::table(const std::string& name) {
    auto t = std::make_unique<Table>();
    t->set_database_name("TESTDB");
    t->set_table_name(name);
    return t;
}

void TableTest::create(const std::string& name, std::vector<FieldDef> fields,
                       std::vector<IndexDef> indexes) {
    auto t = table(name);
    t->set_field_defs(std::move(fields));
    t->set_index_defs(std::move(indexes));
    t->create_table(true);
}

void TableTest::fill(Table& t, const std::vector<std::vector<std::string>>& rows) {
    CommandScope scope;
    for (const auto& row : rows) {
        t.append();
        for (std::size_t i = 0; i < row.size(); ++i)
            if (t.field(static_cast<int>(i)).type() != FieldType::kAutoInc)
                t.field(static_cast<int>(i)).set_as_string(row[i]);
        t.post();
    }
}

std::vector<std::string> TableTest::column(Table& t, const std::string& field) {
    std::vector<std::string> out;
    Field f = t.field(field);
    for (t.first(); !t.eof(); t.next()) out.push_back(f.as_string());
    return out;
}

void TableTest::create_jobs() {
    create("jsearch2",
           {{"PK", FieldType::kAutoInc},
            {"ACTIVE", FieldType::kBoolean},
            {"DATE", FieldType::kDate, 0, true},
            {"YYYYMMDD", FieldType::kString, 8, true},
            {"TIME", FieldType::kString, 5, true},
            {"CONTACT_NAME", FieldType::kString, 50, true},
            {"POS_STATE", FieldType::kString, 2},
            {"POS_TITLE", FieldType::kString, 80},
            {"REFNUM", FieldType::kFloat},
            {"REASON_NO_SUBMIT", FieldType::kString, 132},
            {"MEMO", FieldType::kMemo, 10}},
           {{"", "PK", true, true},
            {"CONTACT_NAME_", "CONTACT_NAME", false, false, false, true},
            {"YYYYMMDD_TIME_DESCENDING", "YYYYMMDD;TIME", false, false, true, true},
            {"YYYYMMDD_TIME_ASCENDING", "YYYYMMDD;TIME", false, false, false, true}});
}

int committed_rows(const fs::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM data", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

}  // namespace pavo::tables::test
