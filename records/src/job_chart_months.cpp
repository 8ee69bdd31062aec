// The month chart: the statistics module's month tallies laid out on a continuous month axis.
#include <cstdio>

#include "records/job_charts.h"
#include "records/job_stats.h"

namespace pavo::records {

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string month_label(int year, int month) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s %d", kMonthNames[(month - 1) % 12], year);
    return buf;
}

// The month an empty DATE reads as (day 0 of the date scale, 30 December 1899).
bool is_undated(const YearMonth& m) {
    return m.year == 1899 && m.month == 12;
}

}  // namespace

ChartData month_chart(tables::Table& jobs) {
    ChartData data;
    data.kind = ChartKind::kMonth;
    data.title = "Job searches by month";
    data.label_heading = "MONTH";
    data.series = {"SUBMITTED", "NOT SUBMITTED"};

    const std::vector<MonthTally> tallies = job_search_month_tallies(jobs);
    std::size_t i = 0;
    if (i < tallies.size() && is_undated(tallies[i].month)) {
        data.bars.push_back({"No date", {tallies[i].submitted, tallies[i].not_submitted}});
        ++i;
    }
    if (i == tallies.size()) return data;
    // Every month from the first to the last tally, a month without records as zero.
    int year = tallies[i].month.year, month = tallies[i].month.month;
    const YearMonth last = tallies.back().month;
    while (year < last.year || (year == last.year && month <= last.month)) {
        if (i < tallies.size() && tallies[i].month.year == year &&
            tallies[i].month.month == month) {
            data.bars.push_back(
                {month_label(year, month), {tallies[i].submitted, tallies[i].not_submitted}});
            ++i;
        } else {
            data.bars.push_back({month_label(year, month), {0, 0}});
        }
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    return data;
}

}  // namespace pavo::records
