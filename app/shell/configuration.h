// The configuration window TConfiguration: the single CONFIG.DB row through a dataset of its own.
#pragma once

#include <QLabel>

#include "app/kit/db_controls.h"
#include "app/kit/maintenance_window.h"

namespace pavo::app::shell {

class TConfiguration : public kit::MaintenanceWindow {
    Q_OBJECT
  public:
    // Opens the window's own dataset over CONFIG.db (pavo::Error when it cannot).
    explicit TConfiguration(QWidget* owner);

    void btns_normal() override;
    void btns_edit_add() override;
    void flds_normal() override;
    void flds_edit() override;

    kit::DBEdit* fld_my_name;
    kit::DBEdit* fld_my_address;
    kit::DBEdit* fld_my_city;
    kit::DBComboFixed* fld_my_state;
    kit::DBEdit* fld_my_zip;
    kit::DBEdit* fld_ex_spouse_name;
    kit::DBEdit* fld_ex_spouse_address;
    kit::DBEdit* fld_ex_spouse_city;
    kit::DBComboFixed* fld_ex_spouse_state;
    kit::DBEdit* fld_ex_spouse_zip;
    kit::DBEdit* fld_ex_spouse_ssan;
    kit::DBEdit* fld_file_browse_start;
    kit::DBComboFixed* fld_auto_zip;
    kit::DBEdit* fld_sidebar_color;
    QLabel* Label15;

  private:
    void fld_file_browse_startKeyDown();
    void fld_sidebar_colorChange();
    std::vector<QWidget*> fields() const;
};

// The two-letter state codes, in the order the lists offer them.
const std::vector<std::string>& state_codes();

}  // namespace pavo::app::shell
