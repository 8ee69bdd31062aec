// Changes to the job-search records and their edit tables that the windows run and the benchmarks
// time: saving a job-search record with its keys, carrying ACTIVE to the related records, quick
// find, the two mass changes of the job title edits, and the titles list's Save and Find Category.
//
// Every call works on a dataset the caller has open and throws pavo::Error (the table layer's
// errors) on failure; each says below what it leaves behind when it fails.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::records {

// --- Saving a job-search record.

// The fields of jsearch2.DB the window's user must fill before a record can be posted, in the
// order of the form (DATE and YYYYMMDD, also required, are filled by the save itself).
const std::vector<std::string>& job_search_required_fields();
// The required fields that are empty in the pending record (edit buffer) of jobs.
std::vector<std::string> missing_job_search_fields(tables::Table& jobs);

struct JobSave {
    double date = 0;              // the picker's date (days from 30 Dec 1899)
    bool active_at_edit = false;  // ACTIVE as it was when Edit was pressed
    double today = 0;             // the date ACTIVE_CHANGED takes
};

// Posts the pending record of jobs (edit or insert state) with its keys: DATE, YYYYMMDD from the
// date, ACTIVE_CHANGED = today when an edited (not new) record's ACTIVE differs from
// active_at_edit, and REFNUM = the record's own PK when it has none. The record and its REFNUM are
// written in one transaction, so no record is ever stored without REFNUM.
// On failure (kRequired, kKeyViolation, a refused commit) nothing is written and the record is
// pending again with what it held, in the state it had. Returns the saved record's REFNUM.
double save_job_search(tables::Table& jobs, const JobSave& save);

// REFNUM as the filter language and the user read it ("1234"; fractions kept).
std::string refnum_text(double refnum);

// Sets ACTIVE and ACTIVE_CHANGED (= today) on every record of jobs whose REFNUM is refnum, in one
// transaction: all of them change, or (on any failure) none. before_post, when given, runs before
// each record is posted with its 0-based number in the walk (progress; tests inject failures
// there). Whatever happens, jobs ends open, unfiltered, with an empty filter text (a filter the
// user had set is gone) and its order unchanged; a failure is then thrown. Returns the count
// changed.
int update_related_records(tables::Table& jobs, double refnum, bool active, double today,
                           const std::function<void(int)>& before_post = {});

// --- Quick find.

// The fields quick find looks in.
const std::vector<std::string>& quick_find_fields();
// Makes current the next record of jobs after the current one in the order and filter in force
// (forward), or the previous one (backward), whose POS_TITLE, CONTACT_NAME, POS_CITY or COMMENT
// contains text, ignoring case; the search goes on from the other end past the last (first)
// record and ends at the current one, which matches last. False, with the position unchanged,
// when no record matches or text is empty. Never changes the filter or the order.
bool quick_find(tables::Table& jobs, std::string_view text, bool forward = true);

// --- Job title edit mass changes.

enum class MassChangeField {
    kChangeTo,        // rows whose CHANGE_FROM contains the search text get CHANGE_TO
    kReasonNoSubmit,  // rows whose CHANGE_TO contains the search text get REASON_NO_SUBMIT
};
enum class MassAnswer { kYes, kNo, kCancel };

inline constexpr const char* kMassSearchTooShort =
    "The \"change from\" string must be at a last 3 characters (no trailing spaces)";
inline constexpr const char* kMassNoNewValue = "The \"change to\" string must have a value";
inline constexpr const char* kMassConfirmText = "Change This Record??????";

// The message refusing a mass change (the search text shorter than 3 characters, then an empty
// new value); nullptr when it may run.
const char* mass_change_refusal(const std::string& search, const std::string& value);

struct MassChangeResult {
    int matched = 0;     // rows whose text contained the search text
    int changed = 0;     // rows posted with the new value
    int duplicates = 0;  // rows left because the changed row exists already
    bool cancelled = false;
};

// Changes every row of edits (JS_EDIT.db) under the filter in force whose searched field contains
// search, exact case, as plain characters. The matching rows are collected first, so a row that
// moves in the key order or leaves the filter when changed is changed once and no row is skipped.
// confirm, when given, is asked before each row: No leaves it, Cancel ends the walk (the changes
// made stay). A row whose change would duplicate an existing row is left unchanged and counted.
// At the end the row current before is current again, or the first row when it has left the
// filter. A refusal (mass_change_refusal) changes nothing and throws kInvalidInput with its text;
// any other failure stops the walk (rows changed so far stay), returns to that row and is thrown.
MassChangeResult mass_change(tables::Table& edits, MassChangeField field, const std::string& search,
                             const std::string& value,
                             const std::function<MassAnswer()>& confirm = {});

// The closing line of a mass change: how many rows changed and how many were left.
std::string mass_change_summary(const MassChangeResult& result);

// --- Disqualified titles list (STATS_JT.DB).

inline constexpr const char* kTitleOrderFields = "ORDER;CATEGORY";
inline constexpr const char* kTitleCategoryIndex = "CATEGORY_";

enum class TitleSave {
    kOrdered,     // posted; the list is in ORDER;CATEGORY order
    kNeedsOrder,  // posted without ORDER; the list is in CATEGORY_ order on the posted row
};

// Posts the pending row of stats: a new row gets COUNT and PERCENTAGE 0. A row with an ORDER
// leaves the list in ORDER;CATEGORY order on its first row; a row without one leaves the list in
// category order with the posted row itself current (the window then edits it again). A refused
// post (kKeyViolation, kConversion) throws with the row still pending and the order unchanged.
TitleSave save_title_category(tables::Table& stats);

// Find Category: the first category not below text (ignoring case; the last one when text is past
// every category) is found and made current with the list in ORDER;CATEGORY order. False when the
// list is empty (the list is then in ORDER;CATEGORY order, nothing else changes).
bool find_category(tables::Table& stats, const std::string& text);

// Puts stats back in ORDER;CATEGORY order (reopening it) unless it is in it already.
void restore_title_order(tables::Table& stats);

}  // namespace pavo::records
