// The payments report window TPayments_Report: column ticks, Generate into the report box, Save of
// the box to a time-stamped file, Export CSV of the reported records, and the payment filter.
#pragma once

#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/kit_window.h"
#include "app/kit/report_memo.h"
#include "app/kit/widgets.h"
#include "records/payments_report.h"
#include "tables/table.h"

namespace pavo::app::payments {

class TPayments_Report : public kit::KitWindow {
    Q_OBJECT
  public:
    // Works on the shared payment and configuration datasets (pavo::Error when the data module is
    // not open).
    explicit TPayments_Report(QWidget* owner);

    // Default ticks (Item Date ticked for good), empty report box, lime column list.
    void set_initial_status();
    // Builds the report into the box from the payment records under their filter (or the report's
    // categories) and leaves them unfiltered. A failure shows the lines built so far and, as the
    // last line, where and why the report stopped; then the error box.
    void btn_generateClick();
    // Writes the box to c:\mydata\KV-DB\pavoden2\reports\PAYMENTS___<stamp>.TXT with the two
    // "Saved to file:" lines, which join the box only once the file is written. A failed write
    // shows the file and the system's reason and changes neither the box nor the disk.
    void btn_saveClick();
    // Opens the payment filter window.
    void btn_filterClick();
    // Writes the last Generate's records, all fields, to PAYMENTS___<stamp>.CSV beside the saved
    // reports, and says where. Without a Generate since activation it says so and writes nothing.
    void btn_exportClick();

    kit::CheckListBox* CheckListBox1;
    kit::ReportMemo* fld_memo;
    QPushButton* btn_filter;
    QPushButton* btn_generate;
    QPushButton* btn_save;
    QPushButton* btn_export;

    // The lines the box holds (what Save writes).
    const std::vector<std::string>& box_lines() const { return box_; }
    records::PaymentReportTicks ticks() const;

  protected:
    void FormActivate() override;

  private:
    void add_lines(const std::vector<std::string>& lines);
    void clear_box();

    tables::Table& payments_;
    tables::Table& config_;
    std::vector<std::string> box_;
    std::optional<records::PaymentReport> last_;
};

inline constexpr const char* kGenerateFirstText =
    "There is no report to export: press Generate first.";

}  // namespace pavo::app::payments
