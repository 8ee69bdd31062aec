// pavoden2-report's command line: the table set, the options, the exit status and what it prints.
#include "records/report_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "job_report_fixture.h"
#include "support/tool_run.h"

namespace pavo::records::test {
namespace {

using pavo::testing::ToolRun;

ToolRun tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(run_report_tool, args);
}

class ReportToolTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        fill_edge_cases();
    }
};

TEST_F(ReportToolTest, WritesTheWindowsReportAndPrintsItsPath) {
    auto r = tool({"--dir", kDb, "jobs", "--ticked", "0,1,2,3,4,5,6,7,8,9,10,11,12", "--index",
                   "YYYYMMDD_TIME_DESCENDING", "--out", host("all.txt"), "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, host("all.txt") + "\n" + host("all.csv") + "\n");
    expect_golden(host("all.txt"), "all_ticks_newest_first.txt");
    EXPECT_TRUE(fs::exists(host("all.csv")));

    // A named file is never replaced: the second run refuses it and leaves it as it was.
    auto again = tool({"--dir", kDb, "jobs", "--out", host("all.txt")});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("exists"), std::string::npos) << again.err;
    expect_golden(host("all.txt"), "all_ticks_newest_first.txt");
}

TEST_F(ReportToolTest, FilterAndPrint) {
    auto r = tool({"--dir", kDb, "jobs", "--ticked", "0,1,3,4,5,7,9,11", "--filter",
                   "POS_STATE = 'AZ'", "--print"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, read_whole_file(golden_path("filtered_default.txt")));
}

TEST_F(ReportToolTest, DefaultNameGoesToTheReportsFolder) {
    auto r = tool({"--dir", kDb, "jobs"});
    ASSERT_EQ(r.status, 0) << r.err;
    fs::path written(r.out.substr(0, r.out.size() - 1));
    EXPECT_EQ(written.parent_path(), home_.drive_c() / "mydata" / "KV-DB" / "pavoden2" / "reports");
    EXPECT_TRUE(written.filename().string().starts_with("JOB_SEARCH___"));
    EXPECT_EQ(read_whole_file(written), read_whole_file(golden_path("default_ticks.txt")));
}

TEST_F(ReportToolTest, BadInputExitsNonZeroAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--dir", kDb, "jobs", "--ticked", "1,13"}, 1, "'13'"},
        {{"--dir", kDb, "jobs", "--index", "NO_SUCH"}, 1, "NO_SUCH"},
        {{"--dir", kDb, "jobs", "--filter", "NO_FIELD = 'x'"}, 1, "NO_FIELD"},
        {{"--dir", kDb, "jobs", "--filter", "POS_STATE = "}, 1, ""},
        {{"--dir", host("nowhere"), "jobs"}, 1, "jsearch2"},
        {{"--dir", kDb, "statistics"}, 2, "usage"},
        {{"--dir", kDb, "jobs", "--out", host("x.txt"), "--print"}, 2, "usage"},
        {{"--dir", kDb, "jobs", "--bogus"}, 2, "--bogus"},
        {{"--dir", kDb, "jobs", "--ticked"}, 2, "--ticked"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        auto r = tool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(home_.drive_c() / "mydata" / "KV-DB"));
    EXPECT_EQ(tool({"--help"}).status, 0);
}

}  // namespace
}  // namespace pavo::records::test
