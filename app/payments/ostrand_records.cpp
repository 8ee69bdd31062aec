// The payment window: layout, modes, activation, the date pickers, Save's computed fields, the
// index list, the filter button and the F2 keys.
#include "app/payments/ostrand_records.h"

#include <QFont>
#include <QKeyEvent>

#include "app/filters/filter_windows.h"
#include "app/kit/data_source.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"
#include "app/picklists/carrier_pick_list.h"
#include "app/picklists/category_pick_list.h"
#include "app/picklists/comment_pick_list.h"
#include "app/picklists/item_pick_list.h"
#include "platform/error.h"
#include "store/data_module.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::app::payments {

using kit::data_module;

namespace {

constexpr int kMessageHeight = 140;

kit::MaintenanceLayout payment_layout(TOstrand_Records* w) {
    kit::MaintenanceLayout layout;
    layout.buttons = {
        kit::Command::kAdd,    kit::Command::kEdit,
        kit::Command::kDelete, kit::Command::kSave,
        kit::Command::kCancel, {"Button2", "Filter Records", [w] { w->Button2Click(); }}};
    layout.close_box = true;
    layout.navigation_caption = "> NAVIGATING RECORDS <";
    layout.message_panel_height = kMessageHeight;
    layout.add_disabled_in_edit = true;
    return layout;
}

// Column positions of the field area and the height of one caption-and-field row.
constexpr int kColA = 184, kColB = 424, kColC = 534, kColD = 644, kColE = 764;
constexpr int kRowTop = 4, kRowPitch = 42;

int row_y(int row) {
    return kRowTop + row * kRowPitch;
}

}  // namespace

TOstrand_Records::TOstrand_Records(QWidget* owner)
    : MaintenanceWindow(owner, "Ostrand_Records", "Ostrand_Records", {993, 690}, "Payment records",
                        payment_layout(this)),
      table_(data_module().table_pavoden) {
    store::DataModule& dm = data_module();
    ds_ = new kit::DataSource(&table_, this, "ds_pavoden");
    set_data_source(ds_);

    int label_no = 1;
    auto place = [&](QWidget* field, const std::string& caption, int x, int row, int width,
                     int height = 22) {
        kit::caption_for(this, field, "Label" + std::to_string(label_no++), caption, x, row_y(row));
        field->setGeometry(x, row_y(row) + 16, width, height);
    };
    auto edit = [&](const char* name, const char* field, bool upper = true) {
        auto* e = new kit::DBEdit(this, name);
        e->bind(ds_, field);
        e->set_upper_case(upper);
        return e;
    };
    auto lookup = [&](const char* name, const char* field, tables::Table& list, const char* ds) {
        auto* c = new kit::DBLookupCombo(this, name);
        c->bind(ds_, field);
        c->set_list_source(new kit::DataSource(&list, this, ds), field, field);
        return c;
    };
    auto amount = [&](const char* name) {
        auto* e = new kit::UpperEdit(this, name, 0);
        e->setAlignment(Qt::AlignRight);
        return e;
    };

    fld_category = lookup("fld_category", "CATEGORY", dm.table_category, "ds_category");
    place(fld_category, "CATEGORY", kColA, 0, 230);
    fld_item = lookup("fld_item", "ITEM", dm.table_item, "ds_item");
    place(fld_item, "ITEM", kColA, 1, 230);
    fld_carrier = lookup("fld_carrier", "CARRIER", dm.table_carrier, "ds_carrier");
    place(fld_carrier, "CARRIER", kColA, 2, 230);
    fld_carr_nbr = edit("fld_carr_nbr", "CARR_NBR");
    place(fld_carr_nbr, "CARRIER NUMBER", kColA, 3, 230);
    fld_comment = lookup("fld_comment", "COMMENT", dm.table_comment, "ds_comment");
    place(fld_comment, "COMMENT", kColA, 4, 230);
    fld_item_file = edit("fld_item_file", "ITEM_FILE");
    place(fld_item_file, "ITEM FILE", kColA, 5, 230);

    fld_item_date = edit("fld_item_date", "ITEM_DATE");
    place(fld_item_date, "ITEM DATE", kColB, 0, 100);
    fld_check_nbr = edit("fld_check_nbr", "CHECK_NBR");
    place(fld_check_nbr, "CHECK NBR", kColB, 1, 100);
    fld_date_sent = edit("fld_date_sent", "DATE_SENT");
    place(fld_date_sent, "DATE SENT", kColB, 2, 100);
    fld_date_avail = edit("fld_date_avail", "DATE_AVAIL");
    place(fld_date_avail, "DATE AVAIL", kColB, 3, 100);
    fld_date_2nd_try = edit("fld_date_2nd_try", "DATE_2ND_TRY");
    place(fld_date_2nd_try, "2ND TRY", kColB, 4, 100);
    fld_date_3rd_try = edit("fld_date_3rd_try", "DATE_3RD_TRY");
    place(fld_date_3rd_try, "3RD TRY", kColB, 5, 100);

    fld_date_del = edit("fld_date_del", "DATE_DEL");
    place(fld_date_del, "DATE DELVD", kColC, 0, 100);
    fld_date_returned = edit("fld_date_returned", "DATE_RETURNED");
    place(fld_date_returned, "DATE RTND", kColC, 1, 100);
    fld_date_clear = edit("fld_date_clear", "DATE_CLEAR");
    place(fld_date_clear, "DATE CLRD", kColC, 2, 100);

    fld_days_sent_to_avail = edit("fld_days_sent_to_avail", "DAYS_SENT_TO_AVAIL");
    place(fld_days_sent_to_avail, "SENT TO AVAIL", kColD, 0, 110);
    fld_days_sent_to_del = edit("fld_days_sent_to_del", "DAYS_SENT_TO_DEL");
    place(fld_days_sent_to_del, "SENT TO DEL", kColD, 1, 110);
    fld_days_avail_to_del = edit("fld_days_avail_to_del", "DAYS_AVAIL_TO_DEL", false);
    place(fld_days_avail_to_del, "AVAIL TO DEL", kColD, 2, 110);
    fld_days_del_to_clear = edit("fld_days_del_to_clear", "DAYS_DEL_TO_CLEAR");
    place(fld_days_del_to_clear, "DEL TO CLEAR", kColD, 3, 110);
    fld_days_sent_to_clear = edit("fld_days_sent_to_clear", "DAYS_SENT_TO_CLEAR");
    place(fld_days_sent_to_clear, "SENT TO CLRD", kColD, 4, 110);

    fld_rp_amt = amount("fld_rp_amt");
    place(fld_rp_amt, "RET PAY AMT", kColE, 0, 110);
    fld_ss_amt = amount("fld_ss_amt");
    place(fld_ss_amt, "SPOU SPT AMT", kColE, 1, 110);
    fld_cs_amt = amount("fld_cs_amt");
    place(fld_cs_amt, "CHILD SUP AMT", kColE, 2, 110);
    fld_other_amt = amount("fld_other_amt");
    place(fld_other_amt, "OTHER AMT", kColE, 3, 110);
    fld_memo = new kit::DBMemo(this, "fld_memo");
    fld_memo->bind(ds_, "MEMO");
    place(fld_memo, "MEMO", kColE, 4, 220, 60);

    cb_save_return_date = new QCheckBox("Save the returned date", this);
    cb_save_return_date->setObjectName("cb_save_return_date");
    QFont cb_font = cb_save_return_date->font();
    cb_font.setBold(true);
    cb_font.setUnderline(true);
    cb_save_return_date->setFont(cb_font);
    QPalette red = cb_save_return_date->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    cb_save_return_date->setPalette(red);
    cb_save_return_date->setGeometry(kColC, row_y(3) + 16, 200, 22);
    cb_save_return_date->hide();

    const struct {
        kit::FieldDatePicker** slot;
        const char* name;
        kit::DBEdit* field;
    } pickers[] = {
        {&DateTimePicker_item_date, "DateTimePicker_item_date", fld_item_date},
        {&DateTimePicker_date_sent, "DateTimePicker_date_sent", fld_date_sent},
        {&DateTimePicker_date_available, "DateTimePicker_date_available", fld_date_avail},
        {&DateTimePicker_date_2nd_try, "DateTimePicker_date_2nd_try", fld_date_2nd_try},
        {&DateTimePicker_date_3rd_try, "DateTimePicker_date_3rd_try", fld_date_3rd_try},
        {&DateTimePicker_date_delivered, "DateTimePicker_date_delivered", fld_date_del},
        {&DateTimePicker_date_returned, "DateTimePicker_date_returned", fld_date_returned},
        {&DateTimePicker_date_cleared, "DateTimePicker_date_cleared", fld_date_clear},
    };
    for (const auto& p : pickers) {
        *p.slot = new kit::FieldDatePicker(this, p.name);
        (*p.slot)->setEnabled(false);
    }
    // Every record has an item date: its picker cannot be emptied (the key is swallowed).
    kit::open_on_key(DateTimePicker_item_date, Qt::Key_Delete, [] {});

    DBGrid1 = new kit::DBGrid(this, "DBGrid1", ds_);
    DBGrid1->setGeometry(kColA, row_y(6) + 8, 993 - kColA - 8, 690 - row_y(6) - 8 - 30);
    DBGrid1->setAccessibleName("Payment records");
    std::vector<kit::GridColumn> columns;
    for (const char* f : {"CATEGORY", "ITEM_DATE", "CHECK_NBR", "DATE_SENT", "ITEM", "SS_AMT",
                          "RP_AMT", "CS_AMT", "OTHER_AMT"}) {
        kit::GridColumn c;
        c.field = f;
        c.read_only = true;  // records change through the window's own commands
        if (c.field == "CATEGORY") c.width = 100;
        if (c.field == "ITEM") c.width = 185;
        c.right_aligned =
            c.field.ends_with("_AMT") || c.field.starts_with("DATE") || c.field == "ITEM_DATE";
        columns.push_back(c);
    }
    DBGrid1->set_columns(columns);

    Label_current_filter = new QLabel("CURRENT FILTER:", this);
    Label_current_filter->setObjectName("Label_current_filter");
    QFont bold = Label_current_filter->font();
    bold.setBold(true);
    Label_current_filter->setFont(bold);
    Label_current_filter->setGeometry(kColA, 690 - 26, 120, 20);
    lbl_filter = new QLabel(this);
    lbl_filter->setObjectName("lbl_filter");
    lbl_filter->setGeometry(kColA + 124, 690 - 26, 993 - kColA - 132, 20);
    lbl_filter->setAccessibleName("Current filter");

    // The index group sits under the picture (or the navigation group when there is none).
    const int below = (Image1->isVisibleTo(Panel1) ? Image1->geometry().bottom()
                                                   : GroupBox2->geometry().bottom()) +
                      8;
    GroupBox3 = new QGroupBox("> Change Index <", Panel1);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setGeometry(8, below, 161, 52);
    box_select_index = new QComboBox(GroupBox3);
    box_select_index->setObjectName("box_select_index");
    box_select_index->setEditable(false);  // only its own items
    box_select_index->setGeometry(7, 22, 147, 22);
    box_select_index->setAccessibleName("Change Index");
    // activated: only the user's choice, not the refill on activation.
    connect(box_select_index, &QComboBox::activated, this,
            [this](int i) { kit::guarded(this, [this, i] { box_select_indexChange(i); }); });

    kit::open_on_key(fld_category, Qt::Key_F2, [this] { open_pick_list("TCategory_Pick_List"); });
    kit::open_on_key(fld_item, Qt::Key_F2, [this] { open_pick_list("TItem_Pick_List"); });
    kit::open_on_key(fld_carrier, Qt::Key_F2, [this] { open_pick_list("TCarrier_Pick_List"); });
    kit::open_on_key(fld_comment, Qt::Key_F2, [this] { open_pick_list("TComment_Pick_List"); });
    kit::open_on_key(fld_item_file, Qt::Key_F2, [this] { fld_item_fileKeyDown(); });

    // The amount boxes follow the record while none is being edited.
    for (auto signal : {&kit::DataSource::dataChanged, &kit::DataSource::scrolled,
                        &kit::DataSource::stateChanged})
        connect(ds_, signal, this, [this] { load_amounts(); });
    load_amounts();
}

TOstrand_Records::~TOstrand_Records() {
    try {
        if (ds_->editing()) table_.cancel();
    } catch (...) {
    }
}

std::vector<QWidget*> TOstrand_Records::entry_controls() const {
    return {fld_category,
            fld_item_date,
            fld_check_nbr,
            fld_date_sent,
            fld_date_avail,
            fld_date_2nd_try,
            fld_date_3rd_try,
            fld_date_del,
            fld_date_returned,
            fld_date_clear,
            fld_days_sent_to_avail,
            fld_days_sent_to_del,
            fld_days_avail_to_del,
            fld_days_del_to_clear,
            fld_days_sent_to_clear,
            fld_rp_amt,
            fld_ss_amt,
            fld_cs_amt,
            fld_other_amt,
            fld_item,
            fld_carrier,
            fld_carr_nbr,
            fld_item_file,
            fld_comment,
            fld_memo};
}

std::array<TOstrand_Records::DatePair, 8> TOstrand_Records::date_pairs() const {
    return {{{DateTimePicker_item_date, fld_item_date, "ITEM_DATE"},
             {DateTimePicker_date_sent, fld_date_sent, "DATE_SENT"},
             {DateTimePicker_date_available, fld_date_avail, "DATE_AVAIL"},
             {DateTimePicker_date_2nd_try, fld_date_2nd_try, "DATE_2ND_TRY"},
             {DateTimePicker_date_3rd_try, fld_date_3rd_try, "DATE_3RD_TRY"},
             {DateTimePicker_date_delivered, fld_date_del, "DATE_DEL"},
             {DateTimePicker_date_returned, fld_date_returned, "DATE_RETURNED"},
             {DateTimePicker_date_cleared, fld_date_clear, "DATE_CLEAR"}}};
}

void TOstrand_Records::load_amounts(bool force) {
    // What the user types stays until Save or Cancel, whatever the dataset tells meanwhile.
    if (ds_->editing() && !force) return;
    const bool inserting = table_.state() == tables::DatasetState::kInsert;
    const std::pair<QLineEdit*, const char*> amounts[] = {{fld_rp_amt, "RP_AMT"},
                                                          {fld_ss_amt, "SS_AMT"},
                                                          {fld_cs_amt, "CS_AMT"},
                                                          {fld_other_amt, "OTHER_AMT"}};
    for (const auto& [box, field] : amounts) {
        std::string text;
        if (table_.active() && (inserting || table_.record_count() > 0)) {
            try {
                text = table_.field(field).as_string();
            } catch (const Error&) {
            }
        }
        box->setText(kit::q(text));
    }
}

void TOstrand_Records::btns_normal() {
    MaintenanceWindow::btns_normal();
    box_select_index->setEnabled(true);
}

void TOstrand_Records::btns_edit_add() {
    MaintenanceWindow::btns_edit_add();
    // A new order reopens the dataset, which would drop the record being edited.
    box_select_index->setEnabled(false);
}

void TOstrand_Records::flds_normal() {
    for (QWidget* w : entry_controls()) w->setEnabled(false);
    DBGrid1->setEnabled(true);
    cb_save_return_date->hide();
}

void TOstrand_Records::flds_edit() {
    for (QWidget* w : entry_controls()) w->setEnabled(true);
    DBGrid1->setEnabled(false);
    cb_save_return_date->show();
}

void TOstrand_Records::enable_date_pickers_set_position() {
    for (const DatePair& p : date_pairs()) {
        p.picker->place_over(p.field);
        p.picker->setEnabled(true);
        p.picker->show();
    }
}

void TOstrand_Records::disable_date_pickers() {
    for (const DatePair& p : date_pairs()) {
        p.picker->setEnabled(false);
        p.picker->hide();
    }
}

void TOstrand_Records::show_filter() {
    lbl_filter->setText(kit::q(table_.filter()));
}

void TOstrand_Records::FormActivate() {
    if (ds_->editing()) {
        // A record is pending (the filter or a pick-list window was open over it): it stays, with
        // its pickers and edit mode.
        Panel1->paint_lime();
        Panel2->paint_lime();
        show_filter();
        return;
    }
    table_.close();
    table_.set_index_name("ITEM_DATE_");
    table_.open();
    MaintenanceWindow::FormActivate();  // messages emptied, panels lime, normal mode
    disable_date_pickers();
    box_select_index->clear();
    for (const std::string& name : table_.index_names()) box_select_index->addItem(kit::q(name));
    box_select_index->setCurrentIndex(box_select_index->findText("ITEM_DATE_"));
    show_filter();
    load_amounts();
}

bool TOstrand_Records::close_query() {
    if (!ds_->editing()) return true;
    switch (kit::message_box(this, "MESSAGE", kit::kPendingRecordText, kit::Buttons::kYesNoCancel,
                             kit::Icon::kWarning)) {
        case kit::Answer::kYes:
            btn_saveClick();  // a refused save throws, and the window stays open
            return true;
        case kit::Answer::kNo:
            btn_cancelClick();
            return true;
        case kit::Answer::kOk:
        case kit::Answer::kCancel:
            break;
    }
    return false;
}

void TOstrand_Records::btn_addClick() {
    ds_->insert();
    btns_edit_add();
    flds_edit();
    enable_date_pickers_set_position();
    for (const DatePair& p : date_pairs()) p.picker->set_today();
    load_amounts(true);
}

void TOstrand_Records::date_pickers_set_date_on_edit() {
    auto text = [this](const char* field) { return table_.field(field).as_string(); };
    // An empty item date starts at today; an empty stage starts at the date of the stage before
    // it, as the picker of that stage shows it.
    if (trim(text("ITEM_DATE")).empty())
        DateTimePicker_item_date->set_today();
    else
        DateTimePicker_item_date->set_from_text(text("ITEM_DATE"));
    const struct {
        kit::FieldDatePicker* picker;
        const char* field;
        kit::FieldDatePicker* earlier;
    } chain[] = {
        {DateTimePicker_date_sent, "DATE_SENT", DateTimePicker_item_date},
        {DateTimePicker_date_available, "DATE_AVAIL", DateTimePicker_date_sent},
        {DateTimePicker_date_2nd_try, "DATE_2ND_TRY", DateTimePicker_date_sent},
        {DateTimePicker_date_3rd_try, "DATE_3RD_TRY", DateTimePicker_date_2nd_try},
        {DateTimePicker_date_delivered, "DATE_DEL", DateTimePicker_date_available},
        {DateTimePicker_date_returned, "DATE_RETURNED", DateTimePicker_date_delivered},
        {DateTimePicker_date_cleared, "DATE_CLEAR", DateTimePicker_date_delivered},
    };
    for (const auto& c : chain)
        c.picker->set_from_text(text(c.field), c.earlier->short_date_text());
}

void TOstrand_Records::btn_editClick() {
    if (!table_.active() || table_.record_count() == 0) return;
    // The pickers are read first: a date that cannot be read ends Edit before any mode changes.
    date_pickers_set_date_on_edit();
    table_.edit();
    btns_edit_add();
    flds_edit();
    enable_date_pickers_set_position();
    load_amounts(true);
}

void TOstrand_Records::date_pickers_save_date_to_fields() {
    for (const DatePair& p : date_pairs()) {
        // Unticked, the returned date stays what the record holds.
        if (p.picker == DateTimePicker_date_returned && !cb_save_return_date->isChecked()) continue;
        const std::string date = p.picker->short_date_text();
        tables::Field f = table_.field(p.name);
        if (date.empty())
            f.clear();
        else
            f.set_as_string(date);
    }
}

void TOstrand_Records::btn_saveClick() {
    // The amounts are checked before anything is written, so a refused one changes nothing.
    const struct {
        QLineEdit* box;
        const char* field;
        const char* caption;
    } amounts[] = {{fld_ss_amt, "SS_AMT", "SPOU SPT AMT"},
                   {fld_rp_amt, "RP_AMT", "RET PAY AMT"},
                   {fld_other_amt, "OTHER_AMT", "OTHER AMT"},
                   {fld_cs_amt, "CS_AMT", "CHILD SUP AMT"}};
    double values[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string text = trim(amounts[i].box->text().toStdString());
        if (text.empty()) continue;
        const std::optional<double> v = parse_number(text);
        if (!v)
            throw Error(ErrorKind::kConversion, std::string(amounts[i].caption) + " (" +
                                                    amounts[i].field + "): '" + text +
                                                    "' is not a number");
        values[i] = *v;
    }
    if (DateTimePicker_item_date->empty())
        throw Error(ErrorKind::kInvalidInput, "ITEM DATE: a payment needs its item date");

    for (std::size_t i = 0; i < 4; ++i) table_.field(amounts[i].field).set_as_float(values[i]);
    date_pickers_save_date_to_fields();
    // The counts come from the dates being saved, not from those the record held before.
    const struct {
        const char* count;
        const char* earlier;
        const char* later;
    } counts[] = {{"DAYS_SENT_TO_AVAIL", "DATE_SENT", "DATE_AVAIL"},
                  {"DAYS_AVAIL_TO_DEL", "DATE_AVAIL", "DATE_DEL"},
                  {"DAYS_SENT_TO_DEL", "DATE_SENT", "DATE_DEL"},
                  {"DAYS_DEL_TO_CLEAR", "DATE_DEL", "DATE_CLEAR"},
                  {"DAYS_SENT_TO_CLEAR", "DATE_SENT", "DATE_CLEAR"}};
    for (const auto& c : counts) {
        int ok = 0;
        double days = -1;
        tkit_verify_date_diffs(table_.field(c.earlier).as_string(),
                               table_.field(c.later).as_string(), ok, days);
        table_.field(c.count).set_as_float(ok == 1 ? days : -1);
    }
    tables::Field item_date = table_.field("ITEM_DATE");
    table_.field("YYYYMMDD").set_as_string(tkit_Date_To_YYYYMMDD(item_date.as_date()));
    table_.post();
    disable_date_pickers();
    btns_normal();
    flds_normal();
    load_amounts();
}

void TOstrand_Records::btn_cancelClick() {
    table_.cancel();
    disable_date_pickers();
    btns_normal();
    flds_normal();
    load_amounts();
}

void TOstrand_Records::btn_deleteClick() {
    if (table_.record_count() > 0) {
        MaintenanceWindow::btn_deleteClick();
    } else {
        btns_normal();
        flds_normal();
    }
    disable_date_pickers();
}

void TOstrand_Records::Button2Click() {
    filters::open_filter_window(this, filters::FilterTarget::kPayments);
    show_filter();
}

void TOstrand_Records::box_select_indexChange(int index) {
    if (index < 0 || ds_->editing()) return;
    const std::string chosen = box_select_index->itemText(index).toStdString();
    const std::string old = table_.index_name();
    table_.close();
    try {
        table_.set_index_name(chosen);
        table_.open();
    } catch (const Error&) {
        // The old order comes back, and the records with it.
        table_.set_index_name(old);
        table_.open();
        box_select_index->setCurrentIndex(box_select_index->findText(kit::q(old)));
        throw;
    }
}

void TOstrand_Records::fld_item_fileKeyDown() {
    if (!ds_->editing()) return;
    tables::Table& config = data_module().table_config;
    std::string start;
    if (config.active() && config.record_count() > 0)
        start = config.field("BROWSE_START_HERE").as_string();
    kit::OpenFileRequest request;
    request.parent = this;
    request.initial_dir = start;
    request.file_name = "*.*";
    request.default_extension = "*";
    const std::optional<std::string> chosen = kit::prompter().open_file(request);
    if (!chosen) return;
    // The drive letter and its colon are not stored.
    const std::string path = chosen->size() > 2 ? chosen->substr(2) : std::string();
    if (path.size() > static_cast<std::size_t>(kItemFileLimit)) {
        kit::message_box(this, "MESSAGE",
                         "The path of the chosen file is " + std::to_string(path.size()) +
                             " characters long; the item file holds at most " +
                             std::to_string(kItemFileLimit) + ".\nThe path was not stored.",
                         kit::Buttons::kOk);
        return;
    }
    fld_item_file->setText(kit::q(path));
    fld_item_file->write_text(this, path);
}

void TOstrand_Records::open_pick_list(const std::string& class_name) {
    std::unique_ptr<QDialog> w;
    if (class_name == "TCategory_Pick_List")
        w = std::make_unique<picklists::TCategory_Pick_List>(this);
    else if (class_name == "TItem_Pick_List")
        w = std::make_unique<picklists::TItem_Pick_List>(this);
    else if (class_name == "TCarrier_Pick_List")
        w = std::make_unique<picklists::TCarrier_Pick_List>(this);
    else
        w = std::make_unique<picklists::TComment_Pick_List>(this);
    kit::run_modal(*w);
}

}  // namespace pavo::app::payments
