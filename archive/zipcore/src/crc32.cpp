// CRC-32 through libdeflate (its folding kernel measured several times faster than zlib's here).
#include "archive/zipcore/crc32.h"

#include <libdeflate.h>
#include <zlib.h>

namespace pavo::zip {

std::uint32_t crc32_update(std::uint32_t crc, const void* data, std::size_t n) {
    return libdeflate_crc32(crc, data, n);
}

std::uint32_t crc32_combine(std::uint32_t crc1, std::uint32_t crc2, std::uint64_t len2) {
    return static_cast<std::uint32_t>(::crc32_combine64(crc1, crc2, static_cast<z_off64_t>(len2)));
}

}  // namespace pavo::zip
