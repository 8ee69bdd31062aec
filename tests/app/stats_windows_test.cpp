// The statistics window and the two statistics report windows: confirmations, runs with progress
// and Cancel, the month list and monthly run, Generate, Select Month, Save and its file names.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/shell/main_screen.h"
#include "app/stats/statistics_update.h"
#include "app/stats/stats_report_windows.h"
#include "app_fixture.h"
#include "platform/alias_config.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "store/data_module.h"

namespace pavo::app::testing {
namespace {

using kit::Answer;
using stats::Tstatistics_update;

const std::string kDb = "c:\\mydata\\KV-DB\\PAVODEN2\\db";

class StatsWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        store::DataModule& dm = *store::DataModule::instance();
        tables::CommandScope scope;
        const char* titles[] = {"NETWORK ENGINEER", "CLERK", "O'BRIEN ENGINEER"};
        for (int i = 1; i <= 30; ++i) {
            tables::Table& t = dm.table_jsearch2;
            t.append();
            t.field("REFNUM").set_as_string(std::to_string(i));
            // Ten in February 2004, twenty in March.
            t.field("DATE").set_as_string(i <= 10 ? "2/" + std::to_string(i + 19) + "/2004"
                                                  : "3/" + std::to_string(i) + "/2004");
            t.field("YYYYMMDD").set_as_string("2004");
            t.field("TIME").set_as_string("10:00");
            t.field("CONTACT_NAME").set_as_string("R. LEE");
            t.field("POS_TYPE").set_as_string("FT");
            t.field("POS_CITY").set_as_string("DENVER");
            t.field("POS_STATE").set_as_string(i % 3 ? "CO" : "AZ");
            t.field("POS_TITLE").set_as_string(titles[i % 3]);
            t.post();
        }
        for (auto [order, category] : {std::pair{"1", "ENGINEER"}, std::pair{"2", "CLERK"}}) {
            dm.table_stat_jt.append();
            dm.table_stat_jt.field("ORDER").set_as_string(order);
            dm.table_stat_jt.field("CATEGORY").set_as_string(category);
            dm.table_stat_jt.field("COUNT").set_as_string("5");
            dm.table_stat_jt.post();
        }
        for (const char* s : {"AZ", "CO", "NY"}) {
            dm.table_stat_st.append();
            dm.table_stat_st.field("STATE").set_as_string(s);
            dm.table_stat_st.post();
        }
        scope.commit();
    }
    static store::DataModule& dm() { return *store::DataModule::instance(); }
    static std::vector<std::string> column(const std::string& table, const std::string& field) {
        tables::Table t;
        t.set_database_name(kDb);
        t.set_table_name(table);
        t.open();
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next()) out.push_back(t.field(field).as_string());
        return out;
    }
    static bool table_exists(const std::string& name) {
        tables::Table t;
        t.set_database_name(kDb);
        t.set_table_name(name);
        return t.exists();
    }
    static std::string memo(QPlainTextEdit* m) { return m->toPlainText().toStdString(); }
    fs::path reports() { return home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports"; }
};

TEST_F(StatsWindowTest, TitleAndStateCountsAskFirstWordForWord) {
    Tstatistics_update w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "STATISTICS UPDATES");
    EXPECT_EQ(w.btn_update_pos_title_table->text(), "UPDATE POSITION TITLE TABLE");
    EXPECT_EQ(w.Button2->text(), "CREATE/UPDATE MONTHLY STATS");
    EXPECT_FALSE(w.btn_cancel->isEnabled());

    prompts.answers = {Answer::kNo};
    click(w, "btn_update_job_title_stats");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "STATISTICS UPDATE");
    EXPECT_EQ(prompts.boxes[0].buttons, kit::Buttons::kYesNo);
    EXPECT_EQ(prompts.boxes[0].text,
              "Depending on your data, this could take a while.  With 62,899 records in the Job "
              "Search Database,and\n721 Records in the Job Title Stats database, on a PII, 700MHz "
              "computer it took about 14 minutes.\nIf started DO NOT use the computer for "
              "ANYTHING until it's done, database corruption could occur.\nCONTINUE??");
    EXPECT_EQ(column("STATS_JT.DB", "COUNT"), (std::vector<std::string>{"5", "5"}));

    prompts.answers = {Answer::kYes};
    click(w, "btn_update_job_title_stats");
    // NETWORK ENGINEER and O'BRIEN ENGINEER (20) under ENGINEER, CLERK (10).
    EXPECT_EQ(column("STATS_JT.DB", "COUNT"), (std::vector<std::string>{"20", "10"}));
    EXPECT_EQ(w.StatusBar1->text(), "30 of 30");

    prompts.answers = {Answer::kYes};
    click(w, "btn_update_job_state_stats");
    EXPECT_EQ(prompts.boxes.back().text,
              "This processes takes only about 3% of the job Title Statistics, and\nscans the "
              "same database.  The updating of the Job Title Statistics\ndoes more processing "
              "than updating the State statistics.\nCONTINUE??");
    EXPECT_EQ(column("STATS_ST.DB", "COUNT"), (std::vector<std::string>{"10", "20", "0"}));
}

TEST_F(StatsWindowTest, CancelDuringARunLeavesTheTablesAsTheyWere) {
    Tstatistics_update w(&main());
    w.show();
    auto t = std::chrono::steady_clock::now();
    int ticks = 0;
    // Every record looks 60 ms later; the second paced look clicks Cancel.
    w.long_run_clock = [&] {
        if (++ticks == 3) w.btn_cancel->click();
        return t += std::chrono::milliseconds(60);
    };
    prompts.answers = {Answer::kYes};
    click(w, "btn_update_job_title_stats");
    EXPECT_EQ(column("STATS_JT.DB", "COUNT"), (std::vector<std::string>{"5", "5"}));
    EXPECT_NE(memo(w.Memo1).find("Cancelled"), std::string::npos);
    EXPECT_FALSE(w.btn_cancel->isEnabled());
    EXPECT_TRUE(w.btn_update_job_title_stats->isEnabled());
}

TEST_F(StatsWindowTest, ProgressIsPacedAndTheFinalFigureAlwaysShown) {
    kit::ProgressStatusBar bar(nullptr, "bar");
    QPushButton cancel("Cancel");
    cancel.setEnabled(false);
    kit::LongRun run(&cancel, &bar);
    auto t = std::chrono::steady_clock::now();
    run.set_clock([&] { return t += std::chrono::milliseconds(10); });
    bool told_to_stop = false;
    const bool finished = run.run_reporting([&](const kit::LongRun::Reporter& progress) {
        for (long long i = 1; i <= 97; ++i) told_to_stop |= !progress(i, 97);
    });
    EXPECT_TRUE(finished);
    EXPECT_FALSE(told_to_stop);
    // 97 records 10 ms apart: one text per 50 ms, and the last figure on top.
    EXPECT_EQ(bar.text(), "97 of 97");
    EXPECT_EQ(run.progress_shown(), 19 + 1);
    EXPECT_FALSE(cancel.isEnabled());
}

TEST_F(StatsWindowTest, NewCategoriesAndTitlesAndTheFilterNote) {
    Tstatistics_update w(&main());
    w.show();
    dm().table_jsearch2.set_filter("POS_STATE = 'AZ'");
    dm().table_jsearch2.set_filtered(true);
    click(w, "btn_update_stats_table_with_new_import_values");
    EXPECT_NE(memo(w.Memo1).find("A filter is in force: 10 of 30 job search records are counted."),
              std::string::npos);
    // Titles of the AZ records: i % 3 == 0, "NETWORK ENGINEER".
    EXPECT_EQ(column("STATS_JT.DB", "CATEGORY"),
              (std::vector<std::string>{"ENGINEER", "NETWORK ENGINEER", "CLERK"}));
    dm().table_jsearch2.set_filtered(false);
    click(w, "btn_update_pos_title_table");
    click(w, "btn_update_pos_title_table");
    auto titles = column("POSTITLE.DB", "POS_TITLE");
    for (const char* t : {"NETWORK ENGINEER", "CLERK", "O'BRIEN ENGINEER"})
        EXPECT_EQ(std::count(titles.begin(), titles.end(), t), 1) << t;
}

TEST_F(StatsWindowTest, MonthListAndMonthlyRun) {
    Tstatistics_update w(&main());
    w.show();
    // Without a month nothing is touched and the message is plain.
    click(w, "Button2");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "MESSAGE");

    click(w, "btn_mon_year_range");
    EXPECT_EQ(memo(w.Memo1), "2/1/2004 TO 2/29/2004\n3/1/2004 TO 3/31/2004");
    ASSERT_EQ(w.ComboBox1->count(), 2);
    EXPECT_EQ(dm().table_jsearch2.index_name(), "YYYYMMDD_TIME_ASCENDING");

    dm().table_jsearch2.set_filter("POS_STATE = 'AZ'");
    dm().table_jsearch2.set_filtered(true);
    w.ComboBox1->setCurrentIndex(1);
    // State Yes, title No: only the state table is made.
    prompts.answers = {Answer::kYes, Answer::kNo};
    click(w, "Button2");
    EXPECT_TRUE(table_exists("200403st.db"));
    EXPECT_FALSE(table_exists("200403jt.db"));
    // The twenty March records, whatever filter was set; the filter is off afterwards.
    EXPECT_EQ(column("200403st.db", "COUNT"), (std::vector<std::string>{"7", "13", "0"}));
    EXPECT_FALSE(dm().table_jsearch2.filtered());
    EXPECT_EQ(dm().table_stat_st.table_name(), "STATS_ST.DB");
    EXPECT_EQ(column("STATS_ST.DB", "COUNT"), (std::vector<std::string>{"", "", ""}));

    prompts.answers = {Answer::kNo, Answer::kNo};
    click(w, "Button2");
    EXPECT_FALSE(table_exists("200403jt.db"));
}

TEST_F(StatsWindowTest, MenuEntriesOpenTheWindows) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> entries = {
        {{"Databases", "Job Search Records", "Update Statistics"}, "statistics_update"},
        {{"Reports", "Job Search", "Disqualified By State"}, "Job_Search_Stats_Job_State"},
        {{"Reports", "Job Search", "Disqualified By Title"}, "Job_Search_Stats_Job_Title"},
    };
    for (const auto& [path, name] : entries) {
        QWidget* menu = main().MainMenu1;
        QAction* a = nullptr;
        for (const std::string& caption : path) {
            a = nullptr;
            for (QAction* x : menu->actions())
                if (x->text().toStdString() == caption) a = x;
            ASSERT_NE(a, nullptr) << caption;
            if (a->menu()) menu = a->menu();
        }
        ASSERT_TRUE(a->isEnabled()) << name;
        std::string opened;
        kit::queue_modal_hook([&](QDialog& w) {
            opened = w.objectName().toStdString();
            static_cast<kit::KitWindow&>(w).close_window();
        });
        a->trigger();
        EXPECT_EQ(opened, name);
    }
}

class StatsReportWindowTest : public StatsWindowTest {
  protected:
    void SetUp() override {
        StatsWindowTest::SetUp();
        Tstatistics_update u(&main());
        prompts.answers = {Answer::kYes, Answer::kYes};
        u.btn_update_job_state_statsClick();
        u.btn_update_job_title_statsClick();
        records::update_monthly_stats(dm().table_jsearch2, dm().table_stat_st, dm().table_stat_jt,
                                      {2004, 3}, true, true);
        prompts.boxes.clear();
    }
    static std::vector<std::string> lines(kit::ReportMemo* m) {
        std::vector<std::string> out;
        for (int i = 0; i < m->line_count(); ++i) out.push_back(m->line(i));
        return out;
    }
};

TEST_F(StatsReportWindowTest, NoticeGenerateAndAStaleAddress) {
    stats::TJob_Search_Stats_Job_State w(&main());
    w.show();
    EXPECT_EQ(lines(w.fld_memo),
              (std::vector<std::string>{
                  "",
                  "This report will be only as current as your statistics are for the jobs not "
                  "qualified for by state.",
                  "You should update your statistics at least once per month, after all job "
                  "searches",
                  "have been entered."}));
    EXPECT_EQ(w.Panel1->colour(), kit::kLime);
    // A change saved elsewhere after the window opened is in the header.
    {
        tables::Table c;
        c.set_database_name(kDb);
        c.set_table_name("CONFIG.DB");
        c.open();
        c.edit();
        c.field("MY_NAME").set_as_string("NEW NAME");
        c.post();
    }
    click(w, "btn_generate");
    EXPECT_EQ(prompts.boxes.back().text, "I'm done !!!!!!!");
    auto l = lines(w.fld_memo);
    ASSERT_GT(l.size(), 15u);
    EXPECT_EQ(l[9], "           NEW NAME");
    EXPECT_EQ(l[15], "AZ                                         10        33.3333     ");
    EXPECT_EQ(l.back(), "TOTALS                                     30       100.0000     ");
}

TEST_F(StatsReportWindowTest, SelectMonthThenGenerateNamesTheSavedFile) {
    clock::ScopedFixedTime fixed({2026, 12, 8, 10, 0, 0});
    stats::TJob_Search_Stats_Job_State w(&main());
    w.show();
    // A cancelled dialog does nothing.
    prompts.files = {std::nullopt};
    click(w, "btn_select_month");
    EXPECT_EQ(prompts.file_requests.back().file_name, "*st.DB");
    EXPECT_EQ(prompts.file_requests.back().default_extension, "DB");
    EXPECT_EQ(prompts.file_requests.back().initial_dir, AliasConfig::current().path("PAVODEN2"));
    EXPECT_EQ(w.picked_table(), "");
    EXPECT_EQ(w.fld_memo->line(3), "have been entered.");

    // A table without the statistics fields is named; nothing is remembered.
    prompts.files = {kDb + "\\POSTITLE.DB"};
    click(w, "btn_select_month");
    EXPECT_NE(prompts.boxes.back().text.find("POSTITLE.DB is not a state statistics table"),
              std::string::npos);
    EXPECT_EQ(w.picked_table(), "");
    EXPECT_EQ(dm().table_stat_st.table_name(), "STATS_ST.DB");
    EXPECT_TRUE(dm().table_stat_st.active());

    prompts.files = {kDb + "\\200403st.db"};
    click(w, "btn_select_month");
    EXPECT_EQ(w.fld_memo->line(w.fld_memo->line_count() - 1),
              "TOTALS                                     20       100.0000     ");
    click(w, "btn_save");
    const fs::path monthly = reports() / "200403_JOB_SEARCH_STATE_STATS.txt";
    ASSERT_TRUE(fs::exists(monthly));
    EXPECT_TRUE(read_whole_file(monthly).ends_with(
        "\r\n\r\nSaved to file: c:\\mydata\\KV-DB\\pavoden2\\reports\\"
        "200403_JOB_SEARCH_STATE_STATS.txt\r\n"));

    // Generate forgets the month: the overall report gets its own time-stamped file.
    click(w, "btn_generate");
    click(w, "btn_save");
    const fs::path overall = reports() / "JOB_SEARCH_STATE_STATS_2026-12-08-10-00-00.txt";
    ASSERT_TRUE(fs::exists(overall));
    EXPECT_NE(read_whole_file(overall).find("TOTALS                                     30"),
              std::string::npos);
    EXPECT_NE(read_whole_file(monthly).find("TOTALS                                     20"),
              std::string::npos);
}

TEST_F(StatsReportWindowTest, TitleSaveWithAttachmentAndAFailedWrite) {
    clock::ScopedFixedTime fixed({2026, 12, 8, 10, 0, 0});
    stats::TJob_Search_Stats_Job_Title w(&main());
    w.show();
    click(w, "btn_generate");
    const int generated = w.fld_memo->line_count();
    const fs::path note = home.path() / "note.txt";
    write_file_atomically(note, "cover letter\n");
    const fs::path binary = home.path() / "photo.bin";
    write_file_atomically(binary, std::string("\x89PNG\0\0", 6));

    // Not text: refused with a message, nothing added.
    prompts.files = {binary.string()};
    click(w, "btn_save");
    EXPECT_NE(prompts.boxes.back().text.find("not a text file"), std::string::npos);
    EXPECT_EQ(w.fld_memo->line_count(), generated);

    // The write fails: the error is shown and the memo claims no file.
    {
        FaultyFileSystem faulty;
        faulty.fail_rename_call = 0;
        ScopedFileSystem scoped(&faulty);
        prompts.files = {std::nullopt};
        click(w, "btn_save");
    }
    EXPECT_EQ(prompts.boxes.back().caption, kit::kApplicationTitle);
    EXPECT_EQ(w.fld_memo->line_count(), generated);

    prompts.files = {note.string()};
    click(w, "btn_save");
    EXPECT_EQ(prompts.file_requests.back().file_name, "*.*");
    const std::string dashes(55, '-');
    auto l = lines(w.fld_memo);
    EXPECT_EQ(std::vector<std::string>(l.begin() + generated, l.end()),
              (std::vector<std::string>{"", "\f", dashes, "cover letter", dashes, "",
                                        "Saved to file: c:\\mydata\\KV-DB\\pavoden2\\reports\\"
                                        "JOB_SEARCH_TITLE_STATS_2026-12-08-10-00-00.txt"}));
    EXPECT_TRUE(fs::exists(reports() / "JOB_SEARCH_TITLE_STATS_2026-12-08-10-00-00.txt"));
}

}  // namespace
}  // namespace pavo::app::testing
