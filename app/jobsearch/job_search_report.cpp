// The job search report window: layout, activation, the index list, and Generate through the
// shared report writer with the kit's long run (progress, Cancel).
#include "app/jobsearch/job_search_report.h"

#include <QFontDatabase>
#include <optional>

#include "app/filters/filter_windows.h"
#include "app/kit/data_source.h"
#include "app/kit/long_run.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "records/job_report.h"
#include "store/data_module.h"
#include "utility/tkit.h"

namespace pavo::app::jobsearch {

using kit::data_module;

TJob_Search_Report::TJob_Search_Report(QWidget* owner)
    : KitWindow(owner, "Job_Search_Report", "sd", {942, 445}, "Job search report", true),
      jobs_(data_module().table_jsearch2),
      config_(data_module().table_config) {
    CheckListBox1 = new kit::CheckListBox(this, "CheckListBox1");
    CheckListBox1->setGeometry(0, 0, 177, 300);
    std::vector<std::string> captions;
    for (const char* c : records::job_report_item_captions()) captions.emplace_back(c);
    CheckListBox1->set_items(captions);
    CheckListBox1->setAutoFillBackground(true);
    CheckListBox1->setAccessibleName("Columns");

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(false);
    ComboBox1->setGeometry(4, 306, 169, 22);
    ComboBox1->setAccessibleName("Index");

    btn_reset = new QPushButton("RESET", this);
    btn_reset->setObjectName("btn_reset");
    btn_reset->setGeometry(4, 334, 169, 25);
    btn_generate = new QPushButton("Generate", this);
    btn_generate->setObjectName("btn_generate");
    btn_generate->setGeometry(4, 364, 82, 25);
    btn_save = new QPushButton("Filter", this);
    btn_save->setObjectName("btn_save");
    btn_save->setGeometry(91, 364, 82, 25);
    chk_csv = new QCheckBox("Also write CSV", this);
    chk_csv->setObjectName("chk_csv");
    chk_csv->setGeometry(4, 394, 169, 20);
    btn_cancel = new QPushButton("Cancel", this);
    btn_cancel->setObjectName("btn_cancel");
    btn_cancel->setGeometry(4, 416, 169, 25);
    btn_cancel->setEnabled(false);  // only a running report can be cancelled

    fld_memo = new kit::ReportMemo(this, "fld_memo");
    fld_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    fld_memo->setGeometry(181, 0, 761, 420);
    fld_memo->setAccessibleName("Report messages");
    lbl_progress = new QLabel(this);
    lbl_progress->setObjectName("lbl_progress");
    lbl_progress->setGeometry(185, 423, 753, 20);

    connect(btn_reset, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_resetClick(); }); });
    connect(btn_generate, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_generateClick(); }); });
    connect(btn_save, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_saveClick(); }); });
    // activated: only the user's choice, not the refill on activation.
    connect(ComboBox1, &QComboBox::activated, this,
            [this](int i) { kit::guarded(this, [this, i] { ComboBox1Change(i); }); });
}

void TJob_Search_Report::FormActivate() {
    set_initial_status();
    ComboBox1->clear();
    for (const auto& name : jobs_.index_names()) ComboBox1->addItem(kit::q(name));
    ComboBox1->setCurrentIndex(-1);
}

void TJob_Search_Report::set_initial_status() {
    fld_memo->clear_lines();
    const records::JobReportTicks ticks =
        records::job_report_default_ticks(CheckListBox1->checked(0));
    for (int i = 0; i < records::kJobReportItems; ++i)
        CheckListBox1->set_checked(i, ticks[static_cast<std::size_t>(i)]);
    QPalette p = CheckListBox1->palette();
    p.setColor(QPalette::Base, kit::kLime);
    CheckListBox1->setPalette(p);
}

void TJob_Search_Report::btn_resetClick() {
    set_initial_status();
}

void TJob_Search_Report::btn_saveClick() {
    filters::open_filter_window(this, filters::FilterTarget::kJobSearch);
}

void TJob_Search_Report::ComboBox1Change(int index) {
    if (index < 0) return;
    kit::message_box(
        this, "WARNING",
        "You changed the index, so the filter was turned off, please reset the filter!",
        kit::Buttons::kOk);
    jobs_.close();
    jobs_.set_index_name(ComboBox1->itemText(index).toStdString());
    jobs_.open();
    jobs_.set_filter("");
    jobs_.set_filtered(false);
    jobs_.first();
}

void TJob_Search_Report::btn_generateClick() {
    // The buttons stay off while a report is written, so no second run starts inside this one.
    btn_generate->setEnabled(false);
    btn_reset->setEnabled(false);
    btn_save->setEnabled(false);
    ComboBox1->setEnabled(false);
    struct Restore {
        TJob_Search_Report* w;
        ~Restore() {
            for (QWidget* b :
                 {static_cast<QWidget*>(w->btn_generate), static_cast<QWidget*>(w->btn_reset),
                  static_cast<QWidget*>(w->btn_save), static_cast<QWidget*>(w->ComboBox1)})
                b->setEnabled(true);
        }
    } restore{this};
    generate();
}

void TJob_Search_Report::generate() {
    const std::string stamp = tkit_yyyy_mm_dd_hh_mm_ss();
    const std::string name = records::job_report_file_name(stamp, ".txt");
    const std::string csv_name =
        chk_csv->isChecked() ? records::job_report_file_name(stamp, ".csv") : std::string();
    records::JobReportTicks ticks{};
    for (int i = 0; i < records::kJobReportItems; ++i)
        ticks[static_cast<std::size_t>(i)] = CheckListBox1->checked(i);

    fld_memo->clear_lines();
    for (const char* line :
         {"Because of the possibility of the report begin very large, it is being placed out",
          "directly to the file:", "", ""})
        fld_memo->add_line(line);
    fld_memo->add_line(name);
    for (const char* line :
         {"", "",
          "On outputting about 65,000 records on a Pent. II, 700 MHz machine using Windows XP Pro, "
          "it took abou",
          "4 minutes.  Please be patient....", "", ""})
        fld_memo->add_line(line);

    // The address is read afresh: a change saved in the configuration window is in the header.
    const records::ReportAddress address = records::read_report_address(config_);
    records::JobReportWriter writer(jobs_, name, ticks, address, csv_name);
    fld_memo->add_line("");
    fld_memo->add_line("");
    fld_memo->add_line("");
    fld_memo->flush();

    jobs_.first();
    const int count = jobs_.record_count();
    kit::LongRun run(btn_cancel, lbl_progress);
    if (long_run_clock) run.set_clock(long_run_clock);
    const bool finished = run.run({&jobs_}, count, [&](int) {
        writer.add_record();
        jobs_.next();
    });
    if (!finished) {
        // The writer's end removes the unfinished file; nothing appears under the report's name.
        fld_memo->add_line("Cancelled: the report was not written, no file was left.");
        fld_memo->flush();
        return;
    }
    // The done message only once the file is complete on disk.
    writer.close();
    last_report_ = name;
    if (!csv_name.empty()) {
        fld_memo->add_line("The CSV file beside it:");
        fld_memo->add_line(csv_name);
    }
    fld_memo->add_line(std::to_string(writer.records()) + " records written.");
    fld_memo->flush();
    kit::message_box(this, "", "I'm done !!!!!!!", kit::Buttons::kOk);
}

}  // namespace pavo::app::jobsearch
