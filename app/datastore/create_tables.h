// The window TCreate_Tables: builds a complete new table set in a folder the user names.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/kit/db_controls.h"
#include "app/kit/kit_window.h"
#include "app/kit/widgets.h"

namespace pavo::app::datastore {

class TCreate_Tables : public kit::KitWindow {
    Q_OBJECT
  public:
    explicit TCreate_Tables(QWidget* owner);

    void btn_create_tablesClick();
    void ExitClick();

    kit::SidePanel* Panel1;
    QPushButton* btn_create_tables;
    QPushButton* Exit;
    QLabel* Label1;
    QLabel* Label2;
    kit::UpperEdit* fld_directory;
    QPlainTextEdit* Memo1;

  protected:
    void FormActivate() override;
};

}  // namespace pavo::app::datastore
