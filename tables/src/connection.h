// One SQLite connection per table file and process, shared by every Table open on it; the write
// transactions and commit points of the durability policy live here.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"
#include "tables/table.h"

namespace pavo::tables {

namespace fs = std::filesystem;

struct TableImpl;

// A prepared statement, reset after every use by StmtUse.
class Stmt {
  public:
    Stmt(sqlite3* db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return stmt_; }
    bool in_use() const { return users_ > 0; }

  private:
    friend class StmtUse;
    sqlite3_stmt* stmt_ = nullptr;
    int users_ = 0;
};

// Holds a statement for one use: the cache never frees it meanwhile, and it is reset and cleared
// when the use ends.
class StmtUse {
  public:
    explicit StmtUse(Stmt& s) : s_(s) { ++s_.users_; }
    ~StmtUse() {
        sqlite3_reset(s_.get());
        sqlite3_clear_bindings(s_.get());
        --s_.users_;
    }
    StmtUse(const StmtUse&) = delete;
    StmtUse& operator=(const StmtUse&) = delete;
    sqlite3_stmt* operator*() const { return s_.get(); }

  private:
    Stmt& s_;
};

struct Schema {
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
};

class Connection {
  public:
    // The connection of a table file, opened when no Table of this process has it open.
    static std::shared_ptr<Connection> acquire(const fs::path& file, bool exclusive);
    // True when some Table of this process has the file open.
    static bool in_use(const fs::path& file);

    ~Connection();

    sqlite3* db() const { return db_; }
    const fs::path& file() const { return file_; }
    const Schema& schema() const { return schema_; }
    bool exclusive() const { return exclusive_; }

    // Cached prepared statement for sql. Wrap it in a StmtUse before asking for another: only a
    // statement in use is safe from the cache's trimming.
    Stmt& stmt(const std::string& sql);
    void exec(const char* sql);
    // A pavo::Error for the connection's last SQLite error, with what as context.
    [[noreturn]] void fail(const std::string& what);

    // Brackets one write operation (a post, a delete, a copy) as a savepoint inside the open
    // Transaction or the scope's transaction, or as its own transaction outside both.
    // single_statement: the operation makes one change that SQLite applies whole or not at all.
    // Refused (kIO) while a Transaction on the file has been rolled back by SQLite itself.
    void begin_write(bool single_statement = false);
    void end_write(bool ok);
    // Commits an open scope transaction (a commit point). When SQLite refuses, the writes are
    // rolled back, every Table on the file re-reads, and kIO (kLocked when the file is busy)
    // names the table and SQLite's reason.
    void commit_scope_transaction();

    // Transaction levels on this file: the outermost is a SQLite transaction (pending scope
    // writes are committed first, throwing as commit_scope_transaction does), inner ones are
    // savepoints. owner marks the level as its own.
    int begin_transaction(const void* owner);
    // The owner of a level, nullptr when that level is not open.
    const void* transaction_owner(int level) const;
    // Commits level (the innermost); on failure the level is rolled back and the error thrown.
    void commit_transaction(int level);
    // Rolls back level and any inner ones; every Table on the file re-reads. Never throws.
    void rollback_transaction(int level) noexcept;
    int transaction_depth() const { return static_cast<int>(txn_owners_.size()); }

    // Tables open on this connection, re-read after a rollback.
    void attach(TableImpl* table);
    void detach(TableImpl* table);
    // Every attached Table drops its cached rows and re-reads its view when next used.
    void reread_tables() noexcept;

    // Bumped by every write, so a Table can tell its rows might be stale.
    std::uint64_t generation = 0;

  private:
    Connection() = default;

    fs::path file_;
    std::string key_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<File> lock_file_;
    bool exclusive_ = false;
    Schema schema_;
    std::unordered_map<std::string, std::unique_ptr<Stmt>> stmts_;
    bool in_scope_txn_ = false;
    std::chrono::steady_clock::time_point txn_start_;
    int write_depth_ = 0;
    bool savepoint_ = false;
    std::vector<const void*> txn_owners_;  // one per open transaction level, outermost first
    // SQLite rolled the whole transaction back by itself (disk full, I/O error): nothing more
    // may be written under it, or the writes would commit one by one outside it.
    bool txn_lost_ = false;
    std::vector<TableImpl*> tables_;
    void run(const char* sql);
    // After a failed write: true (and the Tables re-read) when SQLite ended the transaction.
    bool lost_transaction();
    [[noreturn]] void fail_commit(const std::string& msg, int code);
};

// Opens a SQLite handle on an existing file (no creation) with the layer's settings; throws
// kNotFound / kCorruption naming the file.
sqlite3* open_sqlite(const fs::path& file, bool create);
// Reads the definitions stored in a table file; kCorruption when it holds none or they are damaged.
Schema read_schema(sqlite3* db, const fs::path& file);
// Writes a new table's definitions and its data table with indexes into an empty database.
void write_schema(sqlite3* db, const Schema& schema);
// The SQL column name of field i.
inline std::string column_name(int i) {
    return "c" + std::to_string(i);
}
// Messages name the file as the user knows it.
std::string file_label(const fs::path& file);
// Throws kLocked "Table is busy: <file>" unless an exclusive lock on the file can be had now.
void check_not_busy(const fs::path& file);
// Commits every scope transaction (CommandScope end and commit()); files under a Transaction
// have none. Every file is tried; the first failure is thrown, or kept for
// CommandScope::failed_commit() when throw_on_error is false.
void commit_all_scope_transactions(bool throw_on_error);
// How long a scope transaction may stay open while writes go on (half a second); tests widen it
// to count commits or shrink it to reach a commit point at once.
void set_max_transaction_age(std::chrono::milliseconds age);

}  // namespace pavo::tables
