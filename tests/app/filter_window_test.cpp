// The two filter windows, each over its own shared dataset: building the expression, Apply and
// Clear as other users of the dataset see them, and the saved list files.
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "app/filters/filter_windows.h"
#include "app/filters/tfltr_jsearch.h"
#include "app/filters/tfltr_pavoden2.h"
#include "app/kit/data_source.h"
#include "app/kit/db_grid.h"
#include "app_fixture.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "records/filter_lists.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using filters::FilterWindow;
using kit::Answer;

const char* kNoSaved = "There are no saved filters, please create one and do a \"Save List\"";
const char* kPending = "A record is being edited. Save or cancel it before changing the filter.";

// What differs between the two windows.
struct Target {
    const char* name;
    filters::FilterTarget target;
    const char* dataset;
    std::string list_file;
    const char* text_field;    // a text field to filter on
    const char* number_field;  // a number field
    bool case_insensitive;
};

// Test names and failure messages show the window's dataset, not the struct's bytes.
void PrintTo(const Target& t, std::ostream* os) {
    *os << t.name;
}

const Target kTargets[] = {
    {"payments", filters::FilterTarget::kPayments, "table_pavoden", records::kPaymentFilterList,
     "CATEGORY", "CS_AMT", false},
    {"job searches", filters::FilterTarget::kJobSearch, "table_jsearch2",
     records::kJobSearchFilterList, "POS_CITY", "REFNUM", true},
};

class FilterWindowTest : public AppTest, public ::testing::WithParamInterface<Target> {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        // Four rows: "legal" twice, "LEGAL" once, "medical" once, one with an apostrophe.
        int n = 0;
        for (const char* v : {"legal", "LEGAL", "medical", "legal", "CHILD'S DENTIST"}) {
            tables::Table& t = data();
            t.append();
            t.field(P().text_field).set_as_string(v);
            t.field(P().number_field).set_as_float(++n);
            if (P().target == filters::FilterTarget::kJobSearch) {
                t.field("DATE").set_as_date(45000);
                t.field("YYYYMMDD").set_as_string("20230301");
                t.field("TIME").set_as_string("10:0" + std::to_string(n));
                t.field("CONTACT_NAME").set_as_string("SMITH");
                t.field("POS_TYPE").set_as_string("FT");
                t.field("POS_STATE").set_as_string("OH");
            }
            t.post();
        }
        ASSERT_EQ(data().record_count(), 5);
    }
    const Target& P() const { return GetParam(); }
    tables::Table& data() { return *store::DataModule::instance()->dataset(P().dataset); }
    std::unique_ptr<FilterWindow> make() {
        std::unique_ptr<FilterWindow> w;
        if (P().target == filters::FilterTarget::kPayments) {
            w = std::make_unique<filters::Tfltr_pavoden2>(&main());
        } else {
            w = std::make_unique<filters::Tfltr_jsearch>(&main());
        }
        return w;
    }
    // Opens a window with a list file in place, so that no message comes.
    std::unique_ptr<FilterWindow> open_with(const std::vector<std::string>& items) {
        records::make_filter_folders();
        records::write_filter_list(P().list_file, items);
        auto w = make();
        w->show();
        return w;
    }
    std::string eq(const std::string& v) { return std::string(P().text_field) + " = '" + v + "'"; }
    void type_expression(FilterWindow& w, const std::string& text) {
        // As typed or pasted: the line edit's own insert, which the window hears as an edit.
        w.ComboBox1->lineEdit()->selectAll();
        w.ComboBox1->lineEdit()->insert(QString::fromStdString(text));
    }
    std::string file_bytes() { return read_whole_file(DriveMap::current().to_host(P().list_file)); }
    int boxes(const std::string& text) {
        int n = 0;
        for (const SeenBox& b : prompts.boxes) n += b.text == text;
        return n;
    }
    static void select(QListWidget* list, const QString& text) {
        auto found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->setCurrentItem(found.front());
    }
};

// --- Building

TEST_P(FilterWindowTest, BuildingFromListsAndLines) {
    auto w = open_with({});
    EXPECT_EQ(w->windowTitle(), "Filter Condition");
    EXPECT_EQ(w->size(), QSize(395, 345));
    EXPECT_EQ(w->lbl_title->text(), P().target == filters::FilterTarget::kPayments
                                        ? "FILTER OSTRAND RECORDS"
                                        : "FILTER JOB SEARCH");
    EXPECT_FALSE(w->ComboBox2->isVisible());
    QStringList ops;
    for (int i = 0; i < w->ListBox2->count(); ++i) ops << w->ListBox2->item(i)->text();
    EXPECT_EQ(ops, QStringList({">", "<", "= ", ">=", "<=", "<>", "AND", "OR", "(", ")"}));
    EXPECT_EQ(w->ListBox1->count(), data().field_count());
    for (int i = 1; i < w->ListBox1->count(); ++i)
        EXPECT_LT(w->ListBox1->item(i - 1)->text(), w->ListBox1->item(i)->text()) << "sorted";

    // A field then the equals item on an empty condition: the item carries its own blank.
    select(w->ListBox1, P().text_field);
    w->AddFieldName();
    select(w->ListBox2, "= ");
    w->ListBox2DblClick();
    EXPECT_EQ(w->expression(), std::string(P().text_field) + " = ");

    // Two condition lines give one line.
    const std::string f = P().number_field;
    w->Memo1->setPlainText(QString::fromStdString(f + " > 0\nAND " + f + " > 0"));
    EXPECT_EQ(w->expression(), f + " > 0 AND " + f + " > 0");

    // Picking a saved expression replaces the condition lines.
    w->ComboBox1->addItem(QString::fromStdString(eq("medical")));
    w->ComboBox1->setCurrentIndex(0);
    emit w->ComboBox1->activated(0);
    EXPECT_EQ(w->Memo1->toPlainText().toStdString(), eq("medical"));
    EXPECT_EQ(w->expression(), eq("medical"));
}

TEST_P(FilterWindowTest, TypingUpdatesTheLinesWithoutLoopingAndPastedBreaksBecomeBlanks) {
    auto w = open_with({});
    QLineEdit* edit = w->ComboBox1->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(eq("legl")));
    EXPECT_EQ(w->Memo1->toPlainText().toStdString(), eq("legl"));
    // Typing inside the text keeps the cursor where it is.
    const int at = static_cast<int>(eq("leg").size()) - 1;
    edit->setCursorPosition(at);
    QTest::keyClicks(edit, "a");
    EXPECT_EQ(w->expression(), eq("legal"));
    EXPECT_EQ(edit->cursorPosition(), at + 1);
    EXPECT_EQ(w->Memo1->toPlainText().toStdString(), eq("legal"));
    EXPECT_EQ(w->Memo1->blockCount(), 1);

    // Typed lines in the condition box keep their cursor too.
    w->Memo1->setPlainText("A");
    w->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->Memo1, "B");
    EXPECT_EQ(w->expression(), "AB");
    EXPECT_EQ(w->Memo1->textCursor().position(), 2);

    edit->selectAll();
    edit->insert(QString::fromStdString(std::string(P().text_field) + " = 'x'\r\nOR\n" +
                                        P().text_field + " = 'y'"));
    EXPECT_EQ(w->expression(), eq("x") + " OR " + eq("y"));
    EXPECT_EQ(w->Memo1->blockCount(), 1);
    EXPECT_EQ(edit->cursorPosition(), static_cast<int>(w->expression().size()));
}

// --- Apply and Clear

TEST_P(FilterWindowTest, ApplyIsSeenByOtherUsersAndEmptySwitchesItOff) {
    kit::DataSource source(&data(), nullptr, "ds_probe");
    kit::DBGrid grid(nullptr, "grid_probe", &source);
    auto w = open_with({});
    type_expression(*w, eq("legal"));
    click(*w, "BtnApplyFilter");
    const int expected = P().case_insensitive ? 3 : 2;
    EXPECT_TRUE(data().filtered());
    EXPECT_EQ(data().filter(), eq("legal"));
    EXPECT_EQ(grid.dataset_model()->rowCount(), expected);
    int walked = 0;
    for (data().first(); !data().eof(); data().next()) ++walked;
    EXPECT_EQ(walked, expected) << "a report walking the dataset";
    EXPECT_EQ(w->lbl_status->text().toStdString(), std::to_string(expected) + " of 5 records");

    type_expression(*w, eq("CHILD''S DENTIST"));
    click(*w, "BtnApplyFilter");
    EXPECT_EQ(data().record_count(), 1) << "a doubled apostrophe passes as typed";
    EXPECT_EQ(w->lbl_status->text().toStdString(), "1 of 5 records")
        << "one filter replacing another";

    type_expression(*w, "");
    click(*w, "BtnApplyFilter");
    EXPECT_FALSE(data().filtered());
    EXPECT_EQ(data().filter(), "");
    EXPECT_EQ(grid.dataset_model()->rowCount(), 5);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_P(FilterWindowTest, RefusedExpressionKeepsThePreviousFilterAndPlacesTheCursor) {
    auto w = open_with({});
    type_expression(*w, eq("medical"));
    click(*w, "BtnApplyFilter");
    ASSERT_EQ(data().record_count(), 1);

    const std::string f = P().number_field;
    struct Bad {
        std::string text;
        int cursor;  // where the error is
    };
    const std::vector<Bad> bad = {
        {eq("legal") + " AND NOSUCH > 1", static_cast<int>(eq("legal").size()) + 5},
        {"MEMO = 'x'", 0},
        {f + " = 'abc'", static_cast<int>(f.size()) + 3},
    };
    for (const Bad& b : bad) {
        prompts.boxes.clear();
        type_expression(*w, b.text);
        click(*w, "BtnApplyFilter");
        ASSERT_EQ(prompts.boxes.size(), 1u) << b.text;
        EXPECT_NE(prompts.boxes[0].text.find("position"), std::string::npos)
            << prompts.boxes[0].text;
        EXPECT_TRUE(data().active()) << b.text;
        EXPECT_EQ(data().filter(), eq("medical")) << b.text;
        EXPECT_TRUE(data().filtered());
        EXPECT_EQ(data().record_count(), 1);
        EXPECT_EQ(w->Memo1->toPlainText().toStdString(), b.text) << "the lines stay to correct";
        EXPECT_EQ(w->Memo1->textCursor().position(), b.cursor) << b.text;
    }
    // The condition box over two lines: the cursor lands on the second line.
    prompts.boxes.clear();
    w->Memo1->setPlainText(QString::fromStdString(eq("legal") + "\nAND NOSUCH > 1"));
    click(*w, "BtnApplyFilter");
    EXPECT_EQ(w->Memo1->textCursor().blockNumber(), 1);
    EXPECT_EQ(w->Memo1->textCursor().positionInBlock(), 4);

    type_expression(*w, eq("LEGAL"));
    click(*w, "BtnApplyFilter");
    EXPECT_EQ(data().record_count(), P().case_insensitive ? 3 : 1) << "the next Apply works";
}

TEST_P(FilterWindowTest, PendingRecordMakesApplyClearAndDeleteRefuse) {
    auto w = open_with({eq("legal")});
    type_expression(*w, eq("legal"));
    click(*w, "BtnApplyFilter");
    data().edit();
    data().field(P().number_field).set_as_float(77);
    type_expression(*w, eq("medical"));
    prompts.answers = {Answer::kYes};
    for (const char* b : {"BtnApplyFilter", "BtnClear", "btn_delete_filter"}) click(*w, b);
    EXPECT_EQ(boxes(kPending), 3);
    for (const SeenBox& b : prompts.boxes) {
        if (b.text == kPending) {
            EXPECT_EQ(b.caption, "MESSAGE");
        }
    }
    EXPECT_EQ(prompts.answers.size(), 1u) << "Delete asked nothing";
    prompts.answers.clear();
    EXPECT_EQ(data().state(), tables::DatasetState::kEdit) << "the record is still pending";
    EXPECT_EQ(data().field(P().number_field).as_float(), 77);
    EXPECT_EQ(data().filter(), eq("legal"));
    EXPECT_EQ(w->saved_list(), std::vector<std::string>{eq("legal")});
    EXPECT_EQ(file_bytes(), eq("legal") + "\r\n");
    data().post();
}

TEST_P(FilterWindowTest, ClearAddsOnceUnderExactComparisonAndShowsAllRecords) {
    auto w = open_with({});
    type_expression(*w, eq("legal"));
    click(*w, "BtnApplyFilter");
    click(*w, "BtnClear");
    EXPECT_EQ(w->expression(), "");
    EXPECT_TRUE(w->Memo1->toPlainText().isEmpty());
    EXPECT_FALSE(data().filtered());
    EXPECT_EQ(data().record_count(), 5);
    type_expression(*w, eq("legal"));
    click(*w, "BtnClear");
    type_expression(*w, eq("LEGAL"));
    click(*w, "BtnClear");
    type_expression(*w, eq("legal") + " ");
    click(*w, "BtnClear");
    click(*w, "BtnClear");  // empty: nothing added
    EXPECT_EQ(w->saved_list(),
              (std::vector<std::string>{eq("legal"), eq("LEGAL"), eq("legal") + " "}));
    EXPECT_EQ(file_bytes(), "") << "Clear does not write the list";
}

// --- List files

TEST_P(FilterWindowTest, SaveAndLoadRoundTripWhatTheListHolds) {
    auto w = open_with({});
    const std::vector<std::string> items = {eq("CHILD''S DENTIST"), eq("Zürich"), eq("legal")};
    for (const std::string& s : items) {
        type_expression(*w, s);
        click(*w, "BtnClear");
    }
    type_expression(*w, eq("not in the list"));
    click(*w, "btn_save_list");
    EXPECT_EQ(file_bytes(), items[0] + "\r\n" + items[1] + "\r\n" + items[2] + "\r\n");
    w->close_window();

    auto again = make();
    again->show();
    EXPECT_EQ(again->saved_list(), items);
    EXPECT_TRUE(prompts.boxes.empty());
    again->ComboBox1->setCurrentIndex(0);
    emit again->ComboBox1->activated(0);
    click(*again, "BtnApplyFilter");
    EXPECT_EQ(data().record_count(), 1);
}

TEST_P(FilterWindowTest, EmptyListGivesZeroByteFileThatLoadsWithoutMessage) {
    auto w = open_with({eq("legal")});
    w->ComboBox1->clear();
    click(*w, "btn_save_list");
    EXPECT_EQ(file_bytes(), "");
    click(*w, "btn_load_list");
    EXPECT_TRUE(w->saved_list().empty());
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_P(FilterWindowTest, MissingFileShowsTheMessageOnceAndBoxesKeepWhatClearCollected) {
    auto w = make();
    w->show();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "ERROR");
    EXPECT_EQ(prompts.boxes[0].text, kNoSaved);
    EXPECT_TRUE(QFileInfo::exists(
        QString::fromStdString(DriveMap::current().to_host(records::kFilterFolder).string())));

    type_expression(*w, eq("legal"));
    click(*w, "BtnClear");
    type_expression(*w, "NOSUCH = 1");
    click(*w, "BtnApplyFilter");  // a refused expression: one error box
    prompts.answers = {Answer::kNo};
    click(*w, "btn_delete_filter");  // the question, answered No: nothing happens
    EXPECT_EQ(boxes(kNoSaved), 1) << "the message does not come back";
    EXPECT_EQ(w->saved_list(), std::vector<std::string>{eq("legal")});
    EXPECT_FALSE(QFileInfo::exists(
        QString::fromStdString(DriveMap::current().to_host(P().list_file).string())));
}

TEST_P(FilterWindowTest, DeleteWithNoYesUnknownTextAndEmptyLines) {
    records::make_filter_folders();
    write_file_atomically(DriveMap::current().to_host(P().list_file),
                          eq("legal") + "\r\n\r\n" + eq("LEGAL") + "\r\n\r\n" + eq("medical"));
    auto w = make();
    w->show();
    ASSERT_EQ(w->saved_list().size(), 5u) << "empty lines load as empty items";

    type_expression(*w, eq("legal"));
    click(*w, "BtnApplyFilter");
    prompts.answers = {Answer::kNo};
    click(*w, "btn_delete_filter");
    ASSERT_EQ(prompts.boxes.back().caption, "RESPONSE REQUIRED");
    EXPECT_EQ(prompts.boxes.back().text,
              "This will delete the selected filter, reset to viewing all records, and save the "
              "filters immediately to disk.  Continue????\n\n");
    EXPECT_EQ(prompts.boxes.back().buttons, kit::Buttons::kYesNo);
    EXPECT_EQ(w->saved_list().size(), 5u);
    EXPECT_TRUE(data().filtered());

    // A text that is no item: nothing removed, yet the rewrite (without empty lines) and the
    // reset follow.
    type_expression(*w, eq("Legal"));
    prompts.answers = {Answer::kYes};
    click(*w, "btn_delete_filter");
    EXPECT_EQ(file_bytes(), eq("legal") + "\r\n" + eq("LEGAL") + "\r\n" + eq("medical") + "\r\n");
    EXPECT_EQ(w->saved_list(), (std::vector<std::string>{eq("legal"), eq("LEGAL"), eq("medical")}));
    EXPECT_FALSE(data().filtered());
    EXPECT_EQ(w->expression(), "");

    type_expression(*w, eq("LEGAL"));
    prompts.answers = {Answer::kYes};
    click(*w, "btn_delete_filter");
    EXPECT_EQ(file_bytes(), eq("legal") + "\r\n" + eq("medical") + "\r\n");
    EXPECT_EQ(w->saved_list(), (std::vector<std::string>{eq("legal"), eq("medical")}));
    EXPECT_EQ(data().record_count(), 5);
}

TEST_P(FilterWindowTest, FailedWriteLeavesTheOldFileWholeAndTheListAsOnDisk) {
    auto w = open_with({eq("legal"), eq("medical")});
    const std::string before = file_bytes();
    type_expression(*w, eq("added"));
    click(*w, "BtnClear");
    {
        FaultyFileSystem faulty;
        faulty.fail_write_after_bytes = 10;
        ScopedFileSystem scoped(&faulty);
        click(*w, "btn_save_list");
        type_expression(*w, eq("legal"));
        prompts.answers = {Answer::kYes};
        click(*w, "btn_delete_filter");
    }
    EXPECT_EQ(file_bytes(), before);
    EXPECT_EQ(w->saved_list(), (std::vector<std::string>{eq("legal"), eq("medical")}))
        << "read back from the file";
    int errors = 0;
    for (const SeenBox& b : prompts.boxes)
        if (b.text.find(P().list_file) != std::string::npos &&
            b.text.find("No space left") != std::string::npos)
            ++errors;
    EXPECT_EQ(errors, 2) << "each failure names the file and the reason";
}

TEST_P(FilterWindowTest, UnreadableListFileIsNeverReplaced) {
    records::make_filter_folders();
    const fs::path file = DriveMap::current().to_host(P().list_file);
    write_file_atomically(file, "A = '\xFF'\r\n");
    auto w = make();
    w->show();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_NE(prompts.boxes[0].text.find(P().list_file), std::string::npos);
    type_expression(*w, eq("legal"));
    click(*w, "BtnClear");
    click(*w, "btn_save_list");
    prompts.answers = {Answer::kYes};
    click(*w, "btn_delete_filter");
    EXPECT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(prompts.answers.size(), 1u) << "Delete refused before asking";
    prompts.answers.clear();
    EXPECT_EQ(read_whole_file(file), "A = '\xFF'\r\n");
}

TEST_P(FilterWindowTest, OpensThroughTheOpeningCallAndTheMenu) {
    records::make_filter_folders();
    records::write_filter_list(P().list_file, {eq("legal")});
    std::string seen;
    kit::queue_modal_hook([&](QDialog& d) {
        seen = d.objectName().toStdString();
        auto& w = dynamic_cast<FilterWindow&>(d);
        EXPECT_EQ(w.saved_list(), std::vector<std::string>{eq("legal")});
        click(w, "BtnClose");
    });
    filters::open_filter_window(&main(), P().target);
    const char* name =
        P().target == filters::FilterTarget::kPayments ? "Tfltr_pavoden2" : "Tfltr_jsearch";
    EXPECT_EQ(seen, name);
    kit::queue_modal_hook([&](QDialog& d) {
        seen = "menu " + d.objectName().toStdString();
        click(d, "BtnClose");
    });
    main()
        .item(P().target == filters::FilterTarget::kPayments ? "FilterPaymentRecords1"
                                                             : "FilterJobSearchRecords2")
        ->trigger();
    EXPECT_EQ(seen, std::string("menu ") + name);
}

INSTANTIATE_TEST_SUITE_P(
    BothWindows, FilterWindowTest, ::testing::ValuesIn(kTargets), [](const auto& info) {
        return std::string(info.param.target == filters::FilterTarget::kPayments ? "Payments"
                                                                                 : "JobSearch");
    });

}  // namespace
}  // namespace pavo::app::testing
