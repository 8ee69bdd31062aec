// bench-filter: times the filter windows' Apply on 65,000 job searches and the loading of a
// 5,000-expression list, and prints "name ours_ms baseline_ms ratio" per figure, the baseline doing
// the nearest plain work in the same run.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/filter_lists.h"
#include "store/sample_rows.h"
#include "store/schema.h"
#include "tables/table.h"

namespace fs = std::filesystem;
using namespace pavo::bench;
using namespace pavo;

namespace {

constexpr int kJobs = 65000;
constexpr int kListItems = 5000;
const char* const kExpression = "POS_STATE = 'co' AND SUBMITTED = 'True' AND DATE >= '1/1/2003'";

}  // namespace

int main() {
    try {
        std::string tmpl = (fs::temp_directory_path() / "bench-filter-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        const fs::path home = tmpl;
        DriveMap::set_current_home(home);
        AliasConfig::reset_current();
        fs::create_directories(home / "drive_c" / "bench");
        AliasConfig::current().add_standard("BENCH", "c:\\bench\\", "Paradox", true);

        const store::TableSchema* schema = store::find_table_schema("jsearch2.DB");
        {
            tables::Table t;
            t.set_database_name("BENCH");
            t.set_table_name("jsearch2");
            t.set_field_defs(schema->fields);
            t.set_index_defs(schema->indexes);
            t.create_table(true);
            t.open();
            sample::Generator gen;
            sample::append_rows(t, gen.job_searches(kJobs));
        }
        // The shared job-search dataset as the program sets it up.
        tables::Table js;
        js.set_database_name("BENCH");
        js.set_table_name("jsearch2.DB");
        js.set_index_name("YYYYMMDD_TIME_DESCENDING");
        js.set_filter_case_insensitive(true);
        js.open();

        // filter_apply: check, close, set, open, switch on, count (and the total for the status
        // line), against setting the filter on the open dataset and counting.
        int passed = 0, base_passed = 0;
        auto reset = [&] {
            js.set_filtered(false);
            js.set_filter("");
            if (!js.active()) js.open();
        };
        const double ours =
            best_ms(5, reset, [&] { passed = records::apply_filter(js, kExpression).passing; });
        const double base = best_ms(5, reset, [&] {
            js.set_filter(kExpression);
            js.set_filtered(true);
            base_passed = js.record_count();
        });
        report("filter_apply", ours, base);
        if (passed != base_passed)
            std::fprintf(stderr, "filter_apply passed %d, baseline %d\n", passed, base_passed);

        // filter_replace: the same Apply while another filter is in force, which needs an
        // unfiltered count of its own for the total, against the same baseline.
        const char* const kOther = "POS_STATE = 'oh'";
        auto filtered = [&] {
            reset();
            js.set_filter(kOther);
            js.set_filtered(true);
        };
        const double replace =
            best_ms(5, filtered, [&] { passed = records::apply_filter(js, kExpression).passing; });
        const double replace_base = best_ms(5, filtered, [&] {
            js.set_filter(kExpression);
            js.set_filtered(true);
            base_passed = js.record_count();
        });
        report("filter_replace", replace, replace_base);

        // list_load: 5,000 saved expressions read, checked as UTF-8 and split, against reading the
        // same file whole and splitting it at line feeds.
        std::vector<std::string> items;
        for (int i = 0; i < kListItems; ++i)
            items.push_back("POS_STATE = 'co' AND REFNUM > " + std::to_string(i) +
                            " AND COMMENT = 'CHILD''S DENTIST'");
        records::make_filter_folders();
        records::write_filter_list(records::kJobSearchFilterList, items);
        std::size_t loaded = 0, base_loaded = 0;
        const double list_ours = best_ms(
            5, [] {},
            [&] { loaded = records::read_filter_list(records::kJobSearchFilterList)->size(); });
        const fs::path host = DriveMap::current().to_host(records::kJobSearchFilterList);
        const double list_base = best_ms(
            5, [] {},
            [&] {
                const std::string text = read_whole_file(host);
                std::vector<std::string> lines;
                std::size_t start = 0;
                for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos;
                     start = nl + 1)
                    lines.emplace_back(text, start, nl - start);
                base_loaded = lines.size();
            });
        report("list_load", list_ours, list_base);
        if (loaded != base_loaded)
            std::fprintf(stderr, "list_load read %zu, baseline %zu\n", loaded, base_loaded);

        js.close();
        fs::remove_all(home);
    } catch (const Error& e) {
        std::fprintf(stderr, "bench-filter: %s\n", e.what());
        return 1;
    }
    return 0;
}
