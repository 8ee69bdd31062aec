// Tests of the ZIP record reader and builders: sound archives, damaged ones, times and "UT" fields.
#include "archive/zipcore/zip_format.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace pavo::zip {
namespace {

namespace stdfs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string t = (stdfs::temp_directory_path() / "zipfmt-XXXXXX").string();
        if (!::mkdtemp(t.data())) std::abort();
        path_ = t;
    }
    ~TempDir() {
        std::error_code ec;
        stdfs::remove_all(path_, ec);
    }
    const stdfs::path& path() const { return path_; }

  private:
    stdfs::path path_;
};

struct Member {
    std::string name, data, comment;
    std::int64_t mtime = 1700000000;
};

// An archive made with the builders, stored method, with a UT field on every member.
std::string make_archive(const std::vector<Member>& members, const std::string& comment = "") {
    std::string out, cd;
    for (const auto& m : members) {
        CentralEntry e;
        e.name = m.name;
        e.version_made_by = (3 << 8) | 20;
        e.version_needed = 10;
        std::uint32_t dt = unix_to_dos_datetime(m.mtime);
        e.dos_date = static_cast<std::uint16_t>(dt >> 16);
        e.dos_time = static_cast<std::uint16_t>(dt);
        e.crc32 = 0x12345678;
        e.compressed_size = e.uncompressed_size = static_cast<std::uint32_t>(m.data.size());
        e.external_attr = 0100640u << 16;
        e.local_header_offset = static_cast<std::uint32_t>(out.size());
        e.extra = make_ut_extra(m.mtime, m.mtime, true);
        e.comment = m.comment;
        out += build_local_header(e, make_ut_extra(m.mtime, m.mtime, false));
        out += m.data;
        cd += build_central_header(e);
    }
    std::uint32_t cd_offset = static_cast<std::uint32_t>(out.size());
    out += cd;
    out +=
        build_end_record(members.size(), static_cast<std::uint32_t>(cd.size()), cd_offset, comment);
    return out;
}

struct Opened {
    ReadStatus status;
    ArchiveDirectory dir;
    std::string message;
    std::unique_ptr<File> file;
};

class ZipFormat : public ::testing::Test {
  protected:
    Opened open(const std::string& bytes) {
        stdfs::path p = dir_.path() / "a.zip";
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
        Opened o;
        o.file = real_file_system().open(p, OpenMode::kRead);
        o.status = read_directory(*o.file, o.dir, &o.message);
        return o;
    }
    std::string member_data(Opened& o, const CentralEntry& e) {
        std::uint64_t off = 0;
        EXPECT_EQ(locate_member_data(*o.file, o.dir, e, off), ReadStatus::kOk);
        std::string data(e.compressed_size, '\0');
        EXPECT_EQ(o.file->read_at(data.data(), data.size(), off), data.size());
        return data;
    }
    TempDir dir_;
};

TEST_F(ZipFormat, ReadsWhatTheBuildersWrite) {
    std::vector<Member> members = {{"a.txt", "hello", "first", 1700000000},
                                   {"sub/", "", "", 1600000000},
                                   {"sub/b.db", std::string(1000, 'x'), "", 1500000001}};
    Opened o = open(make_archive(members, "archive comment"));
    ASSERT_EQ(o.status, ReadStatus::kOk) << o.message;
    ASSERT_EQ(o.dir.entries.size(), 3u);
    EXPECT_EQ(o.dir.comment, "archive comment");
    EXPECT_EQ(o.dir.prefix_bytes, 0u);
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto& e = o.dir.entries[i];
        EXPECT_EQ(e.name, members[i].name);
        EXPECT_EQ(e.comment, members[i].comment);
        EXPECT_EQ(e.ut_mtime, members[i].mtime);
        EXPECT_EQ(e.mtime(), members[i].mtime);
        EXPECT_EQ(e.is_directory(), members[i].name.back() == '/');
        EXPECT_EQ(e.unix_mode(), 0640u);
        EXPECT_EQ(member_data(o, e), members[i].data);
    }
}

TEST_F(ZipFormat, FindsTheArchiveBehindAPrefixAndBeforeTrailingJunk) {
    std::vector<Member> members = {{"one", "1111", "", 1700000000}, {"two", "22", "", 1700000000}};
    // A comment that holds an end-record signature must not be taken for the record.
    std::string tricky_comment = std::string("PK\x05\x06", 4) + std::string(30, 'c');
    struct Case {
        std::string prefix, suffix, comment;
    } cases[] = {{"", "", ""},
                 {std::string(777, 'S'), "", ""},
                 {"", "trailing junk", ""},
                 {"MZ stub", "", tricky_comment}};
    for (const auto& c : cases) {
        Opened o = open(c.prefix + make_archive(members, c.comment) + c.suffix);
        ASSERT_EQ(o.status, ReadStatus::kOk) << o.message << " prefix " << c.prefix.size();
        EXPECT_EQ(o.dir.prefix_bytes, c.prefix.size());
        EXPECT_EQ(o.dir.comment, c.comment);
        ASSERT_EQ(o.dir.entries.size(), 2u);
        EXPECT_EQ(member_data(o, o.dir.entries[0]), "1111");
        EXPECT_EQ(member_data(o, o.dir.entries[1]), "22");
    }
}

TEST_F(ZipFormat, DamagedArchivesGiveAStatusNotACrash) {
    const std::string good = make_archive({{"one", "1111", "", 1}, {"two", "22", "", 1}});
    const std::size_t eocd = good.size() - kEndRecordSize;
    const std::size_t cd = eocd - 2 * (kCentralHeaderSize + 3 + 9);
    auto patch = [&](std::size_t at, std::uint32_t v, int width) {
        std::string s = good;
        for (int k = 0; k < width; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xff);
        return s;
    };
    auto patch16 = [&](std::size_t at, std::uint32_t v) { return patch(at, v, 2); };
    auto patch32 = [&](std::size_t at, std::uint32_t v) { return patch(at, v, 4); };
    struct Case {
        const char* what;
        std::string bytes;
        ReadStatus expected;
    } cases[] = {
        {"empty file", "", ReadStatus::kNotFound},
        {"not a zip", std::string(5000, 'z'), ReadStatus::kNotFound},
        {"end record only, no members", build_end_record(0, 0, 0, ""), ReadStatus::kOk},
        {"entry count too high", patch16(eocd + 10, 3), ReadStatus::kBadStructure},
        {"entry count too low", patch16(eocd + 10, 1), ReadStatus::kBadStructure},
        {"directory size larger than the file", patch32(eocd + 12, 0x7fffffff),
         ReadStatus::kNoCentralDirectory},
        {"directory offset past the directory", patch32(eocd + 16, 0x10000),
         ReadStatus::kNoCentralDirectory},
        {"name length runs past the directory", patch16(cd + 28, 0xffff),
         ReadStatus::kBadStructure},
        {"second part of a split set", patch16(eocd + 4, 1), ReadStatus::kBadStructure},
        {"directory signature broken", patch32(cd, 0x01020304), ReadStatus::kNoCentralDirectory},
    };
    for (const auto& c : cases) {
        Opened o = open(c.bytes);
        EXPECT_EQ(o.status, c.expected) << c.what << ": " << o.message;
        if (c.expected != ReadStatus::kOk) {
            EXPECT_TRUE(o.dir.entries.empty()) << c.what;
            EXPECT_FALSE(o.message.empty()) << c.what;
        }
    }
    // Every cut of the file is refused, and none is mistaken for a sound archive.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(open(good.substr(0, n)).status, ReadStatus::kOk) << "cut at " << n;
}

TEST_F(ZipFormat, LocalHeaderProblemsAreCaughtWhenLocating) {
    std::string good = make_archive({{"one", "1111", "", 1}});
    struct Case {
        const char* what;
        std::uint32_t offset, csize;
        ReadStatus expected;
    } cases[] = {
        {"sound", 0, 4, ReadStatus::kOk},
        {"offset not at a local header", 5, 4, ReadStatus::kBadStructure},
        {"offset past the end", 0x7fffff00, 4, ReadStatus::kTruncated},
        {"size running past the end", 0, 0x7fffffff, ReadStatus::kTruncated},
        {"size running into the directory", 0, 40, ReadStatus::kBadStructure},
    };
    for (const auto& c : cases) {
        Opened o = open(good);
        ASSERT_EQ(o.status, ReadStatus::kOk);
        CentralEntry e = o.dir.entries[0];
        e.local_header_offset = c.offset;
        e.compressed_size = c.csize;
        std::uint64_t off = 0;
        EXPECT_EQ(locate_member_data(*o.file, o.dir, e, off), c.expected) << c.what;
    }
}

TEST_F(ZipFormat, Zip64FieldsReplaceSaturatedValuesThatFit) {
    std::string good = make_archive({{"one", "1111", "", 1}});
    Opened o = open(good);
    ASSERT_EQ(o.status, ReadStatus::kOk);
    CentralEntry e = o.dir.entries[0];
    // Rebuild with saturated sizes and a ZIP64 extra carrying the real ones.
    e.compressed_size = e.uncompressed_size = 0xffffffff;
    std::string z64;
    put16(z64, 1);
    put16(z64, 16);
    put32(z64, 4);
    put32(z64, 0);
    put32(z64, 4);
    put32(z64, 0);
    e.extra = z64 + e.extra;
    std::string local = good.substr(0, kLocalHeaderSize + 3 + 13 + 4);
    std::string cd = build_central_header(e);
    std::string bytes = local + cd +
                        build_end_record(1, static_cast<std::uint32_t>(cd.size()),
                                         static_cast<std::uint32_t>(local.size()), "");
    Opened z = open(bytes);
    ASSERT_EQ(z.status, ReadStatus::kOk) << z.message;
    EXPECT_EQ(z.dir.entries[0].compressed_size, 4u);
    EXPECT_EQ(z.dir.entries[0].uncompressed_size, 4u);
    EXPECT_EQ(member_data(z, z.dir.entries[0]), "1111");

    // A value past 4 GiB cannot be handled in this format.
    z64[11] = 1;
    e.extra.replace(0, z64.size(), z64);
    cd = build_central_header(e);
    bytes = local + cd +
            build_end_record(1, static_cast<std::uint32_t>(cd.size()),
                             static_cast<std::uint32_t>(local.size()), "");
    EXPECT_EQ(open(bytes).status, ReadStatus::kBadStructure);
}

TEST_F(ZipFormat, NamesWithoutTheUtf8FlagAreCodePage437UnlessValidUtf8) {
    struct Case {
        std::string raw;
        std::uint16_t flags;
        std::string expected;
    } cases[] = {
        {"plain.txt", 0, "plain.txt"},
        {"\x81"
         "ber.txt",
         0,
         "\xC3\xBC"
         "ber.txt"},  // 0x81 is u-umlaut in CP437
        {"\xC3\xBC"
         "ber.txt",
         kFlagUtf8,
         "\xC3\xBC"
         "ber.txt"},
        {"\xC3\xBC"
         "ber.txt",
         0,
         "\xC3\xBC"
         "ber.txt"},  // unflagged UTF-8 from Unix writers
        {"box\xC9\xCD", 0, "box\xE2\x95\x94\xE2\x95\x90"},
    };
    for (const auto& c : cases) {
        CentralEntry e;
        e.name = c.raw;
        e.flags = c.flags;
        std::string local = build_local_header(e, "");
        std::string cd = build_central_header(e);
        Opened o = open(local + cd +
                        build_end_record(1, static_cast<std::uint32_t>(cd.size()),
                                         static_cast<std::uint32_t>(local.size()), ""));
        ASSERT_EQ(o.status, ReadStatus::kOk);
        EXPECT_EQ(o.dir.entries[0].name, c.expected);
        EXPECT_EQ(o.dir.entries[0].raw_name, c.raw);
    }
}

TEST(ZipTimes, DosDateTimeRoundTripsInLocalTime) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    struct Case {
        int y, mo, d, h, mi, s;
    } cases[] = {{1980, 1, 1, 0, 0, 0},
                 {1999, 12, 31, 23, 59, 58},
                 {2024, 2, 29, 12, 30, 10},
                 {2024, 7, 1, 2, 3, 4},
                 {2107, 12, 31, 23, 59, 58}};
    for (const auto& c : cases) {
        std::tm tm{};
        tm.tm_year = c.y - 1900;
        tm.tm_mon = c.mo - 1;
        tm.tm_mday = c.d;
        tm.tm_hour = c.h;
        tm.tm_min = c.mi;
        tm.tm_sec = c.s;
        tm.tm_isdst = -1;
        std::int64_t t = std::mktime(&tm);
        std::uint32_t dt = unix_to_dos_datetime(t);
        std::uint16_t date = static_cast<std::uint16_t>(dt >> 16),
                      time = static_cast<std::uint16_t>(dt);
        EXPECT_EQ(date >> 9, c.y - 1980);
        EXPECT_EQ((date >> 5) & 15, c.mo);
        EXPECT_EQ(date & 31, c.d);
        EXPECT_EQ(time >> 11, c.h);
        EXPECT_EQ((time >> 5) & 63, c.mi);
        EXPECT_EQ((time & 31) * 2, c.s);
        EXPECT_EQ(dos_datetime_to_unix(date, time), t);
        // Odd seconds fall to the even second below: DOS times have two-second steps.
        EXPECT_EQ(
            dos_datetime_to_unix(static_cast<std::uint16_t>(unix_to_dos_datetime(t + 1) >> 16),
                                 static_cast<std::uint16_t>(unix_to_dos_datetime(t + 1))),
            t);
    }
    // Before 1980 there is no DOS time: the earliest one is used.
    EXPECT_EQ(unix_to_dos_datetime(0), 0x00210000u);
    // Nonsense fields are clamped rather than rolled into another date.
    std::int64_t clamped =
        dos_datetime_to_unix((44 << 9) | (0 << 5) | 0, (31 << 11) | (63 << 5) | 31);
    std::time_t ct = static_cast<std::time_t>(clamped);
    std::tm out{};
    localtime_r(&ct, &out);
    EXPECT_EQ(out.tm_year, 124);
    EXPECT_EQ(out.tm_mon, 0);
    EXPECT_EQ(out.tm_mday, 1);
    EXPECT_EQ(out.tm_hour, 23);
    ::unsetenv("TZ");
    ::tzset();
}

TEST(ZipUtExtra, BuildsBothFormsAndParsesAmongOtherFields) {
    std::string local = make_ut_extra(1700000000, 1700000100, false);
    std::string central = make_ut_extra(1700000000, 1700000100, true);
    EXPECT_EQ(local.size(), 13u);
    EXPECT_EQ(central.size(), 9u);
    EXPECT_EQ(parse_ut_mtime(local), 1700000000);
    EXPECT_EQ(parse_ut_mtime(central), 1700000000);
    // After times past 2038 (unsigned), behind another field.
    std::string other;
    put16(other, 0x7875);
    put16(other, 3);
    other += "abc";
    EXPECT_EQ(parse_ut_mtime(other + make_ut_extra(3000000000LL, 0, true)), 3000000000LL);
    // Only the atime, a cut field, or none at all: no mtime.
    std::string atime_only = central;
    atime_only[4] = 2;
    EXPECT_EQ(parse_ut_mtime(atime_only), std::nullopt);
    EXPECT_EQ(parse_ut_mtime(central.substr(0, 7)), std::nullopt);
    EXPECT_EQ(parse_ut_mtime(other), std::nullopt);
    EXPECT_EQ(parse_ut_mtime(""), std::nullopt);
}

}  // namespace
}  // namespace pavo::zip
