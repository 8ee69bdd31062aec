// Drive map: case-insensitive resolution, level-by-level creation, host <-> logical round trips.
#include "platform/drive_map.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "platform/error.h"
#include "support/temp_home.h"

namespace pavo {
namespace {

namespace fs = std::filesystem;

class DriveMapTest : public ::testing::Test {
  protected:
    testing::TempHome home;
    DriveMap& map() { return DriveMap::current(); }
};

TEST_F(DriveMapTest, ResolvesExistingComponentsCaseInsensitively) {
    fs::create_directories(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db");
    std::ofstream(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db" / "pavoden2.db") << "x";

    EXPECT_EQ(map().to_host(R"(C:\MYDATA\kv-db\pavoden2\DB\PAVODEN2.DB)"),
              home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "db" / "pavoden2.db");
    // A missing component keeps the spelling given; the existing part keeps the disk's spelling.
    EXPECT_EQ(map().to_host(R"(c:\mydata\KV-DB\pavoden2\reports\New\x.txt)"),
              home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports" / "New" / "x.txt");
}

TEST_F(DriveMapTest, PrefersTheExactSpellingWhenSeveralMatch) {
    fs::create_directories(home.drive_c() / "Data");
    fs::create_directories(home.drive_c() / "DATA");
    EXPECT_EQ(map().to_host(R"(c:\DATA)"), home.drive_c() / "DATA");
    EXPECT_EQ(map().to_host(R"(c:\Data)"), home.drive_c() / "Data");
}

TEST_F(DriveMapTest, FoldsDotsAndSeparatorsWithoutLeavingTheDrive) {
    struct Case {
        const char* logical;
        const char* host_under_c;
    };
    const Case cases[] = {
        {R"(c:\a\.\b\..\c)", "a/c"}, {"c:/a//b/", "a/b"}, {R"(c:\..\..\etc\passwd)", "etc/passwd"},
        {R"(c:\a\..\..\..\b)", "b"}, {R"(C:)", ""},       {R"(c:\)", ""},
        {R"(c:a\b)", "a/b"},
    };
    for (const auto& c : cases) {
        fs::path expected = *c.host_under_c ? home.drive_c() / c.host_under_c : home.drive_c();
        EXPECT_EQ(map().to_host(c.logical).lexically_normal(), expected.lexically_normal())
            << c.logical;
    }
}

TEST_F(DriveMapTest, MapsOtherDrivesOnlyWhenTheirFolderExists) {
    EXPECT_EQ(map().to_host(R"(z:\usr\bin)"), fs::path("/usr/bin"));
    try {
        map().to_host(R"(d:\x)");
        FAIL() << "an unmapped drive must be refused";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput);
        EXPECT_NE(std::string(e.what()).find("d:"), std::string::npos);
    }
    fs::create_directories(home.path() / "drive_d");
    EXPECT_EQ(map().to_host(R"(D:\x)"), home.path() / "drive_d" / "x");
}

TEST_F(DriveMapTest, RelativePathsResolveAgainstTheBaseFolder) {
    fs::create_directories(home.path() / "base" / "Sub");
    EXPECT_EQ(map().to_host(R"(sub\file.txt)", home.path() / "base"),
              home.path() / "base" / "Sub" / "file.txt");
    EXPECT_EQ(map().to_host(R"(..\..\x)", home.path() / "base"), home.path() / "base" / "x");
}

// Command-line arguments: drive letters through the table, '/' as a host path, relative paths from
// the current folder with ".." climbing out of it as a shell does.
TEST_F(DriveMapTest, CommandLineArgumentsFollowOneRule) {
    const fs::path cwd = home.path() / "t" / "Work";
    fs::create_directories(cwd);
    fs::create_directories(home.path() / "out" / "Deep");
    fs::create_directories(home.drive_c() / "mydata");
    struct Case {
        std::string argument;
        fs::path host;
    };
    const Case cases[] = {
        {"x.zip", cwd / "x.zip"},
        {"./x.zip", cwd / "x.zip"},
        {"../../out/deep/x.zip", home.path() / "out" / "Deep" / "x.zip"},
        {R"(..\..\OUT\deep)", home.path() / "out" / "Deep"},
        {"../x.zip", home.path() / "t" / "x.zip"},
        {"/srv/../srv/./a.zip", "/srv/a.zip"},
        {"/Srv/A.zip", "/Srv/A.zip"},  // host paths are taken as written
        {R"(C:\MYDATA\a.zip)", home.drive_c() / "mydata" / "a.zip"},
        {R"(c:\..\..\a.zip)", home.drive_c() / "a.zip"},  // a drive still has its root
        {R"(z:\srv\a.zip)", "/srv/a.zip"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(map().argument_to_host(c.argument, cwd), c.host) << c.argument;

    // ".." stops at the host root.
    std::string climb;
    const fs::path below_root = cwd.relative_path();
    for (auto it = below_root.begin(); it != below_root.end(); ++it) climb += "../";
    EXPECT_EQ(map().argument_to_host(climb + "../../etc", cwd), fs::path("/etc"));
    EXPECT_THROW(map().argument_to_host(R"(q:\x)", cwd), Error);
}

TEST_F(DriveMapTest, HostAndLogicalFormsRoundTrip) {
    fs::create_directories(home.drive_c() / "mydata" / "KV-DB");
    fs::create_directories(home.path() / "drive_e" / "backup");
    struct Case {
        fs::path host;
        std::string logical;
    };
    const Case cases[] = {
        {home.drive_c() / "mydata" / "KV-DB", R"(c:\mydata\KV-DB)"},
        {home.drive_c(), R"(c:\)"},
        {home.path() / "drive_e" / "backup", R"(e:\backup)"},
        {"/usr/share", R"(z:\usr\share)"},
        {"/", R"(z:\)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(map().to_logical(c.host), c.logical) << c.host;
        EXPECT_EQ(map().to_host(c.logical).lexically_normal(), c.host.lexically_normal())
            << c.logical;
    }
    // A sibling folder whose name starts like the drive folder is not inside it.
    std::string outside = (home.path() / "drive_cx" / "f").string();
    for (char& ch : outside)
        if (ch == '/') ch = '\\';
    EXPECT_EQ(map().to_logical(home.path() / "drive_cx" / "f"), "z:" + outside);
}

TEST_F(DriveMapTest, CreatesEachLevelAndReportsTheLibraryError) {
    make_directories(R"(c:\mydata\KV-DB\PAVODEN2\zip\databases\)");
    EXPECT_TRUE(
        fs::is_directory(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "zip" / "databases"));

    // Later commands spell the tree differently; they must land in the same folders.
    make_directories(R"(c:\mydata\KV-DB\pavoden2\reports)");
    EXPECT_TRUE(fs::is_directory(home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports"));
    EXPECT_FALSE(fs::exists(home.drive_c() / "mydata" / "KV-DB" / "pavoden2"));

    MkdirResult again = make_directory(R"(C:\MYDATA\KV-DB\PAVODEN2\DB)");
    EXPECT_TRUE(again.ok());
    MkdirResult exists = make_directory(R"(C:\MYDATA\KV-DB\PAVODEN2\DB)");
    EXPECT_EQ(exists.error, EEXIST);
    EXPECT_EQ(exists.text, "File exists");
    MkdirResult orphan = make_directory(R"(c:\no\such\parent)");
    EXPECT_EQ(orphan.error, ENOENT);
    EXPECT_EQ(orphan.text, "No such file or directory");
}

}  // namespace
}  // namespace pavo
