// The migration window, headless: its refusals, a run of the real pavoden2-migrate as a child
// with its lines in the memo, a damaged old table, Browse, Save Report and the menu entry.
#include "app/datastore/migrate_tables.h"

#include <QMenu>
#include <QMenuBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "platform/drive_map.h"
#include "store/schema.h"
#include "support/old_tables.h"

namespace pavo::app::testing {
namespace {

namespace fs = std::filesystem;

class MigrateWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ::setenv("PAVODEN2_MIGRATE", PAVO_BINARY_DIR "/records/pavoden2-migrate", 1);
        old_ = home.path() / "old";
        fs::create_directories(old_);
        auto city = pavo::test::spec_for(*store::find_table_schema("CITY.db"));
        city.rows = {{pavo::test::Cell::str("DENVER")}, {pavo::test::Cell::str("DENVER")}};
        pavo::test::write_old_table(old_, "CITY", city);
    }
    void TearDown() override {
        ::unsetenv("PAVODEN2_MIGRATE");
        AppTest::TearDown();
    }
    static QStringList lines(datastore::TMigrate_Tables& w) {
        return w.Memo1->toPlainText().split('\n');
    }
    fs::path old_;
};

TEST_F(MigrateWindowTest, RefusalsThenARunWithItsProgressAndReport) {
    start();
    datastore::TMigrate_Tables w(&main());
    w.show();
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);
    EXPECT_EQ(w.cmb_codepage->count(), 4);
    EXPECT_EQ(w.cmb_codepage->itemText(0), "From the tables");

    struct Refusal {
        const char* folder;
        const char* name;
        const char* text;
    };
    const Refusal refusals[] = {
        {"", "SET1", "You must tell me the folder of the old tables"},
        {"z:\\tmp", "", "You must tell me the directory where to create the tables"},
        {"z:\\tmp", "A.B", "You may not specify an extention"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.text);
        w.fld_old_folder->setText(r.folder);
        w.fld_directory->setText(r.name);
        prompts.boxes.clear();
        click(w, "btn_migrate");
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, r.text);
    }

    prompts.boxes.clear();
    prompts.folders = {DriveMap::current().to_logical(old_)};
    click(w, "btn_browse");
    EXPECT_EQ(w.fld_old_folder->text().toStdString(), DriveMap::current().to_logical(old_));
    w.fld_directory->setText("MIGR1");
    click(w, "btn_migrate");
    EXPECT_TRUE(prompts.boxes.empty());
    QStringList got = lines(w);
    EXPECT_TRUE(got.contains("Reading CITY.DB")) << w.Memo1->toPlainText().toStdString();
    EXPECT_TRUE(got.contains("  refused row 2 (key DENVER): key_violation"));
    EXPECT_TRUE(got.back().contains("Change Databases"));
    const fs::path set = DriveMap::current().to_host("c:\\mydata\\KV-DB\\PAVODEN2\\DB\\MIGR1");
    EXPECT_TRUE(fs::exists(set / "city.db"));
    EXPECT_TRUE(fs::exists(set / "migration" / "report.txt"));

    click(w, "btn_save_report");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    const std::string saved = prompts.boxes[0].text.substr(std::string("Report saved to ").size());
    std::ifstream in(DriveMap::current().to_host(saved));
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, got.front().toStdString());

    // The same name again: the child refuses the existing folder and nothing changes.
    click(w, "btn_migrate");
    got = lines(w);
    EXPECT_TRUE(got.back() == "Nothing was made.") << w.Memo1->toPlainText().toStdString();
    EXPECT_TRUE(w.btn_migrate->isEnabled());
    click(w, "Exit");
}

TEST_F(MigrateWindowTest, ADamagedOldTableIsReportedAndTheProgramGoesOn) {
    start();
    std::ofstream(old_ / "JS_EDIT.DB") << "not a table at all, just some text";
    datastore::TMigrate_Tables w(&main());
    w.show();
    w.fld_old_folder->setText(QString::fromStdString(DriveMap::current().to_logical(old_)));
    w.fld_directory->setText("BROKEN");
    w.cmb_codepage->setCurrentText("437");
    click(w, "btn_migrate");
    const QString text = w.Memo1->toPlainText();
    EXPECT_TRUE(text.contains("not_paradox")) << text.toStdString();
    EXPECT_TRUE(text.contains("Nothing was made.")) << text.toStdString();
    EXPECT_FALSE(
        fs::exists(DriveMap::current().to_host("c:\\mydata\\KV-DB\\PAVODEN2\\DB\\BROKEN")));
    click(w, "Exit");
}

TEST_F(MigrateWindowTest, TheMenuEntryFollowsTableConversionAndOpensTheWindow) {
    start();
    QAction* entry = main().item("MigrateOldTables1");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_EQ(entry->text(), "Migrate Old Tables");
    QMenu* utilities = main().MainMenu1->findChild<QMenu*>("Utilities1");
    ASSERT_NE(utilities, nullptr);
    const auto actions = utilities->actions();
    const auto at = actions.indexOf(entry);
    ASSERT_GT(at, 0);
    EXPECT_EQ(actions[at - 1]->objectName(), "TableConversion1");
    std::string opened;
    kit::queue_modal_hook([&](QDialog& w) {
        opened = w.objectName().toStdString();
        click(w, "Exit");
    });
    entry->trigger();
    EXPECT_EQ(opened, "Migrate_Tables");
}

}  // namespace
}  // namespace pavo::app::testing
