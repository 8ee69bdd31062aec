// pavoden2-setup: first-time installation of the folder tree, the tables and the alias.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/drive_map.h"
#include "store/install.h"

namespace {

void usage() {
    std::printf(
        "usage: pavoden2-setup [--sample-data]\n"
        "Creates what is missing of c:\\mydata\\KV-DB\\PAVODEN2\\ under $PAVODEN2_HOME (default\n"
        "~/.pavoden2): the folders, the tables with their first rows and the alias PAVODEN2.\n"
        "Existing tables and aliases are never changed. --sample-data also builds a demonstration\n"
        "set in c:\\mydata\\KV-DB\\PAVODEN2\\DB\\SAMPLE\\ to switch to with Change Databases.\n");
}

}  // namespace

int main(int argc, char** argv) {
    pavo::store::InstallOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sample-data")) {
            options.sample_data = true;
        } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "pavoden2-setup: unknown argument '%s'\n", argv[i]);
            usage();
            return 2;
        }
    }
    try {
        std::printf("pavoden2-setup: home %s\n", pavo::DriveMap::current().home().c_str());
        pavo::store::InstallReport report = pavo::store::install(options);
        for (const auto& line : report.lines) std::printf("  %s\n", line.c_str());
        std::printf("pavoden2-setup: %s\n",
                    report.changed ? "installation updated" : "nothing to do");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pavoden2-setup: %s\n", e.what());
        return 1;
    }
}
