// The statistics tool behind pavoden2-stats: the statistics window's operations without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavo::records {

// Runs one command line (without the program name):
//   [--alias NAME | --dir PATH] [--filter EXPR] OPERATION...
// with the operations position-titles, new-categories, title-stats, state-stats, month-list and
// monthly "M/1/YYYY TO M/D/YYYY", run in the order given on the table set of the alias (default
// PAVODEN2) or folder, each all or nothing, confirmations taken as Yes. --filter puts the filter
// on the job-search records as the filter window does; monthly ignores it (the monthly run counts
// the whole month) and it is put back for the operations after it. month-list prints the month
// lines; every other operation prints one line saying what it counted or added.
// Returns 0 when all ran; 1 when one failed (the operations before it are kept, later ones are not
// run; the operation and the error go to err); 2 for a command line it does not understand,
// before anything runs.
int run_stats_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavo::records
