// The configuration window: layout, modes, and the folder dialog behind the start-folder field.
#include "app/shell/configuration.h"

#include <QGroupBox>

#include "app/kit/ui_seam.h"

namespace pavo::app::shell {

const std::vector<std::string>& state_codes() {
    static const std::vector<std::string> codes = {
        "AL", "AK", "AS", "AZ", "AR", "CA", "CO", "CT", "DE", "DC", "FM", "FL", "GA",
        "GU", "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MH", "MD", "MA",
        "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND",
        "MP", "OH", "OK", "OR", "PA", "PR", "RI", "SC", "SD", "TN", "TX", "UT", "VT",
        "VA", "VI", "WA", "WV", "WI", "WY", "AA", "AE", "AP"};
    return codes;
}

namespace {

std::unique_ptr<tables::Table> open_config_table() {
    auto table = std::make_unique<tables::Table>();
    table->set_database_name("PAVODEN2");
    table->set_table_name("CONFIG.db");
    table->open();
    return table;
}

// The configuration record is edited, never added: Add stays off in edit mode too.
kit::MaintenanceLayout configuration_layout() {
    kit::MaintenanceLayout layout;
    layout.add_disabled_in_edit = true;
    return layout;
}

}  // namespace

TConfiguration::TConfiguration(QWidget* owner)
    : MaintenanceWindow(owner, "Configuration", "Configuration", {753, 353}, {},
                        configuration_layout()) {
    auto* ds = new kit::DataSource(open_config_table(), this, "ds_config");
    set_data_source(ds);

    int label_no = 1;
    auto label_name = [&] { return "Label" + std::to_string(label_no++); };
    auto place = [&](QWidget* group, QWidget* field, const std::string& caption, int y, int width) {
        kit::caption_for(group, field, label_name(), caption, 8, y + 3);
        field->setGeometry(118, y, width, 22);
    };
    auto edit = [&](QWidget* group, const char* name, const char* field) {
        auto* e = new kit::DBEdit(group, name);
        e->bind(ds, field);
        return e;
    };
    auto states = [&](QWidget* group, const char* name, const char* field) {
        auto* c = new kit::DBComboFixed(group, name, state_codes());
        c->bind(ds, field);
        return c;
    };

    auto* mine = new QGroupBox("MY INFORMATION", this);
    mine->setObjectName("GroupBox2");
    mine->setGeometry(184, 4, 278, 206);
    fld_my_name = edit(mine, "fld_my_name", "MY_NAME");
    place(mine, fld_my_name, "NAME", 22, 150);
    fld_my_address = edit(mine, "fld_my_address", "MY_ADDRESS");
    place(mine, fld_my_address, "STREET/PO BOX", 52, 150);
    fld_my_city = edit(mine, "fld_my_city", "MY_CITY");
    place(mine, fld_my_city, "CITY", 82, 150);
    fld_my_state = states(mine, "fld_my_state", "MY_STATE");
    place(mine, fld_my_state, "STATE", 112, 60);
    fld_my_zip = edit(mine, "fld_my_zip", "MY_ZIP");
    place(mine, fld_my_zip, "ZIP", 142, 90);

    auto* ex = new QGroupBox("EX-SPOUSE INFORMATION", this);
    ex->setObjectName("GroupBox3");
    ex->setGeometry(468, 4, 278, 206);
    fld_ex_spouse_name = edit(ex, "fld_ex_spouse_name", "EX_SPOUSE_NAME");
    place(ex, fld_ex_spouse_name, "NAME", 22, 150);
    fld_ex_spouse_address = edit(ex, "fld_ex_spouse_address", "EX_SPOUSE_ADDRESS");
    place(ex, fld_ex_spouse_address, "STREET/PO BOX", 52, 150);
    fld_ex_spouse_city = edit(ex, "fld_ex_spouse_city", "EX_SPOUSE_CITY");
    place(ex, fld_ex_spouse_city, "CITY", 82, 150);
    fld_ex_spouse_state = states(ex, "fld_ex_spouse_state", "EX_SPOUSE_STATE");
    place(ex, fld_ex_spouse_state, "STATE", 112, 60);
    fld_ex_spouse_zip = edit(ex, "fld_ex_spouse_zip", "EX_SPOUSE_ZIP");
    place(ex, fld_ex_spouse_zip, "ZIP", 142, 90);
    fld_ex_spouse_ssan = edit(ex, "fld_ex_spouse_ssan", "EX_SPOUSE_SSAN");
    place(ex, fld_ex_spouse_ssan, "SOCIAL SEC #", 172, 110);

    fld_file_browse_start = edit(this, "fld_file_browse_start", "BROWSE_START_HERE");
    kit::caption_for(this, fld_file_browse_start, label_name(), "FILE BROWSE START DIR (PRESS F2)",
                     184, 216);
    fld_file_browse_start->setGeometry(184, 234, 562, 22);
    // Any key opens the folder dialog; typed characters never land in the field.
    kit::open_on_key(fld_file_browse_start, 0, [this] { fld_file_browse_startKeyDown(); });

    fld_auto_zip = new kit::DBComboFixed(this, "fld_auto_zip", {"False", "True"});
    fld_auto_zip->bind(ds, "AUTO_ZIP");
    kit::caption_for(this, fld_auto_zip, label_name(), "AUTO ZIP DATABASES", 184, 266);
    fld_auto_zip->setGeometry(184, 284, 100, 22);

    fld_sidebar_color = edit(this, "fld_sidebar_color", "SIDE_BAR_COLOR");
    QLabel* colour_caption =
        kit::caption_for(this, fld_sidebar_color, label_name(), "SIDEBAR COLOR", 400, 266);
    fld_sidebar_color->setGeometry(400, 284, 120, 22);
    // The stored colour name is kept but never shown: every side panel is lime.
    colour_caption->hide();
    fld_sidebar_color->hide();
    connect(fld_sidebar_color, &QLineEdit::textChanged, this,
            [this] { kit::guarded(this, [this] { fld_sidebar_colorChange(); }); });

    Label15 = new QLabel("Default is: clLime", this);
    Label15->setObjectName("Label15");
    QFont bold = Label15->font();
    bold.setBold(true);
    Label15->setFont(bold);
    QPalette red = Label15->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label15->setPalette(red);
    Label15->setGeometry(400, 312, 200, 20);
    Label15->hide();
    fld_sidebar_colorChange();
}

std::vector<QWidget*> TConfiguration::fields() const {
    return {fld_my_name,         fld_my_address,     fld_my_city,           fld_my_state,
            fld_my_zip,          fld_ex_spouse_name, fld_ex_spouse_address, fld_ex_spouse_city,
            fld_ex_spouse_state, fld_ex_spouse_zip,  fld_ex_spouse_ssan,    fld_file_browse_start,
            fld_auto_zip,        fld_sidebar_color};
}

void TConfiguration::btns_normal() {
    btn_add->setEnabled(false);
    btn_delete->setEnabled(false);
    btn_save->setEnabled(false);
    btn_cancel->setEnabled(false);
    btn_edit->setEnabled(true);
    btn_exit->setEnabled(true);
    Label15->hide();
}

void TConfiguration::btns_edit_add() {
    btn_add->setEnabled(false);
    btn_edit->setEnabled(false);
    btn_exit->setEnabled(false);
    btn_save->setEnabled(true);
    btn_cancel->setEnabled(true);
    btn_delete->setEnabled(false);
    Label15->show();
}

void TConfiguration::flds_normal() {
    for (QWidget* w : fields()) w->setEnabled(false);
}

void TConfiguration::flds_edit() {
    for (QWidget* w : fields()) w->setEnabled(true);
}

void TConfiguration::fld_file_browse_startKeyDown() {
    const std::optional<std::string> folder =
        kit::prompter().browse_folder(this, "Choose the folder:");
    if (!folder) return;
    fld_file_browse_start->setText(QString::fromStdString(*folder));
    fld_file_browse_start->write_text(this, *folder);
}

void TConfiguration::fld_sidebar_colorChange() {
    Panel1->paint_lime();
}

}  // namespace pavo::app::shell
