// The job title edits window (grid, Save, the new-records filter, the mass changes and their
// boxes) and the two disqualified lists (read-only columns, the titles Save and Find Category).
#include <QApplication>
#include <QFocusEvent>

#include "app/jobsearch/disq_titles_list.h"
#include "app/jobsearch/disqualified_states_list.h"
#include "app/jobsearch/job_title_edit.h"
#include "app/shell/main_screen.h"
#include "app/shell/window_registry.h"
#include "app_fixture.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using jobsearch::TJob_Search_Disq_Titles_List;
using jobsearch::TJob_Search_Disqualified_States_List;
using jobsearch::TJob_Title_Edit;
using tables::DatasetState;

store::DataModule& dm() {
    return *store::DataModule::instance();
}

void add(tables::Table& t, std::vector<std::pair<const char*, const char*>> fields) {
    t.append();
    for (const auto& [name, value] : fields) t.field(name).set_as_string(value);
    t.post();
}

void focus_in(QWidget* w) {
    QFocusEvent e(QEvent::FocusIn);
    QApplication::sendEvent(w, &e);
}

bool red(QWidget* w) {
    return w->palette().color(QPalette::Base) == QColor(Qt::red);
}

class TitleEditTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        tables::CommandScope scope;
        tables::Table& e = dm().table_js_edit;
        const char* kNew = "*** NEW ENTRY, EDIT ME ***";
        add(e, {{"CHANGE_FROM", "CHEMICAL ENGINEER"}, {"CHANGE_TO", kNew}});
        add(e, {{"CHANGE_FROM", "CIVIL ENGINEER"}, {"CHANGE_TO", "ENGINEER"}});
        add(e, {{"CHANGE_FROM", "ENGINEER II"},
                {"CHANGE_TO", "ENGINEER"},
                {"REASON_NO_SUBMIT", "PAY"}});
        add(e, {{"CHANGE_FROM", "MECHANICAL ENGINEER"}, {"CHANGE_TO", kNew}});
        add(e, {{"CHANGE_FROM", "NURSE"}, {"CHANGE_TO", "NURSE"}, {"REASON_NO_SUBMIT", "PAY"}});
        add(e, {{"CHANGE_FROM", "SENIOR engineer"}, {"CHANGE_TO", kNew}});
        tables::Table& r = dm().table_reason;
        r.first();
        while (r.record_count() > 0) r.delete_record();
        for (const char* reason : {"DISTANCE", "PAY", "SKILLS"}) add(r, {{"REASON", reason}});
        scope.commit();
    }
    static tables::Table& edits() { return dm().table_js_edit; }
    static std::string row(const char* change_from) {
        tables::Table t;
        t.set_database_name("PAVODEN2");
        t.set_table_name("JS_EDIT.db");
        t.open();
        if (!t.locate("CHANGE_FROM", {change_from})) return "missing";
        return t.field("CHANGE_TO").as_string() + "|" + t.field("REASON_NO_SUBMIT").as_string();
    }
    static std::string current() { return edits().field("CHANGE_FROM").as_string(); }
};

TEST_F(TitleEditTest, OpenedThroughTheRegistryWithItsControls) {
    const shell::WindowFactory* factory = shell::find_window("TJob_Title_Edit");
    ASSERT_NE(factory, nullptr);
    std::unique_ptr<QDialog> d = (*factory)(&main());
    auto& w = static_cast<TJob_Title_Edit&>(*d);
    w.Edit1->setText("left over");
    w.show();
    EXPECT_EQ(w.Edit1->text(), "") << "activation empties the boxes";
    EXPECT_FALSE(w.has_close_box());
    QStringList titles;
    for (int c = 0; c < 3; ++c)
        titles << w.DBGrid1->dataset_model()
                      ->headerData(c, Qt::Horizontal, Qt::DisplayRole)
                      .toString();
    EXPECT_EQ(titles, (QStringList{"REASON_NO_SUBMIT", "CHANGE_FROM", "CHANGE_TO"}));
    EXPECT_EQ(w.GroupBox_titles->title(), ">JOB TITLE MASS CHANGE<");
    EXPECT_EQ(w.cb_confirm->text(), "Confirm All Changes");
    EXPECT_TRUE(w.cb_confirm->font().bold());

    // Modes: Add stays enabled in edit mode, the grid in both.
    click(w, "btn_edit");
    EXPECT_TRUE(enabled(w, "btn_add"));
    EXPECT_FALSE(enabled(w, "btn_exit"));
    EXPECT_TRUE(w.DBGrid1->isEnabled());
    click(w, "btn_cancel");
    click(w, "btn_edit");
    EXPECT_EQ(w.reason_pick_list(), (std::vector<std::string>{"DISTANCE", "PAY", "SKILLS"}))
        << "Edit twice: each reason once";
    edits().field("CHANGE_FROM").set_as_string("chemical engineer i");
    edits().field("CHANGE_TO").set_as_string("chemist");
    click(w, "btn_save");
    EXPECT_EQ(row("CHEMICAL ENGINEER I"), "CHEMIST|");
    EXPECT_FALSE(w.in_edit_mode());
    w.close_window();
}

TEST_F(TitleEditTest, BoxesExcludeEachOtherAndConfirmIsCheckedAgain) {
    TJob_Title_Edit w(&main());
    w.show();
    focus_in(w.Edit1);
    EXPECT_FALSE(w.Edit3->isEnabled());
    EXPECT_FALSE(w.Edit4->isEnabled());
    EXPECT_TRUE(red(w.Edit3) && red(w.Edit4));
    EXPECT_TRUE(w.Edit1->isEnabled() && !red(w.Edit1));
    click(w, "btn_reset");
    EXPECT_TRUE(w.Edit3->isEnabled() && !red(w.Edit3));
    focus_in(w.Edit3);
    EXPECT_FALSE(w.Edit1->isEnabled());
    EXPECT_TRUE(red(w.Edit2));

    // Checked again by typing in Edit1, entering a box, Reset.
    struct Step {
        const char* what;
        std::function<void()> act;
    } steps[] = {
        {"typing in Edit1", [&] { w.Edit1->textEdited("X"); }},
        {"entering Edit2", [&] { focus_in(w.Edit2); }},
        {"entering Edit3", [&] { focus_in(w.Edit3); }},
        {"Reset", [&] { click(w, "btn_reset"); }},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        w.cb_confirm->setChecked(false);
        s.act();
        EXPECT_TRUE(w.cb_confirm->isChecked());
    }
    focus_in(w.Edit4);  // entering Edit4 leaves it alone
    w.cb_confirm->setChecked(false);
    focus_in(w.Edit4);
    EXPECT_FALSE(w.cb_confirm->isChecked());
    w.close_window();
}

TEST_F(TitleEditTest, MassChangeMessagesConfirmationAndBookmark) {
    TJob_Title_Edit w(&main());
    w.show();
    // Refusals, word for word; the boxes come back.
    w.Edit1->setText("EN");
    w.Edit2->setText("X");
    click(w, "btn_mass_change");
    w.Edit1->setText("ENGINEER");
    w.Edit2->setText("");
    click(w, "btn_mass_change");
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].caption, "MESSAGE");
    EXPECT_EQ(prompts.boxes[0].text,
              "The \"change from\" string must be at a last 3 characters (no trailing spaces)");
    EXPECT_EQ(prompts.boxes[1].text, "The \"change to\" string must have a value");
    EXPECT_TRUE(w.Edit1->isEnabled() && w.Edit2->isEnabled());
    EXPECT_EQ(row("CHEMICAL ENGINEER"), "*** NEW ENTRY, EDIT ME ***|");

    // With confirmation: Yes, No, Cancel.
    ASSERT_TRUE(edits().locate("CHANGE_FROM", {"NURSE"}));
    prompts.boxes.clear();
    prompts.answers = {kit::Answer::kYes, kit::Answer::kNo, kit::Answer::kCancel};
    w.Edit2->setText("ENGINEER");
    focus_in(w.Edit1);
    click(w, "btn_mass_change");
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.boxes[0].text, "Change This Record??????");
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNoCancel);
    EXPECT_EQ(row("CHEMICAL ENGINEER"), "ENGINEER|");
    EXPECT_EQ(row("CIVIL ENGINEER"), "ENGINEER|") << "No leaves it";
    EXPECT_EQ(row("ENGINEER II"), "ENGINEER|PAY") << "Cancel ends the walk";
    EXPECT_EQ(row("MECHANICAL ENGINEER"), "*** NEW ENTRY, EDIT ME ***|");
    EXPECT_EQ(current(), "NURSE");
    EXPECT_EQ(w.lbl_mass_result->text(), "1 row changed.");
    for (QWidget* e : {w.Edit1, w.Edit2, w.Edit3, w.Edit4}) EXPECT_TRUE(e->isEnabled() && !red(e));

    // Without confirmation under the new-records filter: every match once, exact case.
    click(w, "btn_show_new_records");
    EXPECT_EQ(edits().filter(), jobsearch::kNewRecordsFilter);
    w.cb_confirm->setChecked(false);
    w.Edit2->setText("ENGINEERING");
    click(w, "btn_mass_change");
    EXPECT_EQ(row("CHEMICAL ENGINEER"), "ENGINEERING|");
    EXPECT_EQ(row("MECHANICAL ENGINEER"), "ENGINEERING|");
    EXPECT_EQ(row("SENIOR engineer"), "*** NEW ENTRY, EDIT ME ***|");
    EXPECT_EQ(row("CIVIL ENGINEER"), "ENGINEERING|");
    EXPECT_EQ(row("ENGINEER II"), "ENGINEER|PAY") << "outside the filter";

    // The reason change; "Show Only New Records" still lists rows without a reason.
    w.cb_confirm->setChecked(false);
    w.Edit3->setText("ENGINEERING");
    w.Edit4->setText("SKILLS");
    click(w, "btn_mass_change2");
    EXPECT_TRUE(w.cb_confirm->isChecked());
    EXPECT_EQ(row("MECHANICAL ENGINEER"), "ENGINEERING|SKILLS");
    EXPECT_EQ(row("CIVIL ENGINEER"), "ENGINEERING|SKILLS");
    EXPECT_EQ(edits().record_count(), 1);  // SENIOR engineer
    EXPECT_EQ(current(), "SENIOR engineer");
    click(w, "btn_show_all_records");
    EXPECT_FALSE(edits().filtered());
    EXPECT_EQ(edits().record_count(), 6);
    w.close_window();
}

class ListsTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
    }
    static tables::Table& stats() { return dm().table_stat_jt; }
    static std::string current() {
        return stats().field("ORDER").as_string() + "|" + stats().field("CATEGORY").as_string();
    }
    static std::optional<QColor> colour(kit::DBGrid* g, int column) {
        return g->dataset_model()->columns()[static_cast<std::size_t>(column)].colour;
    }
};

TEST_F(ListsTest, StatesListUpperCasesAndKeepsItsCountsReadOnly) {
    TJob_Search_Disqualified_States_List w(&main());
    w.show();
    auto* model = w.DBGrid1->dataset_model();
    EXPECT_FALSE(colour(w.DBGrid1, 1));
    click(w, "btn_add");
    EXPECT_TRUE(enabled(w, "btn_add"));
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ(colour(w.DBGrid1, c), QColor(Qt::yellow));
        EXPECT_FALSE(model->flags(model->index(0, c)) & Qt::ItemIsEditable);
    }
    EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    dm().table_stat_st.field("STATE").set_as_string("az");
    click(w, "btn_save");
    EXPECT_TRUE(dm().table_stat_st.locate("STATE", {"AZ"}));
    EXPECT_FALSE(colour(w.DBGrid1, 1));

    // The same state again: refused, the row stays in edit state.
    click(w, "btn_add");
    dm().table_stat_st.field("STATE").set_as_string("Az");
    click(w, "btn_save");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_TRUE(w.in_edit_mode());
    EXPECT_EQ(dm().table_stat_st.state(), DatasetState::kInsert);
    click(w, "btn_cancel");
    w.close_window();
}

TEST_F(ListsTest, TitlesSaveFindAndTheOrderLeftBehind) {
    {
        tables::CommandScope scope;
        for (const char* c : {"ANALYST", "CASHIER", "DRIVER"})
            add(stats(), {{"ORDER", "1"}, {"CATEGORY", c}, {"COUNT", "3"}});
        add(stats(), {{"ORDER", "2"}, {"CATEGORY", "BAKER"}});
        scope.commit();
    }
    auto w = std::make_unique<TJob_Search_Disq_Titles_List>(&main());
    w->show();
    EXPECT_TRUE(w->btn_find->isVisible());
    click(*w, "btn_add");
    EXPECT_FALSE(enabled(*w, "btn_add"));
    EXPECT_FALSE(w->btn_find->isVisible() || w->btn_find->isEnabled());
    EXPECT_FALSE(w->fld_find->isVisible() || w->fld_find->isEnabled());
    EXPECT_EQ(colour(w->DBGrid1, 2), QColor(Qt::yellow));
    EXPECT_EQ(colour(w->DBGrid1, 3), QColor(Qt::yellow));
    EXPECT_FALSE(colour(w->DBGrid1, 4));

    // Text typed into ORDER: the conversion error names the field, the row stays pending.
    auto* model = w->DBGrid1->dataset_model();
    const int row = model->current_row();
    EXPECT_FALSE(model->setData(model->index(row, 0), "first", Qt::EditRole));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find("ORDER"), std::string::npos) << prompts.boxes[0].text;
    EXPECT_EQ(stats().state(), DatasetState::kInsert);

    // Saved without an order: a count of 0 and straight back to editing the same row.
    stats().field("CATEGORY").set_as_string("CASHIER");
    click(*w, "btn_save");
    EXPECT_TRUE(w->in_edit_mode());
    EXPECT_EQ(stats().state(), DatasetState::kEdit);
    EXPECT_EQ(current(), "|CASHIER");
    EXPECT_EQ(stats().field("COUNT").as_string(), "0");
    EXPECT_EQ(stats().index_name(), "CATEGORY_");
    stats().field("ORDER").set_as_string("3");
    click(*w, "btn_save");
    EXPECT_FALSE(w->in_edit_mode());
    EXPECT_EQ(stats().index_field_names(), "ORDER;CATEGORY");

    // Find among several ORDER 1 rows.
    w->fld_find->setText("driv");
    click(*w, "btn_find");
    EXPECT_EQ(current(), "1|DRIVER");
    w->fld_find->setText("zzz");
    click(*w, "btn_find");
    EXPECT_EQ(current(), "1|DRIVER") << "past the last category: the last one";

    // Left in category order by a cancelled edit, the list is put back when the window closes.
    click(*w, "btn_add");
    click(*w, "btn_save");  // no ORDER, no CATEGORY: back in edit mode, category order
    EXPECT_EQ(stats().index_name(), "CATEGORY_");
    click(*w, "btn_cancel");
    w->close_window();
    w.reset();
    EXPECT_EQ(stats().index_name(), "");
    EXPECT_EQ(stats().index_field_names(), "ORDER;CATEGORY");
}

}  // namespace
}  // namespace pavo::app::testing
