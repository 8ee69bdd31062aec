// Shared helpers for the store tests: a private home and quick table reads.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "store/table_tool.h"
#include "support/temp_home.h"
#include "support/tool_run.h"
#include "tables/table.h"

namespace pavo::testing {

inline ToolRun tool(const std::vector<std::string>& args) {
    return pavo::testing::run_tool(store::run_table_tool, args);
}

// Every row of a table as texts of the given fields, in the table's primary order.
inline std::vector<std::vector<std::string>> read_rows(const std::string& database,
                                                       const std::string& table,
                                                       const std::vector<std::string>& fields) {
    tables::Table t;
    t.set_database_name(database);
    t.set_table_name(table);
    t.open();
    std::vector<std::vector<std::string>> rows;
    for (t.first(); !t.eof(); t.next()) {
        std::vector<std::string> row;
        for (const auto& f : fields) row.push_back(t.field(f).as_string());
        rows.push_back(row);
    }
    return rows;
}

inline int row_count(const std::string& database, const std::string& table) {
    tables::Table t;
    t.set_database_name(database);
    t.set_table_name(table);
    t.open();
    return t.record_count();
}

}  // namespace pavo::testing
