// ZIP container records: signatures, little-endian fields, times, the "UT" extra field, and
// readers.
//
// Sizes and offsets are 32-bit. The readers never trust a length or offset from the file: every
// field is checked against the file size before anything is allocated or read, so a damaged or
// hostile archive ends in a ReadStatus, never in a crash or an unbounded allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace pavo::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;    // "PK\3\4"
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;  // "PK\1\2"
inline constexpr std::uint32_t kEndRecordSignature = 0x06054b50;      // "PK\5\6"
inline constexpr std::uint32_t kZip64EndRecordSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;  // also the split marker

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;

// General-purpose flag bits.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;

// Compression methods by number.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodImploded = 6;
inline constexpr std::uint16_t kMethodDeflated = 8;

// Name of a method for messages ("stored", "shrunk", "reduced", ...; "unknown" past the list).
const char* method_name(std::uint16_t method);

struct CentralEntry {
    std::string name;  // UTF-8 (names without the UTF-8 flag are converted from code page 437)
    std::uint16_t version_made_by = 0, version_needed = 0, flags = 0, method = 0, dos_time = 0,
                  dos_date = 0;
    std::uint32_t crc32 = 0, compressed_size = 0, uncompressed_size = 0;
    std::uint16_t internal_attr = 0;
    std::uint32_t external_attr = 0, local_header_offset = 0;
    std::string extra, comment;            // raw bytes
    std::optional<std::int64_t> ut_mtime;  // from the "UT" extra field, Unix seconds
    std::string raw_name;                  // the name bytes as stored (written back unchanged)

    bool encrypted() const { return (flags & kFlagEncrypted) != 0; }
    // A folder entry: its name ends with "/" (or "\" from writers that use that separator).
    bool is_directory() const;
    // Host permission bits when the entry was made on a Unix-like system, else nullopt.
    std::optional<std::uint32_t> unix_mode() const;
    // The entry's modification time: the "UT" field when present, else the DOS date and time.
    std::int64_t mtime() const;
};

struct ArchiveDirectory {
    std::vector<CentralEntry> entries;
    std::string comment;
    std::uint64_t cd_offset = 0, cd_size = 0;
    // Bytes before the archive proper (a self-extractor stub, or a prepended file); every stored
    // offset is shifted by this much.
    std::uint64_t prefix_bytes = 0;
};

enum class ReadStatus {
    kOk,
    kNotFound,            // no end record: not a ZIP archive (or an empty file)
    kNoCentralDirectory,  // an end record, but the directory it names is not there
    kTruncated,           // a record or member data runs past the end of the file
    kBadStructure,        // signatures, lengths or counts that do not fit together
};

// Reads the end record and the whole central directory. On failure out is left empty and message
// (when given) says what was wrong. Never throws for bad content; an I/O error throws pavo::Error.
ReadStatus read_directory(pavo::File& file, ArchiveDirectory& out, std::string* message = nullptr);

// Reads and checks the local header of e; on kOk sets data_offset to the first byte of the member's
// (possibly encrypted) data, and checks that compressed_size bytes from there lie within the file.
ReadStatus locate_member_data(pavo::File& file, const ArchiveDirectory& dir, const CentralEntry& e,
                              std::uint64_t& data_offset);

// DOS date in the high 16 bits, DOS time in the low 16, from the local time of t. Times before
// 1980 become 1 January 1980 00:00; times after 2107 become the last DOS second.
std::uint32_t unix_to_dos_datetime(std::int64_t t);
// Unix time of a DOS date and time read as local time. Out-of-range fields are clamped.
std::int64_t dos_datetime_to_unix(std::uint16_t date, std::uint16_t time);

// The "UT" extra field (tag 0x5455): the local-header form carries mtime and atime, the central
// form mtime only (its flags still announce both, as the application note asks).
std::string make_ut_extra(std::int64_t mtime, std::int64_t atime, bool central);
// mtime of the first "UT" field in extra that carries one; nullopt when there is none or it is cut.
std::optional<std::int64_t> parse_ut_mtime(std::string_view extra);

// Little-endian helpers for building and reading records.
inline void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}
inline void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}
inline std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Record builders: the local header of e (its name, flags, method, times, CRC and sizes, with
// local_extra as extra field), e's central-directory header (with e.extra and e.comment), and the
// end record. Names are written as e.raw_name when it is set, else e.name.
std::string build_local_header(const CentralEntry& e, std::string_view local_extra);
std::string build_central_header(const CentralEntry& e);
std::string build_end_record(std::uint64_t entries, std::uint32_t cd_size, std::uint32_t cd_offset,
                             std::string_view comment);

}  // namespace pavo::zip
