// bench-app: times the window kit's bulk paths and prints "name ours_ms baseline_ms ratio" per
// figure, the baseline doing the same work the plain way in the same run:
//   memo_20000        20,000 report lines through ReportMemo / appendPlainText line by line;
//   command_1000      1,000 posts as one user command / each post committing on its own;
//   long_run_20000    20,000 posts through LongRun (pacing, progress) / a bare loop in a
//                     Transaction.
// Runs headless (QT_QPA_PLATFORM=offscreen unless set).
#include <stdlib.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "app/kit/long_run.h"
#include "app/kit/report_memo.h"
#include "app/kit/ui_seam.h"
#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "tables/table.h"

namespace fs = std::filesystem;
using namespace pavo::bench;
using namespace pavo;
namespace kit = pavo::app::kit;

namespace {

std::unique_ptr<tables::Table> fresh_table(const std::string& name) {
    auto t = std::make_unique<tables::Table>();
    t->set_database_name("c:\\bench");
    t->set_table_name(name);
    t->set_field_defs({{"N", tables::FieldType::kFloat, 0, true},
                       {"TEXT", tables::FieldType::kString, 40, false}});
    t->set_index_defs({tables::IndexDef{"", "N", true, true}});
    t->create_table(true);
    t->open();
    return t;
}

void post(tables::Table& t, int n) {
    t.append();
    t.field("N").set_as_float(n);
    t.field("TEXT").set_as_string("row " + std::to_string(n));
    t.post();
}

std::string report_line(int i) {
    return "JOB " + std::to_string(i) + std::string(60, ' ') + "DENVER       CO   12/31/2025";
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    std::string tmpl = (fs::temp_directory_path() / "pavo-bench-app-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const fs::path home = tmpl;
    DriveMap::set_current_home(home);
    AliasConfig::reset_current();
    fs::create_directories(home / "drive_c" / "bench");

    {
        QWidget form;
        form.resize(640, 480);
        kit::ReportMemo memo(&form, "Memo1");
        memo.setGeometry(0, 0, 640, 240);
        QPlainTextEdit plain(&form);
        plain.setGeometry(0, 240, 640, 240);
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        form.show();
        const double ours = time_ms([&] {
            for (int i = 0; i < 20000; ++i) memo.add_line(report_line(i));
            memo.flush();
            QCoreApplication::processEvents();
        });
        const double base = time_ms([&] {
            for (int i = 0; i < 20000; ++i)
                plain.appendPlainText(QString::fromStdString(report_line(i)));
            QCoreApplication::processEvents();
        });
        report("memo_20000", ours, base);
    }

    {
        auto ours_table = fresh_table("command.db");
        auto base_table = fresh_table("single.db");
        const double ours = time_ms([&] {
            kit::guarded(nullptr, [&] {
                for (int i = 0; i < 1000; ++i) post(*ours_table, i);
            });
        });
        const double base = time_ms([&] {
            for (int i = 0; i < 1000; ++i) post(*base_table, i);
        });
        report("command_1000", ours, base);
    }

    {
        auto ours_table = fresh_table("run.db");
        auto base_table = fresh_table("loop.db");
        QWidget form;
        QPushButton cancel("Cancel", &form);
        QLabel label(&form);
        label.setGeometry(0, 30, 200, 20);
        form.show();
        kit::LongRun run(&cancel, &label);
        const double ours = time_ms(
            [&] { run.run({ours_table.get()}, 20000, [&](int i) { post(*ours_table, i); }); });
        const double base = time_ms([&] {
            tables::Transaction transaction({base_table.get()});
            for (int i = 0; i < 20000; ++i) post(*base_table, i);
            transaction.commit();
        });
        report("long_run_20000", ours, base);
    }

    std::error_code ec;
    fs::remove_all(home, ec);
    return 0;
}
