// bench-payments: times the payments report on 5,000 generated payment records with every column
// ticked and prints "name ours_ms baseline_ms ratio" per figure, the baseline in the same run:
//   report_build  the report routine / a raw SQLite walk of the same rows in the same order,
//                 each row's columns formatted into a line with snprintf;
//   report_show   filling the report box (ReportMemo) with the lines / one setPlainText of them;
//   report_save   Save's write through LineWriter / fwrite and fsync of the same lines.
// Runs headless (QT_QPA_PLATFORM=offscreen unless set).
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/kit/report_memo.h"
#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "records/payments_report.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"

namespace fs = std::filesystem;
using namespace pavo::bench;
using namespace pavo;
namespace kit = pavo::app::kit;

namespace {

constexpr int kPayments = 5000;
const char* const kDb = "c:\\bench";
const char* const kCategories =
    "('SPOUSAL SUPPORT','RETIRED PAY','CHILD SUPPORT','ATTORNEY FEES','CAR INSURANCE',"
    "'CHILD DENTAL PAYMENT','CHILD MEDICAL PAYMENT','COURT COSTS','MEDICAL INSURANCE',"
    "'MORTGAGE PAYMENT','OTHER','PAYMENTS','PAYMENT')";

// The same records straight from the table file: every column read as text, a line per row.
std::size_t baseline_walk(const std::string& file, std::vector<std::string>& lines) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    const std::string sql = std::string("SELECT * FROM data WHERE CATEGORY IN ") + kCategories +
                            " ORDER BY YYYYMMDD COLLATE NOCASE";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "baseline: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    lines.clear();
    char cell[128];
    const int columns = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
        std::string line;
        for (int c = 1; c < columns; ++c) {
            const unsigned char* p = sqlite3_column_text(s, c);
            const int n = std::snprintf(cell, sizeof cell, "%-10.70s  ",
                                        p ? reinterpret_cast<const char*>(p) : "");
            line.append(cell, static_cast<std::size_t>(n < 0 ? 0 : n));
        }
        lines.push_back(std::move(line));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return lines.size();
}

void baseline_save(const fs::path& out, const std::vector<std::string>& lines) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    for (const std::string& l : lines) {
        std::fwrite(l.data(), 1, l.size(), f);
        std::fputs("\r\n", f);
    }
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-payments-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        const fs::path home = tmpl;
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("PAVODEN2.DB"));
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("CONFIG.DB"));

        tables::Table payments, config;
        payments.set_database_name(kDb);
        payments.set_table_name("PAVODEN2.DB");
        payments.set_index_name("YYYYMMDD_");
        payments.open();
        sample::append_rows(payments, sample::Generator().payments(kPayments));
        config.set_database_name(kDb);
        config.set_table_name("CONFIG.DB");
        config.open();

        records::PaymentReportTicks all;
        all.fill(true);
        records::PaymentReport built;
        std::vector<std::string> base_lines;
        const std::string file = payments.file_path();
        // One untimed run each, so both read a warm page cache.
        built = records::build_payments_report(payments, config, all);
        baseline_walk(file, base_lines);
        std::fprintf(stderr, "%llu of %d records reported, %zu lines; baseline %zu rows\n",
                     static_cast<unsigned long long>(built.records), kPayments, built.lines.size(),
                     base_lines.size());

        report("report_build",
               best_ms(5, [&] { built = records::build_payments_report(payments, config, all); }),
               best_ms(5, [&] { baseline_walk(file, base_lines); }));

        kit::ReportMemo memo(nullptr, "fld_memo");
        QPlainTextEdit plain;
        QString joined;
        for (const std::string& l : built.lines) {
            if (!joined.isEmpty()) joined += '\n';
            joined += QString::fromStdString(l);
        }
        report("report_show",
               best_ms(
                   5, [&] { memo.clear_lines(); },
                   [&] {
                       for (const std::string& l : built.lines) memo.add_line(l);
                       memo.flush();
                   }),
               best_ms(
                   5, [&] { plain.clear(); }, [&] { plain.setPlainText(joined); }));

        const std::string out = "c:\\mydata\\KV-DB\\pavoden2\\reports\\PAYMENTS___bench.TXT";
        const fs::path base_out = home / "baseline.txt";
        report("report_save", best_ms(5, [&] { records::save_payment_report(built.lines, out); }),
               best_ms(5, [&] { baseline_save(base_out, built.lines); }));
        fs::remove_all(home);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-payments: %s\n", e.what());
        return 1;
    }
}
