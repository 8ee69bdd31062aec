// Commit points, refused commits, transactions (two tables, nesting, scopes inside, a killed
// process), leaving a row, and the statement cache under use.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "table_test_support.h"
#include "tables/src/connection.h"

namespace pavo::tables::test {
namespace {

// Another program reading the file: while it holds its read lock, no commit can finish.
class Reader {
  public:
    explicit Reader(const fs::path& file) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN; SELECT count(*) FROM data;", nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    ~Reader() { sqlite3_close(db_); }
    void stop() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }

  private:
    sqlite3* db_ = nullptr;
};

int count_commit(void* counter) {
    ++*static_cast<int*>(counter);
    return 0;
}

class CommitTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        for (const char* name : {"left", "right"}) {
            create(name, {{"N", FieldType::kFloat, 0, true}, {"TEXT", FieldType::kString, 40}},
                   {{"", "N", true, true}});
            auto t = table(name);
            t->open();
            fill(*t, {{"1", "committed"}});
        }
    }
    void TearDown() override {
        set_max_transaction_age(std::chrono::milliseconds(500));
        TableTest::TearDown();
    }
    fs::path file(const std::string& name) const { return data_dir() / (name + ".db"); }
    std::unique_ptr<Table> opened(const std::string& name) {
        auto t = table(name);
        t->open();
        return t;
    }
    // The connection every Table of this process shares for the file.
    std::shared_ptr<Connection> connection(const std::string& name) {
        return Connection::acquire(file(name), false);
    }
    static void post(Table& t, int n, const std::string& text = "new") {
        t.append();
        t.field("N").set_as_float(n);
        t.field("TEXT").set_as_string(text);
        t.post();
    }
};

TEST_F(CommitTest, OneUserCommandCommitsOnceHoweverManyRowsItPosts) {
    auto t = opened("left");
    int commits = 0;
    sqlite3_commit_hook(connection("left")->db(), count_commit, &commits);
    set_max_transaction_age(std::chrono::hours(1));
    {
        CommandScope command;
        for (int i = 2; i <= 1001; ++i) post(*t, i);
        command.commit();
    }
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(committed_rows(file("left")), 1001);

    // Outside a command each post is its own commit; a long command commits at its commit points.
    commits = 0;
    post(*t, 2000);
    post(*t, 2001);
    EXPECT_EQ(commits, 2);
    commits = 0;
    set_max_transaction_age(std::chrono::milliseconds(0));
    {
        CommandScope command;
        for (int i = 3000; i < 3003; ++i) post(*t, i);
    }
    EXPECT_EQ(commits, 3);
    sqlite3_commit_hook(connection("left")->db(), nullptr, nullptr);
}

TEST_F(CommitTest, ARefusedCommitIsReportedAndEveryViewReReadsTheFile) {
    auto t = opened("left");
    auto other = opened("left");
    sqlite3_busy_timeout(connection("left")->db(), 0);
    {
        // Explicit commit: thrown, naming the table as the user knows it and SQLite's reason.
        CommandScope command;
        post(*t, 2, "lost");
        t->first();
        t->edit();
        t->field("TEXT").set_as_string("lost edit");
        t->post();
        other->refresh();
        EXPECT_EQ(other->record_count(), 2);
        Reader reader(file("left"));
        EXPECT_PAVO_ERROR(command.commit(), ErrorKind::kLocked, "c:\\data\\left.db: database is");
        for (Table* view : {t.get(), other.get()}) {
            EXPECT_EQ(view->record_count(), 1);
            view->first();
            EXPECT_EQ(view->field("TEXT").as_string(), "committed");
        }
    }
    EXPECT_EQ(committed_rows(file("left")), 1);
    EXPECT_EQ(CommandScope::failed_commit(), "");

    // At the end of a scope nothing can throw: the failure is kept, the views re-read.
    {
        Reader reader(file("left"));
        {
            CommandScope command;
            post(*t, 3, "lost at the end");
        }
        EXPECT_NE(CommandScope::failed_commit().find("c:\\data\\left.db"), std::string::npos)
            << CommandScope::failed_commit();
        EXPECT_EQ(t->record_count(), 1);
    }
    {
        CommandScope next;  // a new command does not inherit the old failure
        EXPECT_EQ(CommandScope::failed_commit(), "");
    }

    // The last Table of a file closed with writes pending: the command's commit reports it.
    other.reset();
    auto right = opened("right");
    sqlite3_busy_timeout(connection("right")->db(), 0);
    {
        CommandScope command;
        post(*right, 2, "lost on close");
        Reader reader(file("right"));
        right->close();
        reader.stop();
        EXPECT_PAVO_ERROR(command.commit(), ErrorKind::kLocked, "c:\\data\\right.db");
        command.commit();  // reported once
    }
    EXPECT_EQ(committed_rows(file("right")), 1);

    // With the reader gone the same work commits.
    {
        CommandScope command;
        post(*t, 4, "kept");
        command.commit();
    }
    EXPECT_EQ(committed_rows(file("left")), 2);
}

TEST_F(CommitTest, ATransactionRollsBackAcrossTwoTablesAndEveryViewForgetsItsRows) {
    auto left = opened("left");
    auto right = opened("right");
    auto left_view = opened("left");
    {
        Transaction txn({left.get(), right.get()});
        EXPECT_TRUE(txn.active());
        post(*left, 2);
        post(*right, 2);
        right->first();
        right->edit();
        right->field("TEXT").set_as_string("changed in the transaction");
        right->post();
        left_view->refresh();
        EXPECT_EQ(left_view->record_count(), 2);
        EXPECT_EQ(committed_rows(file("left")), 1);
        txn.rollback();
        EXPECT_FALSE(txn.active());
        EXPECT_PAVO_ERROR(txn.commit(), ErrorKind::kInvalidInput, "no longer open");
    }
    for (Table* t : {left.get(), right.get(), left_view.get()}) {
        EXPECT_EQ(t->record_count(), 1);
        t->first();
        EXPECT_EQ(t->field("TEXT").as_string(), "committed");
    }
    {
        Transaction dropped({left.get(), right.get()});  // rolled back by its end
        post(*left, 5);
        post(*right, 5);
    }
    EXPECT_EQ(left->record_count(), 1);
    EXPECT_EQ(right->record_count(), 1);
    {
        Transaction txn({left.get(), right.get(), left_view.get()});
        post(*left, 3);
        post(*right, 3);
        txn.commit();
        EXPECT_FALSE(txn.active());
    }
    EXPECT_EQ(committed_rows(file("left")), 2);
    EXPECT_EQ(committed_rows(file("right")), 2);

    Table closed;
    EXPECT_PAVO_ERROR(Transaction({&closed}), ErrorKind::kInvalidInput, "open tables");
    EXPECT_PAVO_ERROR(Transaction({}), ErrorKind::kInvalidInput, "open table");
}

TEST_F(CommitTest, NoScopeCommitTakesATransactionsWorkAlong) {
    auto left = opened("left");
    auto right = opened("right");
    set_max_transaction_age(std::chrono::milliseconds(0));  // every write is a commit point
    CommandScope command;
    post(*left, 2, "before the transaction");
    Transaction txn({left.get()});
    // Beginning committed the command's own writes, so a rollback cannot take them.
    EXPECT_EQ(committed_rows(file("left")), 2);
    post(*left, 3);
    post(*left, 4);
    {
        // A command run from a modal window during the transaction.
        CommandScope modal;
        post(*right, 2);
        auto left_elsewhere = opened("left");
        post(*left_elsewhere, 5, "belongs to the transaction");
        modal.commit();
    }
    command.commit();
    EXPECT_EQ(committed_rows(file("right")), 2);
    EXPECT_EQ(committed_rows(file("left")), 2);
    txn.rollback();
    EXPECT_EQ(left->record_count(), 2);
    command.commit();
    EXPECT_EQ(committed_rows(file("left")), 2);
    EXPECT_EQ(committed_rows(file("right")), 2);
}

TEST_F(CommitTest, NestedTransactionsEndInnermostFirst) {
    auto left = opened("left");
    auto right = opened("right");
    {
        Transaction outer({left.get(), right.get()});
        post(*left, 2);
        {
            Transaction inner({left.get()});
            post(*left, 3);
            EXPECT_PAVO_ERROR(outer.commit(), ErrorKind::kInvalidInput, "still open");
            EXPECT_TRUE(outer.active());
            inner.rollback();
        }
        EXPECT_EQ(left->record_count(), 2);  // the inner rollback kept the outer's row
        {
            Transaction inner({left.get()});
            post(*left, 4);
            inner.commit();
        }
        EXPECT_EQ(committed_rows(file("left")), 1);  // committed into the outer only
        Transaction inner({right.get()});
        post(*right, 2);
        outer.rollback();  // takes the open inner one along
        EXPECT_FALSE(inner.active());
        EXPECT_PAVO_ERROR(inner.commit(), ErrorKind::kInvalidInput, "no longer open");
    }
    EXPECT_EQ(left->record_count(), 1);
    EXPECT_EQ(right->record_count(), 1);
    EXPECT_EQ(committed_rows(file("left")), 1);
}

TEST_F(CommitTest, ARefusedTransactionCommitRollsBackAndSaysWhy) {
    auto left = opened("left");
    sqlite3_busy_timeout(connection("left")->db(), 0);
    {
        Transaction txn({left.get()});
        post(*left, 2);
        Reader reader(file("left"));
        EXPECT_PAVO_ERROR(txn.commit(), ErrorKind::kLocked, "c:\\data\\left.db: database is");
        EXPECT_FALSE(txn.active());
    }
    EXPECT_EQ(left->record_count(), 1);
    EXPECT_EQ(committed_rows(file("left")), 1);
    post(*left, 3);  // the file is free again for plain writes
    EXPECT_EQ(committed_rows(file("left")), 2);
}

TEST_F(CommitTest, ATransactionSQLiteEndedByItselfTakesNoMoreWrites) {
    auto left = opened("left");
    Transaction txn({left.get()});
    post(*left, 2);
    // What SQLite does after some disk errors: the whole transaction is gone.
    sqlite3_exec(connection("left")->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    // A further post would otherwise commit on its own, outside the transaction.
    EXPECT_PAVO_ERROR(post(*left, 3), ErrorKind::kIO, "rolled back");
    left->cancel();
    EXPECT_EQ(left->record_count(), 1);
    EXPECT_PAVO_ERROR(txn.commit(), ErrorKind::kIO, "rolled back");
    EXPECT_EQ(committed_rows(file("left")), 1);
    post(*left, 4);  // after its end the file takes plain writes again
    EXPECT_EQ(committed_rows(file("left")), 2);
}

// Child: writes both tables inside one transaction until the pages spill into the files, says
// so through the pipe, and waits to be killed.
[[noreturn]] void write_until_killed(int report_fd, int wait_fd) {
    try {
        Table left, right;
        for (auto [t, name] : {std::pair{&left, "left"}, std::pair{&right, "right"}}) {
            t->set_database_name("TESTDB");
            t->set_table_name(name);
            t->open();
        }
        for (const char* name : {"left.db", "right.db"}) {
            auto c = Connection::acquire(fs::path(left.file_path()).parent_path() / name, false);
            c->exec("PRAGMA cache_size=8");  // a few pages: the writes reach the file itself
        }
        Transaction txn({&left, &right});
        for (int i = 2; i < 1500; ++i) {
            for (Table* t : {&left, &right}) {
                t->append();
                t->field("N").set_as_float(i);
                t->field("TEXT").set_as_string(std::string(30, 'x') + std::to_string(i));
                t->post();
            }
        }
        char ready = 1;
        if (write(report_fd, &ready, 1) != 1) _exit(3);
        char never = 0;
        if (read(wait_fd, &never, 1) < 0) _exit(4);
    } catch (...) {
        _exit(5);
    }
    _exit(0);
}

TEST_F(CommitTest, AProcessKilledInsideATransactionLeavesBothFilesAsTheyWere) {
    auto size_before = fs::file_size(file("left"));
    int report[2], wait[2];
    ASSERT_EQ(pipe(report), 0);
    ASSERT_EQ(pipe(wait), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(report[0]);
        close(wait[1]);
        write_until_killed(report[1], wait[0]);
    }
    close(report[1]);
    close(wait[0]);
    char ready = 0;
    ASSERT_EQ(read(report[0], &ready, 1), 1) << "the child failed before it was ready";
    // The transaction really reached the disk: hot journals, and a grown table file.
    EXPECT_TRUE(fs::exists(data_dir() / "left.db-journal"));
    EXPECT_TRUE(fs::exists(data_dir() / "right.db-journal"));
    EXPECT_GT(fs::file_size(file("left")), size_before);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(report[0]);
    close(wait[1]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed: " << status;

    for (const char* name : {"left", "right"}) {
        auto t = opened(name);
        EXPECT_EQ(t->record_count(), 1) << name;
        t->first();
        EXPECT_EQ(t->field("TEXT").as_string(), "committed");
        EXPECT_EQ(committed_rows(file(name)), 1) << name;
    }
}

TEST_F(CommitTest, LeavingARowDropsAnUntouchedNewRowAndPostsATouchedOne) {
    auto t = opened("left");
    fill(*t, {{"2", "second"}});
    struct Case {
        const char* what;
        std::function<void(Table&)> leave;
    };
    const std::vector<Case> ways_to_leave = {
        {"next", [](Table& x) { x.next(); }},
        {"first", [](Table& x) { x.first(); }},
        {"record number", [](Table& x) { x.set_record_number(1); }},
        {"order change", [](Table& x) { x.set_index_field_names("TEXT"); }},
        {"find key", [](Table& x) { x.find_key({"1"}); }},
    };
    for (const auto& c : ways_to_leave) {
        SCOPED_TRACE(c.what);
        t->set_index_name("");
        t->append();
        EXPECT_FALSE(t->modified());
        c.leave(*t);  // nothing was typed: no required-field error, no blank row
        EXPECT_EQ(t->state(), DatasetState::kBrowse);
        EXPECT_EQ(t->record_count(), 2);

        t->append();
        t->field("TEXT").set_as_string("no number");
        EXPECT_TRUE(t->modified());
        EXPECT_PAVO_ERROR(c.leave(*t), ErrorKind::kRequired, "Field 'N' must have a value.");
        EXPECT_EQ(t->state(), DatasetState::kInsert);
        t->cancel();
    }
    t->set_index_name("");
    t->append();
    t->field("N").set_as_float(7);
    t->first();
    EXPECT_EQ(t->record_count(), 3);  // a touched new row is posted on leaving

    // Editing: a field set back to what it held is no modification.
    t->first();
    t->edit();
    EXPECT_FALSE(t->modified());
    t->field("TEXT").set_as_string("changed");
    EXPECT_TRUE(t->modified());
    t->field("TEXT").set_as_string("committed");
    EXPECT_FALSE(t->modified());
    t->next();
    EXPECT_EQ(t->state(), DatasetState::kBrowse);
    EXPECT_FALSE(t->modified());

    // An explicit post still writes a new row nobody touched (here refused: N is required).
    t->append();
    EXPECT_PAVO_ERROR(t->post(), ErrorKind::kRequired, "Field 'N'");
    t->cancel();
}

TEST_F(CommitTest, AStatementInUseSurvivesTheCacheTrimmingItself) {
    auto left = opened("left");
    fill(*left, {{"2", "a"}, {"3", "b"}});
    auto c = connection("left");
    Stmt& walk = c->stmt("SELECT rid FROM data ORDER BY rid");
    StmtUse use(walk);
    ASSERT_EQ(sqlite3_step(*use), SQLITE_ROW);
    // Enough one-off statements (filters, searches) to make the cache trim itself.
    for (int i = 0; i < 450; ++i) {
        StmtUse other(c->stmt("SELECT " + std::to_string(i) + " FROM data LIMIT 0"));
        EXPECT_EQ(sqlite3_step(*other), SQLITE_DONE);
    }
    ASSERT_EQ(sqlite3_step(*use), SQLITE_ROW);  // still the same live statement, mid-walk
    ASSERT_EQ(sqlite3_step(*use), SQLITE_ROW);
    EXPECT_EQ(sqlite3_step(*use), SQLITE_DONE);
}

}  // namespace
}  // namespace pavo::tables::test
