// The payments report window: layout, activation, and Generate, Save and Export CSV over the
// GUI-free report routine.
#include "app/payments/payments_report.h"

#include <QFont>

#include "app/filters/filter_windows.h"
#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "store/data_module.h"
#include "utility/tkit.h"

namespace pavo::app::payments {

using kit::data_module;

TPayments_Report::TPayments_Report(QWidget* owner)
    : KitWindow(owner, "Payments_Report", "Payments_Report", {942, 529}, "Payments report", true),
      payments_(data_module().table_pavoden),
      config_(data_module().table_config) {
    CheckListBox1 = new kit::CheckListBox(this, "CheckListBox1");
    CheckListBox1->setGeometry(0, 0, 177, 405);
    std::vector<std::string> captions;
    for (const char* c : records::payment_report_item_captions()) captions.emplace_back(c);
    CheckListBox1->set_items(captions);
    CheckListBox1->setAutoFillBackground(true);
    CheckListBox1->setAccessibleName("Columns");

    btn_filter = new QPushButton("Filter", this);
    btn_filter->setObjectName("btn_filter");
    btn_filter->setGeometry(4, 410, 169, 25);
    btn_generate = new QPushButton("Generate", this);
    btn_generate->setObjectName("btn_generate");
    btn_generate->setGeometry(4, 440, 169, 25);
    btn_save = new QPushButton("Save", this);
    btn_save->setObjectName("btn_save");
    btn_save->setGeometry(4, 470, 169, 25);
    btn_export = new QPushButton("Export CSV", this);
    btn_export->setObjectName("btn_export");
    btn_export->setGeometry(4, 500, 169, 25);

    fld_memo = new kit::ReportMemo(this, "fld_memo");
    QFont courier("Courier New");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    fld_memo->setFont(courier);
    fld_memo->setGeometry(181, 0, 761, 529);
    fld_memo->setAccessibleName("Report");

    const struct {
        QPushButton* button;
        void (TPayments_Report::*handler)();
    } buttons[] = {{btn_filter, &TPayments_Report::btn_filterClick},
                   {btn_generate, &TPayments_Report::btn_generateClick},
                   {btn_save, &TPayments_Report::btn_saveClick},
                   {btn_export, &TPayments_Report::btn_exportClick}};
    for (const auto& b : buttons) {
        const auto handler = b.handler;
        connect(b.button, &QPushButton::clicked, this,
                [this, handler] { kit::guarded(this, [this, handler] { (this->*handler)(); }); });
    }
}

void TPayments_Report::FormActivate() {
    set_initial_status();
}

void TPayments_Report::set_initial_status() {
    const records::PaymentReportTicks defaults = records::payment_report_default_ticks();
    for (int i = 0; i < records::kPaymentReportItems; ++i)
        CheckListBox1->set_checked(i, defaults[static_cast<std::size_t>(i)]);
    // Item Date is part of every report: ticked, and the user cannot change it.
    QListWidgetItem* item_date = CheckListBox1->item(records::kPaymentItemDate);
    item_date->setFlags(item_date->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
    clear_box();
    QPalette p = CheckListBox1->palette();
    p.setColor(QPalette::Base, kit::kLime);
    CheckListBox1->setPalette(p);
}

records::PaymentReportTicks TPayments_Report::ticks() const {
    records::PaymentReportTicks t{};
    for (int i = 0; i < records::kPaymentReportItems; ++i)
        t[static_cast<std::size_t>(i)] = CheckListBox1->checked(i);
    return t;
}

void TPayments_Report::clear_box() {
    fld_memo->clear_lines();
    box_.clear();
    last_.reset();
}

void TPayments_Report::add_lines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) fld_memo->add_line(line);
    box_.insert(box_.end(), lines.begin(), lines.end());
    fld_memo->flush();
}

void TPayments_Report::btn_generateClick() {
    clear_box();
    records::PaymentReport report;
    records::PaymentReportOptions options;
    options.keep_rows = true;
    try {
        records::build_payments_report_into(report, payments_, config_, ticks(), options);
    } catch (const Error& e) {
        // The box shows how far the report came; its last line says where and why it stopped.
        add_lines(report.lines);
        add_lines({e.what()});
        throw;
    }
    add_lines(report.lines);
    last_ = std::move(report);
}

void TPayments_Report::btn_saveClick() {
    const std::string name = records::payment_report_file_name(tkit_yyyy_mm_dd_hh_mm_ss());
    // The box gains its two lines only once the file holds them.
    const records::SavedPaymentReport saved = records::save_payment_report(box_, name);
    add_lines(saved.saved_lines);
}

void TPayments_Report::btn_filterClick() {
    filters::open_filter_window(this, filters::FilterTarget::kPayments);
}

void TPayments_Report::btn_exportClick() {
    if (!last_) {
        kit::message_box(this, "MESSAGE", kGenerateFirstText, kit::Buttons::kOk);
        return;
    }
    const std::string name =
        tkit_New_Extention(records::payment_report_file_name(tkit_yyyy_mm_dd_hh_mm_ss()), "CSV");
    records::write_payments_csv(*last_, name);
    kit::message_box(this, "MESSAGE", "Exported to file: " + name, kit::Buttons::kOk);
}

}  // namespace pavo::app::payments
