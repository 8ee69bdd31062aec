// Migration of an old folder of Paradox tables into a new table set of the nineteen tables.
//
// The old folder is only read: each table file is checked by our own code (header, field types,
// blocks and their chain) before the Paradox library sees it, and then read by that library in a
// child process with time and memory limits, so a damaged file can neither crash nor hang the
// caller. Memo files are read by our own bounds-checked reader. The new set is built in a
// temporary folder beside the target and renamed into place only when complete: a failure leaves
// nothing under the target's name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pavo::records {

namespace fs = std::filesystem;

// What stopped a migration. kind is one of: empty, not_paradox, bad_header, truncated,
// bad_blocks, memo_missing, memo_damaged, ambiguous, reader_failed, write_failed (exit status 1),
// and usage, old_unreadable, target_exists (exit status 2). file is the old file's name as found
// (empty when none), table the new table it maps to (empty when none).
struct MigrationError {
    std::string kind, file, table, message;
};

struct RefusedRow {
    int row = 0;         // 1-based, in file order
    std::string key;     // the new table's primary key fields as text, joined by ';'
    std::string reason;  // required_empty, key_violation, bad_value, extra_config_row
    std::string field;   // the field at fault, empty when the row as a whole is refused
};

struct CutText {
    int row = 0;
    std::string key, field;
    int length = 0;  // the old text's length in characters
};

struct RowField {
    int row = 0;
    std::string key, field;
};

struct MismatchedField {
    std::string field, found, expected;  // old type name ("Time"), new type name ("ftDate")
};

struct TableReport {
    std::string table;     // the new table's name ("jsearch2.DB")
    std::string file;      // the old file as found, empty when the old set lacks it
    bool created = false;  // the old set lacks it: made with its initial rows
    int initial_rows = 0;
    int codepage = 0;               // the code page text was read in (0: no text read)
    bool codepage_assumed = false;  // none recorded: 1252 was assumed
    int read = 0, written = 0;
    std::vector<RefusedRow> refused;
    std::vector<CutText> cut;
    std::vector<RowField> replaced_chars;  // a byte the code page lacks became U+FFFD
    std::vector<RowField> skipped_memos;   // with skip_memos: memos held only in the missing file
    std::vector<std::string> unknown_fields;         // old fields the new table lacks
    std::vector<std::string> missing_fields;         // new fields the old table lacks (left empty)
    std::vector<MismatchedField> mismatched_fields;  // left empty
    std::optional<std::int64_t> next_autoinc;
};

struct UnknownTable {
    std::string file;
    std::optional<int> rows;  // the header's count; none when the file is not a readable table
};

struct MigrationReport {
    bool done = false;
    std::string target;  // host path of the new set
    std::vector<TableReport> tables;
    std::vector<UnknownTable> unknown_tables;
    std::vector<std::string> ignored_files;
    std::optional<MigrationError> error;

    int exit_status() const;  // 0 done, 1 damaged input or a failed read or write, 2 otherwise
    int refused_count() const;
};

struct MigrationOptions {
    fs::path old_dir;  // host path of the old folder
    fs::path target;   // host path of the new set's folder (must not exist)
    int codepage = 0;  // 0: the one each table records
    bool skip_memos = false;
    // Limits of each table's reader process.
    int reader_seconds = 60;
    std::uint64_t reader_memory = 2048ull << 20;
    // Receives progress lines as the run goes.
    std::function<void(const std::string&)> progress;
    // Runs in each reader process before it reads (tests make a reader crash or hang here).
    std::function<void()> reader_start_hook;
};

// The whole run. Never throws for bad input or a failed write: the report's error says what
// stopped it, and nothing is left under the target's name then. A temporary folder left beside
// the target by a killed earlier run is removed first.
MigrationReport migrate_tables(const MigrationOptions& options);

// The code pages text can be read in.
const std::vector<int>& supported_codepages();

// The report as readable lines (what report.txt holds), ending with the line that counts the
// refused rows.
std::string format_report(const MigrationReport& report);
// The report as one JSON object (one line).
std::string report_json(const MigrationReport& report);

// Runs one command line of pavoden2-migrate (without the program name):
//   [--json] [--codepage N] [--skip-memos] [--alias NAME | --dir PATH] OLD (NAME | --to DIR)
// Returns the exit status; progress and the report go to out, errors to err (with --json,
// only the JSON object, to out).
int run_migrate_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavo::records
