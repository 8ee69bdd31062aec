// ZIP record reading and building: end record search, central directory walk, local headers, times.
#include "archive/zipcore/zip_format.h"

#include <algorithm>
#include <ctime>

namespace pavo::zip {

namespace {

constexpr std::uint16_t kUtTag = 0x5455;
constexpr std::uint16_t kZip64Tag = 0x0001;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndRecordSize = 56;
constexpr std::uint32_t kMax32 = 0xffffffffu;

// Code page 437, bytes 0x80-0xff, as Unicode code points.
constexpr std::uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

bool valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += len;
    }
    return true;
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Names without the UTF-8 flag are code page 437 by the application note, but many Unix writers
// stored UTF-8 without saying so; a name that is valid UTF-8 is taken as such.
std::string decode_name(const std::string& raw, std::uint16_t flags) {
    if ((flags & kFlagUtf8) || valid_utf8(raw)) return raw;
    std::string out;
    out.reserve(raw.size() * 2);
    for (char ch : raw) {
        unsigned char c = static_cast<unsigned char>(ch);
        append_utf8(out, c < 0x80 ? c : kCp437High[c - 0x80]);
    }
    return out;
}

std::uint64_t get64(const unsigned char* p) {
    return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

// Reads exactly n bytes at offset; false when the file is shorter.
bool read_exact(pavo::File& file, void* buf, std::size_t n, std::uint64_t offset) {
    return file.read_at(buf, n, offset) == n;
}

void set_message(std::string* message, const std::string& text) {
    if (message) *message = text;
}

// Replaces saturated 32-bit sizes and offset with the values of a ZIP64 extra field. Values that do
// not fit in 32 bits cannot be handled by this format and make the entry unreadable.
bool apply_zip64_extra(CentralEntry& e, std::string* message) {
    bool need_u = e.uncompressed_size == kMax32, need_c = e.compressed_size == kMax32,
         need_o = e.local_header_offset == kMax32;
    if (!need_u && !need_c && !need_o) return true;
    const auto* p = bytes(e.extra);
    std::size_t i = 0;
    while (i + 4 <= e.extra.size()) {
        std::uint16_t tag = get16(p + i), sz = get16(p + i + 2);
        if (i + 4 + sz > e.extra.size()) break;
        if (tag == kZip64Tag) {
            std::size_t j = i + 4, end = i + 4 + sz;
            auto take = [&](std::uint32_t& field) {
                if (j + 8 > end) return false;
                std::uint64_t v = get64(p + j);
                j += 8;
                if (v >= kMax32) return false;
                field = static_cast<std::uint32_t>(v);
                return true;
            };
            if ((need_u && !take(e.uncompressed_size)) || (need_c && !take(e.compressed_size)) ||
                (need_o && !take(e.local_header_offset))) {
                set_message(message, "member " + e.name + " is beyond the 4 GiB limit");
                return false;
            }
            return true;
        }
        i += 4 + sz;
    }
    // Saturated values with no ZIP64 field: take them at face value (a 4 GiB - 1 member is legal).
    return true;
}

struct EndRecord {
    std::uint64_t position = 0;  // of the "PK\5\6" signature
    std::uint32_t disk = 0, cd_disk = 0;
    std::uint64_t entries = 0, cd_size = 0, cd_offset = 0;
    std::uint64_t cd_end = 0;  // where the directory should end: the ZIP64 record or the end record
    bool zip64 = false;
    std::string comment;
};

ReadStatus parse_directory(pavo::File& file, std::uint64_t file_size, const EndRecord& end,
                           ArchiveDirectory& out, std::string* message) {
    if (end.disk != 0 || end.cd_disk != 0) {
        set_message(message, "archive is one part of a multi-part set");
        return ReadStatus::kBadStructure;
    }
    ArchiveDirectory dir;
    dir.comment = end.comment;
    if (end.entries == 0 && end.cd_size == 0) {
        dir.cd_offset = end.cd_offset;
        out = std::move(dir);
        return ReadStatus::kOk;
    }
    if (end.cd_size > end.cd_end || end.cd_size < kCentralHeaderSize) {
        set_message(message, "central directory size does not fit the archive");
        return ReadStatus::kNoCentralDirectory;
    }
    // Where the directory really sits: right before the end record. A stated offset lower than that
    // means bytes were put in front of the archive.
    std::uint64_t actual = end.cd_end - end.cd_size;
    if (end.cd_offset > actual) {
        set_message(message, "central directory offset points past the directory");
        return ReadStatus::kNoCentralDirectory;
    }
    dir.prefix_bytes = actual - end.cd_offset;
    dir.cd_offset = end.cd_offset;
    dir.cd_size = end.cd_size;

    std::string cd(static_cast<std::size_t>(end.cd_size), '\0');
    if (actual + end.cd_size > file_size || !read_exact(file, cd.data(), cd.size(), actual)) {
        set_message(message, "central directory is cut short");
        return ReadStatus::kTruncated;
    }
    const auto* p = bytes(cd);
    if (get32(p) != kCentralHeaderSignature) {
        set_message(message, "no central directory where the end record says");
        return ReadStatus::kNoCentralDirectory;
    }
    std::size_t pos = 0;
    while (pos + 4 <= cd.size() && get32(p + pos) == kCentralHeaderSignature) {
        if (pos + kCentralHeaderSize > cd.size()) {
            set_message(message, "central directory entry is cut short");
            return ReadStatus::kBadStructure;
        }
        const unsigned char* h = p + pos;
        std::size_t name_len = get16(h + 28), extra_len = get16(h + 30),
                    comment_len = get16(h + 32);
        std::size_t total = kCentralHeaderSize + name_len + extra_len + comment_len;
        if (pos + total > cd.size()) {
            set_message(message, "central directory entry runs past the directory");
            return ReadStatus::kBadStructure;
        }
        CentralEntry e;
        e.version_made_by = get16(h + 4);
        e.version_needed = get16(h + 6);
        e.flags = get16(h + 8);
        e.method = get16(h + 10);
        e.dos_time = get16(h + 12);
        e.dos_date = get16(h + 14);
        e.crc32 = get32(h + 16);
        e.compressed_size = get32(h + 20);
        e.uncompressed_size = get32(h + 24);
        std::uint16_t disk_start = get16(h + 34);
        e.internal_attr = get16(h + 36);
        e.external_attr = get32(h + 38);
        e.local_header_offset = get32(h + 42);
        e.raw_name.assign(cd, pos + kCentralHeaderSize, name_len);
        e.extra.assign(cd, pos + kCentralHeaderSize + name_len, extra_len);
        e.comment.assign(cd, pos + kCentralHeaderSize + name_len + extra_len, comment_len);
        e.name = decode_name(e.raw_name, e.flags);
        if (!apply_zip64_extra(e, message)) return ReadStatus::kBadStructure;
        if (disk_start != 0 && disk_start != 0xffff) {
            set_message(message, "member " + e.name + " starts on another disk");
            return ReadStatus::kBadStructure;
        }
        e.ut_mtime = parse_ut_mtime(e.extra);
        dir.entries.push_back(std::move(e));
        pos += total;
    }
    // The 16-bit count of the plain end record wraps past 65535 entries in some writers.
    std::uint64_t found = dir.entries.size();
    bool count_ok = end.zip64 ? found == end.entries : (found & 0xffff) == end.entries;
    if (!count_ok) {
        set_message(message, "central directory holds " + std::to_string(found) +
                                 " entries, the end record says " + std::to_string(end.entries));
        return ReadStatus::kBadStructure;
    }
    out = std::move(dir);
    return ReadStatus::kOk;
}

// Fills the ZIP64 values when the plain end record is saturated and a locator precedes it.
ReadStatus read_zip64_end(pavo::File& file, std::uint64_t file_size, EndRecord& end,
                          std::string* message) {
    if (end.position < kZip64LocatorSize) return ReadStatus::kOk;
    unsigned char loc[kZip64LocatorSize];
    if (!read_exact(file, loc, sizeof loc, end.position - kZip64LocatorSize) ||
        get32(loc) != kZip64LocatorSignature)
        return ReadStatus::kOk;
    std::uint64_t rec_pos = get64(loc + 8);
    // With a prefix the stated position is off by the prefix; the record sits just before the
    // locator when it has no extensible data, which is the only form ever written.
    std::uint64_t expected = end.position - kZip64LocatorSize;
    if (expected < kZip64EndRecordSize) return ReadStatus::kBadStructure;
    expected -= kZip64EndRecordSize;
    unsigned char rec[kZip64EndRecordSize];
    std::uint64_t at = rec_pos;
    if (at + kZip64EndRecordSize > file_size || !read_exact(file, rec, sizeof rec, at) ||
        get32(rec) != kZip64EndRecordSignature) {
        at = expected;
        if (!read_exact(file, rec, sizeof rec, at) || get32(rec) != kZip64EndRecordSignature) {
            set_message(message, "ZIP64 end record missing");
            return ReadStatus::kBadStructure;
        }
    }
    end.zip64 = true;
    end.disk = get32(rec + 16);
    end.cd_disk = get32(rec + 20);
    end.entries = get64(rec + 32);
    end.cd_size = get64(rec + 40);
    end.cd_offset = get64(rec + 48);
    end.cd_end = at;
    (void)file_size;
    return ReadStatus::kOk;
}

}  // namespace

const char* method_name(std::uint16_t method) {
    switch (method) {
        case 0:
            return "stored";
        case 1:
            return "shrunk";
        case 2:
        case 3:
        case 4:
        case 5:
            return "reduced";
        case 6:
            return "imploded";
        case 7:
            return "tokenized";
        case 8:
            return "deflated";
        case 9:
            return "deflate64";
        case 10:
            return "PKWARE DCL imploded";
        case 12:
            return "bzip2";
        case 14:
            return "LZMA";
        case 93:
            return "Zstandard";
        case 95:
            return "xz";
        case 98:
            return "PPMd";
        case 99:
            return "AES-encrypted";
        default:
            return "unknown";
    }
}

bool CentralEntry::is_directory() const {
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

std::optional<std::uint32_t> CentralEntry::unix_mode() const {
    unsigned host = version_made_by >> 8;
    // 3 Unix, 19 OS X: the high 16 bits of the external attributes are st_mode.
    if (host != 3 && host != 19) return std::nullopt;
    std::uint32_t mode = external_attr >> 16;
    if (mode == 0) return std::nullopt;
    return mode & 07777;
}

std::int64_t CentralEntry::mtime() const {
    return ut_mtime ? *ut_mtime : dos_datetime_to_unix(dos_date, dos_time);
}

ReadStatus read_directory(pavo::File& file, ArchiveDirectory& out, std::string* message) {
    out = ArchiveDirectory{};
    std::uint64_t size = file.size();
    if (size < kEndRecordSize) {
        set_message(message, "file too short for a ZIP archive");
        return ReadStatus::kNotFound;
    }
    std::size_t tail_len =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndRecordSize + 0xffff));
    std::uint64_t tail_start = size - tail_len;
    std::string tail(tail_len, '\0');
    if (!read_exact(file, tail.data(), tail_len, tail_start)) {
        set_message(message, "archive could not be read to its end");
        return ReadStatus::kTruncated;
    }
    const auto* p = bytes(tail);
    // Later candidates win: a signature inside a comment precedes the real record. A candidate
    // whose directory does not check out is passed over, so junk after the archive or a stray
    // signature in the comment does not hide the real record.
    std::optional<ReadStatus> first_failure;
    std::string first_message;
    // Each candidate may read a whole directory; a tail stuffed with signatures must not make
    // that quadratic.
    int candidates_left = 8;
    for (std::size_t i = tail_len - kEndRecordSize + 1; i-- > 0 && candidates_left > 0;) {
        if (get32(p + i) != kEndRecordSignature) continue;
        --candidates_left;
        EndRecord end;
        end.position = tail_start + i;
        end.disk = get16(p + i + 4);
        end.cd_disk = get16(p + i + 6);
        end.entries = get16(p + i + 10);
        end.cd_size = get32(p + i + 12);
        end.cd_offset = get32(p + i + 16);
        std::size_t comment_len = get16(p + i + 20);
        std::size_t available = tail_len - i - kEndRecordSize;
        end.comment.assign(tail, i + kEndRecordSize, std::min(comment_len, available));
        end.cd_end = end.position;
        std::string msg;
        ReadStatus st = ReadStatus::kOk;
        if (end.entries == 0xffff || end.cd_size == kMax32 || end.cd_offset == kMax32 ||
            end.disk == 0xffff)
            st = read_zip64_end(file, size, end, &msg);
        if (st == ReadStatus::kOk) st = parse_directory(file, size, end, out, &msg);
        // A comment cut short by the end of the file keeps what is left: the members are intact.
        if (st == ReadStatus::kOk) return st;
        if (!first_failure) {
            first_failure = st;
            first_message = msg;
        }
    }
    if (first_failure) {
        set_message(message, first_message);
        return *first_failure;
    }
    set_message(message, "no end-of-central-directory record");
    return ReadStatus::kNotFound;
}

ReadStatus locate_member_data(pavo::File& file, const ArchiveDirectory& dir, const CentralEntry& e,
                              std::uint64_t& data_offset) {
    std::uint64_t size = file.size();
    std::uint64_t off = static_cast<std::uint64_t>(e.local_header_offset) + dir.prefix_bytes;
    unsigned char h[kLocalHeaderSize];
    if (off + kLocalHeaderSize > size || !read_exact(file, h, sizeof h, off))
        return ReadStatus::kTruncated;
    if (get32(h) != kLocalHeaderSignature) return ReadStatus::kBadStructure;
    std::uint64_t start = off + kLocalHeaderSize + get16(h + 26) + get16(h + 28);
    std::uint64_t end = start + e.compressed_size;
    if (end > size) return ReadStatus::kTruncated;
    // Member data never reaches into the central directory; if it does, a size lies.
    std::uint64_t cd_start = dir.cd_offset + dir.prefix_bytes;
    if (dir.cd_size > 0 && off < cd_start && end > cd_start) return ReadStatus::kBadStructure;
    data_offset = start;
    return ReadStatus::kOk;
}

std::uint32_t unix_to_dos_datetime(std::int64_t t) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm) || tm.tm_year < 80) return (0x21u << 16);
    if (tm.tm_year > 207)
        return (((127u << 9) | (12u << 5) | 31u) << 16) | ((23u << 11) | (59u << 5) | 29u);
    std::uint32_t date = (static_cast<std::uint32_t>(tm.tm_year - 80) << 9) |
                         (static_cast<std::uint32_t>(tm.tm_mon + 1) << 5) |
                         static_cast<std::uint32_t>(tm.tm_mday);
    std::uint32_t time = (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
                         (static_cast<std::uint32_t>(tm.tm_min) << 5) |
                         static_cast<std::uint32_t>(tm.tm_sec / 2);
    return (date << 16) | time;
}

std::int64_t dos_datetime_to_unix(std::uint16_t date, std::uint16_t time) {
    std::tm tm{};
    tm.tm_year = 80 + (date >> 9);
    tm.tm_mon = std::clamp((date >> 5) & 0x0f, 1, 12) - 1;
    tm.tm_mday = std::clamp(date & 0x1f, 1, 31);
    tm.tm_hour = std::min(time >> 11, 23);
    tm.tm_min = std::min((time >> 5) & 0x3f, 59);
    tm.tm_sec = std::min((time & 0x1f) * 2, 59);
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::string make_ut_extra(std::int64_t mtime, std::int64_t atime, bool central) {
    std::string out;
    put16(out, kUtTag);
    put16(out, central ? 5 : 9);
    out.push_back(static_cast<char>(central ? 1 : 3));
    put32(out, static_cast<std::uint32_t>(mtime));
    if (!central) put32(out, static_cast<std::uint32_t>(atime));
    return out;
}

std::optional<std::int64_t> parse_ut_mtime(std::string_view extra) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t i = 0;
    while (i + 4 <= extra.size()) {
        std::uint16_t tag = get16(p + i), sz = get16(p + i + 2);
        if (i + 4 + sz > extra.size()) return std::nullopt;
        if (tag == kUtTag && sz >= 5 && (p[i + 4] & 1))
            // Unsigned, as current writers use it: times from 1970 to 2106.
            return static_cast<std::int64_t>(get32(p + i + 5));
        i += 4 + sz;
    }
    return std::nullopt;
}

std::string build_local_header(const CentralEntry& e, std::string_view local_extra) {
    const std::string& name = e.raw_name.empty() ? e.name : e.raw_name;
    std::string out;
    out.reserve(kLocalHeaderSize + name.size() + local_extra.size());
    put32(out, kLocalHeaderSignature);
    put16(out, e.version_needed);
    put16(out, e.flags);
    put16(out, e.method);
    put16(out, e.dos_time);
    put16(out, e.dos_date);
    put32(out, e.crc32);
    put32(out, e.compressed_size);
    put32(out, e.uncompressed_size);
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, static_cast<std::uint16_t>(local_extra.size()));
    out += name;
    out += local_extra;
    return out;
}

std::string build_central_header(const CentralEntry& e) {
    const std::string& name = e.raw_name.empty() ? e.name : e.raw_name;
    std::string out;
    out.reserve(kCentralHeaderSize + name.size() + e.extra.size() + e.comment.size());
    put32(out, kCentralHeaderSignature);
    put16(out, e.version_made_by);
    put16(out, e.version_needed);
    put16(out, e.flags);
    put16(out, e.method);
    put16(out, e.dos_time);
    put16(out, e.dos_date);
    put32(out, e.crc32);
    put32(out, e.compressed_size);
    put32(out, e.uncompressed_size);
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, static_cast<std::uint16_t>(e.extra.size()));
    put16(out, static_cast<std::uint16_t>(e.comment.size()));
    put16(out, 0);  // disk number start
    put16(out, e.internal_attr);
    put32(out, e.external_attr);
    put32(out, e.local_header_offset);
    out += name;
    out += e.extra;
    out += e.comment;
    return out;
}

std::string build_end_record(std::uint64_t entries, std::uint32_t cd_size, std::uint32_t cd_offset,
                             std::string_view comment) {
    std::string out;
    put32(out, kEndRecordSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(entries));
    put16(out, static_cast<std::uint16_t>(entries));
    put32(out, cd_size);
    put32(out, cd_offset);
    put16(out, static_cast<std::uint16_t>(comment.size()));
    out += comment;
    return out;
}

}  // namespace pavo::zip
