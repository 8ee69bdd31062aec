// The migration report: readable lines for report.txt and the terminal, and the JSON object.
#include <sstream>

#include "records/migrate.h"
#include "utility/text_conv.h"

namespace pavo::records {

namespace {

std::string key_text(const std::string& key) {
    return key.empty() ? "" : " (key " + key + ")";
}

// A JSON array of items rendered by fn.
template <class T, class F>
std::string array(const std::vector<T>& items, F fn) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + fn(items[i]);
    return out + "]";
}

std::string names(const std::vector<std::string>& v) {
    return array(v, [](const std::string& s) { return json_quote(s); });
}

}  // namespace

std::string format_report(const MigrationReport& report) {
    std::ostringstream out;
    for (const TableReport& t : report.tables) {
        if (t.created) {
            out << t.table << ": not in the old folder, created with " << t.initial_rows
                << " initial rows\n";
        } else {
            out << t.table << " from " << t.file << " (code page " << t.codepage
                << (t.codepage_assumed ? ", none recorded: assumed" : "") << "): " << t.read
                << " read, " << t.written << " written, " << t.refused.size() << " refused";
            if (t.initial_rows > 0) out << ", " << t.initial_rows << " initial row";
            out << '\n';
        }
        for (const RefusedRow& r : t.refused)
            out << "  refused row " << r.row << key_text(r.key) << ": " << r.reason
                << (r.field.empty() ? "" : " " + r.field) << '\n';
        for (const CutText& c : t.cut)
            out << "  cut row " << c.row << key_text(c.key) << ": " << c.field << " had "
                << c.length << " characters\n";
        for (const RowField& c : t.replaced_chars)
            out << "  replaced characters row " << c.row << key_text(c.key) << ": " << c.field
                << '\n';
        for (const RowField& c : t.skipped_memos)
            out << "  memo left empty row " << c.row << ": " << c.field << '\n';
        for (const std::string& f : t.unknown_fields) out << "  old field not kept: " << f << '\n';
        for (const std::string& f : t.missing_fields)
            out << "  new field left empty: " << f << '\n';
        for (const MismatchedField& m : t.mismatched_fields)
            out << "  field left empty: " << m.field << " is " << m.found << ", " << m.expected
                << " expected\n";
        if (t.next_autoinc) out << "  next auto-increment number: " << *t.next_autoinc << '\n';
    }
    for (const UnknownTable& u : report.unknown_tables)
        out << "Other table not migrated: " << u.file
            << (u.rows ? " (" + std::to_string(*u.rows) + " rows)" : std::string(" (unreadable)"))
            << '\n';
    for (const std::string& f : report.ignored_files) out << "Ignored file: " << f << '\n';
    if (report.error) {
        const MigrationError& e = *report.error;
        out << "Stopped (" << e.kind << ")";
        if (!e.file.empty()) out << " at " << e.file;
        if (!e.table.empty()) out << " for " << e.table;
        out << ": " << e.message << "\nNothing was made.\n";
    } else {
        out << "Migrated " << report.tables.size() << " tables into " << report.target << "; "
            << report.refused_count() << " rows refused\n";
    }
    return out.str();
}

std::string report_json(const MigrationReport& report) {
    std::string out = "{\"result\":";
    out += report.done ? "\"done\"" : "\"failed\"";
    out += ",\"target\":" + json_quote(report.target);
    out +=
        ",\"tables\":" + array(report.tables, [](const TableReport& t) {
            std::string s = "{\"table\":" + json_quote(t.table);
            s += ",\"file\":" + (t.file.empty() ? std::string("null") : json_quote(t.file));
            s += ",\"created\":" + std::string(t.created ? "true" : "false");
            s += ",\"initial_rows\":" + std::to_string(t.initial_rows);
            s += ",\"codepage\":" + (t.codepage ? std::to_string(t.codepage) : std::string("null"));
            s += ",\"codepage_assumed\":" + std::string(t.codepage_assumed ? "true" : "false");
            s += ",\"read\":" + std::to_string(t.read);
            s += ",\"written\":" + std::to_string(t.written);
            s += ",\"refused\":" + array(t.refused, [](const RefusedRow& r) {
                     return "{\"row\":" + std::to_string(r.row) + ",\"key\":" + json_quote(r.key) +
                            ",\"reason\":" + json_quote(r.reason) + ",\"field\":" +
                            (r.field.empty() ? std::string("null") : json_quote(r.field)) + "}";
                 });
            s += ",\"cut\":" + array(t.cut, [](const CutText& c) {
                     return "{\"row\":" + std::to_string(c.row) + ",\"key\":" + json_quote(c.key) +
                            ",\"field\":" + json_quote(c.field) +
                            ",\"length\":" + std::to_string(c.length) + "}";
                 });
            s += ",\"replaced_chars\":" + array(t.replaced_chars, [](const RowField& c) {
                     return "{\"row\":" + std::to_string(c.row) + ",\"key\":" + json_quote(c.key) +
                            ",\"field\":" + json_quote(c.field) + "}";
                 });
            s += ",\"skipped_memos\":" + array(t.skipped_memos, [](const RowField& c) {
                     return "{\"row\":" + std::to_string(c.row) +
                            ",\"field\":" + json_quote(c.field) + "}";
                 });
            s += ",\"unknown_fields\":" + names(t.unknown_fields);
            s += ",\"missing_fields\":" + names(t.missing_fields);
            s += ",\"mismatched_fields\":" +
                 array(t.mismatched_fields, [](const MismatchedField& m) {
                     return "{\"field\":" + json_quote(m.field) +
                            ",\"found\":" + json_quote(m.found) +
                            ",\"expected\":" + json_quote(m.expected) + "}";
                 });
            s += ",\"next_autoinc\":" +
                 (t.next_autoinc ? std::to_string(*t.next_autoinc) : std::string("null"));
            return s + "}";
        });
    out += ",\"unknown_tables\":" + array(report.unknown_tables, [](const UnknownTable& u) {
               return "{\"file\":" + json_quote(u.file) +
                      ",\"rows\":" + (u.rows ? std::to_string(*u.rows) : std::string("null")) + "}";
           });
    out += ",\"ignored_files\":" + names(report.ignored_files);
    out += ",\"error\":";
    if (report.error) {
        const MigrationError& e = *report.error;
        auto opt = [](const std::string& s) {
            return s.empty() ? std::string("null") : json_quote(s);
        };
        out += "{\"kind\":" + json_quote(e.kind) + ",\"file\":" + opt(e.file) +
               ",\"table\":" + opt(e.table) + ",\"message\":" + json_quote(e.message) + "}";
    } else {
        out += "null";
    }
    return out + "}";
}

}  // namespace pavo::records
