// Command line of the statistics tool: the table set, the filter and the operations in order.
#include "records/stats_tool.h"

#include <optional>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "records/filter_lists.h"
#include "records/job_stats.h"
#include "tables/table.h"

namespace pavo::records {

namespace {

void usage(std::ostream& out) {
    out << "usage: pavoden2-stats [--alias NAME | --dir PATH] [--filter EXPR] OPERATION...\n"
           "\n"
           "Runs the job search statistics operations in the order given on the table set named\n"
           "by alias (default PAVODEN2) or folder, each all or nothing:\n"
           "  position-titles   add the records' new position titles to POSTITLE.DB\n"
           "  new-categories    add the records' new titles as categories to STATS_JT.DB\n"
           "  title-stats       count the records per job-title category (STATS_JT.DB)\n"
           "  state-stats       count the records per state (STATS_ST.DB)\n"
           "  month-list        print the months that hold records\n"
           "  monthly \"M/1/YYYY TO M/D/YYYY\"\n"
           "                    count one whole month into its own tables (200403st.db,\n"
           "                    200403jt.db); ignores --filter\n"
           "  --filter EXPR     count only the records the filter expression passes\n"
           "Stops at the first failing operation (exit 1), keeping what the earlier ones did.\n"
           "Paths: "
        << DriveMap::argument_rule_help() << '\n';
}

struct Operation {
    std::string name;
    std::optional<YearMonth> month;  // monthly only
};

}  // namespace

int run_stats_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string alias = "PAVODEN2", dir, filter;
    bool has_filter = false;
    std::vector<Operation> ops;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--alias" && has_value) {
            alias = args[++i];
        } else if (a == "--dir" && has_value) {
            dir = args[++i];
        } else if (a == "--filter" && has_value) {
            filter = args[++i];
            has_filter = true;
        } else if (a == "--help" || a == "-h") {
            usage(out);
            return 0;
        } else if (a == "monthly") {
            std::optional<YearMonth> m;
            if (has_value) m = parse_month_line(args[i + 1]);
            if (!m) {
                err << "pavoden2-stats: monthly needs a whole month as the month list writes it, "
                       "e.g. \"3/1/2004 TO 3/31/2004\""
                    << (has_value ? ", not \"" + args[i + 1] + "\"" : std::string()) << '\n';
                return 2;
            }
            ++i;
            ops.push_back({a, m});
        } else if (a == "position-titles" || a == "new-categories" || a == "title-stats" ||
                   a == "state-stats" || a == "month-list") {
            ops.push_back({a, std::nullopt});
        } else {
            err << "pavoden2-stats: unknown operation or option: " << a << '\n';
            usage(err);
            return 2;
        }
    }
    if (ops.empty()) {
        usage(err);
        return 2;
    }

    std::string step = "opening the tables";
    try {
        std::string database = alias;
        if (!dir.empty()) {
            const DriveMap& map = DriveMap::current();
            database = map.to_logical(map.argument_to_host(dir));
        }
        tables::Table jobs, jt, st, titles;
        for (auto [t, name] : {std::pair{&jobs, "jsearch2.DB"}, std::pair{&jt, "STATS_JT.DB"},
                               std::pair{&st, "STATS_ST.DB"}, std::pair{&titles, "POSTITLE.DB"}}) {
            t->set_database_name(database);
            t->set_table_name(name);
        }
        jt.set_index_field_names("ORDER;CATEGORY");
        for (tables::Table* t : {&jobs, &jt, &st, &titles}) t->open();
        step = "--filter";
        if (has_filter) apply_filter(jobs, filter);

        for (const Operation& op : ops) {
            step = op.name;
            if (op.name == "position-titles") {
                AddOutcome r = add_new_position_titles(jobs, titles);
                out << "position-titles: " << r.added << " new position titles added from "
                    << r.scanned << " records\n";
            } else if (op.name == "new-categories") {
                AddOutcome r = add_new_categories(jobs, jt);
                out << "new-categories: " << r.added << " new categories added from " << r.scanned
                    << " records\n";
            } else if (op.name == "title-stats" || op.name == "state-stats") {
                bool title = op.name == "title-stats";
                CountOutcome r =
                    title ? update_title_stats(jobs, jt) : update_state_stats(jobs, st);
                out << op.name << ": " << r.records << " records counted, " << r.matched
                    << " of them into " << r.rows << (title ? " categories\n" : " states\n");
            } else if (op.name == "month-list") {
                for (YearMonth m : job_search_months(jobs)) out << month_line(m) << '\n';
            } else {
                step = "monthly " + month_line(*op.month);
                MonthlyOutcome r = update_monthly_stats(jobs, st, jt, *op.month, true, true);
                out << step << ": " << r.records << " records counted into "
                    << monthly_state_table_name(*op.month) << " and "
                    << monthly_title_table_name(*op.month) << '\n';
                // The monthly run took the filter off; the operations after it count as asked.
                if (has_filter) apply_filter(jobs, filter);
            }
            out.flush();
        }
        return 0;
    } catch (const std::exception& e) {
        out.flush();
        err << "pavoden2-stats: " << step << ": " << e.what() << '\n';
        return 1;
    }
}

}  // namespace pavo::records
