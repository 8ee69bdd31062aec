// The payment window TOstrand_Records: the payment records of PAVODEN2.DB with their date pickers,
// the day counts and date key worked out on Save, the index choice, the payment filter and the
// pick lists behind F2.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <string>

#include "app/kit/date_picker.h"
#include "app/kit/db_controls.h"
#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "tables/table.h"

namespace pavo::app::payments {

class TOstrand_Records : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Works on the shared payment dataset (pavo::Error when the data module is not open).
    explicit TOstrand_Records(QWidget* owner);
    // A record still pending when the window goes (closed without its close query) is discarded,
    // so nothing half-made stays in the shared dataset.
    ~TOstrand_Records() override;

    void btns_normal() override;
    void btns_edit_add() override;
    void flds_normal() override;
    void flds_edit() override;

    // Inserts a new record at the current position; every picker shows today.
    void btn_addClick() override;
    // Puts the current record into edit state with the pickers set from it (an empty date from the
    // picker of an earlier stage, an empty item date from today). Nothing happens on an empty
    // dataset; a date that cannot be read leaves the window in normal mode.
    void btn_editClick() override;
    // Checks the amounts (empty ones become 0; one that is not a number is refused naming its
    // field, and nothing changes), writes the pickers' dates (the returned date only when "Save
    // the returned date" is ticked), works out the five day counts from those dates and the date
    // key, and posts. A refused post keeps edit mode.
    void btn_saveClick() override;
    void btn_cancelClick() override;
    void btn_deleteClick() override;

    // "Filter Records": the payment filter window; then the current-filter label.
    void Button2Click();
    // Reopens the dataset in the chosen index's order; a failure keeps the old order.
    void box_select_indexChange(int index);
    // F2 in the item-file box: the open-file dialog; the chosen path without its drive letter.
    // A path longer than the field (255 characters) is refused, not cut.
    void fld_item_fileKeyDown();

    // Edit step 2 and Save's writing of the dates.
    void date_pickers_set_date_on_edit();
    void date_pickers_save_date_to_fields();
    void enable_date_pickers_set_position();
    void disable_date_pickers();

    kit::DBLookupCombo* fld_category;
    kit::DBEdit* fld_item_date;
    kit::DBEdit* fld_check_nbr;
    kit::DBEdit* fld_date_sent;
    kit::DBEdit* fld_date_avail;
    kit::DBEdit* fld_date_2nd_try;
    kit::DBEdit* fld_date_3rd_try;
    kit::DBEdit* fld_date_del;
    kit::DBEdit* fld_date_returned;
    kit::DBEdit* fld_date_clear;
    kit::DBEdit* fld_days_sent_to_avail;
    kit::DBEdit* fld_days_sent_to_del;
    kit::DBEdit* fld_days_avail_to_del;
    kit::DBEdit* fld_days_del_to_clear;
    kit::DBEdit* fld_days_sent_to_clear;
    // The amounts are checked as a whole on Save, so they are not written while typed.
    QLineEdit* fld_rp_amt;
    QLineEdit* fld_ss_amt;
    QLineEdit* fld_cs_amt;
    QLineEdit* fld_other_amt;
    kit::DBLookupCombo* fld_item;
    kit::DBLookupCombo* fld_carrier;
    kit::DBEdit* fld_carr_nbr;
    kit::DBEdit* fld_item_file;
    kit::DBLookupCombo* fld_comment;
    kit::DBMemo* fld_memo;

    kit::FieldDatePicker* DateTimePicker_item_date;
    kit::FieldDatePicker* DateTimePicker_date_sent;
    kit::FieldDatePicker* DateTimePicker_date_available;
    kit::FieldDatePicker* DateTimePicker_date_2nd_try;
    kit::FieldDatePicker* DateTimePicker_date_3rd_try;
    kit::FieldDatePicker* DateTimePicker_date_delivered;
    kit::FieldDatePicker* DateTimePicker_date_returned;
    kit::FieldDatePicker* DateTimePicker_date_cleared;

    QCheckBox* cb_save_return_date;
    kit::DBGrid* DBGrid1;
    QLabel* Label_current_filter;
    QLabel* lbl_filter;
    QGroupBox* GroupBox3;
    QComboBox* box_select_index;

    // The 25 entry controls of the field table, in its order.
    std::vector<QWidget*> entry_controls() const;

  protected:
    // Reopens the dataset in item-date order and sets normal mode, unless a record is pending:
    // then record, pickers and edit mode stay as they are (the filter and pick-list windows
    // return here).
    void FormActivate() override;
    bool close_query() override;

  private:
    struct DatePair {
        kit::FieldDatePicker* picker;
        kit::DBEdit* field;
        const char* name;
    };
    std::array<DatePair, 8> date_pairs() const;
    void load_amounts(bool force = false);
    void show_filter();
    void open_pick_list(const std::string& class_name);

    tables::Table& table_;
    kit::DataSource* ds_;
};

inline constexpr int kItemFileLimit = 255;

}  // namespace pavo::app::payments
