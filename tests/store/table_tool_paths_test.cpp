// The table tool's --dir: a host path, a relative path climbing with "..", a z: path and a c: path
// name the same set for every command, with the same output.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "store/install.h"
#include "store/table_tool.h"
#include "store_fixture.h"

namespace pavo::store {
namespace {

namespace fs = std::filesystem;

using testing::tool;
using testing::ToolRun;

std::string backslashed(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

class TableToolPaths : public ::testing::Test {
  protected:
    void SetUp() override {
        install({});
        set_ = home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db";
        ASSERT_TRUE(fs::is_directory(set_));
        // A sibling folder to stand in, so that the relative form has to climb out of it.
        fs::create_directories(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "elsewhere");
        saved_ = fs::current_path();
        fs::current_path(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "elsewhere");
    }
    void TearDown() override { fs::current_path(saved_); }

    // Every way of naming the live set on the command line.
    std::vector<std::string> forms() const {
        return {set_.string(), "../db", "../../PAVODEN2/./DB/", "z:" + backslashed(set_),
                R"(c:\MYDATA\kv-db\pavoden2\db)"};
    }

    testing::TempHome home;
    fs::path set_, saved_;
};

TEST_F(TableToolPaths, EveryCommandReadsTheSameSetThroughEveryForm) {
    const ToolRun dump = tool({"dump", "CONFIG.DB"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    ASSERT_FALSE(dump.out.empty());
    // One new job search per load; its number comes from the table.
    const fs::path rows = home.path() / "row.jsonl";
    std::ofstream(rows) << R"({"DATE":"2003-03-05","YYYYMMDD":"20030305","TIME":"09:10",)"
                        << R"("CONTACT_NAME":"ANN","POS_TYPE":"FT","POS_CITY":"DENVER",)"
                        << R"("POS_STATE":"CO","SUBMITTED":true,"REFNUM":1})" << '\n';
    const int before = testing::row_count("PAVODEN2", "jsearch2.DB");
    int loads = 0;

    for (const std::string& dir : forms()) {
        SCOPED_TRACE(dir);
        // The set as its alias names it, now (each load below adds a row).
        const ToolRun list = tool({"list"});
        const ToolRun check = tool({"check"});
        ASSERT_EQ(check.status, 0) << check.err;
        ToolRun r = tool({"--dir", dir, "list"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, list.out);
        r = tool({"--dir", dir, "check"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, check.out);
        EXPECT_EQ(r.err, "");
        r = tool({"--dir", dir, "dump", "config.db"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, dump.out);
        r = tool({"--dir", dir, "load", "JSEARCH2.DB", rows.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        ++loads;
    }
    EXPECT_EQ(testing::row_count("PAVODEN2", "jsearch2.DB"), before + loads);
}

TEST_F(TableToolPaths, AMissingFolderIsNamedNotTakenForAnAlias) {
    const std::pair<std::string, std::string> cases[] = {{"../nothing-here", "nothing-here"},
                                                         {R"(q:\db)", "q:"}};
    for (const auto& [dir, named] : cases) {
        for (const char* cmd : {"list", "check"}) {
            ToolRun r = tool({"--dir", dir, cmd});
            EXPECT_EQ(r.status, 1) << dir << ' ' << cmd;
            EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("Alias"), std::string::npos) << r.err;
        }
    }
}

}  // namespace
}  // namespace pavo::store
