// The job-search window TJob_Search: one record per job application or contact, with the date
// picker over the date field, the keys worked out on Save, follow-ups, the update of related
// records, the sort-order list, quick find and the keys that open the pick lists.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <string>

#include "app/kit/date_picker.h"
#include "app/kit/db_controls.h"
#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "tables/table.h"

namespace pavo::app::jobsearch {

class TJob_Search : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Works on the shared job-search dataset and its pick tables (pavo::Error when the data module
    // is not open). ComboBox1 lists the dataset's index names, none chosen.
    explicit TJob_Search(QWidget* owner);

    void flds_normal() override;
    void flds_edit() override;

    // Edit mode with the picker on today, and a new record.
    void btn_addClick() override;
    // Edit mode on the current record; the picker takes the stored DATE (empty when it has none).
    void btn_editClick() override;
    // Names the empty required fields in listbox_errors and stays in edit mode; otherwise posts
    // the record with DATE, YYYYMMDD, ACTIVE_CHANGED and REFNUM in one transaction (a refused
    // post keeps edit mode and the record pending), runs the related-records update when
    // fld_related is ticked, and reopens the dataset newest first.
    void btn_saveClick() override;
    void btn_cancelClick() override;
    void btn_deleteClick() override;
    // A new record for the application of the current one, with its contact, place, title and
    // time; refused with a message while a record is pending.
    void btn_followupClick();
    void btn_filter_recordsClick();
    // Reorders the dataset by the chosen index.
    void ComboBox1Change(int index);
    // F2 in fld_item_file: the path picked in the file dialog, without its drive letter and colon;
    // a path longer than ITEM_FILE holds is refused with a message and the field keeps its text.
    void fld_item_fileF2();
    // Quick find: the next (previous) record whose title, contact, city or comment contains
    // fld_find's text; "Not found" in listbox_errors when none does.
    void find_record(bool forward);

    kit::DBEdit* fld_date;
    kit::FieldDatePicker* DateTimePicker_date;
    kit::DBLookupCombo* fld_time;
    kit::DBLookupCombo* fld_contact_name;
    kit::DBComboFixed* fld_email;
    kit::DBComboFixed* fld_active;
    kit::DBLookupCombo* fld_city;
    kit::DBComboFixed* fld_state;
    kit::DBLookupCombo* fld_position_title;
    kit::DBLookupCombo* fld_pos_type;
    kit::DBComboFixed* fld_submitted;
    kit::DBLookupCombo* fld_reason;
    kit::DBEdit* fld_item_file;
    kit::DBLookupCombo* fld_comment;
    kit::DBMemo* fld_memo;
    QCheckBox* fld_related;
    QLineEdit* fld_find;
    QComboBox* ComboBox1;
    kit::DBGrid* DBGrid1;

    // The state codes fld_state offers, in order.
    static const std::vector<std::string>& state_codes();

  protected:
    // The pattern's activation; with a record pending (back from a pick list) edit mode stays.
    void FormActivate() override;
    // The pattern's close query; a Save that names empty fields keeps the window open.
    bool close_query() override;

  private:
    std::vector<QWidget*> entry_fields() const;
    void update_related(double refnum, bool active);

    tables::Table& jobs_;
    tables::Table& config_;
    bool active_at_edit_ = false;
};

inline constexpr const char* kRelatedCaption = "RELATED RECORDS WARNING";
inline constexpr const char* kFollowupWhileEditing = "Save or Cancel the record being edited first";

}  // namespace pavo::app::jobsearch
