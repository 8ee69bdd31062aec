// The import tool behind pavoden2-import: a saved job-alert mail imported without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavo::records {

// Runs one command line (without the program name):
//   [--alias NAME | --dir PATH] --layout N [--dry-run] [--again] FILE
// FILE is a logical path (c:\...) or a host path (named by its logical form, z:\... or c:\...
// inside the home, for ITEM_FILE). Every line printed to out is one JSON object: each record
// added (or, with --dry-run, to be added) with its fields, each job skipped as already recorded
// ({"skipped": "already_imported", ...}), or the refusal ({"error": kind, "line": n,
// "message": ...}). A mail whose jobs are all recorded is refused as "already_imported"; one with
// some recorded adds the others; --again adds every job.
// Returns 0 when done, 1 when the mail was refused, 2 for a command line it does not understand
// or a file or table set it cannot read.
int run_import_tool(const std::vector<std::string>& args, std::ostream& out);

}  // namespace pavo::records
