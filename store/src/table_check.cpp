// Opening, integrity-checking and reading every table of a folder.
#include "store/table_check.h"

#include <algorithm>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "tables/integrity.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::store {

namespace {

std::string logical_folder_of(const std::string& database) {
    bool is_path = database.size() > 1 && database[1] == ':';
    return is_path ? database : AliasConfig::current().path(database);
}

std::string with_separator(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder.push_back('\\');
    return folder;
}

TableCheck check_one(const std::string& folder, const std::string& file, const std::string& label) {
    TableCheck c;
    c.table = label;
    try {
        tables::Table t;
        t.set_database_name(folder);
        t.set_table_name(file);
        t.open();
        c.fields = static_cast<int>(t.field_defs().size());
        std::string problem = tables::integrity_check(t);
        if (!problem.empty()) throw Error(ErrorKind::kCorruption, problem);
        for (t.first(); !t.eof(); t.next(), ++c.rows)
            for (int i = 0; i < t.field_count(); ++i) (void)t.field(i).as_string();
        c.ok = true;
    } catch (const std::exception& e) {
        c.ok = false;
        c.problem = e.what();
    }
    return c;
}

void check_folder(const std::string& folder, const std::string& prefix, bool recursive,
                  std::vector<TableCheck>& out) {
    fs::path host = DriveMap::current().to_host(folder);
    if (!file_system().is_directory(host))
        throw Error(ErrorKind::kNotFound, "Directory does not exist: " + folder);
    std::vector<DirEntry> entries = file_system().list(host);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    for (const auto& e : entries) {
        std::string lower = to_lower(e.name);
        if (e.type == EntryType::kFile && lower.size() > 3 && lower.ends_with(".db"))
            out.push_back(check_one(folder, e.name, prefix + e.name));
    }
    if (!recursive) return;
    for (const auto& e : entries)
        if (e.type == EntryType::kDirectory)
            check_folder(with_separator(folder) + e.name + "\\", prefix + e.name + "\\", true, out);
}

}  // namespace

std::vector<TableCheck> check_table_folder(const std::string& database, bool recursive) {
    std::vector<TableCheck> out;
    check_folder(with_separator(logical_folder_of(database)), "", recursive, out);
    return out;
}

}  // namespace pavo::store
