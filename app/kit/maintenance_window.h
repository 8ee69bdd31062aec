// The two-mode maintenance window every record-keeping window specialises: the side panel with the
// buttons the window declares, an optional navigation group and message panel, normal and edit
// mode, the operations on the window's dataset, activation, and an optional close box that asks
// about a pending record.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/kit/data_source.h"
#include "app/kit/kit_window.h"
#include "app/kit/widgets.h"

namespace pavo::app::kit {

// The pattern's own commands, each with its button name, caption and operation.
enum class Command { kAdd, kEdit, kDelete, kSave, kCancel, kExit };

// One button of the editing group: a pattern command, or a window's own button (such as "Filter
// Records" or "Followup"), whose click runs through the command runner and which the mode routines
// leave as it is.
struct PanelButton {
    // Implicit, so that a layout lists pattern commands and own buttons side by side.
    PanelButton(Command command) : command(command) {}
    PanelButton(std::string name, std::string text, std::function<void()> click)
        : name(std::move(name)), text(std::move(text)), click(std::move(click)) {}
    std::optional<Command> command;
    std::string name;
    std::string text;
    std::function<void()> click;
};

// What a maintenance window declares about its frame and side panel.
struct MaintenanceLayout {
    // The editing group's buttons, top to bottom.
    std::vector<PanelButton> buttons = {Command::kAdd,  Command::kEdit,   Command::kDelete,
                                        Command::kSave, Command::kCancel, Command::kExit};
    // A close box on the title bar; closing asks close_query() first.
    bool close_box = false;
    // The navigation group (first, last, previous, next record) under this caption; none when
    // empty, e.g. "> NAVIGATING RECORDS <".
    std::string navigation_caption;
    // The message panel under the side panel, filled by the list listbox_errors; none when 0.
    int message_panel_height = 0;
    // Add is disabled in edit mode (it stays enabled otherwise).
    bool add_disabled_in_edit = false;
    // Activation paints the side panel lime (one list keeps the face colour).
    bool paint_panel_lime = true;
};

class MaintenanceWindow : public KitWindow {
    Q_OBJECT
  public:
    MaintenanceWindow(QWidget* owner, const std::string& name, const std::string& caption,
                      QSize client_size, const std::string& accessible = {},
                      MaintenanceLayout layout = {});

    // The mode routines; windows override them to add their own controls. The base ones set the
    // pattern's buttons and the navigation group, and leave a window's own buttons alone.
    virtual void btns_normal();
    virtual void btns_edit_add();
    virtual void flds_normal() {}
    virtual void flds_edit() {}

    // The six operations, on the window's data source.
    virtual void btn_addClick();
    virtual void btn_editClick();
    virtual void btn_deleteClick();
    virtual void btn_saveClick();
    virtual void btn_cancelClick();
    virtual void btn_exitClick();
    // Navigation: first, last, previous and next record in the dataset's order and filter.
    virtual void btn_first_recordClick();
    virtual void btn_last_recordClick();
    virtual void btn_previous_recordClick();
    virtual void btn_next_recordClick();

    // True when the buttons show edit mode.
    bool in_edit_mode() const { return btn_save && btn_save->isEnabled(); }
    DataSource* data_source() const { return source_; }
    // A button of the editing group by its object name; nullptr when the window has none.
    QPushButton* button(const std::string& name) const;

    // The message panel's list (nothing happens without a message panel).
    void add_message(const std::string& text);
    void clear_messages();

    SidePanel* Panel1;
    QGroupBox* GroupBox1;
    // The pattern's buttons; nullptr for those the window does not declare.
    QPushButton* btn_add = nullptr;
    QPushButton* btn_edit = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_save = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_exit = nullptr;
    // The navigation group and its buttons; nullptr without one.
    QGroupBox* GroupBox2 = nullptr;
    QPushButton* btn_first_record = nullptr;
    QPushButton* btn_last_record = nullptr;
    QPushButton* btn_previous_record = nullptr;
    QPushButton* btn_next_record = nullptr;
    QLabel* Image1;
    // The message panel; nullptr without one.
    SidePanel* Panel2 = nullptr;
    QListWidget* listbox_errors = nullptr;

  protected:
    // The message list is emptied, the panels painted lime, then normal mode (fields, then
    // buttons).
    void FormActivate() override;
    // With a record pending: "The record being edited has not been saved. Save it now?" Yes saves
    // it (a refused save keeps the window open with the record pending), No discards it, Cancel
    // keeps the window open.
    bool close_query() override;
    // Sets the dataset the operations act on (before the window is shown).
    void set_data_source(DataSource* source) { source_ = source; }
    const MaintenanceLayout& panel_layout() const { return layout_; }

  private:
    QPushButton* make_button(QWidget* group, const std::string& name, const std::string& text,
                             int y, std::function<void()> click);
    std::vector<QPushButton*> navigation_buttons() const;

    MaintenanceLayout layout_;
    DataSource* source_ = nullptr;
};

inline constexpr const char* kDeleteCaption = "RECORD DELETE REQUESTED";
inline constexpr const char* kDeleteText =
    "Do You Really Want to Delete The Record, It's permanent!!!!!!!";
inline constexpr const char* kPendingRecordText =
    "The record being edited has not been saved.\nSave it now?";

}  // namespace pavo::app::kit
