// The statistics report windows TJob_Search_Stats_Job_State and TJob_Search_Stats_Job_Title:
// the notice, Generate, Select Month of a monthly table, and Save (the title window with an
// attachment).
#pragma once

#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/kit/kit_window.h"
#include "app/kit/report_memo.h"
#include "app/kit/widgets.h"
#include "records/stats_report.h"
#include "tables/table.h"

namespace pavo::app::stats {

// What both windows share; the kind says which table and texts.
class StatsReportWindow : public kit::KitWindow {
    Q_OBJECT
  public:
    // The memo cleared, the side panel painted lime, the notice written.
    void set_initial_status();
    // The report of the overall statistics table; forgets a month picked before.
    void btn_generateClick();
    // Picks a monthly table (a cancelled dialog does nothing) and reports it; a table without the
    // statistics fields is named and nothing else changes.
    void btn_select_monthClick();
    // Writes the memo under the name of the table last reported; on failure shows the error and
    // takes the lines Save added out again.
    void btn_saveClick();

    kit::SidePanel* Panel1;
    QLabel* Image1;
    QPushButton* btn_generate;
    QPushButton* btn_select_month;
    QPushButton* btn_save;
    kit::ReportMemo* fld_memo;

    // The table last picked with Select Month (logical path); empty when none.
    const std::string& picked_table() const { return picked_; }

  protected:
    StatsReportWindow(QWidget* owner, const std::string& name, records::StatsReportKind kind);
    void FormActivate() override;

  private:
    void report(const std::string& database, const std::string& table);
    std::string database_folder() const;

    records::StatsReportKind kind_;
    tables::Table& stats_;
    tables::Table& config_;
    std::string picked_;
};

class TJob_Search_Stats_Job_State : public StatsReportWindow {
    Q_OBJECT
  public:
    explicit TJob_Search_Stats_Job_State(QWidget* owner);
};

class TJob_Search_Stats_Job_Title : public StatsReportWindow {
    Q_OBJECT
  public:
    explicit TJob_Search_Stats_Job_Title(QWidget* owner);
};

}  // namespace pavo::app::stats
