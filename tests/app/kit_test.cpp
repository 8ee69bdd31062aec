// The window kit on its own tables: bound controls following and writing the row, the virtual
// grid over 65,000 rows, the lookup list refreshing from its pick table, the progress status bar,
// and what a screen reader sees.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QFileDialog>
#include <QScrollBar>
#include <QTest>
#include <filesystem>

#include "app/kit/db_controls.h"
#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "app/kit/widgets.h"
#include "app_fixture.h"
#include "platform/error.h"

namespace pavo::app::testing {
namespace {

namespace fs = std::filesystem;

using tables::FieldDef;
using tables::FieldType;

class KitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        make_directories("c:\\kit");
        kit::set_prompter(&prompts);
    }
    void TearDown() override {
        kit::set_prompter(nullptr);
        EXPECT_EQ(prompts.unscripted, 0);
    }
    pavo::testing::TempHome home;
    ScriptedPrompter prompts;
};

TEST_F(KitTest, BoundControlsFollowTheRowAndWriteOnlyWhileEditing) {
    auto table = kit_table("people.db", {{"NAME", FieldType::kString, 10, false},
                                         {"NOTE", FieldType::kMemo, 0, false},
                                         {"ACTIVE", FieldType::kBoolean, 0, false},
                                         {"BORN", FieldType::kDate, 0, false},
                                         {"STATE", FieldType::kString, 2, false}});
    for (const char* n : {"ADA", "BOB"}) {
        table->append();
        table->field("NAME").set_as_string(n);
        table->field("ACTIVE").set_as_boolean(n[0] == 'A');
        table->field("BORN").set_as_date(40000 + n[0]);
        table->field("STATE").set_as_string("CO");
        table->post();
    }
    QWidget form;
    kit::DataSource ds(table.get(), nullptr, "ds");
    kit::DBEdit name(&form, "fld_name");
    name.set_upper_case(true);
    name.bind(&ds, "NAME");
    kit::DBMemo note(&form, "fld_note");
    note.bind(&ds, "NOTE");
    kit::DBCheck active(&form, "fld_active", "Active");
    active.bind(&ds, "ACTIVE");
    kit::DBDatePicker born(&form, "fld_born");
    born.bind(&ds, "BORN");
    kit::DBComboFixed state(&form, "fld_state", {"CO", "WY"});
    state.bind(&ds, "STATE");
    form.show();

    table->first();
    EXPECT_EQ(name.text(), "ADA");
    EXPECT_TRUE(active.isChecked());
    EXPECT_EQ(kit::DBDatePicker::from_qdate(born.date()), 40000 + 'A');
    table->next();
    EXPECT_EQ(name.text(), "BOB") << "the controls follow a scroll";
    EXPECT_FALSE(active.isChecked());
    EXPECT_EQ(name.maxLength(), 10) << "the field's size limits typing";

    // Browsing: typing is not accepted into the row.
    EXPECT_TRUE(name.isReadOnly());
    table->edit();
    EXPECT_FALSE(name.isReadOnly());
    name.selectAll();
    QTest::keyClicks(&name, "carl");
    EXPECT_EQ(name.text(), "CARL");
    EXPECT_EQ(table->field("NAME").as_string(), "CARL");
    note.setPlainText("a line\nanother");
    active.click();
    state.setCurrentIndex(1);
    emit state.activated(1);
    born.setDate(QDate(2001, 2, 3));
    emit born.userDateChanged(born.date());
    table->post();
    EXPECT_EQ(table->field("NOTE").as_string(), "a line\nanother");
    EXPECT_TRUE(table->field("ACTIVE").as_boolean());
    EXPECT_EQ(table->field("STATE").as_string(), "WY");
    EXPECT_EQ(table->field("BORN").as_date(), kit::DBDatePicker::from_qdate(QDate(2001, 2, 3)));

    // A cancelled edit shows the stored text again.
    table->edit();
    name.selectAll();
    QTest::keyClicks(&name, "X");
    table->cancel();
    EXPECT_EQ(name.text(), "CARL");
}

TEST_F(KitTest, LookupListOffersThePickTableAsItNowStands) {
    auto picks = kit_table("cities.db", {{"CITY", FieldType::kString, 20, true}});
    auto records = kit_table("recs.db", {{"ID", FieldType::kString, 4, true},
                                         {"POS_CITY", FieldType::kString, 20, false}});
    for (const char* c : {"AURORA", "DENVER"}) {
        picks->append();
        picks->field("CITY").set_as_string(c);
        picks->post();
    }
    records->append();
    records->field("ID").set_as_string("1");
    records->field("POS_CITY").set_as_string("DENVER");
    records->post();
    QWidget form;
    kit::DataSource list(picks.get(), nullptr, "ds_city");
    kit::DataSource rec(records.get(), nullptr, "ds_rec");
    kit::DBLookupCombo city(&form, "fld_city");
    city.bind(&rec, "POS_CITY");
    city.set_list_source(&list, "CITY", "CITY");
    EXPECT_EQ(city.count(), 2);
    EXPECT_EQ(city.currentText(), "DENVER");

    picks->append();
    picks->field("CITY").set_as_string("BOULDER");
    picks->post();
    EXPECT_EQ(city.count(), 3) << "a row added to the pick table is offered";
    records->edit();
    const int boulder = city.findText("BOULDER");
    ASSERT_GE(boulder, 0);
    city.setCurrentIndex(boulder);
    emit city.activated(boulder);
    records->post();
    EXPECT_EQ(records->field("POS_CITY").as_string(), "BOULDER");
}

TEST_F(KitTest, GridReadsOnlyTheRowsItShowsOf65000) {
    auto big = kit_table(
        "big.db", {{"KEY", FieldType::kString, 8, true}, {"TEXT", FieldType::kString, 20, false}});
    {
        tables::CommandScope scope;
        for (int i = 0; i < 65000; ++i) {
            big->append();
            char key[9];
            std::snprintf(key, sizeof key, "%08d", i);
            big->field("KEY").set_as_string(key);
            big->field("TEXT").set_as_string("row " + std::to_string(i));
            big->post();
        }
    }
    big->refresh();
    kit::DataSource ds(big.get(), nullptr, "ds");
    QWidget form;
    form.resize(600, 400);
    kit::DBGrid grid(&form, "DBGrid1", &ds);
    kit::GridColumn key;
    key.field = "KEY";
    key.title = "Key";
    key.width = 90;
    key.read_only = true;
    kit::GridColumn text;
    text.field = "TEXT";
    text.colour = QColor(255, 255, 200);
    text.pick_list = {"one", "two"};
    grid.set_columns({key, text});
    grid.setGeometry(0, 0, 600, 400);
    form.show();
    kit::DatasetModel* m = grid.dataset_model();
    EXPECT_EQ(m->rowCount(), 65000);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Key");
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "TEXT");
    EXPECT_EQ(grid.columnWidth(0), 90);
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m->flags(m->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(m->data(m->index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 200));

    m->reset_row_reads();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    (void)grid.grab();
    EXPECT_GT(m->row_reads(), 0);
    EXPECT_LT(m->row_reads(), 2000) << "the view must not read every row";
    EXPECT_EQ(m->cell_text(64999, 1), "row 64999");

    // Choosing a row in the grid moves the dataset; moving the dataset moves the grid.
    grid.setCurrentIndex(m->index(64990, 0));
    EXPECT_EQ(big->record_number(), 64991);
    big->first();
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST_F(KitTest, ProgressStatusBarPaintsEachStep) {
    QWidget w;
    kit::ProgressStatusBar bar(&w, "StatusBar1");
    w.show();
    for (int i = 1; i <= 3; ++i) bar.show_progress(i, 3);
    EXPECT_EQ(bar.text(), "3 of 3");
    EXPECT_EQ(bar.repaints(), 3);
    kit::CheckListBox list(&w, "CheckListBox1");
    list.set_items({"AL", "AK", "AZ"});
    list.set_checked(1, true);
    EXPECT_EQ(list.checked_items(), std::vector<std::string>{"AK"});
}

TEST_F(KitTest, OpenFileDialogStartsInTheMappedFolderWithMaskAndExtension) {
    make_directories("c:\\MyData\\KV-DB\\PAVODEN2\\zip\\databases");
    QFileDialog dialog;
    kit::prepare_open_dialog(
        dialog, {nullptr, "c:\\mydata\\kv-db\\pavoden2\\zip\\databases", "*.zip", "*.zip"});
    const fs::path expected =
        home.drive_c() / "MyData" / "KV-DB" / "PAVODEN2" / "zip" / "databases";
    EXPECT_EQ(fs::path(dialog.directory().absolutePath().toStdString()), expected)
        << "the folder is found whatever its case";
    EXPECT_EQ(dialog.defaultSuffix(), "zip");
    EXPECT_TRUE(dialog.nameFilters().contains("*.zip"));
}

TEST_F(KitTest, KeysOpenListsFromFields) {
    QWidget form;
    QLineEdit f2_only(&form);
    QLineEdit any_key(&form);
    int f2_opens = 0;
    int any_opens = 0;
    kit::open_on_key(&f2_only, Qt::Key_F2, [&] { ++f2_opens; });
    kit::open_on_key(&any_key, 0, [&] { ++any_opens; });
    form.show();
    struct Press {
        Qt::Key key;
        int f2;
        int any;
    };
    const Press presses[] = {{Qt::Key_A, 0, 1}, {Qt::Key_F2, 1, 2}, {Qt::Key_F3, 1, 3}};
    for (const Press& p : presses) {
        QTest::keyClick(&f2_only, p.key);
        QTest::keyClick(&any_key, p.key);
        EXPECT_EQ(f2_opens, p.f2);
        EXPECT_EQ(any_opens, p.any);
    }
    EXPECT_EQ(f2_only.text(), "a") << "other keys still type";
    EXPECT_TRUE(any_key.text().isEmpty()) << "the opening key is consumed";
    // A failure while opening is shown, not thrown through the event loop.
    kit::open_on_key(&f2_only, Qt::Key_F4, [] { throw Error(ErrorKind::kNotFound, "gone"); });
    QTest::keyClick(&f2_only, Qt::Key_F4);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "gone");
}

// A maintenance window over a small table, for what the accessibility layer reports.
class Window : public kit::MaintenanceWindow {
  public:
    Window(kit::DataSource* ds)
        : MaintenanceWindow(nullptr, "Sample", "Sample Caption", {600, 340}) {
        set_data_source(ds);
        grid = new kit::DBGrid(this, "DBGrid1", ds);
        grid->setGeometry(176, 0, 420, 200);
        edit = new kit::DBEdit(this, "fld_city");
        edit->bind(ds, "CITY");
        kit::caption_for(this, edit, "Label1", "CITY", 180, 210);
        edit->setGeometry(180, 230, 200, 22);
    }
    kit::DBGrid* grid;
    kit::DBEdit* edit;
};

TEST_F(KitTest, ScreenReaderSeesCaptionsButtonsFieldsAndCells) {
    auto picks = kit_table("cities.db", {{"CITY", FieldType::kString, 20, true}});
    picks->append();
    picks->field("CITY").set_as_string("AURORA");
    picks->post();
    kit::DataSource ds(picks.get(), nullptr, "ds");
    Window w(&ds);
    w.show();
    auto name_of = [](QObject* o) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(o);
        return i ? i->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(name_of(&w), "Sample Caption");
    EXPECT_EQ(name_of(w.btn_save), "Save");
    EXPECT_EQ(name_of(w.edit), "CITY") << "entry fields are named by their caption";
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.grid);
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(grid->tableInterface(), nullptr);
    EXPECT_EQ(grid->tableInterface()->rowCount(), 1);
    QAccessibleInterface* cell = grid->tableInterface()->cellAt(0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "AURORA");
    EXPECT_EQ(w.Panel1->colour(), QColor(0, 255, 0));
    // Buttons by mode, through the pattern's own routines.
    EXPECT_FALSE(w.btn_save->isEnabled());
    w.btn_editClick();
    EXPECT_TRUE(w.btn_save->isEnabled());
    EXPECT_FALSE(w.btn_exit->isEnabled());
    w.btn_cancelClick();
    w.btn_exitClick();
}

}  // namespace
}  // namespace pavo::app::testing
