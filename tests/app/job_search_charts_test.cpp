// The charts window and pavoden2-chart: the four tabs over the shared datasets left as found, the
// numbers table and its accessible descriptions, Copy Table, Save Picture and a failed save, the
// empty chart, the menu entry, the tool's command line against the window's numbers, and the
// pictures of the sample data set written to the build folder.
#include "app/charts/job_search_charts.h"

#include <QClipboard>
#include <QGraphicsSimpleTextItem>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QtCharts/QAbstractBarSeries>
#include <QtCharts/QBarSet>
#include <sstream>

#include "app/charts/chart_builder.h"
#include "app/charts/chart_tool.h"
#include "app/shell/main_screen.h"
#include "app_fixture.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "records/job_stats.h"
#include "store/data_module.h"
#include "store/install.h"
#include "support/tool_run.h"

namespace pavo::app::testing {
namespace {

using charts::ChartPage;
using charts::TJob_Search_Charts;
using records::ChartKind;

class ChartsWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        tables::Table& t = jobs();
        tables::CommandScope scope;
        // Three months with a gap in February; CO records not submitted for two reasons.
        const char* dates[] = {"1/10/2004", "1/20/2004", "3/5/2004", "3/6/2004", "3/31/2004"};
        for (int i = 0; i < 5; ++i) {
            t.append();
            t.field("REFNUM").set_as_string(std::to_string(i + 1));
            t.field("DATE").set_as_string(dates[i]);
            t.field("YYYYMMDD")
                .set_as_string("2004" + std::string(dates[i][0] == '1' ? "01" : "03") +
                               std::to_string(10 + i));
            t.field("TIME").set_as_string("10:00");
            t.field("CONTACT_NAME").set_as_string("R. LEE");
            t.field("POS_TYPE").set_as_string("FT");
            t.field("POS_CITY").set_as_string("DENVER");
            t.field("POS_STATE").set_as_string(i < 3 ? "CO" : "AZ");
            t.field("POS_TITLE").set_as_string("ENGINEER");
            t.field("SUBMITTED").set_as_string(i < 3 ? "False" : "True");
            t.field("REASON_NO_SUBMIT").set_as_string(i == 0 ? "PAY TOO LOW" : "TOO FAR");
            t.post();
        }
        tables::Table& st = dm().table_stat_st;
        for (auto [state, count] : {std::pair{"AZ", "2"}, std::pair{"CO", "3"}}) {
            st.append();
            st.field("STATE").set_as_string(state);
            st.field("COUNT").set_as_string(count);
            st.field("AS_OF_DATE").set_as_string("3/1/2004");  // older than 3/31/2004
            st.post();
        }
        scope.commit();
    }
    static store::DataModule& dm() { return *store::DataModule::instance(); }
    static tables::Table& jobs() { return dm().table_jsearch2; }
    fs::path reports() { return home.drive_c() / "mydata" / "KV-DB" / "PAVODEN2" / "reports"; }
    static std::vector<std::string> grid_texts(QTableWidget& g, int role = Qt::DisplayRole) {
        std::vector<std::string> out;
        for (int r = 0; r < g.rowCount(); ++r)
            for (int c = 0; c < g.columnCount(); ++c)
                out.push_back(g.item(r, c)->data(role).toString().toStdString());
        return out;
    }
};

TEST_F(ChartsWindowTest, FourTabsOverTheSharedDatasetsLeftAsFound) {
    tables::Table& t = jobs();
    t.set_filter("POS_STATE = 'CO'");
    t.set_filtered(true);
    t.set_record_number(2);
    const std::string at = t.field("REFNUM").as_string();
    const std::string index = t.index_name();

    TJob_Search_Charts w(&main());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Job Search Charts");
    ASSERT_EQ(w.TabControl1->count(), 4);
    EXPECT_EQ(w.TabControl1->tabText(0), "By month");
    EXPECT_EQ(w.TabControl1->tabText(1), "Why not submitted");
    EXPECT_EQ(w.TabControl1->tabText(2), "By title category");
    EXPECT_EQ(w.TabControl1->tabText(3), "By state");

    // Month and reasons under the filter (CO only); the gap month shows as zero.
    const auto& month = w.page(ChartKind::kMonth)->data();
    ASSERT_EQ(month.bars.size(), 3u);
    EXPECT_EQ(month.bars[1].label, "Feb 2004");
    EXPECT_EQ(month.bars[0].values, (std::vector<long long>{0, 2}));
    EXPECT_EQ(month.bars[1].values, (std::vector<long long>{0, 0}));
    EXPECT_EQ(month.bars[2].values, (std::vector<long long>{0, 1}));
    EXPECT_EQ(records::chart_tab_lines(w.page(ChartKind::kReasons)->data()),
              (std::vector<std::string>{"REASON\tNOT SUBMITTED", "TOO FAR\t2", "PAY TOO LOW\t1"}));
    // The states chart with the notice above it; no title statistics at all.
    ChartPage* states = w.page(ChartKind::kStates);
    EXPECT_EQ(states->data().bars.size(), 2u);
    EXPECT_FALSE(states->lbl_notice->isHidden());
    EXPECT_EQ(states->lbl_notice->text(),
              "Statistics as of 3/1/2004; update them for newer records");
    EXPECT_TRUE(w.page(ChartKind::kTitles)->data().empty());
    EXPECT_TRUE(w.page(ChartKind::kMonth)->lbl_notice->isHidden());

    EXPECT_EQ(t.filter(), "POS_STATE = 'CO'");
    EXPECT_TRUE(t.filtered());
    EXPECT_EQ(t.index_name(), index);
    EXPECT_EQ(t.record_number(), 2);
    EXPECT_EQ(t.field("REFNUM").as_string(), at);
    EXPECT_EQ(t.state(), tables::DatasetState::kBrowse);
    click(w, "btn_close");
    EXPECT_FALSE(w.isVisible());
}

TEST_F(ChartsWindowTest, NumbersTableAccessibleDescriptionsAndCopyTable) {
    TJob_Search_Charts w(&main());
    w.show();
    ChartPage* p = w.page(ChartKind::kMonth);
    // Hidden until Show Numbers, then the same numbers as the chart.
    EXPECT_TRUE(p->grid_numbers->isHidden());
    p->chk_show_numbers->click();
    EXPECT_FALSE(p->grid_numbers->isHidden());
    EXPECT_EQ(grid_texts(*p->grid_numbers),
              (std::vector<std::string>{"Jan 2004", "0", "2", "Feb 2004", "0", "0", "Mar 2004", "2",
                                        "1"}));
    EXPECT_EQ(p->grid_numbers->item(2, 1)->data(Qt::AccessibleDescriptionRole).toString(),
              "Mar 2004, submitted: 2");
    EXPECT_EQ(p->grid_numbers->item(0, 2)->data(Qt::AccessibleDescriptionRole).toString(),
              "Jan 2004, not submitted: 2");
    p->chk_show_numbers->click();
    EXPECT_TRUE(p->grid_numbers->isHidden());

    click(*w.page(ChartKind::kStates), "btn_copy_states");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "STATE\tCOUNT\nAZ\t2\nCO\t3\n");
    w.close_window();
}

TEST_F(ChartsWindowTest, SavePictureWritesTheNamedPngAndAFailedSaveLeavesNothing) {
    clock::ScopedFixedTime at({2004, 3, 31, 8, 0, 0});
    TJob_Search_Charts w(&main());
    w.show();
    click(*w.page(ChartKind::kReasons), "btn_save_reasons");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    const std::string name =
        "c:\\mydata\\KV-DB\\pavoden2\\reports\\CHART_REASONS___2004-03-31-08-00-00.png";
    EXPECT_NE(prompts.boxes[0].text.find(name), std::string::npos) << prompts.boxes[0].text;
    EXPECT_EQ(w.page(ChartKind::kReasons)->last_picture(), name);
    QImage picture(
        QString::fromStdString((reports() / "CHART_REASONS___2004-03-31-08-00-00.png").string()));
    EXPECT_EQ(picture.size(), QSize(1600, 1000));

    // The reports folder cannot be made: the error names the folder, nothing is written.
    prompts.boxes.clear();
    fs::remove_all(reports());
    FaultyFileSystem faulty;
    faulty.fail_mkdir_call = 0;
    faulty.fail_open_call = 0;
    {
        ScopedFileSystem use(&faulty);
        clock::ScopedFixedTime later({2004, 3, 31, 9, 0, 0});
        click(*w.page(ChartKind::kMonth), "btn_save_month");
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
    EXPECT_EQ(w.page(ChartKind::kMonth)->last_picture(), "");
    EXPECT_FALSE(fs::exists(reports() / "CHART_MONTH___2004-03-31-09-00-00.png"));
    w.close_window();
}

TEST_F(ChartsWindowTest, EmptyDataShowsNoRecordsInTheChartArea) {
    TJob_Search_Charts w(&main());
    w.show();
    QChart* chart = w.page(ChartKind::kTitles)->chart_view->chart();
    ASSERT_NE(chart, nullptr);
    bool said = false;
    for (QGraphicsItem* item : chart->childItems())
        if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            said = said || text->text() == charts::kNoRecordsText;
    EXPECT_TRUE(said);
    EXPECT_EQ(chart->axes().size(), 2);
    // A chart with bars says nothing of the kind.
    for (QGraphicsItem* item : w.page(ChartKind::kMonth)->chart_view->chart()->childItems()) {
        if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
            EXPECT_NE(text->text(), charts::kNoRecordsText);
        }
    }
    w.close_window();
}

TEST_F(ChartsWindowTest, UnreadableStatisticsLeaveTheOtherChartsStanding) {
    fs::path st;
    for (const auto& e :
         fs::directory_iterator(fs::path(dm().table_stat_st.file_path()).parent_path()))
        if (e.path().filename().string().starts_with("STATS_ST") ||
            e.path().filename().string().starts_with("stats_st"))
            st = e.path();
    ASSERT_FALSE(st.empty());
    TJob_Search_Charts w(&main());
    // A damaged file behind the state statistics.
    { write_file_atomically(st.string() + ".keep", read_whole_file(st)); }
    dm().table_stat_st.close();
    write_file_atomically(st, "not a table");
    w.show();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, kit::kApplicationTitle);
    EXPECT_TRUE(w.page(ChartKind::kStates)->data().bars.empty());
    EXPECT_EQ(w.page(ChartKind::kMonth)->data().bars.size(), 3u);
    w.close_window();
    fs::rename(st.string() + ".keep", st);
    dm().table_stat_st.open();
}

TEST_F(ChartsWindowTest, ChartsEntryFollowsDisqualifiedByTitleAndOpensTheWindow) {
    QAction* charts = main().item("Charts1");
    ASSERT_NE(charts, nullptr);
    EXPECT_EQ(charts->text(), "Charts");
    EXPECT_TRUE(charts->isEnabled());
    QAction* title = main().item("DisqualifiedByTitle1");
    ASSERT_NE(title, nullptr);
    auto* menu = main().findChild<QMenu*>("JobSearch2");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> entries = menu->actions();
    ASSERT_GE(entries.indexOf(title), 0);
    EXPECT_EQ(entries.indexOf(charts), entries.indexOf(title) + 1);

    std::string opened;
    kit::queue_modal_hook([&](QDialog& w) {
        opened = w.objectName().toStdString();
        click(w, "btn_close");
    });
    charts->trigger();
    EXPECT_EQ(opened, "Job_Search_Charts");
}

TEST(ChartLabels, LongLabelsAreCutWithAnEllipsisOnTheAxisOnly) {
    const std::string e_acute = "\xC3\xA9";
    struct Case {
        std::string label;
        QString axis;
    };
    const Case cases[] = {
        {"TOO FAR", "TOO FAR"},
        {std::string(32, 'A'), QString(32, 'A')},
        {std::string(33, 'A'), QString(31, 'A') + QChar(0x2026)},
        // Characters, not bytes: 40 two-byte letters are cut after 31 of them.
        {[&] {
             std::string s;
             for (int i = 0; i < 40; ++i) s += e_acute;
             return s;
         }(),
         QString(31, QChar(0xE9)) + QChar(0x2026)},
        {std::string(30, 'B') + " MORE", QString(30, 'B') + QChar(0x2026)},  // no blank before it
    };
    for (const auto& c : cases) EXPECT_EQ(charts::axis_label(c.label), c.axis) << c.label;
}

TEST_F(ChartsWindowTest, ColoursAreTellableApartWithoutRedAndGreenAndChartsFollowTheWindow) {
    TJob_Search_Charts w(&main());
    w.show();
    QChart* chart = w.page(ChartKind::kMonth)->chart_view->chart();
    auto* series = qobject_cast<QAbstractBarSeries*>(chart->series().value(0));
    ASSERT_NE(series, nullptr);
    ASSERT_EQ(series->count(), 2);
    const QColor submitted = series->barSets()[0]->color();
    const QColor not_submitted = series->barSets()[1]->color();
    EXPECT_EQ(submitted, charts::chart_palette().submitted);
    EXPECT_EQ(not_submitted, charts::chart_palette().not_submitted);
    // Blue against orange: far apart in hue and in brightness (told apart even in grey), neither
    // of them red or green.
    EXPECT_GE(submitted.hue(), 190);
    EXPECT_LE(submitted.hue(), 250);
    EXPECT_GE(not_submitted.hue(), 25);
    EXPECT_LE(not_submitted.hue(), 50);
    auto luma = [](const QColor& c) {
        return 0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue();
    };
    EXPECT_GE(std::abs(luma(submitted) - luma(not_submitted)), 50.0);

    const QSize before = w.page(ChartKind::kMonth)->chart_view->size();
    w.resize(w.width() + 300, w.height() + 200);
    QApplication::sendPostedEvents();
    w.layout()->activate();
    w.page(ChartKind::kMonth)->layout()->activate();
    const QSize after = w.page(ChartKind::kMonth)->chart_view->size();
    EXPECT_GT(after.width(), before.width());
    EXPECT_GT(after.height(), before.height());
    w.close_window();
}

using pavo::testing::ToolRun;

ToolRun tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(charts::run_chart_tool, args);
}

TEST_F(ChartsWindowTest, ToolGivesTheWindowsNumbers) {
    TJob_Search_Charts w(&main());
    w.show();
    for (ChartKind k : records::kChartKinds) {
        SCOPED_TRACE(records::chart_word(k));
        const std::string png = (home.path() / "c.png").string();
        const std::string csv = (home.path() / "c.csv").string();
        auto r = tool({"--alias", "PAVODEN2", records::chart_word(k), "--png", png, "--csv", csv});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, png + "\n" + csv + "\n");
        std::string expected;
        for (const auto& line : records::chart_csv_lines(w.page(k)->data()))
            expected += line + "\r\n";
        EXPECT_EQ(read_whole_file(csv), expected);
        EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1600, 1000));
    }
    // The filter as the filter window puts it on.
    auto r =
        tool({"reasons", "--filter", "POS_STATE = 'CO' AND REASON_NO_SUBMIT = 'TOO FAR'", "--png",
              (home.path() / "f.png").string(), "--csv", (home.path() / "f.csv").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_whole_file(home.path() / "f.csv"),
              "\"REASON\",\"NOT SUBMITTED\"\r\n\"TOO FAR\",\"2\"\r\n");
    w.close_window();
}

TEST_F(ChartsWindowTest, ToolRefusesBadCommandLinesAndLeavesNothingOnFailure) {
    const std::string png = (home.path() / "x.png").string();
    write_file_atomically(home.path() / "blocker", "a file where a folder should be");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"month"}, 2, "usage"},
        {{"weeks", "--png", png}, 2, "usage"},
        {{"month", "titles", "--png", png}, 2, "usage"},
        {{"month", "--png"}, 2, "--png"},
        {{"month", "--bogus", "--png", png}, 2, "--bogus"},
        {{"month", "--filter", "NO_FIELD = 1", "--png", png}, 1, "NO_FIELD"},
        {{"--dir", (home.path() / "nowhere").string(), "month", "--png", png}, 1, "jsearch2"},
        {{"month", "--png", (home.path() / "blocker" / "b.png").string()}, 1, "blocker"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.message);
        auto r = tool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(png));
    }
    // A picture that cannot be completed leaves neither file.
    FaultyFileSystem faulty;
    // The picture goes into place first; then the CSV's rename fails, and the picture goes again.
    faulty.fail_rename_call = 1;
    {
        ScopedFileSystem use(&faulty);
        auto r = tool({"month", "--png", png, "--csv", (home.path() / "x.csv").string()});
        EXPECT_EQ(r.status, 1);
    }
    EXPECT_FALSE(fs::exists(png));
    EXPECT_FALSE(fs::exists(home.path() / "x.csv"));
}

// The four charts of the sample data set, with its statistics brought up to date, written to
// ${build}/app/charts/ for a person to look at.
TEST_F(AppTest, SampleDataPicturesInTheBuildFolder) {
    store::install({true});
    const std::string db = std::string(store::kLiveTablesDir) + "SAMPLE";
    tables::Table jobs, jt, st;
    for (auto [t, name] : {std::pair{&jobs, "jsearch2.DB"}, std::pair{&jt, "STATS_JT.DB"},
                           std::pair{&st, "STATS_ST.DB"}}) {
        t->set_database_name(db);
        t->set_table_name(name);
        t->open();
    }
    records::update_title_stats(jobs, jt);
    records::update_state_stats(jobs, st);
    const char* bin = std::getenv("PAVO_BINARY_DIR");
    const fs::path dir = fs::path(bin ? bin : ".") / "app" / "charts";
    fs::create_directories(dir);
    for (ChartKind k : records::kChartKinds) {
        SCOPED_TRACE(records::chart_word(k));
        const records::ChartData data = records::gather_chart(k, {&jobs, &jt, &st});
        EXPECT_FALSE(data.empty());
        EXPECT_EQ(data.notice, "");
        const fs::path png = dir / ("sample_" + std::string(records::chart_word(k)) + ".png");
        charts::save_chart_png(data, png.string());
        EXPECT_EQ(QImage(QString::fromStdString(png.string())).size(), QSize(1600, 1000));
    }
}

}  // namespace
}  // namespace pavo::app::testing
