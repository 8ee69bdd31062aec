// A date control laid over an entry field, for windows that write the date into the field
// themselves: not bound to a dataset, set by code, read back as the short date text. The user may
// clear it with the Delete key.
#pragma once

#include <QDateEdit>
#include <string>

namespace pavo::app::kit {

class FieldDatePicker : public QDateEdit {
    Q_OBJECT
  public:
    // Starts empty and hidden.
    FieldDatePicker(QWidget* parent, const std::string& name);

    // Lays the picker exactly over field (same parent, left, top, width and height) and keeps it
    // there when the field moves or is resized. The picker is raised above the field.
    void place_over(QWidget* field);
    QWidget* field() const { return field_; }

    // The date of a short date text ("M/D/YYYY"); when text is empty, the date of fallback; when
    // both are empty, no date. Throws pavo::Error kConversion naming the text when the text used is
    // not a date (the picker keeps what it showed).
    void set_from_text(const std::string& text, const std::string& fallback = {});
    // A date as the tables store it (days from 30 December 1899); kConversion outside the years
    // the picker shows (100..9999).
    void set_date_value(double date);
    // Today, from the program's clock.
    void set_today();
    // No date: the picker shows nothing.
    void set_empty();
    bool empty() const;

    // The date as a short date text "M/D/YYYY", "" when there is none.
    std::string short_date_text() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow_field();
    QWidget* field_ = nullptr;
};

}  // namespace pavo::app::kit
