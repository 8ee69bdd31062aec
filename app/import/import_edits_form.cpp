// The import-and-edits window: layout, the mail import with its preview and duplicate question,
// and the numbered steps with their log lines and the status bar's progress.
#include "app/import/import_edits_form.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>

#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "app/shell/window_registry.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "records/job_import.h"
#include "store/data_module.h"
#include "utility/text_conv.h"

namespace pavo::app::jobimport {

using kit::data_module;

namespace {

QPushButton* button(QWidget* parent, const char* name, const char* caption, int x, int y, int w) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 25);
    return b;
}

// How often at most a step's progress is painted: every record would cost more than the step.
constexpr std::chrono::milliseconds kStatusPace{50};

}  // namespace

ImportPreview::ImportPreview(QWidget* owner, const std::vector<records::MailJob>& jobs,
                             const std::vector<bool>& recorded)
    : KitWindow(owner, "ImportPreview", "IMPORT PREVIEW", {760, 420}, "Import preview", true) {
    int marked = 0;
    for (bool r : recorded) marked += r;
    const int to_add = static_cast<int>(jobs.size()) - marked;
    std::string count = std::to_string(jobs.size()) + " records in the mail";
    if (marked > 0)
        count += "; " + std::to_string(marked) + " already imported (marked) and left out, " +
                 std::to_string(to_add) + " to add";
    lbl_count = new QLabel(kit::q(count), this);
    lbl_count->setObjectName("lbl_count");
    lbl_count->setGeometry(8, 6, 744, 20);

    grid = new QTableWidget(static_cast<int>(jobs.size()), 7, this);
    grid->setObjectName("grid");
    grid->setGeometry(8, 30, 744, 346);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setHorizontalHeaderLabels(
        {"", "LINE", "DATE", "POS_STATE", "POS_CITY", "POS_TITLE", "COMMENT"});
    grid->setAccessibleName("Records to add");
    for (int i = 0; i < static_cast<int>(jobs.size()); ++i) {
        const auto& j = jobs[static_cast<std::size_t>(i)];
        const bool old = static_cast<std::size_t>(i) < recorded.size() && recorded[i];
        const std::vector<std::string> cells = {old ? "ALREADY IMPORTED" : "",
                                                std::to_string(j.line),
                                                format_short_date(j.date),
                                                j.state,
                                                j.city,
                                                j.title,
                                                j.comment};
        for (int c = 0; c < static_cast<int>(cells.size()); ++c)
            grid->setItem(i, c, new QTableWidgetItem(kit::q(cells[static_cast<std::size_t>(c)])));
    }
    grid->resizeColumnsToContents();

    btn_add = button(this, "btn_add", "", 8, 386, 180);
    btn_add->setText(kit::q("Add " + std::to_string(to_add) + " Records"));
    btn_add->setEnabled(to_add > 0);
    btn_cancel = button(this, "btn_cancel", "Cancel", 196, 386, 100);
    connect(btn_add, &QPushButton::clicked, this, [this] { accept(); });
    connect(btn_cancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
}

Tjob_search_import_edits_form::Tjob_search_import_edits_form(QWidget* owner)
    : KitWindow(owner, "job_search_import_edits_form", "Job Search Imports and Edits", {1000, 640},
                "Job search import and edits", true) {
    store::DataModule& dm = data_module();
    lbl_title = new QLabel("JOB SEARCH IMPORT AND EDITS", this);
    lbl_title->setObjectName("lbl_title");
    QFont f = lbl_title->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    lbl_title->setFont(f);
    lbl_title->setGeometry(8, 4, 600, 28);

    fld_memo = new kit::ReportMemo(this, "fld_memo");
    fld_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    fld_memo->setGeometry(8, 36, 600, 200);
    fld_memo->setAccessibleName("Import and edit log");

    ds_jsearch2_ = new kit::DataSource(&dm.table_jsearch2, this, "ds_jsearch2");
    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds_jsearch2_);
    DBGrid1->setGeometry(8, 242, 600, 370);
    DBGrid1->setAccessibleName("Job search records");
    DBGrid1->set_columns({{"REFNUM", "", 70, {}, {}, true, true},
                          {"DATE", "", 80, {}, {}, true, true},
                          {"POS_TYPE", "", 72, {}, {}, true},
                          {"POS_CITY", "", 120, {}, {}, true},
                          {"POS_STATE", "", 76, {}, {}, true},
                          {"POS_TITLE", "", 180, {}, {}, true}});

    auto* imports = new QGroupBox("IMPORT FROM E-MAILS", this);
    imports->setObjectName("grp_import");
    imports->setGeometry(616, 4, 376, 150);
    Button11 =
        button(imports, "Button11", records::layout_caption(records::MailLayout::kV1), 8, 22, 360);
    Button12 =
        button(imports, "Button12", records::layout_caption(records::MailLayout::kV2), 8, 53, 360);
    Button13 =
        button(imports, "Button13", records::layout_caption(records::MailLayout::kV3), 8, 84, 360);
    Button1 =
        button(imports, "Button1", records::layout_caption(records::MailLayout::kV4), 8, 115, 360);

    auto* steps = new QGroupBox("PROCESS INMPORTED RECORDS (DO IN ORDER!!!)", this);
    steps->setObjectName("grp_steps");
    steps->setGeometry(616, 160, 376, 340);
    struct StepButton {
        QPushButton** slot;
        const char* name;
        const char* caption;
        void (Tjob_search_import_edits_form::*handler)();
    };
    const StepButton step_buttons[] = {
        {&btn_Update_RefNum, "btn_Update_RefNum", "(1) Update RefNum",
         &Tjob_search_import_edits_form::btn_Update_RefNumClick},
        {&btn_update_job_title_edit, "btn_update_job_title_edit", "(2) Update Job Title  Edits",
         &Tjob_search_import_edits_form::btn_update_job_title_editClick},
        {&btn_Open_Modify_Job_Title_Edits_Table, "btn_Open_Modify_Job_Title_Edits_Table",
         "(3) Open Modify Job Title Edits Table",
         &Tjob_search_import_edits_form::btn_Open_Modify_Job_Title_Edits_TableClick},
        {&btn_Update_Job_Title, "btn_Update_Job_Title", "(4) Update Job Title",
         &Tjob_search_import_edits_form::btn_Update_Job_TitleClick},
        {&btn_Update_Position_Title_Table, "btn_Update_Position_Title_Table",
         "(5) Update Position Title Table",
         &Tjob_search_import_edits_form::btn_Update_Position_Title_TableClick},
        {&btn_Update_Status_Table_With_New_Import_Values,
         "btn_Update_Status_Table_With_New_Import_Values",
         "(6) Update Status Table With New Import Values",
         &Tjob_search_import_edits_form::btn_Update_Status_Table_With_New_Import_ValuesClick},
        {&btn_Update_Reason_Not_Submitted_Table, "btn_Update_Reason_Not_Submitted_Table",
         "(7) Update Reason Not Submitted Table",
         &Tjob_search_import_edits_form::btn_Update_Reason_Not_Submitted_TableClick},
        {&btn_update_city, "btn_update_city", "(8) Update City",
         &Tjob_search_import_edits_form::btn_update_cityClick},
        {&btn_update_contact_name, "btn_update_contact_name", "(9) Update Contact Name",
         &Tjob_search_import_edits_form::btn_update_contact_nameClick},
        {&Button2, "Button2", "(10) Update Reason Not Submited in Stats Table",
         &Tjob_search_import_edits_form::Button2Click},
    };
    int y = 22;
    for (const auto& s : step_buttons) {
        *s.slot = button(steps, s.name, s.caption, 8, y, 360);
        auto handler = s.handler;
        connect(*s.slot, &QPushButton::clicked, this,
                [this, handler] { kit::guarded(this, [this, handler] { (this->*handler)(); }); });
        y += 31;
    }
    btn_run_all_steps = button(this, "btn_run_all_steps", "Run All Steps", 624, 508, 180);
    btn_exit = button(this, "btn_exit", "Exit", 812, 508, 172);
    StatusBar1 = new kit::ProgressStatusBar(this, "StatusBar1");
    StatusBar1->setGeometry(0, 616, 1000, 24);

    const std::pair<QPushButton*, records::MailLayout> import_buttons[] = {
        {Button11, records::MailLayout::kV1},
        {Button12, records::MailLayout::kV2},
        {Button13, records::MailLayout::kV3},
        {Button1, records::MailLayout::kV4}};
    for (const auto& entry : import_buttons) {
        const records::MailLayout layout = entry.second;
        connect(entry.first, &QPushButton::clicked, this,
                [this, layout] { kit::guarded(this, [this, layout] { import_mail(layout); }); });
    }
    connect(btn_run_all_steps, &QPushButton::clicked, this,
            [this] { kit::guarded(this, [this] { btn_run_all_stepsClick(); }); });
    connect(btn_exit, &QPushButton::clicked, this, [this] { close_window(); });
    // The log starts empty when the window opens, and only then: a window a step opens
    // (step 3) would otherwise wipe what Run All Steps has written when it closes.
    fld_memo->clear_lines();
}

void Tjob_search_import_edits_form::log(const std::string& line) {
    fld_memo->add_line(line);
}

records::StepIo Tjob_search_import_edits_form::step_io() {
    records::StepIo io;
    io.log = [this](const std::string& line) { log(line); };
    io.status = [this](const std::string& text) {
        pending_status_ = text;
        auto now = std::chrono::steady_clock::now();
        if (now - last_status_ < kStatusPace) return;
        last_status_ = now;
        StatusBar1->show_text(text);
    };
    io.notice = [this](const std::string& caption, const std::string& text) {
        kit::message_box(this, caption, text, kit::Buttons::kOk);
    };
    return io;
}

void Tjob_search_import_edits_form::settle_status() {
    if (!pending_status_.empty()) StatusBar1->show_text(pending_status_);
    pending_status_.clear();
}

void Tjob_search_import_edits_form::import_mail(records::MailLayout layout) {
    store::DataModule& dm = data_module();
    kit::OpenFileRequest request;
    request.parent = this;
    request.default_extension = "*";
    request.file_name = "*.*";
    dm.table_config.first();
    request.initial_dir = dm.table_config.field("BROWSE_START_HERE").as_string();
    std::optional<std::string> chosen = kit::prompter().open_file(request);
    if (!chosen) {
        log("No mail chosen: nothing was imported.");
        return;
    }
    std::string bytes;
    try {
        bytes = records::read_mail_file(DriveMap::current().to_host(*chosen));
    } catch (const std::exception& e) {
        log(*chosen + " could not be read, so nothing was imported: " + e.what());
        return;
    }
    log(records::layout_log_line(layout));
    records::MailReading reading = records::read_job_mail(bytes, layout, *chosen);
    if (reading.refusal) {
        log("Nothing was imported: " + reading.refusal->text);
        return;
    }
    std::vector<bool> recorded = records::find_recorded_jobs(dm.table_jsearch2, reading.jobs);
    std::size_t n_recorded = 0;
    for (bool r : recorded) n_recorded += r;
    if (n_recorded == reading.jobs.size()) {
        if (kit::message_box(this, "IMPORT REQUESTED",
                             "This mail was imported before. Import again?",
                             kit::Buttons::kYesNo) != kit::Answer::kYes) {
            log("Nothing was imported: " + *chosen + " was imported before.");
            return;
        }
        recorded.assign(recorded.size(), false);
        n_recorded = 0;
    }
    ImportPreview preview(this, reading.jobs, recorded);
    if (kit::run_modal(preview) != QDialog::Accepted) {
        log("Import cancelled: nothing was added.");
        return;
    }
    records::PostOutcome posted =
        records::post_mail_jobs(dm.table_jsearch2, dm.table_city, reading.jobs, recorded, *chosen);
    // The grid and the steps see the new records.
    dm.table_jsearch2.refresh();
    dm.table_city.refresh();
    if (posted.refusal) {
        log("Nothing was imported: " + posted.refusal->text);
        return;
    }
    log(records::import_summary(static_cast<int>(reading.jobs.size()), static_cast<int>(n_recorded),
                                posted));
}

void Tjob_search_import_edits_form::btn_Update_RefNumClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o = records::update_refnum(dm.table_jsearch2, step_io());
    settle_status();
    log(records::step_summary("(1) Update RefNum", o));
}

void Tjob_search_import_edits_form::btn_update_job_title_editClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::update_job_title_edits(dm.table_jsearch2, dm.table_js_edit, step_io());
    settle_status();
    log(records::step_summary("(2) Update Job Title Edits", o));
}

void Tjob_search_import_edits_form::btn_Open_Modify_Job_Title_Edits_TableClick() {
    const shell::WindowFactory* factory = shell::find_window("TJob_Title_Edit");
    if (!factory) {
        log("The job title edit window is not part of this program yet.");
        return;
    }
    std::unique_ptr<QDialog> window = (*factory)(this);
    kit::run_modal(*window);
}

void Tjob_search_import_edits_form::btn_Update_Job_TitleClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::update_job_titles(dm.table_jsearch2, dm.table_js_edit, step_io());
    settle_status();
    log(records::step_summary("(4) Update Job Title", o));
}

void Tjob_search_import_edits_form::btn_Update_Position_Title_TableClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::update_position_titles(dm.table_jsearch2, dm.table_position_title, step_io());
    settle_status();
    log(records::step_summary("(5) Update Position Title Table", o));
}

void Tjob_search_import_edits_form::btn_Update_Status_Table_With_New_Import_ValuesClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::rebuild_title_categories(dm.table_jsearch2, dm.table_stat_jt, step_io());
    settle_status();
    log(records::step_summary("(6) Update Status Table With New Import Values", o));
}

void Tjob_search_import_edits_form::btn_Update_Reason_Not_Submitted_TableClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::rebuild_reasons(dm.table_jsearch2, dm.table_reason, dm.table_js_edit, step_io());
    settle_status();
    log(records::step_summary("(7) Update Reason Not Submitted Table", o));
}

void Tjob_search_import_edits_form::btn_update_cityClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o = records::rebuild_cities(dm.table_jsearch2, dm.table_city, step_io());
    settle_status();
    log(records::step_summary("(8) Update City", o));
}

void Tjob_search_import_edits_form::btn_update_contact_nameClick() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::update_contact_names(dm.table_jsearch2, dm.table_contact_name, step_io());
    settle_status();
    log(records::step_summary("(9) Update Contact Name", o));
}

void Tjob_search_import_edits_form::Button2Click() {
    store::DataModule& dm = data_module();
    records::StepOutcome o =
        records::update_stats_reasons(dm.table_stat_jt, dm.table_js_edit, step_io());
    settle_status();
    log(records::step_summary("(10) Update Reason Not Submited in Stats Table", o));
}

void Tjob_search_import_edits_form::btn_run_all_stepsClick() {
    btn_Update_RefNumClick();
    btn_update_job_title_editClick();
    btn_Open_Modify_Job_Title_Edits_TableClick();
    btn_Update_Job_TitleClick();
    btn_Update_Position_Title_TableClick();
    btn_Update_Reason_Not_Submitted_TableClick();
    btn_update_cityClick();
    btn_update_contact_nameClick();
}

}  // namespace pavo::app::jobimport
