// Installation and the shared datasets: first run, repeated runs, missing pieces named at start.
#include "store/install.h"

#include <gtest/gtest.h>

#include "platform/alias_config.h"
#include "platform/error.h"
#include "store/data_module.h"
#include "store/schema.h"
#include "store/table_check.h"
#include "store_fixture.h"
#include "tables/file_layout.h"

namespace pavo::store {
namespace {

namespace fs = std::filesystem;

fs::path live(const testing::TempHome& home) {
    return home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db";
}

std::string error_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Install, FirstRunMakesTreeTablesAndAlias) {
    testing::TempHome home;
    InstallReport report = install({});
    EXPECT_TRUE(report.changed);
    for (const char* dir : {"db", "zip/databases", "filter_files", "reports"})
        EXPECT_TRUE(fs::is_directory(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / dir))
            << dir;
    for (const auto& t : schema()) {
        std::string file = t.file_name.ends_with(".db") ? t.file_name : t.file_name + ".db";
        EXPECT_TRUE(fs::exists(live(home) / file)) << file;
    }
    AliasConfig::reset_current();  // as a later start of the program reads it
    EXPECT_EQ(AliasConfig::current().params("PAVODEN2").front(),
              R"(PATH=c:\mydata\KV-DB\PAVODEN2\db\)");

    DataModule dm;
    EXPECT_EQ(DataModule::instance(), &dm);
    EXPECT_EQ(dm.table_time.record_count(), 144);
    EXPECT_EQ(dm.table_carrier.record_count(), 23);
    EXPECT_EQ(dm.table_jsearch2.index_name(), "YYYYMMDD_TIME_DESCENDING");
    EXPECT_TRUE(dm.table_jsearch2.filter_case_insensitive());
    EXPECT_EQ(dm.table_stat_jt.index_field_names(), "ORDER;CATEGORY");
    for (const auto& [dataset, source] : DataModule::dataset_names()) {
        ASSERT_NE(dm.dataset(dataset), nullptr) << dataset;
        EXPECT_TRUE(dm.dataset(dataset)->active()) << dataset;
    }
    // Categories come in key order through their index fields.
    dm.table_category.first();
    EXPECT_EQ(dm.table_category.field("CATEGORY").as_string(), "ATTORNEY FEES");
}

TEST(Install, SecondRunChangesNothingAndKeepsPostedRows) {
    testing::TempHome home;
    install({});
    {
        DataModule dm;
        dm.table_city.append();
        dm.table_city.field("CITY").set_as_string("DENVER");
        dm.table_city.post();
    }
    auto before = fs::last_write_time(live(home) / "carrier.db");
    InstallReport again = install({});
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(fs::last_write_time(live(home) / "carrier.db"), before);
    EXPECT_EQ(testing::row_count("PAVODEN2", "CITY.db"), 1);
    bool said_found = false;
    for (const auto& l : again.lines) said_found |= l.find("left as it is") != std::string::npos;
    EXPECT_TRUE(said_found);

    // A table lost since is made again; the others stay as they are.
    fs::remove(live(home) / "city.db");
    InstallReport repair = install({});
    EXPECT_TRUE(repair.changed);
    EXPECT_EQ(testing::row_count("PAVODEN2", "CITY.db"), 0);
    EXPECT_EQ(fs::last_write_time(live(home) / "carrier.db"), before);
}

TEST(DataModuleStart, MissingPiecesAreNamed) {
    testing::TempHome home;
    EXPECT_NE(error_text([] { DataModule dm; }).find("PAVODEN2"), std::string::npos);

    install({});
    fs::remove(live(home) / "city.db");
    std::string missing_table = error_text([] { DataModule dm; });
    EXPECT_NE(missing_table.find("CITY.db"), std::string::npos) << missing_table;
    EXPECT_EQ(DataModule::instance(), nullptr);

    fs::remove_all(live(home));
    std::string missing_dir = error_text([] { DataModule dm; });
    EXPECT_NE(missing_dir.find(R"(c:\mydata\KV-DB\PAVODEN2\db\)"), std::string::npos)
        << missing_dir;
}

TEST(Install, SampleSetIsConsistent) {
    testing::TempHome home;
    InstallReport report = install({.sample_data = true});
    const std::string sample = R"(c:\mydata\KV-DB\PAVODEN2\db\SAMPLE\)";
    EXPECT_GE(testing::row_count(sample, "PAVODEN2.DB"), 200);
    int jobs = testing::row_count(sample, "jsearch2.DB");
    EXPECT_GE(jobs, 2000);
    EXPECT_GT(testing::row_count(sample, "CITY.db"), 5);
    EXPECT_GT(testing::row_count(sample, "STATS_JT.DB"), 10);

    // Every follow-up names an application that exists, and applications name themselves.
    tables::Table js;
    js.set_database_name(sample);
    js.set_table_name("jsearch2.DB");
    js.open();
    std::set<double> pks;
    for (js.first(); !js.eof(); js.next()) pks.insert(js.field("PK").as_float());
    int follow_ups = 0;
    for (js.first(); !js.eof(); js.next()) {
        double ref = js.field("REFNUM").as_float();
        EXPECT_TRUE(pks.count(ref)) << ref;
        follow_ups += ref != js.field("PK").as_float();
    }
    EXPECT_GT(follow_ups, jobs / 10);
    // The live set and the sample set below it are checked together, the sample under its folder.
    std::vector<TableCheck> checks = check_table_folder("PAVODEN2", true);
    ASSERT_EQ(checks.size(), 2 * schema().size());
    for (const auto& c : checks) EXPECT_TRUE(c.ok) << c.table << ": " << c.problem;
    EXPECT_EQ(checks.back().table.substr(0, 7), "SAMPLE\\");
    // The live set is untouched by the sample.
    EXPECT_EQ(testing::row_count("PAVODEN2", "jsearch2.DB"), 0);
    EXPECT_FALSE(install({.sample_data = true}).changed);
}

// Homes and backups made before columns were named hold tables with numbered columns: they are
// sound to the check, and the program's start and setup convert them, skipping one held open.
TEST(NumberedColumns, CheckedSoundAndConvertedAtStartAndBySetup) {
    testing::TempHome home;
    install({});
    const char* const old_tables[] = {"time10.db", "carrier.db", "pavoden2.db", "jsearch2.db",
                                      "stats_jt.db"};
    for (const char* name : old_tables)
        fs::copy_file(fs::path(PAVO_SOURCE_DIR) / "tests/tables/data/first_layout" / name,
                      live(home) / name, fs::copy_options::overwrite_existing);
    for (const auto& c : check_table_folder("PAVODEN2")) EXPECT_TRUE(c.ok) << c.problem;

    auto named = [&](const char* name) { return tables::has_named_columns(live(home) / name); };
    {
        tables::Table held;
        held.set_database_name("PAVODEN2");
        held.set_table_name("TIME10.DB");
        held.open();
        DataModule dm;
        EXPECT_EQ(dm.table_time.record_count(), 144);
        EXPECT_EQ(dm.table_carrier.record_count(), 23);
        EXPECT_EQ(dm.table_pavoden.record_count(), 5);
        EXPECT_EQ(dm.table_jsearch2.record_count(), 3);
        EXPECT_EQ(dm.table_stat_jt.record_count(), 6);
        EXPECT_FALSE(named("time10.db"));
        for (const char* name : {"carrier.db", "pavoden2.db", "jsearch2.db", "stats_jt.db"})
            EXPECT_TRUE(named(name)) << name;
    }
    InstallReport report = install({});
    EXPECT_TRUE(report.changed);
    bool said = false;
    for (const auto& l : report.lines) said |= l.find("converted 1 ") != std::string::npos;
    EXPECT_TRUE(said);
    EXPECT_TRUE(named("time10.db"));
    EXPECT_EQ(testing::row_count("PAVODEN2", "TIME10.DB"), 144);
    for (const auto& c : check_table_folder("PAVODEN2")) EXPECT_TRUE(c.ok) << c.problem;
}

}  // namespace
}  // namespace pavo::store
