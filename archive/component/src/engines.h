// The control's view of the packing and unpacking engines, so that the control can be driven by the
// real engines in the server and by scripted stand-ins in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pavo::arcvane {

struct RunProgress {
    std::string name;
    std::uint64_t size = 0, compressed_size = 0;
    int file_percent = 0, total_percent = 0;
    bool done = false;
};

struct RunMember {
    std::string name, comment;
    std::uint64_t uncompressed_size = 0, compressed_size = 0;
    int ratio = 0;
    std::uint32_t crc32 = 0;
    std::int64_t mtime = 0;  // local time as Unix seconds
    bool encrypted = false;
};

struct RunCallbacks {
    std::function<void(const RunProgress&)> progress;
    std::function<void(const RunMember&)> member;
    std::function<bool()> abort_requested;
};

// An engine's main routine: argument count and list (the first is the program name), the result of
// its table.
using EngineMain = std::function<int(int argc, const char* const* argv, const RunCallbacks& cb)>;

struct Engines {
    EngineMain pack;
    EngineMain unpack;
};

// The engines linked into the server.
Engines real_engines();

}  // namespace pavo::arcvane
