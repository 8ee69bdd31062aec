// The maintenance pattern: layout of the editing panel, modes, operations, activation and the
// close query.
#include "app/kit/maintenance_window.h"

#include <algorithm>

#include "app/kit/pictures.h"
#include "app/kit/qt_text.h"
#include "app/kit/ui_seam.h"

namespace pavo::app::kit {
namespace {

constexpr int kButtonTop = 22;
constexpr int kButtonPitch = 29;
constexpr int kGroupGap = 8;

// The height of a group holding n buttons.
int group_height(int n) {
    return kButtonTop + kButtonPitch * n + 4;
}

}  // namespace

MaintenanceWindow::MaintenanceWindow(QWidget* owner, const std::string& name,
                                     const std::string& caption, QSize client_size,
                                     const std::string& accessible, MaintenanceLayout layout)
    : KitWindow(owner, name, caption, client_size, accessible, layout.close_box),
      layout_(std::move(layout)) {
    const int message_height = std::max(0, layout_.message_panel_height);
    Panel1 = new SidePanel(this, "Panel1");
    Panel1->setGeometry(0, 0, 176, client_size.height() - message_height);
    GroupBox1 = new QGroupBox("> EDITING RECORDS <", Panel1);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 161, group_height(static_cast<int>(layout_.buttons.size())));

    struct Standard {
        const char* name;
        const char* text;
        void (MaintenanceWindow::*handler)();
    };
    auto standard = [](Command c) -> Standard {
        switch (c) {
            case Command::kAdd:
                return {"btn_add", "Add", &MaintenanceWindow::btn_addClick};
            case Command::kEdit:
                return {"btn_edit", "Edit", &MaintenanceWindow::btn_editClick};
            case Command::kDelete:
                return {"btn_delete", "Delete", &MaintenanceWindow::btn_deleteClick};
            case Command::kSave:
                return {"btn_save", "Save", &MaintenanceWindow::btn_saveClick};
            case Command::kCancel:
                return {"btn_cancel", "Cancel", &MaintenanceWindow::btn_cancelClick};
            case Command::kExit:
                break;
        }
        return {"btn_exit", "Exit", &MaintenanceWindow::btn_exitClick};
    };
    auto slot_of = [this](Command c) -> QPushButton** {
        switch (c) {
            case Command::kAdd:
                return &btn_add;
            case Command::kEdit:
                return &btn_edit;
            case Command::kDelete:
                return &btn_delete;
            case Command::kSave:
                return &btn_save;
            case Command::kCancel:
                return &btn_cancel;
            case Command::kExit:
                break;
        }
        return &btn_exit;
    };
    int y = kButtonTop;
    for (const PanelButton& b : layout_.buttons) {
        if (b.command) {
            const Standard s = standard(*b.command);
            const auto handler = s.handler;
            *slot_of(*b.command) =
                make_button(GroupBox1, s.name, s.text, y, [this, handler] { (this->*handler)(); });
        } else {
            make_button(GroupBox1, b.name, b.text, y, b.click);
        }
        y += kButtonPitch;
    }
    int bottom = GroupBox1->geometry().bottom() + 1;

    if (!layout_.navigation_caption.empty()) {
        GroupBox2 = new QGroupBox(q(layout_.navigation_caption), Panel1);
        GroupBox2->setObjectName("GroupBox2");
        GroupBox2->setGeometry(8, bottom + kGroupGap, 161, group_height(4));
        const struct {
            QPushButton** slot;
            const char* name;
            const char* text;
            void (MaintenanceWindow::*handler)();
        } nav[] = {
            {&btn_first_record, "btn_first_record", "First Record",
             &MaintenanceWindow::btn_first_recordClick},
            {&btn_last_record, "btn_last_record", "Last Record",
             &MaintenanceWindow::btn_last_recordClick},
            {&btn_previous_record, "btn_previous_record", "Previous Record",
             &MaintenanceWindow::btn_previous_recordClick},
            {&btn_next_record, "btn_next_record", "Next Record",
             &MaintenanceWindow::btn_next_recordClick},
        };
        y = kButtonTop;
        for (const auto& n : nav) {
            const auto handler = n.handler;
            *n.slot =
                make_button(GroupBox2, n.name, n.text, y, [this, handler] { (this->*handler)(); });
            y += kButtonPitch;
        }
        bottom = GroupBox2->geometry().bottom() + 1;
    }

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    const int pic_top = bottom + kGroupGap;
    const int pic_height = std::min(110, Panel1->height() - pic_top - 8);
    if (pic_height > 30) {
        Image1->setGeometry(24, pic_top, 128, pic_height);
        Image1->setPixmap(panel_picture(QSize(128, pic_height)));
    } else {
        Image1->hide();
    }

    if (message_height > 0) {
        Panel2 = new SidePanel(this, "Panel2");
        Panel2->setGeometry(0, client_size.height() - message_height, 176, message_height);
        listbox_errors = new QListWidget(Panel2);
        listbox_errors->setObjectName("listbox_errors");
        listbox_errors->setAccessibleName("Messages");
        listbox_errors->setGeometry(4, 4, 168, message_height - 8);
    }
}

QPushButton* MaintenanceWindow::make_button(QWidget* group, const std::string& name,
                                            const std::string& text, int y,
                                            std::function<void()> click) {
    auto* b = new QPushButton(q(text), group);
    b->setObjectName(q(name));
    b->setGeometry(7, y, 147, 25);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, click = std::move(click)] {
        if (click) guarded(this, click);
    });
    return b;
}

QPushButton* MaintenanceWindow::button(const std::string& name) const {
    return GroupBox1->findChild<QPushButton*>(q(name), Qt::FindDirectChildrenOnly);
}

std::vector<QPushButton*> MaintenanceWindow::navigation_buttons() const {
    if (!GroupBox2) return {};
    return {btn_first_record, btn_last_record, btn_previous_record, btn_next_record};
}

namespace {

void enable(QPushButton* b, bool on) {
    if (b) b->setEnabled(on);
}

}  // namespace

void MaintenanceWindow::btns_normal() {
    enable(btn_add, true);
    enable(btn_edit, true);
    enable(btn_delete, true);
    enable(btn_save, false);
    enable(btn_cancel, false);
    enable(btn_exit, true);
    for (QPushButton* b : navigation_buttons()) b->setEnabled(true);
}

void MaintenanceWindow::btns_edit_add() {
    if (layout_.add_disabled_in_edit) enable(btn_add, false);
    enable(btn_edit, false);
    enable(btn_delete, false);
    enable(btn_save, true);
    enable(btn_cancel, true);
    enable(btn_exit, false);
    for (QPushButton* b : navigation_buttons()) b->setEnabled(false);
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

void MaintenanceWindow::btn_first_recordClick() {
    source_->dataset().first();
}

void MaintenanceWindow::btn_last_recordClick() {
    source_->dataset().last();
}

void MaintenanceWindow::btn_previous_recordClick() {
    source_->dataset().prior();
}

void MaintenanceWindow::btn_next_recordClick() {
    source_->dataset().next();
}

void MaintenanceWindow::add_message(const std::string& text) {
    if (listbox_errors) listbox_errors->addItem(q(text));
}

void MaintenanceWindow::clear_messages() {
    if (listbox_errors) listbox_errors->clear();
}

void MaintenanceWindow::FormActivate() {
    clear_messages();
    if (layout_.paint_panel_lime) {
        Panel1->paint_lime();
        if (Panel2) {
            Panel2->paint_lime();
            QPalette p = listbox_errors->palette();
            p.setColor(QPalette::Base, kLime);
            listbox_errors->setPalette(p);
        }
    }
    flds_normal();
    btns_normal();
}

bool MaintenanceWindow::close_query() {
    if (!source_ || !source_->editing()) return true;
    switch (message_box(this, "", kPendingRecordText, Buttons::kYesNoCancel, Icon::kWarning)) {
        case Answer::kYes:
            btn_saveClick();  // a refused post throws, and the window stays open
            return true;
        case Answer::kNo:
            btn_cancelClick();
            return true;
        case Answer::kOk:
        case Answer::kCancel:
            break;
    }
    return false;
}

}  // namespace pavo::app::kit
