// pavoden2-table: list, dump, load and check the tables of a set from the command line.
#include <iostream>

#include "store/table_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::store::run_table_tool(args, std::cout, std::cerr);
}
