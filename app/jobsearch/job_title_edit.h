// The job title edits window TJob_Title_Edit: the rows of JS_EDIT.db that map a raw job title to
// the title it becomes and a reason not submitted, edited in the grid or many at once by the two
// mass changes.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/kit/db_controls.h"
#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "records/job_search_edits.h"
#include "tables/table.h"

namespace pavo::app::jobsearch {

class TJob_Title_Edit : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Works on the shared datasets table_js_edit and table_reason (pavo::Error when the data
    // module is not open). Opened from the menu and, through the window registry, by the import.
    explicit TJob_Title_Edit(QWidget* owner);

    // Edit mode on the current row; the grid's reason pick list is filled afresh.
    void btn_editClick() override;
    // CHANGE_FROM and CHANGE_TO upper-cased, the row posted, normal mode.
    void btn_saveClick() override;
    void btn_show_new_recordsClick();
    void btn_show_all_recordsClick();
    // The two mass changes: CHANGE_TO of the rows whose CHANGE_FROM contains Edit1's text, and
    // REASON_NO_SUBMIT of the rows whose CHANGE_TO contains Edit3's text. The result line says
    // how many rows changed and how many were left as duplicates.
    void btn_mass_changeClick();
    void btn_mass_change2Click();
    // All four boxes enabled in the window colour, cb_confirm checked.
    void btn_resetClick();
    void add_reason_no_submit_pick_list();

    kit::DBGrid* DBGrid1;
    QGroupBox* GroupBox_titles;
    QGroupBox* GroupBox_reasons;
    kit::UpperEdit* Edit1;
    kit::UpperEdit* Edit2;
    kit::UpperEdit* Edit3;
    kit::UpperEdit* Edit4;
    QPushButton* btn_mass_change;
    QPushButton* btn_mass_change2;
    QCheckBox* cb_confirm;
    QPushButton* btn_reset;
    QLabel* lbl_mass_result;

    // The grid's reason pick list as it now stands.
    const std::vector<std::string>& reason_pick_list() const;

  protected:
    // The pattern's activation; the four boxes emptied.
    void FormActivate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void run_mass_change(records::MassChangeField field);
    void set_columns(std::vector<std::string> reasons);
    void exclude(kit::UpperEdit* a, kit::UpperEdit* b);
    void enable_boxes(std::initializer_list<kit::UpperEdit*> boxes);

    tables::Table& edits_;
    tables::Table& reasons_;
};

inline constexpr const char* kNewRecordsFilter =
    "CHANGE_TO = '*** NEW ENTRY, EDIT ME ***' OR REASON_NO_SUBMIT = ''";

}  // namespace pavo::app::jobsearch
