// Shared connections per table file, the stored table definitions and the write transactions.
#include "tables/src/connection.h"

#include <sys/file.h>

#include <cerrno>
#include <map>
#include <optional>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "tables/src/filter.h"
#include "tables/src/table_impl.h"
#include "tables/src/values.h"

namespace pavo::tables {

namespace {

// Process-wide: open connections by file, and the scope state of CommandScope.
std::map<std::string, std::weak_ptr<Connection>>& registry() {
    static std::map<std::string, std::weak_ptr<Connection>> r;
    return r;
}
int g_scope_depth = 0;
std::vector<Connection*> g_scope_connections;
// A commit that failed where nothing could throw (a scope's end, a connection's last close).
std::optional<Error> g_failed_commit;

// The longest a scope transaction stays open while writes go on; bounds what a crash can lose.
std::chrono::milliseconds g_max_transaction_age(500);
// Statements kept per connection before the unused ones are let go: filters and searches make
// one-off statements.
constexpr std::size_t kStatementLimit = 200;
constexpr int kFormatVersion = 1;

std::string key_of(const fs::path& file) {
    return file.lexically_normal().string();
}

FieldType type_from_name(const std::string& name, const fs::path& file) {
    for (FieldType t : {FieldType::kString, FieldType::kDate, FieldType::kFloat,
                        FieldType::kBoolean, FieldType::kAutoInc, FieldType::kMemo})
        if (name == field_type_name(t)) return t;
    throw Error(
        ErrorKind::kCorruption,
        file_label(file) + " is not a table file or is damaged (field type '" + name + "')");
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace

const char* field_type_name(FieldType type) {
    switch (type) {
        case FieldType::kString:
            return "ftString";
        case FieldType::kDate:
            return "ftDate";
        case FieldType::kFloat:
            return "ftFloat";
        case FieldType::kBoolean:
            return "ftBoolean";
        case FieldType::kAutoInc:
            return "ftAutoInc";
        case FieldType::kMemo:
            return "ftMemo";
    }
    return "?";
}

std::string file_label(const fs::path& file) {
    try {
        return DriveMap::current().to_logical(file);
    } catch (const Error&) {
        return file.string();  // a path the drive map cannot express is still worth naming
    }
}

void set_max_transaction_age(std::chrono::milliseconds age) {
    g_max_transaction_age = age;
}

Stmt::Stmt(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt_, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        int code = sqlite3_errcode(db);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        ErrorKind kind = (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) ? ErrorKind::kCorruption
                         : code == SQLITE_BUSY                             ? ErrorKind::kLocked
                                                                           : ErrorKind::kInternal;
        throw Error(kind, "Table statement failed: " + msg);
    }
}

Stmt::~Stmt() {
    sqlite3_finalize(stmt_);
}

sqlite3* open_sqlite(const fs::path& file, bool create) {
    if (!create && file_system().stat(file).type != EntryType::kFile) {
        throw Error(ErrorKind::kNotFound, "Table does not exist: " + file_label(file));
    }
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw Error(rc == SQLITE_CANTOPEN ? ErrorKind::kNotFound : ErrorKind::kIO,
                    "Cannot open table " + file_label(file) + ": " + msg);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, 5000);
    // The rollback journal keeps every committed row in the table file itself (a backup that
    // copies the file alone gets it); FULL makes each commit durable on power loss too.
    const char* setup =
        "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-16000;"
        "PRAGMA temp_store=MEMORY;"
        "PRAGMA foreign_keys=OFF; PRAGMA trusted_schema=OFF;";
    char* err = nullptr;
    rc = sqlite3_exec(db, setup, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        sqlite3_close(db);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
        throw Error(ErrorKind::kCorruption,
                    file_label(file) + " is not a table file or is damaged (" + msg + ")");
    }
    return db;
}

Schema read_schema(sqlite3* db, const fs::path& file) {
    Schema s;
    auto damaged = [&](const std::string& why) -> Error {
        return Error(ErrorKind::kCorruption,
                     file_label(file) + " is not a table file or is damaged (" + why + ")");
    };
    auto query = [&](const char* sql, auto&& row) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        // Finalized on every way out, a throwing row reader included: a statement left behind
        // would keep the connection's memory alive after it is closed.
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) row(st.get());
        }
        if (rc == SQLITE_OK || rc == SQLITE_DONE) return;
        std::string msg = sqlite3_errmsg(db);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
        throw damaged(msg);
    };
    auto text = [](sqlite3_stmt* st, int c) {
        const unsigned char* p = sqlite3_column_text(st, c);
        return std::string(p ? reinterpret_cast<const char*>(p) : "");
    };
    int format = 0;
    query("SELECT value FROM pavo_table WHERE key='format'",
          [&](sqlite3_stmt* st) { format = sqlite3_column_int(st, 0); });
    if (format != kFormatVersion) throw damaged("unknown format " + std::to_string(format));
    query("SELECT name, type, size, required FROM pavo_fields ORDER BY pos", [&](sqlite3_stmt* st) {
        FieldDef f;
        f.name = text(st, 0);
        f.type = type_from_name(text(st, 1), file);
        f.size = sqlite3_column_int(st, 2);
        f.required = sqlite3_column_int(st, 3) != 0;
        s.fields.push_back(std::move(f));
    });
    query(
        "SELECT name, fields, is_primary, is_unique, descending, case_insensitive "
        "FROM pavo_indexes ORDER BY pos",
        [&](sqlite3_stmt* st) {
            IndexDef d;
            d.name = text(st, 0);
            d.fields = text(st, 1);
            d.primary = sqlite3_column_int(st, 2) != 0;
            d.unique = sqlite3_column_int(st, 3) != 0;
            d.descending = sqlite3_column_int(st, 4) != 0;
            d.case_insensitive = sqlite3_column_int(st, 5) != 0;
            s.indexes.push_back(std::move(d));
        });
    if (s.fields.empty()) throw damaged("no fields");
    for (const auto& d : s.indexes) {
        auto names = split_fields(d.fields);
        if (names.empty()) throw damaged("index '" + d.name + "' has no fields");
        for (const auto& n : names)
            if (find_field(s.fields, n) < 0)
                throw damaged("index '" + d.name + "' names no field of the table");
    }
    int columns = -1;
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT * FROM data LIMIT 0", -1, &st, nullptr) == SQLITE_OK)
            columns = sqlite3_column_count(st);
        sqlite3_finalize(st);
    }
    if (columns != static_cast<int>(s.fields.size()) + 1) throw damaged("data columns");
    return s;
}

void write_schema(sqlite3* db, const Schema& schema) {
    std::string sql =
        "CREATE TABLE pavo_table(key TEXT PRIMARY KEY, value);"
        "INSERT INTO pavo_table VALUES('format'," +
        std::to_string(kFormatVersion) +
        ");"
        "CREATE TABLE pavo_fields(pos INTEGER PRIMARY KEY, name TEXT, type TEXT, size INTEGER,"
        " required INTEGER);"
        "CREATE TABLE pavo_indexes(pos INTEGER PRIMARY KEY, name TEXT, fields TEXT,"
        " is_primary INTEGER, is_unique INTEGER, descending INTEGER, case_insensitive INTEGER);";
    std::string data = "CREATE TABLE data(rid INTEGER PRIMARY KEY AUTOINCREMENT";
    for (std::size_t i = 0; i < schema.fields.size(); ++i) {
        const FieldDef& f = schema.fields[i];
        sql += "INSERT INTO pavo_fields VALUES(" + std::to_string(i) + "," + quoted(f.name) + ",'" +
               field_type_name(f.type) + "'," + std::to_string(f.size) + "," +
               (f.required ? "1" : "0") + ");";
        data += ", " + column_name(static_cast<int>(i));
    }
    sql += data + ");";
    for (std::size_t i = 0; i < schema.indexes.size(); ++i) {
        const IndexDef& d = schema.indexes[i];
        sql += "INSERT INTO pavo_indexes VALUES(" + std::to_string(i) + "," + quoted(d.name) + "," +
               quoted(d.fields) + "," + (d.primary ? "1" : "0") + "," + (d.unique ? "1" : "0") +
               "," + (d.descending ? "1" : "0") + "," + (d.case_insensitive ? "1" : "0") + ");";
        // Ascending SQLite indexes serve descending orders too (scanned backwards).
        std::string cols;
        for (const auto& n : split_fields(d.fields)) {
            int f = find_field(schema.fields, n);
            if (!cols.empty()) cols += ", ";
            cols += column_name(f) + (d.case_insensitive && !d.primary ? " COLLATE NOCASE" : "");
        }
        bool unique = d.primary || d.unique;
        sql += std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX ix" + std::to_string(i) +
               " ON data(" + cols + ");";
    }
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown";
        sqlite3_free(err);
        throw Error(ErrorKind::kIO, "Cannot create table: " + msg);
    }
}

void check_not_busy(const fs::path& file) {
    if (Connection::in_use(file))
        throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
    std::unique_ptr<File> f;
    try {
        f = file_system().open(file, OpenMode::kRead);
    } catch (const Error&) {
        return;  // nothing to lock: the caller reports the missing file itself
    }
    int fd = f->native_handle();
    bool busy = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    f->close();
    if (busy) throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
}

bool Connection::in_use(const fs::path& file) {
    auto it = registry().find(key_of(file));
    return it != registry().end() && !it->second.expired();
}

std::shared_ptr<Connection> Connection::acquire(const fs::path& file, bool exclusive) {
    std::string key = key_of(file);
    auto& reg = registry();
    auto it = reg.find(key);
    if (it != reg.end()) {
        if (auto c = it->second.lock()) {
            if (exclusive || c->exclusive_)
                throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
            return c;
        }
    }
    std::shared_ptr<Connection> c(new Connection());
    c->file_ = file;
    c->key_ = key;
    c->exclusive_ = exclusive;
    if (file_system().stat(file).type != EntryType::kFile)
        throw Error(ErrorKind::kNotFound, "Table does not exist: " + file_label(file));
    // A lock held on a descriptor of our own tells other processes the table is open (shared) or
    // taken (exclusive). It is taken before SQLite opens the file and dropped after it closes, so
    // closing it never drops SQLite's own locks on the file.
    c->lock_file_ = file_system().open(file, OpenMode::kRead);
    int fd = c->lock_file_->native_handle();
    if (fd >= 0 && flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        int err = errno;
        c->lock_file_->close();
        c->lock_file_.reset();
        if (err == EWOULDBLOCK)
            throw Error(ErrorKind::kLocked, "Table is busy: " + file_label(file));
        throw Error::from_errno("Cannot lock table " + file_label(file), err);
    }
    c->db_ = open_sqlite(file, false);
    c->schema_ = read_schema(c->db_, file);
    reg[key] = c;
    return c;
}

Connection::~Connection() {
    // The last Table on the file closed inside a scope: its writes commit now. Nobody can catch
    // here, so a refusal is kept for the scope to report.
    try {
        commit_scope_transaction();
    } catch (const Error& e) {
        if (!g_failed_commit) g_failed_commit = e;
    }
    stmts_.clear();
    if (db_) sqlite3_close_v2(db_);
    if (lock_file_) {
        try {
            lock_file_->close();
        } catch (const Error&) {
        }
    }
    auto& reg = registry();
    auto it = reg.find(key_);
    if (it != reg.end() && it->second.expired()) reg.erase(it);
}

Stmt& Connection::stmt(const std::string& sql) {
    auto it = stmts_.find(sql);
    if (it != stmts_.end()) return *it->second;
    // Only statements nobody holds are let go: a caller may be stepping one (a view being read
    // while a search prepares its own), and freeing it would leave the caller a dangling handle.
    if (stmts_.size() > kStatementLimit)
        std::erase_if(stmts_, [](const auto& entry) { return !entry.second->in_use(); });
    auto s = std::make_unique<Stmt>(db_, sql);
    Stmt& ref = *s;
    stmts_.emplace(sql, std::move(s));
    return ref;
}

void Connection::exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        fail(sql);
    }
}

void Connection::fail(const std::string& what) {
    int code = sqlite3_errcode(db_);
    std::string msg = sqlite3_errmsg(db_);
    std::string where = file_label(file_);
    switch (code) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw Error(ErrorKind::kLocked, "Table is busy: " + where);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            throw Error(ErrorKind::kCorruption,
                        where + " is not a table file or is damaged (" + msg + ")");
        case SQLITE_CONSTRAINT:
            throw Error(ErrorKind::kKeyViolation, "Key violation.\nTable: " + where);
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
            throw Error(ErrorKind::kIO, "Cannot write table " + where + ": " + msg);
        default:
            throw Error(ErrorKind::kInternal,
                        "Table operation failed on " + where + " (" + what + "): " + msg);
    }
}

void Connection::begin_write(bool single_statement) {
    if (write_depth_ > 0) {
        ++write_depth_;
        return;
    }
    if (!txn_owners_.empty()) {
        // Whatever writes this file while a Transaction is open belongs to that transaction, even
        // when another command writes it: the transaction's end decides for both.
        if (txn_lost_)
            throw Error(ErrorKind::kIO, "Cannot write table " + file_label(file_) +
                                            ": its transaction was rolled back after an error");
        savepoint_ = !single_statement;
        if (savepoint_) run("SAVEPOINT op");
    } else if (g_scope_depth > 0) {
        auto now = std::chrono::steady_clock::now();
        if (in_scope_txn_ && now - txn_start_ >= g_max_transaction_age) commit_scope_transaction();
        if (!in_scope_txn_) {
            exec("BEGIN IMMEDIATE");
            in_scope_txn_ = true;
            txn_start_ = now;
            g_scope_connections.push_back(this);
        }
        // SQLite undoes a failed statement by itself; only a group of statements needs a savepoint.
        savepoint_ = !single_statement;
        if (savepoint_) run("SAVEPOINT op");
    } else {
        savepoint_ = false;
        run("BEGIN IMMEDIATE");
    }
    write_depth_ = 1;
}

void Connection::run(const char* sql) {
    StmtUse s(stmt(sql));
    if (sqlite3_step(*s) != SQLITE_DONE) fail(sql);
}

bool Connection::lost_transaction() {
    if (!sqlite3_get_autocommit(db_)) return false;
    if (!txn_owners_.empty()) txn_lost_ = true;
    if (in_scope_txn_) {
        in_scope_txn_ = false;
        std::erase(g_scope_connections, this);
    }
    reread_tables();
    return true;
}

void Connection::end_write(bool ok) {
    if (write_depth_ > 1) {
        --write_depth_;
        return;
    }
    write_depth_ = 0;
    ++generation;
    if (in_scope_txn_ || !txn_owners_.empty()) {
        // Some failures (disk full, I/O errors) make SQLite end the whole transaction; the rows
        // posted before in it are gone then, and the Tables must show that.
        if (!ok && lost_transaction()) return;
        if (!savepoint_) return;
        if (ok) {
            StmtUse s(stmt("RELEASE op"));
            if (sqlite3_step(*s) == SQLITE_DONE) return;
        }
        int code = sqlite3_errcode(db_);
        std::string msg = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK TO op; RELEASE op", nullptr, nullptr, nullptr);
        if (!ok) {
            lost_transaction();
            return;
        }
        // The operation itself went through but could not be kept: the caller must hear of it.
        if (!lost_transaction()) reread_tables();
        throw Error(code == SQLITE_BUSY ? ErrorKind::kLocked : ErrorKind::kIO,
                    "Cannot write table " + file_label(file_) + ": " + msg);
    }
    if (ok) {
        StmtUse s(stmt("COMMIT"));
        if (sqlite3_step(*s) == SQLITE_DONE) return;
        // A refused commit (disk full, ...) must not leave a half transaction behind.
        int code = sqlite3_errcode(db_);
        std::string msg = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw Error(code == SQLITE_BUSY ? ErrorKind::kLocked : ErrorKind::kIO,
                    "Cannot write table " + file_label(file_) + ": " + msg);
    }
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::fail_commit(const std::string& msg, int code) {
    // SQLite keeps a transaction whose commit it refused (a busy file); its rows must not stay
    // as if stored, neither in the file nor in any Table's cache.
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    ++generation;
    reread_tables();
    throw Error(code == SQLITE_BUSY || code == SQLITE_LOCKED ? ErrorKind::kLocked : ErrorKind::kIO,
                "Cannot write table " + file_label(file_) + ": " + msg);
}

void Connection::commit_scope_transaction() {
    if (!in_scope_txn_) return;
    in_scope_txn_ = false;
    std::erase(g_scope_connections, this);
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail_commit(sqlite3_errmsg(db_), sqlite3_errcode(db_));
}

int Connection::begin_transaction(const void* owner) {
    if (write_depth_ > 0)
        throw Error(ErrorKind::kInvalidInput, "A transaction cannot begin inside a write");
    if (txn_owners_.empty()) {
        // The scope's writes so far are the command's own: they commit here, so the
        // transaction's rollback cannot take them along.
        commit_scope_transaction();
        txn_lost_ = false;
        run("BEGIN IMMEDIATE");
    } else {
        if (txn_lost_)
            throw Error(ErrorKind::kIO, "Cannot write table " + file_label(file_) +
                                            ": its transaction was rolled back after an error");
        run(("SAVEPOINT tx" + std::to_string(txn_owners_.size() + 1)).c_str());
    }
    txn_owners_.push_back(owner);
    return static_cast<int>(txn_owners_.size());
}

const void* Connection::transaction_owner(int level) const {
    if (level < 1 || level > static_cast<int>(txn_owners_.size())) return nullptr;
    return txn_owners_[static_cast<std::size_t>(level - 1)];
}

void Connection::commit_transaction(int level) {
    if (level != static_cast<int>(txn_owners_.size()))
        throw Error(ErrorKind::kInvalidInput,
                    "A transaction begun inside this one is still open on " + file_label(file_));
    if (txn_lost_) {
        rollback_transaction(level);
        throw Error(ErrorKind::kIO, "Cannot write table " + file_label(file_) +
                                        ": its transaction was rolled back after an error");
    }
    if (level > 1) {
        std::string sql = "RELEASE tx" + std::to_string(level);
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            int code = sqlite3_errcode(db_);
            std::string msg = sqlite3_errmsg(db_);
            rollback_transaction(level);
            throw Error(code == SQLITE_BUSY ? ErrorKind::kLocked : ErrorKind::kIO,
                        "Cannot write table " + file_label(file_) + ": " + msg);
        }
        txn_owners_.pop_back();
        return;
    }
    txn_owners_.clear();
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail_commit(sqlite3_errmsg(db_), sqlite3_errcode(db_));
}

void Connection::rollback_transaction(int level) noexcept {
    if (level < 1 || level > static_cast<int>(txn_owners_.size())) return;
    if (level == 1) {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        txn_lost_ = false;
    } else if (!txn_lost_) {
        std::string name = "tx" + std::to_string(level);
        std::string sql = "ROLLBACK TO " + name + "; RELEASE " + name;
        sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    txn_owners_.resize(static_cast<std::size_t>(level - 1));
    ++generation;
    reread_tables();
}

void Connection::attach(TableImpl* table) {
    tables_.push_back(table);
}

void Connection::detach(TableImpl* table) {
    std::erase(tables_, table);
}

void Connection::reread_tables() noexcept {
    std::vector<TableImpl*> list = tables_;
    for (TableImpl* t : list) t->reread();
}

void commit_all_scope_transactions(bool throw_on_error) {
    std::vector<Connection*> list = g_scope_connections;
    std::optional<Error> first;
    for (Connection* c : list) {
        try {
            c->commit_scope_transaction();
        } catch (const Error& e) {
            if (!first) first = e;
        }
    }
    if (!first) return;
    if (throw_on_error) throw *first;
    if (!g_failed_commit) g_failed_commit = *first;
}

CommandScope::CommandScope() {
    // A failure kept from an earlier command is that command's to report, not this one's.
    if (g_scope_depth++ == 0) g_failed_commit.reset();
}

CommandScope::~CommandScope() {
    if (--g_scope_depth == 0) commit_all_scope_transactions(false);
}

void CommandScope::commit() {
    std::optional<Error> kept = std::move(g_failed_commit);
    g_failed_commit.reset();
    try {
        commit_all_scope_transactions(true);
    } catch (const Error& e) {
        if (!kept) throw;
        throw Error(e.kind(), std::string(e.what()) + "\n" + kept->what());
    }
    if (kept) throw *kept;
}

std::string CommandScope::failed_commit() {
    return g_failed_commit ? std::string(g_failed_commit->what()) : std::string();
}

}  // namespace pavo::tables
