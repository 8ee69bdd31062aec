// The job search report window TJob_Search_Report: column ticks, order, filter, and Generate,
// which streams the job-search records to a time-stamped text file.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <functional>
#include <string>

#include "app/kit/kit_window.h"
#include "app/kit/report_memo.h"
#include "app/kit/widgets.h"
#include "tables/table.h"

namespace pavo::app::jobsearch {

class TJob_Search_Report : public kit::KitWindow {
    Q_OBJECT
  public:
    // Works on the shared job-search and configuration datasets (pavo::Error when the data module
    // is not open).
    explicit TJob_Search_Report(QWidget* owner);

    // Default ticks (Active left as it is), empty message box, lime column list.
    void set_initial_status();
    void btn_resetClick();
    // Writes the report file; on success the message box says where, then "I'm done !!!!!!!".
    void btn_generateClick();
    // Opens the job-search filter window.
    void btn_saveClick();
    // A new order from the index list: warns, reorders, drops the filter, goes to the first record.
    void ComboBox1Change(int index);

    kit::CheckListBox* CheckListBox1;
    QComboBox* ComboBox1;
    kit::ReportMemo* fld_memo;
    QPushButton* btn_reset;
    QPushButton* btn_generate;
    QPushButton* btn_save;
    QCheckBox* chk_csv;
    QPushButton* btn_cancel;
    QLabel* lbl_progress;

    // For tests: the pacing clock of Generate's long run (the steady clock when empty).
    std::function<std::chrono::steady_clock::time_point()> long_run_clock;

    // The path (logical) of the last report Generate wrote completely; empty when none.
    const std::string& last_report() const { return last_report_; }

  protected:
    void FormActivate() override;

  private:
    void generate();

    tables::Table& jobs_;
    tables::Table& config_;
    std::string last_report_;
};

}  // namespace pavo::app::jobsearch
