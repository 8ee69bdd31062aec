// Job search statistics without widgets: the month list, the title and state counts, new
// categories and position titles from the records' titles, and the monthly statistics tables.
//
// Used by the statistics window, the import steps and pavoden2-stats. Every routine reads the
// job-search dataset it is given without moving it: its index, filter and current record stay as
// found (the monthly run alone switches the user's filter off, as the window always has). The
// statistics and lookup tables are read and written through private datasets on the same files,
// so whatever order or filter another window left on the shared datasets changes neither what is
// counted nor in which order; the shared datasets re-read at the end so they show the result.
//
// Each writing operation is all or nothing: it computes in memory and writes in one transaction.
// A failure throws pavo::Error (the table layer's) and changes nothing; a progress callback that
// returns false cancels, and nothing changes either.
#pragma once

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::records {

struct YearMonth {
    int year = 0;
    int month = 0;  // month 1..12
    friend auto operator<=>(const YearMonth&, const YearMonth&) = default;
};

// Calendar months holding at least one record of the dataset under its filter in force, ascending;
// an empty DATE counts as December 1899. Leaves the dataset's index, filter and current record as
// found.
std::vector<YearMonth> job_search_months(tables::Table& jobs);

// The month list's line: "3/1/2004 TO 3/31/2004".
std::string month_line(YearMonth m);
// The month of a line in month_line's form, exactly a whole calendar month ("2/1/2004 TO
// 2/29/2004"); nullopt for anything else (a part of a month, two months, other spellings).
std::optional<YearMonth> parse_month_line(std::string_view line);
// The monthly tables' stamp: four-digit year, two-digit month ("200403").
std::string month_stamp(YearMonth m);

struct MonthTally {
    YearMonth month;
    long long submitted = 0;
    long long not_submitted = 0;
};
// For each month of job_search_months, the records split by SUBMITTED (an empty SUBMITTED counts
// as submitted, as the job report reads it). Same guarantees as job_search_months.
std::vector<MonthTally> job_search_month_tallies(tables::Table& jobs);

// Progress: (reached, total); return false to cancel (the operation then changes nothing).
using StatsProgress = std::function<bool(long long reached, long long total)>;

struct AddOutcome {
    long long scanned = 0;  // job-search records looked at
    long long added = 0;    // rows added
    long long failures = 0;
    std::string first_failure;
    bool cancelled = false;  // the progress callback said stop; nothing was added
};

// New position titles: every record's POS_TITLE (under the filter in force) not yet in
// POSTITLE.DB is added exactly as the record holds it, which is also how it is looked up, so a
// second run adds nothing. Blank titles add nothing; existing rows stay. One transaction.
AddOutcome add_new_position_titles(tables::Table& jobs, tables::Table& postitle,
                                   const StatsProgress& progress = {});
// New categories: every record's POS_TITLE trimmed, upper-cased, cut to the 50 characters of
// CATEGORY and trimmed again is the key; a key no row of STATS_JT.DB holds as its CATEGORY (exact
// comparison, under any ORDER) is added with ORDER 1, COUNT 0, PERCENTAGE 0, REASON_NOT_SUBMITTED
// "*** NEW ENTRY, EDIT ME ***" and AS_OF_DATE today. A blank key adds nothing. One transaction.
AddOutcome add_new_categories(tables::Table& jobs, tables::Table& stats_jt,
                              const StatsProgress& progress = {});

// The reason text a new category row carries until the user edits it.
inline constexpr const char* kNewCategoryReason = "*** NEW ENTRY, EDIT ME ***";

struct CountOutcome {
    long long records = 0;  // N: job-search records counted over
    long long matched = 0;  // records that added one to a row
    long long rows = 0;     // statistics rows written
    bool cancelled = false;
};

// Job title statistics. Every row of STATS_JT.DB gets COUNT 0 and AS_OF_DATE today; the rows are
// taken in ORDER;CATEGORY order (a row without ORDER first, then ascending ORDER, equal ORDER by
// CATEGORY in code-point order); each record under the job-search filter in force adds one to the
// first row whose non-empty CATEGORY occurs in its POS_TITLE (exact case). PERCENTAGE is COUNT / N
// x 100 in double precision, 0 when N is 0. Progress counts the records, then the rows.
CountOutcome update_title_stats(tables::Table& jobs, tables::Table& stats_jt,
                                const StatsProgress& progress = {});
// Job state statistics: the same over STATS_ST.DB, rows by STATE, a row's non-empty STATE found
// inside the record's POS_STATE (so a row "C" takes CO, CA and CT, as it always has).
CountOutcome update_state_stats(tables::Table& jobs, tables::Table& stats_st,
                                const StatsProgress& progress = {});

// The monthly tables' names in the database of the statistics tables: "200403st.db",
// "200403jt.db".
std::string monthly_state_table_name(YearMonth m);
std::string monthly_title_table_name(YearMonth m);

struct MonthlyOutcome {
    long long records = 0;  // records of the month (the user's filter not applied)
    CountOutcome state, title;
    bool cancelled = false;
};

// Monthly statistics for one month: the records dated from its first to its last day (both
// included, whatever filter the user had set) are counted against the rows of STATS_ST.DB and
// STATS_JT.DB as update_state_stats and update_title_stats count them, and the results go into
// the monthly tables of the same database: the state rows (STATE) and the title rows (ORDER,
// CATEGORY, REASON_NOT_SUBMITTED) with their counts, percentages and today's date. do_state and
// do_title say which of the two to make (the window's two confirmations, asked beforehand).
// A monthly table is replaced only by a finished result: each is built whole under a temporary
// name and renamed into place, so a failure or a cancel leaves the earlier one as it was. The
// shared statistics datasets are never repointed. When anything ran (even when it failed), the
// job-search dataset's filter is switched off and emptied afterwards, as the monthly run has
// always left it.
MonthlyOutcome update_monthly_stats(tables::Table& jobs, tables::Table& stats_st,
                                    tables::Table& stats_jt, YearMonth month, bool do_state,
                                    bool do_title, const StatsProgress& progress = {});

}  // namespace pavo::records
