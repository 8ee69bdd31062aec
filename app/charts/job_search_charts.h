// The job search charts window TJob_Search_Charts: four tabs (by month, why not submitted, by title
// category, by state), each a chart with Save Picture, Copy Table and a table of its numbers.
//
// The window only reads: it changes no table, and every shared dataset keeps its order, filter and
// current record, also when gathering a chart fails.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtCharts/QChartView>
#include <array>
#include <string>

#include "app/kit/kit_window.h"
#include "records/job_charts.h"
#include "tables/table.h"

namespace pavo::app::charts {

// One tab: the notice line, the chart, the buttons and the table of numbers (hidden until Show
// Numbers is ticked). Object names end in the chart's word ("btn_save_month", "grid_reasons").
class ChartPage : public QWidget {
    Q_OBJECT
  public:
    ChartPage(QWidget* parent, records::ChartKind kind);

    // Shows data: a new chart, the notice (hidden when empty) and the table rows.
    void show_data(const records::ChartData& data);
    const records::ChartData& data() const { return data_; }
    records::ChartKind kind() const { return kind_; }

    // Writes the picture under the reports folder's time-stamped name; the message names the
    // file. Throws pavo::Error when it cannot be written (nothing is left under the name).
    void btn_save_pictureClick();
    // The numbers as tab-separated lines with a header, on the clipboard.
    void btn_copy_tableClick();
    void chk_show_numbersClick(bool on);

    QLabel* lbl_notice;
    QChartView* chart_view;
    QTableWidget* grid_numbers;
    QPushButton* btn_save_picture;
    QPushButton* btn_copy_table;
    QCheckBox* chk_show_numbers;

    // The picture Save Picture wrote last (logical path); empty when none.
    const std::string& last_picture() const { return last_picture_; }

  private:
    records::ChartKind kind_;
    records::ChartData data_;
    std::string last_picture_;
};

class TJob_Search_Charts : public kit::KitWindow {
    Q_OBJECT
  public:
    // Works on the shared job-search and statistics datasets (pavo::Error when the data module is
    // not open).
    explicit TJob_Search_Charts(QWidget* owner);

    // Gathers every chart afresh. A chart that cannot be gathered shows the error and stays empty;
    // the others are shown all the same.
    void refresh_charts();
    void btn_closeClick();

    ChartPage* page(records::ChartKind kind) const {
        return pages_[static_cast<std::size_t>(kind)];
    }

    QTabWidget* TabControl1;
    QPushButton* btn_refresh;
    QPushButton* btn_close;

  protected:
    void FormActivate() override;

  private:
    records::ChartTables tables_;
    std::array<ChartPage*, 4> pages_{};
};

// The tab captions, in tab order.
const char* chart_tab_caption(records::ChartKind kind);

}  // namespace pavo::app::charts
