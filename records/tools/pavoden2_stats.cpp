// pavoden2-stats: the job search statistics from the command line, for scripts and checks.
#include <iostream>

#include "records/stats_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::records::run_stats_tool(args, std::cout, std::cerr);
}
