// Vouching for a folder of tables: each opens, its definition reads, its file passes the integrity
// check and every row reads. Used by the table tool's check and after restoring a backup.
#pragma once

#include <string>
#include <vector>

namespace pavo::store {

struct TableCheck {
    std::string table;  // file name, with the subfolder for tables below the folder ("SET\city.db")
    bool ok = false;
    int fields = 0;
    int rows = 0;
    std::string problem;  // the error text when !ok
};

// Checks every table file (*.db) in a folder given as an alias name or a logical path, in name
// order; with recursive, also those in its subfolders (table sets made inside it). A folder that
// does not exist throws pavo::Error (kNotFound); a bad table is reported, never thrown.
std::vector<TableCheck> check_table_folder(const std::string& database, bool recursive = false);

}  // namespace pavo::store
