// Tests of the imploded-method decoder against archives written by PKZIP-era tools.
#include "archive/unpack/explode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/zipcore/crc32.h"
#include "archive/zipcore/zip_format.h"

namespace pavo::zip {
namespace {

std::filesystem::path data_dir() {
    return PAVO_UNPACK_TEST_DATA;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Decoded {
    std::string name;
    std::uint16_t flags;
    ExplodeStatus status;
    std::string data;
    std::uint32_t crc_expected;
};

std::vector<Decoded> decode_imploded_members(const std::string& archive) {
    auto file = real_file_system().open(data_dir() / archive, OpenMode::kRead);
    ArchiveDirectory dir;
    std::string msg;
    EXPECT_EQ(read_directory(*file, dir, &msg), ReadStatus::kOk) << archive << ": " << msg;
    std::vector<Decoded> out;
    for (const auto& e : dir.entries) {
        if (e.method != kMethodImploded) continue;
        std::uint64_t off = 0;
        EXPECT_EQ(locate_member_data(*file, dir, e, off), ReadStatus::kOk);
        std::string comp(e.compressed_size, '\0');
        file->read_at(comp.data(), comp.size(), off);
        Decoded d{e.name, e.flags, ExplodeStatus::kOk, {}, e.crc32};
        d.status = explode_buffer(e.flags, comp, e.uncompressed_size, d.data);
        EXPECT_EQ(d.data.size(),
                  d.status == ExplodeStatus::kOk ? e.uncompressed_size : d.data.size());
        out.push_back(std::move(d));
    }
    return out;
}

TEST(Explode, DecodesEveryDictionaryAndTreeVariant) {
    struct Case {
        const char* archive;
        std::size_t members;
        std::uint16_t flags_seen;  // union of the flag bits 1 and 2 over the members
    } cases[] = {
        {"commons-compress/implode/imploding-4Kdict-2trees.zip", 1, 0},
        {"commons-compress/implode/imploding-8Kdict-3trees.zip", 1, 6},
        {"commons-compress/implode/lorem-ipsum-implode.zip", 1, 6},
        {"commons-compress/implode/moby-imploded.zip", 134, 6},
        {"libarchive/implode/test_read_format_zip_implode.zip", 1, 0},
        {"zip2-rust/legacy/implode.zip", 1, 6},
        {"sharpcompress/legacy/Zip.implode.zip", 2, 6},
    };
    for (const auto& c : cases) {
        auto members = decode_imploded_members(c.archive);
        EXPECT_EQ(members.size(), c.members) << c.archive;
        std::uint16_t seen = 0;
        for (const auto& m : members) {
            seen |= m.flags & 6;
            ASSERT_EQ(m.status, ExplodeStatus::kOk) << c.archive << " " << m.name;
            EXPECT_EQ(crc32_update(0, m.data.data(), m.data.size()), m.crc_expected)
                << c.archive << " " << m.name;
        }
        EXPECT_EQ(seen, c.flags_seen) << c.archive;
    }
}

TEST(Explode, MatchesKnownContent) {
    // Raw stream without a container: 4K dictionary, two trees.
    std::string out;
    ASSERT_EQ(
        explode_buffer(0, slurp(data_dir() / "zip2-rust/legacy/implode_hamlet_256.bin"), 256, out),
        ExplodeStatus::kOk);
    EXPECT_EQ(out, slurp(data_dir() / "zip2-rust/legacy/implode_hamlet_256.out"));
    auto members = decode_imploded_members("zip2-rust/legacy/implode.zip");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].data, slurp(data_dir() / "zip2-rust/legacy/first.txt"));
}

TEST(Explode, DamagedStreamsEndInAStatus) {
    std::string good = slurp(data_dir() / "zip2-rust/legacy/implode_hamlet_256.bin");
    std::string out;
    // Cut anywhere: the data runs out (or the trees do) before 256 bytes are made.
    for (std::size_t n = 0; n < good.size(); n += 7) {
        ExplodeStatus st = explode_buffer(0, good.substr(0, n), 256, out);
        EXPECT_TRUE(st == ExplodeStatus::kInputEnded || st == ExplodeStatus::kBadTrees) << n;
        EXPECT_LE(out.size(), 256u);
    }
    // Tree descriptions with too many or too few lengths, or lengths no prefix code can have.
    std::string too_few("\x00\x30", 2);                // 4 lengths where 64 are due
    std::string over_full("\x03\xf0\xf0\xf0\xf0", 5);  // 64 codes of one bit
    for (const std::string& bad :
         {too_few, over_full, std::string("\xff") + std::string(300, '\xff')})
        EXPECT_EQ(explode_buffer(0, bad, 10, out), ExplodeStatus::kBadTrees);
    // Never more output than asked for, whatever the stream says.
    ASSERT_EQ(explode_buffer(0, good, 100, out), ExplodeStatus::kOk);
    EXPECT_EQ(out, slurp(data_dir() / "zip2-rust/legacy/implode_hamlet_256.out").substr(0, 100));
    // The output side can stop the run.
    std::size_t pos = 0;
    ExplodeStatus st = explode(
        0, 256,
        [&](std::uint8_t* buf, std::size_t cap) {
            std::size_t n = std::min(cap, good.size() - pos);
            std::copy(good.begin() + static_cast<long>(pos),
                      good.begin() + static_cast<long>(pos + n), buf);
            pos += n;
            return n;
        },
        [](const std::uint8_t*, std::size_t) { return false; });
    EXPECT_EQ(st, ExplodeStatus::kStopped);
}

}  // namespace
}  // namespace pavo::zip
