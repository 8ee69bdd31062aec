// Command line of the import tool: reads the mail, checks it against the records, posts it as the
// import window does and prints one JSON line per record, skipped job or refusal.
#include "records/import_tool.h"

#include <cstdio>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "records/job_import.h"
#include "records/job_mail.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::records {

namespace {

const char kUsage[] =
    "usage: pavoden2-import [--alias NAME | --dir PATH] --layout N [--dry-run] [--again] FILE\n"
    "Imports a saved CareerBuilder job-alert mail of layout N (1 to 4) into jsearch2.DB of the "
    "table set named by alias (default PAVODEN2) or folder, and its cities into CITY.db. Prints "
    "one JSON line per record added, job skipped as already imported, or refusal. --dry-run "
    "posts nothing; --again adds jobs an earlier import recorded. Exit 0 done, 1 refused, 2 "
    "usage or unreadable.";

std::string iso_date(double date) {
    auto c = civil_from_date(date);
    if (!c) return "";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c->year, c->month, c->day);
    return buf;
}

std::string record_json(const MailJob& j, long long pk, const char* lead) {
    std::string s = "{";
    s += lead;
    if (pk > 0) s += "\"PK\":" + std::to_string(pk) + ",";
    s += "\"line\":" + std::to_string(j.line) +
         ",\"REFNUM\":0,\"DATE\":" + json_quote(iso_date(j.date)) +
         ",\"YYYYMMDD\":" + json_quote(j.yyyymmdd) + ",\"TIME\":" + json_quote(kImportTime) +
         ",\"CONTACT_NAME\":" + json_quote(kImportContactName) +
         ",\"EMAIL\":true,\"POS_TYPE\":" + json_quote(kImportPosType) +
         ",\"POS_CITY\":" + json_quote(j.city) + ",\"POS_STATE\":" + json_quote(j.state) +
         ",\"POS_TITLE\":" + json_quote(j.title) +
         ",\"SUBMITTED\":false,\"REASON_NO_SUBMIT\":" + json_quote(kImportReason) +
         ",\"ITEM_FILE\":" + json_quote(j.item_file) + ",\"COMMENT\":" + json_quote(j.comment);
    return s + "}";
}

void print_error(std::ostream& out, const std::string& kind, int line, const std::string& text) {
    out << "{\"error\":" << json_quote(kind) << ",\"line\":" << line
        << ",\"message\":" << json_quote(text) << "}\n";
}

bool has_drive_letter(const std::string& text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z'));
}

}  // namespace

int run_import_tool(const std::vector<std::string>& args, std::ostream& out) {
    std::string alias = "PAVODEN2", dir, file;
    int layout = 0;
    bool dry_run = false, again = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--alias" && has_value) {
            alias = args[++i];
        } else if (a == "--dir" && has_value) {
            dir = args[++i];
        } else if (a == "--layout" && has_value) {
            const std::string& n = args[++i];
            layout = n.size() == 1 && n[0] >= '1' && n[0] <= '4' ? n[0] - '0' : -1;
        } else if (a == "--dry-run") {
            dry_run = true;
        } else if (a == "--again") {
            again = true;
        } else if (a == "--help" || a == "-h") {
            out << "{\"usage\":" << json_quote(kUsage) << "}\n";
            return 0;
        } else if (a.starts_with("--") || !file.empty()) {
            print_error(out, "usage", 0, "unknown option, missing value or second file: " + a);
            return 2;
        } else {
            file = a;
        }
    }
    if (file.empty() || layout <= 0) {
        print_error(out, "usage", 0,
                    layout < 0 ? "--layout takes 1, 2, 3 or 4" : std::string(kUsage));
        return 2;
    }
    const MailLayout mail_layout = static_cast<MailLayout>(layout);
    std::string logical, bytes;
    try {
        const DriveMap& map = DriveMap::current();
        const fs::path host = map.argument_to_host(file);
        // The mail is named as the program names files, so ITEM_FILE reads as a Windows path.
        logical = has_drive_letter(file) ? file : map.to_logical(host);
        bytes = read_mail_file(host);
    } catch (const std::exception& e) {
        print_error(out, "unreadable", 0, file + ": " + e.what());
        return 2;
    }
    MailReading reading = read_job_mail(bytes, mail_layout, logical);
    if (reading.refusal) {
        print_error(out, reading.refusal->kind, reading.refusal->line, reading.refusal->text);
        return 1;
    }
    try {
        std::string database = alias;
        if (!dir.empty()) {
            const DriveMap& map = DriveMap::current();
            database = map.to_logical(map.argument_to_host(dir));
        }
        tables::CommandScope scope;
        tables::Table jobs, city;
        for (auto [t, name] : {std::pair{&jobs, "jsearch2.DB"}, std::pair{&city, "CITY.db"}}) {
            t->set_database_name(database);
            t->set_table_name(name);
            t->open();
        }
        std::vector<bool> recorded = find_recorded_jobs(jobs, reading.jobs);
        std::size_t n_recorded = 0;
        for (bool r : recorded) n_recorded += r;
        if (!again && n_recorded == reading.jobs.size()) {
            print_error(out, "already_imported", reading.jobs.front().line,
                        logical + " was imported before: all its " + std::to_string(n_recorded) +
                            " jobs are recorded. --again imports them once more.");
            return 1;
        }
        if (again) recorded.assign(recorded.size(), false);
        auto print_skipped = [&] {
            for (std::size_t i = 0; i < reading.jobs.size(); ++i)
                if (recorded[i])
                    out << record_json(reading.jobs[i], 0, "\"skipped\":\"already_imported\",")
                        << '\n';
        };
        if (dry_run) {
            for (std::size_t i = 0; i < reading.jobs.size(); ++i)
                if (!recorded[i]) out << record_json(reading.jobs[i], 0, "") << '\n';
            print_skipped();
            return 0;
        }
        PostOutcome posted = post_mail_jobs(jobs, city, reading.jobs, recorded, logical);
        if (posted.refusal) {
            print_error(out, posted.refusal->kind, posted.refusal->line, posted.refusal->text);
            return 1;
        }
        scope.commit();
        std::size_t k = 0;
        for (std::size_t i = 0; i < reading.jobs.size(); ++i)
            if (!recorded[i]) out << record_json(reading.jobs[i], posted.pks[k++], "") << '\n';
        print_skipped();
        return 0;
    } catch (const std::exception& e) {
        print_error(out, "unreadable", 0, e.what());
        return 2;
    }
}

}  // namespace pavo::records
