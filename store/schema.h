// The nineteen tables of a table set, as data: fields, indexes, initial rows and creation texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::store {

struct TableSchema {
    std::string method;     // the creation routine's name, e.g. "create_pavoden2_table"
    std::string file_name;  // the name it is created under, e.g. "pavoden2", "stats_st.db"
    std::string open_name;  // the name the shared datasets open it by, e.g. "PAVODEN2.DB"
    std::vector<tables::FieldDef> fields;   // in table order
    std::vector<tables::IndexDef> indexes;  // primary first, then the named ones in order
    std::vector<std::vector<std::string>> initial_rows;  // texts in field order
    std::vector<std::string> lines_before_rows;  // progress lines up to the rows (first line first)
    std::vector<std::string> lines_after_rows;   // the closing progress line(s)
};

// Every table in creation order (the order of the nineteen create_... routines).
const std::vector<TableSchema>& schema();

// The table whose open name or file name matches (case-insensitively, with or without ".db");
// nullptr when there is none.
const TableSchema* find_table_schema(std::string_view name);

}  // namespace pavo::store
