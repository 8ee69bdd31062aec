// Data-aware entry controls: each shows one field of its data source's current row, writes the
// user's changes into the row while the dataset is in edit or insert state, and follows the
// dataset's notifications.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "app/kit/data_source.h"

namespace pavo::app::kit {

// What every bound control shares: the data source, the field name, and the guard that keeps a
// control from reloading itself while it writes.
class FieldLink {
  public:
    virtual ~FieldLink() = default;
    void bind(DataSource* source, const std::string& field);
    DataSource* data_source() const { return source_; }
    const std::string& field_name() const { return field_; }
    // The field's text on the current row ("" when the dataset is closed or the field missing).
    std::string field_text() const;
    // Writes text into the field when the dataset is editing; shows the error box on refusal.
    // Returns false when nothing was written.
    bool write_text(QWidget* owner, const std::string& text);
    // Re-reads the field into the control.
    virtual void load() = 0;

  protected:
    void hook(QObject* control);
    virtual void state_changed() {}
    bool writing_ = false;
    DataSource* source_ = nullptr;
    std::string field_;
    int field_index_ = -1;
};

// Edit box; optionally forces upper case; maximum length in characters (0: the field's size).
class DBEdit : public QLineEdit, public FieldLink {
    Q_OBJECT
  public:
    DBEdit(QWidget* parent, const std::string& name);
    void set_upper_case(bool on) { upper_ = on; }
    void load() override;

  private:
    void on_edited(const QString& text);
    void state_changed() override;
    bool upper_ = false;
};

// An edit box that is not bound (input forced to upper case when asked).
class UpperEdit : public QLineEdit {
    Q_OBJECT
  public:
    UpperEdit(QWidget* parent, const std::string& name, int max_length);
};

// Drop-down list bound to a field, listing the rows of a pick table: the chosen row's key field
// goes into the record; list_field is what the list shows (usually the same field).
class DBLookupCombo : public QComboBox, public FieldLink {
    Q_OBJECT
  public:
    DBLookupCombo(QWidget* parent, const std::string& name);
    void set_list_source(DataSource* list, const std::string& key_field,
                         const std::string& list_field);
    // Re-reads the pick table's rows (also done when the list drops down and when the pick table
    // changes).
    void refresh_list();
    const std::vector<std::string>& keys() const { return keys_; }
    void load() override;
    void showPopup() override;

  private:
    void on_activated(int index);
    DataSource* list_ = nullptr;
    std::string key_field_;
    std::string list_field_;
    std::vector<std::string> keys_;
};

// Drop-down list of fixed items; accepts only its items.
class DBComboFixed : public QComboBox, public FieldLink {
    Q_OBJECT
  public:
    DBComboFixed(QWidget* parent, const std::string& name, const std::vector<std::string>& items);
    void load() override;

  private:
    void on_activated(int index);
};

class DBMemo : public QPlainTextEdit, public FieldLink {
    Q_OBJECT
  public:
    DBMemo(QWidget* parent, const std::string& name);
    void load() override;

  private:
    void state_changed() override;
};

class DBCheck : public QCheckBox, public FieldLink {
    Q_OBJECT
  public:
    DBCheck(QWidget* parent, const std::string& name, const std::string& caption);
    void load() override;
};

// Date picker bound to a date field (the table's days-from-30-Dec-1899 values); an empty field
// shows today (the program's clock).
class DBDatePicker : public QDateEdit, public FieldLink {
    Q_OBJECT
  public:
    DBDatePicker(QWidget* parent, const std::string& name);
    void load() override;
    static QDate to_qdate(double days);
    static double from_qdate(const QDate& date);

  private:
    void on_changed(const QDate& date);
};

}  // namespace pavo::app::kit
