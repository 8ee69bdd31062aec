// The job title edits window: grid, modes, Save, the new-records filter, the two mass changes and
// the boxes that exclude each other.
#include "app/jobsearch/job_title_edit.h"

#include <QApplication>
#include <QEvent>
#include <QFont>

#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "app/kit/widgets.h"
#include "platform/error.h"
#include "store/data_module.h"

namespace pavo::app::jobsearch {

using kit::data_module;

namespace {

kit::MaintenanceLayout title_edit_layout(TJob_Title_Edit* w) {
    kit::MaintenanceLayout l;
    l.buttons = {
        kit::Command::kAdd,
        kit::Command::kEdit,
        kit::Command::kDelete,
        kit::Command::kSave,
        kit::Command::kCancel,
        kit::Command::kExit,
        {"btn_show_new_records", "Show Only New Records", [w] { w->btn_show_new_recordsClick(); }},
        {"btn_show_all_records", "Show All Records", [w] { w->btn_show_all_recordsClick(); }}};
    return l;
}

void paint(QWidget* box, bool red) {
    QPalette p = QApplication::palette(box);
    if (red) p.setColor(QPalette::Base, Qt::red);
    box->setPalette(p);
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TJob_Title_Edit::TJob_Title_Edit(QWidget* owner)
    : MaintenanceWindow(owner, "Job_Title_Edit", "", {900, 590}, "Job title edits",
                        title_edit_layout(this)),
      edits_(data_module().table_js_edit),
      reasons_(data_module().table_reason) {
    auto* ds = new kit::DataSource(&edits_, this, "ds_js_edit");
    set_data_source(ds);
    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds);
    DBGrid1->setGeometry(176, 0, 724, 370);
    DBGrid1->setAccessibleName("Job title edits");
    set_columns({});

    auto* lower = new kit::SidePanel(this, "Panel3");
    lower->setGeometry(176, 370, 724, 220);

    auto group = [&](const char* name, const char* caption, int x) {
        auto* g = new QGroupBox(caption, lower);
        g->setObjectName(name);
        g->setGeometry(x, 6, 330, 164);
        return g;
    };
    auto box = [&](QGroupBox* g, const char* name, const char* caption, int y) {
        auto* e = new kit::UpperEdit(g, name, 132);
        e->setGeometry(168, y, 150, 22);
        auto* label = kit::caption_for(g, e, std::string(name) + "_label", caption, 8, y - 4);
        label->setWordWrap(true);
        label->setGeometry(8, y - 9, 156, 40);
        e->setAccessibleName(kit::q(caption).replace('\n', ' '));
        e->installEventFilter(this);
        return e;
    };
    GroupBox_titles = group("GroupBox_titles", ">JOB TITLE MASS CHANGE<", 8);
    Edit1 = box(GroupBox_titles, "Edit1", "CHANGE_FROM \nRECORDS CONTAINING", 30);
    Edit2 = box(GroupBox_titles, "Edit2", "MAKE \"CHANGE_TO\" THIS", 80);
    btn_mass_change = new QPushButton("Mass Change", GroupBox_titles);
    btn_mass_change->setObjectName("btn_mass_change");
    btn_mass_change->setGeometry(168, 126, 150, 25);

    GroupBox_reasons = group("GroupBox_reasons", "REASON NO SUBMIT", 346);
    Edit3 = box(GroupBox_reasons, "Edit3", "CHANGE TO CONTAINING", 30);
    Edit4 = box(GroupBox_reasons, "Edit4", "SET REASON_NO_SUBMIT\nTO THIS VALUE", 80);
    btn_mass_change2 = new QPushButton("Mass Change", GroupBox_reasons);
    btn_mass_change2->setObjectName("btn_mass_change2");
    btn_mass_change2->setGeometry(168, 126, 150, 25);

    cb_confirm = new QCheckBox("Confirm All Changes", lower);
    cb_confirm->setObjectName("cb_confirm");
    cb_confirm->setGeometry(16, 184, 200, 22);
    QFont bold = cb_confirm->font();
    bold.setBold(true);
    cb_confirm->setFont(bold);
    QPalette red = cb_confirm->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    cb_confirm->setPalette(red);
    cb_confirm->setChecked(true);
    btn_reset = new QPushButton("Reset", lower);
    btn_reset->setObjectName("btn_reset");
    btn_reset->setGeometry(230, 182, 90, 25);
    lbl_mass_result = new QLabel(lower);
    lbl_mass_result->setObjectName("lbl_mass_result");
    lbl_mass_result->setGeometry(330, 184, 390, 22);

    auto on_click = [this](QPushButton* b, void (TJob_Title_Edit::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { kit::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    on_click(btn_mass_change, &TJob_Title_Edit::btn_mass_changeClick);
    on_click(btn_mass_change2, &TJob_Title_Edit::btn_mass_change2Click);
    on_click(btn_reset, &TJob_Title_Edit::btn_resetClick);
    // Edit1Change: typing in the search box asks for confirmation again.
    connect(Edit1, &QLineEdit::textEdited, this, [this] { cb_confirm->setChecked(true); });
}

void TJob_Title_Edit::set_columns(std::vector<std::string> reasons) {
    DBGrid1->set_columns({{"REASON_NO_SUBMIT", "", 200, std::move(reasons), {}, false, false},
                          {"CHANGE_FROM", "", 250, {}, {}, false, false},
                          {"CHANGE_TO", "", 250, {}, {}, false, false}});
}

const std::vector<std::string>& TJob_Title_Edit::reason_pick_list() const {
    return DBGrid1->dataset_model()->columns().front().pick_list;
}

void TJob_Title_Edit::FormActivate() {
    for (kit::UpperEdit* e : {Edit1, Edit2, Edit3, Edit4}) e->clear();
    MaintenanceWindow::FormActivate();
}

bool TJob_Title_Edit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == Edit1 || watched == Edit2) {
            exclude(Edit3, Edit4);
            cb_confirm->setChecked(true);
        } else if (watched == Edit3) {
            exclude(Edit1, Edit2);
            cb_confirm->setChecked(true);
        }
    }
    return MaintenanceWindow::eventFilter(watched, event);
}

void TJob_Title_Edit::exclude(kit::UpperEdit* a, kit::UpperEdit* b) {
    for (kit::UpperEdit* e : {a, b}) {
        e->setEnabled(false);
        paint(e, true);
    }
}

void TJob_Title_Edit::enable_boxes(std::initializer_list<kit::UpperEdit*> boxes) {
    for (kit::UpperEdit* e : boxes) {
        e->setEnabled(true);
        paint(e, false);
    }
}

void TJob_Title_Edit::add_reason_no_submit_pick_list() {
    std::vector<std::string> reasons;
    const int field = reasons_.field("REASON").index();
    const int n = reasons_.record_count();
    for (int row = 1; row <= n; ++row) reasons.push_back(reasons_.text_at(row, field));
    reasons_.first();
    set_columns(std::move(reasons));
}

void TJob_Title_Edit::btn_editClick() {
    MaintenanceWindow::btn_editClick();
    add_reason_no_submit_pick_list();
}

void TJob_Title_Edit::btn_saveClick() {
    for (const char* f : {"CHANGE_FROM", "CHANGE_TO"}) {
        tables::Field field = edits_.field(f);
        field.set_as_string(upper(field.as_string()));
    }
    MaintenanceWindow::btn_saveClick();
}

void TJob_Title_Edit::btn_show_new_recordsClick() {
    edits_.set_filtered(false);
    edits_.set_filter(kNewRecordsFilter);
    edits_.set_filtered(true);
    edits_.first();
}

void TJob_Title_Edit::btn_show_all_recordsClick() {
    edits_.set_filter("");
    edits_.set_filtered(false);
    edits_.first();
}

void TJob_Title_Edit::btn_resetClick() {
    enable_boxes({Edit1, Edit2, Edit3, Edit4});
    cb_confirm->setChecked(true);
}

void TJob_Title_Edit::btn_mass_changeClick() {
    run_mass_change(records::MassChangeField::kChangeTo);
}

void TJob_Title_Edit::btn_mass_change2Click() {
    run_mass_change(records::MassChangeField::kReasonNoSubmit);
}

void TJob_Title_Edit::run_mass_change(records::MassChangeField field) {
    const bool titles = field == records::MassChangeField::kChangeTo;
    kit::UpperEdit* search_box = titles ? Edit1 : Edit3;
    kit::UpperEdit* value_box = titles ? Edit2 : Edit4;
    const bool confirm = cb_confirm->isChecked();
    search_box->setEnabled(false);
    value_box->setEnabled(false);
    lbl_mass_result->clear();
    const std::string search = search_box->text().toStdString();
    const std::string value = value_box->text().toStdString();
    if (const char* refusal = records::mass_change_refusal(search, value)) {
        kit::message_box(this, "MESSAGE", refusal, kit::Buttons::kOk);
        search_box->setEnabled(true);
        value_box->setEnabled(true);
        return;
    }
    // The boxes come back whatever happens, a failure of the walk included.
    struct Finish {
        TJob_Title_Edit* w;
        bool titles;
        ~Finish() {
            w->enable_boxes({w->Edit1, w->Edit2, w->Edit3, w->Edit4});
            if (!titles) w->cb_confirm->setChecked(true);
        }
    } finish{this, titles};
    std::function<records::MassAnswer()> ask;
    if (confirm) {
        ask = [this] {
            switch (kit::message_box(this, "MESSAGE", records::kMassConfirmText,
                                     kit::Buttons::kYesNoCancel)) {
                case kit::Answer::kYes:
                    return records::MassAnswer::kYes;
                case kit::Answer::kNo:
                    return records::MassAnswer::kNo;
                case kit::Answer::kOk:
                case kit::Answer::kCancel:
                    break;
            }
            return records::MassAnswer::kCancel;
        };
    }
    const records::MassChangeResult result =
        records::mass_change(edits_, field, search, value, ask);
    lbl_mass_result->setText(kit::q(records::mass_change_summary(result)));
}

}  // namespace pavo::app::jobsearch
