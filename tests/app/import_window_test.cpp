// The import-and-edits window: its controls, an import through the file dialog and the preview,
// Cancel, the question for a mail imported before, refusals in the log, and Run All Steps pausing
// in the job title edit window with its log kept.
#include <QGroupBox>
#include <QTableWidget>
#include <fstream>

#include "app/import/import_edits_form.h"
#include "app/shell/main_screen.h"
#include "app/shell/window_registry.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "records/job_mail.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using jobimport::ImportPreview;
using jobimport::Tjob_search_import_edits_form;

const std::string kV3 =
    "Sent: May 01, 2003 8:00 AM\nTech Jobs SEARCH AGENT: Refine\n"
    "US-TX-Austin\t*Software Tester\nUS-TX-Dallas\t*Java Developer\n"
    "US-MO-O'Fallon\t*Systems Analyst\n";

class ImportWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        time_.emplace(clock::DateTime{2026, 12, 8, 14, 30, 0});
        if (const shell::WindowFactory* f = shell::find_window("TJob_Title_Edit")) title_edit_ = *f;
        window_ = std::make_unique<Tjob_search_import_edits_form>(&main());
        window_->show();
    }
    void TearDown() override {
        window_->force_close();
        window_.reset();
        shell::register_window("TJob_Title_Edit", title_edit_);
        time_.reset();
        AppTest::TearDown();
    }
    std::string write_mail(const std::string& name, const std::string& text) {
        auto dir = home.drive_c() / "mail";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << text;
        return "c:\\mail\\" + name;
    }
    std::vector<std::string> log() {
        std::vector<std::string> v;
        for (int i = 0; i < window_->fld_memo->line_count(); ++i)
            v.push_back(window_->fld_memo->line(i));
        return v;
    }
    // Answers the preview with its Add button (or Cancel), after noting what it showed.
    void answer_preview(bool add) {
        kit::queue_modal_hook([this, add](QDialog& d) {
            auto& p = dynamic_cast<ImportPreview&>(d);
            preview_count_ = p.lbl_count->text().toStdString();
            preview_add_ = p.btn_add->text().toStdString();
            preview_marks_.clear();
            for (int r = 0; r < p.grid->rowCount(); ++r)
                preview_marks_.push_back(p.grid->item(r, 0)->text().toStdString());
            (add ? p.btn_add : p.btn_cancel)->click();
        });
    }
    static tables::Table& jobs() { return store::DataModule::instance()->table_jsearch2; }
    static int stored(const char* dataset) {
        tables::Table& t = *store::DataModule::instance()->dataset(dataset);
        t.refresh();
        return t.record_count();
    }

    std::optional<clock::ScopedFixedTime> time_;
    shell::WindowFactory title_edit_;  // the program's own, put back after each test
    std::unique_ptr<Tjob_search_import_edits_form> window_;
    std::string preview_count_, preview_add_;
    std::vector<std::string> preview_marks_;
};

TEST_F(ImportWindowTest, ControlsCarryTheirCaptions) {
    Tjob_search_import_edits_form& w = *window_;
    EXPECT_EQ(w.lbl_title->text(), "JOB SEARCH IMPORT AND EDITS");
    EXPECT_EQ(w.Button11->text(), "CareerBuilder V1 (September 2001 to March 2002)");
    EXPECT_EQ(w.Button12->text(), "CareerBuilder V2 (March 2002 to February 2003)");
    EXPECT_EQ(w.Button13->text(), "CareerBuilder V3 (Since February 2003-5 May 2003)");
    EXPECT_EQ(w.Button1->text(), "CareerBuilder V4 (Since 6 May 2003)");
    EXPECT_EQ(w.btn_update_job_title_edit->text(), "(2) Update Job Title  Edits");
    EXPECT_EQ(w.Button2->text(), "(10) Update Reason Not Submited in Stats Table");
    EXPECT_EQ(w.btn_run_all_steps->text(), "Run All Steps");
    auto* steps = child<QGroupBox>(w, "grp_steps");
    ASSERT_NE(steps, nullptr);
    EXPECT_EQ(steps->title(), "PROCESS INMPORTED RECORDS (DO IN ORDER!!!)");
    const auto& cols = w.DBGrid1->dataset_model()->columns();
    std::vector<std::string> names;
    for (const auto& c : cols) names.push_back(c.field);
    EXPECT_EQ(names, (std::vector<std::string>{"REFNUM", "DATE", "POS_TYPE", "POS_CITY",
                                               "POS_STATE", "POS_TITLE"}));
    EXPECT_TRUE(w.fld_memo->isReadOnly());
    EXPECT_EQ(w.fld_memo->line_count(), 0);
}

TEST_F(ImportWindowTest, ImportShowsThePreviewThenPostsAndLogsFirstAndLastLines) {
    const std::string mail = write_mail("jobs.txt", kV3);
    prompts.files = {mail};
    answer_preview(true);
    click(*window_, "Button13");
    ASSERT_EQ(prompts.file_requests.size(), 1u);
    EXPECT_EQ(prompts.file_requests[0].file_name, "*.*");
    EXPECT_EQ(prompts.file_requests[0].default_extension, "*");
    EXPECT_EQ(prompts.file_requests[0].initial_dir, "C:\\");
    EXPECT_EQ(preview_count_, "3 records in the mail");
    EXPECT_EQ(preview_add_, "Add 3 Records");
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "Adding Version 1 (CareerBuilder Version 3 [Since February 2003]) "
                         "Records To Database",
                         "Import done: 3 records read, 3 added, 3 city rows added, 0 failures."}));
    EXPECT_EQ(stored("table_jsearch2"), 3);
    EXPECT_EQ(stored("table_city"), 3);
    tables::Table& city = store::DataModule::instance()->table_city;
    EXPECT_TRUE(city.locate("CITY", {"O FALLON"}));
}

TEST_F(ImportWindowTest, CancelAndTheQuestionForAMailImportedBefore) {
    const std::string mail = write_mail("jobs.txt", kV3);
    prompts.files = {mail, mail, mail, write_mail("more.txt", kV3 + "US-TX-Waco\t*Analyst\n")};
    // Cancel in the preview adds nothing.
    answer_preview(false);
    click(*window_, "Button13");
    EXPECT_EQ(log().back(), "Import cancelled: nothing was added.");
    EXPECT_EQ(stored("table_jsearch2"), 0);
    // Imported once; then asked, No.
    answer_preview(true);
    click(*window_, "Button13");
    prompts.answers = {kit::Answer::kNo};
    click(*window_, "Button13");
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_EQ(prompts.boxes.back().text, "This mail was imported before. Import again?");
    EXPECT_EQ(prompts.boxes.back().buttons, kit::Buttons::kYesNo);
    EXPECT_EQ(log().back(), "Nothing was imported: " + mail + " was imported before.");
    EXPECT_EQ(stored("table_jsearch2"), 3);
    // A mail with one new job: the preview marks the three recorded ones, adds the new one.
    answer_preview(true);
    click(*window_, "Button13");
    EXPECT_EQ(preview_add_, "Add 1 Records");
    EXPECT_EQ(preview_marks_, (std::vector<std::string>{"ALREADY IMPORTED", "ALREADY IMPORTED",
                                                        "ALREADY IMPORTED", ""}));
    EXPECT_EQ(log().back(),
              "Import done: 4 records read, 1 added, 3 skipped as already imported, 1 city rows "
              "added, 0 failures.");
    EXPECT_EQ(stored("table_jsearch2"), 4);
}

TEST_F(ImportWindowTest, NoFileUnreadableAndRefusedMailsEachSayWhy) {
    prompts.files = {std::nullopt, std::string("c:\\mail\\missing.txt"), write_mail("v3.txt", kV3),
                     write_mail("late.txt", "US-TX-Austin\t*A\nSent: May 01, 2003\n")};
    click(*window_, "Button1");
    EXPECT_EQ(log(), (std::vector<std::string>{"No mail chosen: nothing was imported."}));
    click(*window_, "Button1");
    ASSERT_EQ(log().size(), 2u);
    EXPECT_EQ(log()[1].rfind("c:\\mail\\missing.txt could not be read, so nothing was imported", 0),
              0u);
    click(*window_, "Button11");
    EXPECT_EQ(log().back().rfind("Nothing was imported: c:\\mail\\v3.txt does not look like", 0),
              0u)
        << log().back();
    click(*window_, "Button13");
    EXPECT_NE(log().back().find("c:\\mail\\late.txt, line 1: DATE"), std::string::npos)
        << log().back();
    EXPECT_EQ(stored("table_jsearch2"), 0);
}

TEST_F(ImportWindowTest, RunAllStepsPausesInTheTitleEditWindowAndKeepsItsLog) {
    prompts.files = {write_mail("jobs.txt", kV3)};
    answer_preview(true);
    click(*window_, "Button13");
    window_->fld_memo->clear_lines();

    std::vector<std::string> log_at_pause;
    shell::register_window("TJob_Title_Edit", [](QWidget* owner) {
        return std::unique_ptr<QDialog>(
            new kit::KitWindow(owner, "Job_Title_Edit", "stand-in", {200, 100}, "stand-in"));
    });
    kit::queue_modal_hook([&](QDialog& d) {
        log_at_pause = log();
        static_cast<kit::KitWindow&>(d).close_window();
    });
    click(*window_, "btn_run_all_steps");

    ASSERT_EQ(log_at_pause.size(), 4u);
    EXPECT_EQ(log_at_pause[1],
              "(1) Update RefNum done: 3 records read, 0 added, 3 changed, 0 failures.");
    EXPECT_EQ(log_at_pause[2].rfind("Scanning \"Job Search Table\" and adding titles", 0), 0u);
    EXPECT_EQ(log_at_pause[3].rfind("(2) Update Job Title Edits done: 3 records read, 3 added", 0),
              0u)
        << log_at_pause[3];
    const std::vector<std::string> lines = log();
    std::vector<std::string> summaries;
    for (const auto& l : lines)
        if (l.find(" done: ") != std::string::npos || l.find(" stopped: ") != std::string::npos)
            summaries.push_back(l.substr(0, l.find(" done: ")));
    EXPECT_EQ(summaries,
              (std::vector<std::string>{"(1) Update RefNum", "(2) Update Job Title Edits",
                                        "(4) Update Job Title", "(5) Update Position Title Table",
                                        "(7) Update Reason Not Submitted Table", "(8) Update City",
                                        "(9) Update Contact Name"}));
    EXPECT_EQ(lines.front(), "Updating REFNUM, watch status bar for progress");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Emptying City Table"), lines.end());
    // Steps 7 and 8 each showed their OK-only box.
    int notices = 0;
    for (const auto& b : prompts.boxes)
        if (b.caption == "MESSAGE" && b.buttons == kit::Buttons::kOk) ++notices;
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(stored("table_contact_name"), 1);
    EXPECT_EQ(stored("table_reason"), 1);
    EXPECT_EQ(stored("table_position_title"), 3);
    EXPECT_EQ(window_->StatusBar1->text().toStdString().empty(), false);
}

TEST_F(ImportWindowTest, StepThreeOpensTheProgramsTitleEditWindow) {
    std::string opened;
    kit::queue_modal_hook([&](QDialog& d) {
        opened = d.objectName().toStdString();
        static_cast<kit::KitWindow&>(d).force_close();
    });
    click(*window_, "btn_Open_Modify_Job_Title_Edits_Table");
    EXPECT_EQ(opened, "Job_Title_Edit");
}

TEST_F(ImportWindowTest, WithoutTheTitleEditWindowStepThreeSaysSo) {
    shell::register_window("TJob_Title_Edit", {});
    click(*window_, "btn_Open_Modify_Job_Title_Edits_Table");
    EXPECT_EQ(
        log(),
        (std::vector<std::string>{"The job title edit window is not part of this program yet."}));
}

TEST_F(ImportWindowTest, TheMenuEntryOpensTheWindow) {
    EXPECT_NE(shell::find_window("Tjob_search_import_edits_form"), nullptr);
}

}  // namespace
}  // namespace pavo::app::testing
