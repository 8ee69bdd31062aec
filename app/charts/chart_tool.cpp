// Command line of the chart tool: picks the table set, the chart and the filter, and draws the same
// chart as the charts window.
#include "app/charts/chart_tool.h"

#include <memory>

#include "app/charts/chart_builder.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/line_writer.h"
#include "records/filter_lists.h"
#include "records/job_charts.h"
#include "tables/table.h"

namespace pavo::app::charts {

namespace {

void usage(std::ostream& out) {
    out << "usage: pavoden2-chart [--alias NAME | --dir PATH] month|reasons|titles|states\n"
           "                      [--filter EXPR] --png FILE [--csv FILE]\n"
           "\n"
           "Draws one job search chart of the table set named by alias (default PAVODEN2) or\n"
           "folder, as the charts window draws it, and prints the written files' paths.\n"
           "  month     submitted and not submitted per calendar month\n"
           "  reasons   the 15 most frequent reasons not submitted, then ALL OTHERS\n"
           "  titles    the title statistics with a count above zero\n"
           "  states    the state statistics with a count above zero\n"
           "  --filter EXPR  only the job-search records the filter expression passes\n"
           "  --png FILE     the picture (1600 by 1000 pixels)\n"
           "  --csv FILE     also the chart's numbers (header row, one row per bar)\n"
           "Paths: "
        << DriveMap::argument_rule_help() << '\n';
}

}  // namespace

int run_chart_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string alias = "PAVODEN2", dir, filter, png, csv;
    bool has_filter = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--alias" && has_value)
            alias = args[++i];
        else if (a == "--dir" && has_value)
            dir = args[++i];
        else if (a == "--filter" && has_value) {
            filter = args[++i];
            has_filter = true;
        } else if (a == "--png" && has_value)
            png = args[++i];
        else if (a == "--csv" && has_value)
            csv = args[++i];
        else if (a == "--help" || a == "-h") {
            usage(out);
            return 0;
        } else if (a.starts_with("--")) {
            err << "pavoden2-chart: unknown option or missing value: " << a << '\n';
            usage(err);
            return 2;
        } else {
            words.push_back(a);
        }
    }
    const auto kind = words.size() == 1 ? records::parse_chart_word(words[0]) : std::nullopt;
    if (!kind || png.empty()) {
        usage(err);
        return 2;
    }
    try {
        const DriveMap& map = DriveMap::current();
        std::string database = alias;
        if (!dir.empty()) database = map.to_logical(map.argument_to_host(dir));
        tables::Table jobs, stats_jt, stats_st;
        for (auto [t, name] : {std::pair{&jobs, "jsearch2.DB"}, std::pair{&stats_jt, "STATS_JT.DB"},
                               std::pair{&stats_st, "STATS_ST.DB"}}) {
            t->set_database_name(database);
            t->set_table_name(name);
        }
        jobs.set_index_name("YYYYMMDD_TIME_DESCENDING");
        jobs.open();
        if (has_filter) records::apply_filter(jobs, filter);
        const records::ChartData data = records::gather_chart(*kind, {&jobs, &stats_jt, &stats_st});

        const std::string png_path = map.argument_to_host(png).string();
        const std::string csv_path =
            csv.empty() ? std::string() : map.argument_to_host(csv).string();
        // The picture goes into place only with its numbers: should the CSV fail at its end,
        // the picture is taken away again.
        std::unique_ptr<LineWriter> numbers;
        if (!csv_path.empty()) {
            numbers = std::make_unique<LineWriter>(csv_path);
            for (const auto& line : records::chart_csv_lines(data)) numbers->write_line(line);
        }
        save_chart_png(data, png_path);
        if (numbers) {
            try {
                numbers->close();
            } catch (...) {
                try {
                    file_system().remove(png_path);
                } catch (...) {
                    // The CSV's error is the one to report.
                }
                throw;
            }
        }
        if (!data.notice.empty()) err << "pavoden2-chart: " << data.notice << '\n';
        out << png_path << '\n';
        if (!csv_path.empty()) out << csv_path << '\n';
        return 0;
    } catch (const std::exception& e) {
        out.flush();
        err << "pavoden2-chart: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace pavo::app::charts
