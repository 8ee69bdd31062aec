// The integrity check of a table file through the table's shared connection.
#include "tables/integrity.h"

#include "platform/error.h"
#include "tables/src/connection.h"

namespace pavo::tables {

std::string integrity_check(const Table& table) {
    if (!table.active())
        throw Error(ErrorKind::kInvalidInput, "Table is not open: " + table.table_name());
    fs::path file = table.file_path();
    std::shared_ptr<Connection> conn = Connection::acquire(file, false);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(conn->db(), "PRAGMA integrity_check(20)", -1, &stmt, nullptr) !=
        SQLITE_OK)
        conn->fail("Cannot check " + file_label(file));
    std::string problems;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const char* line = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        std::string text = line ? line : "";
        if (text == "ok") continue;
        problems += (problems.empty() ? "" : "; ") + text;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE && problems.empty()) problems = sqlite3_errstr(rc);
    return problems.empty() ? std::string() : file_label(file) + ": " + problems;
}

}  // namespace pavo::tables
