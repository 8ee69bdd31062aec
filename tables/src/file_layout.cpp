// Telling a table file's column layout, and rebuilding a file with numbered columns beside itself
// with named ones.
#include "tables/file_layout.h"

#include <sys/file.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_system.h"
#include "tables/src/connection.h"

namespace pavo::tables {

namespace {

// Closes a SQLite handle on every way out; an open transaction is rolled back.
struct Handle {
    sqlite3* db;
    ~Handle() { sqlite3_close_v2(db); }
};

fs::path journal_of(const fs::path& file) {
    return fs::path(file.string() + "-journal");
}

void remove_if_present(const fs::path& p) {
    if (file_system().exists(p)) file_system().remove(p);
}

bool is_rid(const std::string& name) {
    return name.size() == 3 && (name[0] == 'r' || name[0] == 'R') &&
           (name[1] == 'i' || name[1] == 'I') && (name[2] == 'd' || name[2] == 'D');
}

// The definitions and layout of a table file. Reading also rolls back what a crash left half
// written in it.
Schema schema_of(const fs::path& file) {
    Handle h{open_sqlite(file, false)};
    return read_schema(h.db, file);
}

void run(sqlite3* db, const std::string& sql, const fs::path& file) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        throw Error(ErrorKind::kIO, "Cannot convert table " + file_label(file) + ": " + msg);
    }
}

// Writes the converted table into tmp, a new file, reading the rows from file.
void build_beside(const fs::path& tmp, const fs::path& file, const Schema& numbered) {
    Handle h{open_sqlite(tmp, true)};
    {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(h.db, "ATTACH DATABASE ? AS old", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(st, 1, file.c_str(), -1, SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE && rc != SQLITE_OK)
            throw Error(ErrorKind::kIO,
                        "Cannot convert table " + file_label(file) + ": " + sqlite3_errmsg(h.db));
    }
    Schema named = numbered;
    named.naming = ColumnNaming::kFieldNames;
    run(h.db, "BEGIN", file);
    write_schema(h.db, named);
    // Settings kept beside the format number travel with the table.
    run(h.db,
        "INSERT OR IGNORE INTO main.pavo_table(key, value) SELECT key, value FROM old.pavo_table;"
        // Both data tables hold rid and the fields in field order (read_schema saw to it), so
        // the rows copy as they are stored, with their index entries, and fast.
        "INSERT INTO main.data SELECT * FROM old.data;"
        // Numbers of rows deleted at the end are never given again: the counter moves as is.
        "DELETE FROM main.sqlite_sequence;"
        "INSERT INTO main.sqlite_sequence(name, seq) SELECT name, seq FROM "
        "old.sqlite_sequence;",
        file);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h.db,
                       "SELECT (SELECT count(*) FROM main.data) = (SELECT count(*) FROM old.data)",
                       -1, &st, nullptr);
    bool same = st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 1;
    sqlite3_finalize(st);
    if (!same)
        throw Error(ErrorKind::kIO,
                    "Cannot convert table " + file_label(file) + ": the rows did not all copy");
    run(h.db, "COMMIT", file);
    run(h.db, "DETACH DATABASE old", file);
}

}  // namespace

bool has_named_columns(const fs::path& file) {
    return Connection::acquire(file, false)->schema().naming == ColumnNaming::kFieldNames;
}

bool upgrade_table_file(const fs::path& file) {
    if (file_system().stat(file).type != EntryType::kFile)
        throw Error(ErrorKind::kNotFound, "Table does not exist: " + file_label(file));
    if (Connection::in_use(file)) return false;
    // Most files are converted already: tell so without the lock below, which would make another
    // process opening the table just then find it busy.
    if (schema_of(file).naming == ColumnNaming::kFieldNames) return false;
    // The lock an exclusive open takes, held until the new file is in place: a process that has
    // the table open keeps it as it is, and none opens it half way. Taken before SQLite opens the
    // file and dropped after it closes, as a connection does.
    std::unique_ptr<File> lock = file_system().open(file, OpenMode::kRead);
    struct Unlock {
        File& f;
        ~Unlock() {
            try {
                f.close();
            } catch (const Error&) {
            }
        }
    } unlock{*lock};
    int fd = lock->native_handle();
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        if (err == EWOULDBLOCK) return false;
        throw Error::from_errno("Cannot lock table " + file_label(file), err);
    }

    // Read again under the lock: another process may have converted the file meanwhile.
    Schema schema = schema_of(file);
    if (schema.naming == ColumnNaming::kFieldNames) return false;
    for (const auto& f : schema.fields)
        if (is_rid(f.name)) return false;

    fs::path tmp = file.string() + ".converting";
    remove_if_present(tmp);
    remove_if_present(journal_of(tmp));
    try {
        build_beside(tmp, file, schema);
        // Reading the old file rolled back any journal a crash left, so one found now is stale;
        // it must never be applied to the new file.
        remove_if_present(journal_of(file));
        file_system().rename(tmp, file);
    } catch (...) {
        try {
            remove_if_present(tmp);
            remove_if_present(journal_of(tmp));
        } catch (const Error&) {
        }
        throw;
    }
    try {
        file_system().sync_directory(file.parent_path());
    } catch (const Error&) {
        // The new file is in place; only the rename's durability across a power cut is in doubt.
    }
    return true;
}

}  // namespace pavo::tables
