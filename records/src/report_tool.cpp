// Command line of the report tool: picks the table set, the columns, order and filter, and runs
// the same routine as the report window of each subcommand.
#include "records/report_tool.h"

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/filter_lists.h"
#include "records/job_report.h"
#include "records/payments_report.h"
#include "records/stats_report.h"
#include "tables/table.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

void usage(std::ostream& out) {
    out << "usage: pavoden2-report [--alias NAME | --dir PATH] jobs [--ticked 1,3,4,...]\n"
           "                       [--index NAME] [--filter EXPR] [--csv] [--out FILE | --print]\n"
           "       pavoden2-report [--alias NAME | --dir PATH] payments [--ticked 0,2,19,...]\n"
           "                       [--index NAME] [--filter EXPR] [--out FILE | --print]\n"
           "       pavoden2-report [--alias NAME | --dir PATH] state|title [--table NAME]\n"
           "                       [--out FILE | --print]\n"
           "\n"
           "Writes a report of the table set named by alias (default PAVODEN2) or folder, as its\n"
           "report window writes it, and prints the written file's path.\n"
           "jobs: the job search report.\n"
           "  --ticked LIST  column items 0 to 12 (0 Active, 1 Date, 2 Time, 3 Ref Number,\n"
           "                 4 Title, 5 Position Type, 6 City, 7 State, 8 Contact Name,\n"
           "                 9 Submitted, 10 Reason Not Submitted, 11 Comment, 12 Item File);\n"
           "                 default 1,3,4,5,7,9,11\n"
           "  --index NAME   order of the records (an index of jsearch2.DB)\n"
           "  --filter EXPR  only the records the filter expression passes\n"
           "  --csv          also write the CSV file beside the report\n"
           "payments: the payments report.\n"
           "  --ticked LIST  column items 0 to 25 as the window lists them (0 Carrier,\n"
           "                 1 Carrier Number, 2 Category, 3 Check Number, 4 Child Support "
           "Amount,\n"
           "                 5 Comment, 6 Date 2nd Del Attempt, 7 Date 3rd Del Attempt,\n"
           "                 8 Date Available, 9 Date Cleared, 10 Date Delivered, 11 Date "
           "Returned,\n"
           "                 12 Date Sent, 13 to 17 the day counts, 18 Item, 19 Item Date "
           "(always),\n"
           "                 20 Item Filename, 21 Memo, 22 Month and Year, 23 Other Amount,\n"
           "                 24 Retired Pay Amount, 25 Spousal Support Amount);\n"
           "                 default 0,2,3,9,10,12,18,19,24,25\n"
           "  --index NAME   order of the records (an index of PAVODEN2.DB; default YYYYMMDD_)\n"
           "  --filter EXPR  only the records the filter passes (compared case-sensitively);\n"
           "                 without one, the report's own categories\n"
           "state, title: the statistics reports by state and by job title.\n"
           "  --table NAME   a monthly statistics table (200403st.db, 200403jt.db) instead of\n"
           "                 STATS_ST.DB or STATS_JT.DB; the report file is named by its month\n"
           "Every report:\n"
           "  --out FILE     write the report to FILE (a new file) instead of the reports folder\n"
           "  --print        print the report's text instead of its path\n"
           "Paths: "
        << DriveMap::argument_rule_help() << '\n';
}

std::string database_of(const std::string& alias, const std::string& dir) {
    if (dir.empty()) return alias;
    const DriveMap& map = DriveMap::current();
    return map.to_logical(map.argument_to_host(dir));
}

// The payments subcommand: the report the window's Generate builds, saved as its Save saves it.
int run_payments(const std::string& database, const std::string& ticked, const std::string& index,
                 const std::string* filter, const std::string& out_file, bool print,
                 std::ostream& out) {
    const PaymentReportTicks ticks =
        ticked.empty() ? payment_report_default_ticks() : parse_payment_report_ticks(ticked);
    tables::Table payments, config;
    for (auto [t, name] : {std::pair{&payments, "PAVODEN2.DB"}, std::pair{&config, "CONFIG.DB"}}) {
        t->set_database_name(database);
        t->set_table_name(name);
    }
    // The order the payment dataset has when the program starts.
    payments.set_index_name(index.empty() ? "YYYYMMDD_" : index);
    payments.open();
    if (filter) apply_filter(payments, *filter);
    config.open();

    std::string path = payment_report_file_name(tkit_yyyy_mm_dd_hh_mm_ss());
    if (!out_file.empty()) {
        path = DriveMap::current().argument_to_host(out_file).string();
        // A report never replaces a file the caller named by mistake.
        if (file_system().exists(path))
            throw Error(ErrorKind::kExists, "The file exists already: " + path);
    }
    const PaymentReport report = build_payments_report(payments, config, ticks);
    if (print) {
        for (const std::string& line : report.lines) out << line << "\r\n";
        return 0;
    }
    out << save_payment_report(report.lines, path).host_path << '\n';
    return 0;
}

// A statistics report as its window makes it: Generate (or Select Month of the named table, then
// Generate), then Save.
int run_stats_report(StatsReportKind kind, const std::string& database, const std::string& table,
                     const std::string& out_file, bool print, std::ostream& out,
                     std::ostream& err) {
    try {
        const std::string overall = kind == StatsReportKind::kState ? "STATS_ST.DB" : "STATS_JT.DB";
        tables::Table config;
        config.set_database_name(database);
        config.set_table_name("CONFIG.DB");
        config.open();
        std::vector<std::string> lines = stats_report_lines(
            kind, database, table.empty() ? overall : table, read_report_address(config));
        if (print) {
            for (const std::string& line : lines) out << line << "\r\n";
            return 0;
        }
        std::string path = out_file.empty()
                               ? stats_report_file_name(kind, table, tkit_yyyy_mm_dd_hh_mm_ss())
                               : DriveMap::current().argument_to_host(out_file).string();
        // A report never replaces a file the caller named by mistake.
        if (!out_file.empty() && file_system().exists(path))
            throw Error(ErrorKind::kExists, "The file exists already: " + path);
        lines.push_back("");
        lines.push_back(saved_to_line(path));
        save_stats_report(lines, path);
        out << DriveMap::current().argument_to_host(path).string() << '\n';
        return 0;
    } catch (const std::exception& e) {
        out.flush();
        err << "pavoden2-report: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace

int run_report_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string alias = "PAVODEN2", dir, ticked, index, filter, out_file, table;
    bool has_filter = false, print = false, csv = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--alias" && has_value)
            alias = args[++i];
        else if (a == "--dir" && has_value)
            dir = args[++i];
        else if (a == "--ticked" && has_value)
            ticked = args[++i];
        else if (a == "--index" && has_value)
            index = args[++i];
        else if (a == "--filter" && has_value) {
            filter = args[++i];
            has_filter = true;
        } else if (a == "--table" && has_value)
            table = args[++i];
        else if (a == "--out" && has_value)
            out_file = args[++i];
        else if (a == "--print")
            print = true;
        else if (a == "--csv")
            csv = true;
        else if (a == "--help" || a == "-h") {
            usage(out);
            return 0;
        } else if (a.starts_with("--")) {
            err << "pavoden2-report: unknown option or missing value: " << a << '\n';
            usage(err);
            return 2;
        } else {
            words.push_back(a);
        }
    }
    const bool payments = words.size() == 1 && words[0] == "payments";
    const bool stats = words.size() == 1 && (words[0] == "state" || words[0] == "title");
    const bool jobs_options = !ticked.empty() || !index.empty() || has_filter || csv;
    if (words.size() != 1 || (words[0] != "jobs" && !stats && !payments) ||
        (print && !out_file.empty()) || (payments && csv) || (stats && jobs_options) ||
        (!stats && !table.empty())) {
        usage(err);
        return 2;
    }
    if (stats) {
        StatsReportKind kind =
            words[0] == "state" ? StatsReportKind::kState : StatsReportKind::kTitle;
        return run_stats_report(kind, database_of(alias, dir), table, out_file, print, out, err);
    }
    try {
        if (payments) {
            return run_payments(database_of(alias, dir), ticked, index, has_filter ? &filter : nullptr, out_file,
                                print, out);
        }
        JobReportTicks ticks =
            ticked.empty() ? job_report_default_ticks() : parse_job_report_ticks(ticked);
        std::string database = database_of(alias, dir);
        tables::Table jobs, config;
        for (auto [t, name] : {std::pair{&jobs, "jsearch2.DB"}, std::pair{&config, "CONFIG.DB"}}) {
            t->set_database_name(database);
            t->set_table_name(name);
        }
        if (!index.empty()) jobs.set_index_name(index);
        jobs.open();
        // The filter goes on as the filter window puts it on (an empty one switches it off).
        if (has_filter) apply_filter(jobs, filter);
        config.open();

        std::string path = out_file.empty()
                               ? job_report_file_name(tkit_yyyy_mm_dd_hh_mm_ss(), ".txt")
                               : DriveMap::current().argument_to_host(out_file).string();
        // A report never replaces a file the caller named by mistake.
        if (!out_file.empty() && file_system().exists(path))
            throw Error(ErrorKind::kExists, "The file exists already: " + path);
        std::string csv_path = csv ? tkit_New_Extention(path, "csv") : std::string();
        JobReportRun run = write_job_report(jobs, config, path, ticks, csv_path);
        if (print) {
            out << read_whole_file(run.result.path);
        } else {
            out << run.result.path << '\n';
            if (csv) out << run.result.csv_path << '\n';
        }
        return 0;
    } catch (const std::exception& e) {
        out.flush();
        err << "pavoden2-report: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace pavo::records
