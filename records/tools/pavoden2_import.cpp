// pavoden2-import: a saved job-alert mail imported from the command line, for scripts and checks.
#include <iostream>

#include "records/import_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::records::run_import_tool(args, std::cout);
}
