// Command line of pavoden2-migrate: the old folder, where the new set goes, and how the report is
// printed.
#include <iostream>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "records/migrate.h"
#include "utility/text_conv.h"

namespace pavo::records {

namespace {

constexpr const char* kSetsFolder = "c:\\mydata\\KV-DB\\PAVODEN2\\DB";

void usage(std::ostream& out) {
    out << "usage: pavoden2-migrate [--json] [--codepage N] [--skip-memos]\n"
           "                        [--alias NAME | --dir PATH] OLD (NAME | --to DIR)\n"
           "\n"
           "Brings the Paradox tables of the folder OLD (never written) into a new table set of\n"
           "all nineteen tables: NAME makes c:\\mydata\\KV-DB\\PAVODEN2\\DB\\NAME\\ (at most 8\n"
           "characters, no full stop, the folder must not exist), or the folder of the alias or\n"
           "PATH given, + NAME; --to makes the new folder DIR instead.\n"
           "  --json         print one JSON object with the report (or the error)\n"
           "  --codepage N   read texts in code page N (437, 850, 852, 1250, 1251, 1252) instead\n"
           "                 of the one each table records\n"
           "  --skip-memos   migrate a table whose memo file is missing: memos held only there\n"
           "                 are left empty and listed\n"
           "Exit status: 0 the set is made (refused rows are listed and kept in\n"
           "migration\\refused-TABLE.jsonl); 1 a damaged table or a failed read or write, nothing\n"
           "made; 2 usage, an unreadable OLD or a target that exists.\n"
           "Paths: "
        << DriveMap::argument_rule_help() << '\n';
}

}  // namespace

int run_migrate_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool json = false, skip_memos = false, has_alias = false;
    std::string codepage, alias, dir, to;
    std::vector<std::string> words;
    std::string problem;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--json")
            json = true;
        else if (a == "--skip-memos")
            skip_memos = true;
        else if (a == "--codepage" && has_value)
            codepage = args[++i];
        else if (a == "--alias" && has_value) {
            alias = args[++i];
            has_alias = true;
        } else if (a == "--dir" && has_value)
            dir = args[++i];
        else if (a == "--to" && has_value)
            to = args[++i];
        else if (a == "--help" || a == "-h") {
            usage(out);
            return 0;
        } else if (a.starts_with("--"))
            problem = "unknown option or missing value: " + a;
        else
            words.push_back(a);
    }

    MigrationReport report;
    auto fail = [&](const std::string& kind, const std::string& message) {
        report.error = MigrationError{kind, "", "", message};
        if (json) {
            out << report_json(report) << '\n';
        } else {
            err << "pavoden2-migrate: " << message << '\n';
            if (kind == "usage") usage(err);
        }
        return report.exit_status();
    };
    const std::size_t want = to.empty() ? 2 : 1;
    if (problem.empty() && words.size() != want)
        problem = to.empty() ? "give the old folder and the new set's name"
                             : "give the old folder only with --to";
    if (problem.empty() && !to.empty() && (has_alias || !dir.empty()))
        problem = "--to names the whole folder; --alias and --dir choose where NAME goes";
    if (problem.empty() && has_alias && !dir.empty()) problem = "give --alias or --dir, not both";
    MigrationOptions options;
    options.skip_memos = skip_memos;
    if (problem.empty() && !codepage.empty()) {
        auto n = parse_number(codepage);
        const auto& pages = supported_codepages();
        if (!n || std::find(pages.begin(), pages.end(), static_cast<int>(*n)) == pages.end())
            problem = "code page " + codepage + " is not one of 437, 850, 852, 1250, 1251, 1252";
        else
            options.codepage = static_cast<int>(*n);
    }
    if (!problem.empty()) return fail("usage", problem);

    try {
        const DriveMap& map = DriveMap::current();
        options.old_dir = map.argument_to_host(words[0]);
        if (!to.empty()) {
            options.target = map.argument_to_host(to);
        } else {
            // The rules of Create Databases: upper case, at most 8 characters, no full stop.
            const std::string name = to_upper(words[1]);
            if (name.empty() || name.size() > 8 || name.find_first_of(".\\/:") != std::string::npos)
                return fail("usage", "the set name must have 1 to 8 characters and no full stop: " +
                                         words[1]);
            fs::path base;
            if (!dir.empty()) {
                base = map.argument_to_host(dir);
            } else if (has_alias) {
                base = map.to_host(AliasConfig::current().path(alias));
            } else {
                make_directories(kSetsFolder);
                base = map.to_host(kSetsFolder);
            }
            options.target = base / DriveMap::find_entry(base, name).value_or(name);
        }
    } catch (const Error& e) {
        return fail("usage", e.what());
    }
    if (!json) {
        options.progress = [&out](const std::string& line) { out << line << std::endl; };
    }
    report = migrate_tables(options);
    if (json) {
        out << report_json(report) << '\n';
    } else {
        out << format_report(report);
        if (report.error) {
            const MigrationError& e = *report.error;
            err << "pavoden2-migrate: " << (e.file.empty() ? "" : e.file + ": ") << e.message
                << " (" << e.kind << ")\n";
        }
    }
    out.flush();
    return report.exit_status();
}

}  // namespace pavo::records
