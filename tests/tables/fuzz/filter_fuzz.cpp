// Fuzz target of the filter language: any text either is refused with a pavo::Error or compiles to
// a condition SQLite accepts with exactly the values it binds, alone and inside the condition a
// posted row is checked with.
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "tables/src/filter.h"

using namespace pavo::tables;

namespace {

const std::vector<FieldDef>& fields() {
    static const std::vector<FieldDef> f = {
        {"NAME", FieldType::kString, 40},   {"DATE", FieldType::kDate},  {"AMT", FieldType::kFloat},
        {"OK", FieldType::kBoolean},        {"PK", FieldType::kAutoInc}, {"MEMO", FieldType::kMemo},
        {"24_HOUR", FieldType::kString, 5},
    };
    return f;
}

sqlite3* database() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d,
                     "CREATE TABLE data(rid INTEGER PRIMARY KEY, NAME, DATE, AMT, OK, PK, MEMO,"
                     " \"24_HOUR\");"
                     "INSERT INTO data VALUES(1, 'a', 38000, 1.5, 1, 1, 'memo', '10:00'), (2, "
                     "NULL, NULL, NULL, NULL, 2, NULL, NULL);",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    FilterExpr expr;
    try {
        expr = parse_filter(text);
    } catch (const pavo::Error& e) {
        if (e.kind() != pavo::ErrorKind::kInvalidInput) std::abort();
        if (std::string(e.what()).find("position ") == std::string::npos) std::abort();
        return 0;
    }
    for (bool nocase : {false, true}) {
        CompiledFilter c;
        try {
            c = compile_filter(expr, fields(), nocase);
        } catch (const pavo::Error& e) {
            if (e.kind() != pavo::ErrorKind::kNotFound && e.kind() != pavo::ErrorKind::kConversion)
                std::abort();
            return 0;
        }
        for (bool wrapped : {false, true}) {
            std::string sql = wrapped ? "SELECT 1 FROM data WHERE rid = ? AND (" + c.sql + ")"
                                      : "SELECT rid FROM data WHERE " + c.sql;
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(database(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
                std::abort();
            int first = wrapped ? 2 : 1;
            if (wrapped) sqlite3_bind_int64(st, 1, 1);
            if (sqlite3_bind_parameter_count(st) != static_cast<int>(c.binds.size()) + first - 1)
                std::abort();
            for (std::size_t i = 0; i < c.binds.size(); ++i)
                bind_value(st, static_cast<int>(i) + first, c.binds[i]);
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) std::abort();
            sqlite3_finalize(st);
        }
    }
    return 0;
}
