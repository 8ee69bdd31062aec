// CRC-32 of member data as ZIP records it (the IEEE polynomial, pre- and post-inverted).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pavo::zip {

// Continues crc over n more bytes; start with 0. Never fails.
std::uint32_t crc32_update(std::uint32_t crc, const void* data, std::size_t n);

// CRC-32 of two pieces joined, from crc1 of the first, crc2 of the second and the second's length:
// lets blocks compressed on several threads be checksummed where they were read.
std::uint32_t crc32_combine(std::uint32_t crc1, std::uint32_t crc2, std::uint64_t len2);

}  // namespace pavo::zip
