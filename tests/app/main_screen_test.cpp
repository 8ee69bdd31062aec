// Start-up with good and broken homes, the menu and its windows, the exit prompt, Change
// Databases, and the backup prompts around the maintenance windows.
#include <QMenu>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>

#include "app/kit/maintenance_window.h"
#include "app/shell/window_registry.h"
#include "app_fixture.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/data_module.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::app::testing {
namespace {

namespace fs = std::filesystem;
using kit::Answer;

fs::path live_dir() {
    return DriveMap::current().to_host(store::kLiveTablesDir);
}

std::string alias_path() {
    AliasConfig::reset_current();
    return AliasConfig::current().path("PAVODEN2");
}

struct FakeArchive : shell::ArchiveControl {
    void set_text_property(int, const std::u16string&) override {}
    void set_bool_property(int, bool) override {}
    RunResult invoke(int) override { return {}; }
};

TEST_F(AppTest, PluggedArchiveControlIsCreatedWithTheMainWindow) {
    QWidget* host = nullptr;
    shell::set_archive_control_factory([&](QWidget* main) {
        host = main;
        return std::make_unique<FakeArchive>();
    });
    start();
    shell::set_archive_control_factory({});
    EXPECT_NE(main().Arcvane1(), nullptr);
    EXPECT_EQ(host, &main());
}

TEST_F(AppTest, StartsWithVersionCaptionAndAliasLabel) {
    start();
    EXPECT_EQ(main().windowTitle().toStdString(),
              std::string(shell::kCaptionPrefix) + tkit_Get_Versioning_Info("FileVersion"));
    EXPECT_FALSE(tkit_Get_Versioning_Info("FileVersion").empty());
    EXPECT_EQ(main().Label1->text().toStdString(), to_lower("path=" + alias_path()));
    EXPECT_NE(store::DataModule::instance(), nullptr);
    EXPECT_FALSE(main().Image1->pixmap().isNull());
    EXPECT_EQ(main().Arcvane1(), nullptr) << "no archive control is plugged in yet";
    EXPECT_TRUE(prompts.boxes.empty());
}

struct BrokenHome {
    const char* what;
    std::function<void()> breakage;
    const char* named;  // what the error text must name
};

TEST_F(AppTest, BrokenHomeShowsTheErrorAndFailsStartup) {
    const BrokenHome cases[] = {
        {"no alias",
         [] {
             AliasConfig::current().remove("PAVODEN2");
             AliasConfig::current().save();
         },
         "PAVODEN2"},
        {"a missing table", [] { fs::remove(live_dir() / "carrier.db"); }, "arrier"},
        {"a missing table folder", [] { fs::remove_all(live_dir()); }, ""},
        {"an archive control that cannot be made",
         [] {
             shell::set_archive_control_factory(
                 [](QWidget*) -> std::unique_ptr<shell::ArchiveControl> {
                     throw Error(ErrorKind::kNotFound, "Class not registered");
                 });
         },
         "Class not registered"},
    };
    for (const BrokenHome& c : cases) {
        SCOPED_TRACE(c.what);
        pavo::testing::TempHome fresh;
        store::install({});
        c.breakage();
        AliasConfig::reset_current();
        prompts.boxes.clear();
        shell::Program program;
        EXPECT_NE(program.start(), 0);
        shell::set_archive_control_factory({});
        EXPECT_EQ(program.main_screen(), nullptr);
        EXPECT_EQ(store::DataModule::instance(), nullptr);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
        EXPECT_NE(prompts.boxes[0].text.find(c.named), std::string::npos) << prompts.boxes[0].text;
    }
}

// Every entry of the menu, found by walking captions as a user would.
QAction* by_captions(QMenuBar& bar, const std::vector<std::string>& path) {
    QList<QAction*> level = bar.actions();
    QAction* found = nullptr;
    for (const std::string& caption : path) {
        found = nullptr;
        for (QAction* a : level)
            if (a->text().toStdString() == caption) found = a;
        if (!found) return nullptr;
        if (found->menu()) level = found->menu()->actions();
    }
    return found;
}

TEST_F(AppTest, EveryPickListAndUtilityEntryOpensItsWindow) {
    start();
    struct Case {
        std::vector<std::string> path;
        const char* window;
    };
    const Case cases[] = {
        {{"Databases", "Pick Lists", "Payment Records", "Carrier"}, "Carrier_Pick_List"},
        {{"Databases", "Pick Lists", "Payment Records", "Category"}, "Category_Pick_List"},
        {{"Databases", "Pick Lists", "Payment Records", "Comments"}, "Comment_Pick_List"},
        {{"Databases", "Pick Lists", "Payment Records", "Contact Name"}, "Contact_Name_Pick_List"},
        {{"Databases", "Pick Lists", "Payment Records", "Item"}, "Item_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "City"}, "City"},
        {{"Databases", "Pick Lists", "Job Search", "Comments"}, "Comment_JS_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "Contact Name"}, "Contact_Name_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "Position Code"}, "Position_Code_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "Position Title"}, "Position_Title_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "Reason Not Submitted"}, "Reason_Pick_List"},
        {{"Databases", "Pick Lists", "Job Search", "Search Engines"}, "Search_Engines"},
        {{"Utilities", "Create Databases"}, "Create_Tables"},
        {{"Utilities", "Configuration"}, "Configuration"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        QAction* a = by_captions(*main().MainMenu1, c.path);
        ASSERT_NE(a, nullptr);
        ASSERT_TRUE(a->isEnabled());
        std::string opened;
        QWidget* owner = nullptr;
        kit::queue_modal_hook([&](QDialog& w) {
            opened = w.objectName().toStdString();
            owner = w.parentWidget();
            click(w, w.findChild<QWidget*>("btn_exit") ? "btn_exit" : "Exit");
        });
        a->trigger();
        EXPECT_EQ(opened, c.window);
        EXPECT_EQ(owner, &main());
    }
    // Destroyed on close: nothing of them is left under the main window.
    EXPECT_TRUE(main().findChildren<QDialog*>().isEmpty());
}

TEST_F(AppTest, LaterWindowsAreListedDisabledAndSayTheyAreNotThereYet) {
    start();
    const std::vector<std::vector<std::string>> later = {
        {"Databases", "Payment Records", "Maintain Payment Records"},
        {"Databases", "Job Search Records", "Maintain Job Search Records"},
        {"Databases", "Pick Lists", "Job Search", "Disqualified Job Titles"},
        {"Databases", "Pick Lists", "Job Search", "Disqualified States"},
        {"Databases", "Pick Lists", "Job Search", "Job Title Edits"},
        {"Reports", "Payments"},
    };
    for (const auto& path : later) {
        SCOPED_TRACE(path.back());
        QAction* a = by_captions(*main().MainMenu1, path);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->isEnabled());
        // Should an entry be reached all the same, it only says so.
        prompts.boxes.clear();
        prompts.answers = {Answer::kNo, Answer::kNo};
        a->setEnabled(true);
        a->trigger();
        EXPECT_TRUE(std::any_of(prompts.boxes.begin(), prompts.boxes.end(), [](const SeenBox& b) {
            return b.text.find("not available") != std::string::npos;
        }));
        prompts.answers.clear();
    }
    // The bar has its four items in order.
    QStringList top;
    for (QAction* a : main().MainMenu1->actions()) top << a->text();
    EXPECT_EQ(top, (QStringList{"Exit", "Databases", "Reports", "Utilities"}));
}

TEST_F(AppTest, ExitAsksAndEndsOnlyOnYes) {
    start();
    QSignalSpy ended(&main(), &shell::MainScreen::termination_requested);
    prompts.answers = {Answer::kNo};
    main().item("Exit1")->trigger();
    EXPECT_EQ(ended.count(), 0);
    prompts.answers = {Answer::kYes};
    main().item("Exit1")->trigger();
    EXPECT_EQ(ended.count(), 1);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].caption, "PROGRAM TERMINATION REQUESTED");
    EXPECT_EQ(prompts.boxes[0].text, "Do you really want to exit??\n");
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNo);
}

// A second table set to switch to.
std::string make_other_set(const char* name) {
    const std::string logical = std::string("c:\\mydata\\") + name;
    const fs::path dir = DriveMap::current().to_host(logical);
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(live_dir()))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());
    return logical;
}

TEST_F(AppTest, ChangeDatabasesCancelledOrRefusedLeavesTheAlias) {
    start();
    const std::string before = alias_path();
    QSignalSpy ended(&main(), &shell::MainScreen::termination_requested);

    main().Label1->setText("stale");
    prompts.folders = {std::nullopt};
    main().item("ChangeDatabases1")->trigger();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(main().Label1->text().toStdString(), to_lower("path=" + before)) << "refreshed";

    fs::create_directories(DriveMap::current().to_host("c:\\mydata\\empty"));
    prompts.folders = {"c:\\mydata\\empty"};
    main().item("ChangeDatabases1")->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "DIRECTORY CHANGE REQUEST");
    EXPECT_EQ(prompts.boxes[0].text, shell::kNotValidDirText);
    EXPECT_EQ(alias_path(), before);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_EQ(prompts.folder_titles,
              (std::vector<std::string>{"Choose the folder:", "Choose the folder:"}));
}

TEST_F(AppTest, ChangeDatabasesAcceptedRewritesTheAliasAndTheNextStartShowsIt) {
    start();
    const std::string other = make_other_set("Other");
    QSignalSpy ended(&main(), &shell::MainScreen::termination_requested);
    // The file is found whatever case the folder dialog hands back.
    prompts.folders = {to_upper(other)};
    prompts.answers = {Answer::kOk};
    main().item("ChangeDatabases1")->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, shell::kRestartText);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(to_lower(alias_path()), to_lower(other));

    program_.reset();
    AliasConfig::reset_current();
    shell::Program next;
    ASSERT_EQ(next.start(), 0) << (prompts.boxes.empty() ? "" : prompts.boxes.back().text);
    EXPECT_EQ(next.main_screen()->Label1->text().toStdString(), to_lower("path=" + other));
}

TEST_F(AppTest, ChangeDatabasesThatCannotBeSavedKeepsTheOldAlias) {
    start();
    const std::string before = alias_path();
    const std::string other = make_other_set("Other2");
    FaultyFileSystem faulty;
    faulty.fail_rename_call = 0;
    QSignalSpy ended(&main(), &shell::MainScreen::termination_requested);
    prompts.folders = {other};
    {
        ScopedFileSystem scope(&faulty);
        main().item("ChangeDatabases1")->trigger();
    }
    EXPECT_TRUE(prompts.boxes.empty()) << "a refused change is silent";
    EXPECT_EQ(ended.count(), 0);
    EXPECT_EQ(alias_path(), before) << "the alias on disk is whole";
    EXPECT_EQ(AliasConfig::current().path("PAVODEN2"), before);
    // The program can still start on it.
    program_.reset();
    shell::Program next;
    EXPECT_EQ(next.start(), 0);
}

class Bracketed : public kit::KitWindow {
  public:
    explicit Bracketed(QWidget* owner)
        : KitWindow(owner, "Ostrand_Records", "Payments", {300, 200}) {}
};

void set_auto_zip(bool on) {
    tables::Table& t = store::DataModule::instance()->table_config;
    t.edit();
    t.field("AUTO_ZIP").set_as_boolean(on);
    t.post();
}

TEST_F(AppTest, BackupPromptsAroundTheMaintenanceWindowsFollowAutoZip) {
    shell::register_window("TOstrand_Records",
                           [](QWidget* owner) { return std::make_unique<Bracketed>(owner); });
    int zips = 0;
    start();
    // In place of the real backup, which has tests of its own.
    shell::register_command("ZIPDatabases1", [&](shell::MainScreen&) { ++zips; });
    ASSERT_TRUE(main().item("MaintainPaymentRecords1")->isEnabled());
    auto open_payments = [&] {
        kit::queue_modal_hook([](QDialog& w) { static_cast<kit::KitWindow&>(w).close_window(); });
        main().item("MaintainPaymentRecords1")->trigger();
    };

    struct Case {
        bool auto_zip;
        std::vector<Answer> answers;
        int prompts;
        int zips;
    };
    const Case cases[] = {
        {true, {Answer::kYes, Answer::kYes}, 2, 2},
        {true, {Answer::kNo, Answer::kYes}, 2, 1},
        {true, {Answer::kYes, Answer::kNo}, 2, 1},
        {false, {}, 0, 0},
    };
    for (const Case& c : cases) {
        set_auto_zip(c.auto_zip);
        prompts.boxes.clear();
        prompts.answers.assign(c.answers.begin(), c.answers.end());
        zips = 0;
        open_payments();
        ASSERT_EQ(static_cast<int>(prompts.boxes.size()), c.prompts);
        EXPECT_EQ(zips, c.zips);
        if (c.prompts == 2) {
            EXPECT_EQ(prompts.boxes[0].text, shell::kAutoZipBeforeText);
            EXPECT_EQ(prompts.boxes[1].text, shell::kAutoZipAfterText);
            EXPECT_EQ(prompts.boxes[0].caption, "MESSAGE");
        }
    }
    shell::register_window("TOstrand_Records", {});
}

}  // namespace
}  // namespace pavo::app::testing
