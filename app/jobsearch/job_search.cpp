// The job-search window: layout, modes, Add/Edit/Save/Cancel/Delete, Followup, the related-records
// update, the sort order, the item-file dialog, the pick-list keys and quick find.
#include "app/jobsearch/job_search.h"

#include <QKeyEvent>

#include "app/filters/filter_windows.h"
#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "app/kit/widgets.h"
#include "app/picklists/city.h"
#include "app/picklists/comment_js_pick_list.h"
#include "app/picklists/contact_name_pick_list.h"
#include "app/picklists/position_title_pick_list.h"
#include "app/picklists/reason_pick_list.h"
#include "platform/error.h"
#include "records/job_search_edits.h"
#include "store/data_module.h"
#include "utility/text_conv.h"

namespace pavo::app::jobsearch {

using kit::data_module;

namespace {

constexpr const char* kNewestFirst = "YYYYMMDD_TIME_DESCENDING";

kit::MaintenanceLayout job_search_layout(TJob_Search* w) {
    kit::MaintenanceLayout l;
    l.buttons = {kit::Command::kAdd,
                 {"btn_followup", "Followup", [w] { w->btn_followupClick(); }},
                 kit::Command::kEdit,
                 kit::Command::kDelete,
                 kit::Command::kSave,
                 kit::Command::kCancel,
                 {"btn_filter_records", "Filter Records", [w] { w->btn_filter_recordsClick(); }}};
    l.add_disabled_in_edit = true;
    l.close_box = true;
    l.navigation_caption = "> NAVIGATION <";
    l.message_panel_height = 150;
    return l;
}

// The truth-value drop-downs: the table stores "True"/"False", the lists spell them as the user
// knows them ("TRUE" in some), so the current value is found ignoring case.
class TruthCombo : public kit::DBComboFixed {
  public:
    TruthCombo(QWidget* parent, const std::string& name, const std::vector<std::string>& items)
        : DBComboFixed(parent, name, items) {}
    void load() override {
        const bool was = blockSignals(true);
        setCurrentIndex(findText(kit::q(field_text()), Qt::MatchFixedString));
        blockSignals(was);
    }
};

// Enter and Shift+Enter in the quick-find box.
class FindKeys : public QObject {
  public:
    FindKeys(QLineEdit* box, TJob_Search* w) : QObject(box), w_(w) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        const bool forward = !(key->modifiers() & Qt::ShiftModifier);
        kit::guarded(w_, [this, forward] { w_->find_record(forward); });
        return true;
    }

  private:
    TJob_Search* w_;
};

// Captions for the required fields named in the message list.
std::string caption_of(const std::string& field) {
    if (field == "TIME") return "TIME";
    if (field == "CONTACT_NAME") return "CONTACT NAME";
    if (field == "POS_CITY") return "POSITION CITY";
    if (field == "POS_STATE") return "POSITION STATE";
    if (field == "POS_TYPE") return "POSITION TYPE";
    return field;
}

template <typename Window>
void open_pick_list(QWidget* owner, kit::DBLookupCombo* field) {
    Window w(owner);
    kit::run_modal(w);
    field->refresh_list();
}

}  // namespace

const std::vector<std::string>& TJob_Search::state_codes() {
    static const std::vector<std::string> codes = {
        "--", "AL", "AK", "AS", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FM", "FL",
        "GA", "GU", "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MH", "MD",
        "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC",
        "ND", "MP", "OH", "OK", "OR", "PA", "PR", "RI", "SC", "SD", "TN", "TX", "UT",
        "VT", "VA", "VI", "WA", "WV", "WI", "WY", "AA", "AE", "AP"};
    return codes;
}

TJob_Search::TJob_Search(QWidget* owner)
    : MaintenanceWindow(owner, "Job_Search", "Job_Search", {960, 700}, "Job search",
                        job_search_layout(this)),
      jobs_(data_module().table_jsearch2),
      config_(data_module().table_config) {
    store::DataModule& dm = data_module();
    auto* ds = new kit::DataSource(&jobs_, this, "ds_jsearch2");
    set_data_source(ds);
    auto list = [this](tables::Table& t, const char* name) {
        return new kit::DataSource(&t, this, name);
    };

    // Entry fields in two columns right of the side panel.
    constexpr int kLeftCaption = 184, kLeftField = 300, kRightCaption = 572, kRightField = 690;
    constexpr int kFieldWidth = 250, kPitch = 28;
    int row = 0;
    auto place = [&](QWidget* field, const std::string& caption, bool right, int r, int width) {
        const int y = 8 + kPitch * r;
        field->setGeometry(right ? kRightField : kLeftField, y, width, 22);
        kit::caption_for(this, field, field->objectName().toStdString() + "_label", caption,
                         right ? kRightCaption : kLeftCaption, y + 3);
        field->setAccessibleName(kit::q(caption));
    };

    fld_date = new kit::DBEdit(this, "fld_date");
    fld_date->set_upper_case(true);
    fld_date->bind(ds, "DATE");
    place(fld_date, "DATE", false, row, 120);
    DateTimePicker_date = new kit::FieldDatePicker(this, "DateTimePicker_date");
    DateTimePicker_date->place_over(fld_date);

    fld_time = new kit::DBLookupCombo(this, "fld_time");
    fld_time->bind(ds, "TIME");
    fld_time->set_list_source(list(dm.table_time, "ds_time"), "24_HOUR", "24_HOUR");
    place(fld_time, "TIME", true, row++, 120);

    fld_contact_name = new kit::DBLookupCombo(this, "fld_contact_name");
    fld_contact_name->bind(ds, "CONTACT_NAME");
    fld_contact_name->set_list_source(list(dm.table_contact_name, "ds_Contact_Name"),
                                      "CONTACT_NAME", "CONTACT_NAME");
    place(fld_contact_name, "CONTACT NAME", false, row, kFieldWidth);

    fld_email = new TruthCombo(this, "fld_email", {"TRUE", "FALSE"});
    fld_email->bind(ds, "EMAIL");
    place(fld_email, "EMAIL CONTACT", true, row++, 120);

    fld_city = new kit::DBLookupCombo(this, "fld_city");
    fld_city->bind(ds, "POS_CITY");
    fld_city->set_list_source(list(dm.table_city, "ds_city"), "CITY", "CITY");
    place(fld_city, "POSITION CITY", false, row, kFieldWidth);

    fld_active = new TruthCombo(this, "fld_active", {"True", "False"});
    fld_active->bind(ds, "ACTIVE");
    place(fld_active, "ACTIVE SEARCH", true, row++, 120);

    fld_state = new kit::DBComboFixed(this, "fld_state", state_codes());
    fld_state->bind(ds, "POS_STATE");
    place(fld_state, "POSITION STATE", false, row, 80);

    fld_submitted = new TruthCombo(this, "fld_submitted", {"TRUE", "FALSE"});
    fld_submitted->bind(ds, "SUBMITTED");
    place(fld_submitted, "SUBMITTED", true, row++, 120);

    fld_position_title = new kit::DBLookupCombo(this, "fld_position_title");
    fld_position_title->bind(ds, "POS_TITLE");
    fld_position_title->set_list_source(list(dm.table_position_title, "ds_table_position_title"),
                                        "POS_TITLE", "POS_TITLE");
    place(fld_position_title, "POSITION TITLE", false, row++, 636);

    fld_pos_type = new kit::DBLookupCombo(this, "fld_pos_type");
    fld_pos_type->bind(ds, "POS_TYPE");
    fld_pos_type->set_list_source(list(dm.table_position_code, "ds_position_code"), "POS_CODE",
                                  "POS_DESC");
    place(fld_pos_type, "POSITION TYPE", false, row, 180);
    fld_related = new QCheckBox("Update Related Records", this);
    fld_related->setObjectName("fld_related");
    fld_related->setGeometry(kLeftField + 190, 8 + kPitch * row++, 200, 22);

    fld_reason = new kit::DBLookupCombo(this, "fld_reason");
    fld_reason->bind(ds, "REASON_NO_SUBMIT");
    fld_reason->set_list_source(list(dm.table_reason, "ds_reason"), "REASON", "REASON");
    place(fld_reason, "REASON", false, row++, 636);

    fld_item_file = new kit::DBEdit(this, "fld_item_file");
    fld_item_file->bind(ds, "ITEM_FILE");
    place(fld_item_file, "ITEM FILE", false, row++, 636);

    fld_comment = new kit::DBLookupCombo(this, "fld_comment");
    fld_comment->bind(ds, "COMMENT");
    fld_comment->set_list_source(list(dm.table_comment_js, "ds_comment_js"), "COMMENT", "COMMENT");
    place(fld_comment, "COMMENT", false, row++, 636);

    fld_memo = new kit::DBMemo(this, "fld_memo");
    fld_memo->bind(ds, "MEMO");
    fld_memo->setGeometry(kLeftField, 8 + kPitch * row, 636, 70);
    kit::caption_for(this, fld_memo, "fld_memo_label", "MEMO", kLeftCaption, 8 + kPitch * row + 3);
    fld_memo->setAccessibleName("MEMO");
    const int grid_top = 8 + kPitch * row + 80;

    fld_find = new QLineEdit(this);
    fld_find->setObjectName("fld_find");
    fld_find->setGeometry(kLeftField, grid_top, 250, 22);
    fld_find->setAccessibleName("Find");
    fld_find->setToolTip("Enter: next match, Shift+Enter: previous match");
    kit::caption_for(this, fld_find, "fld_find_label", "Find", kLeftCaption, grid_top + 3);
    fld_find->installEventFilter(new FindKeys(fld_find, this));

    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds);
    DBGrid1->setGeometry(184, grid_top + 28, 768, 700 - grid_top - 36);
    DBGrid1->setAccessibleName("Job search records");
    DBGrid1->set_columns({{"REFNUM", "", 60, {}, {}, true, true},
                          {"ACTIVE", "", 50, {}, {}, true, false},
                          {"ACTIVE_CHANGED", "CHANGED", 75, {}, {}, true, true},
                          {"DATE", "", 75, {}, {}, true, true},
                          {"TIME", "", 45, {}, {}, true, false},
                          {"POS_TITLE", "TITLE", 150, {}, {}, true, false},
                          {"CONTACT_NAME", "CONTACT", 110, {}, {}, true, false},
                          {"EMAIL", "", 50, {}, {}, true, false},
                          {"POS_TYPE", "TYPE", 40, {}, {}, true, false},
                          {"POS_CITY", "CITY", 90, {}, {}, true, false},
                          {"POS_STATE", "STATE", 45, {}, {}, true, false}});

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(false);
    ComboBox1->setAccessibleName("Sort order");
    ComboBox1->setGeometry(8, Panel1->height() - 30, 161, 22);
    for (const std::string& name : jobs_.index_names()) ComboBox1->addItem(kit::q(name));
    ComboBox1->setCurrentIndex(-1);
    // activated: only the user's choice.
    connect(ComboBox1, &QComboBox::activated, this,
            [this](int i) { kit::guarded(this, [this, i] { ComboBox1Change(i); }); });

    kit::open_on_key(fld_contact_name, Qt::Key_F2, [this] {
        open_pick_list<picklists::TContact_Name_Pick_List>(this, fld_contact_name);
    });
    kit::open_on_key(fld_city, 0, [this] { open_pick_list<picklists::TCity>(this, fld_city); });
    kit::open_on_key(fld_position_title, 0, [this] {
        open_pick_list<picklists::TPosition_Title_Pick_List>(this, fld_position_title);
    });
    kit::open_on_key(fld_reason, 0,
                     [this] { open_pick_list<picklists::TReason_Pick_List>(this, fld_reason); });
    kit::open_on_key(fld_comment, 0, [this] {
        open_pick_list<picklists::TComment_JS_Pick_List>(this, fld_comment);
    });
    kit::open_on_key(fld_item_file, Qt::Key_F2, [this] { fld_item_fileF2(); });

    for (kit::DBLookupCombo* c : {fld_time, fld_contact_name, fld_city, fld_position_title,
                                  fld_pos_type, fld_reason, fld_comment})
        c->refresh_list();
    flds_normal();
}

std::vector<QWidget*> TJob_Search::entry_fields() const {
    return {fld_date,   fld_time,      fld_contact_name,   fld_email,    fld_active,
            fld_city,   fld_state,     fld_position_title, fld_pos_type, fld_submitted,
            fld_reason, fld_item_file, fld_comment,        fld_memo};
}

void TJob_Search::FormActivate() {
    // A pick list opened from a field while editing hands the focus back here: the record being
    // edited stays in edit mode, or it could be neither saved nor cancelled.
    if (data_source()->editing()) {
        Panel1->paint_lime();
        if (Panel2) Panel2->paint_lime();
        return;
    }
    MaintenanceWindow::FormActivate();
}

bool TJob_Search::close_query() {
    if (!MaintenanceWindow::close_query()) return false;
    // Closing with the record still pending would leave it half-entered in the shared dataset.
    return !data_source()->editing();
}

void TJob_Search::flds_normal() {
    for (QWidget* f : entry_fields()) f->setEnabled(false);
    DBGrid1->setEnabled(true);
    ComboBox1->setEnabled(true);
    fld_find->setEnabled(true);
    fld_related->setEnabled(false);
    fld_related->hide();
    DateTimePicker_date->setEnabled(false);
    DateTimePicker_date->hide();
}

void TJob_Search::flds_edit() {
    for (QWidget* f : entry_fields()) f->setEnabled(true);
    DBGrid1->setEnabled(false);
    ComboBox1->setEnabled(false);
    fld_find->setEnabled(false);
    fld_related->setEnabled(true);
    fld_related->show();
    DateTimePicker_date->place_over(fld_date);
    DateTimePicker_date->setEnabled(true);
    DateTimePicker_date->show();
}

void TJob_Search::btn_addClick() {
    btns_edit_add();
    flds_edit();
    DateTimePicker_date->set_today();
    data_source()->append();
}

void TJob_Search::btn_editClick() {
    active_at_edit_ = jobs_.field("ACTIVE").as_boolean();
    btns_edit_add();
    flds_edit();
    jobs_.edit();
    // The stored date itself: a picker left on an earlier record's date would be saved over it.
    tables::Field date = jobs_.field("DATE");
    if (date.is_null()) {
        DateTimePicker_date->set_empty();
    } else {
        DateTimePicker_date->set_date_value(date.as_date());
    }
}

void TJob_Search::btn_saveClick() {
    clear_messages();
    std::vector<std::string> missing;
    if (DateTimePicker_date->empty()) missing.push_back("DATE");
    for (const std::string& f : records::missing_job_search_fields(jobs_)) missing.push_back(f);
    if (!missing.empty()) {
        add_message("Not saved: these fields need a value:");
        for (const std::string& f : missing) add_message("  " + caption_of(f));
        return;  // edit mode, the record pending
    }
    const auto date = parse_short_date(DateTimePicker_date->short_date_text());
    if (!date) throw Error(ErrorKind::kConversion, "DATE is not a date.");
    const bool active = jobs_.field("ACTIVE").as_boolean();
    // A refused post throws here, with the window still in edit mode and the record pending.
    const double refnum = records::save_job_search(jobs_, {*date, active_at_edit_, today_date()});
    btns_normal();
    flds_normal();

    std::exception_ptr failure;
    if (fld_related->isChecked()) {
        try {
            update_related(refnum, active);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    fld_related->setChecked(false);
    jobs_.close();
    jobs_.set_index_name(kNewestFirst);
    jobs_.open();
    if (failure) std::rethrow_exception(failure);
}

void TJob_Search::update_related(double refnum, bool active) {
    const std::string text =
        "You have asked me to update related records to the status of " +
        fld_active->currentText().toStdString() +
        ".\n"
        "If you answer \"OK\", it could take awhile to update, depending on the amount of\n"
        "data you have.  If you answer \"CANCEL\", the related records will not be changed\n";
    if (kit::message_box(this, kRelatedCaption, text, kit::Buttons::kOkCancel) != kit::Answer::kOk)
        return;
    const bool had_filter = jobs_.filtered() && !jobs_.filter().empty();
    try {
        const int n = records::update_related_records(jobs_, refnum, active, today_date());
        add_message(std::to_string(n) + " related records updated.");
    } catch (...) {
        add_message("No related record was changed.");
        if (had_filter) add_message("The record filter was removed.");
        throw;
    }
    if (had_filter) add_message("The record filter was removed.");
}

void TJob_Search::btn_cancelClick() {
    MaintenanceWindow::btn_cancelClick();  // cancel, normal mode, picker hidden
}

void TJob_Search::btn_deleteClick() {
    MaintenanceWindow::btn_deleteClick();  // whatever the answer: normal mode, picker hidden
}

void TJob_Search::btn_followupClick() {
    clear_messages();
    if (data_source()->editing()) {
        add_message(kFollowupWhileEditing);
        return;
    }
    static const char* const kTaken[] = {
        "POS_CITY",  "COMMENT",          "CONTACT_NAME", "EMAIL",     "ITEM_FILE", "POS_TYPE",
        "POS_TITLE", "REASON_NO_SUBMIT", "POS_STATE",    "SUBMITTED", "TIME"};
    std::vector<std::pair<std::string, std::string>> taken;
    std::string refnum;
    if (jobs_.record_count() > 0) {
        for (const char* f : kTaken) taken.emplace_back(f, jobs_.field(f).as_string());
        refnum = jobs_.field("REFNUM").as_string();
        // A record without an application number starts its own application.
        if (refnum.empty()) refnum = jobs_.field("PK").as_string();
    }
    btn_addClick();
    if (!refnum.empty()) jobs_.field("REFNUM").set_as_string(refnum);
    for (const auto& [field, text] : taken) jobs_.field(field).set_as_string(text);
    jobs_.field("DATE").set_as_date(today_date());
    DateTimePicker_date->set_today();
}

void TJob_Search::btn_filter_recordsClick() {
    filters::open_filter_window(this, filters::FilterTarget::kJobSearch);
}

void TJob_Search::ComboBox1Change(int index) {
    if (index < 0) return;
    jobs_.close();
    jobs_.set_index_name(ComboBox1->itemText(index).toStdString());
    jobs_.open();
}

void TJob_Search::fld_item_fileF2() {
    kit::OpenFileRequest request;
    request.parent = this;
    request.default_extension = "*";
    request.file_name = "*.*";
    request.initial_dir = config_.field("BROWSE_START_HERE").as_string();
    const std::optional<std::string> chosen = kit::prompter().open_file(request);
    if (!chosen) return;
    // The drive letter and colon are dropped, so the stored path begins with the backslash.
    const std::string path =
        chosen->size() >= 2 && (*chosen)[1] == ':' ? chosen->substr(2) : *chosen;
    const int room = jobs_.field("ITEM_FILE").size();
    if (static_cast<int>(path.size()) > room) {
        kit::message_box(this, "MESSAGE",
                         "The path of the chosen file has " + std::to_string(path.size()) +
                             " characters; ITEM FILE holds " + std::to_string(room) +
                             ".\nThe item file was not changed.",
                         kit::Buttons::kOk);
        return;
    }
    jobs_.field("ITEM_FILE").set_as_string(path);
}

void TJob_Search::find_record(bool forward) {
    const std::string text = fld_find->text().toStdString();
    if (text.empty() || data_source()->editing()) return;
    clear_messages();
    if (!records::quick_find(jobs_, text, forward)) add_message("Not found");
}

}  // namespace pavo::app::jobsearch
