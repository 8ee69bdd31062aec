// The table tool: dump and load round trips, dumps through a filter or an index, all-or-nothing
// loads, and the damage check.
#include "store/table_tool.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "store/install.h"
#include "store/table_set.h"
#include "store_fixture.h"
#include "tables/table.h"

namespace pavo::store {
namespace {

namespace fs = std::filesystem;

using testing::tool;
using testing::ToolRun;

class TableTool : public ::testing::Test {
  protected:
    void SetUp() override {
        install({});
        tables::Table js;
        js.set_database_name("PAVODEN2");
        js.set_table_name("jsearch2.DB");
        js.open();
        for (int i = 0; i < 3; ++i) {
            js.append();
            js.field("DATE").set_as_date(37685 + i);
            js.field("YYYYMMDD").set_as_string("2003030" + std::to_string(5 + i));
            js.field("TIME").set_as_string("09:10");
            js.field("CONTACT_NAME").set_as_string(i == 1 ? "O'NEIL, \"QUOTED\"\tTAB" : "ANN");
            js.field("POS_TYPE").set_as_string("FT");
            js.field("POS_CITY").set_as_string("DENVER");
            js.field("POS_STATE").set_as_string("CO");
            js.field("SUBMITTED").set_as_boolean(i != 2);
            js.field("REFNUM").set_as_float(i == 0 ? 1 : 1.5);
            js.field("MEMO").set_as_string(i == 0 ? "line one\nline two" : "");
            js.post();
        }
    }
    fs::path write(const std::string& name, const std::string& text) {
        fs::path p = home.path() / name;
        std::ofstream(p) << text;
        return p;
    }
    testing::TempHome home;
};

TEST_F(TableTool, DumpLoadDumpGivesTheSameLines) {
    ToolRun dump = tool({"dump", "jsearch2.DB"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 3);
    EXPECT_NE(dump.out.find(R"("DATE":"2003-03-05")"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find(R"("SUBMITTED":false)"), std::string::npos);
    EXPECT_NE(dump.out.find(R"("REFNUM":1.5)"), std::string::npos);
    EXPECT_NE(dump.out.find(R"("ACTIVE":null)"), std::string::npos);
    EXPECT_NE(dump.out.find(R"("MEMO":"line one\nline two")"), std::string::npos);

    // Into a second, empty set through --dir, then out again.
    TableSetCreator([](const std::string&) {}).create("COPY");
    const std::string copy = R"(C:\MYDATA\KV-DB\PAVODEN2\DB\COPY\)";
    fs::path file = write("rows.jsonl", dump.out);
    ToolRun load = tool({"--dir", copy, "load", "JSEARCH2.DB", file.string()});
    ASSERT_EQ(load.status, 0) << load.err;
    ToolRun again = tool({"--dir", copy, "dump", "jsearch2.db"});
    EXPECT_EQ(again.out, dump.out);
}

TEST_F(TableTool, ListAndCsv) {
    ToolRun list = tool({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("time10.db\t144\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("jsearch2.db\t3\n"), std::string::npos);

    ToolRun csv = tool({"dump", "jsearch2.DB", "--csv"});
    ASSERT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out.substr(0, csv.out.find("\r\n")).substr(0, 17), "PK,ACTIVE,ACTIVE_");
    EXPECT_NE(csv.out.find(R"("O'NEIL, ""QUOTED"")"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find("\"line one\nline two\""), std::string::npos);
}

TEST_F(TableTool, BadRowLeavesTheTableUnchanged) {
    const std::string before = tool({"dump", "jsearch2.DB"}).out;
    const std::string good =
        R"({"DATE":"2004-01-02","YYYYMMDD":"20040102","TIME":"10:00","CONTACT_NAME":"BOB","POS_TYPE":"CT","POS_CITY":"AUSTIN","POS_STATE":"TX"})";
    struct Case {
        std::string third_line, expected_in_error;
    };
    const Case cases[] = {
        {R"({"DATE":"2004-02-30","YYYYMMDD":"x","TIME":"1","CONTACT_NAME":"C","POS_TYPE":"FT","POS_CITY":"X","POS_STATE":"CO"})",
         "DATE"},
        {R"({"DATE":"2004-01-02","YYYYMMDD":"x","TIME":"1","CONTACT_NAME":"C","POS_TYPE":"FT","POS_CITY":"X"})",
         "POS_STATE"},
        {R"({"NO_SUCH":1})", "NO_SUCH"},
        {R"({"DATE":"2004-01-02",)", "line 3"},
        {R"({"PK":1,"DATE":"2004-01-02","YYYYMMDD":"x","TIME":"1","CONTACT_NAME":"C","POS_TYPE":"FT","POS_CITY":"X","POS_STATE":"CO"})",
         "Key violation"},
    };
    for (const auto& c : cases) {
        fs::path file = write("bad.jsonl", good + "\n" + good + "\n" + c.third_line + "\n");
        ToolRun load = tool({"load", "jsearch2.DB", file.string()});
        EXPECT_EQ(load.status, 1) << c.third_line;
        EXPECT_NE(load.err.find("line 3"), std::string::npos) << load.err;
        EXPECT_NE(load.err.find(c.expected_in_error), std::string::npos) << load.err;
        EXPECT_EQ(tool({"dump", "jsearch2.DB"}).out, before) << c.third_line;
    }
}

// The PK of each dumped JSON line, in order ("1,3").
std::string dumped_keys(const std::string& out) {
    std::string keys;
    for (std::size_t at = 0; (at = out.find("{\"PK\":", at)) != std::string::npos; at += 6)
        keys += (keys.empty() ? "" : ",") + out.substr(at + 6, out.find(',', at) - at - 6);
    return keys;
}

TEST_F(TableTool, DumpWritesTheRowsAFilterPassesInAnIndexsOrder) {
    struct Case {
        std::vector<std::string> options;
        const char* keys;
    };
    const Case cases[] = {
        {{"--filter", "CONTACT_NAME = 'ANN'"}, "1,3"},
        {{"--filter", "CONTACT_NAME = 'ann'"}, ""},
        {{"--filter", "CONTACT_NAME = 'ann'", "--nocase"}, "1,3"},
        {{"--filter", "CONTACT_NAME = " + tables::quote_filter_text("O'NEIL, \"QUOTED\"\tTAB")},
         "2"},
        {{"--filter", "REFNUM = 1.5 AND NOT (SUBMITTED = FALSE)"}, "2"},
        {{"--index", "YYYYMMDD_TIME_DESCENDING"}, "3,2,1"},
        {{"--index", "yyyymmdd_time_descending", "--filter", "REFNUM = 1.5"}, "3,2"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump", "jsearch2.DB"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ToolRun dump = tool(args);
        EXPECT_EQ(dump.status, 0) << dump.err;
        EXPECT_EQ(dumped_keys(dump.out), c.keys) << c.options[1];
    }
    ToolRun csv = tool({"dump", "jsearch2.DB", "--csv", "--filter", "SUBMITTED = FALSE"});
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 2) << csv.out;
    EXPECT_EQ(csv.out.substr(csv.out.find("\r\n") + 2, 2), "3,");
}

TEST_F(TableTool, DumpRefusesAFilterOrIndexTheTableRefusesAndWritesNothing) {
    std::string deep = "REFNUM = 1";
    for (int i = 0; i < 40; ++i) deep = (i % 2 ? "PK = 9 OR (" : "PK <> 9 AND (") + deep + ")";
    struct Case {
        std::vector<std::string> options;
        const char* error;
    };
    const Case cases[] = {
        {{"--filter", "CONTACT_NAME = 'ANN"}, "Filter expression error at position 16"},
        {{"--filter", "NOPE = 1"}, "field 'NOPE' not found"},
        {{"--filter", "DATE > 'soon'"}, "'soon'"},
        {{"--filter", deep}, "Filter is too complex"},
        {{"--index", "NO_SUCH"}, "Index does not exist: NO_SUCH"},
        {{"--csv", "--index", "NO_SUCH"}, "Index does not exist: NO_SUCH"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump", "jsearch2.DB"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ToolRun dump = tool(args);
        EXPECT_EQ(dump.status, 1) << c.error;
        EXPECT_EQ(dump.out, "");
        EXPECT_NE(dump.err.find(c.error), std::string::npos) << dump.err;
    }
    // Options of dump alone, and --nocase only with a filter.
    EXPECT_EQ(tool({"list", "--filter", "PK = 1"}).status, 2);
    EXPECT_EQ(tool({"check", "--index", "X"}).status, 2);
    EXPECT_EQ(tool({"dump", "jsearch2.DB", "--nocase"}).status, 2);
    EXPECT_EQ(tool({"dump", "jsearch2.DB", "--filter"}).status, 2);
    ToolRun help = tool({"--help"});
    EXPECT_NE(help.out.find("--filter EXPR"), std::string::npos);
    EXPECT_NE(help.out.find("--index NAME"), std::string::npos);
}

TEST_F(TableTool, AFailedLoadLeavesTheNumberingAsItWas) {
    const std::string good =
        R"({"DATE":"2004-01-02","YYYYMMDD":"20040102","TIME":"10:00","CONTACT_NAME":"BOB","POS_TYPE":"CT","POS_CITY":"AUSTIN","POS_STATE":"TX"})";
    fs::path bad = write("bad.jsonl", good + "\n" + good + "\n" + R"({"NO_SUCH":1})" + "\n");
    ASSERT_EQ(tool({"load", "jsearch2.DB", bad.string()}).status, 1);
    fs::path one = write("one.jsonl", good + "\n");
    ToolRun load = tool({"load", "jsearch2.DB", one.string()});
    ASSERT_EQ(load.status, 0) << load.err;
    // Rows 1 to 3 were there; the failed load used no number, so the new row is the 4th.
    std::string dump = tool({"dump", "jsearch2.DB"}).out;
    std::string last = dump.substr(dump.rfind('\n', dump.size() - 2) + 1);
    EXPECT_NE(last.find("\"PK\":4,"), std::string::npos) << last;
    EXPECT_NE(last.find("BOB"), std::string::npos) << last;
}

TEST_F(TableTool, CheckFindsADamagedTable) {
    ToolRun ok = tool({"check"});
    EXPECT_EQ(ok.status, 0) << ok.out;
    EXPECT_EQ(std::count(ok.out.begin(), ok.out.end(), '\n'), 19);

    fs::path carrier = home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db" / "carrier.db";
    {
        // Every page after the first: b-tree headers and cells become nonsense.
        std::fstream f(carrier, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096);
        std::string junk(static_cast<std::size_t>(fs::file_size(carrier)) - 4096, '\x5a');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    ToolRun bad = tool({"check"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("carrier.db\tFAILED"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("time10.db\tok"), std::string::npos) << bad.out;

    ToolRun dump = tool({"dump", "carrier.db"});
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.err.find("carrier.db"), std::string::npos) << dump.err;
    if (!dump.out.empty()) {
        EXPECT_EQ(dump.out.back(), '\n');
    }
}

TEST(TableToolUsage, RefusesBadCommandLines) {
    testing::TempHome home;
    EXPECT_EQ(tool({}).status, 2);
    EXPECT_EQ(tool({"dump"}).status, 2);
    EXPECT_EQ(tool({"list", "--csv"}).status, 2);
    ToolRun missing = tool({"list"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("PAVODEN2"), std::string::npos);
}

}  // namespace
}  // namespace pavo::store
