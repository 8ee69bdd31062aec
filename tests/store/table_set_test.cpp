// A new table set: its progress lines, its rows, its rules, and the folder refusals.
#include "store/table_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/error.h"
#include "store/schema.h"
#include "store_fixture.h"

namespace pavo::store {
namespace {

using testing::read_rows;
using testing::row_count;

std::vector<std::string> golden_lines() {
    std::ifstream in(std::string(PAVO_STORE_TEST_DATA) + "/create_lines.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class NewSet : public ::testing::Test {
  protected:
    void SetUp() override {
        TableSetCreator creator([this](const std::string& l) { lines.push_back(l); });
        ASSERT_EQ(creator.create("NEWSET"), CreateOutcome::kDone);
    }
    const std::string db = R"(C:\MYDATA\KV-DB\PAVODEN2\DB\NEWSET\)";
    testing::TempHome home;
    std::vector<std::string> lines;
};

TEST_F(NewSet, ProgressLinesMatchWordForWord) {
    EXPECT_EQ(lines, golden_lines());
}

TEST_F(NewSet, HoldsTheInitialRowsAndNothingElse) {
    auto carriers = read_rows(db, "Carrier.db", {"CARRIER"});
    ASSERT_EQ(carriers.size(), 23u);
    // The padding lines the dashes up in one column.
    for (const auto& r : carriers) EXPECT_EQ(r[0].find(" - "), 5u) << r[0];
    EXPECT_TRUE(std::count(carriers.begin(), carriers.end(),
                           std::vector<std::string>{"UPS   - NEXT DAY AIR EARLY A.M."}));

    auto categories = read_rows(db, "Category.db", {"CATEGORY"});
    EXPECT_EQ(categories.size(), 18u);
    EXPECT_TRUE(std::count(categories.begin(), categories.end(),
                           std::vector<std::string>{"EMPLOYEE PAY STATEMENT"}));

    EXPECT_EQ(read_rows(db, "POSCODE.DB", {"POS_CODE", "POS_DESC"}),
              (std::vector<std::vector<std::string>>{{"CH", "CONTRACT TO HIRE"},
                                                     {"CT", "CONTRACT"},
                                                     {"FT", "FULL TIME"},
                                                     {"MU", "MULTIPLE"},
                                                     {"PT", "PART TIME"}}));

    auto times = read_rows(db, "TIME10.DB", {"24_HOUR", "12_HOUR"});
    ASSERT_EQ(times.size(), 144u);
    EXPECT_EQ(times.front(), (std::vector<std::string>{"00:00", "12:00 AM"}));
    EXPECT_EQ(times[6], (std::vector<std::string>{"01:00", "1:00 AM"}));
    EXPECT_EQ(times[72], (std::vector<std::string>{"12:00", "12:00 PM"}));
    EXPECT_EQ(times[79], (std::vector<std::string>{"13:10", "1:10 PM"}));
    EXPECT_EQ(times.back(), (std::vector<std::string>{"23:50", "11:50 PM"}));

    EXPECT_EQ(read_rows(db, "SENGINES.DB", {"SEARCH_ENGINE"}),
              (std::vector<std::vector<std::string>>{
                  {"CAREERBUILDER.COM"}, {"HOTJOBS.COM"}, {"NET-TEMPS.COM"}}));

    auto config = read_rows(db, "CONFIG.DB",
                            {"SIDE_BAR_COLOR", "AUTO_ZIP", "BROWSE_START_HERE", "MY_STATE",
                             "EX_SPOUSE_STATE", "EX_SPOUSE_SSAN"});
    ASSERT_EQ(config.size(), 1u);
    EXPECT_EQ(config[0][0], "clLime");
    EXPECT_EQ(config[0][1], "True");
    EXPECT_EQ(config[0][2], "C:\\");
    EXPECT_EQ(config[0][3], "CO");
    EXPECT_EQ(config[0][4], "CO");
    EXPECT_EQ(config[0][5].size(), 11u);

    std::set<std::string> with_rows = {"Carrier.db", "Category.db", "POSCODE.DB",
                                       "TIME10.DB",  "SENGINES.DB", "CONFIG.DB"};
    for (const auto& t : schema())
        if (!with_rows.count(t.open_name)) {
            EXPECT_EQ(row_count(db, t.open_name), 0) << t.open_name;
        }
}

TEST_F(NewSet, TablesKeepTheirDefinitionsAndRules) {
    tables::Table js;
    js.set_database_name(db);
    js.set_table_name("JSEARCH2.DB");
    js.open();
    EXPECT_EQ(js.index_names(),
              (std::vector<std::string>{"CONTACT_NAME_", "POS_STATE_", "POS_STATE_CITY_",
                                        "YYYYMMDD_TIME_DESCENDING", "YYYYMMDD_TIME_ASCENDING",
                                        "POS_TYPE_POS_CITY"}));
    const char* required[] = {"DATE",     "YYYYMMDD", "TIME",     "CONTACT_NAME",
                              "POS_TYPE", "POS_CITY", "POS_STATE"};
    for (const char* missing : required) {
        js.append();
        js.field("DATE").set_as_date(37685);
        for (const char* f :
             {"YYYYMMDD", "TIME", "CONTACT_NAME", "POS_TYPE", "POS_CITY", "POS_STATE"})
            js.field(f).set_as_string("X");
        js.field(missing).clear();
        EXPECT_THROW(js.post(), Error) << missing;
        js.cancel();
    }
    EXPECT_EQ(js.record_count(), 0);

    tables::Table reason;
    reason.set_database_name(db);
    reason.set_table_name("reason.db");
    reason.open();
    reason.append();
    EXPECT_THROW(reason.post(), Error);
    reason.cancel();

    tables::Table city;
    city.set_database_name(db);
    city.set_table_name("CITY.DB");
    city.open();
    city.append();
    city.field("CITY").set_as_string("DENVER");
    city.post();
    city.append();
    city.field("CITY").set_as_string("DENVER");
    try {
        city.post();
        FAIL() << "a second row with the same key must be refused";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kKeyViolation);
    }
    city.cancel();
    EXPECT_EQ(city.record_count(), 1);
}

TEST_F(NewSet, SecondCreationStopsAtTheFolderAndLeavesTheFirstSetAlone) {
    {
        tables::Table city;
        city.set_database_name(db);
        city.set_table_name("CITY.DB");
        city.open();
        city.append();
        city.field("CITY").set_as_string("BOULDER");
        city.post();
    }
    std::vector<std::string> second;
    TableSetCreator creator([&](const std::string& l) { second.push_back(l); });
    EXPECT_EQ(creator.create("NEWSET"), CreateOutcome::kDirectoryFailed);
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second[1], "Operating System Error code : 17 - File exists");
    EXPECT_EQ(second[2],
              "If error is \"Operating System Error code : 5 - Permission denied\", the directory "
              "may already exist");
    EXPECT_EQ(second[3], "Process stopped");
    EXPECT_EQ(row_count(db, "CITY.DB"), 1);
    EXPECT_EQ(row_count(db, "TIME10.DB"), 144);
}

TEST(TableSetRefusals, EmptyNameAndFullStopCreateNothing) {
    testing::TempHome home;
    std::vector<std::string> lines;
    TableSetCreator creator([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(creator.create(""), CreateOutcome::kEmptyName);
    EXPECT_EQ(creator.create("A.DB"), CreateOutcome::kHasFullStop);
    EXPECT_EQ(lines, (std::vector<std::string>{"Attempting to create directory",
                                               "Attempting to create directory"}));
    EXPECT_FALSE(std::filesystem::exists(home.drive_c() / "MYDATA"));
}

TEST(TableSetRefusals, TableLayerErrorStopsTheRunWithEarlierTablesKept) {
    testing::TempHome home;
    const std::filesystem::path set =
        home.drive_c() / "MYDATA" / "KV-DB" / "PAVODEN2" / "DB" / "PART";
    std::vector<std::string> lines;
    // Something in the way of the carrier table, put there once the run has made the folder.
    TableSetCreator creator([&](const std::string& l) {
        lines.push_back(l);
        if (l == "Attempting to create CARRIER table.....")
            std::filesystem::create_directory(set / "carrier.db");
    });
    EXPECT_THROW(creator.create("PART"), Error);
    EXPECT_EQ(lines.back(), "Attempting to create CARRIER table.....");
    const std::string db = R"(C:\MYDATA\KV-DB\PAVODEN2\DB\PART\)";
    EXPECT_EQ(row_count(db, "PAVODEN2.DB"), 0);
    EXPECT_EQ(row_count(db, "STATS_JT.DB"), 0);
    EXPECT_FALSE(std::filesystem::exists(set / "category.db"));
}

}  // namespace
}  // namespace pavo::store
