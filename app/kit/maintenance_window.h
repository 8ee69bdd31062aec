// The two-mode maintenance window every record-keeping window specialises: the side panel with its
// six buttons, normal and edit mode, the six operations on the window's dataset, and activation.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "app/kit/data_source.h"
#include "app/kit/kit_window.h"
#include "app/kit/widgets.h"

namespace pavo::app::kit {

class MaintenanceWindow : public KitWindow {
    Q_OBJECT
  public:
    MaintenanceWindow(QWidget* owner, const std::string& name, const std::string& caption,
                      QSize client_size, const std::string& accessible = {});

    // The mode routines; windows override them to add their own controls.
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

    // True when the buttons show edit mode.
    bool in_edit_mode() const { return btn_save->isEnabled(); }
    DataSource* data_source() const { return source_; }

    SidePanel* Panel1;
    QGroupBox* GroupBox1;
    QPushButton* btn_add;
    QPushButton* btn_edit;
    QPushButton* btn_delete;
    QPushButton* btn_save;
    QPushButton* btn_cancel;
    QPushButton* btn_exit;
    QLabel* Image1;

  protected:
    // Panel1 is painted lime, then normal mode (fields, then buttons).
    void FormActivate() override;
    // Sets the dataset the operations act on (before the window is shown).
    void set_data_source(DataSource* source) { source_ = source; }
    // Add stays enabled in edit mode unless a window says otherwise.
    bool add_disabled_in_edit_ = false;
    // Whether activation paints the side panel lime (one list keeps the face colour).
    bool paint_panel_lime_ = true;

  private:
    DataSource* source_ = nullptr;
};

inline constexpr const char* kDeleteCaption = "RECORD DELETE REQUESTED";
inline constexpr const char* kDeleteText =
    "Do You Really Want to Delete The Record, It's permanent!!!!!!!";

}  // namespace pavo::app::kit
