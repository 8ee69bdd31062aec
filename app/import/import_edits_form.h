// The import-and-edits window Tjob_search_import_edits_form: the four mail import buttons, the ten
// numbered clean-up steps, Run All Steps, and the log of what each did.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <string>
#include <vector>

#include "app/kit/db_grid.h"
#include "app/kit/kit_window.h"
#include "app/kit/report_memo.h"
#include "app/kit/widgets.h"
#include "records/import_steps.h"
#include "records/job_mail.h"

class QTableWidget;

namespace pavo::app::jobimport {

// The preview of a read mail before anything is posted: the records and their count, jobs an
// earlier import recorded marked; "Add N Records" accepts, "Cancel" rejects.
class ImportPreview : public kit::KitWindow {
    Q_OBJECT
  public:
    ImportPreview(QWidget* owner, const std::vector<records::MailJob>& jobs,
                  const std::vector<bool>& recorded);
    QLabel* lbl_count;
    QTableWidget* grid;
    QPushButton* btn_add;
    QPushButton* btn_cancel;
};

class Tjob_search_import_edits_form : public kit::KitWindow {
    Q_OBJECT
  public:
    // Works on the shared datasets (pavo::Error when the data module is not open).
    explicit Tjob_search_import_edits_form(QWidget* owner);

    // One import per layout: file dialog, reading, preview, posting, the log's first and last
    // lines. A refused mail adds nothing and says why in the log.
    void import_mail(records::MailLayout layout);
    void btn_Update_RefNumClick();
    void btn_update_job_title_editClick();
    void btn_Open_Modify_Job_Title_Edits_TableClick();
    void btn_Update_Job_TitleClick();
    void btn_Update_Position_Title_TableClick();
    void btn_Update_Status_Table_With_New_Import_ValuesClick();
    void btn_Update_Reason_Not_Submitted_TableClick();
    void btn_update_cityClick();
    void btn_update_contact_nameClick();
    void Button2Click();
    // Steps 1, 2, 3, 4, 5, 7, 8 and 9 in this order, each as its button runs it.
    void btn_run_all_stepsClick();

    QLabel* lbl_title;
    kit::ReportMemo* fld_memo;
    kit::DBGrid* DBGrid1;
    QPushButton* Button11;
    QPushButton* Button12;
    QPushButton* Button13;
    QPushButton* Button1;
    QPushButton* btn_Update_RefNum;
    QPushButton* btn_update_job_title_edit;
    QPushButton* btn_Open_Modify_Job_Title_Edits_Table;
    QPushButton* btn_Update_Job_Title;
    QPushButton* btn_Update_Position_Title_Table;
    QPushButton* btn_Update_Status_Table_With_New_Import_Values;
    QPushButton* btn_Update_Reason_Not_Submitted_Table;
    QPushButton* btn_update_city;
    QPushButton* btn_update_contact_name;
    QPushButton* Button2;
    QPushButton* btn_run_all_steps;
    QPushButton* btn_exit;
    kit::ProgressStatusBar* StatusBar1;

  private:
    void log(const std::string& line);
    records::StepIo step_io();
    // Shows the last status text a step gave, which the pacing may have held back.
    void settle_status();

    kit::DataSource* ds_jsearch2_;
    std::chrono::steady_clock::time_point last_status_{};
    std::string pending_status_;
};

}  // namespace pavo::app::jobimport
