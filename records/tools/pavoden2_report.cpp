// pavoden2-report: the job search report from the command line, for scripts and checks.
#include <iostream>

#include "records/report_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::records::run_report_tool(args, std::cout, std::cerr);
}
