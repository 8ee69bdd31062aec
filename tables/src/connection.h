// One SQLite connection per table file and process, shared by every Table open on it; the write
// transactions and commit points of the durability policy live here.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"
#include "tables/src/values.h"
#include "tables/table.h"

namespace pavo::tables {

namespace fs = std::filesystem;

// A prepared statement, reset after every use by StmtUse.
class Stmt {
  public:
    Stmt(sqlite3* db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Resets and clears a statement when it goes out of scope.
class StmtUse {
  public:
    explicit StmtUse(Stmt& s) : s_(s.get()) {}
    ~StmtUse() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    sqlite3_stmt* operator*() const { return s_; }

  private:
    sqlite3_stmt* s_;
};

struct Schema {
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
    ColumnNaming naming = ColumnNaming::kFieldNames;

    // The SQL column name of field i in this file.
    std::string column(int i) const { return column_name(fields, i, naming); }
};

class Connection {
  public:
    // The connection of a table file, opened when no Table of this process has it open.
    // display is the name used in messages.
    static std::shared_ptr<Connection> acquire(const fs::path& file, bool exclusive);
    // True when some Table of this process has the file open.
    static bool in_use(const fs::path& file);

    ~Connection();

    sqlite3* db() const { return db_; }
    const fs::path& file() const { return file_; }
    const Schema& schema() const { return schema_; }
    bool exclusive() const { return exclusive_; }

    // Cached prepared statement for sql.
    Stmt& stmt(const std::string& sql);
    void exec(const char* sql);
    // A pavo::Error for the connection's last SQLite error, with what as context.
    [[noreturn]] void fail(const std::string& what);

    // Brackets one write operation (a post, a delete, a copy) as a savepoint inside the scope's
    // transaction, or as its own transaction outside any CommandScope.
    // single_statement: the operation makes one change that SQLite applies whole or not at all.
    void begin_write(bool single_statement = false);
    void end_write(bool ok);
    // Commits an open scope transaction (a commit point).
    void commit_scope_transaction();

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
    void run(const char* sql);
};

// Opens a SQLite handle on an existing file (no creation) with the layer's settings; throws
// kNotFound / kCorruption naming the file.
sqlite3* open_sqlite(const fs::path& file, bool create);
// Reads the definitions stored in a table file and how it names its columns; kCorruption when it
// holds none, they are damaged, or the data table's columns are not those of the fields.
Schema read_schema(sqlite3* db, const fs::path& file);
// Writes a new table's definitions and its data table with indexes into an empty database, with
// columns named as schema.naming says.
void write_schema(sqlite3* db, const Schema& schema);
// Messages name the file as the user knows it.
std::string file_label(const fs::path& file);
// Throws kLocked "Table is busy: <file>" unless an exclusive lock on the file can be had now.
void check_not_busy(const fs::path& file);
// Commits every scope transaction (CommandScope end and commit()).
void commit_all_scope_transactions(bool throw_on_error);

}  // namespace pavo::tables
