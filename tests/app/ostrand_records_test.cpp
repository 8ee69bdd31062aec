// The payment window: controls and modes, Save's stored fields (dates, counts, key, amounts, the
// returned date), random edits against the count rule, a pending record across other windows and
// the close box, Edit's edge cases, F2 keys, the item-file dialog and the index list.
#include "app/payments/ostrand_records.h"

#include <QTest>
#include <random>
#include <set>

#include "app/kit/qt_text.h"
#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "store/data_module.h"
#include "store/sample_rows.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::app::testing {
namespace {

using payments::TOstrand_Records;

class PaymentWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
    }
    static tables::Table& pay() { return store::DataModule::instance()->table_pavoden; }
    static std::string field(const char* name) { return pay().field(name).as_string(); }
    // Adds a record through the window with the given picker dates (empty: no date) and amounts.
    static void add_through(TOstrand_Records& w, const std::vector<std::string>& dates,
                            const std::string& ss = "") {
        click(w, "btn_add");
        set_pickers(w, dates);
        w.fld_ss_amt->setText(kit::q(ss));
        click(w, "btn_save");
    }
    static std::vector<kit::FieldDatePicker*> pickers(TOstrand_Records& w) {
        return {w.DateTimePicker_item_date,      w.DateTimePicker_date_sent,
                w.DateTimePicker_date_available, w.DateTimePicker_date_2nd_try,
                w.DateTimePicker_date_3rd_try,   w.DateTimePicker_date_delivered,
                w.DateTimePicker_date_returned,  w.DateTimePicker_date_cleared};
    }
    static void set_pickers(TOstrand_Records& w, const std::vector<std::string>& dates) {
        auto p = pickers(w);
        for (std::size_t i = 0; i < dates.size(); ++i) {
            if (dates[i].empty())
                p[i]->set_empty();
            else
                p[i]->set_from_text(dates[i]);
        }
    }
    static bool edit_mode(TOstrand_Records& w) {
        return w.btn_save->isEnabled() && !w.btn_add->isEnabled();
    }
};

// The count rule every record saved through the window holds.
void expect_counts_follow_dates(tables::Table& t) {
    const struct {
        const char *count, *earlier, *later;
    } rules[] = {{"DAYS_SENT_TO_AVAIL", "DATE_SENT", "DATE_AVAIL"},
                 {"DAYS_AVAIL_TO_DEL", "DATE_AVAIL", "DATE_DEL"},
                 {"DAYS_SENT_TO_DEL", "DATE_SENT", "DATE_DEL"},
                 {"DAYS_DEL_TO_CLEAR", "DATE_DEL", "DATE_CLEAR"},
                 {"DAYS_SENT_TO_CLEAR", "DATE_SENT", "DATE_CLEAR"}};
    for (const auto& r : rules) {
        SCOPED_TRACE(r.count);
        const bool both = !t.field(r.earlier).is_null() && !t.field(r.later).is_null();
        const double expected =
            both ? t.field(r.later).as_date() - t.field(r.earlier).as_date() : -1;
        EXPECT_EQ(t.field(r.count).as_float(), expected);
    }
    EXPECT_EQ(t.field("YYYYMMDD").as_string(),
              tkit_Date_To_YYYYMMDD(t.field("ITEM_DATE").as_date()));
}

TEST_F(PaymentWindowTest, ControlsAndModes) {
    TOstrand_Records w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Ostrand_Records");
    EXPECT_EQ(w.size(), QSize(993, 690));
    EXPECT_TRUE(w.has_close_box());
    EXPECT_EQ(w.btn_exit, nullptr);
    EXPECT_EQ(child<QAbstractButton>(w, "Button2")->text(), "Filter Records");
    EXPECT_EQ(w.GroupBox2->title(), "> NAVIGATING RECORDS <");
    EXPECT_EQ(w.GroupBox3->title(), "> Change Index <");
    EXPECT_EQ(w.entry_controls().size(), 25u);
    // Captions are the fields' buddies, as a screen reader finds them.
    for (const char* caption :
         {"CATEGORY",      "ITEM DATE",      "CHECK NBR",     "DATE SENT",    "DATE AVAIL",
          "2ND TRY",       "3RD TRY",        "DATE DELVD",    "DATE RTND",    "DATE CLRD",
          "SENT TO AVAIL", "SENT TO DEL",    "AVAIL TO DEL",  "DEL TO CLEAR", "SENT TO CLRD",
          "RET PAY AMT",   "SPOU SPT AMT",   "CHILD SUP AMT", "OTHER AMT",    "ITEM",
          "CARRIER",       "CARRIER NUMBER", "ITEM FILE",     "COMMENT",      "MEMO"}) {
        bool found = false;
        for (QLabel* l : w.findChildren<QLabel*>())
            if (l->text().toStdString() == caption && l->buddy()) found = true;
        EXPECT_TRUE(found) << caption;
    }
    EXPECT_EQ(w.Label_current_filter->text(), "CURRENT FILTER:");
    EXPECT_EQ(w.cb_save_return_date->text(), "Save the returned date");
    // The index list names the indexes of PAVODEN2.DB; the window starts in item-date order.
    EXPECT_EQ(w.box_select_index->count(), static_cast<int>(pay().index_names().size()));
    EXPECT_EQ(w.box_select_index->currentText(), "ITEM_DATE_");
    EXPECT_EQ(pay().index_name(), "ITEM_DATE_");
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);

    // Normal mode.
    for (const char* b : {"btn_add", "btn_edit", "btn_delete", "btn_first_record",
                          "btn_last_record", "btn_previous_record", "btn_next_record", "Button2"})
        EXPECT_TRUE(enabled(w, b)) << b;
    EXPECT_FALSE(enabled(w, "btn_save"));
    EXPECT_FALSE(enabled(w, "btn_cancel"));
    for (QWidget* f : w.entry_controls())
        EXPECT_FALSE(f->isEnabled()) << f->objectName().toStdString();
    EXPECT_TRUE(w.DBGrid1->isEnabled());
    EXPECT_FALSE(w.cb_save_return_date->isVisibleTo(&w));
    for (auto* p : pickers(w)) EXPECT_FALSE(p->isVisibleTo(&w) || p->isEnabled());

    // Edit mode after Add: every picker exactly over its field, showing today.
    clock::ScopedFixedTime at({2004, 2, 29, 10, 0, 0});
    click(w, "btn_add");
    EXPECT_TRUE(edit_mode(w));
    for (const char* b : {"btn_edit", "btn_delete", "btn_first_record", "btn_next_record"})
        EXPECT_FALSE(enabled(w, b)) << b;
    EXPECT_TRUE(enabled(w, "Button2"));
    EXPECT_FALSE(w.box_select_index->isEnabled());
    for (QWidget* f : w.entry_controls())
        EXPECT_TRUE(f->isEnabled()) << f->objectName().toStdString();
    EXPECT_FALSE(w.DBGrid1->isEnabled());
    EXPECT_TRUE(w.cb_save_return_date->isVisibleTo(&w));
    for (auto* p : pickers(w)) {
        SCOPED_TRACE(p->objectName().toStdString());
        ASSERT_NE(p->field(), nullptr);
        EXPECT_EQ(p->geometry(), p->field()->geometry());
        EXPECT_TRUE(p->isVisibleTo(&w) && p->isEnabled());
        EXPECT_EQ(p->short_date_text(), "2/29/2004");
    }
    click(w, "btn_cancel");
    EXPECT_EQ(pay().record_count(), 0);
    w.close_window();
}

TEST_F(PaymentWindowTest, SaveStoresPickerDatesCountsKeyAndAmounts) {
    TOstrand_Records w(&main());
    w.show();
    // item, sent, avail, 2nd, 3rd, delivered, returned, cleared
    const struct {
        std::vector<std::string> dates;
        const char* key;
        double sent_avail, avail_del, sent_del, del_clear, sent_clear;
    } cases[] = {
        {{"2/29/2004", "2/29/2004", "3/1/2004", "", "", "3/10/2004", "", "3/5/2004"},
         "20040229",
         1,
         9,
         10,
         -5,
         5},
        {{"2/28/2000", "2/28/2000", "3/1/2000", "", "", "3/1/2000", "", "3/2/2000"},
         "20000228",
         2,
         0,
         2,
         1,
         3},
        {{"2/28/2100", "2/28/2100", "3/1/2100", "", "", "3/2/2100", "", ""},
         "21000228",
         1,
         1,
         2,
         -1,
         -1},
        {{"12/31/2003", "12/31/2003", "", "", "", "1/1/2004", "", "1/2/2004"},
         "20031231",
         -1,
         -1,
         1,
         1,
         2},
        {{"1/5/2004", "", "", "", "", "", "", ""}, "20040105", -1, -1, -1, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        add_through(w, c.dates);
        ASSERT_FALSE(edit_mode(w)) << "the save was refused";
        ASSERT_TRUE(pay().locate("YYYYMMDD", {c.key}));
        EXPECT_EQ(pay().field("DAYS_SENT_TO_AVAIL").as_float(), c.sent_avail);
        EXPECT_EQ(pay().field("DAYS_AVAIL_TO_DEL").as_float(), c.avail_del);
        EXPECT_EQ(pay().field("DAYS_SENT_TO_DEL").as_float(), c.sent_del);
        EXPECT_EQ(pay().field("DAYS_DEL_TO_CLEAR").as_float(), c.del_clear);
        EXPECT_EQ(pay().field("DAYS_SENT_TO_CLEAR").as_float(), c.sent_clear);
        EXPECT_EQ(field("ITEM_DATE"), c.dates[0]);
        EXPECT_EQ(field("DATE_CLEAR"), c.dates[7]);
        EXPECT_TRUE(pay().field("DATE_RETURNED").is_null());
        // Empty amount boxes are stored as 0.
        for (const char* a : {"SS_AMT", "RP_AMT", "CS_AMT", "OTHER_AMT"}) EXPECT_EQ(field(a), "0");
        expect_counts_follow_dates(pay());
    }
}

TEST_F(PaymentWindowTest, EditKeepsOrSetsTheReturnedDateAndRecountsAChangedClearDate) {
    TOstrand_Records w(&main());
    w.show();
    add_through(w, {"3/1/2004", "3/1/2004", "3/3/2004", "", "", "3/5/2004", "", "3/8/2004"},
                "1250.5");
    EXPECT_EQ(field("SS_AMT"), "1250.5");
    EXPECT_EQ(w.fld_ss_amt->text(), "1250.5");
    // Fields without a control keep what the record holds through an edit.
    pay().edit();
    pay().field("MONTH_YEAR").set_as_string("3/1/2004");
    pay().field("DATE_1ST_TRY").set_as_string("3/4/2004");
    pay().post();

    // Ticked: the returned-date picker's date is stored.
    click(w, "btn_edit");
    EXPECT_EQ(w.DateTimePicker_date_returned->short_date_text(), "3/5/2004");  // from delivered
    w.cb_save_return_date->setChecked(true);
    w.DateTimePicker_date_returned->set_from_text("3/6/2004");
    click(w, "btn_save");
    EXPECT_EQ(field("DATE_RETURNED"), "3/6/2004");

    // Unticked: an edit keeps the returned date, and a changed clear date is counted at once.
    w.cb_save_return_date->setChecked(false);
    click(w, "btn_edit");
    w.DateTimePicker_date_cleared->set_from_text("3/25/2004");
    click(w, "btn_save");
    EXPECT_EQ(field("DATE_RETURNED"), "3/6/2004");
    EXPECT_EQ(pay().field("DAYS_DEL_TO_CLEAR").as_float(), 20);
    EXPECT_EQ(pay().field("DAYS_SENT_TO_CLEAR").as_float(), 24);
    EXPECT_EQ(field("SS_AMT"), "1250.5");

    // Ticked with the picker set to no date (the Delete key): a wrong returned date goes.
    w.cb_save_return_date->setChecked(true);
    click(w, "btn_edit");
    w.DateTimePicker_date_returned->setFocus();
    QTest::keyClick(w.DateTimePicker_date_returned, Qt::Key_Delete);
    EXPECT_TRUE(w.DateTimePicker_date_returned->empty());
    // The item date's picker cannot be emptied.
    QTest::keyClick(w.DateTimePicker_item_date, Qt::Key_Delete);
    EXPECT_FALSE(w.DateTimePicker_item_date->empty());
    click(w, "btn_save");
    EXPECT_TRUE(pay().field("DATE_RETURNED").is_null());
    EXPECT_EQ(field("MONTH_YEAR"), "3/1/2004");
    EXPECT_EQ(field("DATE_1ST_TRY"), "3/4/2004");
    expect_counts_follow_dates(pay());
}

TEST_F(PaymentWindowTest, RandomEditsOfTheSampleSetKeepTheCountRule) {
    sample::Generator gen(7);
    sample::append_rows(pay(), gen.payments(40));
    TOstrand_Records w(&main());
    w.show();
    std::mt19937 rng(11);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::set<std::string> edited;
    for (int round = 0; round < 30; ++round) {
        click(w, "btn_first_record");
        for (int n = pick(40); n > 0; --n) click(w, "btn_next_record");
        click(w, "btn_edit");
        ASSERT_TRUE(edit_mode(w));
        auto p = pickers(w);
        for (std::size_t i = 1; i < p.size(); ++i) {
            switch (pick(3)) {
                case 0:
                    p[i]->set_empty();
                    break;
                case 1:
                    p[i]->set_date_value(p[0]->date().toJulianDay() - 2415019 + pick(60) - 10);
                    break;
                default:
                    break;  // as Edit set it
            }
        }
        w.cb_save_return_date->setChecked(pick(2) == 0);
        click(w, "btn_save");
        ASSERT_FALSE(edit_mode(w)) << "round " << round;
        edited.insert(field("pk"));
    }
    for (pay().first(); !pay().eof(); pay().next()) {
        if (!edited.count(field("pk"))) continue;
        SCOPED_TRACE(field("pk"));
        expect_counts_follow_dates(pay());
    }
    EXPECT_GT(edited.size(), 10u);
}

TEST_F(PaymentWindowTest, BadAmountIsRefusedAndEverythingTypedStays) {
    TOstrand_Records w(&main());
    w.show();
    click(w, "btn_add");
    w.DateTimePicker_item_date->set_from_text("4/1/2004");
    w.fld_ss_amt->setText("100");
    w.fld_rp_amt->setText("12X");
    click(w, "btn_save");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("RET PAY AMT"), std::string::npos)
        << prompts.boxes[0].text;
    EXPECT_NE(prompts.boxes[0].text.find("12X"), std::string::npos);
    EXPECT_TRUE(edit_mode(w));
    EXPECT_EQ(pay().state(), tables::DatasetState::kInsert);
    EXPECT_EQ(w.fld_rp_amt->text(), "12X");
    EXPECT_EQ(w.fld_ss_amt->text(), "100");
    EXPECT_EQ(w.DateTimePicker_item_date->short_date_text(), "4/1/2004");
    w.fld_rp_amt->setText("12");
    click(w, "btn_save");
    EXPECT_FALSE(edit_mode(w));
    EXPECT_EQ(field("RP_AMT"), "12");
}

TEST_F(PaymentWindowTest, PendingRecordSurvivesTheFilterWindowAndTheCloseBoxAsks) {
    TOstrand_Records w(&main());
    w.show();
    click(w, "btn_add");
    w.DateTimePicker_item_date->set_from_text("5/1/2004");
    w.fld_other_amt->setText("7.5");
    kit::queue_modal_hook(
        [](QDialog& filter) { static_cast<kit::KitWindow&>(filter).force_close(); });
    click(w, "Button2");
    prompts.boxes.clear();  // the filter window's own note that no list is saved yet
    EXPECT_TRUE(edit_mode(w));
    EXPECT_EQ(pay().state(), tables::DatasetState::kInsert);
    EXPECT_TRUE(w.DateTimePicker_item_date->isVisibleTo(&w));
    EXPECT_EQ(w.DateTimePicker_item_date->short_date_text(), "5/1/2004");
    EXPECT_EQ(w.fld_other_amt->text(), "7.5");

    // Close box: Cancel stays, a refused Yes stays, No discards.
    prompts.answers = {kit::Answer::kCancel};
    EXPECT_FALSE(w.close());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "MESSAGE");
    EXPECT_EQ(prompts.boxes[0].text, "The record being edited has not been saved.\nSave it now?");
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNoCancel);
    w.fld_other_amt->setText("seven");
    prompts.answers = {kit::Answer::kYes};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(edit_mode(w));
    w.fld_other_amt->setText("7.5");
    prompts.answers = {kit::Answer::kNo};
    EXPECT_TRUE(w.close());
    EXPECT_EQ(pay().state(), tables::DatasetState::kBrowse);
    EXPECT_EQ(pay().record_count(), 0);
}

TEST_F(PaymentWindowTest, CloseBoxYesSavesAndAnUnaskedCloseLeavesNothingPending) {
    {
        TOstrand_Records w(&main());
        w.show();
        click(w, "btn_add");
        w.DateTimePicker_item_date->set_from_text("6/1/2004");
        prompts.answers = {kit::Answer::kYes};
        EXPECT_TRUE(w.close());
        EXPECT_EQ(pay().record_count(), 1);
        EXPECT_EQ(field("YYYYMMDD"), "20040601");
    }
    {
        TOstrand_Records w(&main());
        w.show();
        click(w, "btn_edit");
        w.force_close();
    }
    EXPECT_EQ(pay().state(), tables::DatasetState::kBrowse);
}

TEST_F(PaymentWindowTest, EditOnAnEmptyDatasetOrItemDate) {
    clock::ScopedFixedTime at({2004, 7, 4, 9, 0, 0});
    TOstrand_Records w(&main());
    w.show();
    click(w, "btn_edit");
    EXPECT_FALSE(edit_mode(w));
    EXPECT_EQ(pay().state(), tables::DatasetState::kBrowse);
    EXPECT_EQ(pay().record_count(), 0);

    // A record with no item date (carried over from elsewhere) and a delivered date only.
    pay().append();
    pay().field("DATE_AVAIL").set_as_string("6/20/2004");
    pay().post();
    click(w, "btn_first_record");
    click(w, "btn_edit");
    ASSERT_TRUE(edit_mode(w));
    EXPECT_EQ(pay().state(), tables::DatasetState::kEdit);
    EXPECT_EQ(w.DateTimePicker_item_date->short_date_text(), "7/4/2004");
    EXPECT_EQ(w.DateTimePicker_date_sent->short_date_text(), "7/4/2004");
    EXPECT_EQ(w.DateTimePicker_date_available->short_date_text(), "6/20/2004");
    EXPECT_EQ(w.DateTimePicker_date_delivered->short_date_text(), "6/20/2004");
    EXPECT_EQ(w.DateTimePicker_date_cleared->short_date_text(), "6/20/2004");
    click(w, "btn_save");
    EXPECT_FALSE(edit_mode(w));
    EXPECT_EQ(field("YYYYMMDD"), "20040704");
    expect_counts_follow_dates(pay());
}

TEST_F(PaymentWindowTest, F2KeysOpenTheirPickLists) {
    TOstrand_Records w(&main());
    w.show();
    click(w, "btn_add");
    const std::pair<QWidget*, const char*> keys[] = {{w.fld_category, "Category_Pick_List"},
                                                     {w.fld_item, "Item_Pick_List"},
                                                     {w.fld_carrier, "Carrier_Pick_List"},
                                                     {w.fld_comment, "Comment_Pick_List"}};
    for (const auto& [field, window] : keys) {
        SCOPED_TRACE(window);
        std::string opened;
        kit::queue_modal_hook([&](QDialog& d) {
            opened = d.objectName().toStdString();
            static_cast<kit::KitWindow&>(d).force_close();
        });
        QTest::keyClick(field, Qt::Key_F2);
        EXPECT_EQ(opened, window);
        EXPECT_TRUE(edit_mode(w)) << "the pending record went";
    }
    click(w, "btn_cancel");
}

TEST_F(PaymentWindowTest, ItemFileDialogStoresThePathWithoutTheDrive) {
    tables::Table& cfg = store::DataModule::instance()->table_config;
    cfg.first();
    cfg.edit();
    cfg.field("BROWSE_START_HERE").set_as_string("c:\\scans");
    cfg.post();
    TOstrand_Records w(&main());
    w.show();
    click(w, "btn_add");
    prompts.files = {std::string("c:\\scans\\2004\\may.pdf"), std::nullopt,
                     "c:\\" + std::string(300, 'p')};
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);
    ASSERT_EQ(prompts.file_requests.size(), 1u);
    EXPECT_EQ(prompts.file_requests[0].initial_dir, "c:\\scans");
    EXPECT_EQ(prompts.file_requests[0].file_name, "*.*");
    EXPECT_EQ(prompts.file_requests[0].default_extension, "*");
    EXPECT_EQ(w.fld_item_file->text(), "\\scans\\2004\\may.pdf");
    // Cancelled: nothing changes. Too long: refused with the limit, nothing cut or stored.
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);
    QTest::keyClick(w.fld_item_file, Qt::Key_F2);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("255"), std::string::npos) << prompts.boxes[0].text;
    EXPECT_EQ(w.fld_item_file->text(), "\\scans\\2004\\may.pdf");
    w.DateTimePicker_item_date->set_from_text("5/5/2004");
    click(w, "btn_save");
    EXPECT_EQ(field("ITEM_FILE"), "\\scans\\2004\\may.pdf");
}

TEST_F(PaymentWindowTest, IndexChangeAndAFailedOne) {
    TOstrand_Records w(&main());
    w.show();
    for (const char* d : {"1/3/2004", "1/1/2004", "1/2/2004"}) add_through(w, {d});
    const int i = w.box_select_index->findText("YYYYMMDD_");
    ASSERT_GE(i, 0);
    w.box_select_index->setCurrentIndex(i);
    emit w.box_select_index->activated(i);
    EXPECT_EQ(pay().index_name(), "YYYYMMDD_");
    pay().first();
    EXPECT_EQ(field("ITEM_DATE"), "1/1/2004");

    // An index the file does not have: the old order stays and the records are still there.
    w.box_select_index->addItem("NO_SUCH_INDEX");
    const int bad = w.box_select_index->count() - 1;
    w.box_select_index->setCurrentIndex(bad);
    emit w.box_select_index->activated(bad);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("NO_SUCH_INDEX"), std::string::npos);
    EXPECT_TRUE(pay().active());
    EXPECT_EQ(pay().index_name(), "YYYYMMDD_");
    EXPECT_EQ(pay().record_count(), 3);
    EXPECT_EQ(w.box_select_index->currentText(), "YYYYMMDD_");
}

TEST_F(PaymentWindowTest, MenuEntryOpensTheWindow) {
    std::string opened;
    kit::queue_modal_hook([&](QDialog& d) {
        opened = d.objectName().toStdString();
        static_cast<kit::KitWindow&>(d).force_close();
    });
    prompts.answers = {kit::Answer::kNo, kit::Answer::kNo};  // the backup offers, when asked
    main().item("MaintainPaymentRecords1")->trigger();
    prompts.answers.clear();
    EXPECT_EQ(opened, "Ostrand_Records");
}

}  // namespace
}  // namespace pavo::app::testing
