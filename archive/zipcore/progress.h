// Per-file progress record both engines hand to their caller while a member is being processed.
#pragma once

#include <cstdint>
#include <string>

namespace pavo::zip {

struct FileProgress {
    std::string name;
    std::uint64_t size = 0, compressed_size = 0;
    int file_percent = 0, total_percent = 0;
    bool done = false;
};

}  // namespace pavo::zip
