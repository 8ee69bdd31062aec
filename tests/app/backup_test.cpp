// ZIP Databases, UNZIP Databases and Table Conversion through the registered archive component.
#include <filesystem>
#include <fstream>

#include "app/shell/database_backup.h"
#include "app/shell/hosted_arcvane.h"
#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "archive/component/arcvane.h"
#include "platform/com/registry.h"
#include "platform/drive_map.h"
#include "store/data_module.h"
#include "store/table_set.h"

namespace pavo::app::testing {
namespace {

namespace fs = std::filesystem;
using kit::Answer;

const char kServer[] = PAVO_BINARY_DIR "/archive/component/CorvexArcvane.so";

fs::path host(const std::string& logical) {
    return DriveMap::current().to_host(logical);
}

std::vector<fs::path> archives() {
    std::vector<fs::path> out;
    fs::path dir = host(R"(c:\mydata\KV-DB\PAVODEN2\zip\databases)");
    if (fs::is_directory(dir))
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    return out;
}

class BackupTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        std::string why;
        ASSERT_EQ(com::register_server(kServer, &why), com::S_OK) << why;
        shell::set_archive_control_factory(shell::create_hosted_arcvane);
        start();
        shell::set_archive_control_factory({});
        ASSERT_NE(main().Arcvane1(), nullptr);
    }
    void trigger(const char* item) {
        QAction* a = main().item(item);
        ASSERT_NE(a, nullptr);
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
};

TEST_F(BackupTest, ZipThenUnzipRestoresEveryTableWithEveryPostedRow) {
    // A set made under db\ belongs in the backup too.
    store::TableSetCreator([](const std::string&) {}).create("EXTRA");
    // Rows posted inside a command that is still open when the backup runs.
    store::DataModule& dm = *store::DataModule::instance();
    tables::CommandScope still_open;
    for (const char* city : {"DENVER", "BOULDER", "O'FALLON"}) {
        dm.table_city.append();
        dm.table_city.field("CITY").set_as_string(city);
        dm.table_city.post();
    }

    prompts.answers = {Answer::kYes};
    trigger("ZIPDatabases1");
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].caption, "DATABASE ZIPPING REQUESTED");
    std::vector<fs::path> made = archives();
    ASSERT_EQ(made.size(), 1u);
    const std::string name = made[0].filename().string();
    EXPECT_EQ(name.substr(0, 8), "PAVODEN-");
    EXPECT_EQ(name.size(), std::string("PAVODEN-2026-12-06-17-25-03.zip").size());
    EXPECT_EQ(prompts.boxes[1].caption, "MESSAGE");
    EXPECT_EQ(
        prompts.boxes[1].text,
        "The databases have been ZIPPED up into: c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\" +
            name + "\nThe filename is in the format of: PAVODEN-YYYY-MM-DD-HH-MM-SS\n");

    // Unpacked twice: the second run replaces what the first left.
    for (int run = 0; run < 2; ++run) {
        prompts.boxes.clear();
        prompts.files = {DriveMap::current().to_logical(made[0])};
        trigger("UNZIPDatabases1");
        ASSERT_EQ(prompts.file_requests.size(), static_cast<std::size_t>(run + 1));
        EXPECT_EQ(prompts.file_requests.back().initial_dir,
                  "c:\\mydata\\kv-db\\pavoden2\\zip\\databases");
        EXPECT_EQ(prompts.file_requests.back().file_name, "*.zip");
        ASSERT_EQ(prompts.boxes.size(), 1u);
        const std::string& text = prompts.boxes[0].text;
        EXPECT_EQ(text.rfind(
                      "The databases have restored to: c:\\temp02\\.........\nYOU will need to use "
                      "Windows Explorer to\nmove the file into the live directory\nThis program "
                      "will NOT overwrite the 'live' files.\n\n",
                      0),
                  0u)
            << text;
        EXPECT_NE(text.find("38 tables, all open and sound"), std::string::npos) << text;
        EXPECT_NE(text.find("city.db: 3 rows, sound"), std::string::npos) << text;
        EXPECT_NE(text.find("EXTRA\\time10.db: 144 rows, sound"), std::string::npos) << text;
    }
    fs::path restored = host(R"(c:\temp02\restored)");
    EXPECT_TRUE(fs::exists(restored / "jsearch2.db"));
    EXPECT_TRUE(fs::exists(restored / "EXTRA" / "carrier.db"));
}

TEST_F(BackupTest, NoAndCancelLeaveNoTrace) {
    prompts.answers = {Answer::kNo};
    trigger("ZIPDatabases1");
    EXPECT_TRUE(archives().empty());

    prompts.files = {std::nullopt};
    trigger("UNZIPDatabases1");
    EXPECT_FALSE(fs::exists(home.drive_c() / "temp02"));

    prompts.answers = {Answer::kNo};
    trigger("TableConversion1");
    EXPECT_TRUE(archives().empty());
    EXPECT_EQ(prompts.boxes.size(), 2u);
}

TEST_F(BackupTest, FailedRunShowsTheComponentsMessageNotSuccess) {
    // Where the archive must go there is a file instead of a folder.
    fs::remove_all(host(R"(c:\mydata\KV-DB\PAVODEN2\zip\databases)"));
    std::ofstream(host(R"(c:\mydata\KV-DB\PAVODEN2\zip\databases)")) << "in the way";
    prompts.answers = {Answer::kYes};
    trigger("ZIPDatabases1");
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text.find("The databases have been ZIPPED"), std::string::npos);
    EXPECT_NE(prompts.boxes[1].text.find("could NOT be ZIPPED"), std::string::npos);
    EXPECT_NE(prompts.boxes[1].text.find("reported error 2"), std::string::npos)
        << prompts.boxes[1].text;

    // A file that is no archive at all.
    prompts.boxes.clear();
    std::ofstream(home.path() / "not-a.zip") << "plain text";
    prompts.files = {DriveMap::current().to_logical(home.path() / "not-a.zip")};
    trigger("UNZIPDatabases1");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("could NOT be restored"), std::string::npos)
        << prompts.boxes[0].text;
}

TEST_F(BackupTest, TableConversionBacksUpThenGivesTheInstructions) {
    prompts.answers = {Answer::kYes};
    trigger("TableConversion1");
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[0].caption, "TABLE CHANGES REQUESTED");
    EXPECT_EQ(prompts.boxes[0].text.substr(0, 60),
              "The requested action will cause massive changes to the table");
    std::vector<fs::path> made = archives();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].filename().string().substr(0, 20), "PAVODEN-PREDATAPUMP-");
    EXPECT_NE(prompts.boxes[1].text.find("PAVODEN-PREDATAPUMP-YYYY-MM-DD-HH-MM-SS"),
              std::string::npos);
    EXPECT_EQ(prompts.boxes[2].text,
              "Please look at the manual, and use the DATAPUMP to move the data..\n");
}

TEST(HostedArcvane, WrapperIdentifiersAgreeWithTheTypeLibrary) {
    namespace ids = shell::arcvane_ids;
    EXPECT_EQ(com::guid(ids::kClassId), arcvane::CLSID_Arcvane);
    EXPECT_EQ(com::guid(ids::kEventsId), arcvane::DIID__IArcvaneEvents);
    const std::pair<int, int> pairs[] = {
        {ids::kEnabled, arcvane::DISPID_Enabled},
        {ids::kAllowErrorReporting, arcvane::DISPID_AllowErrorReporting},
        {ids::kOverwrite, arcvane::DISPID_Overwrite},
        {ids::kRecurseSubDirectories, arcvane::DISPID_RecurseSubDirectories},
        {ids::kCompressionLevel, arcvane::DISPID_CompressionLevel},
        {ids::kExtractDirectory, arcvane::DISPID_ExtractDirectory},
        {ids::kSourceDirectory, arcvane::DISPID_SourceDirectory},
        {ids::kZipFileName, arcvane::DISPID_ZipFileName},
        {ids::kFilesToProcess, arcvane::DISPID_FilesToProcess},
        {ids::kAdd, arcvane::DISPID_Add},
        {ids::kExtract, arcvane::DISPID_Extract},
        {ids::kErrorEvent, arcvane::DISPID_Error},
    };
    for (const auto& [ours, theirs] : pairs) EXPECT_EQ(ours, theirs);
}

TEST_F(AppTest, UnregisteredComponentEndsStartUpNamingIt) {
    shell::set_archive_control_factory(shell::create_hosted_arcvane);
    shell::Program program;
    EXPECT_NE(program.start(), 0);
    shell::set_archive_control_factory({});
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("CorvexArcvane"), std::string::npos)
        << prompts.boxes[0].text;
    EXPECT_EQ(store::DataModule::instance(), nullptr);
}

}  // namespace
}  // namespace pavo::app::testing
