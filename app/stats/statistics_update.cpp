// The statistics window: layout, confirmations and the runs of the records module's statistics
// computations.
#include "app/stats/statistics_update.h"

#include <QGroupBox>

#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "platform/error.h"
#include "store/data_module.h"

namespace pavo::app::stats {

using kit::data_module;

namespace {

QPushButton* button(QWidget* parent, const char* name, const char* text, int y) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(8, y, 345, 25);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

const char* Tstatistics_update::title_confirmation() {
    return "Depending on your data, this could take a while.  With 62,899 records in the Job "
           "Search Database,and\n"
           "721 Records in the Job Title Stats database, on a PII, 700MHz computer it took about "
           "14 minutes.\n"
           "If started DO NOT use the computer for ANYTHING until it's done, database corruption "
           "could occur.\n"
           "CONTINUE??";
}

const char* Tstatistics_update::state_confirmation() {
    return "This processes takes only about 3% of the job Title Statistics, and\n"
           "scans the same database.  The updating of the Job Title Statistics\n"
           "does more processing than updating the State statistics.\n"
           "CONTINUE??";
}

Tstatistics_update::Tstatistics_update(QWidget* owner)
    : KitWindow(owner, "statistics_update", "STATISTICS UPDATES", {640, 470}, {}, true),
      jobs_(data_module().table_jsearch2),
      stats_jt_(data_module().table_stat_jt),
      stats_st_(data_module().table_stat_st),
      postitle_(data_module().table_position_title) {
    Label1 = new QLabel("STATISTICS UPDATES", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 4, 624, 20);
    Label1->setAlignment(Qt::AlignCenter);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setGeometry(8, 26, 624, 120);
    Memo1->setAccessibleName("Messages");

    auto* all = new QGroupBox("> ALL RECORDS <", this);
    all->setObjectName("GroupBox1");
    all->setGeometry(8, 152, 361, 150);
    btn_update_pos_title_table =
        button(all, "btn_update_pos_title_table", "UPDATE POSITION TITLE TABLE", 22);
    btn_update_stats_table_with_new_import_values =
        button(all, "btn_update_stats_table_with_new_import_values",
               "UPDATE STATS TABLE WITH NEW IMPORT VALUES", 52);
    btn_update_job_title_stats =
        button(all, "btn_update_job_title_stats", "UPDATE JOB TITLE STATS", 82);
    btn_update_job_state_stats =
        button(all, "btn_update_job_state_stats", "UPDATE JOB STATE STATS", 112);

    auto* month = new QGroupBox("> SINGLE SPECIFIC MONTH <", this);
    month->setObjectName("GroupBox2");
    month->setGeometry(8, 308, 361, 120);
    btn_mon_year_range = button(month, "btn_mon_year_range", "DETERMINE MONTH/YEAR RANGE", 22);
    ComboBox1 = new QComboBox(month);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(false);  // only its own items
    ComboBox1->setGeometry(8, 54, 345, 22);
    ComboBox1->setAccessibleName("Month");
    Button2 = button(month, "Button2", "CREATE/UPDATE MONTHLY STATS", 84);

    btn_cancel = new QPushButton("Cancel", this);
    btn_cancel->setObjectName("btn_cancel");
    btn_cancel->setGeometry(380, 400, 120, 25);
    btn_cancel->setEnabled(false);  // only a running operation can be cancelled
    btn_cancel->setAutoDefault(false);

    StatusBar1 = new kit::ProgressStatusBar(this, "StatusBar1");
    StatusBar1->setGeometry(0, 448, 640, 22);

    auto wire = [this](QPushButton* b, void (Tstatistics_update::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { kit::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    wire(btn_update_job_title_stats, &Tstatistics_update::btn_update_job_title_statsClick);
    wire(btn_update_job_state_stats, &Tstatistics_update::btn_update_job_state_statsClick);
    wire(btn_update_stats_table_with_new_import_values,
         &Tstatistics_update::btn_update_stats_table_with_new_import_valuesClick);
    wire(btn_update_pos_title_table, &Tstatistics_update::btn_update_pos_title_tableClick);
    wire(btn_mon_year_range, &Tstatistics_update::btn_mon_year_rangeClick);
    wire(Button2, &Tstatistics_update::Button2Click);
}

void Tstatistics_update::FormActivate() {
    Memo1->clear();
}

void Tstatistics_update::memo(const std::string& line) {
    Memo1->appendPlainText(kit::q(line));
}

void Tstatistics_update::note_filter() {
    if (!jobs_.filtered() || jobs_.filter().empty()) return;
    tables::Table all;
    all.set_database_name(jobs_.database_name());
    all.set_table_name(jobs_.table_name());
    all.open();
    memo("A filter is in force: " + std::to_string(jobs_.record_count()) + " of " +
         std::to_string(all.record_count()) + " job search records are counted.");
}

bool Tstatistics_update::run(const std::function<void(const kit::LongRun::Reporter&)>& operation) {
    QWidget* controls[] = {btn_update_pos_title_table,
                           btn_update_stats_table_with_new_import_values,
                           btn_update_job_title_stats,
                           btn_update_job_state_stats,
                           btn_mon_year_range,
                           ComboBox1,
                           Button2};
    for (QWidget* w : controls) w->setEnabled(false);
    struct Restore {
        QWidget** begin;
        QWidget** end;
        ~Restore() {
            for (QWidget** w = begin; w != end; ++w) (*w)->setEnabled(true);
        }
    } restore{std::begin(controls), std::end(controls)};
    kit::LongRun long_run(btn_cancel, StatusBar1);
    if (long_run_clock) long_run.set_clock(long_run_clock);
    const bool finished = long_run.run_reporting(operation);
    if (!finished) memo("Cancelled: no table was changed.");
    return finished;
}

void Tstatistics_update::btn_update_job_title_statsClick() {
    if (kit::message_box(this, "STATISTICS UPDATE", title_confirmation(), kit::Buttons::kYesNo) !=
        kit::Answer::kYes)
        return;
    StatusBar1->show_text("Start");
    note_filter();
    records::CountOutcome out;
    run([&](const kit::LongRun::Reporter& p) {
        out = records::update_title_stats(jobs_, stats_jt_, p);
    });
    if (!out.cancelled)
        memo("Job title statistics: " + std::to_string(out.records) + " records counted, " +
             std::to_string(out.matched) + " of them in " + std::to_string(out.rows) +
             " categories.");
}

void Tstatistics_update::btn_update_job_state_statsClick() {
    if (kit::message_box(this, "STATISTICS UPDATE", state_confirmation(), kit::Buttons::kYesNo) !=
        kit::Answer::kYes)
        return;
    StatusBar1->show_text("Start");
    note_filter();
    records::CountOutcome out;
    run([&](const kit::LongRun::Reporter& p) {
        out = records::update_state_stats(jobs_, stats_st_, p);
    });
    if (!out.cancelled)
        memo("Job state statistics: " + std::to_string(out.records) + " records counted, " +
             std::to_string(out.matched) + " of them in " + std::to_string(out.rows) + " states.");
}

void Tstatistics_update::btn_update_stats_table_with_new_import_valuesClick() {
    note_filter();
    records::AddOutcome out;
    run([&](const kit::LongRun::Reporter& p) {
        out = records::add_new_categories(jobs_, stats_jt_, p);
    });
    if (!out.cancelled)
        memo(std::to_string(out.added) + " new categories added from " +
             std::to_string(out.scanned) + " records.");
}

void Tstatistics_update::btn_update_pos_title_tableClick() {
    StatusBar1->show_text(std::string(39, ' '));
    note_filter();
    records::AddOutcome out;
    run([&](const kit::LongRun::Reporter& p) {
        out = records::add_new_position_titles(jobs_, postitle_, p);
    });
    if (!out.cancelled)
        memo(std::to_string(out.added) + " new position titles added from " +
             std::to_string(out.scanned) + " records.");
}

void Tstatistics_update::btn_mon_year_rangeClick() {
    ComboBox1->clear();
    Memo1->clear();
    // The records stay in ascending date order afterwards, as this command has always left them.
    jobs_.close();
    jobs_.set_index_name("YYYYMMDD_TIME_ASCENDING");
    jobs_.open();
    for (records::YearMonth m : records::job_search_months(jobs_)) {
        const QString line = kit::q(records::month_line(m));
        Memo1->appendPlainText(line);
        ComboBox1->addItem(line);
    }
}

void Tstatistics_update::Button2Click() {
    const std::string line = ComboBox1->currentText().toStdString();
    const std::optional<records::YearMonth> month = records::parse_month_line(line);
    if (!month) {
        kit::message_box(this, "MESSAGE",
                         "Choose a month first: press DETERMINE MONTH/YEAR RANGE and pick a month "
                         "from the list.",
                         kit::Buttons::kOk);
        return;
    }
    // Both questions before any table is touched, so No never leaves a month half made.
    const bool state = kit::message_box(this, "STATISTICS UPDATE", state_confirmation(),
                                        kit::Buttons::kYesNo) == kit::Answer::kYes;
    const bool title = kit::message_box(this, "STATISTICS UPDATE", title_confirmation(),
                                        kit::Buttons::kYesNo) == kit::Answer::kYes;
    if (!state && !title) return;
    StatusBar1->show_text("Start");
    records::MonthlyOutcome out;
    run([&](const kit::LongRun::Reporter& p) {
        out = records::update_monthly_stats(jobs_, stats_st_, stats_jt_, *month, state, title, p);
    });
    if (out.cancelled) return;
    std::string made;
    if (state) made = records::monthly_state_table_name(*month);
    if (title) made += (made.empty() ? "" : " and ") + records::monthly_title_table_name(*month);
    memo(line + ": " + std::to_string(out.records) + " records counted into " + made + ".");
}

}  // namespace pavo::app::stats
