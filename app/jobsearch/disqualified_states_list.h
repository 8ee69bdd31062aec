// The disqualified states window TJob_Search_Disqualified_States_List: the rows of STATS_ST.DB,
// each a state whose jobs the user does not qualify for; the statistics fill in the counts.
#pragma once

#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "tables/table.h"

namespace pavo::app::jobsearch {

class TJob_Search_Disqualified_States_List : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Works on the shared state-statistics dataset (pavo::Error when the data module is not open).
    explicit TJob_Search_Disqualified_States_List(QWidget* owner);

    // The columns the statistics write are yellow in edit mode and never take typing.
    void flds_normal() override;
    void flds_edit() override;
    // STATE upper-cased (the job-search field offers upper-case codes and the statistics compare
    // exact case), then posted; a refused post keeps edit mode with the row pending.
    void btn_saveClick() override;

    kit::DBGrid* DBGrid1;

  private:
    void set_columns(bool editing);
    tables::Table& states_;
};

}  // namespace pavo::app::jobsearch
