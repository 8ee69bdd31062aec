// pavoden2-migrate: brings an old folder of Paradox tables into a new table set.
#include <iostream>

#include "records/migrate.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::records::run_migrate_tool(args, std::cout, std::cerr);
}
