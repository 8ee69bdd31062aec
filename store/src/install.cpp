// The installation step: creates what is missing of the tree, the live tables and the alias.
#include "store/install.h"

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/sample_data.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/file_layout.h"

namespace pavo::store {

namespace {

const char* const kFolders[] = {
    "c:\\mydata\\KV-DB\\PAVODEN2\\db\\",
    "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\",
    "c:\\mydata\\KV-DB\\PAVODEN2\\filter_files\\",
    "c:\\mydata\\KV-DB\\PAVODEN2\\reports\\",
};

// Creates a folder and its parents; true when it had to be made.
bool ensure_folder(const std::string& logical) {
    fs::path host = DriveMap::current().to_host(logical);
    if (file_system().is_directory(host)) return false;
    make_directories(logical);
    host = DriveMap::current().to_host(logical);
    if (!file_system().is_directory(host)) {
        MkdirResult r = make_directory(logical);
        throw Error(ErrorKind::kIO, "Cannot create the folder " + logical + ": " + r.text, r.error);
    }
    return true;
}

// Converts a table made with numbered columns to columns named after its fields. A table that
// cannot be converted now keeps working as it is: a line of the report, not a failed setup.
bool convert_table(const tables::Table& probe, InstallReport& report) {
    try {
        return tables::upgrade_table_file(probe.file_path());
    } catch (const Error& e) {
        report.lines.push_back("table: " + probe.table_name() + " left as it is (" + e.what() +
                               ")");
        return false;
    }
}

// Creates every table of the schema that the folder lacks, and converts those it holds with
// numbered columns; returns how many were made.
int ensure_tables(const std::string& folder, InstallReport& report) {
    int made = 0, converted = 0;
    for (const auto& t : schema()) {
        tables::Table probe;
        probe.set_database_name(folder);
        probe.set_table_name(t.file_name);
        if (probe.exists()) {
            converted += convert_table(probe, report) ? 1 : 0;
            continue;
        }
        TableSetCreator::create_table_in(folder, t);
        ++made;
    }
    if (converted > 0) {
        report.lines.push_back("tables: converted " + std::to_string(converted) +
                               " to columns named after their fields in " + folder);
        report.changed = true;
    }
    if (made == 0) {
        report.lines.push_back("tables: all " + std::to_string(schema().size()) + " present in " +
                               folder + (converted > 0 ? "" : ", none changed"));
    } else {
        report.lines.push_back("tables: created " + std::to_string(made) + " of " +
                               std::to_string(schema().size()) + " in " + folder);
        report.changed = true;
    }
    return made;
}

}  // namespace

InstallReport install(const InstallOptions& options) {
    InstallReport report;
    for (const char* folder : kFolders) {
        if (ensure_folder(folder)) {
            report.lines.push_back(std::string("folder: created ") + folder);
            report.changed = true;
        } else {
            report.lines.push_back(std::string("folder: found ") + folder);
        }
    }

    ensure_tables(kLiveTablesDir, report);

    AliasConfig& aliases = AliasConfig::current();
    if (aliases.exists("PAVODEN2")) {
        report.lines.push_back("alias: PAVODEN2 found, " + aliases.params("PAVODEN2").front() +
                               ", left as it is");
    } else {
        aliases.add_standard("PAVODEN2", kLiveTablesDir, "Paradox");
        aliases.save();
        report.lines.push_back(std::string("alias: PAVODEN2 registered, PATH=") + kLiveTablesDir);
        report.changed = true;
    }

    if (options.sample_data) {
        const std::string sample = std::string(kLiveTablesDir) + "SAMPLE\\";
        ensure_folder(sample);
        int made = ensure_tables(sample, report);
        if (made == static_cast<int>(schema().size())) {
            SampleCounts counts = fill_sample_set(sample);
            report.lines.push_back("sample: " + std::to_string(counts.payments) +
                                   " payment records, " + std::to_string(counts.job_searches) +
                                   " job-search records in " + sample);
        } else {
            report.lines.push_back("sample: set present in " + sample + ", left as it is");
        }
    }
    return report;
}

}  // namespace pavo::store
