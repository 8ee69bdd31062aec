// pavoden2-report payments: the file the window's Save writes, --print, --out and the exit status.
#include <gtest/gtest.h>

#include <sstream>

#include "payments_fixture.h"
#include "platform/clock.h"
#include "records/payments_report.h"
#include "records/report_tool.h"
#include "support/tool_run.h"

namespace pavo::records::test {
namespace {

using pavo::testing::ToolRun;

ToolRun tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(run_report_tool, args);
}

class PaymentsToolTest : public PaymentsTest {
  protected:
    void SetUp() override {
        PaymentsTest::SetUp();
        fill_edge_cases();
    }
    std::string host(const std::string& name) { return (home_.path() / name).string(); }
};

TEST_F(PaymentsToolTest, WritesTheSavedReportUnderTheWindowsName) {
    clock::ScopedFixedTime at({2004, 2, 29, 13, 5, 9});
    auto r = tool({"--dir", kDb, "payments"});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path written = home_.drive_c() / "mydata" / "KV-DB" / "pavoden2" / "reports" /
                             "PAYMENTS___2004-02-29-13-05-09.TXT";
    EXPECT_EQ(r.out, written.string() + "\n");
    const std::string expected =
        read_whole_file(golden_path("payments_default_ticks.txt")) +
        "\r\nSaved to file: "
        "c:\\mydata\\KV-DB\\pavoden2\\reports\\PAYMENTS___2004-02-29-13-05-09.TXT\r\n";
    EXPECT_EQ(read_whole_file(written), expected);
}

TEST_F(PaymentsToolTest, TicksFilterIndexAndPrint) {
    auto r = tool({"--dir", kDb, "payments", "--ticked", "2,18,23", "--filter",
                   "ITEM = 'O''BRIEN''S CHECK' OR CATEGORY = 'payment'", "--index", "ITEM_DATE_",
                   "--print"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Item Date is in though not listed; the golden file has the item-date order, this one the
    // descending index, so the two records change places.
    const std::string golden = read_whole_file(golden_path("payments_user_filter.txt"));
    EXPECT_EQ(r.out.size(), golden.size());
    EXPECT_LT(r.out.find("O'BRIEN'S CHECK"), r.out.find("01/17/2004"));
    EXPECT_GT(golden.find("O'BRIEN'S CHECK"), golden.find("01/17/2004"));

    r = tool({"--dir", kDb, "payments", "--ticked",
              "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,"
              "20,21,22,23,24,25",
              "--out", host("all.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, host("all.txt") + "\n");
    EXPECT_TRUE(read_whole_file(host("all.txt"))
                    .starts_with(read_whole_file(golden_path("payments_all_ticks.txt"))));
}

TEST_F(PaymentsToolTest, FailuresLeaveNoFile) {
    write_file_atomically(host("taken.txt"), "keep me");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--dir", kDb, "payments", "--ticked", "0,26"}, 1, "'26'"},
        {{"--dir", kDb, "payments", "--index", "NO_SUCH"}, 1, "NO_SUCH"},
        {{"--dir", kDb, "payments", "--filter", "MEMO = 'x'"}, 1, "MEMO"},
        {{"--dir", kDb, "payments", "--out", host("taken.txt")}, 1, "taken.txt"},
        {{"--dir", kDb, "payments", "--csv"}, 2, "usage"},
        {{"--dir", kDb, "payments", "--out", host("x.txt"), "--print"}, 2, "usage"},
        {{"--dir", kDb, "payments", "jobs"}, 2, "usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        auto r = tool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(read_whole_file(host("taken.txt")), "keep me");
    EXPECT_FALSE(fs::exists(host("x.txt")));

    // A record the report cannot show: exit 1 and no file under the report's name.
    add("6/1/2004", {{"CATEGORY", "OTHER"}, {"OTHER_AMT", "1e16"}});
    auto r = tool({"--dir", kDb, "payments", "--out", host("big.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stopped at record"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(host("big.txt")));
    EXPECT_FALSE(fs::exists(home_.drive_c() / "mydata" / "KV-DB"));
}

}  // namespace
}  // namespace pavo::records::test
