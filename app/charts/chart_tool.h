// The chart tool behind pavoden2-chart: one job search chart rendered without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavo::app::charts {

// Runs one command line (without the program name):
//   [--alias NAME | --dir PATH] month|reasons|titles|states [--filter EXPR] --png FILE [--csv FILE]
// Gathers the chart as the charts window does (the filter, put on as the filter window puts it,
// counts for month and reasons), writes the picture of 1600 by 1000 pixels to FILE and, when asked,
// the numbers as CSV (a header row and one row per bar). Paths follow DriveMap::argument_to_host.
// Prints the written files' host paths, one a line. Needs a QApplication.
// Returns 0 on success, 1 with the error on err when the chart could not be gathered or written
// (no file is left under its name then), 2 for a command line it does not understand.
int run_chart_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavo::app::charts
