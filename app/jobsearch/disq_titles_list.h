// The disqualified job titles window TJob_Search_Disq_Titles_List: the rows of STATS_JT.DB, each
// a piece of job title with the ORDER that decides which category a title is counted under.
#pragma once

#include <QLineEdit>
#include <QPushButton>

#include "app/kit/db_grid.h"
#include "app/kit/maintenance_window.h"
#include "tables/table.h"

namespace pavo::app::jobsearch {

class TJob_Search_Disq_Titles_List : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Works on the shared title-statistics dataset (pavo::Error when the data module is not open).
    explicit TJob_Search_Disq_Titles_List(QWidget* owner);
    // Leaves the dataset in ORDER;CATEGORY order, which the statistics count in.
    ~TJob_Search_Disq_Titles_List() override;

    // COUNT and PERCENTAGE yellow in edit mode; Find Category and fld_find only in normal mode.
    void flds_normal() override;
    void flds_edit() override;
    // A new row counts 0; with an ORDER the list goes back to ORDER;CATEGORY order; without one
    // the list is in category order and the saved row comes straight back for editing. A refused
    // post (or an ORDER that is not a number) keeps edit mode with the row pending.
    void btn_saveClick() override;
    // The first category not below fld_find's text, shown in ORDER;CATEGORY order; past the last
    // category the last one; nothing on an empty list.
    void btn_findClick();

    kit::DBGrid* DBGrid1;
    QLineEdit* fld_find;
    QPushButton* btn_find;

  private:
    void set_columns(bool editing);
    tables::Table& stats_;
};

}  // namespace pavo::app::jobsearch
