// The report tool behind pavoden2-report: the reports of the report windows written without one.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavo::records {

// Runs one command line (without the program name):
//   [--alias NAME | --dir PATH] jobs [--ticked 1,3,4,...] [--index NAME] [--filter EXPR]
//                                    [--csv] [--out FILE | --print]
// The report goes to the reports folder under the time-stamped name the window uses, or to FILE
// (paths follow DriveMap::argument_to_host). --ticked lists the column items 0 to 12 (default the
// window's default ticks); --index orders the records by the named index of jsearch2.DB; --filter
// puts the filter on as the filter window does (an empty one off); --csv also writes
// the CSV file beside the report (same name, ".csv"). Prints the written file's host path (and the
// CSV's on a second line), or with --print the report's text instead.
//   [--alias NAME | --dir PATH] payments [--ticked 0,2,19,...] [--index NAME] [--filter EXPR]
//                                        [--out FILE | --print]
// The payments report as the window's Generate builds it and its Save writes it (the "Saved to
// file:" lines included) under the window's time-stamped name, or to FILE, which must not exist.
// --ticked lists the column items 0 to 25 (Item Date, 19, is always in); --index orders by an
// index of PAVODEN2.DB (default YYYYMMDD_, the order the program starts with); --filter is put on
// as the filter window does and compared case-sensitively; without it the report's default
// categories apply. --print writes the report's lines (CR LF) instead of a file.
// Returns 0 on success, 1 with the error on err when the report could not be written (no file is
// left under its name then), 2 for a command line it does not understand.
int run_report_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavo::records
