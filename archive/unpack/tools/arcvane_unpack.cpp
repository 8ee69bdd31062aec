// arcvane-unpack: runs the unpacking engine with its own name and the given arguments, for scripts
// and black-box tests of the argument contract; exits with the engine's result.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "archive/unpack/unpack_engine.h"
#include "platform/drive_map.h"

namespace {

void print_help() {
    std::fputs(
        "usage: arcvane-unpack [options] ARCHIVE [MASK ...] [-x MASK ...]\n"
        "  -Z list the members (must come first); -t test every member, write nothing;\n"
        "  -d FOLDER extract there (made when missing) instead of the current folder;\n"
        "  -o replace existing files, -n never; -f freshen, -u update; -j junk paths;\n"
        "  -C masks ignore case; -P PASSWORD; -Ga/-Gb MMDDYYYY skip members dated after/before;\n"
        "  -q, -qq fewer messages; -i MASK... / -x MASK... include / exclude.\n"
        "example: arcvane-unpack -o ../t/tables.zip -d ~/restored\n",
        stdout);
    std::fputs(pavo::DriveMap::argument_rule_help(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_help();
        return 0;
    }
    pavo::zip::UnpackCallbacks cb;
    cb.message = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    cb.member_info = [](const pavo::zip::MemberInfo& m) {
        std::time_t t = static_cast<std::time_t>(m.mtime);
        std::tm tm{};
        gmtime_r(&t, &tm);  // mtime already holds the local wall-clock reading
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
        std::printf("%10llu %10llu %4d%% %08x %s %s %s%s%s\n",
                    static_cast<unsigned long long>(m.uncompressed_size),
                    static_cast<unsigned long long>(m.compressed_size), m.ratio, m.crc32, when,
                    m.encrypted ? "E" : "-", m.name.c_str(), m.comment.empty() ? "" : "  # ",
                    m.comment.c_str());
    };
    int result = pavo::zip::unpack_main(argc, argv, cb);
    if (result > 1 && result != 80)
        std::fprintf(stderr, "arcvane-unpack: %d %s\n", result,
                     pavo::zip::unpack_result_text(result));
    return result;
}
