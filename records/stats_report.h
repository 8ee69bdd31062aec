// The two statistics reports (per state, per job-title category) as memo lines, their file names
// and their saving, shared by the report windows, pavoden2-report and the tests.
//
// A report reads every row of the statistics table it is given (the overall STATS_ST.DB or
// STATS_JT.DB, or a monthly table of the same layout) through a private dataset, in STATE order or
// in ORDER;CATEGORY order, whatever order or filter the shared datasets were left in. Rows with a
// count of 0 get no line but take part in the totals; counts are summed as whole numbers and
// percentages in double precision, rounded once for display.
#pragma once

#include <string>
#include <vector>

#include "records/job_report.h"

namespace pavo::records {

enum class StatsReportKind { kState, kTitle };

// The four lines the windows show before a report is made.
std::vector<std::string> stats_report_notice(StatsReportKind kind);

// Checks that the table (database, table name) has the fields the report reads. Throws
// pavo::Error kInvalidInput "<table> is not a state statistics table: it has no field X" (or
// "title"), or the table layer's error when it cannot be opened.
void check_stats_table(StatsReportKind kind, const std::string& database,
                       const std::string& table_name);

// The report's lines, from the first empty line to the totals line. Throws as check_stats_table
// does, or the table layer's error.
std::vector<std::string> stats_report_lines(StatsReportKind kind, const std::string& database,
                                            const std::string& table_name,
                                            const ReportAddress& address);

// The file Save writes (logical path). picked_table is the table last picked with Select Month
// (a path or a file name; empty when none): its base name, compared without regard to case, is
// the overall table's ("stats_st"/"stats_jt") or empty for the time-stamped name
// "...\reports\JOB_SEARCH_STATE_STATS_<stamp>.txt"; otherwise its first six characters (the
// month stamp) give "...\reports\200403_JOB_SEARCH_STATE_STATS.txt". TITLE in place of STATE for
// the title report.
std::string stats_report_file_name(StatsReportKind kind, const std::string& picked_table,
                                   const std::string& stamp);

// Largest attachment the title report takes.
inline constexpr unsigned long long kMaxAttachmentBytes = 10ull * 1024 * 1024;

// The lines of a text file to attach (host path): a form-feed line, 55 dashes, the file's lines,
// 55 dashes, an empty line. Throws pavo::Error kInvalidInput naming the file when it is larger
// than 10 MB or is not text (holds NUL bytes or is not UTF-8), or the file layer's error.
std::vector<std::string> stats_report_attachment(const std::string& host_path);

// The line Save adds before it writes.
std::string saved_to_line(const std::string& path);

// Writes lines to path (logical or host), every missing folder level first, replacing a file of
// that name only once the new one is complete. Throws pavo::Error (LineWriter's) on failure,
// leaving no file under the name.
void save_stats_report(const std::vector<std::string>& lines, const std::string& path);

}  // namespace pavo::records
