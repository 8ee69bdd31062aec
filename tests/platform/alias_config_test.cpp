// Alias configuration: round trip through the file, atomic save, missing and in-memory aliases.
#include "platform/alias_config.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/error.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace pavo {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AliasConfig, SavedAliasesReadBackWithPathFirst) {
    testing::TempHome home;
    AliasConfig& cfg = AliasConfig::current();
    cfg.add_standard("PAVODEN2", R"(c:\mydata\KV-DB\PAVODEN2\db\)");
    cfg.add_standard("Other", R"(c:\mydata\other\)", "Paradox");
    cfg.save();

    AliasConfig fresh(home.path() / "aliases.cfg");
    fresh.load();
    ASSERT_TRUE(fresh.exists("pavoden2"));  // names compare case-insensitively
    std::vector<std::string> params = fresh.params("PAVODEN2");
    ASSERT_FALSE(params.empty());
    EXPECT_EQ(params[0], R"(PATH=c:\mydata\KV-DB\PAVODEN2\db\)");
    EXPECT_EQ(fresh.driver("OTHER"), "Paradox");
    EXPECT_EQ(fresh.names(), (std::vector<std::string>{"PAVODEN2", "Other"}));
}

TEST(AliasConfig, MissingAliasIsAnErrorNamingIt) {
    testing::TempHome home;
    AliasConfig& cfg = AliasConfig::current();
    for (auto call :
         {+[](AliasConfig& c) { c.params("NOPE"); }, +[](AliasConfig& c) { c.remove("NOPE"); }}) {
        try {
            call(cfg);
            FAIL();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kNotFound);
            EXPECT_STREQ(e.what(), "Alias 'NOPE' not found");
        }
    }
    cfg.add_standard("A", "c:\\a\\");
    EXPECT_THROW(cfg.add_standard("a", "c:\\b\\"), Error);
}

TEST(AliasConfig, InMemoryAliasIsNeverSaved) {
    testing::TempHome home;
    AliasConfig& cfg = AliasConfig::current();
    cfg.add_standard("PAVODEN2", R"(c:\db\)");
    cfg.add_standard("TEMPDB", R"(C:\MYDATA\KV-DB\PAVODEN2\DB\NEW\)", "Paradox", true);
    EXPECT_EQ(cfg.path("TEMPDB"), R"(C:\MYDATA\KV-DB\PAVODEN2\DB\NEW\)");
    cfg.save();
    EXPECT_EQ(slurp(home.path() / "aliases.cfg").find("TEMPDB"), std::string::npos);
    AliasConfig::reset_current();
    EXPECT_FALSE(AliasConfig::current().exists("TEMPDB"));
    EXPECT_TRUE(AliasConfig::current().exists("PAVODEN2"));
}

TEST(AliasConfig, FailedSaveLeavesTheOldFileWholeAndNoTemporaryBehind) {
    testing::TempHome home;
    AliasConfig& cfg = AliasConfig::current();
    cfg.add_standard("PAVODEN2", R"(c:\old\)");
    cfg.save();
    const std::string before = slurp(home.path() / "aliases.cfg");

    cfg.remove("PAVODEN2");
    cfg.add_standard("PAVODEN2", R"(c:\new\)");
    FaultyFileSystem faulty;
    faulty.fail_rename_call = 0;
    {
        ScopedFileSystem scope(&faulty);
        EXPECT_THROW(cfg.save(), Error);
    }
    EXPECT_EQ(slurp(home.path() / "aliases.cfg"), before);
    int files = 0;
    for (const auto& e : fs::directory_iterator(home.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "the temporary file must be removed";

    FaultyFileSystem full;
    full.fail_write_after_bytes = 10;
    {
        ScopedFileSystem scope(&full);
        EXPECT_THROW(cfg.save(), Error);
    }
    EXPECT_EQ(slurp(home.path() / "aliases.cfg"), before);
}

TEST(AliasConfig, MalformedFileIsRefusedWithItsLine) {
    testing::TempHome home;
    std::ofstream(home.path() / "aliases.cfg") << "[A]\nPATH=c:\\a\\\nthis is not a setting\n";
    AliasConfig cfg(home.path() / "aliases.cfg");
    try {
        cfg.load();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kCorruption);
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
    std::ofstream(home.path() / "aliases.cfg") << "PATH=c:\\orphan\n";
    EXPECT_THROW(cfg.load(), Error);
}

}  // namespace
}  // namespace pavo
