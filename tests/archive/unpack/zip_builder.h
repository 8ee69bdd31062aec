// Builds small ZIP archives byte by byte for the unpacking tests, including deliberately bad ones.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/zipcore/crc32.h"
#include "archive/zipcore/zip_crypto.h"
#include "archive/zipcore/zip_format.h"

namespace pavo::zip::testing {

struct BuildMember {
    std::string name;
    std::string data;
    std::uint16_t method = kMethodDeflated;  // 0 and 8 are encoded; others store data as given
    std::int64_t mtime = 1700000000;
    std::optional<std::string> password;
    std::string comment;
    std::uint32_t unix_mode = 0100644;
    // Deliberate faults.
    std::optional<std::uint32_t> crc_override, usize_override, csize_override, offset_override;
    std::uint16_t extra_flags = 0;
    std::uint16_t version_needed = 20;
    std::optional<std::uint16_t> made_by;        // default: Unix
    std::optional<std::uint32_t> external_attr;  // default: unix_mode in the high half
    std::string raw_payload;  // used as the compressed data when method is neither 0 nor 8
};

inline std::string deflate_raw(const std::string& in, int level = 6) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, in.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

inline std::string build_zip(const std::vector<BuildMember>& members,
                             const std::string& comment = "") {
    std::string out, cd;
    for (const auto& m : members) {
        CentralEntry e;
        e.name = m.name;
        e.version_made_by = m.made_by.value_or((3 << 8) | 20);
        e.version_needed = m.version_needed;
        e.method = m.method;
        e.flags = static_cast<std::uint16_t>(m.extra_flags | (m.password ? kFlagEncrypted : 0));
        std::uint32_t dt = unix_to_dos_datetime(m.mtime);
        e.dos_date = static_cast<std::uint16_t>(dt >> 16);
        e.dos_time = static_cast<std::uint16_t>(dt);
        e.crc32 = crc32_update(0, m.data.data(), m.data.size());
        std::string payload = m.method == kMethodStored     ? m.data
                              : m.method == kMethodDeflated ? deflate_raw(m.data)
                                                            : m.raw_payload;
        if (m.password) {
            TraditionalCipher c(*m.password);
            std::uint8_t n = 0;
            EncryptionHeader h = make_encryption_header(
                c, encryption_check_byte(e.flags, e.crc32, e.dos_time), [&n] { return n++; });
            std::string body = payload;
            c.encrypt(reinterpret_cast<std::uint8_t*>(body.data()), body.size());
            payload = std::string(h.begin(), h.end()) + body;
        }
        e.compressed_size = static_cast<std::uint32_t>(payload.size());
        e.uncompressed_size = static_cast<std::uint32_t>(m.data.size());
        if (m.crc_override) e.crc32 = *m.crc_override;
        if (m.usize_override) e.uncompressed_size = *m.usize_override;
        if (m.csize_override) e.compressed_size = *m.csize_override;
        e.external_attr = m.external_attr.value_or(m.unix_mode << 16);
        e.local_header_offset = static_cast<std::uint32_t>(out.size());
        e.extra = make_ut_extra(m.mtime, m.mtime, true);
        e.comment = m.comment;
        out += build_local_header(e, make_ut_extra(m.mtime, m.mtime, false));
        out += payload;
        if (m.offset_override) e.local_header_offset = *m.offset_override;
        cd += build_central_header(e);
    }
    std::uint32_t cd_offset = static_cast<std::uint32_t>(out.size());
    out += cd;
    out +=
        build_end_record(members.size(), static_cast<std::uint32_t>(cd.size()), cd_offset, comment);
    return out;
}

}  // namespace pavo::zip::testing
