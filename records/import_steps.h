// The numbered clean-up steps after a mail import, without a window: record numbers, the job
// title edit entries and their application, the pick lists rebuilt from the values in use, and the
// reasons carried into the job-title statistics. The import window runs them from its buttons.
//
// Each step walks its dataset in the dataset's own order and under the filter in force, and goes
// on past a record it cannot handle: the record is counted as a failure and the first failure's
// text kept, so the step's last log line says what happened. Values are looked up exactly and
// case-sensitively, in the same form in which a step adds them, so a second run adds nothing.
// Steps that empty a table first save it to a dated ZIP and stop, the table untouched, when that
// cannot be written.
#pragma once

#include <functional>
#include <string>

#include "tables/table.h"

namespace pavo::records {

// What a step tells the user: log lines, the status-bar text and OK-only message boxes. Any of
// them may be empty.
struct StepIo {
    std::function<void(const std::string& line)> log;
    std::function<void(const std::string& text)> status;
    std::function<void(const std::string& caption, const std::string& text)> notice;
};

struct StepOutcome {
    long long read = 0;     // records (or rows) walked
    long long added = 0;    // rows added to the step's list table
    long long changed = 0;  // records or rows changed
    long long failures = 0;
    std::string first_failure;
    bool stopped = false;  // the step stopped before changing anything (stop_reason says why)
    std::string stop_reason;
};

// The step's last log line: "<name> done: N records read, N added, N changed, N failures[; the
// first: ...]." or "<name> stopped: <reason>".
std::string step_summary(const std::string& name, const StepOutcome& outcome);

// The placeholder of a new job title edit or statistics row, until the user edits it.
inline constexpr const char* kNewEntryPlaceholder = "*** NEW ENTRY, EDIT ME ***";
// The status bar is cleared by writing this many blanks.
inline constexpr int kStatusClearWidth = 39;

// (1) Every record of jobs whose REFNUM is 0 gets its own PK, from the first record to the end.
StepOutcome update_refnum(tables::Table& jobs, const StepIo& io);

// (2) Apostrophes in POS_TITLE become underscores in the record; a title that JS_EDIT.db lacks
// as CHANGE_FROM gets a row (CHANGE_TO the placeholder). Empty titles are left out.
StepOutcome update_job_title_edits(tables::Table& jobs, tables::Table& js_edit, const StepIo& io);

// (4) From jobs' current record to the end: POS_TITLE_ORIGINAL takes POS_TITLE whenever they
// differ; then the edit row whose CHANGE_FROM is the title (trimmed and upper-cased, else as
// stored, the form step 2 adds) gives POS_TITLE its CHANGE_TO, unless that is still the
// placeholder.
StepOutcome update_job_titles(tables::Table& jobs, tables::Table& js_edit, const StepIo& io);

// (5) Adds every POS_TITLE of jobs that POSTITLE.DB lacks (the statistics' routine).
StepOutcome update_position_titles(tables::Table& jobs, tables::Table& postitle, const StepIo& io);

// (6) Saves STATS_JT.DB to a dated ZIP, empties it and adds one category row per distinct
// title (the statistics' routine), all in one transaction: a failure leaves the rows as they were.
StepOutcome rebuild_title_categories(tables::Table& jobs, tables::Table& stats_jt,
                                     const StepIo& io);

// (7) Saves REASON.db to a dated ZIP, empties it, then adds every distinct trimmed
// REASON_NO_SUBMIT of jobs and of js_edit.
StepOutcome rebuild_reasons(tables::Table& jobs, tables::Table& reason, tables::Table& js_edit,
                            const StepIo& io);

// (8) Saves CITY.db to a dated ZIP, empties it, then adds every distinct trimmed POS_CITY of jobs.
StepOutcome rebuild_cities(tables::Table& jobs, tables::Table& city, const StepIo& io);

// (9) Adds every CONTACT_NAME of jobs that CONTACT_NAME.DB lacks, as stored.
StepOutcome update_contact_names(tables::Table& jobs, tables::Table& contact_name,
                                 const StepIo& io);

// (10) Each STATS_JT.DB row whose CATEGORY (trimmed, upper-cased) is some edit row's CHANGE_TO
// takes the first such row's REASON_NO_SUBMIT into REASON_NOT_SUBMITTED.
StepOutcome update_stats_reasons(tables::Table& stats_jt, tables::Table& js_edit, const StepIo& io);

// Packs the file of table into c:\mydata\KV-DB\PAVODEN2\zip\databases\<stem>-<time stamp>.zip,
// where the stem is the table's name without its extension, upper-cased ("REASON"); a name taken
// already within the same second gets "-2", "-3", ... before ".zip". Returns the
// archive's logical path. Throws pavo::Error (kIO) with the reason when the archive could not be
// written; no archive is left then.
std::string save_table_to_zip(tables::Table& table);

}  // namespace pavo::records
