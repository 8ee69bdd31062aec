// CorvexZipSpan: split sets laid out as the ZIP application note describes, joined back byte for
// byte, sets of other archivers joined, and every failure leaving nothing half-written behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "archive/pack/pack_engine.h"
#include "archive/span/corvex_zip_span.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace {

namespace fs = std::filesystem;

std::uint32_t get16(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t get32(const std::string& s, std::size_t at) {
    return get16(s, at) | (get16(s, at + 2) << 16);
}

struct Library {
    Library() {
        handle = ::dlopen(PAVO_SPAN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        set_property = reinterpret_cast<int (*)(int, const char*)>(::dlsym(handle, "SetProperty"));
        set_callback =
            reinterpret_cast<int (*)(int, CorvexSpanAnyFn)>(::dlsym(handle, "SetCallback"));
        span = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(handle, "Span"));
        unspan = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(handle, "UnSpan"));
        is_last = reinterpret_cast<int (*)(const char*)>(::dlsym(handle, "IsLast"));
    }
    ~Library() {
        if (handle) ::dlclose(handle);
    }
    void* handle = nullptr;
    int (*set_property)(int, const char*) = nullptr;
    int (*set_callback)(int, CorvexSpanAnyFn) = nullptr;
    int (*span)(const char*, const char*) = nullptr;
    int (*unspan)(const char*, const char*) = nullptr;
    int (*is_last)(const char*) = nullptr;
};

// The central directory of an archive, by name: CRC, sizes.
std::map<std::string, std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> directory_of(
    const std::string& zip) {
    std::map<std::string, std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> out;
    std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) return out;
    std::size_t pos = get32(zip, end + 16);
    for (std::uint32_t i = 0; i < get16(zip, end + 10); ++i) {
        std::size_t n = get16(zip, pos + 28);
        std::string name = zip.substr(pos + 46, n);
        // Each entry must point at its local header in the joined archive.
        EXPECT_EQ(zip.compare(get32(zip, pos + 42), 4, "PK\x03\x04"), 0) << name;
        EXPECT_EQ(get16(zip, pos + 34), 0u) << name;
        out[name] = {get32(zip, pos + 16), get32(zip, pos + 20), get32(zip, pos + 24)};
        pos += 46 + n + get16(zip, pos + 30) + get16(zip, pos + 32);
    }
    return out;
}

class SpanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(lib.handle, nullptr) << ::dlerror();
        ASSERT_TRUE(lib.set_property && lib.set_callback && lib.span && lib.unspan && lib.is_last);
        work = home.path() / "work";
        fs::create_directories(work / "src");
        ASSERT_EQ(lib.set_property(kSpanPropPartSize, "65536"), kSpanOk);
        ASSERT_EQ(lib.set_property(kSpanPropOverwrite, "0"), kSpanOk);
        ASSERT_EQ(lib.set_property(kSpanPropMaxParts, "999"), kSpanOk);
        for (int n = 1; n <= 3; ++n) ASSERT_EQ(lib.set_callback(n, nullptr), kSpanOk);
    }

    // Packs files of the given sizes (random, so they stay their size when stored) into
    // work/in.zip.
    std::string pack(const std::vector<std::size_t>& sizes) {
        std::mt19937 rng(42);
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::string data(sizes[i], '\0');
            for (char& c : data) c = static_cast<char>(rng());
            pavo::write_file_atomically(work / "src" / ("file" + std::to_string(i) + ".bin"), data);
        }
        fs::path before = fs::current_path();
        fs::current_path(work / "src");
        std::string archive = (work / "in.zip").string();
        const char* argv[] = {"pack", "-q", "-0", archive.c_str(), "*"};
        int r = pavo::zip::pack_main(5, argv, {});
        fs::current_path(before);
        EXPECT_EQ(r, 0);
        return pavo::read_whole_file(work / "in.zip");
    }

    std::vector<std::string> parts_of(const std::string& base) {
        std::vector<std::string> parts;
        for (int i = 1; fs::exists(base + (i < 10 ? ".z0" : ".z") + std::to_string(i)); ++i)
            parts.push_back(
                pavo::read_whole_file(base + (i < 10 ? ".z0" : ".z") + std::to_string(i)));
        if (fs::exists(base + ".zip")) parts.push_back(pavo::read_whole_file(base + ".zip"));
        return parts;
    }

    // Checks the layout of a split set: the signature, whole header records inside one part, every
    // entry's part number and offset naming its local header, and the end record's numbers.
    void check_layout(const std::vector<std::string>& parts, std::size_t part_size) {
        ASSERT_GE(parts.size(), 2u);
        EXPECT_EQ(parts[0].substr(0, 8), std::string("PK\x07\x08PK\x03\x04", 8));
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) EXPECT_LE(parts[i].size(), part_size);
        const std::string& last = parts.back();
        std::size_t end = last.rfind(std::string("PK\x05\x06", 4));
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(get16(last, end + 4), parts.size() - 1);  // this disk
        std::uint32_t cd_disk = get16(last, end + 6);
        std::uint32_t entries = get16(last, end + 10);
        std::size_t pos = get32(last, end + 16);
        std::uint32_t disk = cd_disk, here = 0;
        for (std::uint32_t i = 0; i < entries; ++i) {
            if (pos >= parts[disk].size()) {  // the directory went on in the next part
                ++disk;
                pos = 0;
            }
            const std::string& p = parts[disk];
            ASSERT_EQ(p.compare(pos, 4, "PK\x01\x02"), 0) << "record " << i;
            std::size_t len = 46 + get16(p, pos + 28) + get16(p, pos + 30) + get16(p, pos + 32);
            ASSERT_LE(pos + len, p.size()) << "directory record cut by a part boundary";
            std::uint32_t local_disk = get16(p, pos + 34);
            std::size_t local = get32(p, pos + 42);
            ASSERT_LT(local_disk, parts.size());
            const std::string& lp = parts[local_disk];
            ASSERT_EQ(lp.compare(local, 4, "PK\x03\x04"), 0) << "entry " << i;
            EXPECT_LE(local + 30 + get16(lp, local + 26) + get16(lp, local + 28), lp.size())
                << "local header cut by a part boundary";
            if (disk == parts.size() - 1) ++here;
            pos += len;
        }
        EXPECT_EQ(get16(last, end + 8), here);
    }

    pavo::testing::TempHome home;
    Library lib;
    fs::path work;
};

TEST_F(SpanTest, SplitSetFollowsTheApplicationNoteAndJoinsBackByteForByte) {
    // Many small members put header records at every distance from a part boundary.
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 120; ++i) sizes.push_back(700 + 37 * i);
    sizes.push_back(150000);
    std::string original = pack(sizes);
    const std::string base = (work / "set").string();
    ASSERT_EQ(lib.span((work / "in.zip").c_str(), (base + ".zip").c_str()), kSpanOk);
    auto parts = parts_of(base);
    EXPECT_GE(parts.size(), 6u);
    check_layout(parts, 65536);
    EXPECT_EQ(lib.is_last((base + ".zip").c_str()), 1);
    EXPECT_EQ(lib.is_last((base + ".z01").c_str()), 0);

    // Any part names the set.
    for (const char* name : {".zip", ".z01", ".z03"}) {
        fs::path joined = work / "joined.zip";
        ASSERT_EQ(lib.unspan((base + name).c_str(), joined.c_str()), kSpanOk) << name;
        EXPECT_TRUE(pavo::read_whole_file(joined) == original) << name;
        fs::remove(joined);
    }
}

TEST_F(SpanTest, ArchiveThatFitsOnePartGetsTheOneSegmentMarker) {
    std::string original = pack({100, 200});
    const std::string base = (work / "small").string();
    ASSERT_EQ(lib.span((work / "in.zip").c_str(), base.c_str()), kSpanOk);
    EXPECT_FALSE(fs::exists(base + ".z01"));
    // The one part is itself a readable archive: its offsets count the marker.
    std::string only = pavo::read_whole_file(base + ".zip");
    EXPECT_EQ(only.substr(0, 4), "PK00");
    EXPECT_EQ(directory_of(only), directory_of(original));
    ASSERT_EQ(lib.unspan((base + ".zip").c_str(), (work / "j.zip").c_str()), kSpanOk);
    EXPECT_TRUE(pavo::read_whole_file(work / "j.zip") == original);
}

int g_calls = 0;
int stop_at_second(const char*, int) {
    return ++g_calls >= 2 ? 1 : 0;
}

TEST_F(SpanTest, FailuresLeaveNoPartsBehindAndKeepExistingFiles) {
    pack({200000, 100000});
    const std::string base = (work / "set").string();
    const std::string in = (work / "in.zip").string();

    EXPECT_EQ(lib.set_property(kSpanPropPartSize, "65535"), kSpanBadArgument);
    EXPECT_EQ(lib.set_property(kSpanPropPartSize, "12x"), kSpanBadArgument);
    EXPECT_EQ(lib.set_property(42, "1"), kSpanBadArgument);
    EXPECT_EQ(lib.set_callback(9, nullptr), kSpanBadArgument);
    EXPECT_EQ(lib.span(nullptr, base.c_str()), kSpanBadArgument);

    pavo::write_file_atomically(work / "not.zip", "this is no archive");
    EXPECT_EQ(lib.span((work / "not.zip").c_str(), base.c_str()), kSpanInputUnreadable);
    EXPECT_EQ(lib.span((work / "missing.zip").c_str(), base.c_str()), kSpanInputUnreadable);

    ASSERT_EQ(lib.set_property(kSpanPropMaxParts, "2"), kSpanOk);
    EXPECT_EQ(lib.span(in.c_str(), base.c_str()), kSpanTooManyParts);
    EXPECT_TRUE(parts_of(base).empty());
    ASSERT_EQ(lib.set_property(kSpanPropMaxParts, "999"), kSpanOk);

    g_calls = 0;
    ASSERT_EQ(
        lib.set_callback(kSpanCallbackProgress, reinterpret_cast<CorvexSpanAnyFn>(&stop_at_second)),
        kSpanOk);
    EXPECT_EQ(lib.span(in.c_str(), base.c_str()), kSpanStopped);
    EXPECT_TRUE(parts_of(base).empty());
    ASSERT_EQ(lib.set_callback(kSpanCallbackProgress, nullptr), kSpanOk);

    // Parts of another set under that name are not overwritten unless allowed.
    pavo::write_file_atomically(base + ".z02", "someone else's");
    EXPECT_EQ(lib.span(in.c_str(), base.c_str()), kSpanCannotCreate);
    EXPECT_EQ(pavo::read_whole_file(base + ".z02"), "someone else's");
    EXPECT_FALSE(fs::exists(base + ".z01"));
    ASSERT_EQ(lib.set_property(kSpanPropOverwrite, "1"), kSpanOk);
    EXPECT_EQ(lib.span(in.c_str(), base.c_str()), kSpanOk);
}

TEST_F(SpanTest, DamagedSetsAreReadErrorsAndLeaveNoOutput) {
    pack({200000, 100000});
    const std::string base = (work / "set").string();
    ASSERT_EQ(lib.span((work / "in.zip").c_str(), base.c_str()), kSpanOk);
    const fs::path out = work / "joined.zip";

    fs::rename(base + ".z02", work / "z02.saved");  // a part missing
    EXPECT_EQ(lib.unspan((base + ".zip").c_str(), out.c_str()), kSpanReadError);
    EXPECT_FALSE(fs::exists(out));
    fs::rename(work / "z02.saved", base + ".z02");

    std::string part = pavo::read_whole_file(base + ".z02");  // a part cut short
    pavo::write_file_atomically(base + ".z02", part.substr(0, part.size() - 1000));
    EXPECT_EQ(lib.unspan((base + ".zip").c_str(), out.c_str()), kSpanReadError);
    EXPECT_FALSE(fs::exists(out));

    EXPECT_EQ(lib.unspan((work / "nothing.zip").c_str(), out.c_str()), kSpanReadError);
    EXPECT_EQ(lib.is_last((work / "nothing.zip").c_str()), kSpanReadError);
}

TEST_F(SpanTest, SetsOfOtherArchiversJoinIntoTheirUnsplitTwins) {
    struct Case {
        const char* set;
        const char* twin;
    } cases[] = {
        {"winrar/split_zip_created_by_winrar.zip", "winrar/zip_to_compare_created_by_winrar.zip"},
        {"winzip/WinZip26.nocomp.multi.z01", "winzip/Zip.none.zip"},
    };
    for (const auto& c : cases) {
        const fs::path data = PAVO_SPLIT_DATA;
        const fs::path out = work / "joined.zip";
        ASSERT_EQ(lib.unspan((data / c.set).c_str(), out.c_str()), kSpanOk) << c.set;
        auto joined = directory_of(pavo::read_whole_file(out));
        auto twin = directory_of(pavo::read_whole_file(data / c.twin));
        ASSERT_FALSE(joined.empty());
        // Every member of the set is in the twin with the same CRC and uncompressed size.
        // (A name outside ASCII may be stored in another encoding by the twin's archiver.)
        for (const auto& [name, info] : joined) {
            auto it = twin.find(name);
            if (it == twin.end())
                it = std::find_if(twin.begin(), twin.end(), [&, i = info](const auto& t) {
                    return std::get<0>(t.second) == std::get<0>(i) &&
                           std::get<2>(t.second) == std::get<2>(i);
                });
            ASSERT_NE(it, twin.end()) << c.set << ": " << name;
            EXPECT_EQ(std::get<0>(info), std::get<0>(it->second)) << name;
            EXPECT_EQ(std::get<2>(info), std::get<2>(it->second)) << name;
        }
        fs::remove(out);
    }
}

}  // namespace
