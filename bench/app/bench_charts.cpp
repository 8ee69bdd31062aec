// bench-charts: the job search charts on 65,000 generated job searches, printing "name ours_ms
// baseline_ms ratio" per figure. chart_month and chart_reasons gather the numbers and lay the chart
// out offscreen at picture size, against the same counts by raw SQLite GROUP BY; chart_png saves
// the month chart's picture, against a plain QImage of the same size saved as PNG.
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/charts/chart_builder.h"
#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "records/job_charts.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace fs = std::filesystem;
using namespace pavo;
using namespace pavo::bench;
using namespace pavo::tables;

namespace {

constexpr int kJobs = 65000;
constexpr int kRuns = 5;
const char* const kDb = "c:\\bench";

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "baseline %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Runs a counting query to its end; the rows are summed so the work cannot be skipped.
long long run_query(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, "prepare");
    long long sum = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
        sum += sqlite3_column_int64(s, sqlite3_column_count(s) - 1);
    sqlite3_finalize(s);
    return sum;
}

// The chart at picture size in a scene, laid out as rendering would, without painting.
void lay_out(const records::ChartData& data) {
    QGraphicsScene scene;
    QChart* chart = app::charts::build_chart(data).release();
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(app::charts::kPictureSize)));
    if (QGraphicsLayout* layout = chart->layout()) layout->activate();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    std::string tmpl = (fs::temp_directory_path() / "bench-charts-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const fs::path home = tmpl;
    try {
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("jsearch2.DB"));

        sqlite3* bdb = nullptr;
        sqlite3_open((home / "baseline.sqlite").c_str(), &bdb);
        {
            const auto rows = sample::Generator().job_searches(kJobs);
            Table t;
            t.set_database_name(kDb);
            t.set_table_name("jsearch2.DB");
            t.open();
            sample::append_rows(t, rows);
            // The baseline's table: the fields the charts read, as typed SQLite columns.
            check(sqlite3_exec(bdb,
                               "CREATE TABLE jsearch2(DATE REAL, SUBMITTED INTEGER, "
                               "REASON_NO_SUBMIT TEXT); BEGIN",
                               nullptr, nullptr, nullptr),
                  bdb, "create");
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(bdb, "INSERT INTO jsearch2 VALUES(?,?,?)", -1, &s, nullptr);
            for (const auto& row : rows) {
                sqlite3_bind_double(s, 1, parse_short_date(row[4]).value_or(0));
                if (row[14].empty())
                    sqlite3_bind_null(s, 2);
                else
                    sqlite3_bind_int(s, 2, parse_bool(row[14]).value_or(true) ? 1 : 0);
                sqlite3_bind_text(s, 3, row[15].c_str(), static_cast<int>(row[15].size()),
                                  SQLITE_TRANSIENT);
                check(sqlite3_step(s), bdb, "insert");
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            check(sqlite3_exec(bdb, "COMMIT", nullptr, nullptr, nullptr), bdb, "commit");
        }

        Table jobs;
        jobs.set_database_name(kDb);
        jobs.set_table_name("jsearch2.DB");
        jobs.set_index_name("YYYYMMDD_TIME_DESCENDING");
        jobs.open();

        // Each run starts from a fresh open, as the window finds the dataset after other work.
        auto reopen = [&] {
            jobs.close();
            jobs.open();
        };
        const double month = best_ms(kRuns, reopen, [&] { lay_out(records::month_chart(jobs)); });
        const double month_base = best_ms(kRuns, [&] {
            run_query(bdb,
                      "SELECT strftime('%Y%m', DATE + 2415018.5) AS m, SUM(SUBMITTED = 0), "
                      "SUM(SUBMITTED IS NOT 0) FROM jsearch2 GROUP BY m ORDER BY m");
        });
        report("chart_month", month, month_base);
        // The numbers alone, without the chart.
        report("chart_month_data",
               best_ms(kRuns, reopen, [&] { (void)records::month_chart(jobs); }), month_base);

        const double reasons =
            best_ms(kRuns, reopen, [&] { lay_out(records::reasons_chart(jobs)); });
        const double reasons_base = best_ms(kRuns, [&] {
            run_query(bdb,
                      "SELECT trim(REASON_NO_SUBMIT) AS r, COUNT(*) AS n FROM jsearch2 WHERE "
                      "SUBMITTED = 0 GROUP BY r ORDER BY n DESC, r");
        });
        report("chart_reasons", reasons, reasons_base);

        const records::ChartData data = records::month_chart(jobs);
        const std::string png = (home / "chart.png").string();
        const double picture = best_ms(kRuns, [&] { app::charts::save_chart_png(data, png); });
        const double picture_base = best_ms(kRuns, [&] {
            QImage image(app::charts::kPictureSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            image.save(QString::fromStdString((home / "plain.png").string()), "PNG");
        });
        report("chart_png", picture, picture_base);
        sqlite3_close(bdb);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-charts: %s\n", e.what());
        fs::remove_all(home);
        return 1;
    }
    fs::remove_all(home);
    return 0;
}
