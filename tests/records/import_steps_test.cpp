// Tests of the clean-up steps on values with apostrophes and trailing asterisks: every value found
// exactly, a second run adding nothing and failing nowhere, step 4 from a middle record and around
// the placeholder, the pick lists saved to a dated ZIP before they are emptied.
#include "records/import_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>

#include "archive/unpack/unpack_engine.h"
#include "import_fixture.h"
#include "platform/clock.h"

namespace pavo::records::test {
namespace {

// Titles, cities, reasons and contact names that break a value spliced into a filter text, or
// that would match others as prefixes. The walk (latest time first) meets each value without an
// asterisk before the one with it.
const std::vector<Row> kJobs = {
    {{"TIME", "01:00"},
     {"POS_TITLE", "O'BRIEN'S DEV"},
     {"POS_CITY", "O'FALLON"},
     {"REASON_NO_SUBMIT", "DIDN'T QUALIFY"},
     {"CONTACT_NAME", "O'REILLY & SONS"}},
    {{"TIME", "02:00"},
     {"POS_TITLE", "C++ DEV*"},
     {"POS_CITY", "ST. LOUIS*"},
     {"REASON_NO_SUBMIT", "NO*"},
     {"CONTACT_NAME", "ACME*"}},
    {{"TIME", "23:00"},
     {"POS_TITLE", "C++ DEV"},
     {"POS_CITY", "ST. LOUIS"},
     {"REASON_NO_SUBMIT", "NO"},
     {"CONTACT_NAME", "ACME"}},
    {{"TIME", "03:00"},
     {"POS_TITLE", "c++ dev"},
     {"POS_CITY", "st. louis"},
     {"REASON_NO_SUBMIT", "  NO  "},
     {"CONTACT_NAME", "acme"}},
    {{"TIME", "04:00"}, {"POS_TITLE", ""}, {"POS_CITY", "DENVER"}},
};

struct Recorder {
    std::vector<std::string> log, notices;
    std::string status;
    StepIo io() {
        return {
            [this](const std::string& l) { log.push_back(l); },
            [this](const std::string& s) { status = s; },
            [this](const std::string& c, const std::string& t) { notices.push_back(c + "|" + t); }};
    }
};

class StepsTest : public ImportTablesTest {
  protected:
    void SetUp() override {
        ImportTablesTest::SetUp();
        time_.emplace(clock::DateTime{2026, 12, 8, 14, 5, 9});
        for (const auto& r : kJobs) add_job(r);
        jobs_.first();
    }
    void TearDown() override { time_.reset(); }
    static std::set<std::string> as_set(const std::vector<std::string>& v) {
        return {v.begin(), v.end()};
    }
    std::optional<clock::ScopedFixedTime> time_;
    Recorder rec_;
};

TEST_F(StepsTest, RefnumGivesZeroRecordsTheirOwnKey) {
    add_job({{"REFNUM", "77"}});
    StepOutcome o = update_refnum(jobs_, rec_.io());
    EXPECT_EQ(o.read, 6);
    EXPECT_EQ(o.changed, 5);
    EXPECT_EQ(o.failures, 0);
    for (jobs_.first(); !jobs_.eof(); jobs_.next()) {
        double refnum = jobs_.field("REFNUM").as_float();
        if (refnum != 77) {
            EXPECT_EQ(refnum, jobs_.field("PK").as_float());
        }
    }
    EXPECT_EQ(rec_.log,
              (std::vector<std::string>{"Updating REFNUM, watch status bar for progress"}));
    EXPECT_EQ(rec_.status, "6 of 6");
}

TEST_F(StepsTest, LookupAndAddStepsFindEveryValueAndASecondRunAddsNothing) {
    // Edit rows: the underscored titles as written back, each once; no prefix match.
    StepOutcome o = update_job_title_edits(jobs_, js_edit_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(o.changed, 1);
    EXPECT_EQ(as_set(column(js_edit_, "CHANGE_FROM")),
              (std::set<std::string>{"O_BRIEN_S DEV", "C++ DEV*", "C++ DEV", "c++ dev"}));
    EXPECT_EQ(as_set(column(js_edit_, "CHANGE_TO")),
              (std::set<std::string>{"*** NEW ENTRY, EDIT ME ***"}));
    std::vector<std::string> titles = column(jobs_, "POS_TITLE");
    EXPECT_EQ(std::count(titles.begin(), titles.end(), "O_BRIEN_S DEV"), 1);

    o = update_contact_names(jobs_, contact_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(as_set(column(contact_, "CONTACT_NAME")),
              (std::set<std::string>{"O'REILLY & SONS", "ACME*", "ACME", "acme"}));

    // The same steps again: nothing added, nothing failed.
    for (int run = 0; run < 2; ++run) {
        o = update_job_title_edits(jobs_, js_edit_, rec_.io());
        EXPECT_EQ(o.added, 0);
        EXPECT_EQ(o.failures, 0) << o.first_failure;
        o = update_contact_names(jobs_, contact_, rec_.io());
        EXPECT_EQ(o.added, 0);
        EXPECT_EQ(o.failures, 0) << o.first_failure;
    }
    EXPECT_EQ(stored_rows("JS_EDIT.db"), 4);
    EXPECT_EQ(stored_rows("CONTACT_NAME.DB"), 4);
    EXPECT_EQ(step_summary("(9) Update Contact Name", o),
              "(9) Update Contact Name done: 5 records read, 0 added, 0 changed, 0 failures.");
}

TEST_F(StepsTest, JobTitlesFromTheCurrentRecordWithoutThePlaceholder) {
    jobs_.set_index_name("");
    for (int i = 0; i < 10; ++i) add_job({{"POS_TITLE", "SR. DEV " + std::to_string(i)}});
    add(js_edit_, {{"CHANGE_FROM", "SR. DEV 9"}, {"CHANGE_TO", "SENIOR DEVELOPER"}});
    add(js_edit_, {{"CHANGE_FROM", "SR. DEV 8"}, {"CHANGE_TO", "*** NEW ENTRY, EDIT ME ***"}});
    add(js_edit_, {{"CHANGE_FROM", "C++ DEV*"}, {"CHANGE_TO", "C++ STAR"}});
    add(js_edit_, {{"CHANGE_FROM", "O'BRIEN'S DEV"}, {"CHANGE_TO", "OBRIEN"}});
    add(js_edit_, {{"CHANGE_FROM", "c++ dev"}, {"CHANGE_TO", "LOWER FOUND AS STORED"}});
    // Primary order: the five records of kJobs, then SR. DEV 0..9. Start at the tenth record.
    jobs_.set_record_number(10);
    ASSERT_EQ(jobs_.field("POS_TITLE").as_string(), "SR. DEV 4");
    StepOutcome o = update_job_titles(jobs_, js_edit_, rec_.io());
    EXPECT_EQ(o.read, 6);
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    std::vector<std::string> titles = column(jobs_, "POS_TITLE"),
                             originals = column(jobs_, "POS_TITLE_ORIGINAL");
    for (int i = 0; i < 9; ++i) EXPECT_EQ(originals[i], "") << i;
    EXPECT_EQ(titles[1], "C++ DEV*");
    EXPECT_EQ(titles[13], "SR. DEV 8");  // the placeholder is never copied
    EXPECT_EQ(originals[13], "SR. DEV 8");
    EXPECT_EQ(titles[14], "SENIOR DEVELOPER");
    EXPECT_EQ(originals[14], "SR. DEV 9");

    // From the first record: exact keys (a trailing * is no prefix), the stored form found too.
    jobs_.first();
    o = update_job_titles(jobs_, js_edit_, rec_.io());
    titles = column(jobs_, "POS_TITLE");
    originals = column(jobs_, "POS_TITLE_ORIGINAL");
    EXPECT_EQ(titles[0], "OBRIEN");
    EXPECT_EQ(titles[1], "C++ STAR");
    EXPECT_EQ(titles[2], "C++ DEV");
    EXPECT_EQ(titles[3], "LOWER FOUND AS STORED");
    EXPECT_EQ(originals[3], "c++ dev");
    // A run over normalised titles keeps the latest one in POS_TITLE_ORIGINAL, as ever.
    jobs_.first();
    update_job_titles(jobs_, js_edit_, rec_.io());
    EXPECT_EQ(column(jobs_, "POS_TITLE_ORIGINAL")[14], "SENIOR DEVELOPER");
    EXPECT_EQ(column(jobs_, "POS_TITLE")[13], "SR. DEV 8");
}

// Reads a ZIP's single table back through the unpacking engine and a dataset on it.
std::vector<std::string> rows_in_zip(const std::filesystem::path& zip, const std::string& table,
                                     const std::string& field, const testing::TempHome& home) {
    auto out = home.drive_c() / "unzipped";
    std::filesystem::remove_all(out);
    std::string zip_s = zip.string(), out_s = out.string();
    const char* argv[] = {"arcvane-unpack", "-o", "-q", zip_s.c_str(), "-d", out_s.c_str()};
    EXPECT_EQ(zip::unpack_main(6, argv, {}), 0);
    tables::Table t;
    t.set_database_name("c:\\unzipped");
    t.set_table_name(table);
    t.open();
    std::vector<std::string> v;
    for (t.first(); !t.eof(); t.next()) v.push_back(t.field(field).as_string());
    return v;
}

TEST_F(StepsTest, ReasonsAndCitiesAreSavedThenRebuiltFromTheValuesInUse) {
    add(reason_, {{"REASON", "OLD REASON"}});
    add(city_, {{"CITY", "OLD TOWN"}});
    add(js_edit_, {{"CHANGE_FROM", "A"}, {"CHANGE_TO", "B"}, {"REASON_NO_SUBMIT", "TOO FAR'"}});
    add(js_edit_, {{"CHANGE_FROM", "C"}, {"CHANGE_TO", "D"}, {"REASON_NO_SUBMIT", "NO*"}});

    StepOutcome o = rebuild_reasons(jobs_, reason_, js_edit_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(as_set(column(reason_, "REASON")),
              (std::set<std::string>{"DIDN'T QUALIFY", "NO*", "NO", "TOO FAR'"}));
    ASSERT_GE(rec_.log.size(), 4u);
    const std::string zip_logical =
        "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\REASON-2026-12-08-14-05-09.zip";
    EXPECT_EQ(rec_.log[0], "Saved the rows of REASON.db in " + zip_logical);
    EXPECT_EQ(rec_.log[1], "Emptying Reason Table");
    EXPECT_EQ(rec_.log[2],
              "Scanning Job Search Table and adding reason not submitted to the reason table");
    EXPECT_EQ(rec_.log[3],
              "Scanning Job Title Edit Table and adding reason not submitted to the reason table");
    ASSERT_EQ(rec_.notices.size(), 1u);
    EXPECT_EQ(rec_.notices[0].rfind("MESSAGE|This is a three step process.\n\nFirst I will", 0),
              0u);
    EXPECT_EQ(rows_in_zip(DriveMap::current().to_host(zip_logical), "REASON.db", "REASON", home_),
              (std::vector<std::string>{"OLD REASON"}));

    o = rebuild_cities(jobs_, city_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(
        as_set(column(city_, "CITY")),
        (std::set<std::string>{"O'FALLON", "ST. LOUIS*", "ST. LOUIS", "st. louis", "DENVER"}));
    EXPECT_EQ(rows_in_zip(DriveMap::current().to_host(
                              "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\CITY-2026-12-08-14-"
                              "05-09.zip"),
                          "CITY.db", "CITY", home_),
              (std::vector<std::string>{"OLD TOWN"}));

    // Again a second later: the same rows, no failure.
    time_.reset();
    time_.emplace(clock::DateTime{2026, 12, 8, 14, 5, 10});
    o = rebuild_reasons(jobs_, reason_, js_edit_, rec_.io());
    EXPECT_EQ(o.failures, 0);
    EXPECT_EQ(stored_rows("REASON.db"), 4);
    o = rebuild_cities(jobs_, city_, rec_.io());
    EXPECT_EQ(o.failures, 0);
    EXPECT_EQ(stored_rows("CITY.db"), 5);
    // Once more within that second: a second archive, the first keeps what it saved.
    add(reason_, {{"REASON", "ADDED BY HAND"}});
    rebuild_reasons(jobs_, reason_, js_edit_, rec_.io());
    const std::string zips =
        "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\REASON-2026-12-08-14-05-10";
    EXPECT_EQ(
        rows_in_zip(DriveMap::current().to_host(zips + "-2.zip"), "REASON.db", "REASON", home_)
            .size(),
        5u);
    EXPECT_EQ(rows_in_zip(DriveMap::current().to_host(zips + ".zip"), "REASON.db", "REASON", home_)
                  .size(),
              4u);
}

TEST_F(StepsTest, PositionTitlesAndCategoriesThroughTheStatisticsRoutines) {
    StepOutcome o = update_position_titles(jobs_, postitle_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(as_set(column(postitle_, "POS_TITLE")),
              (std::set<std::string>{"O'BRIEN'S DEV", "C++ DEV*", "C++ DEV", "c++ dev"}));
    EXPECT_EQ(update_position_titles(jobs_, postitle_, rec_.io()).added, 0);

    add(stats_, {{"ORDER", "3"}, {"CATEGORY", "MINE"}, {"REASON_NOT_SUBMITTED", "MY REASON"}});
    o = rebuild_title_categories(jobs_, stats_, rec_.io());
    ASSERT_FALSE(o.stopped) << o.stop_reason;
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(as_set(column(stats_, "CATEGORY")),
              (std::set<std::string>{"O'BRIEN'S DEV", "C++ DEV*", "C++ DEV"}));
    EXPECT_EQ(rec_.log.at(0),
              "Saved the rows of STATS_JT.DB in "
              "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\STATS_JT-2026-12-"
              "08-14-05-09.zip");
    EXPECT_EQ(
        rows_in_zip(DriveMap::current().to_host("c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\"
                                                "STATS_JT-2026-12-08-14-05-09.zip"),
                    "STATS_JT.DB", "REASON_NOT_SUBMITTED", home_),
        (std::vector<std::string>{"MY REASON"}));
}

TEST_F(StepsTest, AnUnwritableZipLeavesTheTableWhole) {
    add(reason_, {{"REASON", "KEEP ME"}});
    add(city_, {{"CITY", "KEEP ME TOO"}});
    // A file where the archive folder should be.
    auto zip_dir = home_.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "zip";
    std::filesystem::create_directories(zip_dir);
    std::ofstream(zip_dir / "databases") << "not a folder";

    StepOutcome o = rebuild_reasons(jobs_, reason_, js_edit_, rec_.io());
    EXPECT_TRUE(o.stopped);
    EXPECT_NE(o.stop_reason.find("REASON.db"), std::string::npos) << o.stop_reason;
    EXPECT_NE(o.stop_reason.find("not emptied"), std::string::npos) << o.stop_reason;
    EXPECT_EQ(column(reason_, "REASON"), (std::vector<std::string>{"KEEP ME"}));
    o = rebuild_cities(jobs_, city_, rec_.io());
    EXPECT_TRUE(o.stopped);
    EXPECT_EQ(column(city_, "CITY"), (std::vector<std::string>{"KEEP ME TOO"}));
    EXPECT_TRUE(rec_.notices.empty());
    add(stats_, {{"ORDER", "3"}, {"CATEGORY", "MINE"}});
    EXPECT_TRUE(rebuild_title_categories(jobs_, stats_, rec_.io()).stopped);
    EXPECT_EQ(column(stats_, "CATEGORY"), (std::vector<std::string>{"MINE"}));
    EXPECT_EQ(step_summary("(7) Update Reason Not Submitted Table", o)
                  .rfind("(7) Update Reason Not Submitted Table stopped: the rows of CITY.db", 0),
              0u);
}

TEST_F(StepsTest, StatsReasonsComeFromTheFirstEditRowOfTheCategory) {
    add(js_edit_, {{"CHANGE_FROM", "A"}, {"CHANGE_TO", "C++ DEV*"}, {"REASON_NO_SUBMIT", "R1'"}});
    add(js_edit_, {{"CHANGE_FROM", "B"}, {"CHANGE_TO", "C++ DEV*"}, {"REASON_NO_SUBMIT", "R2"}});
    add(js_edit_, {{"CHANGE_FROM", "C"}, {"CHANGE_TO", "O'NEIL"}, {"REASON_NO_SUBMIT", "R3"}});
    add(stats_, {{"ORDER", "1"}, {"CATEGORY", "c++ dev*"}, {"REASON_NOT_SUBMITTED", "X"}});
    add(stats_, {{"ORDER", "1"}, {"CATEGORY", "C++ DEV"}, {"REASON_NOT_SUBMITTED", "KEEP"}});
    add(stats_, {{"ORDER", "2"}, {"CATEGORY", " O'NEIL "}, {"REASON_NOT_SUBMITTED", ""}});
    StepOutcome o = update_stats_reasons(stats_, js_edit_, rec_.io());
    EXPECT_EQ(o.failures, 0) << o.first_failure;
    EXPECT_EQ(o.changed, 2);
    EXPECT_EQ(column(stats_, "REASON_NOT_SUBMITTED"),
              (std::vector<std::string>{"KEEP", "R1'", "R3"}));
    EXPECT_EQ(update_stats_reasons(stats_, js_edit_, rec_.io()).changed, 0);
}

}  // namespace
}  // namespace pavo::records::test
