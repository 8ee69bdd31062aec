// The statistics window Tstatistics_update: the title and state counts, new categories and
// position titles, the month list and the monthly statistics, each run with progress and Cancel.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <functional>
#include <string>

#include "app/kit/kit_window.h"
#include "app/kit/long_run.h"
#include "app/kit/widgets.h"
#include "records/job_stats.h"
#include "tables/table.h"

namespace pavo::app::stats {

class Tstatistics_update : public kit::KitWindow {
    Q_OBJECT
  public:
    // Works on the shared job-search, statistics and position title datasets (pavo::Error when
    // the data module is not open).
    explicit Tstatistics_update(QWidget* owner);

    // Each asks what its confirmation asks (Yes/No; No does nothing), then runs with the progress
    // in the status bar; Cancel leaves every table as it was.
    void btn_update_job_title_statsClick();
    void btn_update_job_state_statsClick();
    void btn_update_stats_table_with_new_import_valuesClick();
    void btn_update_pos_title_tableClick();
    // Fills Memo1 and ComboBox1 with the month lines; the records stay in ascending date order.
    void btn_mon_year_rangeClick();
    // The monthly statistics of the month in ComboBox1, both confirmations asked before anything.
    void Button2Click();

    QLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* btn_update_pos_title_table;
    QPushButton* btn_update_stats_table_with_new_import_values;
    QPushButton* btn_update_job_title_stats;
    QPushButton* btn_update_job_state_stats;
    QPushButton* btn_mon_year_range;
    QComboBox* ComboBox1;
    QPushButton* Button2;
    QPushButton* btn_cancel;
    kit::ProgressStatusBar* StatusBar1;

    // For tests: the pacing clock of the runs (the steady clock when empty).
    std::function<std::chrono::steady_clock::time_point()> long_run_clock;

    static const char* title_confirmation();
    static const char* state_confirmation();

  protected:
    void FormActivate() override;

  private:
    // Runs operation with progress and Cancel, the other buttons off meanwhile.
    bool run(const std::function<void(const kit::LongRun::Reporter&)>& operation);
    // With a filter on the records, says in Memo1 how many of how many a run counts.
    void note_filter();
    void memo(const std::string& line);

    tables::Table& jobs_;
    tables::Table& stats_jt_;
    tables::Table& stats_st_;
    tables::Table& postitle_;
};

}  // namespace pavo::app::stats
