// pavoden2-info: prints the program's version, its home, the drive map and the table aliases.
#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "utility/tkit.h"

namespace {

void usage() {
    std::printf(
        "usage: pavoden2-info\n"
        "Prints the program's version, its home ($PAVODEN2_HOME, default ~/.pavoden2), where "
        "drive\n"
        "c: and the tables are on this machine, and the table aliases.\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments are checked before anything else, so asking for help touches no home.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage();
            return 0;
        }
        std::fprintf(stderr, "pavoden2-info: unknown argument '%s'\n", argv[i]);
        usage();
        return 2;
    }
    try {
        pavo::DriveMap& map = pavo::DriveMap::current();
        std::printf("Quillon Ridozerizez Pavoden - Version %s\n",
                    pavo::tkit_Get_Versioning_Info("FileVersion").c_str());
        std::printf("home:    %s\n", map.home().c_str());
        std::printf("drive c: %s\n", map.drive_root('c')->c_str());
        const char* tree = R"(c:\mydata\KV-DB\PAVODEN2\db\)";
        std::printf(
            "tables:  %s -> %s (%s)\n", tree, map.to_host(tree).c_str(),
            pavo::file_system().is_directory(map.to_host(tree)) ? "present" : "not created yet");
        pavo::AliasConfig& aliases = pavo::AliasConfig::current();
        if (aliases.names().empty()) std::printf("aliases: none (%s)\n", aliases.file().c_str());
        for (const auto& name : aliases.names())
            std::printf("alias:   %s %s\n", name.c_str(), aliases.params(name).front().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pavoden2-info: %s\n", e.what());
        return 1;
    }
}
