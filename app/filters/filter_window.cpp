// The filter builder window, written once for both shared datasets.
#include "app/filters/filter_window.h"

#include <QLineEdit>
#include <QTextCursor>
#include <algorithm>

#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "app/kit/widgets.h"
#include "app/picklists/pick_list_window.h"
#include "platform/error.h"
#include "records/filter_lists.h"

namespace pavo::app::filters {
namespace {

using kit::q;

constexpr const char* kNoSavedFiltersText =
    "There are no saved filters, please create one and do a \"Save List\"";
constexpr const char* kDeleteQuestionText =
    "This will delete the selected filter, reset to viewing all records, and save the filters "
    "immediately to disk.  Continue????\n\n";
constexpr const char* kRecordPendingText =
    "A record is being edited. Save or cancel it before changing the filter.";

std::string utf8(const QString& s) {
    return s.toStdString();
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect where) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(where);
    return b;
}

}  // namespace

FilterWindow::FilterWindow(QWidget* owner, const std::string& name, const std::string& dataset,
                           std::string list_file, const std::string& title)
    : KitWindow(owner, name, "Filter Condition", QSize(395, 345), {}, true),
      dataset_(picklists::shared_dataset(dataset)),
      list_file_(std::move(list_file)) {
    lbl_title = new QLabel(q(title), this);
    lbl_title->setObjectName("lbl_title");
    lbl_title->setGeometry(8, 4, 379, 20);
    QFont bold = lbl_title->font();
    bold.setBold(true);
    lbl_title->setFont(bold);
    lbl_manual = new QLabel("SEE MANUAL ON USE OF THIS FEATURE", this);
    lbl_manual->setObjectName("lbl_manual");
    lbl_manual->setGeometry(8, 24, 379, 16);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(8, 62, 236, 84);
    kit::caption_for(this, Memo1, "lbl_condition", "&Condition", 8, 44);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    // Saved expressions enter the list only through Clear and the list file.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(8, 172, 236, 22);
    kit::caption_for(this, ComboBox1, "lbl_list", "&List", 8, 154);

    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->setGeometry(8, 200, 236, 22);
    ComboBox2->setVisible(false);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSortingEnabled(true);
    ListBox1->setToolTip("Doubleclick to add");
    ListBox1->setGeometry(252, 62, 135, 130);
    kit::caption_for(this, ListBox1, "lbl_fields", "&Fields", 252, 44);

    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setToolTip("Double-click to add");
    for (const char* op : {">", "<", "= ", ">=", "<=", "<>", "AND", "OR", "(", ")"})
        ListBox2->addItem(QString::fromLatin1(op));
    ListBox2->setGeometry(252, 214, 135, 124);
    kit::caption_for(this, ListBox2, "lbl_operators", "&Operators", 252, 196);

    BtnApplyFilter = button(this, "BtnApplyFilter", "&Apply", {8, 232, 76, 25});
    BtnClear = button(this, "BtnClear", "Cl&ear", {88, 232, 76, 25});
    BtnClose = button(this, "BtnClose", "Clo&se", {168, 232, 76, 25});
    btn_load_list = button(this, "btn_load_list", "&Load List", {8, 262, 76, 25});
    btn_save_list = button(this, "btn_save_list", "&Save List", {88, 262, 76, 25});
    btn_delete_filter = button(this, "btn_delete_filter", "Delete &Filter", {168, 262, 76, 25});

    lbl_status = new QLabel(this);
    lbl_status->setObjectName("lbl_status");
    lbl_status->setGeometry(8, 294, 236, 18);

    auto run = [this](void (FilterWindow::*routine)()) {
        return [this, routine] { kit::guarded(this, [this, routine] { (this->*routine)(); }); };
    };
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, run(&FilterWindow::AddFieldName));
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, run(&FilterWindow::ListBox2DblClick));
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (!updating_) kit::guarded(this, [this] { Memo1Change(); });
    });
    // Typing and picking are the user's; the program's own setEditText emits neither.
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this,
            run(&FilterWindow::ComboBox1Change));
    connect(ComboBox1, qOverload<int>(&QComboBox::activated), this,
            run(&FilterWindow::ComboBox1Change));
    connect(BtnApplyFilter, &QPushButton::clicked, this, run(&FilterWindow::ApplyFilter));
    connect(BtnClear, &QPushButton::clicked, this, run(&FilterWindow::SBtnClearClick));
    connect(BtnClose, &QPushButton::clicked, this, run(&FilterWindow::SBtnCloseClick));
    connect(btn_load_list, &QPushButton::clicked, this, run(&FilterWindow::btn_load_listClick));
    connect(btn_save_list, &QPushButton::clicked, this, run(&FilterWindow::btn_save_listClick));
    connect(btn_delete_filter, &QPushButton::clicked, this,
            run(&FilterWindow::btn_delete_filterClick));

    FormCreate();
}

void FilterWindow::FormCreate() {
    for (const std::string& field : dataset_.field_names()) ListBox1->addItem(q(field));
    updating_ = true;
    Memo1->clear();
    ComboBox1->setEditText(QString());
    updating_ = false;
}

// Runs when the window opens and when it is active again after another window of the program
// closed; the window's own message boxes are no activation, so they neither repeat nor reload the
// list over what Clear collected.
void FilterWindow::FormActivate() {
    load_list();
}

std::string FilterWindow::expression() const {
    return utf8(ComboBox1->currentText());
}

std::vector<std::string> FilterWindow::saved_list() const {
    std::vector<std::string> out;
    out.reserve(ComboBox1->count());
    for (int i = 0; i < ComboBox1->count(); ++i) out.push_back(utf8(ComboBox1->itemText(i)));
    return out;
}

void FilterWindow::append_to_condition(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    if (!item) return;
    const QString text = Memo1->toPlainText();
    // Set through the box so that Memo1Change joins the lines into the expression.
    Memo1->setPlainText(text.isEmpty() ? item->text() : text + ' ' + item->text());
    Memo1->moveCursor(QTextCursor::End);
}

void FilterWindow::AddFieldName() {
    append_to_condition(ListBox1);
}

void FilterWindow::ListBox2DblClick() {
    append_to_condition(ListBox2);
}

void FilterWindow::Memo1Change() {
    if (updating_) return;
    std::vector<std::string> lines;
    for (const QString& line : Memo1->toPlainText().split('\n')) lines.push_back(utf8(line));
    if (Memo1->toPlainText().isEmpty()) lines.clear();
    set_expression_text(q(records::join_condition_lines(lines)));
}

void FilterWindow::ComboBox1Change() {
    if (updating_) return;
    QLineEdit* edit = ComboBox1->lineEdit();
    QString text = ComboBox1->currentText();
    if (text.contains('\n') || text.contains('\r')) {
        // A pasted line break would split the expression when it is saved: each becomes a blank,
        // and the cursor stays behind what was typed.
        const int cursor = edit->cursorPosition();
        const QString before = q(records::line_breaks_to_blanks(utf8(text.left(cursor))));
        text = q(records::line_breaks_to_blanks(utf8(text)));
        set_expression_text(text);
        edit->setCursorPosition(static_cast<int>(before.size()));
    }
    updating_ = true;
    Memo1->setPlainText(text);
    updating_ = false;
}

void FilterWindow::set_expression_text(const QString& text) {
    updating_ = true;
    if (ComboBox1->currentText() != text) {
        const int cursor = ComboBox1->lineEdit()->cursorPosition();
        ComboBox1->setEditText(text);
        ComboBox1->lineEdit()->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
    }
    updating_ = false;
}

bool FilterWindow::refuse_while_editing() {
    const tables::DatasetState s = dataset_.state();
    if (s != tables::DatasetState::kEdit && s != tables::DatasetState::kInsert) return false;
    // Closing the dataset would throw the pending record away.
    kit::message_box(this, "MESSAGE", kRecordPendingText, kit::Buttons::kOk);
    return true;
}

void FilterWindow::ApplyFilter() {
    if (refuse_while_editing()) return;
    run_apply();
}

void FilterWindow::run_apply() {
    const std::string text = expression();
    try {
        lbl_status->setText(q(records::filter_count_text(records::apply_filter(dataset_, text))));
    } catch (const Error& e) {
        lbl_status->clear();
        place_cursor_at_error(e.what(), text);
        throw;
    }
}

void FilterWindow::place_cursor_at_error(const std::string& message,
                                         const std::string& expression) {
    const int position = records::filter_error_position(message);
    if (position <= 0) return;
    // Condition lines and expression have the same length (a line break for each joining blank),
    // so the character offset in one is the offset in the other.
    const std::size_t bytes = std::min<std::size_t>(position - 1, expression.size());
    const int offset = static_cast<int>(q(expression.substr(0, bytes)).size());
    QTextCursor cursor = Memo1->textCursor();
    cursor.setPosition(std::min(offset, static_cast<int>(Memo1->toPlainText().size())));
    Memo1->setTextCursor(cursor);
    Memo1->setFocus();
}

void FilterWindow::SBtnClearClick() {
    if (refuse_while_editing()) return;
    run_clear();
}

void FilterWindow::run_clear() {
    const QString remembered = ComboBox1->currentText();
    updating_ = true;
    Memo1->clear();
    updating_ = false;
    set_expression_text(QString());
    // Exact comparison: case and blanks make a different filter.
    if (!remembered.isEmpty() &&
        ComboBox1->findText(remembered, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        updating_ = true;
        ComboBox1->addItem(remembered);
        ComboBox1->setEditText(QString());  // the first item added would become the text
        updating_ = false;
    }
    run_apply();
}

void FilterWindow::SBtnCloseClick() {
    close_window();
}

void FilterWindow::btn_load_listClick() {
    load_list();
}

void FilterWindow::load_list() {
    records::make_filter_folders();
    std::optional<std::vector<std::string>> items;
    try {
        items = records::read_filter_list(list_file_);
    } catch (const Error& e) {
        unread_error_ = e.what();
        throw;
    }
    unread_error_.reset();
    if (!items) {
        kit::message_box(this, "ERROR", kNoSavedFiltersText, kit::Buttons::kOk);
        return;
    }
    fill_list(*items);
}

void FilterWindow::fill_list(const std::vector<std::string>& items) {
    const QString text = ComboBox1->currentText();
    QStringList list;
    list.reserve(static_cast<int>(items.size()));
    for (const std::string& item : items) list.push_back(q(item));
    updating_ = true;
    ComboBox1->clear();
    ComboBox1->addItems(list);
    ComboBox1->setEditText(text);
    updating_ = false;
}

void FilterWindow::throw_if_unread() {
    if (unread_error_)
        throw Error(ErrorKind::kInvalidInput,
                    *unread_error_ + "\nThe list was not read, so it is not written either.");
}

void FilterWindow::write_list(const std::vector<std::string>& items) {
    try {
        records::write_filter_list(list_file_, items);
    } catch (const Error&) {
        reload_after_failed_write();
        throw;
    }
}

void FilterWindow::reload_after_failed_write() {
    // The file was left as it was; the window shows what it holds.
    try {
        if (auto items = records::read_filter_list(list_file_)) fill_list(*items);
    } catch (const Error& e) {
        unread_error_ = e.what();
    }
}

void FilterWindow::btn_save_listClick() {
    throw_if_unread();
    records::make_filter_folders();
    write_list(saved_list());
}

void FilterWindow::btn_delete_filterClick() {
    throw_if_unread();
    if (refuse_while_editing()) return;
    if (kit::message_box(this, "RESPONSE REQUIRED", kDeleteQuestionText, kit::Buttons::kYesNo) !=
        kit::Answer::kYes)
        return;
    const int found =
        ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    updating_ = true;
    if (found >= 0) {
        const QString text = ComboBox1->currentText();
        ComboBox1->removeItem(found);
        ComboBox1->setEditText(text);
    }
    ComboBox2->clear();
    for (int i = 0; i < ComboBox1->count(); ++i)
        if (!ComboBox1->itemText(i).isEmpty()) ComboBox2->addItem(ComboBox1->itemText(i));
    updating_ = false;
    records::make_filter_folders();
    updating_ = true;
    ComboBox1->clear();
    ComboBox1->setEditText(QString());
    updating_ = false;
    std::vector<std::string> scratch;
    for (int i = 0; i < ComboBox2->count(); ++i) scratch.push_back(utf8(ComboBox2->itemText(i)));
    write_list(scratch);
    load_list();
    run_clear();
}

}  // namespace pavo::app::filters
