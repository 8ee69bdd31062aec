// The charts' numbers: month buckets and gaps, the submitted split, the reasons cut with its ties,
// the statistics charts and their age, the filter in force kept, and the tables of numbers.
#include "records/job_charts.h"

#include <gtest/gtest.h>

#include "job_report_fixture.h"
#include "platform/error.h"

namespace pavo::records::test {
namespace {

using Bars = std::vector<std::pair<std::string, std::vector<long long>>>;

Bars bars_of(const ChartData& d) {
    Bars out;
    for (const auto& b : d.bars) out.emplace_back(b.label, b.values);
    return out;
}

class ChartTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("STATS_JT.DB"));
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("STATS_ST.DB"));
        open(stats_jt_, "STATS_JT.DB");
        open(stats_st_, "STATS_ST.DB");
    }
    void add_stat(tables::Table& t, const Row& row) {
        t.append();
        for (const auto& [name, value] : row) t.field(name).set_as_string(value);
        t.post();
    }
    void not_submitted(int refnum, const std::string& date, const std::string& reason,
                       Row extra = {}) {
        extra["SUBMITTED"] = "False";
        extra["REASON_NO_SUBMIT"] = reason;
        add_job(refnum, date, "09:00", extra);
    }

    tables::Table stats_jt_, stats_st_;
};

TEST_F(ChartTest, MonthsAtMonthAndYearEndsWithGapMonthsAsZero) {
    add_job(1, "12/31/2003", "23:59");
    add_job(2, "1/1/2004", "00:00", {{"SUBMITTED", ""}});  // empty counts as submitted
    add_job(3, "1/31/2004", "12:00", {{"SUBMITTED", "False"}});
    add_job(4, "4/1/2004", "08:00", {{"SUBMITTED", "false"}});
    add_job(5, "4/30/2004", "08:00");
    const ChartData d = month_chart(jobs_);
    EXPECT_EQ(d.kind, ChartKind::kMonth);
    EXPECT_EQ(d.series, (std::vector<std::string>{"SUBMITTED", "NOT SUBMITTED"}));
    EXPECT_EQ(bars_of(d), (Bars{{"Dec 2003", {1, 0}},
                                {"Jan 2004", {1, 1}},
                                {"Feb 2004", {0, 0}},
                                {"Mar 2004", {0, 0}},
                                {"Apr 2004", {1, 1}}}));
    EXPECT_FALSE(d.empty());
}

TEST_F(ChartTest, UndatedRecordsStandApartInsteadOfStretchingTheRange) {
    add_job(1, "", "09:00");
    add_job(2, "2/29/2004", "09:00", {{"SUBMITTED", "False"}});
    EXPECT_EQ(bars_of(month_chart(jobs_)), (Bars{{"No date", {1, 0}}, {"Feb 2004", {0, 1}}}));
}

TEST_F(ChartTest, NoRecordsGiveEmptyCharts) {
    for (ChartKind k : kChartKinds) {
        SCOPED_TRACE(chart_word(k));
        const ChartData d = gather_chart(k, {&jobs_, &stats_jt_, &stats_st_});
        EXPECT_EQ(d.kind, k);
        EXPECT_TRUE(d.bars.empty());
        EXPECT_TRUE(d.empty());
        EXPECT_EQ(d.notice, "");
    }
}

TEST_F(ChartTest, FifteenReasonsThenAllOthersWithTiesByName) {
    tables::CommandScope scope;  // one commit for the few hundred records
    int ref = 1;
    // Reasons R01..R18: R01 most often, R14 to R18 tied at one record each.
    for (int r = 1; r <= 18; ++r) {
        char name[8];
        std::snprintf(name, sizeof name, "R%02d", r);
        const int times = r < 14 ? 20 - r : 1;
        for (int i = 0; i < times; ++i) not_submitted(ref++, "3/1/2004", name);
    }
    // Ties in the top: "B TIE" and "A TIE" at 19 each sort by name ahead of R01's 19.
    for (int i = 0; i < 19; ++i) not_submitted(ref++, "3/2/2004", "  B TIE ");
    for (int i = 0; i < 19; ++i) not_submitted(ref++, "3/2/2004", "A TIE");
    // Submitted records (empty SUBMITTED too) never count, whatever their reason.
    add_job(ref++, "3/3/2004", "10:00", {{"REASON_NO_SUBMIT", "A TIE"}});
    add_job(ref++, "3/3/2004", "10:00", {{"SUBMITTED", ""}, {"REASON_NO_SUBMIT", "A TIE"}});
    not_submitted(ref++, "3/4/2004", "");
    scope.commit();

    const ChartData d = reasons_chart(jobs_);
    ASSERT_EQ(d.bars.size(), 16u);
    EXPECT_EQ(bars_of(d)[0], (std::pair<std::string, std::vector<long long>>{"A TIE", {19}}));
    EXPECT_EQ(d.bars[1].label, "B TIE");
    EXPECT_EQ(d.bars[2].label, "R01");
    EXPECT_EQ(d.bars[14].label, "R13");
    EXPECT_EQ(d.bars[14].values, std::vector<long long>{7});
    // Left over: R14..R18 (one each) and the record without a reason.
    EXPECT_EQ(d.bars[15].label, "ALL OTHERS");
    EXPECT_EQ(d.bars[15].values, std::vector<long long>{6});
}

TEST_F(ChartTest, FewReasonsHaveNoAllOthersAndAnEmptyReasonIsNamed) {
    not_submitted(1, "3/1/2004", "TOO FAR");
    not_submitted(2, "3/1/2004", "");
    not_submitted(3, "3/1/2004", "TOO FAR");
    EXPECT_EQ(bars_of(reasons_chart(jobs_)), (Bars{{"TOO FAR", {2}}, {"(no reason given)", {1}}}));
}

TEST_F(ChartTest, FilterInForceIsCountedAndLeftAsItWas) {
    not_submitted(1, "1/5/2004", "TOO FAR", {{"POS_STATE", "AZ"}});
    not_submitted(2, "2/5/2004", "PAY", {{"POS_STATE", "CO"}});
    add_job(3, "3/5/2004", "09:00", {{"POS_STATE", "AZ"}});
    add_job(4, "5/5/2004", "09:00", {{"POS_STATE", "az"}});
    jobs_.close();
    jobs_.set_index_name("YYYYMMDD_TIME_DESCENDING");
    jobs_.set_filter("POS_STATE = 'AZ'");
    jobs_.set_filter_case_insensitive(true);
    jobs_.set_filtered(true);
    jobs_.open();
    jobs_.set_record_number(2);
    const std::string at = jobs_.field("REFNUM").as_string();

    EXPECT_EQ(bars_of(month_chart(jobs_)), (Bars{{"Jan 2004", {0, 1}},
                                                 {"Feb 2004", {0, 0}},
                                                 {"Mar 2004", {1, 0}},
                                                 {"Apr 2004", {0, 0}},
                                                 {"May 2004", {1, 0}}}));
    EXPECT_EQ(bars_of(reasons_chart(jobs_)), (Bars{{"TOO FAR", {1}}}));
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'AZ'");
    EXPECT_TRUE(jobs_.filtered());
    EXPECT_TRUE(jobs_.filter_case_insensitive());
    EXPECT_EQ(jobs_.index_name(), "YYYYMMDD_TIME_DESCENDING");
    EXPECT_EQ(jobs_.record_count(), 3);
    EXPECT_EQ(jobs_.record_number(), 2);
    EXPECT_EQ(jobs_.field("REFNUM").as_string(), at);
}

TEST_F(ChartTest, TitleStatisticsAboveZeroInOrderAndStatesInStateOrder) {
    add_job(1, "3/1/2004", "09:00");
    // Inserted out of order; a zero count is left out; COUNT is shown, never recounted.
    add_stat(
        stats_jt_,
        {{"ORDER", "2"}, {"CATEGORY", "ENGINEER"}, {"COUNT", "7"}, {"AS_OF_DATE", "3/1/2004"}});
    add_stat(stats_jt_, {{"ORDER", "1"},
                         {"CATEGORY", "NETWORK ENGINEER"},
                         {"COUNT", "3"},
                         {"AS_OF_DATE", "3/1/2004"}});
    add_stat(stats_jt_,
             {{"ORDER", "1"}, {"CATEGORY", "DBA"}, {"COUNT", "0"}, {"AS_OF_DATE", "3/1/2004"}});
    add_stat(stats_jt_,
             {{"ORDER", "1"}, {"CATEGORY", "ANALYST"}, {"COUNT", "4"}, {"AS_OF_DATE", "3/1/2004"}});
    for (auto [state, count] : {std::pair{"TX", "2"}, std::pair{"AZ", "5"}, std::pair{"CO", "0"}})
        add_stat(stats_st_, {{"STATE", state}, {"COUNT", count}, {"AS_OF_DATE", "3/2/2004"}});
    // Another window's order and filter on the shared dataset change nothing here.
    stats_jt_.set_index_name("CATEGORY_");
    stats_jt_.set_filter("COUNT > 3");
    stats_jt_.set_filtered(true);

    const ChartData titles = titles_chart(stats_jt_, jobs_);
    EXPECT_EQ(bars_of(titles),
              (Bars{{"ANALYST", {4}}, {"NETWORK ENGINEER", {3}}, {"ENGINEER", {7}}}));
    EXPECT_EQ(titles.notice, "");
    EXPECT_EQ(stats_jt_.index_name(), "CATEGORY_");
    EXPECT_EQ(stats_jt_.record_count(), 2);
    EXPECT_EQ(bars_of(states_chart(stats_st_, jobs_)), (Bars{{"AZ", {5}}, {"TX", {2}}}));
}

TEST_F(ChartTest, StatisticsOlderThanTheNewestRecordGiveTheNotice) {
    struct Case {
        std::vector<std::string> as_of;  // one statistics row each ("" for no date)
        std::string newest;              // newest record's date ("" for no record)
        std::string notice;
    };
    const Case cases[] = {
        {{"3/31/2004", "3/15/2004"},
         "4/1/2004",
         "Statistics as of 3/15/2004; update them for newer records"},
        {{"4/1/2004"}, "4/1/2004", ""},
        {{"4/2/2004"}, "4/1/2004", ""},
        {{"4/2/2004", ""}, "4/1/2004", ""},  // a row added since the update has no date yet
        {{""}, "4/1/2004", "Statistics have never been updated; update them for the records"},
        {{}, "4/1/2004", ""},
        {{"1/1/2004"}, "", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newest + " " + (c.as_of.empty() ? "-" : c.as_of[0]));
        jobs_.empty_table();
        stats_st_.empty_table();
        jobs_.refresh();
        stats_st_.refresh();
        if (!c.newest.empty()) {
            add_job(++n, "1/1/2003", "09:00");
            add_job(++n, c.newest, "09:00");
        }
        const char* states[] = {"AZ", "CO"};
        for (std::size_t i = 0; i < c.as_of.size(); ++i)
            add_stat(stats_st_, {{"STATE", states[i]}, {"COUNT", "1"}, {"AS_OF_DATE", c.as_of[i]}});
        EXPECT_EQ(stale_statistics_notice(stats_st_, jobs_), c.notice);
        EXPECT_EQ(states_chart(stats_st_, jobs_).notice, c.notice);
    }
}

TEST_F(ChartTest, NoticeLooksAtEveryRecordWhateverTheFilter) {
    add_job(1, "3/1/2004", "09:00", {{"POS_STATE", "AZ"}});
    add_job(2, "6/1/2004", "09:00", {{"POS_STATE", "CO"}});
    add_stat(stats_jt_,
             {{"ORDER", "1"}, {"CATEGORY", "X"}, {"COUNT", "1"}, {"AS_OF_DATE", "3/1/2004"}});
    jobs_.set_filter("POS_STATE = 'AZ'");
    jobs_.set_filtered(true);
    EXPECT_EQ(titles_chart(stats_jt_, jobs_).notice,
              "Statistics as of 3/1/2004; update them for newer records");
}

TEST(ChartLines, TabAndCsvLinesWithHeaderAndOneRowPerBar) {
    ChartData d;
    d.kind = ChartKind::kMonth;
    d.label_heading = "MONTH";
    d.series = {"SUBMITTED", "NOT SUBMITTED"};
    d.bars = {{"Jan 2004", {3, 0}}, {"Say \"no\"\tnow\r\nplease", {1, 12}}};
    EXPECT_EQ(chart_tab_lines(d),
              (std::vector<std::string>{"MONTH\tSUBMITTED\tNOT SUBMITTED", "Jan 2004\t3\t0",
                                        "Say \"no\" now  please\t1\t12"}));
    EXPECT_EQ(chart_csv_lines(d),
              (std::vector<std::string>{"\"MONTH\",\"SUBMITTED\",\"NOT SUBMITTED\"",
                                        "\"Jan 2004\",\"3\",\"0\"",
                                        "\"Say \"\"no\"\" now  please\",\"1\",\"12\""}));
}

TEST(ChartWords, NamesAndFileNames) {
    const std::pair<ChartKind, std::string> cases[] = {{ChartKind::kMonth, "MONTH"},
                                                       {ChartKind::kReasons, "REASONS"},
                                                       {ChartKind::kTitles, "TITLES"},
                                                       {ChartKind::kStates, "STATES"}};
    for (const auto& [kind, upper] : cases) {
        EXPECT_EQ(parse_chart_word(chart_word(kind)), kind);
        EXPECT_EQ(
            chart_file_name(kind, "2004-03-31-08-00-00"),
            "c:\\mydata\\KV-DB\\pavoden2\\reports\\CHART_" + upper + "___2004-03-31-08-00-00.png");
    }
    for (const char* bad : {"", "Month", "state", "months "})
        EXPECT_FALSE(parse_chart_word(bad).has_value()) << bad;
}

}  // namespace
}  // namespace pavo::records::test
