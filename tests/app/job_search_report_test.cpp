// The job search report window: its controls, activation and RESET, the index change, Generate's
// messages and file, a report that cannot be written, and the Filter button.
#include "app/jobsearch/job_search_report.h"

#include <QTimer>

#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "records/job_report.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using jobsearch::TJob_Search_Report;

class JobReportWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        tables::Table& t = jobs();
        tables::CommandScope scope;
        for (int i = 1; i <= 30; ++i) {
            t.append();
            t.field("REFNUM").set_as_string(std::to_string(i));
            t.field("DATE").set_as_string("3/" + std::to_string(i) + "/2004");
            char ymd[16];
            std::snprintf(ymd, sizeof ymd, "200403%02d", i);
            t.field("YYYYMMDD").set_as_string(ymd);
            t.field("TIME").set_as_string("10:00");
            t.field("CONTACT_NAME").set_as_string("R. LEE");
            t.field("POS_TYPE").set_as_string(i % 2 ? "FT" : "CT");
            t.field("POS_CITY").set_as_string("DENVER");
            t.field("POS_STATE").set_as_string(i % 3 ? "CO" : "AZ");
            t.field("POS_TITLE").set_as_string("ENGINEER " + std::to_string(i));
            t.post();
        }
        scope.commit();
    }
    static tables::Table& jobs() { return store::DataModule::instance()->table_jsearch2; }
    // The installed set spells the folder in capitals; logical paths match it whatever the case.
    fs::path reports() { return home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports"; }
    static std::vector<bool> ticks(TJob_Search_Report& w) {
        std::vector<bool> t;
        for (int i = 0; i < records::kJobReportItems; ++i) t.push_back(w.CheckListBox1->checked(i));
        return t;
    }
};

TEST_F(JobReportWindowTest, ControlsActivationAndReset) {
    TJob_Search_Report w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "sd");
    EXPECT_EQ(w.size(), QSize(942, 445));
    ASSERT_EQ(w.CheckListBox1->count(), 13);
    EXPECT_EQ(w.CheckListBox1->item(5)->text(), "Position Type");
    EXPECT_EQ(w.CheckListBox1->item(12)->text(), "Item File");
    const std::vector<bool> defaults = {false, true,  false, true,  true, true, false,
                                        true,  false, true,  false, true, false};
    EXPECT_EQ(ticks(w), defaults);
    EXPECT_EQ(w.CheckListBox1->palette().color(QPalette::Base), kit::kLime);
    EXPECT_EQ(w.ComboBox1->count(), static_cast<int>(jobs().index_names().size()));
    EXPECT_EQ(w.ComboBox1->currentIndex(), -1);
    EXPECT_FALSE(w.btn_cancel->isEnabled());
    EXPECT_EQ(w.btn_save->text(), "Filter");

    // RESET restores the defaults but leaves Active as the user set it.
    w.CheckListBox1->set_checked(0, true);
    w.CheckListBox1->set_checked(1, false);
    w.CheckListBox1->set_checked(12, true);
    click(w, "btn_reset");
    std::vector<bool> with_active = defaults;
    with_active[0] = true;
    EXPECT_EQ(ticks(w), with_active);
    w.close_window();
}

TEST_F(JobReportWindowTest, IndexChangeWarnsAndDropsTheFilter) {
    jobs().set_filter("POS_STATE = 'AZ'");
    jobs().set_filtered(true);
    TJob_Search_Report w(&main());
    w.show();
    const int i = w.ComboBox1->findText("YYYYMMDD_TIME_DESCENDING");
    ASSERT_GE(i, 0);
    w.ComboBox1->setCurrentIndex(i);
    emit w.ComboBox1->activated(i);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "WARNING");
    EXPECT_EQ(prompts.boxes[0].text,
              "You changed the index, so the filter was turned off, please reset the filter!");
    EXPECT_EQ(jobs().index_name(), "YYYYMMDD_TIME_DESCENDING");
    EXPECT_FALSE(jobs().filtered());
    EXPECT_EQ(jobs().filter(), "");
    EXPECT_EQ(jobs().field("REFNUM").as_string(), "30");
    w.close_window();
}

TEST_F(JobReportWindowTest, GenerateWritesTheFileThenSaysDone) {
    clock::ScopedFixedTime at({2004, 3, 31, 23, 59, 58});
    jobs().set_index_name("POS_STATE_");
    jobs().set_filter("POS_TYPE = 'FT'");
    jobs().set_filtered(true);
    TJob_Search_Report w(&main());
    w.show();
    w.chk_csv->setChecked(true);
    click(w, "btn_generate");

    const std::string name =
        "c:\\mydata\\KV-DB\\pavoden2\\reports\\JOB_SEARCH___2004-03-31-23-59-58";
    const std::vector<std::string> memo_start = {
        "Because of the possibility of the report begin very large, it is being placed out",
        "directly to the file:",
        "",
        "",
        name + ".txt",
        "",
        "",
        "On outputting about 65,000 records on a Pent. II, 700 MHz machine using Windows XP Pro, "
        "it took abou",
        "4 minutes.  Please be patient....",
        "",
        "",
        "",
        "",
        ""};
    for (std::size_t i = 0; i < memo_start.size(); ++i)
        EXPECT_EQ(w.fld_memo->line(static_cast<int>(i)), memo_start[i]) << i;
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "");
    EXPECT_EQ(prompts.boxes[0].text, "I'm done !!!!!!!");
    EXPECT_EQ(w.last_report(), name + ".txt");

    const std::string text = read_whole_file(reports() / "JOB_SEARCH___2004-03-31-23-59-58.txt");
    // 15 records pass; the first in POS_STATE_ order is an AZ one.
    EXPECT_NE(text.find("03/03/2004  3        ENGINEER 3"), std::string::npos) << text;
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 9u + 2u + 15u);
    EXPECT_TRUE(fs::exists(reports() / "JOB_SEARCH___2004-03-31-23-59-58.csv"));
    // The dataset keeps its order and filter.
    EXPECT_EQ(jobs().index_name(), "POS_STATE_");
    EXPECT_EQ(jobs().filter(), "POS_TYPE = 'FT'");
    EXPECT_TRUE(jobs().filtered());
    EXPECT_FALSE(w.btn_cancel->isEnabled());
    EXPECT_TRUE(w.btn_generate->isEnabled());
    w.close_window();
}

TEST_F(JobReportWindowTest, AReportThatCannotBeWrittenIsNeverReportedDone) {
    clock::ScopedFixedTime at({2004, 3, 31, 8, 0, 0});
    TJob_Search_Report w(&main());
    w.show();
    FaultyFileSystem faulty;
    faulty.fail_write_after_bytes = 100;  // the disk fills up inside the header
    {
        ScopedFileSystem use(&faulty);
        click(w, "btn_generate");
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
    EXPECT_NE(prompts.boxes[0].text.find("JOB_SEARCH___2004-03-31-08-00-00.txt"), std::string::npos)
        << prompts.boxes[0].text;
    EXPECT_EQ(w.last_report(), "");
    EXPECT_TRUE(file_system().list(reports()).empty());
    EXPECT_TRUE(w.btn_generate->isEnabled());
    w.close_window();
}

TEST_F(JobReportWindowTest, CancelStopsTheRunAndLeavesNoFile) {
    clock::ScopedFixedTime at({2004, 3, 31, 9, 0, 0});
    TJob_Search_Report w(&main());
    w.show();
    // Each step seems to take 60 ms, so the run handles events after every record.
    auto t = std::chrono::steady_clock::now();
    w.long_run_clock = [&t] { return t += std::chrono::milliseconds(60); };
    std::string progress_at_cancel;
    QTimer::singleShot(0, w.btn_cancel, [&] {
        EXPECT_TRUE(w.btn_cancel->isEnabled());
        progress_at_cancel = w.lbl_progress->text().toStdString();
        w.btn_cancel->click();
    });
    click(w, "btn_generate");
    EXPECT_EQ(progress_at_cancel, "1 of 30");
    EXPECT_EQ(w.lbl_progress->text().toStdString(), "1 of 30");
    EXPECT_TRUE(prompts.boxes.empty()) << "no done message after a cancelled run";
    EXPECT_EQ(w.fld_memo->line(w.fld_memo->line_count() - 1),
              "Cancelled: the report was not written, no file was left.");
    EXPECT_TRUE(file_system().list(reports()).empty());
    EXPECT_FALSE(w.btn_cancel->isEnabled());
    EXPECT_EQ(w.last_report(), "");
    w.close_window();
}

TEST_F(JobReportWindowTest, FilterOpensTheJobSearchFilterWindowAndTheMenuOpensTheReport) {
    std::string opened;
    kit::queue_modal_hook([&](QDialog& report) {
        opened = report.objectName().toStdString();
        kit::queue_modal_hook([&](QDialog& filter) {
            opened += " " + filter.objectName().toStdString();
            static_cast<kit::KitWindow&>(filter).force_close();
        });
        click(report, "btn_save");
        static_cast<kit::KitWindow&>(report).close_window();
    });
    main().item("AllJobs1")->trigger();
    EXPECT_EQ(opened.substr(0, opened.find(' ')), "Job_Search_Report");
    EXPECT_NE(opened.find(' '), std::string::npos) << "the filter window did not open";
}

}  // namespace
}  // namespace pavo::app::testing
