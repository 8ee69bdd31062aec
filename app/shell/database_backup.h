// The backup commands of the main window: ZIP Databases, UNZIP Databases and Table Conversion,
// run on Arcvane1.
#pragma once

#include <string>

namespace pavo::app::shell {

class MainScreen;

// ZIPDatabases1Click: the dated backup of the table directory (and the backup bracket's run).
void zip_databases_command(MainScreen& main);
// UNZIPDatabases1Click: a chosen archive unpacked into c:\temp02\restored, then its tables checked.
void unzip_databases_command(MainScreen& main);
// TableConversion1Click: the pre-conversion backup and the instructions.
void table_conversion_command(MainScreen& main);

// Registers the three commands with the main window's command registry.
void register_backup_commands();

// The check of a restored folder, as the closing message shows it: one line per table.
std::string restored_tables_report(const std::string& folder);

}  // namespace pavo::app::shell
