// The statistics report windows: layout, notice, and Generate, Select Month and Save over the
// records module's report routines.
#include "app/stats/stats_report_windows.h"

#include <QFontDatabase>

#include "app/kit/data_source.h"
#include "app/kit/pictures.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/data_module.h"
#include "utility/tkit.h"

namespace pavo::app::stats {

using kit::data_module;

namespace {

bool is_state(records::StatsReportKind kind) {
    return kind == records::StatsReportKind::kState;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int y) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(12, y, 120, 25);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

StatsReportWindow::StatsReportWindow(QWidget* owner, const std::string& name,
                                     records::StatsReportKind kind)
    : KitWindow(owner, name, "", {860, 520},
                is_state(kind) ? "Statistics report by state" : "Statistics report by job title",
                true),
      kind_(kind),
      stats_(is_state(kind) ? data_module().table_stat_st : data_module().table_stat_jt),
      config_(data_module().table_config) {
    Panel1 = new kit::SidePanel(this, "Panel1");
    Panel1->setGeometry(0, 0, 145, 520);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 8, 128, 110);
    Image1->setPixmap(kit::panel_picture(QSize(128, 110)));
    btn_generate = button(Panel1, "btn_generate", "Generate", 130);
    btn_select_month = button(Panel1, "btn_select_month", "Select Month", 162);
    btn_save = button(Panel1, "btn_save", "Save", 194);

    fld_memo = new kit::ReportMemo(this, "fld_memo");
    fld_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    fld_memo->setGeometry(145, 0, 715, 520);
    fld_memo->setAccessibleName("Report");

    connect(btn_generate, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_generateClick(); }); });
    connect(btn_select_month, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_select_monthClick(); }); });
    connect(btn_save, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_saveClick(); }); });
}

void StatsReportWindow::FormActivate() {
    set_initial_status();
}

void StatsReportWindow::set_initial_status() {
    fld_memo->clear_lines();
    Panel1->paint_lime();
    for (const std::string& line : records::stats_report_notice(kind_)) fld_memo->add_line(line);
    fld_memo->flush();
}

// The folder of the statistics tables: the alias's path, or the dataset's folder when it names
// one directly.
std::string StatsReportWindow::database_folder() const {
    try {
        return AliasConfig::current().path(stats_.database_name());
    } catch (const Error&) {
        return stats_.database_name();
    }
}

void StatsReportWindow::report(const std::string& database, const std::string& table) {
    // The address is read afresh: a change saved in the configuration window is in the header.
    const records::ReportAddress address = records::read_report_address(config_);
    std::vector<std::string> lines = records::stats_report_lines(kind_, database, table, address);
    fld_memo->clear_lines();
    for (const std::string& line : lines) fld_memo->add_line(line);
    fld_memo->flush();
    kit::message_box(this, "", "I'm done !!!!!!!", kit::Buttons::kOk);
}

void StatsReportWindow::btn_generateClick() {
    // A month picked earlier is not what this report shows, so Save must not name it.
    picked_.clear();
    // Make the reports folder now, as the report is about to be saved there.
    const std::string folder = records::kReportsFolder;
    fs::path host = DriveMap::current().to_host(folder);
    fs::path level;
    for (const auto& part : host) {
        level /= part;
        file_system().make_directory(level);  // an existing level is fine; Save reports failures
    }
    report(stats_.database_name(), stats_.table_name());
}

void StatsReportWindow::btn_select_monthClick() {
    kit::OpenFileRequest request;
    request.parent = this;
    request.initial_dir = database_folder();
    request.file_name = is_state(kind_) ? "*st.DB" : "*jt.DB";
    request.default_extension = "DB";
    std::optional<std::string> picked = kit::prompter().open_file(request);
    if (!picked) return;
    const std::size_t cut = picked->find_last_of("\\/");
    const std::string folder =
        cut == std::string::npos ? database_folder() : picked->substr(0, cut);
    const std::string table = picked->substr(cut == std::string::npos ? 0 : cut + 1);
    // A table without the statistics fields is refused before anything changes.
    records::check_stats_table(kind_, folder, table);
    report(folder, table);
    picked_ = *picked;
}

void StatsReportWindow::btn_saveClick() {
    const std::string path =
        records::stats_report_file_name(kind_, picked_, tkit_yyyy_mm_dd_hh_mm_ss());
    const int before = fld_memo->line_count();
    std::vector<std::string> added = {""};
    if (!is_state(kind_)) {
        kit::OpenFileRequest request;
        request.parent = this;
        request.file_name = "*.*";
        request.default_extension = "*";
        if (std::optional<std::string> attach = kit::prompter().open_file(request)) {
            const std::string host = DriveMap::current().argument_to_host(*attach).string();
            // Refused before anything is added: not text, or larger than 10 MB.
            std::vector<std::string> lines = records::stats_report_attachment(host);
            added.insert(added.end(), lines.begin(), lines.end());
        }
    }
    added.push_back(records::saved_to_line(path));
    for (const std::string& line : added) fld_memo->add_line(line);
    fld_memo->flush();
    try {
        fld_memo->save_to_file(path);
    } catch (const Error&) {
        // The memo must not claim a file that was not written.
        std::vector<std::string> kept;
        for (int i = 0; i < before; ++i) kept.push_back(fld_memo->line(i));
        fld_memo->clear_lines();
        for (const std::string& line : kept) fld_memo->add_line(line);
        fld_memo->flush();
        throw;
    }
}

TJob_Search_Stats_Job_State::TJob_Search_Stats_Job_State(QWidget* owner)
    : StatsReportWindow(owner, "Job_Search_Stats_Job_State", records::StatsReportKind::kState) {}

TJob_Search_Stats_Job_Title::TJob_Search_Stats_Job_Title(QWidget* owner)
    : StatsReportWindow(owner, "Job_Search_Stats_Job_Title", records::StatsReportKind::kTitle) {}

}  // namespace pavo::app::stats
