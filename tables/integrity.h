// Integrity checking of a table file, for tools that vouch for a table set (check, restore).
#pragma once

#include <string>

#include "tables/table.h"

namespace pavo::tables {

// Runs the storage engine's full integrity check over the file of an open table. Returns "" when
// the file is sound, else the first problems found, prefixed with the file's name. Throws the
// table layer's pavo::Error when the table is not open.
std::string integrity_check(const Table& table);

}  // namespace pavo::tables
