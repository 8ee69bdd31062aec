// The packing engine end to end: round trips, updates and deletions, stored cases, encryption,
// selection rules, result codes, aborts and failures of the file system.
#include "archive/pack/pack_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <set>

#include "archive/pack/src/pack_compress.h"
#include "archive/zipcore/zip_format.h"
#include "pack_test_support.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::zip::testing {
namespace {

std::set<std::string> names_of(const std::map<std::string, Member>& m) {
    std::set<std::string> s;
    for (const auto& [k, v] : m) s.insert(k);
    return s;
}

// Control-style arguments for adding everything under the current folder.
std::vector<std::string> control_add(const std::string& archive, int level = 6) {
    return {
        "-r", "-" + std::to_string(level), "-q", "-t", "01011900", "-tt", "12319999", "-S", archive,
        "*"};
}

TEST(PackEngine, RoundTripWithFoldersTimesAndNames) {
    PackSandbox box;
    const std::int64_t t = 1700000000;  // 2023-11-14
    box.write("PAVODEN2.DB", table_like(200000), t);
    box.write("sub/deeper/jsearch2.DB", table_like(5000, 2), t + 60);
    box.write("sub/empty.txt", "", t);
    box.write("Zürich notes.txt", "grüezi", t);
    fs::create_directories(box.src() / "emptydir");
    std::string zip = box.out("a.zip").string();
    auto r = run_pack(control_add(zip));
    ASSERT_EQ(r.rc, 0) << (r.messages.empty() ? "" : r.messages.back());
    auto m = members_by_name(zip);
    EXPECT_EQ(names_of(m),
              (std::set<std::string>{"PAVODEN2.DB", "sub/", "sub/deeper/", "sub/deeper/jsearch2.DB",
                                     "sub/empty.txt", "Zürich notes.txt", "emptydir/"}));
    for (const auto& [name, mem] : m) {
        EXPECT_TRUE(mem.decoded) << name;
        ASSERT_TRUE(mem.entry.ut_mtime.has_value()) << name;
        if (!mem.entry.is_directory()) {
            EXPECT_EQ(mem.data, read_bytes(box.src() / name)) << name;
        }
    }
    EXPECT_EQ(m["PAVODEN2.DB"].entry.method, kMethodDeflated);
    EXPECT_EQ(*m["PAVODEN2.DB"].entry.ut_mtime, t);
    EXPECT_EQ(*m["sub/deeper/jsearch2.DB"].entry.ut_mtime, t + 60);
    std::uint32_t dos = unix_to_dos_datetime(t);
    EXPECT_EQ(m["PAVODEN2.DB"].entry.dos_date, dos >> 16);
    EXPECT_EQ(m["PAVODEN2.DB"].entry.dos_time, dos & 0xffff);
    EXPECT_TRUE(m["Zürich notes.txt"].entry.flags & kFlagUtf8);
    EXPECT_FALSE(m["PAVODEN2.DB"].entry.flags & kFlagUtf8);
    EXPECT_EQ(m["sub/empty.txt"].entry.method, kMethodStored);
    EXPECT_TRUE(box.temp_files().empty());
    // One progress record per file ends with done, and the last total is 100.
    int done = 0;
    for (const auto& p : r.progress) done += p.done;
    EXPECT_EQ(done, 4);
    EXPECT_EQ(r.progress.back().total_percent, 100);
}

TEST(PackEngine, EveryLevelDecodesAndLevelZeroStores) {
    PackSandbox box;
    box.write("t.db", table_like(300000));
    for (int level = 0; level <= 9; ++level) {
        std::string zip = box.out("l" + std::to_string(level) + ".zip").string();
        ASSERT_EQ(run_pack({"-" + std::to_string(level), "-q", zip, "t.db"}).rc, 0) << level;
        auto m = members_by_name(zip);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_TRUE(m["t.db"].decoded) << level;
        EXPECT_EQ(m["t.db"].entry.method, level == 0 ? kMethodStored : kMethodDeflated) << level;
        if (level > 0) {
            EXPECT_LT(m["t.db"].entry.compressed_size, 300000u / 2) << level;
        }
    }
}

TEST(PackEngine, StoredCases) {
    PackSandbox box;
    box.write("inner.zip", table_like(50000));    // suffix list: stored even at -9
    box.write("OLD.ARJ", table_like(50000, 3));   // suffixes compare without case
    box.write("random.bin", noise(100000));       // deflating does not shrink it
    box.write("text.txt", table_like(50000, 4));  // the control case: deflated
    std::string zip = box.out("s.zip").string();
    ASSERT_EQ(run_pack({"-9", "-q", zip, "*"}).rc, 0);
    auto m = members_by_name(zip);
    EXPECT_EQ(m["inner.zip"].entry.method, kMethodStored);
    EXPECT_EQ(m["OLD.ARJ"].entry.method, kMethodStored);
    EXPECT_EQ(m["random.bin"].entry.method, kMethodStored);
    EXPECT_EQ(m["random.bin"].entry.compressed_size, 100000u);
    EXPECT_EQ(m["text.txt"].entry.method, kMethodDeflated);
    for (const auto& [n, mem] : m) EXPECT_TRUE(mem.decoded) << n;
}

// Large members go through the block path; shrink the sizes so small files reach it.
class BlockSizes : public ::testing::Test {
  protected:
    void SetUp() override { detail::set_block_sizes_for_tests(100000, 40000); }
    void TearDown() override {
        detail::set_block_sizes_for_tests(0, 0);
        set_pack_worker_threads(0);
        set_pack_random_seed(std::nullopt);
    }
};

TEST_F(BlockSizes, SameBytesWithOneOrFourThreadsAndBlocksDecode) {
    PackSandbox box;
    box.write("big.db", table_like(1000000), 1600000000);
    box.write("mid.db", table_like(90000, 5), 1600000000);
    box.write("noise.bin", noise(250000), 1600000000);  // block path, then stored again
    box.write("small.txt", "small", 1600000000);
    set_pack_random_seed(42);
    // The first read moves the files' access times, which the "UT" field records: read them once
    // before the runs that are compared.
    ASSERT_EQ(run_pack({"-q", box.out("warm.zip").string(), "*"}).rc, 0);
    std::string bytes[2];
    for (int i = 0; i < 2; ++i) {
        set_pack_worker_threads(i == 0 ? 1 : 4);
        std::string zip = box.out("p" + std::to_string(i) + ".zip").string();
        ASSERT_EQ(run_pack({"-6", "-q", "-P", "pw", zip, "*"}).rc, 0);
        bytes[i] = read_bytes(zip);
        auto m = members_by_name(zip, "pw");
        ASSERT_EQ(m.size(), 4u);
        for (const auto& [n, mem] : m) EXPECT_TRUE(mem.decoded) << n;
        EXPECT_EQ(m["noise.bin"].entry.method, kMethodStored);
        EXPECT_EQ(m["big.db"].entry.method, kMethodDeflated);
    }
    EXPECT_TRUE(bytes[0] == bytes[1]) << "archives differ with the thread count";
}

TEST(PackEngine, UpdateReplacesOneMemberAndCopiesTheOthersByteForByte) {
    PackSandbox box;
    box.write("a.db", table_like(40000, 1));
    box.write("b.db", table_like(40000, 2));
    box.write("c.db", table_like(40000, 3));
    std::string zip = box.out("u.zip").string();
    ASSERT_EQ(run_pack({"-6", "-q", zip, "*"}).rc, 0);
    auto before = members_by_name(zip);
    // A different level proves the others are copied, not compressed again.
    box.write("b.db", table_like(30000, 9));
    box.write("d.db", "new");
    ASSERT_EQ(run_pack({"-1", "-q", zip, "b.db", "d.db"}).rc, 0);
    auto after_list = read_members(zip);
    std::vector<std::string> order;
    for (const auto& m : after_list) order.push_back(m.entry.name);
    EXPECT_EQ(order, (std::vector<std::string>{"a.db", "b.db", "c.db", "d.db"}));
    auto after = members_by_name(zip);
    EXPECT_EQ(after["a.db"].raw, before["a.db"].raw);
    EXPECT_EQ(after["c.db"].raw, before["c.db"].raw);
    EXPECT_EQ(after["b.db"].data, table_like(30000, 9));
    EXPECT_EQ(after["d.db"].data, "new");
    for (const auto& [n, mem] : after) EXPECT_TRUE(mem.decoded) << n;
}

TEST(PackEngine, DeleteAndNothingToDelete) {
    PackSandbox box;
    box.write("keep.db", table_like(30000));
    box.write("drop.txt", "x");
    box.write("sub/drop2.txt", "y");
    std::string zip = box.out("d.zip").string();
    ASSERT_EQ(run_pack({"-r", "-q", zip, "*"}).rc, 0);
    auto before = members_by_name(zip);
    ASSERT_EQ(run_pack({"-d", "-q", zip, "*", "-i", "*.txt"}).rc, 0);
    auto after = members_by_name(zip);
    EXPECT_EQ(names_of(after), (std::set<std::string>{"keep.db", "sub/"}));
    EXPECT_EQ(after["keep.db"].raw, before["keep.db"].raw);
    std::string bytes = read_bytes(zip);
    EXPECT_EQ(run_pack({"-d", "-q", zip, "missing.db"}).rc, 12);
    EXPECT_EQ(read_bytes(zip), bytes);
    EXPECT_EQ(run_pack({"-d", "-q", box.out("none.zip").string(), "*"}).rc, 13);
    // Deleting every member leaves an empty archive that peers still open; deleting from it is 13.
    ASSERT_EQ(run_pack({"-d", "-q", zip, "*"}).rc, 0);
    EXPECT_TRUE(members_by_name(zip).empty());
    EXPECT_EQ(run_pack({"-d", "-q", zip, "*"}).rc, 13);
    EXPECT_TRUE(box.temp_files().empty());
}

TEST(PackEngine, EncryptionRoundTripAndWrongPassword) {
    PackSandbox box;
    box.write("secret.db", table_like(70000));
    box.write("tiny.txt", "x");
    std::string zip = box.out("e.zip").string();
    ASSERT_EQ(run_pack({"-q", "-P", "s3cret pass", zip, "*"}).rc, 0);
    auto good = members_by_name(zip, "s3cret pass");
    for (const auto& [n, mem] : good) {
        EXPECT_TRUE(mem.entry.encrypted()) << n;
        EXPECT_TRUE(mem.decoded) << n;
        EXPECT_EQ(mem.data, read_bytes(box.src() / n));
    }
    auto bad = members_by_name(zip, "wrong");
    for (const auto& [n, mem] : bad) EXPECT_FALSE(mem.decoded) << n;
    EXPECT_EQ(run_pack({"-q", "-P", "", zip, "*"}).rc, 16);
}

TEST(PackEngine, SelectionRules) {
    PackSandbox box;
    box.write("report1.txt", "1");
    box.write("report2.txt", "2");
    box.write("report3.txt", "3");
    box.write("a[1].txt", "literal");
    box.write("a1.txt", "a1");
    box.write("notes.DOC", "doc");
    box.write(".hidden", "h");
    box.write(".cache/x.txt", "hx");
    box.write("sub/y.txt", "y");
    box.write("old.txt", "old", 946684800);   // 2000-01-01
    box.write("new.txt", "new", 1700000000);  // 2023
    struct Case {
        std::vector<std::string> args;
        std::set<std::string> expected;
    };
    // "@" stands for the archive name.
    const Case cases[] = {
        {{"@", "*", "-i", "report<12>.txt", "-Gw"}, {"report1.txt", "report2.txt"}},
        {{"-Gw", "@", "*", "-i", "a[1].txt"}, {"a[1].txt"}},
        {{"@", "*", "-i", "a[1].txt"}, {"a1.txt"}},
        {{"@", "*", "-i", "*.txt", "*.doc"},
         {"report1.txt", "report2.txt", "report3.txt", "a[1].txt", "a1.txt", "notes.DOC", "old.txt",
          "new.txt"}},
        {{"-r", "@", "*", "-i", "*.txt", "-x", "report*", "a*"},
         {"sub/y.txt", "old.txt", "new.txt"}},
        {{"-r", "-S", "@", "*", "-i", "*/x.txt"}, {".cache/x.txt"}},
        {{"-r", "@", "*", "-i", "*/x.txt"}, {}},
        {{"-S", "@", ".hidden"}, {".hidden"}},
        {{"@", ".hidden"}, {}},
        {{"@", "*", "-i", "c:\\mydata\\*.txt"}, {}},
        {{"@", "*", "-i", ".\\old.txt"}, {"old.txt"}},
        {{"-t", "01012010", "@", "*", "-i", "*.txt"},
         {"report1.txt", "report2.txt", "report3.txt", "a[1].txt", "a1.txt", "new.txt"}},
        {{"-tt", "01012010", "@", "*", "-i", "*.txt"}, {"old.txt"}},
        {{"-r", "-D", "@", "sub"}, {"sub/y.txt"}},
        {{"-j", "-r", "@", "sub"}, {"y.txt"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string zip = box.out("sel" + std::to_string(n++) + ".zip").string();
        std::vector<std::string> args{"-q"};
        for (const auto& a : c.args) args.push_back(a == "@" ? zip : a);
        auto r = run_pack(args);
        if (c.expected.empty()) {
            EXPECT_EQ(r.rc, 12) << n;
            continue;
        }
        ASSERT_EQ(r.rc, 0) << "case " << n;
        EXPECT_EQ(names_of(members_by_name(zip)), c.expected) << "case " << n;
    }
}

TEST(PackEngine, ArchiveInsideTheFolderIsNotAddedToItself) {
    PackSandbox box;
    box.write("a.txt", "a");
    ASSERT_EQ(run_pack({"-q", "self.zip", "*"}).rc, 0);
    box.write("b.txt", "b");
    ASSERT_EQ(run_pack({"-q", "self.zip", "*"}).rc, 0);
    EXPECT_EQ(names_of(members_by_name(box.src() / "self.zip")),
              (std::set<std::string>{"a.txt", "b.txt"}));
    // A name without a suffix gets ".zip", as the classic packer does.
    ASSERT_EQ(run_pack({"-q", "plain", "a.txt"}).rc, 0);
    EXPECT_TRUE(fs::exists(box.src() / "plain.zip"));
}

TEST(PackEngine, LogicalArchivePath) {
    PackSandbox box;
    box.write("a.txt", "a");
    fs::create_directories(box.root() / "home" / "drive_c" / "mydata" / "zip");
    ASSERT_EQ(run_pack({"-q", "\"c:\\MYDATA\\zip\\b.zip\"", "*"}).rc, 0);
    EXPECT_TRUE(fs::exists(box.root() / "home" / "drive_c" / "mydata" / "zip" / "b.zip"));
}

TEST(PackEngine, NamesOfFilesOutsideTheFolderNeverClimbOut) {
    PackSandbox box;
    fs::path c_root = box.root() / "home" / "drive_c";
    fs::create_directories(c_root / "mydata");
    std::ofstream(c_root / "x.txt") << "x";
    box.write("../out/host.txt", "h");
    std::string zip = box.out("n.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "c:\\mydata\\..\\x.txt", box.out("host.txt").string()}).rc, 0);
    auto m = members_by_name(zip);
    std::string host_name = box.out("host.txt").relative_path().generic_string();
    EXPECT_EQ(names_of(m), (std::set<std::string>{"x.txt", host_name}));
    EXPECT_EQ(m["x.txt"].data, "x");
}

TEST(PackEngine, ArgumentAndArchiveErrors) {
    PackSandbox box;
    box.write("a.txt", "a");
    std::string zip = box.out("x.zip").string();
    struct Case {
        std::vector<std::string> args;
        int rc;
    };
    const Case cases[] = {
        {{"-q", "-K", zip, "*"}, 16},
        {{"-q", "-t", "01011900", "-t", "01011901", zip, "*"}, 16},
        {{"-q", "-t", "13011900", zip, "*"}, 16},
        {{"-q", "-P"}, 16},
        {{"-q"}, 16},
        {{"-q", zip}, 12},
        {{"-q", zip, "nothing*"}, 12},
        {{"-q", zip, "-i", "*.none", "*"}, 12},
        {{"-q", (box.root() / "no" / "such" / "x.zip").string(), "*"}, 15},
    };
    for (const Case& c : cases) {
        auto r = run_pack(c.args);
        EXPECT_EQ(r.rc, c.rc) << ::testing::PrintToString(c.args);
        EXPECT_FALSE(fs::exists(zip));
    }
    // An existing file that is not an archive, and one cut short.
    box.write("../out/junk.zip", std::string(5000, 'j'));
    EXPECT_EQ(run_pack({"-q", box.out("junk.zip").string(), "*"}).rc, 3);
    box.write("big.db", table_like(100000));
    std::string good = box.out("good.zip").string();
    ASSERT_EQ(run_pack({"-q", good, "*"}).rc, 0);
    std::string bytes = read_bytes(good);
    std::string cut = bytes.substr(0, 3000) + bytes.substr(bytes.size() - 200);
    std::ofstream(box.out("cut.zip"), std::ios::binary) << cut;
    int rc = run_pack({"-q", box.out("cut.zip").string(), "a.txt"}).rc;
    EXPECT_TRUE(rc == 2 || rc == 3) << rc;
    EXPECT_EQ(read_bytes(box.out("cut.zip")), cut);
    EXPECT_TRUE(box.temp_files().empty());
}

void put32_at(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
std::uint32_t get_at(const std::string& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// The old end record's comment is written back unchanged; one that holds an end record with its
// own directory would be found first in the new archive and hide the directory really written.
TEST(PackEngine, ArchiveCommentIsKeptUnlessItWouldHideTheNewDirectory) {
    PackSandbox box;
    box.write("a.txt", "new member data, new member data, new member data");
    // A plain comment, even one with the signature's bytes in it, stays.
    box.write("old.db", table_like(3000));
    std::string zip = box.out("c.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "old.db"}).rc, 0);
    std::string bytes = read_bytes(zip);
    const std::string comment =
        std::string("made here PK\x05\x06", 14) + " by hand, on a machine nobody knows";
    bytes[bytes.size() - 2] = static_cast<char>(comment.size());
    bytes += comment;
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(run_pack({"-q", zip, "a.txt"}).rc, 0);
    {
        auto f = real_file_system().open(zip, OpenMode::kRead);
        ArchiveDirectory dir;
        ASSERT_EQ(read_directory(*f, dir), ReadStatus::kOk);
        EXPECT_EQ(dir.comment, comment);
    }
    EXPECT_EQ(names_of(members_by_name(zip)), (std::set<std::string>{"a.txt", "old.db"}));

    // An end record at the start whose comment runs past the file swallows a whole archive whose
    // offsets are 100 bytes too high, so its own end record does not check out: the file reads as
    // an empty archive with that comment. Behind a new member, the swallowed archive's offsets fit.
    std::string inner = read_bytes(zip);
    std::size_t eocd = inner.size() - 22 - comment.size();
    ASSERT_EQ(get_at(inner, eocd, 4), 0x06054b50u);
    inner.resize(eocd + 22);
    inner[eocd + 20] = inner[eocd + 21] = 0;
    std::uint32_t cd = get_at(inner, eocd + 16, 4);
    put32_at(inner, eocd + 16, cd + 100);
    for (std::size_t at = cd; at < eocd;) {
        put32_at(inner, at + 42, get_at(inner, at + 42, 4) + 100);
        at +=
            46 + get_at(inner, at + 28, 2) + get_at(inner, at + 30, 2) + get_at(inner, at + 32, 2);
    }
    std::string swallowed =
        std::string("PK\x05\x06", 4) + std::string(16, '\0') + "\xff\xff" + inner;
    std::string damaged_zip = box.out("swallowed.zip").string();
    std::ofstream(damaged_zip, std::ios::binary) << swallowed;

    // The same shape as found by fuzzing, its inner archive damaged as well.
    std::string sample_zip = box.out("sample.zip").string();
    fs::copy_file(fs::path(PAVO_PACK_TEST_DATA) / "comment-holds-end-record.zip", sample_zip);
    const std::string sample = read_bytes(sample_zip);

    const std::vector<std::pair<std::string, std::string>> damaged = {{damaged_zip, swallowed},
                                                                      {sample_zip, sample}};
    for (const auto& [path, before] : damaged) {
        auto r = run_pack({"-q", path, "a.txt"});
        EXPECT_EQ(r.rc, 3) << path;
        EXPECT_TRUE(read_bytes(path) == before) << path;
        // Nothing in it to delete, and nothing written.
        EXPECT_EQ(run_pack({"-d", "-q", path, "a*"}).rc, 13) << path;
        EXPECT_TRUE(read_bytes(path) == before) << path;
    }
    EXPECT_TRUE(box.temp_files().empty());
}

TEST(PackEngine, FileOf4GiBIsRefusedBeforeTheArchiveIsTouched) {
    PackSandbox box;
    box.write("a.txt", "a");
    std::string zip = box.out("big.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "a.txt"}).rc, 0);
    std::string bytes = read_bytes(zip);
    { std::ofstream(box.src() / "huge.bin"); }
    fs::resize_file(box.src() / "huge.bin", (4ull << 30) + 10);  // sparse: no disk used
    EXPECT_EQ(run_pack({"-q", zip, "*"}).rc, 6);
    EXPECT_EQ(read_bytes(zip), bytes);
    EXPECT_TRUE(box.temp_files().empty());
}

TEST(PackEngine, AbortDuringSecondOfThreeFiles) {
    PackSandbox box;
    box.write("1.db", table_like(50000, 1));
    box.write("2.db", table_like(50000, 2));
    box.write("3.db", table_like(50000, 3));
    std::string zip = box.out("ab.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "1.db"}).rc, 0);
    std::string bytes = read_bytes(zip);
    bool second_started = false;
    PackCallbacks cb;
    cb.progress = [&](const FileProgress& p) {
        if (p.name == "2.db") second_started = true;
    };
    cb.abort_requested = [&] { return second_started; };
    auto r = run_pack({"-q", zip, "*"}, cb);
    EXPECT_EQ(r.rc, 9);
    EXPECT_TRUE(second_started);
    for (const auto& p : r.progress) EXPECT_FALSE(p.name == "3.db") << "third file reported";
    EXPECT_EQ(read_bytes(zip), bytes);
    EXPECT_TRUE(box.temp_files().empty());
}

TEST(PackEngine, SecondCallDuringARunIsRefused) {
    PackSandbox box;
    box.write("a.txt", "a");
    int inner = -1;
    PackCallbacks cb;
    cb.progress = [&](const FileProgress&) {
        if (inner == -1) inner = run_pack({"-q", box.out("inner.zip").string(), "*"}).rc;
    };
    EXPECT_EQ(run_pack({"-q", box.out("outer.zip").string(), "*"}, cb).rc, 0);
    EXPECT_EQ(inner, 5);
    // The guard is released: a later run works.
    EXPECT_EQ(run_pack({"-q", box.out("later.zip").string(), "*"}).rc, 0);
}

// Fails opening one named file, or reading it, to reach the input-failure results.
class FailingInputFs : public FaultyFileSystem {
  public:
    std::string fail_open_name, fail_read_name;

    std::unique_ptr<File> open(const fs::path& path, OpenMode mode,
                               std::uint32_t permissions) override {
        if (path.filename() == fail_open_name)
            throw Error(ErrorKind::kIO, "cannot open (injected): " + path.string(), EACCES);
        auto f = FaultyFileSystem::open(path, mode, permissions);
        if (path.filename() == fail_read_name) return std::make_unique<BadReads>(std::move(f));
        return f;
    }

  private:
    class BadReads : public File {
      public:
        explicit BadReads(std::unique_ptr<File> f) : f_(std::move(f)) {}
        std::size_t read(void*, std::size_t) override { throw Error(ErrorKind::kIO, "read", EIO); }
        std::size_t read_at(void*, std::size_t, std::uint64_t) override {
            throw Error(ErrorKind::kIO, "read (injected)", EIO);
        }
        void write(const void* b, std::size_t n) override { f_->write(b, n); }
        void write_at(const void* b, std::size_t n, std::uint64_t o) override {
            f_->write_at(b, n, o);
        }
        void seek(std::uint64_t o) override { f_->seek(o); }
        std::uint64_t tell() override { return f_->tell(); }
        std::uint64_t size() override { return f_->size(); }
        void truncate(std::uint64_t s) override { f_->truncate(s); }
        void sync() override { f_->sync(); }
        void close() override { f_->close(); }

      private:
        std::unique_ptr<File> f_;
    };
};

TEST(PackEngine, FileSystemFailures) {
    PackSandbox box;
    box.write("a.db", table_like(200000, 1));
    box.write("b.db", table_like(200000, 2));
    std::string zip = box.out("f.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "a.db"}).rc, 0);
    const std::string old_bytes = read_bytes(zip);
    {
        // Disk full while writing: 14, the old archive as it was, no temporary file.
        FaultyFileSystem faulty;
        faulty.fail_write_after_bytes = 20000;
        ScopedFileSystem scope(&faulty);
        EXPECT_EQ(run_pack({"-q", zip, "*"}).rc, 14);
    }
    EXPECT_EQ(read_bytes(zip), old_bytes);
    EXPECT_TRUE(box.temp_files().empty());
    {
        // A failed read of a source: 11, nothing replaced.
        FailingInputFs faulty;
        faulty.fail_read_name = "b.db";
        ScopedFileSystem scope(&faulty);
        EXPECT_EQ(run_pack({"-q", zip, "*"}).rc, 11);
    }
    EXPECT_EQ(read_bytes(zip), old_bytes);
    EXPECT_TRUE(box.temp_files().empty());
    {
        // A source that cannot be opened is left out with a warning; the rest is written: 18.
        FailingInputFs faulty;
        faulty.fail_open_name = "b.db";
        ScopedFileSystem scope(&faulty);
        auto r = run_pack({"-q", box.out("g.zip").string(), "*"});
        EXPECT_EQ(r.rc, 18);
        EXPECT_EQ(names_of(members_by_name(box.out("g.zip"))), (std::set<std::string>{"a.db"}));
    }
    {
        // The rename refused: the archive is copied into its folder and renamed there.
        FaultyFileSystem faulty;
        faulty.fail_rename_call = 0;
        ScopedFileSystem scope(&faulty);
        EXPECT_EQ(run_pack({"-q", zip, "*"}).rc, 0);
        EXPECT_EQ(faulty.rename_calls(), 2);
    }
    EXPECT_EQ(names_of(members_by_name(zip)), (std::set<std::string>{"a.db", "b.db"}));
    EXPECT_TRUE(box.temp_files().empty());
    {
        // Both renames refused: 10, old archive kept.
        FaultyFileSystem outer;
        outer.fail_rename_call = 0;
        FaultyFileSystem faulty(static_cast<FileSystem&>(outer));
        faulty.fail_rename_call = 0;
        ScopedFileSystem scope(&faulty);
        std::string before = read_bytes(zip);
        box.write("c.db", "c");
        EXPECT_EQ(run_pack({"-q", zip, "c.db"}).rc, 10);
        EXPECT_EQ(read_bytes(zip), before);
    }
    EXPECT_TRUE(box.temp_files().empty());
    // A temporary folder that does not exist: 10.
    EXPECT_EQ(run_pack({"-q", "-b", (box.root() / "nowhere").string(), zip, "*"}).rc, 10);
}

TEST(PackEngine, FreshenUpdateAndMove) {
    PackSandbox box;
    box.write("a.txt", "a1", 1600000000);
    box.write("b.txt", "b1", 1600000000);
    std::string zip = box.out("fu.zip").string();
    ASSERT_EQ(run_pack({"-q", zip, "a.txt"}).rc, 0);
    box.write("a.txt", "a2", 1600000100);
    ASSERT_EQ(run_pack({"-q", "-f", zip, "*"}).rc, 0);
    auto m = members_by_name(zip);
    EXPECT_EQ(names_of(m), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(m["a.txt"].data, "a2");
    EXPECT_EQ(run_pack({"-q", "-f", zip, "*"}).rc, 12);  // nothing newer
    ASSERT_EQ(run_pack({"-q", "-u", zip, "*"}).rc, 0);
    EXPECT_EQ(names_of(members_by_name(zip)), (std::set<std::string>{"a.txt", "b.txt"}));
    box.write("gone/c.txt", "c");
    ASSERT_EQ(run_pack({"-q", "-m", "-r", zip, "gone"}).rc, 0);
    EXPECT_FALSE(fs::exists(box.src() / "gone"));
    EXPECT_EQ(members_by_name(zip)["gone/c.txt"].data, "c");
}

TEST(PackEngine, ResultTexts) {
    EXPECT_STREQ(pack_result_text(12), "Nothing to do!");
    EXPECT_STREQ(pack_result_text(18), "File not found or no read permission");
    EXPECT_STREQ(pack_result_text(9), "Interrupted");
}

}  // namespace
}  // namespace pavo::zip::testing
