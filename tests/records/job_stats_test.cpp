// Job search statistics: first-match counting, percentages, new categories and position titles,
// the month list and its tallies, monthly tables, and what each leaves of the shared datasets.
#include "records/job_stats.h"

#include <gtest/gtest.h>

#include "job_stats_fixture.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "utility/text_conv.h"

namespace pavo::records::test {
namespace {

struct FirstMatchCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> categories;  // (ORDER, CATEGORY)
    std::vector<std::string> titles;
    std::vector<std::pair<std::string, long long>> expected;  // non-zero counts by CATEGORY
};

TEST_F(StatsTest, EachRecordCountsForTheFirstMatchingCategoryOnly) {
    const FirstMatchCase cases[] = {
        {"two matching, the earlier ORDER wins",
         {{"1", "ENGINEER"}, {"2", "NETWORK"}},
         {"SENIOR NETWORK ENGINEER"},
         {{"ENGINEER", 1}}},
        {"equal ORDER by CATEGORY code points",
         {{"5", "NETWORK"}, {"5", "ENGINEER"}, {"5", "engineer"}},
         {"NETWORK ENGINEER", "network engineer"},
         {{"ENGINEER", 1}, {"engineer", 1}}},
        {"a row without ORDER comes first",
         {{"1", "ENGINEER"}, {"", "NETWORK"}},
         {"NETWORK ENGINEER"},
         {{"NETWORK", 1}}},
        {"fractional ORDER between whole ones",
         {{"2", "ENGINEER"}, {"1.5", "NETWORK"}, {"1", "ANALYST"}},
         {"NETWORK ENGINEER"},
         {{"NETWORK", 1}}},
        {"exact case both ways",
         {{"1", "ENGINEER"}, {"2", "Analyst"}},
         {"Engineer", "ANALYST"},
         {}},
        {"an empty category never matches",
         {{"1", ""}, {"2", "CLERK"}},
         {"CLERK", "COOK"},
         {{"CLERK", 1}}},
        {"an empty title matches nothing", {{"1", "E"}}, {""}, {}},
        {"quotes and wildcards are plain characters",
         {{"1", "O'BRIEN"}, {"2", "%"}, {"3", "*"}},
         {"O'BRIEN & SONS", "100% REMOTE", "STAR*", "O BRIEN"},
         {{"O'BRIEN", 1}, {"%", 1}, {"*", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        jt_.empty_table();
        jobs_.empty_table();
        jt_.refresh();
        jobs_.refresh();
        for (const auto& [order, category] : c.categories) add_category(order, category);
        for (const std::string& title : c.titles) add_titled(title);

        CountOutcome out = update_title_stats(jobs_, jt_);
        EXPECT_EQ(out.records, static_cast<long long>(c.titles.size()));
        EXPECT_EQ(out.rows, static_cast<long long>(c.categories.size()));
        std::vector<std::pair<std::string, long long>> nonzero;
        for (const auto& [category, count, pct] : counted("STATS_JT.DB", "CATEGORY")) {
            if (count > 0) nonzero.emplace_back(category, count);
            EXPECT_DOUBLE_EQ(
                pct, 100.0 * static_cast<double>(count) / static_cast<double>(c.titles.size()));
        }
        std::sort(nonzero.begin(), nonzero.end());
        auto expected = c.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(nonzero, expected);
    }
}

TEST_F(StatsTest, ResetDatesEveryRowAndPercentagesSumToAHundred) {
    clock::ScopedFixedTime fixed({2026, 12, 8, 10, 0, 0});
    add_category("1", "ENGINEER");
    add_category("2", "CLERK");
    add_category("3", "NEVER");
    for (int i = 0; i < 7; ++i) add_titled(i % 3 ? "ENGINEER" : "CLERK");
    update_title_stats(jobs_, jt_);
    double sum = 0;
    for (const auto& [category, count, pct] : counted("STATS_JT.DB", "CATEGORY")) sum += pct;
    EXPECT_NEAR(sum, 100.0, 1e-9);
    for (const std::string& d : values("STATS_JT.DB", "AS_OF_DATE")) EXPECT_EQ(d, "12/8/2026");
    // The old count 7 of the row nobody matches is reset.
    EXPECT_EQ(std::get<1>(counted("STATS_JT.DB", "CATEGORY")[2]), 0);
}

TEST_F(StatsTest, NoRecordsGivesZeroNotADivisionByZero) {
    add_category("1", "ENGINEER");
    add_state("CO");
    EXPECT_EQ(update_title_stats(jobs_, jt_).records, 0);
    EXPECT_EQ(update_state_stats(jobs_, st_).records, 0);
    EXPECT_EQ(counted("STATS_JT.DB", "CATEGORY"), (std::vector<Counted>{{"ENGINEER", 0, 0.0}}));
    EXPECT_EQ(counted("STATS_ST.DB", "STATE"), (std::vector<Counted>{{"CO", 0, 0.0}}));
}

TEST_F(StatsTest, StateRowsMatchAsTextInsidePosState) {
    for (const char* s : {"C", "AZ", "CO"}) add_state(s);
    for (const char* s : {"CO", "CA", "CT", "AZ", "NY"}) add_titled("X", "3/1/2004", s);
    CountOutcome out = update_state_stats(jobs_, st_);
    EXPECT_EQ(out.matched, 4);
    // Rows by STATE: AZ, C, CO; "C" comes before "CO" and takes all three C states.
    EXPECT_EQ(counted("STATS_ST.DB", "STATE"),
              (std::vector<Counted>{{"AZ", 1, 20.0}, {"C", 3, 60.0}, {"CO", 0, 0.0}}));
}

TEST_F(StatsTest, CountsTheFilteredRecordsAndLeavesEveryDatasetAsFound) {
    add_category("2", "ENGINEER");
    add_category("1", "NETWORK");
    add_titled("NETWORK ENGINEER", "3/1/2004", "CO");
    add_titled("NETWORK ENGINEER", "3/2/2004", "AZ");
    add_titled("ENGINEER", "3/3/2004", "CO");
    jobs_.set_index_name("YYYYMMDD_TIME_ASCENDING");
    jobs_.set_filter("POS_STATE = 'CO'");
    jobs_.set_filtered(true);
    jobs_.last();
    // Another window left the statistics in a different order with a filter on.
    jt_.set_index_name("CATEGORY_");
    jt_.set_filter("CATEGORY = 'ENGINEER'");
    jt_.set_filtered(true);

    CountOutcome out = update_title_stats(jobs_, jt_);
    EXPECT_EQ(out.records, 2);
    EXPECT_EQ(counted("STATS_JT.DB", "CATEGORY"),
              (std::vector<Counted>{{"NETWORK", 1, 50.0}, {"ENGINEER", 1, 50.0}}));
    EXPECT_EQ(jobs_.index_name(), "YYYYMMDD_TIME_ASCENDING");
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'CO'");
    EXPECT_TRUE(jobs_.filtered());
    EXPECT_EQ(jobs_.record_number(), 2);
    EXPECT_EQ(jt_.index_name(), "CATEGORY_");
    EXPECT_EQ(jt_.record_count(), 1);
    // The shared dataset shows the new counts.
    EXPECT_EQ(jt_.field("COUNT").as_string(), "1");
}

TEST_F(StatsTest, CancelChangesNothing) {
    add_category("1", "ENGINEER");
    add_state("CO");
    add_titled("ENGINEER");
    add_titled("ENGINEER");
    auto stop = [](long long reached, long long) { return reached < 2; };
    EXPECT_TRUE(update_title_stats(jobs_, jt_, stop).cancelled);
    EXPECT_TRUE(update_state_stats(jobs_, st_, stop).cancelled);
    EXPECT_TRUE(add_new_categories(jobs_, jt_, stop).cancelled);
    EXPECT_TRUE(add_new_position_titles(jobs_, titles_, stop).cancelled);
    EXPECT_EQ(counted("STATS_JT.DB", "CATEGORY"), (std::vector<Counted>{{"ENGINEER", 7, 0.0}}));
    EXPECT_EQ(counted("STATS_ST.DB", "STATE"), (std::vector<Counted>{{"CO", 7, 0.0}}));
    EXPECT_TRUE(values("POSTITLE.DB", "POS_TITLE").empty());
}

TEST_F(StatsTest, AFailureWhileWritingLeavesNoHalfMadeCounts) {
    add_category("1", "ENGINEER");
    add_category("2", "CLERK");
    add_category("3", "COOK");
    add_titled("ENGINEER");
    add_titled("CLERK");
    // Another command deletes a row while the counts are being made.
    auto meddle = [](long long reached, long long) {
        if (reached == 1) {
            tables::Table other;
            open(other, "STATS_JT.DB");
            other.last();
            other.delete_record();
        }
        return true;
    };
    EXPECT_THROW(update_title_stats(jobs_, jt_, meddle), Error);
    EXPECT_EQ(counted("STATS_JT.DB", "CATEGORY"),
              (std::vector<Counted>{{"ENGINEER", 7, 0.0}, {"CLERK", 7, 0.0}}));
    for (const std::string& d : values("STATS_JT.DB", "AS_OF_DATE")) EXPECT_EQ(d, "");
}

TEST_F(StatsTest, NewCategoriesTakeAnyTitleOnceAsTheNextRunFindsIt) {
    clock::ScopedFixedTime fixed({2026, 12, 8, 10, 0, 0});
    add_category("3", "ENGINEER");
    const std::string long_title = std::string(49, 'L') + " TAIL";  // cut to 49 L's and a blank
    for (const std::string& t : {std::string("engineer"), std::string("O'BRIEN'S CLERK"),
                                 std::string("  o'brien's clerk "), std::string("100% *REMOTE*"),
                                 long_title, std::string("   "), std::string("")})
        add_titled(t);

    AddOutcome first = add_new_categories(jobs_, jt_);
    EXPECT_EQ(first.scanned, 7);
    EXPECT_EQ(first.added, 3);
    EXPECT_EQ(values("STATS_JT.DB", "CATEGORY"),
              (std::vector<std::string>{"100% *REMOTE*", std::string(49, 'L'), "O'BRIEN'S CLERK",
                                        "ENGINEER"}));
    tables::Table t;
    open(t, "STATS_JT.DB");
    ASSERT_TRUE(t.locate("CATEGORY", {"O'BRIEN'S CLERK"}));
    EXPECT_EQ(t.field("ORDER").as_string(), "1");
    EXPECT_EQ(t.field("REASON_NOT_SUBMITTED").as_string(), kNewCategoryReason);
    EXPECT_EQ(t.field("AS_OF_DATE").as_string(), "12/8/2026");
    EXPECT_EQ(t.field("COUNT").as_string(), "0");
    t.close();

    // Re-ordered by the user, the rows are still found: nothing comes back under ORDER 1.
    {
        tables::Table edit;
        open(edit, "STATS_JT.DB");
        for (edit.first(); !edit.eof(); edit.next()) {
            edit.edit();
            edit.field("ORDER").set_as_float(edit.field("ORDER").as_float() + 10);
            edit.post();
        }
    }
    AddOutcome second = add_new_categories(jobs_, jt_);
    EXPECT_EQ(second.added, 0);
    EXPECT_EQ(values("STATS_JT.DB", "CATEGORY").size(), 4u);
}

TEST_F(StatsTest, PositionTitlesAreLookedUpAndAddedExactlyAsStored) {
    add_position_title("ENGINEER");
    for (const char* t :
         {"ENGINEER", "Engineer", " engineer ", "O'NEIL & CO*", "Engineer", " ", ""})
        add_titled(t);
    AddOutcome first = add_new_position_titles(jobs_, titles_);
    EXPECT_EQ(first.added, 3);
    auto rows = values("POSTITLE.DB", "POS_TITLE");
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows,
              (std::vector<std::string>{" engineer ", "ENGINEER", "Engineer", "O'NEIL & CO*"}));
    EXPECT_EQ(add_new_position_titles(jobs_, titles_).added, 0);
    EXPECT_EQ(titles_.record_count(), 4);
}

struct MonthCase {
    const char* name;
    std::vector<std::string> dates;
    std::vector<std::string> lines;
};

TEST_F(StatsTest, MonthListLines) {
    const MonthCase cases[] = {
        {"month and leap-year ends",
         {"2/3/2004", "1/30/2004", "2/2/2004"},
         {"1/1/2004 TO 1/31/2004", "2/1/2004 TO 2/29/2004"}},
        {"year end, the newest alone in its month",
         {"12/31/2003", "1/1/2004", "11/30/2004"},
         {"12/1/2003 TO 12/31/2003", "1/1/2004 TO 1/31/2004", "11/1/2004 TO 11/30/2004"}},
        {"1900 is no leap year", {"2/28/1900"}, {"2/1/1900 TO 2/28/1900"}},
        {"an empty date is December 1899",
         {"", "4/4/2004"},
         {"12/1/1899 TO 12/31/1899", "4/1/2004 TO 4/30/2004"}},
        {"an empty table", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        jobs_.empty_table();
        jobs_.refresh();
        for (const std::string& d : c.dates) add_titled("X", d);
        std::vector<std::string> lines;
        for (YearMonth m : job_search_months(jobs_)) {
            lines.push_back(month_line(m));
            EXPECT_EQ(parse_month_line(lines.back()), m);
        }
        EXPECT_EQ(lines, c.lines);
    }
}

TEST_F(StatsTest, MonthListFollowsTheFilterAndTalliesSplitBySubmitted) {
    add_titled("X", "1/5/2004", "CO", "True");
    add_titled("X", "1/6/2004", "CO", "");
    add_titled("X", "1/7/2004", "CO", "False");
    add_titled("X", "2/7/2004", "AZ", "False");
    jobs_.set_index_name("POS_STATE_");
    jobs_.set_filter("POS_STATE = 'CO'");
    jobs_.set_filtered(true);
    jobs_.set_record_number(2);
    std::vector<MonthTally> t = job_search_month_tallies(jobs_);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].month, (YearMonth{2004, 1}));
    EXPECT_EQ(t[0].submitted, 2);
    EXPECT_EQ(t[0].not_submitted, 1);
    EXPECT_EQ(job_search_months(jobs_).size(), 1u);
    EXPECT_EQ(jobs_.record_number(), 2);
    EXPECT_EQ(jobs_.index_name(), "POS_STATE_");
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'CO'");
}

class MonthlyTest : public StatsTest {
  protected:
    void SetUp() override {
        StatsTest::SetUp();
        add_category("1", "ENGINEER", "TOO FAR");
        add_category("2", "CLERK");
        add_state("AZ");
        add_state("CO");
        // Both ends of March 2004 and the days just outside it.
        add_titled("ENGINEER", "2/29/2004", "CO");
        add_titled("ENGINEER", "3/1/2004", "CO");
        add_titled("CLERK", "3/31/2004", "AZ");
        add_titled("CLERK", "3/31/2004", "CO");
        add_titled("ENGINEER", "4/1/2004", "AZ");
        // The user's filter would leave March's AZ record out; the monthly run ignores it.
        jobs_.set_filter("POS_STATE = 'CO'");
        jobs_.set_filtered(true);
    }
    bool exists(const std::string& name) {
        tables::Table t;
        t.set_database_name(kDb);
        t.set_table_name(name);
        return t.exists();
    }
    const YearMonth march{2004, 3};
};

TEST_F(MonthlyTest, CountsBothEndsOfTheMonthIntoItsOwnTables) {
    MonthlyOutcome out = update_monthly_stats(jobs_, st_, jt_, march, true, true);
    EXPECT_EQ(out.records, 3);
    EXPECT_EQ(counted("200403st.db", "STATE"),
              (std::vector<Counted>{{"AZ", 1, 1.0 / 3 * 100}, {"CO", 2, 2.0 / 3 * 100}}));
    EXPECT_EQ(counted("200403jt.db", "CATEGORY"),
              (std::vector<Counted>{{"ENGINEER", 1, 1.0 / 3 * 100}, {"CLERK", 2, 2.0 / 3 * 100}}));
    EXPECT_EQ(values("200403jt.db", "REASON_NOT_SUBMITTED"),
              (std::vector<std::string>{"TOO FAR", "R"}));
    // The overall tables keep their counts; the job-search filter is off afterwards.
    EXPECT_EQ(counted("STATS_JT.DB", "CATEGORY"),
              (std::vector<Counted>{{"ENGINEER", 7, 0.0}, {"CLERK", 7, 0.0}}));
    EXPECT_EQ(counted("STATS_ST.DB", "STATE"),
              (std::vector<Counted>{{"AZ", 7, 0.0}, {"CO", 7, 0.0}}));
    EXPECT_FALSE(jobs_.filtered());
    EXPECT_EQ(jobs_.filter(), "");
    EXPECT_EQ(st_.table_name(), "STATS_ST.DB");
    EXPECT_EQ(jt_.table_name(), "STATS_JT.DB");
    EXPECT_FALSE(exists("200403st~new.db"));
}

TEST_F(MonthlyTest, NoAnswersKeepEarlierResults) {
    update_monthly_stats(jobs_, st_, jt_, march, true, true);
    add_titled("CLERK", "3/15/2004", "AZ");
    jobs_.set_filtered(true);
    // Both No: nothing is touched, not even the user's filter.
    update_monthly_stats(jobs_, st_, jt_, march, false, false);
    EXPECT_TRUE(jobs_.filtered());
    // State only: the title table keeps the earlier result.
    update_monthly_stats(jobs_, st_, jt_, march, true, false);
    EXPECT_EQ(std::get<1>(counted("200403st.db", "STATE")[0]), 2);
    EXPECT_EQ(std::get<1>(counted("200403jt.db", "CATEGORY")[1]), 2);
    // Records without a date fall in December 1899, as the month list shows them.
    add_titled("CLERK", "", "AZ");
    EXPECT_EQ(update_monthly_stats(jobs_, st_, jt_, {1899, 12}, true, false).records, 1);
    EXPECT_EQ(std::get<1>(counted("189912st.db", "STATE")[0]), 1);
    // A month without records writes zeros, not a division by zero.
    update_monthly_stats(jobs_, st_, jt_, {2001, 6}, true, true);
    EXPECT_EQ(counted("200106jt.db", "CATEGORY"),
              (std::vector<Counted>{{"ENGINEER", 0, 0.0}, {"CLERK", 0, 0.0}}));
}

TEST_F(MonthlyTest, AFailureOrCancelLeavesTheEarlierMonthlyTablesAndTheDatasets) {
    update_monthly_stats(jobs_, st_, jt_, march, true, true);
    add_titled("CLERK", "3/15/2004", "AZ");
    {
        // The second rename is the state table's move into place.
        FaultyFileSystem faulty;
        faulty.fail_rename_call = 1;
        ScopedFileSystem scoped(&faulty);
        jobs_.set_filtered(true);
        EXPECT_THROW(update_monthly_stats(jobs_, st_, jt_, march, true, true), Error);
    }
    EXPECT_FALSE(jobs_.filtered());
    EXPECT_EQ(std::get<1>(counted("200403st.db", "STATE")[0]), 1);
    EXPECT_EQ(std::get<1>(counted("200403jt.db", "CATEGORY")[1]), 2);
    EXPECT_FALSE(exists("200403st~new.db"));
    EXPECT_TRUE(st_.active());
    EXPECT_EQ(st_.table_name(), "STATS_ST.DB");
    EXPECT_EQ(jt_.table_name(), "STATS_JT.DB");

    // A monthly table open elsewhere is not replaced under its reader.
    {
        tables::Table reader;
        open(reader, "200403jt.db");
        EXPECT_THROW(update_monthly_stats(jobs_, st_, jt_, march, false, true), Error);
        EXPECT_FALSE(exists("200403jt~new.db"));
    }
    EXPECT_EQ(std::get<1>(counted("200403jt.db", "CATEGORY")[1]), 2);

    auto stop = [](long long reached, long long) { return reached < 4; };
    EXPECT_TRUE(update_monthly_stats(jobs_, st_, jt_, march, true, true, stop).cancelled);
    EXPECT_EQ(std::get<1>(counted("200403st.db", "STATE")[0]), 1);
    EXPECT_THROW(update_monthly_stats(jobs_, st_, jt_, {2004, 13}, true, true), Error);
}

TEST(MonthLine, OnlyAWholeMonthInTheListsFormIsAccepted) {
    EXPECT_EQ(parse_month_line("3/1/2004 TO 3/31/2004"), (YearMonth{2004, 3}));
    EXPECT_EQ(month_stamp({2004, 3}), "200403");
    EXPECT_EQ(monthly_state_table_name({2004, 3}), "200403st.db");
    EXPECT_EQ(monthly_title_table_name({2004, 12}), "200412jt.db");
    for (const char* bad :
         {"", "3/1/2004", "3/1/2004 TO 3/30/2004", "03/1/2004 TO 03/31/2004",
          "3/2/2004 TO 3/31/2004", "3/1/2004 TO 4/30/2004", "2/1/2003 TO 2/29/2003",
          "13/1/2004 TO 13/31/2004", "3/1/2004 TO 3/31/2004 ", " 3/1/2004 TO 3/31/2004",
          "3/1/2004 to 3/31/2004", "x"})
        EXPECT_EQ(parse_month_line(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace pavo::records::test
