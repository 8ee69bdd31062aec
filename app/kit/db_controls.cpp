// Data-aware entry controls.
#include "app/kit/db_controls.h"

#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "utility/text_conv.h"

namespace pavo::app::kit {

using tables::FieldType;

namespace {

// A truth value reads as "True"/"False" whatever the table layer's own text form is, so the
// fixed lists and the start-up checks compare against one spelling.
std::string text_of(tables::Field f) {
    if (f.type() == FieldType::kBoolean && !f.is_null()) return format_bool(f.as_boolean());
    return f.as_string();
}

}  // namespace

void FieldLink::bind(DataSource* source, const std::string& field) {
    source_ = source;
    field_ = field;
    field_index_ = -1;
    hook(dynamic_cast<QObject*>(this));
}

void FieldLink::hook(QObject* control) {
    if (!source_) return;
    QObject::connect(source_, &DataSource::dataChanged, control, [this] { load(); });
    QObject::connect(source_, &DataSource::scrolled, control, [this] { load(); });
    QObject::connect(source_, &DataSource::stateChanged, control, [this] {
        load();
        state_changed();
    });
    QObject::connect(source_, &DataSource::fieldChanged, control, [this](int index) {
        if (writing_) return;
        if (field_index_ < 0 && source_->active()) {
            try {
                field_index_ = source_->dataset().field(field_).index();
            } catch (const Error&) {
                return;
            }
        }
        if (index == field_index_) load();
    });
    load();
    state_changed();
}

std::string FieldLink::field_text() const {
    if (!source_ || !source_->active()) return {};
    tables::Table& t = source_->dataset();
    if (t.record_count() == 0 && !source_->editing()) return {};
    try {
        return text_of(t.field(field_));
    } catch (const Error&) {
        return {};
    }
}

bool FieldLink::write_text(QWidget* owner, const std::string& text) {
    if (!source_ || !source_->editing()) return false;
    writing_ = true;
    const bool ok = guarded(owner, [&] {
        tables::Field f = source_->dataset().field(field_);
        if (f.type() == FieldType::kBoolean) {
            if (text.empty()) {
                f.clear();
            } else {
                const auto value = parse_bool(text);
                if (!value)
                    throw Error(ErrorKind::kConversion,
                                "'" + text + "' is not a valid boolean value");
                f.set_as_boolean(*value);
            }
        } else {
            f.set_as_string(text);
        }
    });
    writing_ = false;
    return ok;
}

// --- DBEdit

DBEdit::DBEdit(QWidget* parent, const std::string& name) : QLineEdit(parent) {
    setObjectName(q(name));
    connect(this, &QLineEdit::textEdited, this, &DBEdit::on_edited);
}

void DBEdit::load() {
    if (writing_) return;
    const QString text = q(field_text());
    if (text != this->text()) setText(text);
    if (maxLength() == 32767 && source_ && source_->active()) {
        try {
            tables::Field f = source_->dataset().field(field_);
            if (f.type() == FieldType::kString && f.size() > 0) setMaxLength(f.size());
        } catch (const Error&) {
        }
    }
}

void DBEdit::state_changed() {
    setReadOnly(source_ && !source_->editing());
}

void DBEdit::on_edited(const QString& typed) {
    QString text = typed;
    if (upper_ && text != text.toUpper()) {
        const int pos = cursorPosition();
        text = text.toUpper();
        setText(text);
        setCursorPosition(pos);
    }
    write_text(this, text.toStdString());
}

UpperEdit::UpperEdit(QWidget* parent, const std::string& name, int max_length) : QLineEdit(parent) {
    setObjectName(q(name));
    if (max_length > 0) setMaxLength(max_length);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) {
        if (typed == typed.toUpper()) return;
        const int pos = cursorPosition();
        setText(typed.toUpper());
        setCursorPosition(pos);
    });
}

// --- DBLookupCombo

DBLookupCombo::DBLookupCombo(QWidget* parent, const std::string& name) : QComboBox(parent) {
    setObjectName(q(name));
    setEditable(false);
    connect(this, &QComboBox::activated, this, &DBLookupCombo::on_activated);
}

void DBLookupCombo::set_list_source(DataSource* list, const std::string& key_field,
                                    const std::string& list_field) {
    list_ = list;
    key_field_ = key_field;
    list_field_ = list_field;
    connect(list_, &DataSource::dataChanged, this, [this] { refresh_list(); });
    refresh_list();
}

void DBLookupCombo::refresh_list() {
    if (!list_ || !list_->active()) return;
    tables::Table& t = list_->dataset();
    std::vector<std::string> keys;
    QStringList shown;
    guarded(this, [&] {
        const int key_index = t.field(key_field_).index();
        const int list_index = t.field(list_field_).index();
        const int n = t.record_count();
        for (int row = 1; row <= n; ++row) {
            keys.push_back(t.text_at(row, key_index));
            shown << q(t.text_at(row, list_index));
        }
    });
    const bool was = blockSignals(true);
    clear();
    addItems(shown);
    keys_ = std::move(keys);
    blockSignals(was);
    load();
}

void DBLookupCombo::showPopup() {
    refresh_list();
    QComboBox::showPopup();
}

void DBLookupCombo::load() {
    if (writing_) return;
    const std::string value = field_text();
    int found = -1;
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == value) found = static_cast<int>(i);
    const bool was = blockSignals(true);
    setCurrentIndex(found);
    blockSignals(was);
}

void DBLookupCombo::on_activated(int index) {
    if (index < 0 || index >= static_cast<int>(keys_.size())) return;
    if (!write_text(this, keys_[static_cast<std::size_t>(index)])) load();
}

// --- DBComboFixed

DBComboFixed::DBComboFixed(QWidget* parent, const std::string& name,
                           const std::vector<std::string>& items)
    : QComboBox(parent) {
    setObjectName(q(name));
    setEditable(false);
    for (const std::string& item : items) addItem(q(item));
    connect(this, &QComboBox::activated, this, &DBComboFixed::on_activated);
}

void DBComboFixed::load() {
    if (writing_) return;
    const bool was = blockSignals(true);
    setCurrentIndex(findText(q(field_text()), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    blockSignals(was);
}

void DBComboFixed::on_activated(int index) {
    if (index < 0) return;
    if (!write_text(this, itemText(index).toStdString())) load();
}

// --- DBMemo

DBMemo::DBMemo(QWidget* parent, const std::string& name) : QPlainTextEdit(parent) {
    setObjectName(q(name));
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (writing_ || !source_ || !source_->editing()) return;
        write_text(this, toPlainText().toStdString());
    });
}

void DBMemo::load() {
    if (writing_) return;
    const QString text = q(field_text());
    if (text == toPlainText()) return;
    writing_ = true;
    setPlainText(text);
    writing_ = false;
}

void DBMemo::state_changed() {
    setReadOnly(source_ && !source_->editing());
}

// --- DBCheck

DBCheck::DBCheck(QWidget* parent, const std::string& name, const std::string& caption)
    : QCheckBox(q(caption), parent) {
    setObjectName(q(name));
    connect(this, &QCheckBox::clicked, this, [this](bool on) {
        if (!write_text(this, on ? "True" : "False")) load();
    });
}

void DBCheck::load() {
    if (writing_) return;
    const bool was = blockSignals(true);
    setChecked(parse_bool(field_text()).value_or(false));
    blockSignals(was);
}

// --- DBDatePicker

QDate DBDatePicker::to_qdate(double days) {
    return QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
}

double DBDatePicker::from_qdate(const QDate& date) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(date));
}

DBDatePicker::DBDatePicker(QWidget* parent, const std::string& name) : QDateEdit(parent) {
    setObjectName(q(name));
    setCalendarPopup(true);
    setDisplayFormat("M/d/yyyy");
    connect(this, &QDateEdit::userDateChanged, this, &DBDatePicker::on_changed);
}

void DBDatePicker::load() {
    if (writing_) return;
    std::optional<double> days;
    if (source_ && source_->active()) {
        try {
            tables::Field f = source_->dataset().field(field_);
            if (!f.is_null()) days = f.as_date();
        } catch (const Error&) {
        }
    }
    const bool was = blockSignals(true);
    if (days) {
        setDate(to_qdate(*days));
    } else {
        const clock::DateTime now = clock::now();
        setDate(QDate(now.year, now.month, now.day));
    }
    blockSignals(was);
}

void DBDatePicker::on_changed(const QDate& date) {
    if (!source_ || !source_->editing()) return;
    writing_ = true;
    guarded(this, [&] { source_->dataset().field(field_).set_as_date(from_qdate(date)); });
    writing_ = false;
}

}  // namespace pavo::app::kit
