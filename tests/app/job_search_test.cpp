// The job-search window: controls and modes, Save's keys and its refusals, Followup, the related
// records update, the sort order, the item-file dialog, the pick-list keys and quick find.
#include "app/jobsearch/job_search.h"

#include <QTest>

#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using jobsearch::TJob_Search;
using tables::DatasetState;

class JobSearchWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        tables::CommandScope scope;
        // Three records of application 1 (ACTIVE), one of application 4 without REFNUM.
        add("3/1/2004", "20040301", "1", "DENVER", "True");
        add("3/2/2004", "20040302", "1", "BOULDER", "True");
        add("3/3/2004", "20040303", "1", "AURORA", "True");
        add("3/4/2004", "20040304", "", "PHOENIX", "False");
        scope.commit();
    }
    static tables::Table& jobs() { return store::DataModule::instance()->table_jsearch2; }
    static void add(const char* date, const char* ymd, const char* refnum, const char* city,
                    const char* active) {
        tables::Table& t = jobs();
        t.append();
        t.field("DATE").set_as_string(date);
        t.field("YYYYMMDD").set_as_string(ymd);
        t.field("REFNUM").set_as_string(refnum);
        t.field("TIME").set_as_string("10:20");
        t.field("CONTACT_NAME").set_as_string("R. LEE");
        t.field("POS_TYPE").set_as_string("FT");
        t.field("POS_CITY").set_as_string(city);
        t.field("POS_STATE").set_as_string("CO");
        t.field("POS_TITLE").set_as_string(std::string("ENGINEER IN ") + city);
        t.field("EMAIL").set_as_string("True");
        t.field("SUBMITTED").set_as_string("False");
        t.field("ACTIVE").set_as_string(active);
        t.field("MEMO").set_as_string("old notes");
        t.field("COMMENT").set_as_string("PHONE SCREEN");
        t.field("ITEM_FILE").set_as_string("\\jobs\\lee.txt");
        t.post();
    }
    static bool go(const char* city) { return jobs().locate("POS_CITY", {city}); }
    static std::string text(const char* field) { return jobs().field(field).as_string(); }
    std::vector<std::string> messages(TJob_Search& w) {
        std::vector<std::string> m;
        for (int i = 0; i < w.listbox_errors->count(); ++i)
            m.push_back(w.listbox_errors->item(i)->text().toStdString());
        return m;
    }
    static void fill_new(const char* city) {
        tables::Table& t = jobs();
        t.field("TIME").set_as_string("08:00");
        t.field("CONTACT_NAME").set_as_string("A. BOOTH");
        t.field("POS_TYPE").set_as_string("CT");
        t.field("POS_CITY").set_as_string(city);
        t.field("POS_STATE").set_as_string("AZ");
    }
    clock::ScopedFixedTime now_{{2004, 6, 14, 9, 30, 0}};
};

TEST_F(JobSearchWindowTest, ControlsAndModes) {
    TJob_Search w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Job_Search");
    std::vector<std::string> items;
    for (int i = 0; i < w.ComboBox1->count(); ++i)
        items.push_back(w.ComboBox1->itemText(i).toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"CONTACT_NAME_", "POS_STATE_", "POS_STATE_CITY_",
                                               "YYYYMMDD_TIME_DESCENDING",
                                               "YYYYMMDD_TIME_ASCENDING", "POS_TYPE_POS_CITY"}));
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    QStringList titles;
    auto* model = w.DBGrid1->dataset_model();
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(titles, (QStringList{"REFNUM", "ACTIVE", "CHANGED", "DATE", "TIME", "TITLE",
                                   "CONTACT", "EMAIL", "TYPE", "CITY", "STATE"}));
    ASSERT_EQ(w.fld_state->count(), 62);
    EXPECT_EQ(w.fld_state->itemText(0), "--");
    EXPECT_EQ(w.fld_state->itemText(61), "AP");

    struct Mode {
        bool fields, grid, related_shown, picker_shown;
    };
    auto expect_mode = [&](const Mode& m) {
        for (QWidget* f : std::initializer_list<QWidget*>{w.fld_date, w.fld_time, w.fld_city,
                                                          w.fld_memo, w.fld_item_file})
            EXPECT_EQ(f->isEnabled(), m.fields) << f->objectName().toStdString();
        EXPECT_EQ(w.DBGrid1->isEnabled(), m.grid);
        EXPECT_EQ(w.ComboBox1->isEnabled(), m.grid);
        EXPECT_EQ(w.fld_find->isEnabled(), m.grid);
        EXPECT_EQ(w.fld_related->isVisible(), m.related_shown);
        EXPECT_EQ(w.fld_related->isEnabled(), m.related_shown);
        EXPECT_EQ(w.DateTimePicker_date->isVisible(), m.picker_shown);
        EXPECT_TRUE(enabled(w, "btn_followup"));
        EXPECT_TRUE(enabled(w, "btn_filter_records"));
        EXPECT_EQ(enabled(w, "btn_add"), !m.fields);
        EXPECT_EQ(enabled(w, "btn_next_record"), !m.fields);
        EXPECT_EQ(enabled(w, "btn_save"), m.fields);
    };
    expect_mode({false, true, false, false});
    click(w, "btn_add");
    expect_mode({true, false, true, true});
    EXPECT_EQ(w.DateTimePicker_date->geometry(), w.fld_date->geometry());
    EXPECT_EQ(w.DateTimePicker_date->short_date_text(), "6/14/2004");
    click(w, "btn_cancel");
    expect_mode({false, true, false, false});
    EXPECT_EQ(jobs().record_count(), 4);
    w.force_close();
}

TEST_F(JobSearchWindowTest, SaveKeysAndNewestFirst) {
    TJob_Search w(&main());
    w.show();
    // Sorted by state and city: the next Save goes back to newest first.
    w.ComboBox1->setCurrentIndex(2);
    w.ComboBox1Change(2);
    EXPECT_EQ(jobs().index_name(), "POS_STATE_CITY_");

    click(w, "btn_add");
    fill_new("TUCSON");
    w.DateTimePicker_date->set_from_text("6/20/2004");
    click(w, "btn_save");
    EXPECT_FALSE(w.in_edit_mode());
    EXPECT_EQ(jobs().index_name(), "YYYYMMDD_TIME_DESCENDING");
    EXPECT_EQ(w.ComboBox1->currentText(), "POS_STATE_CITY_");
    EXPECT_EQ(jobs().record_number(), 1);
    EXPECT_EQ(text("POS_CITY"), "TUCSON") << "the newest record is first and current";
    EXPECT_EQ(text("REFNUM"), text("PK"));
    EXPECT_EQ(text("YYYYMMDD"), "20040620");
    EXPECT_EQ(text("ACTIVE_CHANGED"), "");

    // Edit: the picker takes the stored date, even after showing another record's date.
    ASSERT_TRUE(go("BOULDER"));
    click(w, "btn_edit");
    EXPECT_EQ(w.DateTimePicker_date->short_date_text(), "3/2/2004");
    jobs().field("ACTIVE").set_as_string("False");
    click(w, "btn_save");
    ASSERT_TRUE(go("BOULDER"));
    EXPECT_EQ(text("ACTIVE_CHANGED"), "6/14/2004");
    EXPECT_EQ(text("REFNUM"), "1") << "a numbered record keeps its REFNUM";
    EXPECT_EQ(text("YYYYMMDD"), "20040302");
    w.force_close();
}

TEST_F(JobSearchWindowTest, MissingFieldsAndARefusedPostKeepEditMode) {
    TJob_Search w(&main());
    w.show();
    click(w, "btn_add");
    fill_new("TEMPE");
    jobs().field("CONTACT_NAME").clear();
    jobs().field("POS_TYPE").clear();
    click(w, "btn_save");
    EXPECT_EQ(messages(w), (std::vector<std::string>{"Not saved: these fields need a value:",
                                                     "  CONTACT NAME", "  POSITION TYPE"}));
    EXPECT_TRUE(w.in_edit_mode());
    EXPECT_TRUE(w.fld_city->isEnabled());
    EXPECT_EQ(jobs().state(), DatasetState::kInsert);
    EXPECT_EQ(text("POS_CITY"), "TEMPE");
    // Closed from the title bar and told to save: the same refusal keeps the window open.
    prompts.answers = {kit::Answer::kYes};
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(jobs().state(), DatasetState::kInsert);

    // The picker cleared: DATE is named too.
    jobs().field("CONTACT_NAME").set_as_string("X");
    jobs().field("POS_TYPE").set_as_string("FT");
    w.DateTimePicker_date->set_empty();
    click(w, "btn_save");
    EXPECT_EQ(messages(w),
              (std::vector<std::string>{"Not saved: these fields need a value:", "  DATE"}));
    EXPECT_TRUE(w.in_edit_mode());
    w.DateTimePicker_date->set_today();
    click(w, "btn_save");
    EXPECT_FALSE(w.in_edit_mode());
    EXPECT_EQ(jobs().record_count(), 5);
    w.force_close();
}

TEST_F(JobSearchWindowTest, FollowupTakesTheApplicationButNotItsStatusOrMemo) {
    TJob_Search w(&main());
    w.show();
    ASSERT_TRUE(go("AURORA"));
    click(w, "btn_followup");
    EXPECT_TRUE(w.in_edit_mode());
    EXPECT_EQ(jobs().state(), DatasetState::kInsert);
    EXPECT_EQ(text("REFNUM"), "1");
    EXPECT_EQ(text("POS_CITY"), "AURORA");
    EXPECT_EQ(text("TIME"), "10:20");
    EXPECT_EQ(text("COMMENT"), "PHONE SCREEN");
    EXPECT_EQ(text("EMAIL"), "True");
    EXPECT_EQ(text("ITEM_FILE"), "\\jobs\\lee.txt");
    EXPECT_EQ(text("DATE"), "6/14/2004");
    EXPECT_EQ(text("MEMO"), "");
    EXPECT_EQ(text("ACTIVE"), "");

    // Pressed again while the follow-up is pending: refused, nothing else happens.
    click(w, "btn_followup");
    EXPECT_EQ(messages(w), std::vector<std::string>{jobsearch::kFollowupWhileEditing});
    EXPECT_EQ(jobs().record_count(), 4);
    click(w, "btn_save");
    ASSERT_TRUE(jobs().locate("YYYYMMDD", {"20040614"}));
    EXPECT_EQ(text("REFNUM"), "1");
    EXPECT_EQ(text("POS_TITLE"), "ENGINEER IN AURORA");

    // A record without REFNUM: its follow-up belongs to it by its PK.
    ASSERT_TRUE(go("PHOENIX"));
    const std::string pk = text("PK");
    click(w, "btn_followup");
    EXPECT_EQ(text("REFNUM"), pk);
    click(w, "btn_cancel");
    w.force_close();
}

TEST_F(JobSearchWindowTest, RelatedRecordsOkAndCancel) {
    jobs().set_filter("POS_STATE = 'CO'");
    jobs().set_filtered(true);
    TJob_Search w(&main());
    w.show();
    ASSERT_TRUE(go("DENVER"));
    click(w, "btn_edit");
    jobs().field("ACTIVE").set_as_string("False");
    w.fld_related->setChecked(true);
    prompts.answers = {kit::Answer::kCancel};
    click(w, "btn_save");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "RELATED RECORDS WARNING");
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kOkCancel);
    EXPECT_EQ(prompts.boxes[0].text,
              "You have asked me to update related records to the status of False.\n"
              "If you answer \"OK\", it could take awhile to update, depending on the amount of\n"
              "data you have.  If you answer \"CANCEL\", the related records will not be "
              "changed\n");
    EXPECT_FALSE(w.fld_related->isChecked());
    ASSERT_TRUE(go("BOULDER"));
    EXPECT_EQ(text("ACTIVE"), "True") << "Cancel changes no other record";
    EXPECT_TRUE(jobs().filtered()) << "nor the filter";

    ASSERT_TRUE(go("DENVER"));
    click(w, "btn_edit");
    w.fld_related->setChecked(true);
    prompts.answers = {kit::Answer::kOk};
    click(w, "btn_save");
    for (const char* city : {"DENVER", "BOULDER", "AURORA"}) {
        SCOPED_TRACE(city);
        ASSERT_TRUE(go(city));
        EXPECT_EQ(text("ACTIVE"), "False");
        EXPECT_EQ(text("ACTIVE_CHANGED"), "6/14/2004");
    }
    ASSERT_TRUE(go("PHOENIX"));
    EXPECT_EQ(text("ACTIVE_CHANGED"), "");
    EXPECT_FALSE(jobs().filtered());
    EXPECT_EQ(jobs().filter(), "");
    EXPECT_EQ(jobs().record_count(), 4);
    EXPECT_EQ(jobs().index_name(), "YYYYMMDD_TIME_DESCENDING");
    EXPECT_EQ(messages(w), (std::vector<std::string>{"3 related records updated.",
                                                     "The record filter was removed."}));
    w.force_close();
}

TEST_F(JobSearchWindowTest, ItemFileDialogDropsTheDriveAndRefusesTooLongAPath) {
    TJob_Search w(&main());
    w.show();
    ASSERT_TRUE(go("DENVER"));
    click(w, "btn_edit");
    prompts.files = {std::string("c:\\letters\\acme.doc"), std::nullopt,
                     "c:\\" + std::string(300, 'd') + "\\x.txt"};
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);
    ASSERT_EQ(prompts.file_requests.size(), 1u);
    EXPECT_EQ(prompts.file_requests[0].file_name, "*.*");
    EXPECT_EQ(prompts.file_requests[0].default_extension, "*");
    EXPECT_EQ(text("ITEM_FILE"), "\\letters\\acme.doc");
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);  // cancelled: nothing changes
    EXPECT_EQ(text("ITEM_FILE"), "\\letters\\acme.doc");
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "MESSAGE");
    EXPECT_EQ(text("ITEM_FILE"), "\\letters\\acme.doc") << "the field keeps its text";
    EXPECT_EQ(w.fld_item_file->text(), "\\letters\\acme.doc");
    click(w, "btn_cancel");
    w.force_close();
}

TEST_F(JobSearchWindowTest, PickListKeys) {
    TJob_Search w(&main());
    w.show();
    click(w, "btn_edit");
    std::vector<std::string> opened;
    auto expect_open = [&] {
        kit::queue_modal_hook([&](QDialog& d) {
            opened.push_back(d.objectName().toStdString());
            click(d, "btn_exit");
        });
    };
    QTest::keyClick(w.fld_contact_name, Qt::Key_A);  // not F2: nothing opens
    expect_open();
    QTest::keyClick(w.fld_contact_name, Qt::Key_F2);
    expect_open();
    QTest::keyClick(w.fld_city, Qt::Key_B);
    expect_open();
    QTest::keyClick(w.fld_reason, Qt::Key_Down);
    expect_open();
    QTest::keyClick(w.fld_comment, Qt::Key_F5);
    expect_open();
    QTest::keyClick(w.fld_position_title, Qt::Key_Z);
    QTest::keyClick(w.fld_pos_type, Qt::Key_F2);  // no key opens anything here
    EXPECT_EQ(opened,
              (std::vector<std::string>{"Contact_Name_Pick_List", "City", "Reason_Pick_List",
                                        "Comment_JS_Pick_List", "Position_Title_Pick_List"}));
    click(w, "btn_cancel");
    w.force_close();
}

TEST_F(JobSearchWindowTest, QuickFind) {
    TJob_Search w(&main());
    w.show();
    jobs().first();  // newest first: PHOENIX, AURORA, BOULDER, DENVER
    w.fld_find->setText("engineer in b");
    QTest::keyClick(w.fld_find, Qt::Key_Return);
    EXPECT_EQ(text("POS_CITY"), "BOULDER");
    w.fld_find->setText("ENGINEER");
    QTest::keyClick(w.fld_find, Qt::Key_Return);
    EXPECT_EQ(text("POS_CITY"), "DENVER");
    QTest::keyClick(w.fld_find, Qt::Key_Return);
    EXPECT_EQ(text("POS_CITY"), "PHOENIX") << "past the last, from the first";
    QTest::keyClick(w.fld_find, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(text("POS_CITY"), "DENVER") << "Shift+Enter goes back";
    w.fld_find->setText("plumber");
    QTest::keyClick(w.fld_find, Qt::Key_Return);
    EXPECT_EQ(messages(w), std::vector<std::string>{"Not found"});
    EXPECT_EQ(text("POS_CITY"), "DENVER");
    w.force_close();
}

TEST_F(JobSearchWindowTest, MenuEntryOpensTheWindow) {
    QAction* a = main().findChild<QAction*>("MaintainJobSearchRecords1");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isEnabled());
    std::string opened;
    prompts.answers = {kit::Answer::kNo, kit::Answer::kNo};  // the backup offers, if any
    kit::queue_modal_hook([&](QDialog& d) {
        opened = d.objectName().toStdString();
        static_cast<kit::KitWindow&>(d).close_window();
    });
    a->trigger();
    EXPECT_EQ(opened, "Job_Search");
    prompts.answers.clear();
}

}  // namespace
}  // namespace pavo::app::testing
