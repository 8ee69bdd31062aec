// Chart numbers: reasons not submitted, the two statistics tables with their age, the tables of
// numbers, and the picture names. The month chart lives in job_chart_months.cpp.
#include "records/job_charts.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/error.h"
#include "records/job_report.h"
#include "utility/text_conv.h"

namespace pavo::records {

namespace {

constexpr const char* kNoReason = "(no reason given)";

// A private dataset on the same file as shared, so reading it moves nothing the windows see.
void open_beside(tables::Table& t, const tables::Table& shared, const std::string& order_fields) {
    t.set_database_name(shared.database_name());
    t.set_table_name(shared.table_name());
    if (!order_fields.empty()) t.set_index_field_names(order_fields);
    t.open();
}

long long count_of(const tables::Field& f) {
    const double v = f.as_float();
    return std::isfinite(v) ? std::llround(v) : 0;
}

// One label per line of text: line breaks and tabs would split a row of the tab table.
std::string flat(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

// Rows of a statistics table with a count above zero, in the private dataset's order.
ChartData statistics_chart(const tables::Table& stats, const tables::Table& jobs,
                           const std::string& order, const char* label_field) {
    ChartData data;
    tables::Table t;
    open_beside(t, stats, order);
    tables::Field label = t.field(label_field);
    tables::Field count = t.field("COUNT");
    for (t.first(); !t.eof(); t.next()) {
        const long long n = count_of(count);
        if (n > 0) data.bars.push_back({trim(label.as_string()), {n}});
    }
    data.series = {"COUNT"};
    data.notice = stale_statistics_notice(stats, jobs);
    return data;
}

}  // namespace

const char* chart_word(ChartKind kind) {
    switch (kind) {
        case ChartKind::kMonth:
            return "month";
        case ChartKind::kReasons:
            return "reasons";
        case ChartKind::kTitles:
            return "titles";
        case ChartKind::kStates:
            return "states";
    }
    return "month";
}

std::optional<ChartKind> parse_chart_word(std::string_view word) {
    for (ChartKind k : kChartKinds)
        if (word == chart_word(k)) return k;
    return std::nullopt;
}

bool ChartData::empty() const {
    for (const auto& b : bars)
        for (long long v : b.values)
            if (v > 0) return false;
    return true;
}

ChartData reasons_chart(tables::Table& jobs) {
    const int submitted = jobs.field("SUBMITTED").index();
    const int reason = jobs.field("REASON_NO_SUBMIT").index();
    std::map<std::string, long long> counts;
    // Positioned reads: the dataset's current record stays where the user left it.
    const int n = jobs.record_count();
    for (int i = 1; i <= n; ++i) {
        if (to_upper(trim(jobs.text_at(i, submitted))) != "FALSE") continue;
        std::string r = trim(jobs.text_at(i, reason));
        ++counts[r.empty() ? kNoReason : r];
    }
    std::vector<std::pair<std::string, long long>> sorted(counts.begin(), counts.end());
    // The map gives name order; a stable sort by count keeps it among ties.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    ChartData data;
    data.kind = ChartKind::kReasons;
    data.title = "Why not submitted";
    data.label_heading = "REASON";
    data.series = {"NOT SUBMITTED"};
    long long others = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i < static_cast<std::size_t>(kTopReasons))
            data.bars.push_back({sorted[i].first, {sorted[i].second}});
        else
            others += sorted[i].second;
    }
    if (sorted.size() > static_cast<std::size_t>(kTopReasons))
        data.bars.push_back({"ALL OTHERS", {others}});
    return data;
}

ChartData titles_chart(const tables::Table& stats_jt, const tables::Table& jobs) {
    ChartData data = statistics_chart(stats_jt, jobs, "ORDER;CATEGORY", "CATEGORY");
    data.kind = ChartKind::kTitles;
    data.title = "Job searches by title category";
    data.label_heading = "CATEGORY";
    return data;
}

ChartData states_chart(const tables::Table& stats_st, const tables::Table& jobs) {
    ChartData data = statistics_chart(stats_st, jobs, "STATE", "STATE");
    data.kind = ChartKind::kStates;
    data.title = "Job searches by state";
    data.label_heading = "STATE";
    return data;
}

ChartData gather_chart(ChartKind kind, const ChartTables& t) {
    auto need = [](tables::Table* table, const char* what) -> tables::Table& {
        if (!table) throw Error(ErrorKind::kInternal, std::string("No ") + what + " dataset given");
        return *table;
    };
    switch (kind) {
        case ChartKind::kMonth:
            return month_chart(need(t.jobs, "job-search"));
        case ChartKind::kReasons:
            return reasons_chart(need(t.jobs, "job-search"));
        case ChartKind::kTitles:
            return titles_chart(need(t.stats_jt, "title statistics"), need(t.jobs, "job-search"));
        case ChartKind::kStates:
            return states_chart(need(t.stats_st, "state statistics"), need(t.jobs, "job-search"));
    }
    throw Error(ErrorKind::kInternal, "Unknown chart");
}

std::string stale_statistics_notice(const tables::Table& stats, const tables::Table& jobs) {
    // The newest record of the whole table: the statistics count every record, whatever filter
    // the user has on the shared dataset.
    tables::Table newest;
    const auto names = jobs.index_names();
    const bool by_index =
        std::find(names.begin(), names.end(), "YYYYMMDD_TIME_DESCENDING") != names.end();
    newest.set_database_name(jobs.database_name());
    newest.set_table_name(jobs.table_name());
    if (by_index) newest.set_index_name("YYYYMMDD_TIME_DESCENDING");
    newest.open();
    double newest_date = 0;
    bool any_dated = false;
    {
        tables::Field date = newest.field("DATE");
        for (newest.first(); !newest.eof(); newest.next()) {
            if (!date.is_null()) {
                newest_date = std::max(newest_date, date.as_date());
                any_dated = true;
                // In date order the first dated row is the newest; without the index, look at all.
                if (by_index) break;
            }
        }
    }
    if (!any_dated) return {};

    tables::Table t;
    open_beside(t, stats, "");
    tables::Field as_of = t.field("AS_OF_DATE");
    bool any_row = false;
    double oldest = 0;
    std::string oldest_text;
    for (t.first(); !t.eof(); t.next()) {
        any_row = true;
        // A row added since the last update (a new category) has no date yet; the age of the
        // statistics is that of the counted rows.
        if (as_of.is_null()) continue;
        const double d = as_of.as_date();
        if (oldest_text.empty() || d < oldest) {
            oldest = d;
            oldest_text = as_of.as_string();
        }
    }
    if (!any_row) return {};
    if (oldest_text.empty())
        return "Statistics have never been updated; update them for the records";
    if (std::floor(oldest) < std::floor(newest_date))
        return "Statistics as of " + oldest_text + "; update them for newer records";
    return {};
}

std::vector<std::string> chart_tab_lines(const ChartData& data) {
    std::vector<std::string> lines;
    std::string header = flat(data.label_heading);
    for (const auto& s : data.series) header += "\t" + flat(s);
    lines.push_back(header);
    for (const auto& b : data.bars) {
        std::string line = flat(b.label);
        for (long long v : b.values) line += "\t" + std::to_string(v);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> chart_csv_lines(const ChartData& data) {
    std::vector<std::string> lines;
    std::string header = csv_field(flat(data.label_heading));
    for (const auto& s : data.series) header += "," + csv_field(flat(s));
    lines.push_back(header);
    for (const auto& b : data.bars) {
        std::string line = csv_field(flat(b.label));
        for (long long v : b.values) line += "," + csv_field(std::to_string(v));
        lines.push_back(line);
    }
    return lines;
}

std::string chart_file_name(ChartKind kind, const std::string& stamp) {
    return std::string(kReportsFolder) + "\\CHART_" + to_upper(chart_word(kind)) + "___" + stamp +
           ".png";
}

}  // namespace pavo::records
