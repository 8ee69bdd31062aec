// Command line of the report tool: picks the table set, the columns, order and filter, and runs
// the same writer as the report window.
#include "records/report_tool.h"

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/filter_lists.h"
#include "records/job_report.h"
#include "records/stats_report.h"
#include "tables/table.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

void usage(std::ostream& out) {
    out << "usage: pavoden2-report [--alias NAME | --dir PATH] jobs [--ticked 1,3,4,...]\n"
           "                       [--index NAME] [--filter EXPR] [--csv] [--out FILE | --print]\n"
           "       pavoden2-report [--alias NAME | --dir PATH] state|title [--table NAME]\n"
           "                       [--out FILE | --print]\n"
           "\n"
           "Writes the job search report (jobs) or a statistics report by state or by job title "
           "of\n"
           "the table set named by alias (default PAVODEN2) or folder, as the report windows "
           "write\n"
           "them, and prints the written file's path.\n"
           "  --ticked LIST  column items 0 to 12 (0 Active, 1 Date, 2 Time, 3 Ref Number,\n"
           "                 4 Title, 5 Position Type, 6 City, 7 State, 8 Contact Name,\n"
           "                 9 Submitted, 10 Reason Not Submitted, 11 Comment, 12 Item File);\n"
           "                 default 1,3,4,5,7,9,11\n"
           "  --index NAME   order of the records (an index of jsearch2.DB)\n"
           "  --filter EXPR  only the records the filter expression passes\n"
           "  --csv          also write the CSV file beside the report\n"
           "  --table NAME   a monthly statistics table (200403st.db, 200403jt.db) instead of\n"
           "                 STATS_ST.DB or STATS_JT.DB; the report file is named by its month\n"
           "  --out FILE     write the report to FILE instead of the reports folder\n"
           "  --print        print the report's text instead of its path\n"
           "Paths: "
        << DriveMap::argument_rule_help() << '\n';
}

std::string database_of(const std::string& alias, const std::string& dir) {
    if (dir.empty()) return alias;
    const DriveMap& map = DriveMap::current();
    return map.to_logical(map.argument_to_host(dir));
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
        std::string path = out_file.empty()
                               ? stats_report_file_name(kind, table, tkit_yyyy_mm_dd_hh_mm_ss())
                               : DriveMap::current().argument_to_host(out_file).string();
        lines.push_back("");
        lines.push_back(saved_to_line(path));
        save_stats_report(lines, path);
        std::string host = DriveMap::current().argument_to_host(path).string();
        if (print)
            out << read_whole_file(host);
        else
            out << host << '\n';
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
    const bool stats = words.size() == 1 && (words[0] == "state" || words[0] == "title");
    const bool jobs_options = !ticked.empty() || !index.empty() || has_filter || csv;
    if (words.size() != 1 || (words[0] != "jobs" && !stats) || (print && !out_file.empty()) ||
        (stats && jobs_options) || (!stats && !table.empty())) {
        usage(err);
        return 2;
    }
    if (stats) {
        StatsReportKind kind =
            words[0] == "state" ? StatsReportKind::kState : StatsReportKind::kTitle;
        return run_stats_report(kind, database_of(alias, dir), table, out_file, print, out, err);
    }
    try {
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
