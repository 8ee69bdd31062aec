// Exclusive opens, emptying, batch copies, damaged files and a scan killed half way.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <set>

#include "platform/file_system.h"
#include "table_test_support.h"

namespace pavo::tables::test {
namespace {

class FilesTest : public TableTest {
  protected:
    void create_stats(const std::string& name) {
        create(name,
               {{"ORDER", FieldType::kFloat},
                {"CATEGORY", FieldType::kString, 50},
                {"COUNT", FieldType::kFloat},
                {"PERCENTAGE", FieldType::kFloat},
                {"REASON_NOT_SUBMITTED", FieldType::kString, 80},
                {"AS_OF_DATE", FieldType::kDate}},
               {{"", "ORDER;CATEGORY", true, true},
                {"CATEGORY_", "CATEGORY", false, false, false, true}});
    }

    void write_file(const std::string& name, const std::string& bytes) {
        std::ofstream(data_dir() / name, std::ios::binary) << bytes;
    }

    // Expects opening and walking the table to fail with kCorruption naming the file, not to crash.
    void expect_damaged(const std::string& name) {
        auto t = table(name);
        try {
            t->open();
            for (t->first(); !t->eof(); t->next())
                for (int i = 0; i < t->field_count(); ++i) (void)t->field(i).as_string();
            ADD_FAILURE() << name << " read without error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kCorruption) << e.what();
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
};

TEST_F(FilesTest, ExclusiveOpenIsRefusedWhileTheTableIsOpenElsewhere) {
    create_stats("STATS_JT");
    auto shared = table("STATS_JT.DB");
    shared->open();
    fill(*shared, {{"1", "A"}, {"2", "B"}});
    auto excl = table("stats_jt.db");
    excl->set_exclusive(true);
    EXPECT_PAVO_ERROR(excl->open(), ErrorKind::kLocked, "Table is busy");
    shared->close();
    excl->open();
    EXPECT_PAVO_ERROR(shared->open(), ErrorKind::kLocked, "Table is busy");
    excl->empty_table();
    EXPECT_EQ(excl->record_count(), 0);
    excl->close();
    excl->set_exclusive(false);
    excl->open();
    shared->open();  // two shared opens are fine
    EXPECT_EQ(shared->record_count(), 0);

    // Another process holding it exclusively refuses this one's opens too.
    excl->close();
    shared->close();
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        close(done[1]);
        char c = 'x';
        Table child;
        try {
            child.set_database_name("TESTDB");
            child.set_table_name("STATS_JT.DB");
            child.set_exclusive(true);
            child.open();
        } catch (...) {
            c = 'e';
        }
        if (write(ready[1], &c, 1) != 1) _exit(2);
        (void)read(done[0], &c, 1);  // until the parent closes its end
        _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'x');
    EXPECT_PAVO_ERROR(shared->open(), ErrorKind::kLocked, "Table is busy");
    EXPECT_PAVO_ERROR(shared->delete_table(), ErrorKind::kLocked, "Table is busy");
    close(done[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);
    shared->open();
    EXPECT_TRUE(shared->active());
}

TEST_F(FilesTest, EmptyingAClosedTableAndOthersSeeingItOnReRead) {
    create_stats("REASON");
    auto a = table("REASON.db");
    a->open();
    fill(*a, {{"1", "X"}, {"2", "Y"}});
    auto b = table("reason");
    b->empty_table();  // closed: opens, empties, closes
    EXPECT_FALSE(b->active());
    EXPECT_EQ(a->record_count(), 2);
    a->refresh();
    EXPECT_EQ(a->record_count(), 0);
    EXPECT_TRUE(a->eof() && a->bof());
}

TEST_F(FilesTest, NextAutoIncrementNumberGoesOnAndIsNeverSetBackOntoAUsedNumber) {
    create("NUMBERED", {{"PK", FieldType::kAutoInc}, {"NAME", FieldType::kString, 10}},
           {{"", "PK", true, true}});
    auto t = table("NUMBERED");
    t->open();
    EXPECT_EQ(t->next_autoinc(), 1);
    // Rows brought over keep their own numbers; the last one (9) was deleted in the old table,
    // whose counter stood at 12.
    t->append();
    t->field("PK").set_as_float(7);
    t->field("NAME").set_as_string("kept");
    t->post();
    t->set_next_autoinc(13);
    EXPECT_EQ(t->next_autoinc(), 13);
    struct Refused {
        std::int64_t next;
        const char* why;
    };
    for (const Refused& r : {Refused{7, "the number of a row"}, Refused{5, "below a row"},
                             Refused{12, "below a number already set"}, Refused{0, "zero"}}) {
        SCOPED_TRACE(r.why);
        EXPECT_PAVO_ERROR(t->set_next_autoinc(r.next), ErrorKind::kInvalidInput, "highest");
    }
    fill(*t, {{"", "new"}});
    EXPECT_EQ(column(*t, "PK"), (std::vector<std::string>{"7", "13"}));
    // The number survives closing: it lives in the file.
    t->close();
    t->open();
    EXPECT_EQ(t->next_autoinc(), 14);

    create("PLAIN", {{"NAME", FieldType::kString, 10}}, {});
    auto plain = table("PLAIN");
    plain->open();
    EXPECT_PAVO_ERROR(plain->set_next_autoinc(5), ErrorKind::kInvalidInput, "auto-increment");
    auto closed = table("NUMBERED");
    EXPECT_PAVO_ERROR(closed->set_next_autoinc(50), ErrorKind::kInvalidInput, "");
}

TEST_F(FilesTest, BatchCopyAppendsMappedColumnsAllOrNothing) {
    create_stats("stats_jt");
    auto src = table("STATS_JT.DB");
    src->open();
    fill(*src, {{"1", "ENGINEER", "5", "50", "R1", "1/1/2004"},
                {"2", "NETWORK", "3", "30", "", "1/1/2004"},
                {"10", "DBA", "2", "20", "R3", "1/1/2004"}});
    src->close();
    create_stats("200403jt");
    auto month = table("200403jt");
    EXPECT_EQ(month->batch_move_append(*src, {"ORDER", "CATEGORY", "REASON_NOT_SUBMITTED"}), 3);
    month->open();
    EXPECT_EQ(column(*month, "CATEGORY"), (std::vector<std::string>{"ENGINEER", "NETWORK", "DBA"}));
    EXPECT_EQ(column(*month, "COUNT"),
              (std::vector<std::string>{"", "", ""}));  // copied rows start empty
    EXPECT_EQ(column(*month, "REASON_NOT_SUBMITTED"), (std::vector<std::string>{"R1", "", "R3"}));
    EXPECT_FALSE(src->active());  // opened for the copy and closed again

    // A second copy collides on the key of the first row: nothing of it stays.
    src->open();
    src->set_filter("ORDER >= 2");
    src->set_filtered(true);
    EXPECT_PAVO_ERROR(month->batch_move_append(*src, {"ORDER", "CATEGORY"}),
                      ErrorKind::kKeyViolation, "Key violation.");
    EXPECT_EQ(month->record_count(), 3);

    // Columns with other names and types: numbers become texts, texts become numbers.
    create("other", {{"NAME", FieldType::kString, 3}, {"NUM", FieldType::kFloat}}, {});
    auto other = table("other");
    other->open();
    src->set_filtered(false);
    EXPECT_EQ(other->batch_move_append(*src, {"NAME=ORDER", "NUM=COUNT"}), 3);
    EXPECT_EQ(column(*other, "NAME"), (std::vector<std::string>{"1", "2", "10"}));
    EXPECT_EQ(column(*other, "NUM"), (std::vector<std::string>{"5", "3", "2"}));
    EXPECT_PAVO_ERROR(other->batch_move_append(*src, {"NUM=CATEGORY"}), ErrorKind::kConversion,
                      "ENGINEER");
    EXPECT_EQ(other->record_count(), 3);
    EXPECT_PAVO_ERROR(other->batch_move_append(*src, {"NOPE=ORDER"}), ErrorKind::kNotFound, "NOPE");

    // Replacing a table gives an empty one of the new layout.
    month->close();
    create_stats("200403jt");
    month->open();
    EXPECT_EQ(month->record_count(), 0);
}

TEST_F(FilesTest, DamagedOrForeignFilesGiveErrorsNamingTheFile) {
    write_file("empty.db", "");
    expect_damaged("empty.db");
    write_file("noise.db", std::string(8192, '\x5a'));
    expect_damaged("noise.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((data_dir() / "foreign.db").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE people(name TEXT); INSERT INTO people VALUES('x');", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    }
    expect_damaged("foreign.db");
    // A table whose stored definitions contradict its rows.
    create_stats("defs");
    fs::copy_file(data_dir() / "defs.db", data_dir() / "badindex.db");
    fs::copy_file(data_dir() / "defs.db", data_dir() / "badtype.db");
    fs::copy_file(data_dir() / "defs.db", data_dir() / "badcols.db");
    for (auto [file, sql] : std::vector<std::pair<std::string, std::string>>{
             {"badindex.db", "UPDATE pavo_indexes SET fields = 'NOPE'"},
             {"badtype.db", "UPDATE pavo_fields SET type = 'ftBlob' WHERE pos = 1"},
             {"badcols.db", "DELETE FROM pavo_fields WHERE pos = 5"}}) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((data_dir() / file).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        expect_damaged(file);
    }

    // A real table whose pages are overwritten, or cut short, half way.
    create_stats("big");
    {
        auto t = table("big");
        t->open();
        CommandScope scope;
        for (int i = 0; i < 3000; ++i) {
            t->append();
            t->field("ORDER").set_as_float(i);
            t->field("CATEGORY")
                .set_as_string("CATEGORY NUMBER " + std::to_string(i) + std::string(30, 'z'));
            t->post();
        }
    }
    fs::copy_file(data_dir() / "big.db", data_dir() / "cut.db");
    fs::copy_file(data_dir() / "big.db", data_dir() / "smashed.db");
    fs::resize_file(data_dir() / "cut.db", fs::file_size(data_dir() / "cut.db") / 2);
    expect_damaged("cut.db");
    {
        std::fstream f(data_dir() / "smashed.db", std::ios::in | std::ios::out | std::ios::binary);
        std::mt19937 rng(7);
        std::string junk(4096 * 8, '\0');
        for (char& ch : junk) ch = static_cast<char>(rng());
        f.seekp(static_cast<std::streamoff>(fs::file_size(data_dir() / "big.db") / 3));
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    expect_damaged("smashed.db");
    EXPECT_PAVO_ERROR(table("missing")->open(), ErrorKind::kNotFound, "missing.db");
}

TEST_F(FilesTest, AFileCopiedBetweenCommandsHoldsEveryPostedRow) {
    create_stats("live");
    auto t = table("live");
    t->open();
    {
        CommandScope scope;
        for (int i = 0; i < 500; ++i) {
            t->append();
            t->field("ORDER").set_as_float(i);
            t->post();
        }
    }
    t->edit();
    t->field("CATEGORY").set_as_string("edited outside a scope");
    t->post();
    // What a backup does: copy the table file alone while the table stays open.
    fs::create_directories(home_ / "drive_c" / "copy");
    fs::copy_file(data_dir() / "live.db", home_ / "drive_c" / "copy" / "live.db");
    Table copy;
    copy.set_database_name("c:\\copy");
    copy.set_table_name("LIVE.DB");
    copy.open();
    EXPECT_EQ(copy.record_count(), 500);
    copy.last();
    EXPECT_EQ(copy.field("CATEGORY").as_string(), "edited outside a scope");
}

TEST_F(FilesTest, ACommandScopeCommitsAtItsEndAndKeepsThePostsOfAFailedCommand) {
    create_stats("scoped");
    auto t = table("scoped");
    t->open();
    fs::path file = data_dir() / "scoped.db";
    fill(*t, {{"1", "A"}});
    EXPECT_EQ(committed_rows(file), 1);  // outside a scope each post commits
    try {
        CommandScope command;
        {
            CommandScope nested;
            fill(*t, {{"2", "B"}});
        }
        fill(*t, {{"3", "C"}});
        EXPECT_EQ(committed_rows(file), 1);  // grouped until the command ends
        auto other = table("SCOPED.DB");
        other->open();
        EXPECT_EQ(other->record_count(), 3);  // this process sees its own posts at once
        fill(*t, {{"1", "A"}});               // the command fails half way
        FAIL() << "the duplicate was posted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kKeyViolation);
    }
    EXPECT_EQ(committed_rows(file), 3);  // what was posted before the failure stays
    t->cancel();
    {
        CommandScope command;
        fill(*t, {{"4", "D"}});
        command.commit();
        EXPECT_EQ(committed_rows(file), 4);  // an explicit commit point
        fill(*t, {{"5", "E"}});
    }
    EXPECT_EQ(committed_rows(file), 5);
}

TEST_F(FilesTest, AFileThatCannotBeOpenedGivesAnErrorAndNoHalfOpenTable) {
    create_stats("locked");
    FaultyFileSystem faulty;
    faulty.fail_open_call = 0;
    auto t = table("locked");
    {
        ScopedFileSystem use(&faulty);
        EXPECT_PAVO_ERROR(t->open(), ErrorKind::kIO, "locked.db");
    }
    EXPECT_FALSE(t->active());
    t->open();  // nothing of the failed open is left behind
    EXPECT_EQ(t->record_count(), 0);
}

// Child: appends numbered rows in one long command, reporting each commit point through the pipe.
[[noreturn]] void scan_until_killed(int report_fd) {
    try {
        Table t;
        t.set_database_name("TESTDB");
        t.set_table_name("scan");
        t.open();
        CommandScope scope;
        for (int i = 1; i <= 2000000; ++i) {
            t.append();
            t.field("N").set_as_float(i);
            t.field("TEXT").set_as_string("row " + std::to_string(i));
            t.post();
            if (i % 250 == 0) {
                scope.commit();
                if (write(report_fd, &i, sizeof i) != sizeof i) _exit(3);
            }
        }
    } catch (...) {
        _exit(4);
    }
    _exit(0);
}

TEST_F(FilesTest, AScanKilledHalfWayLeavesAConsistentTableWithEveryCommittedRow) {
    for (int reports_before_kill : {1, 4, 9}) {
        create("scan", {{"N", FieldType::kFloat}, {"TEXT", FieldType::kString, 40}},
               {{"", "N", true, true}});
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            scan_until_killed(fds[1]);
        }
        close(fds[1]);
        int committed = 0;
        for (int r = 0; r < reports_before_kill; ++r)
            ASSERT_EQ(read(fds[0], &committed, sizeof committed),
                      static_cast<ssize_t>(sizeof committed));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed: " << status;

        {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open((data_dir() / "scan.db").c_str(), &db), SQLITE_OK);
            sqlite3_stmt* st = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr),
                      SQLITE_OK);
            ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
            EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
            sqlite3_finalize(st);
            sqlite3_close(db);
        }
        auto t = table("scan");
        t->open();
        ASSERT_GE(t->record_count(), committed);
        // Rows form one unbroken run from 1: a commit never keeps a later row without an earlier
        // one.
        int expect = 1;
        for (t->first(); !t->eof(); t->next(), ++expect) {
            ASSERT_EQ(t->field("N").as_integer(), expect);
            ASSERT_EQ(t->field("TEXT").as_string(), "row " + std::to_string(expect));
        }
        EXPECT_EQ(expect - 1, t->record_count());
        t->close();
    }
}

}  // namespace
}  // namespace pavo::tables::test
