// The configuration window: its modes, Cancel restoring the stored row, Save, the folder dialog
// behind the start-folder field, and AUTO_ZIP feeding the backup prompts.
#include "app/shell/configuration.h"

#include <QTest>

#include "app/shell/window_registry.h"
#include "app_fixture.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using kit::Answer;

class ConfigurationTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
    }
    std::string stored(const char* field) {
        tables::Table& t = store::DataModule::instance()->table_config;
        t.close();
        t.open();
        tables::Field f = t.field(field);
        return f.type() == tables::FieldType::kBoolean ? (f.as_boolean() ? "True" : "False")
                                                       : f.as_string();
    }
};

TEST_F(ConfigurationTest, ModesEnableTheRightControls) {
    shell::TConfiguration w(&main());
    w.show();
    EXPECT_EQ(w.size(), QSize(753, 353));
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);
    const char* fields[] = {"fld_my_name",           "fld_my_address",     "fld_my_city",
                            "fld_my_state",          "fld_my_zip",         "fld_ex_spouse_name",
                            "fld_ex_spouse_address", "fld_ex_spouse_city", "fld_ex_spouse_state",
                            "fld_ex_spouse_zip",     "fld_ex_spouse_ssan", "fld_file_browse_start",
                            "fld_auto_zip",          "fld_sidebar_color"};
    struct Mode {
        bool edit;
        std::map<std::string, bool> buttons;
    };
    const Mode modes[] = {
        {false,
         {{"btn_add", false},
          {"btn_edit", true},
          {"btn_delete", false},
          {"btn_save", false},
          {"btn_cancel", false},
          {"btn_exit", true}}},
        {true,
         {{"btn_add", false},
          {"btn_edit", false},
          {"btn_delete", false},
          {"btn_save", true},
          {"btn_cancel", true},
          {"btn_exit", false}}},
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.edit ? "edit" : "normal");
        if (m.edit) click(w, "btn_edit");
        for (const auto& [name, on] : m.buttons) EXPECT_EQ(enabled(w, name.c_str()), on) << name;
        for (const char* f : fields) EXPECT_EQ(enabled(w, f), m.edit) << f;
        EXPECT_EQ(w.Label15->isVisible(), m.edit);
    }
    EXPECT_FALSE(w.fld_sidebar_color->isVisible());
    EXPECT_EQ(w.fld_my_state->count(), static_cast<int>(shell::state_codes().size()));
    EXPECT_EQ(w.fld_my_state->itemText(0), "AL");
    click(w, "btn_cancel");
}

TEST_F(ConfigurationTest, CancelRestoresAndSaveStores) {
    const std::string name = stored("MY_NAME");
    shell::TConfiguration w(&main());
    w.show();
    EXPECT_EQ(w.fld_my_name->text().toStdString(), name);
    click(w, "btn_edit");
    w.fld_my_name->setFocus();
    w.fld_my_name->selectAll();
    QTest::keyClicks(w.fld_my_name, "JANE ROE");
    EXPECT_EQ(w.fld_my_name->text(), "JANE ROE");
    click(w, "btn_cancel");
    EXPECT_EQ(w.fld_my_name->text().toStdString(), name) << "the stored value shows again";
    EXPECT_EQ(stored("MY_NAME"), name);

    click(w, "btn_edit");
    w.fld_my_name->selectAll();
    QTest::keyClicks(w.fld_my_name, "JANE ROE");
    w.fld_my_state->setCurrentIndex(w.fld_my_state->findText("WY"));
    emit w.fld_my_state->activated(w.fld_my_state->currentIndex());
    click(w, "btn_save");
    EXPECT_EQ(stored("MY_NAME"), "JANE ROE");
    EXPECT_EQ(stored("MY_STATE"), "WY");
    EXPECT_FALSE(enabled(w, "btn_save"));
}

TEST_F(ConfigurationTest, AnyKeyInTheStartFolderOpensTheFolderDialog) {
    shell::TConfiguration w(&main());
    w.show();
    click(w, "btn_edit");
    const QString before = w.fld_file_browse_start->text();
    prompts.folders = {std::nullopt, "c:\\mydata\\mail"};
    QTest::keyClick(w.fld_file_browse_start, Qt::Key_X);
    EXPECT_EQ(w.fld_file_browse_start->text(), before) << "cancelled: nothing changes, no x typed";
    QTest::keyClick(w.fld_file_browse_start, Qt::Key_F2);
    EXPECT_EQ(w.fld_file_browse_start->text(), "c:\\mydata\\mail");
    EXPECT_EQ(prompts.folder_titles,
              (std::vector<std::string>{"Choose the folder:", "Choose the folder:"}));
    click(w, "btn_save");
    EXPECT_EQ(stored("BROWSE_START_HERE"), "c:\\mydata\\mail");
}

TEST_F(ConfigurationTest, SidePanelsStayLimeWhateverColourIsStored) {
    tables::Table& t = store::DataModule::instance()->table_config;
    t.edit();
    t.field("SIDE_BAR_COLOR").set_as_string("clRed");
    t.post();
    shell::TConfiguration w(&main());
    w.show();
    EXPECT_EQ(w.fld_sidebar_color->text(), "clRed");
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);
}

TEST_F(ConfigurationTest, AutoZipFalseSavedHereSilencesTheBackupPrompts) {
    class Payments : public kit::KitWindow {
      public:
        explicit Payments(QWidget* o) : KitWindow(o, "Ostrand_Records", "Payments", {200, 100}) {}
    };
    shell::register_window("TOstrand_Records",
                           [](QWidget* o) { return std::make_unique<Payments>(o); });
    main().refresh_menu();
    ASSERT_EQ(stored("AUTO_ZIP"), "True");
    kit::queue_modal_hook([&](QDialog& d) {
        auto& w = static_cast<shell::TConfiguration&>(d);
        click(w, "btn_edit");
        w.fld_auto_zip->setCurrentIndex(w.fld_auto_zip->findText("False"));
        emit w.fld_auto_zip->activated(w.fld_auto_zip->currentIndex());
        click(w, "btn_save");
        click(w, "btn_exit");
    });
    main().item("Configuration1")->trigger();
    EXPECT_EQ(stored("AUTO_ZIP"), "False");
    kit::queue_modal_hook([](QDialog& d) { static_cast<kit::KitWindow&>(d).close_window(); });
    main().item("MaintainPaymentRecords1")->trigger();
    EXPECT_TRUE(prompts.boxes.empty());
    shell::register_window("TOstrand_Records", {});
}

}  // namespace
}  // namespace pavo::app::testing
