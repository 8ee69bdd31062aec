// The migration all or nothing: every kind of damaged input, a reader that crashes or hangs, a
// failed write, an existing target and leftovers of a killed run; old files stay untouched.
#include <signal.h>
#include <sys/stat.h>

#include <fstream>

#include "migrate_fixture.h"
#include "platform/file_system.h"

namespace pavo::records::test {
namespace {

std::string bytes_of(const fs::path& p) {
    return read_whole_file(p);
}
void put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}
void put_le16(std::string& s, std::size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

class MigrateFailureTest : public MigrateTest {
  protected:
    // A CITY table of n rows (several blocks of 2 KB).
    void write_cities(int n) {
        OldTableSpec city = spec("CITY.db");
        for (int i = 0; i < n; ++i) city.rows.push_back({Cell::str("CITY " + std::to_string(i))});
        write("CITY", city);
    }
    void expect_nothing_made(const MigrationReport& r, const std::string& kind,
                             const std::string& file, const std::string& table) {
        ASSERT_FALSE(r.done);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->kind, kind) << r.error->message;
        EXPECT_EQ(r.error->file, file);
        EXPECT_EQ(r.error->table, table);
        EXPECT_EQ(r.exit_status(), 1);
        EXPECT_FALSE(fs::exists(target_));
        EXPECT_TRUE(beside_target().empty());
    }
};

TEST_F(MigrateFailureTest, EachKindOfDamagedInputStopsTheRunAndMakesNothing) {
    struct Case {
        const char* name;
        std::function<void()> damage;
        const char* kind;
        const char* file;
    };
    const fs::path db = old_ / "CITY.DB";
    const std::vector<Case> cases = {
        {"empty", [&] { put(db, ""); }, "empty", "CITY.DB"},
        {"text", [&] { put(db, std::string(200, 'x')); }, "not_paradox", "CITY.DB"},
        {"record size",
         [&] {
             std::string b = bytes_of(db);
             put_le16(b, 0, 51);
             put(db, b);
         },
         "bad_header", "CITY.DB"},
        {"field type",
         [&] {
             std::string b = bytes_of(db);
             b[0x78] = 0x42;
             put(db, b);
         },
         "bad_header", "CITY.DB"},
        {"cut inside the data",
         [&] {
             std::string b = bytes_of(db);
             put(db, b.substr(0, 2048 + 10 * 2048 + 100));
         },
         "truncated", "CITY.DB"},
        {"looping chain",
         [&] {
             std::string b = bytes_of(db);
             put_le16(b, 2048 + 2048, 1);  // block 2 leads back to block 1
             put(db, b);
         },
         "bad_blocks", "CITY.DB"},
        {"count the blocks do not hold",
         [&] {
             std::string b = bytes_of(db);
             put_le16(b, 6, 1001);
             put(db, b);
         },
         "bad_blocks", "CITY.DB"},
        {"two files for one table", [&] { fs::copy_file(db, old_ / "city.db"); }, "ambiguous",
         "city.db"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(old_);
        fs::create_directories(old_);
        write_cities(1000);
        c.damage();
        expect_nothing_made(migrate(), c.kind, c.file, "CITY.db");
    }
}

TEST_F(MigrateFailureTest, DamagedMemoFileAndAMissingOne) {
    OldTableSpec pay = spec("PAVODEN2.DB");
    const int memo = pavo::test::column_index(pay, "MEMO");
    for (const std::string& m : {std::string(100, 'a'), std::string(5000, 'b')}) {
        auto r = pavo::test::empty_row(pay);
        r[static_cast<std::size_t>(memo)] = Cell::memo(m);
        pay.rows.push_back(r);
    }
    write("PAVODEN2", pay);
    const fs::path mb = old_ / "PAVODEN2.MB";
    const std::string good = bytes_of(mb);
    struct Case {
        const char* name;
        std::size_t at;
        char value;
    };
    for (const Case& c : {Case{"shared block type", 4096, 9}, Case{"entry offset", 4096 + 12, 0},
                          Case{"single block length", 8192 + 3, 7}, Case{"header", 0, 3}}) {
        SCOPED_TRACE(c.name);
        std::string b = good;
        b[c.at] = c.value;
        put(mb, b);
        expect_nothing_made(migrate(), "memo_damaged", "PAVODEN2.MB", "PAVODEN2.DB");
    }
    put(mb, good.substr(0, 8192 + 100));  // the single block cut off
    expect_nothing_made(migrate(), "memo_damaged", "PAVODEN2.MB", "PAVODEN2.DB");
}

TEST_F(MigrateFailureTest, ADamagedNineteenthTableLeavesNothingOfTheEighteenBefore) {
    write_cities(10);
    put(old_ / "JS_EDIT.DB", "");
    MigrationReport r = migrate();
    expect_nothing_made(r, "empty", "JS_EDIT.DB", "JS_EDIT.db");
    EXPECT_EQ(r.tables.size(), 19u);  // how far it came
}

TEST_F(MigrateFailureTest, AReaderThatCrashesOrHangsIsStoppedAndReported) {
    write_cities(10);
    MigrationOptions crash;
    crash.reader_start_hook = [] { ::raise(SIGKILL); };
    expect_nothing_made(migrate(crash), "reader_failed", "CITY.DB", "CITY.db");
    MigrationOptions hang;
    hang.reader_seconds = 1;
    hang.reader_start_hook = [] {
        volatile bool forever = true;
        while (forever) {
        }
    };
    MigrationReport r = migrate(hang);
    expect_nothing_made(r, "reader_failed", "CITY.DB", "CITY.db");
    EXPECT_NE(r.error->message.find("longer than 1 seconds"), std::string::npos);
}

TEST_F(MigrateFailureTest, AFailedWriteRemovesTheHalfBuiltSet) {
    write_cities(10);
    FaultyFileSystem counting;
    {
        ScopedFileSystem use(&counting);
        ASSERT_TRUE(migrate().done);
    }
    const int renames = counting.rename_calls();
    ASSERT_GE(renames, 1);
    fs::remove_all(target_);
    FaultyFileSystem faulty;
    faulty.fail_rename_call = renames - 1;  // the set's own rename into place
    ScopedFileSystem use(&faulty);
    expect_nothing_made(migrate(), "write_failed", "", "JS_EDIT.db");
}

TEST_F(MigrateFailureTest, AnExistingTargetIsLeftAloneAndLeftoversOfAKilledRunGo) {
    write_cities(3);
    fs::create_directories(target_);
    put(target_ / "mine.txt", "keep");
    MigrationReport r = migrate();
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->kind, "target_exists");
    EXPECT_EQ(r.exit_status(), 2);
    EXPECT_EQ(bytes_of(target_ / "mine.txt"), "keep");
    fs::remove_all(target_);

    // A killed run left its folder with the marker (its process is gone); another folder of the
    // same pattern without the marker is not ours and stays.
    const fs::path left = target_.parent_path() / "NEWSET.migrating-999999999";
    fs::create_directories(left / "sub");
    put(left / ".pavoden2-migrating", "");
    put(left / "sub" / "x.db", "x");
    const fs::path foreign = target_.parent_path() / "NEWSET.migrating-999999998";
    fs::create_directories(foreign);
    ASSERT_TRUE(migrate().done);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_FALSE(fs::exists(target_ / ".pavoden2-migrating"));
}

TEST_F(MigrateFailureTest, OldFilesStayUntouchedAndAReadOnlyFolderWorks) {
    OldTableSpec jobs = spec("jsearch2.DB");
    auto r1 = job(jobs, 1, "A");
    r1[static_cast<std::size_t>(pavo::test::column_index(jobs, "MEMO"))] =
        Cell::memo(std::string(500, 'm'));
    jobs.rows = {r1};
    write("JSEARCH2", jobs);
    write_cities(5);
    std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
    for (const auto& e : fs::directory_iterator(old_)) {
        before[e.path().filename().string()] = {bytes_of(e.path()), fs::last_write_time(e.path())};
        ::chmod(e.path().c_str(), 0444);
    }
    ::chmod(old_.c_str(), 0555);
    MigrationReport r = migrate();
    ::chmod(old_.c_str(), 0755);
    ASSERT_TRUE(r.done) << format_report(r);
    std::map<std::string, std::pair<std::string, fs::file_time_type>> after;
    for (const auto& e : fs::directory_iterator(old_))
        after[e.path().filename().string()] = {bytes_of(e.path()), fs::last_write_time(e.path())};
    EXPECT_EQ(before, after);
}

}  // namespace
}  // namespace pavo::records::test
