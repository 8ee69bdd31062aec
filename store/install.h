// The installation step: the folder tree, the first table set, the alias, and the sample set.
#pragma once

#include <string>
#include <vector>

namespace pavo::store {

struct InstallOptions {
    bool sample_data = false;  // also build the demonstration set (the SAMPLE folder of db)
};

struct InstallReport {
    std::vector<std::string> lines;  // what was found and what was made, one line each
    bool changed = false;            // anything created
};

// Creates what is missing of c:\mydata\KV-DB\PAVODEN2\ (db\, zip\databases\, filter_files\,
// reports\), the tables in db\ with their initial rows, the alias PAVODEN2 (saved), and with
// sample_data the demonstration set. Never overwrites an existing table or alias. Throws
// pavo::Error when a folder or table cannot be made.
InstallReport install(const InstallOptions& options);

// The live table folder of a fresh installation.
inline constexpr const char* kLiveTablesDir = "c:\\mydata\\KV-DB\\PAVODEN2\\db\\";

}  // namespace pavo::store
