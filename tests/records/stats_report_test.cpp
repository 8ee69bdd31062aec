// The statistics reports: lines, zero-count rows, the 30-character cut, totals, file names after
// Select Month, the attachment, failed saves; pavoden2-report's state and title reports and
// pavoden2-stats.
#include "records/stats_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "job_stats_fixture.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/report_tool.h"
#include "records/stats_tool.h"
#include "support/tool_run.h"

namespace pavo::records::test {
namespace {

using pavo::testing::ToolRun;

ToolRun report_tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(run_report_tool, args);
}

ToolRun stats_tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(run_stats_tool, args);
}

class StatsReportTest : public StatsTest {
  protected:
    void SetUp() override {
        StatsTest::SetUp();
        config_.first();
        config_.edit();
        config_.field("MY_NAME").set_as_string("R. LEE");
        config_.field("MY_ADDRESS").set_as_string("1 MAIN ST");
        config_.field("MY_CITY").set_as_string("DENVER");
        config_.field("MY_STATE").set_as_string("CO");
        config_.field("MY_ZIP").set_as_string("80202");
        config_.post();
    }
    std::vector<std::string> lines(StatsReportKind kind, const std::string& table) {
        return stats_report_lines(kind, kDb, table, read_report_address(config_));
    }
    void set_counts(tables::Table& t, const std::string& key_field, const std::string& key,
                    double count, double pct) {
        ASSERT_TRUE(t.locate(key_field, {key}));
        t.edit();
        t.field("COUNT").set_as_float(count);
        t.field("PERCENTAGE").set_as_float(pct);
        t.post();
    }
    // The lines from the heading on.
    static std::vector<std::string> body(std::vector<std::string> all) {
        return {all.begin() + 14, all.end()};
    }
};

TEST_F(StatsReportTest, StateReportLeavesZeroRowsOutButSumsThem) {
    for (const char* s : {"CO", "AZ", "NY", "WY"}) add_state(s);
    set_counts(st_, "STATE", "CO", 2, 200.0 / 3);
    set_counts(st_, "STATE", "AZ", 1, 100.0 / 3);
    set_counts(st_, "STATE", "NY", 0, 0);
    // A zero count with a stale share still takes part in the totals.
    set_counts(st_, "STATE", "WY", 0, 1.5);
    std::vector<std::string> l = lines(StatsReportKind::kState, "STATS_ST.DB");
    const std::vector<std::string> head = {
        "",
        "",
        "+------------------------------------------------------------------------------+",
        "|" + report_banner_text() + "|",
        "+------------------------------------------------------------------------------+",
        "",
        "",
        "JOB SEARCH REPORT FOR JOB NOT QUALIFIED FOR, BASED ON STATE: ",
        "",
        "           R. LEE",
        "           1 MAIN ST",
        "           DENVER, CO 80202",
        "",
    };
    EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 13), head);
    EXPECT_EQ(std::vector<std::string>(l.begin() + 13, l.end()),
              (std::vector<std::string>{
                  "DISQUALIFIED STATE                      COUNT     PERCENTAGE     ",
                  "------------------                      -----     ----------     ",
                  "AZ                                          1        33.3333     ",
                  "CO                                          2        66.6667     ",
                  "                                        -----     ----------     ",
                  "TOTALS                                      3       101.5000     ",
              }));
}

TEST_F(StatsReportTest, TitleReportInCountingOrderWithCutCategoriesAndEmptyReasons) {
    add_category("2", "NETWORK ENGINEER AND SYSTEMS ADMINISTRATOR", "TOO FAR AWAY");
    add_category("1", "ZOO", "");
    add_category("", "CLERK", "R");
    add_category("3", "COOK", "R");
    set_counts(jt_, "CATEGORY", "NETWORK ENGINEER AND SYSTEMS ADMINISTRATOR", 3, 60);
    set_counts(jt_, "CATEGORY", "ZOO", 1, 20);
    set_counts(jt_, "CATEGORY", "CLERK", 1, 20);
    set_counts(jt_, "CATEGORY", "COOK", 0, 0);
    // Whatever order the shared dataset was left in.
    jt_.set_index_name("CATEGORY_");
    EXPECT_EQ(body(lines(StatsReportKind::kTitle, "STATS_JT.DB")),
              (std::vector<std::string>{
                  "----------------------                  -----     ----------     "
                  "--------------------               ",
                  "CLERK                                       1        20.0000     R" +
                      std::string(54, ' '),
                  "ZOO                                         1        20.0000     "
                  "__________________________________________________     ",
                  "NETWORK ENGINEER AND SYSTEMS A              3        60.0000     TOO FAR AWAY" +
                      std::string(43, ' '),
                  "                                        -----     ----------     ",
                  "TOTALS                                      5       100.0000     ",
              }));
}

TEST_F(StatsReportTest, ManySharesTotalExactlyAHundred) {
    // 721 rows of one record each: single-precision sums drift off 100.
    for (int i = 0; i < 721; ++i) {
        jt_.append();
        jt_.field("ORDER").set_as_float(i);
        jt_.field("CATEGORY").set_as_string("C" + std::to_string(i));
        jt_.field("COUNT").set_as_float(1);
        jt_.field("PERCENTAGE").set_as_float(1.0 / 721 * 100);
        jt_.post();
    }
    std::vector<std::string> l = lines(StatsReportKind::kTitle, "STATS_JT.DB");
    EXPECT_EQ(l.back(), "TOTALS                                    721       100.0000     ");
    EXPECT_EQ(l.size(), 13u + 2 + 721 + 2);
}

TEST_F(StatsReportTest, AnEmptyTableGivesHeadingsAndZeroTotals) {
    std::vector<std::string> l = lines(StatsReportKind::kState, "STATS_ST.DB");
    ASSERT_EQ(l.size(), 17u);
    EXPECT_EQ(l.back(), "TOTALS                                      0         0.0000     ");
}

TEST_F(StatsReportTest, ATableWithoutTheStatisticsFieldsIsNamed) {
    try {
        check_stats_table(StatsReportKind::kState, kDb, "POSTITLE.DB");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput);
        EXPECT_NE(std::string(e.what()).find("POSTITLE.DB is not a state statistics table"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(check_stats_table(StatsReportKind::kTitle, kDb, "STATS_ST.DB"), Error);
    EXPECT_THROW(check_stats_table(StatsReportKind::kTitle, kDb, "NOSUCH.DB"), Error);
    EXPECT_NO_THROW(check_stats_table(StatsReportKind::kTitle, kDb, "STATS_JT.DB"));
}

TEST(StatsReportFileName, ByThePickedTablesBaseName) {
    const std::string r = "c:\\mydata\\KV-DB\\pavoden2\\reports\\";
    struct Case {
        StatsReportKind kind;
        const char* picked;
        std::string expected;
    } cases[] = {
        {StatsReportKind::kState, "", r + "JOB_SEARCH_STATE_STATS_2026-12-08-10-00-00.txt"},
        {StatsReportKind::kState, "c:\\mydata\\db\\STATS_ST.DB",
         r + "JOB_SEARCH_STATE_STATS_2026-12-08-10-00-00.txt"},
        {StatsReportKind::kState, "/srv/db/200403st.db", r + "200403_JOB_SEARCH_STATE_STATS.txt"},
        {StatsReportKind::kTitle, "/srv/db/stats_jt.db",
         r + "JOB_SEARCH_TITLE_STATS_2026-12-08-10-00-00.txt"},
        {StatsReportKind::kTitle, "c:\\db\\200412JT.DB", r + "200412_JOB_SEARCH_TITLE_STATS.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stats_report_file_name(c.kind, c.picked, "2026-12-08-10-00-00"), c.expected)
            << c.picked;
}

TEST_F(StatsReportTest, AttachmentsAreTextUpToTenMegabytes) {
    const std::string text = host("note.txt"), binary = host("pic.bin"), big = host("big.txt");
    write_file_atomically(text, "first\r\nsecond\n");
    write_file_atomically(binary, std::string("GIF\0\1", 5));
    write_file_atomically(big, "x");
    fs::resize_file(big, kMaxAttachmentBytes + 1);
    const std::string dashes(55, '-');
    EXPECT_EQ(stats_report_attachment(text),
              (std::vector<std::string>{"\f", dashes, "first", "second", dashes, ""}));
    for (const std::string& bad : {binary, big, host("latin1.txt"), host("missing.txt")}) {
        if (bad == host("latin1.txt")) write_file_atomically(bad, "caf\xE9");
        EXPECT_THROW(stats_report_attachment(bad), Error) << bad;
    }
}

TEST_F(StatsReportTest, AFailedSaveLeavesNoFile) {
    const std::string path = host("out/deeper/report.txt");
    {
        FaultyFileSystem faulty;
        faulty.fail_write_after_bytes = 10;
        ScopedFileSystem scoped(&faulty);
        EXPECT_THROW(save_stats_report({std::string(100000, 'x')}, path), Error);
    }
    EXPECT_FALSE(fs::exists(path));
    save_stats_report({"a", "b"}, path);
    EXPECT_EQ(read_whole_file(path), "a\r\nb\r\n");
}

TEST_F(StatsReportTest, ReportToolWritesTheStatisticsReports) {
    clock::ScopedFixedTime fixed({2026, 12, 8, 10, 0, 0});
    add_state("CO");
    set_counts(st_, "STATE", "CO", 1, 100);
    update_monthly_stats(jobs_, st_, jt_, {2004, 3}, true, true);

    auto r = report_tool({"--dir", kDb, "state"});
    ASSERT_EQ(r.status, 0) << r.err;
    fs::path reports = home_.drive_c() / "mydata" / "KV-DB" / "pavoden2" / "reports";
    fs::path overall = reports / "JOB_SEARCH_STATE_STATS_2026-12-08-10-00-00.txt";
    EXPECT_EQ(r.out, overall.string() + "\n");
    std::string text = read_whole_file(overall);
    EXPECT_NE(text.find("CO                                          1       100.0000"),
              std::string::npos);
    EXPECT_TRUE(
        text.ends_with("\r\nSaved to file: c:\\mydata\\KV-DB\\pavoden2\\reports\\"
                       "JOB_SEARCH_STATE_STATS_2026-12-08-10-00-00.txt\r\n"));

    r = report_tool({"--dir", kDb, "title", "--table", "200403jt.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (reports / "200403_JOB_SEARCH_TITLE_STATS.txt").string() + "\n");

    r = report_tool({"--dir", kDb, "state", "--table", "200403st.db", "--print"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("TOTALS                                      0         0.0000"),
              std::string::npos);

    struct Bad {
        std::vector<std::string> args;
        int status;
    } bad[] = {
        {{"--dir", kDb, "state", "--ticked", "1"}, 2},
        {{"--dir", kDb, "jobs", "--table", "x.db"}, 2},
        {{"--dir", kDb, "title", "--out", host("x.txt"), "--print"}, 2},
        {{"--dir", kDb, "state", "--table", "POSTITLE.DB"}, 1},
        {{"--dir", kDb, "title", "--table", "200405jt.db"}, 1},
    };
    for (const auto& b : bad) {
        auto run = report_tool(b.args);
        EXPECT_EQ(run.status, b.status) << b.args[2] << " " << run.err;
        if (b.status == 1) {
            EXPECT_TRUE(run.err.starts_with("pavoden2-report: ")) << run.err;
        }
    }
}

TEST_F(StatsReportTest, StatsToolRunsTheOperationsInOrder) {
    add_category("1", "ENGINEER");
    add_state("CO");
    add_titled("ENGINEER", "3/1/2004", "CO");
    add_titled("CLERK", "4/2/2004", "AZ");
    auto r = stats_tool({"--dir", kDb, "--filter", "POS_STATE = 'CO'", "position-titles",
                         "new-categories", "title-stats", "state-stats", "month-list", "monthly",
                         "4/1/2004 TO 4/30/2004", "title-stats"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "position-titles: 1 new position titles added from 1 records\n"
              "new-categories: 0 new categories added from 1 records\n"
              "title-stats: 1 records counted, 1 of them into 1 categories\n"
              "state-stats: 1 records counted, 1 of them into 1 states\n"
              "3/1/2004 TO 3/31/2004\n"
              "monthly 4/1/2004 TO 4/30/2004: 1 records counted into 200404st.db and "
              "200404jt.db\n"
              "title-stats: 1 records counted, 1 of them into 1 categories\n");

    struct Bad {
        std::vector<std::string> args;
    } usage[] = {
        {{"--dir", kDb}},
        {{"--dir", kDb, "monthly", "4/1/2004 TO 4/29/2004"}},
        {{"--dir", kDb, "monthly"}},
        {{"--dir", kDb, "title-stats", "count-everything"}},
    };
    for (const auto& u : usage) EXPECT_EQ(stats_tool(u.args).status, 2);

    // A failure stops the run; the operations before it stay done.
    titles_.close();
    {
        tables::Table t;
        t.set_database_name(kDb);
        t.set_table_name("POSTITLE.DB");
        t.delete_table();
        store::TableSchema city = *store::find_table_schema("CITY.db");
        city.file_name = "POSTITLE.DB";
        store::TableSetCreator::create_table_in(kDb, city);
    }
    r = stats_tool({"--dir", kDb, "new-categories", "position-titles", "state-stats"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "new-categories: 1 new categories added from 2 records\n");
    EXPECT_TRUE(r.err.starts_with("pavoden2-stats: position-titles: ")) << r.err;
    EXPECT_EQ(values("STATS_JT.DB", "CATEGORY"), (std::vector<std::string>{"CLERK", "ENGINEER"}));
    EXPECT_EQ(stats_tool({"--dir", kDb, "--filter", "NOSUCH = 1", "month-list"}).status, 1);
}

}  // namespace
}  // namespace pavo::records::test
