// The table tool behind pavoden2-table: list, dump, load and check tables of a set, for scripts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavo::store {

// Runs one command line (without the program name):
//   [--alias NAME | --dir PATH] list
//   [--alias NAME | --dir PATH] dump TABLE [--csv] [--filter EXPR [--nocase]] [--index NAME]
//   [--alias NAME | --dir PATH] load TABLE FILE
//   [--alias NAME | --dir PATH] check
// Writes results to out and errors to err; returns the exit status (0 success, 1 failure, 2 usage).
//
// dump writes one JSON object per row, fields in table order: texts as they are, dates as
// "YYYY-MM-DD", numbers as numbers, truth values as true/false, empty fields as null; rows in
// primary-key order (insertion order for a table without one). --csv writes RFC 4180 CSV with a
// header line instead. --filter writes only the rows EXPR passes (the filter language of
// Table::set_filter; texts compared case-sensitively, case-insensitively with --nocase), --index
// orders the rows by the named index; an expression or index the table refuses gives exit status 1
// with the table layer's message and no line. A damaged table stops the dump with an error naming
// the file; no partial line is written.
// load appends the JSON lines of FILE (same form as dump) through the table's rules, keeping a
// given auto-increment value; all rows or none: a row that breaks a rule is named by line and field
// and nothing is posted. check opens every table of the folder, reads its definition and runs the
// integrity check; one line per table, exit status 1 when any fails.
int run_table_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavo::store
