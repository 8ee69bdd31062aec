// The kit the record windows stand on: one commit per user command, windows that declare their
// buttons, close box, navigation and message panel, the date picker over a field, the report memo,
// and grid column alignment.
#include <sqlite3.h>

#include <QFontInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "app/kit/date_picker.h"
#include "app/kit/db_controls.h"
#include "app/kit/db_grid.h"
#include "app/kit/long_run.h"
#include "app/kit/maintenance_window.h"
#include "app/kit/report_memo.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "tables/src/connection.h"

namespace pavo::app::testing {
namespace {

using tables::FieldType;

int count_commit(void* counter) {
    ++*static_cast<int*>(counter);
    return 0;
}

// The connection every Table of this process shares for the table's file.
sqlite3* connection_of(const tables::Table& t) {
    return tables::Connection::acquire(t.file_path(), false)->db();
}

// Counts the commits on a table's file while it lives. The table layer also commits a transaction
// older than half a second; that limit is lifted meanwhile, so the count does not depend on speed.
class CommitCounter {
  public:
    explicit CommitCounter(const tables::Table& t) : db_(connection_of(t)) {
        tables::set_max_transaction_age(std::chrono::hours(1));
        sqlite3_commit_hook(db_, count_commit, &commits_);
    }
    ~CommitCounter() {
        sqlite3_commit_hook(db_, nullptr, nullptr);
        tables::set_max_transaction_age(std::chrono::milliseconds(500));
    }
    int commits() const { return commits_; }

  private:
    sqlite3* db_;
    int commits_ = 0;
};

// Another program reading the file: while it holds its read lock no commit can finish.
class Reader {
  public:
    explicit Reader(const std::string& file) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN; SELECT count(*) FROM data;", nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    ~Reader() { sqlite3_close(db_); }

  private:
    sqlite3* db_ = nullptr;
};

std::vector<std::string> names_in(tables::Table& t) {
    std::vector<std::string> out;
    t.refresh();
    for (t.first(); !t.eof(); t.next()) out.push_back(t.field("NAME").as_string());
    return out;
}

class RecordKitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        make_directories("c:\\kit");
        kit::set_prompter(&prompts);
    }
    void TearDown() override {
        kit::set_prompter(nullptr);
        EXPECT_EQ(prompts.unscripted, 0) << "a box came that the test did not expect";
        EXPECT_TRUE(prompts.answers.empty()) << "a scripted answer was never asked for";
    }
    std::unique_ptr<tables::Table> names_table(const std::vector<std::string>& names,
                                               const std::string& file = "names.db") {
        auto t = kit_table(file, {{"NAME", FieldType::kString, 20, true},
                                  {"NOTE", FieldType::kString, 20, false}});
        for (const std::string& n : names) {
            t->append();
            t->field("NAME").set_as_string(n);
            t->post();
        }
        t->first();
        return t;
    }
    pavo::testing::TempHome home;
    ScriptedPrompter prompts;
};

// --- The command runner.

TEST_F(RecordKitTest, RunnerCommitsACommandOnceAndKeepsWhatAFailedCommandPosted) {
    auto t = names_table({});
    {
        CommitCounter counter(*t);
        const bool ok = kit::guarded(nullptr, [&] {
            for (int i = 0; i < 1000; ++i) {
                t->append();
                t->field("NAME").set_as_string("N" + std::to_string(i));
                t->post();
            }
        });
        EXPECT_TRUE(ok);
        EXPECT_EQ(counter.commits(), 1);
    }
    EXPECT_EQ(t->record_count(), 1000);

    // A command that fails half way: the error is shown, the rows posted before it are committed
    // by the runner's own commit.
    CommitCounter counter(*t);
    EXPECT_FALSE(kit::guarded(nullptr, [&] {
        t->append();
        t->field("NAME").set_as_string("BEFORE");
        t->post();
        throw Error(ErrorKind::kInvalidInput, "stopped half way");
    }));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "stopped half way");
    EXPECT_EQ(counter.commits(), 1);
    EXPECT_TRUE(t->locate("NAME", {"BEFORE"}));
}

TEST_F(RecordKitTest, RunnerShowsARefusedCommitAndTheViewsShowTheFile) {
    auto t = names_table({"ADA"});
    auto other = std::make_unique<tables::Table>();
    other->set_database_name("c:\\kit");
    other->set_table_name("names.db");
    other->open();
    sqlite3_busy_timeout(connection_of(*t), 0);
    {
        Reader reader(t->file_path());
        const bool ok = kit::guarded(nullptr, [&] {
            t->append();
            t->field("NAME").set_as_string("LOST");
            t->post();
            other->refresh();
            EXPECT_EQ(other->record_count(), 2) << "the post was seen before the commit";
        });
        EXPECT_FALSE(ok) << "a refused commit was reported as success";
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    const std::string& text = prompts.boxes[0].text;
    EXPECT_NE(text.find("names.db"), std::string::npos) << text;
    EXPECT_NE(text.find("locked"), std::string::npos) << text;
    for (tables::Table* view : {t.get(), other.get()})
        EXPECT_EQ(names_in(*view), std::vector<std::string>{"ADA"}) << "a view kept a lost row";
    // The next command works on the file as it is.
    EXPECT_TRUE(kit::guarded(nullptr, [&] {
        t->append();
        t->field("NAME").set_as_string("BOB");
        t->post();
    }));
    EXPECT_EQ(names_in(*other), (std::vector<std::string>{"ADA", "BOB"}));
}

// --- Long runs.

class LongRunTest : public RecordKitTest {
  protected:
    void SetUp() override {
        RecordKitTest::SetUp();
        left = names_table({"A", "B", "C"}, "left.db");
        right = names_table({"X", "Y"}, "right.db");
        cancel = new QPushButton("Cancel", &form);
        cancel->setObjectName("btn_cancel");
        cancel->setGeometry(0, 0, 80, 25);
        cancel->setEnabled(false);
        label = new QLabel(&form);
        label->setGeometry(0, 30, 200, 20);
        other = new QLineEdit(&form);
        other->setGeometry(0, 60, 200, 22);
        form.resize(300, 100);
        form.show();
    }
    // One record of a scan: a row added to one table and a row changed in the other.
    void step(int i) {
        left->append();
        left->field("NAME").set_as_string("L" + std::to_string(i));
        left->post();
        right->first();
        right->edit();
        right->field("NOTE").set_as_string("seen " + std::to_string(i));
        right->post();
    }
    void expect_untouched() {
        EXPECT_EQ(names_in(*left), (std::vector<std::string>{"A", "B", "C"}));
        EXPECT_EQ(names_in(*right), (std::vector<std::string>{"X", "Y"}));
        right->first();
        EXPECT_EQ(right->field("NOTE").as_string(), "");
    }
    QWidget form;
    std::unique_ptr<tables::Table> left, right;
    QPushButton* cancel;
    QLabel* label;
    QLineEdit* other;
};

TEST_F(LongRunTest, CancelledHalfwayLeavesTheTablesAsBefore) {
    kit::LongRun run(cancel, label);
    // 60 ms a record: waiting events are handled after every record.
    std::chrono::steady_clock::time_point now{};
    run.set_clock([&] { return now += std::chrono::milliseconds(60); });
    const bool done = run.run({left.get(), right.get()}, 1000, [&](int i) {
        step(i);
        EXPECT_TRUE(cancel->isEnabled()) << "Cancel is offered during the run";
        // What the user does meanwhile: typing into a field is dropped, Cancel's click is taken.
        if (i == 100) {
            QCoreApplication::postEvent(
                other, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
            QMetaObject::invokeMethod(form.windowHandle(), "close", Qt::QueuedConnection);
        }
        if (i == 499) {
            const QPointF at(5, 5);
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    cancel, new QMouseEvent(
                                type, at, cancel->mapToGlobal(at), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
    });
    EXPECT_FALSE(done);
    EXPECT_TRUE(run.cancelled());
    EXPECT_EQ(label->text(), "500 of 1000") << "the final figure is where the run stopped";
    QCoreApplication::processEvents();
    EXPECT_EQ(other->text(), "") << "a key reached a field during the run";
    EXPECT_TRUE(form.isVisible()) << "a window closed under the run";
    EXPECT_FALSE(cancel->isEnabled()) << "the button gets its state back";
    expect_untouched();
    // A table opened afresh reads the file as it was.
    auto fresh = std::make_unique<tables::Table>();
    fresh->set_database_name("c:\\kit");
    fresh->set_table_name("left.db");
    fresh->open();
    EXPECT_EQ(fresh->record_count(), 3);
    // Once the run is over, input flows again.
    QTest::keyClicks(other, "ok");
    EXPECT_EQ(other->text(), "ok");
}

TEST_F(LongRunTest, AFailingStepRollsBackAndAFullRunCommits) {
    kit::LongRun run(cancel, label);
    EXPECT_THROW(run.run({left.get(), right.get()}, 100,
                         [&](int i) {
                             step(i);
                             if (i == 40) throw Error(ErrorKind::kInvalidInput, "bad record");
                         }),
                 Error);
    expect_untouched();

    EXPECT_TRUE(run.run({left.get(), right.get()}, 100, [&](int i) { step(i); }));
    EXPECT_FALSE(run.cancelled());
    EXPECT_EQ(label->text(), "100 of 100");
    EXPECT_EQ(left->record_count(), 103);
    right->first();
    EXPECT_EQ(right->field("NOTE").as_string(), "seen 99");
}

TEST_F(LongRunTest, ProgressIsShownAtMostEveryFiftyMillisecondsAndAlwaysAtTheEnd) {
    kit::LongRun run(nullptr, label);
    struct Case {
        int count;
        int step_ms;
        int shown;
    };
    // 10 ms a record: every fifth record; the last figure is added when it was not just shown.
    const Case cases[] = {{100, 10, 20}, {99, 10, 20}, {3, 10, 1}, {10, 60, 10}, {0, 10, 1}};
    for (const Case& c : cases) {
        std::chrono::steady_clock::time_point now{};
        run.set_clock([&] {
            const auto t = now;
            now += std::chrono::milliseconds(c.step_ms);
            return t;
        });
        EXPECT_TRUE(run.run({left.get()}, c.count, [](int) {}));
        EXPECT_EQ(run.progress_shown(), c.shown) << c.count << " records, " << c.step_ms << " ms";
        EXPECT_EQ(label->text().toStdString(),
                  std::to_string(c.count) + " of " + std::to_string(c.count));
    }
}

// --- Windows that declare their panel.

// The shape of the payment and job-search windows: no Exit, own buttons, a close box, the
// navigation group and the message panel.
class RecordWindow : public kit::MaintenanceWindow {
  public:
    explicit RecordWindow(kit::DataSource* ds)
        : MaintenanceWindow(nullptr, "Records", "Records", {700, 600}, {}, declared(this)) {
        set_data_source(ds);
        fld_name = new kit::DBEdit(this, "fld_name");
        fld_name->bind(ds, "NAME");
        kit::caption_for(this, fld_name, "Label1", "NAME", 200, 10);
        fld_name->setGeometry(200, 30, 200, 22);
    }
    kit::DBEdit* fld_name;
    int followups = 0;

  private:
    static kit::MaintenanceLayout declared(RecordWindow* w) {
        kit::MaintenanceLayout l;
        l.buttons = {kit::Command::kAdd,
                     {"btn_followup", "Followup", [w] { ++w->followups; }},
                     kit::Command::kEdit,
                     kit::Command::kDelete,
                     kit::Command::kSave,
                     kit::Command::kCancel,
                     {"Button2", "Filter Records",
                      [] { throw Error(ErrorKind::kInvalidInput, "no filter"); }}};
        l.close_box = true;
        l.navigation_caption = "> NAVIGATING RECORDS <";
        l.message_panel_height = 120;
        l.add_disabled_in_edit = true;
        return l;
    }
};

TEST_F(RecordKitTest, WindowHasTheButtonsItDeclaresInOrderAndTheirModes) {
    auto t = names_table({"ADA", "BOB", "CY"});
    kit::DataSource ds(t.get(), nullptr, "ds");
    RecordWindow w(&ds);
    w.show();
    EXPECT_EQ(w.btn_exit, nullptr) << "Exit was not declared";
    const char* order[] = {"btn_add",  "btn_followup", "btn_edit", "btn_delete",
                           "btn_save", "btn_cancel",   "Button2"};
    int last_top = -1;
    for (const char* name : order) {
        QPushButton* b = w.button(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_GT(b->y(), last_top) << name << " is out of order";
        last_top = b->y();
        EXPECT_LE(b->geometry().bottom(), w.GroupBox1->contentsRect().bottom()) << name;
    }
    EXPECT_GT(w.GroupBox1->height(), 200) << "seven buttons need a taller group";
    EXPECT_GT(w.GroupBox2->y(), w.GroupBox1->geometry().bottom()) << "groups overlap";
    EXPECT_LE(w.Panel1->geometry().bottom(), w.Panel2->y()) << "the message panel lies below";

    // Own buttons run through the runner and keep their state in both modes.
    click(w, "btn_followup");
    EXPECT_EQ(w.followups, 1);
    click(w, "Button2");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "no filter");

    struct Mode {
        const char* name;
        bool normal;
        bool edit;
    };
    const Mode modes[] = {{"btn_add", true, false},         {"btn_edit", true, false},
                          {"btn_save", false, true},        {"btn_first_record", true, false},
                          {"btn_next_record", true, false}, {"btn_followup", true, true},
                          {"Button2", true, true}};
    click(w, "btn_edit");
    for (const Mode& m : modes) EXPECT_EQ(enabled(w, m.name), m.edit) << m.name << " in edit mode";
    click(w, "btn_cancel");
    for (const Mode& m : modes) EXPECT_EQ(enabled(w, m.name), m.normal) << m.name << " normal";
}

TEST_F(RecordKitTest, NavigationGroupMovesThroughTheDatasetOrder) {
    auto t = names_table({"ADA", "BOB", "CY"});
    kit::DataSource ds(t.get(), nullptr, "ds");
    RecordWindow w(&ds);
    w.show();
    const struct {
        const char* button;
        const char* shown;
    } steps[] = {{"btn_last_record", "CY"},   {"btn_previous_record", "BOB"},
                 {"btn_first_record", "ADA"}, {"btn_previous_record", "ADA"},
                 {"btn_next_record", "BOB"},  {"btn_next_record", "CY"},
                 {"btn_next_record", "CY"}};
    for (const auto& s : steps) {
        click(w, s.button);
        EXPECT_EQ(w.fld_name->text().toStdString(), s.shown) << "after " << s.button;
    }
}

TEST_F(RecordKitTest, MessagePanelIsLimeAndEmptiedOnActivation) {
    auto t = names_table({"ADA"});
    kit::DataSource ds(t.get(), nullptr, "ds");
    RecordWindow w(&ds);
    w.show();
    w.add_message("one");
    w.add_message("two");
    EXPECT_EQ(w.listbox_errors->count(), 2);
    w.activated();
    EXPECT_EQ(w.listbox_errors->count(), 0);
    EXPECT_EQ(w.Panel2->colour(), kit::kLime);
    EXPECT_EQ(w.listbox_errors->palette().color(QPalette::Base), kit::kLime);
}

TEST_F(RecordKitTest, CloseBoxAsksAboutAPendingRecord) {
    struct Case {
        const char* what;
        kit::Answer answer;
        bool closes;
        int rows_after;
    };
    const Case cases[] = {
        {"Yes saves the new record", kit::Answer::kYes, true, 2},
        {"No drops it", kit::Answer::kNo, true, 1},
        {"Cancel keeps the window and the record", kit::Answer::kCancel, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.boxes.clear();
        auto t = names_table({"ADA"}, "names" + std::to_string(&c - cases) + ".db");
        kit::DataSource ds(t.get(), nullptr, "ds");
        RecordWindow w(&ds);
        w.show();
        click(w, "btn_add");
        QTest::keyClicks(w.fld_name, "NEW");
        prompts.answers.push_back(c.answer);
        w.close();
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, kit::kPendingRecordText);
        EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNoCancel);
        EXPECT_EQ(w.isVisible(), !c.closes);
        EXPECT_EQ(ds.editing(), !c.closes);
        EXPECT_EQ(t->record_count(), c.rows_after);
        if (!c.closes) w.force_close();
    }
}

TEST_F(RecordKitTest, CloseBoxClosesAtOnceWithNothingPendingAndStaysWhenSavingFails) {
    auto t = names_table({"ADA"});
    kit::DataSource ds(t.get(), nullptr, "ds");
    {
        RecordWindow w(&ds);
        w.show();
        w.close();
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(prompts.boxes.empty()) << "nothing pending, nothing to ask";
    }
    RecordWindow w(&ds);
    w.show();
    // A new record with an empty required key: Yes tries to save it, the post is refused, the
    // window stays open with the record still pending.
    click(w, "btn_add");
    ds.dataset().field("NOTE").set_as_string("X");
    prompts.answers.push_back(kit::Answer::kYes);
    w.close();
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_NE(prompts.boxes[1].text.find("NAME"), std::string::npos) << prompts.boxes[1].text;
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(ds.editing());
    // Escape is the close box too.
    prompts.answers.push_back(kit::Answer::kNo);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(t->record_count(), 1);
}

TEST_F(RecordKitTest, WindowWithoutCloseBoxIgnoresCloseAndEscape) {
    kit::MaintenanceWindow w(nullptr, "Plain", "", {600, 361});
    w.show();
    EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
    w.close();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.GroupBox1->height(), 200) << "six buttons keep their 200-pixel group";
    EXPECT_EQ(w.GroupBox2, nullptr);
    EXPECT_EQ(w.listbox_errors, nullptr);
    w.btn_exitClick();
    EXPECT_FALSE(w.isVisible());
}

// --- The date picker over a field.

TEST_F(RecordKitTest, DatePickerOverAFieldIsSetFromTextsAndMayBeEmpty) {
    QWidget form;
    QLineEdit field(&form);
    field.setGeometry(10, 20, 120, 22);
    kit::FieldDatePicker picker(&form, "DateTimePicker_date");
    picker.place_over(&field);
    picker.show();
    form.show();
    EXPECT_EQ(picker.geometry(), field.geometry());
    field.setGeometry(30, 40, 140, 24);
    EXPECT_EQ(picker.geometry(), field.geometry()) << "the picker follows its field";

    struct Case {
        const char* text;
        const char* fallback;
        const char* value;
    };
    const Case cases[] = {
        {"3/4/2021", "", "3/4/2021"},   {" 12/31/1999 ", "1/1/2000", "12/31/1999"},
        {"", "2/29/2024", "2/29/2024"}, {"", "", ""},
        {"1/15/2030", "", "1/15/2030"},
    };
    for (const Case& c : cases) {
        picker.set_from_text(c.text, c.fallback);
        EXPECT_EQ(picker.short_date_text(), c.value) << c.text << " / " << c.fallback;
        EXPECT_EQ(picker.empty(), std::string(c.value).empty());
    }
    // A text that is not a date is refused; the picker keeps its date.
    for (const char* bad : {"13/1/2020", "soon", "2/30/2021"}) {
        try {
            picker.set_from_text(bad);
            ADD_FAILURE() << bad << " was taken";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kConversion) << bad;
        }
        EXPECT_EQ(picker.short_date_text(), "1/15/2030");
    }

    // The user empties it with Delete; it shows nothing.
    picker.setFocus();
    QTest::keyClick(&picker, Qt::Key_Delete);
    EXPECT_TRUE(picker.empty());
    EXPECT_EQ(picker.short_date_text(), "");
    EXPECT_EQ(picker.text().trimmed(), "");

    const clock::ScopedFixedTime fixed({2026, 7, 4, 9, 30, 0});
    picker.set_today();
    EXPECT_EQ(picker.short_date_text(), "7/4/2026");
}

TEST_F(RecordKitTest, BoundDatePickerShowsTheClocksTodayForAnEmptyField) {
    auto t = kit_table("dated.db",
                       {{"ID", FieldType::kString, 4, true}, {"DAY", FieldType::kDate, 0, false}});
    t->append();
    t->field("ID").set_as_string("1");
    t->post();
    const clock::ScopedFixedTime fixed({2024, 2, 29, 23, 59, 0});
    kit::DataSource ds(t.get(), nullptr, "ds");
    QWidget form;
    kit::DBDatePicker day(&form, "fld_day");
    day.bind(&ds, "DAY");
    EXPECT_EQ(day.date(), QDate(2024, 2, 29));
}

// --- The report memo.

TEST_F(RecordKitTest, ReportMemoTakesTwentyThousandLinesAndSavesThemWithCrLf) {
    QWidget form;
    kit::ReportMemo memo(&form, "Memo1");
    memo.setGeometry(0, 0, 400, 300);
    form.show();
    EXPECT_TRUE(QFontInfo(memo.font()).fixedPitch());
    EXPECT_EQ(memo.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo.line_count(), 0);

    auto text_of = [](int i) {
        return i % 1000 == 7 ? std::string() : "LINE " + std::to_string(i) + "  \xc3\xa9";
    };
    for (int i = 0; i < 20000; ++i) memo.add_line(text_of(i));
    ASSERT_EQ(memo.line_count(), 20000);
    for (int i : {0, 1, 7, 1999, 2000, 2001, 12345, 19999})
        EXPECT_EQ(memo.line(i), text_of(i)) << "line " << i;
    EXPECT_EQ(memo.line(20000), "");

    memo.save_to_file("c:\\kit\\reports\\memo.txt");
    std::ifstream in(home.drive_c() / "kit" / "reports" / "memo.txt", std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    std::string expected;
    for (int i = 0; i < 20000; ++i) expected += text_of(i) + "\r\n";
    EXPECT_EQ(saved, expected);

    memo.clear_lines();
    EXPECT_EQ(memo.line_count(), 0);
    // An empty first line shown on its own stays a line of its own.
    memo.add_line("");
    memo.flush();
    memo.add_line("after");
    EXPECT_EQ(memo.line_count(), 2);
    EXPECT_EQ(memo.line(0), "");
    EXPECT_EQ(memo.line(1), "after");
}

TEST_F(RecordKitTest, ReportMemoSaveFailureNamesTheFileAndLeavesNothing) {
    QWidget form;
    kit::ReportMemo memo(&form, "Memo1");
    memo.add_line("x");
    // A file where the folder should be.
    std::ofstream(home.drive_c() / "kit" / "blocked") << "file";
    try {
        memo.save_to_file("c:\\kit\\blocked\\memo.txt");
        ADD_FAILURE() << "the save reported success";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("blocked"), std::string::npos) << e.what();
    }
    EXPECT_EQ(memo.line_count(), 1) << "the memo keeps its lines";
}

// --- Grid alignment.

TEST_F(RecordKitTest, GridColumnsAlignAsDeclared) {
    auto t = kit_table("amounts.db", {{"NAME", FieldType::kString, 10, true},
                                      {"AMOUNT", FieldType::kFloat, 0, false}});
    t->append();
    t->field("NAME").set_as_string("A");
    t->field("AMOUNT").set_as_float(12.5);
    t->post();
    kit::DataSource ds(t.get(), nullptr, "ds");
    QWidget form;
    kit::DBGrid grid(&form, "DBGrid1", &ds);
    kit::GridColumn name;
    name.field = "NAME";
    kit::GridColumn amount;
    amount.field = "AMOUNT";
    amount.right_aligned = true;
    grid.set_columns({name, amount});
    kit::DatasetModel* m = grid.dataset_model();
    EXPECT_FALSE(m->data(m->index(0, 0), Qt::TextAlignmentRole).isValid());
    const auto align = m->data(m->index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>();
    EXPECT_TRUE(align & Qt::AlignRight);
    EXPECT_EQ(m->data(m->index(0, 1), Qt::DisplayRole).toString(), "12.5");
}

}  // namespace
}  // namespace pavo::app::testing
