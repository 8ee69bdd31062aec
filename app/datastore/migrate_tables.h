// The window TMigrate_Tables: brings an old folder of Paradox tables into a new table set by
// running pavoden2-migrate as a child process, so no old file can take the program down.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

#include "app/kit/db_controls.h"
#include "app/kit/kit_window.h"
#include "app/kit/widgets.h"

namespace pavo::app::datastore {

class TMigrate_Tables : public kit::KitWindow {
    Q_OBJECT
  public:
    explicit TMigrate_Tables(QWidget* owner);

    // The migration program: $PAVODEN2_MIGRATE when set, else pavoden2-migrate beside the
    // program or in the build's records folder, else the one on the PATH.
    static std::string migrate_program();

    void btn_browseClick();
    // Checks the entries, runs the migration and shows its progress lines, then the report.
    void btn_migrateClick();
    // Writes the memo to the reports folder under a time-stamped name and says where.
    void btn_save_reportClick();
    void ExitClick();

    kit::SidePanel* Panel1;
    QPushButton* btn_migrate;
    QPushButton* btn_save_report;
    QPushButton* Exit;
    QLineEdit* fld_old_folder;
    QPushButton* btn_browse;
    kit::UpperEdit* fld_directory;
    QComboBox* cmb_codepage;
    QPlainTextEdit* Memo1;

  protected:
    void FormActivate() override;
};

}  // namespace pavo::app::datastore
