// pavoden2-migrate's command line: where the set goes, --json in every case, the exit statuses.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "migrate_fixture.h"
#include "platform/alias_config.h"
#include "support/tool_run.h"

namespace pavo::records::test {
namespace {

using pavo::testing::ToolRun;

ToolRun tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(run_migrate_tool, args);
}

class MigrateToolTest : public MigrateTest {
  protected:
    void SetUp() override {
        MigrateTest::SetUp();
        OldTableSpec city = spec("CITY.db");
        city.rows = {{Cell::str("DENVER")}, {Cell::str("DENVER")}};
        write("CITY", city);
    }
    fs::path sets() const { return home_.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "DB"; }
};

TEST_F(MigrateToolTest, ANameMakesTheSetInTheSetsFolderAndTheLastLineCountsRefusedRows) {
    auto r = tool({old_.string(), "old1"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(fs::exists(sets() / "OLD1" / "city.db"));
    EXPECT_TRUE(r.out.ends_with("; 1 rows refused\n")) << r.out;
    EXPECT_NE(r.out.find("Reading CITY.DB"), std::string::npos);  // progress before the report
    EXPECT_TRUE(r.err.empty());
    // The same name again: the folder exists (matched whatever its case).
    r = tool({old_.string(), "Old1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("exists"), std::string::npos);
}

TEST_F(MigrateToolTest, JsonPrintsOneObjectInEveryCase) {
    auto r = tool({"--json", old_.string(), "--to", target_.string()});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.out.starts_with("{\"result\":\"done\"")) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_NE(r.out.find("\"refused\":[{\"row\":2,\"key\":\"DENVER\",\"reason\":\"key_violation\""),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.err.empty());
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* kind;
    };
    const std::vector<Case> cases = {
        {{"--json", old_.string(), "--to", target_.string()}, 2, "target_exists"},
        {{"--json", (home_.path() / "nowhere").string(), "X"}, 2, "old_unreadable"},
        {{"--json", old_.string(), "TOOLONGNAME"}, 2, "usage"},
        {{"--json", old_.string(), "A.B"}, 2, "usage"},
        {{"--json", "--codepage", "866", old_.string(), "X"}, 2, "usage"},
        {{"--json", old_.string()}, 2, "usage"},
        {{"--json", "--bogus", old_.string(), "X"}, 2, "usage"},
    };
    for (const Case& c : cases) {
        auto t = tool(c.args);
        EXPECT_EQ(t.status, c.status) << t.out;
        EXPECT_TRUE(t.out.starts_with("{\"result\":\"failed\"")) << t.out;
        EXPECT_NE(t.out.find(std::string("\"kind\":\"") + c.kind + "\""), std::string::npos)
            << t.out;
        EXPECT_TRUE(t.err.empty()) << t.err;
    }
    // A damaged table: exit 1, the error to standard error without --json.
    write("CONFIG", spec("CONFIG.DB"));
    std::ofstream(old_ / "CONFIG.DB", std::ios::trunc) << "";
    auto t = tool({old_.string(), "--to", (home_.path() / "other").string()});
    EXPECT_EQ(t.status, 1);
    EXPECT_NE(t.err.find("CONFIG.DB"), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("(empty)"), std::string::npos) << t.err;
    EXPECT_FALSE(fs::exists(home_.path() / "other"));
}

TEST_F(MigrateToolTest, DirAndAliasChooseTheFolderTheNameGoesIn) {
    const fs::path base = home_.path() / "elsewhere";
    fs::create_directories(base);
    auto r = tool({"--dir", base.string(), old_.string(), "viadir"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(base / "VIADIR" / "city.db"));
    AliasConfig::current().add_standard("OLDSETS", DriveMap::current().to_logical(base), "Paradox",
                                        true);
    r = tool({"--alias", "OLDSETS", old_.string(), "viaalias"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(base / "VIAALIAS" / "city.db"));
}

}  // namespace
}  // namespace pavo::records::test
