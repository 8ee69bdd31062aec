// libFuzzer target: whole unpacking runs (extract with a password, then list) over any archive
// bytes.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/unpack/unpack_engine.h"
#include "platform/drive_map.h"

namespace {

namespace stdfs = std::filesystem;

// One private folder per fuzzing process; every run starts from an empty extraction folder.
const stdfs::path& work_dir() {
    static const stdfs::path dir = [] {
        std::string t = (stdfs::temp_directory_path() / "fuzz-unpack-XXXXXX").string();
        if (!::mkdtemp(t.data())) abort();
        stdfs::create_directories(stdfs::path(t) / "home");
        pavo::DriveMap::set_current_home(stdfs::path(t) / "home");
        stdfs::current_path(t);
        std::atexit([] {
            std::error_code ec;
            stdfs::current_path(stdfs::temp_directory_path(), ec);
            stdfs::remove_all(work_dir(), ec);
        });
        return stdfs::path(t);
    }();
    return dir;
}

int run(std::initializer_list<const char*> args) {
    std::vector<const char*> argv = {"unpack"};
    argv.insert(argv.end(), args);
    pavo::zip::UnpackCallbacks cb;
    cb.progress = [](const pavo::zip::FileProgress& p) {
        if (p.total_percent < 0 || p.total_percent > 100) __builtin_trap();
    };
    cb.member_info = [](const pavo::zip::MemberInfo&) {};
    return pavo::zip::unpack_main(static_cast<int>(argv.size()), argv.data(), cb);
}

bool listed(int code) {
    switch (code) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 9:
        case 11:
        case 50:
        case 51:
        case 81:
        case 82:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const stdfs::path& dir = work_dir();
    {
        std::ofstream out(dir / "a.zip", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    int extracted = run({"-qq", "-o", "-P", "pw", "a.zip", "-d", "out"});
    int listing = run({"-Z", "-C", "a.zip"});
    if (!listed(extracted) || !listed(listing)) __builtin_trap();
    // Nothing may land beside the archive: every member stays under out/.
    for (const auto& entry : stdfs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name != "a.zip" && name != "out" && name != "home") __builtin_trap();
    }
    std::error_code ec;
    stdfs::remove_all(dir / "out", ec);
    return 0;
}
