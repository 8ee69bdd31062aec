// The date picker over an entry field.
#include "app/kit/date_picker.h"

#include <QEvent>
#include <QKeyEvent>

#include "app/kit/db_controls.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "utility/text_conv.h"

namespace pavo::app::kit {
namespace {

// The picker's minimum stands for "no date": the control shows its special (blank) text there.
const QDate kNoDate(100, 1, 1);

}  // namespace

FieldDatePicker::FieldDatePicker(QWidget* parent, const std::string& name) : QDateEdit(parent) {
    setObjectName(QString::fromStdString(name));
    setCalendarPopup(true);
    setDisplayFormat("M/d/yyyy");
    setMinimumDate(kNoDate);
    // A single blank: an empty special text would switch the special text off.
    setSpecialValueText(" ");
    set_empty();
    hide();
}

void FieldDatePicker::place_over(QWidget* field) {
    if (field_) field_->removeEventFilter(this);
    field_ = field;
    if (!field_) return;
    if (parentWidget() != field_->parentWidget()) {
        const bool visible = isVisible();
        setParent(field_->parentWidget());
        setVisible(visible);
    }
    field_->installEventFilter(this);
    if (accessibleName().isEmpty()) setAccessibleName(field_->accessibleName());
    follow_field();
}

void FieldDatePicker::follow_field() {
    if (!field_) return;
    setGeometry(field_->geometry());
    raise();
}

bool FieldDatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        follow_field();
    return QDateEdit::eventFilter(watched, event);
}

void FieldDatePicker::set_from_text(const std::string& text, const std::string& fallback) {
    const std::string used = trim(text).empty() ? fallback : text;
    if (trim(used).empty()) {
        set_empty();
        return;
    }
    const std::optional<double> date = parse_short_date(used);
    if (!date) throw Error(ErrorKind::kConversion, "'" + used + "' is not a valid date");
    set_date_value(*date);
}

void FieldDatePicker::set_date_value(double date) {
    const QDate d = DBDatePicker::to_qdate(date);
    if (!d.isValid() || d <= kNoDate || d > maximumDate())
        throw Error(ErrorKind::kConversion,
                    "'" + format_short_date(date) + "' is outside the dates a picker shows");
    setDate(d);
}

void FieldDatePicker::set_today() {
    const clock::DateTime now = clock::now();
    setDate(QDate(now.year, now.month, now.day));
}

void FieldDatePicker::set_empty() {
    setDate(kNoDate);
}

bool FieldDatePicker::empty() const {
    return date() <= kNoDate;
}

std::string FieldDatePicker::short_date_text() const {
    if (empty()) return {};
    return format_short_date(DBDatePicker::from_qdate(date()));
}

void FieldDatePicker::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        set_empty();
        emit userDateChanged(date());
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

}  // namespace pavo::app::kit
