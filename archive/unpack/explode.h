// Decoder of the imploded method (6): a sliding dictionary with Shannon-Fano coded literals,
// lengths and distances, as early PKZIP versions wrote it.
//
// General-purpose flag bit 1 selects the 8K dictionary (else 4K), bit 2 the third tree for
// literals (else literals are plain bytes). The stream has no end marker, so decoding stops at the
// member's uncompressed size; nothing is ever produced past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pavo::zip {

// Hands the decoder more compressed bytes: returns the count placed in buf (at most cap), 0 at the
// end of the member's data.
using ExplodeInput = std::function<std::size_t(std::uint8_t* buf, std::size_t cap)>;
// Takes decoded bytes; returning false stops decoding (an abort or a write failure).
using ExplodeOutput = std::function<bool(const std::uint8_t* data, std::size_t n)>;

enum class ExplodeStatus {
    kOk,
    kStopped,     // the output callback said stop
    kBadTrees,    // a tree description that does not describe a usable code
    kBadData,     // a code that no symbol carries
    kInputEnded,  // the compressed data ran out before the uncompressed size was reached
};

// Decodes an imploded member of uncompressed_size bytes. Memory use is fixed (a few tables and a
// 64 KiB window) whatever the input.
ExplodeStatus explode(std::uint16_t flags, std::uint64_t uncompressed_size, const ExplodeInput& in,
                      const ExplodeOutput& out);

// Convenience for tests and small members: the whole input in memory, the result as a string.
ExplodeStatus explode_buffer(std::uint16_t flags, const std::string& compressed,
                             std::uint64_t uncompressed_size, std::string& result);

}  // namespace pavo::zip
