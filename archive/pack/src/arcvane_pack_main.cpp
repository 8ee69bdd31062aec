// arcvane-pack: runs the packing engine with the program's own arguments, for scripts and black-box
// tests; exits with the engine's result and prints progress unless -q is among the arguments.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/pack/pack_engine.h"
#include "platform/drive_map.h"

namespace {

void print_help() {
    std::fputs(
        "usage: arcvane-pack [options] ARCHIVE [FILE|MASK ...]\n"
        "  -r recurse into folders; -0..-9 level (0 stores, 6 by default); -q quiet; -d delete\n"
        "  matching members; -f freshen, -u update, -m move; -j junk folder names; -D no folder\n"
        "  entries; -S hidden files too; -P PASSWORD; -t/-tt MMDDYYYY on or after / before;\n"
        "  -i MASK... / -x MASK... include / exclude; -Gw <...> classes in masks; -b FOLDER for\n"
        "  the temporary archive. Stored names are relative to the current folder.\n"
        "example: cd ~/records/db && arcvane-pack -r ../tables.zip '*'\n",
        stdout);
    std::fputs(pavo::DriveMap::argument_rule_help(), stdout);
}

volatile std::sig_atomic_t g_interrupted = 0;

void on_signal(int) {
    g_interrupted = 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_help();
        return 0;
    }
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        // Only a flag group can ask for quiet; a file or mask named "-q..." cannot appear here.
        if (argv[i][0] == '-' && argv[i][1] != '-' && std::strchr(argv[i], 'q') &&
            std::strcmp(argv[i], "-Gw") != 0 && argv[i][1] != 'P' && argv[i][1] != 't')
            quiet = true;
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    pavo::zip::PackCallbacks cb;
    cb.abort_requested = [] { return g_interrupted != 0; };
    cb.message = [](const std::string& s) { std::fprintf(stderr, "%s\n", s.c_str()); };
    if (!quiet) {
        cb.progress = [](const pavo::zip::FileProgress& p) {
            if (p.done)
                std::printf("%3d%% %s %llu -> %llu\n", p.total_percent, p.name.c_str(),
                            static_cast<unsigned long long>(p.size),
                            static_cast<unsigned long long>(p.compressed_size));
        };
    }
    std::vector<const char*> args(argv, argv + argc);
    int rc = pavo::zip::pack_main(argc, args.data(), cb);
    if (rc != 0 && rc != pavo::zip::kPackInterrupted)
        std::fprintf(stderr, "arcvane-pack: %s (%d)\n", pavo::zip::pack_result_text(rc), rc);
    return rc;
}
