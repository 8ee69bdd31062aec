// How a table file lays out its rows, and the conversion of files made before columns were named.
//
// A table file keeps its rows in a table called data: a row number column rid, then one column
// per field, named after the field ("24_HOUR", "ORDER"), so sqlite3, DB Browser for SQLite or
// Python can read a person's records by field name. Files made earlier number their columns c0,
// c1, ...; they open and work alike, and upgrade_table_file converts them.
#pragma once

#include <filesystem>

namespace pavo::tables {

// True when the data columns of the table file are named after its fields, false when numbered.
// Throws pavo::Error as Table::open() does for a missing (kNotFound), damaged (kCorruption) or
// locked (kLocked) file.
bool has_named_columns(const std::filesystem::path& file);

// Converts a table file with numbered columns to named ones: the same definitions, every row with
// its row number, the next auto-increment number, and the indexes. The new file is built beside
// the old one (as "<file>.converting") and renamed over it, so a crash leaves either file, whole.
// Returns true when it converted. Returns false, leaving the file as it is (it still opens and
// works), when the columns are named already, when a field is called RID, or when a Table of this
// or another process has the file open: a later call converts it.
// Throws pavo::Error when the file is missing (kNotFound) or damaged (kCorruption), or the new
// file cannot be written or renamed into place (kIO, naming the file and the system's reason);
// the old file is then unchanged and nothing is left beside it.
bool upgrade_table_file(const std::filesystem::path& file);

}  // namespace pavo::tables
