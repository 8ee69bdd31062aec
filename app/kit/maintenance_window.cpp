// The maintenance pattern: layout of the editing panel, modes, operations and activation.
#include "app/kit/maintenance_window.h"

#include "app/kit/pictures.h"
#include "app/kit/ui_seam.h"

namespace pavo::app::kit {

MaintenanceWindow::MaintenanceWindow(QWidget* owner, const std::string& name,
                                     const std::string& caption, QSize client_size,
                                     const std::string& accessible)
    : KitWindow(owner, name, caption, client_size, accessible) {
    Panel1 = new SidePanel(this, "Panel1");
    Panel1->setGeometry(0, 0, 176, client_size.height());
    GroupBox1 = new QGroupBox("> EDITING RECORDS <", Panel1);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 161, 200);
    struct ButtonDef {
        QPushButton** slot;
        const char* name;
        const char* text;
        void (MaintenanceWindow::*handler)();
    };
    const ButtonDef buttons[] = {
        {&btn_add, "btn_add", "Add", &MaintenanceWindow::btn_addClick},
        {&btn_edit, "btn_edit", "Edit", &MaintenanceWindow::btn_editClick},
        {&btn_delete, "btn_delete", "Delete", &MaintenanceWindow::btn_deleteClick},
        {&btn_save, "btn_save", "Save", &MaintenanceWindow::btn_saveClick},
        {&btn_cancel, "btn_cancel", "Cancel", &MaintenanceWindow::btn_cancelClick},
        {&btn_exit, "btn_exit", "Exit", &MaintenanceWindow::btn_exitClick},
    };
    int y = 22;
    for (const ButtonDef& s : buttons) {
        auto* b = new QPushButton(s.text, GroupBox1);
        b->setObjectName(s.name);
        b->setGeometry(7, y, 147, 25);
        b->setAutoDefault(false);
        y += 29;
        *s.slot = b;
        const auto handler = s.handler;
        connect(b, &QPushButton::clicked, this,
                [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    }
    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    const int pic_top = 216;
    const int pic_height = std::min(110, client_size.height() - pic_top - 8);
    if (pic_height > 30) {
        Image1->setGeometry(24, pic_top, 128, pic_height);
        Image1->setPixmap(panel_picture(QSize(128, pic_height)));
    } else {
        Image1->hide();
    }
}

void MaintenanceWindow::btns_normal() {
    btn_add->setEnabled(true);
    btn_edit->setEnabled(true);
    btn_delete->setEnabled(true);
    btn_save->setEnabled(false);
    btn_cancel->setEnabled(false);
    btn_exit->setEnabled(true);
}

void MaintenanceWindow::btns_edit_add() {
    if (add_disabled_in_edit_) btn_add->setEnabled(false);
    btn_edit->setEnabled(false);
    btn_delete->setEnabled(false);
    btn_save->setEnabled(true);
    btn_cancel->setEnabled(true);
    btn_exit->setEnabled(false);
}

void MaintenanceWindow::btn_addClick() {
    btns_edit_add();
    flds_edit();
    source_->append();
}

void MaintenanceWindow::btn_editClick() {
    btns_edit_add();
    flds_edit();
    source_->dataset().edit();
}

void MaintenanceWindow::btn_deleteClick() {
    if (message_box(this, kDeleteCaption, kDeleteText, Buttons::kYesNo) == Answer::kYes)
        source_->dataset().delete_record();
    btns_normal();
    flds_normal();
}

void MaintenanceWindow::btn_saveClick() {
    source_->dataset().post();
    btns_normal();
    flds_normal();
}

void MaintenanceWindow::btn_cancelClick() {
    source_->dataset().cancel();
    btns_normal();
    flds_normal();
}

void MaintenanceWindow::btn_exitClick() {
    close_window();
}

void MaintenanceWindow::FormActivate() {
    if (paint_panel_lime_) Panel1->paint_lime();
    flds_normal();
    btns_normal();
}

}  // namespace pavo::app::kit
