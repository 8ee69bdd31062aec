// The numbers behind the job search charts: what each chart shows, gathered without widgets so the
// charts window, pavoden2-chart and the tests share one computation.
//
// Every routine here only reads. The job-search dataset is read where it stands, in its order and
// under the filter in force, without moving its current record; the statistics tables are read
// through private datasets on the same files, so no shared dataset's order, filter or position
// changes, also when a read fails. Failures throw the table layer's pavo::Error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::records {

enum class ChartKind { kMonth, kReasons, kTitles, kStates };
inline constexpr ChartKind kChartKinds[] = {ChartKind::kMonth, ChartKind::kReasons,
                                            ChartKind::kTitles, ChartKind::kStates};

// The command-line word of a chart ("month", "reasons", "titles", "states") and back; nullopt for
// any other word.
const char* chart_word(ChartKind kind);
std::optional<ChartKind> parse_chart_word(std::string_view word);

// One bar (or, for the month chart, one group of two bars): its whole label and one count per
// series.
struct ChartBar {
    std::string label;
    std::vector<long long> values;
};

struct ChartData {
    ChartKind kind = ChartKind::kMonth;
    std::string title;                // "Job searches by month"
    std::string label_heading;        // heading of the label column ("MONTH", "REASON", ...)
    std::vector<std::string> series;  // names of the series, in the order of ChartBar::values
    std::vector<ChartBar> bars;
    // "Statistics as of M/D/YYYY; update them for newer records" when the statistics are older
    // than the newest job-search record; empty otherwise (and always for month and reasons).
    std::string notice;

    // No bar holds a count above zero: the chart says "No records".
    bool empty() const;
};

// The datasets a chart reads. The statistics tables are only named by these (their database and
// table name); jobs is read as it stands.
struct ChartTables {
    tables::Table* jobs = nullptr;
    tables::Table* stats_jt = nullptr;
    tables::Table* stats_st = nullptr;
};

// Submitted and not submitted per calendar month of the records under the filter, oldest month
// first, every month between the first and the last present (zero when it has no record). Records
// without a date come first as one bar "No date" rather than stretching the range back to 1899.
ChartData month_chart(tables::Table& jobs);
// The 15 most frequent reasons (REASON_NO_SUBMIT, blanks trimmed; "(no reason given)" when empty)
// of the records not submitted under the filter, most frequent first and ties by name, then the
// rest as one bar "ALL OTHERS". SUBMITTED empty counts as submitted, as the job report reads it.
ChartData reasons_chart(tables::Table& jobs);
// Categories of the title statistics with a count above zero, in ORDER;CATEGORY order, with the
// notice when their AS_OF_DATE is before the newest job-search DATE. Never recounts.
ChartData titles_chart(const tables::Table& stats_jt, const tables::Table& jobs);
// States of the state statistics with a count above zero, in STATE order, with the same notice.
ChartData states_chart(const tables::Table& stats_st, const tables::Table& jobs);
ChartData gather_chart(ChartKind kind, const ChartTables& tables);

// Number of reasons shown before "ALL OTHERS".
inline constexpr int kTopReasons = 15;

// The notice for statistics (a statistics table's database and table name) against the newest
// DATE of the whole job-search table (filter or not): empty when the statistics are as new as the
// records or there are no records. The statistics' date is the oldest AS_OF_DATE of their rows
// of the counted rows (the least current count); rows added since the last update have none.
std::string stale_statistics_notice(const tables::Table& stats, const tables::Table& jobs);

// The chart's numbers as lines: a header (the label heading and the series) and one line per bar.
// Tab-separated for the clipboard (tabs and line breaks inside a label become blanks).
std::vector<std::string> chart_tab_lines(const ChartData& data);
// The same as CSV: every field quoted, quotes doubled, line breaks and tabs as blanks.
std::vector<std::string> chart_csv_lines(const ChartData& data);

// "c:\mydata\KV-DB\pavoden2\reports\CHART_MONTH___<stamp>.png" (CHART_REASONS___, CHART_TITLES___,
// CHART_STATES___) for a time stamp as tkit_yyyy_mm_dd_hh_mm_ss gives it.
std::string chart_file_name(ChartKind kind, const std::string& stamp);

}  // namespace pavo::records
