// Commands of the table tool: list, dump (JSON lines or CSV), load (all or nothing) and check.
#include "store/table_tool.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <variant>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/table_check.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::store {

namespace {

using tables::FieldType;
using tables::Table;

struct Target {
    std::string database;  // alias name or logical folder
    std::string logical_folder;
};

Target resolve_target(const std::string& alias, const std::string& dir) {
    Target t;
    if (!dir.empty()) {
        // Every form of --dir becomes one logical folder, which every command and the table layer
        // then read alike (a bare relative name would be taken for an alias there).
        const DriveMap& map = DriveMap::current();
        t.logical_folder = map.to_logical(map.argument_to_host(dir));
        t.database = t.logical_folder;
    } else {
        t.database = alias;
        t.logical_folder = AliasConfig::current().path(alias);
    }
    return t;
}

// Table files of a folder, sorted by name.
std::vector<std::string> table_files(const Target& target) {
    fs::path host = DriveMap::current().to_host(target.logical_folder);
    if (!file_system().is_directory(host))
        throw Error(ErrorKind::kNotFound, "Directory does not exist: " + target.logical_folder);
    std::vector<std::string> names;
    for (const auto& e : file_system().list(host)) {
        std::string lower = to_lower(e.name);
        if (e.type == EntryType::kFile && lower.size() > 3 && lower.ends_with(".db"))
            names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void open_table(Table& t, const Target& target, const std::string& name) {
    t.set_database_name(target.database);
    t.set_table_name(name);
    t.open();
}

std::string iso_date(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c->year, c->month, c->day);
    return buf;
}

std::optional<double> parse_iso_date(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char extra = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) != 3)
        return std::nullopt;
    if (!is_valid_date(y, m, d)) return std::nullopt;
    return date_from_civil(y, m, d);
}

std::string csv_quote(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    return csv_field(s);
}

// A field's value in the dump's form; nullopt for an empty field. is_text tells whether the JSON
// form needs quotes.
std::optional<std::string> dump_value(tables::Field f, bool& is_text) {
    is_text = false;
    if (f.is_null()) return std::nullopt;
    switch (f.type()) {
        case FieldType::kDate:
            is_text = true;
            return iso_date(f.as_date());
        case FieldType::kFloat:
            return format_number(f.as_float());
        case FieldType::kAutoInc:
            return std::to_string(f.as_integer());
        case FieldType::kBoolean:
            return std::string(f.as_boolean() ? "true" : "false");
        case FieldType::kString:
        case FieldType::kMemo:
            is_text = true;
            return f.as_string();
    }
    return std::nullopt;
}

int cmd_list(const Target& target, std::ostream& out) {
    for (const auto& name : table_files(target)) {
        Table t;
        open_table(t, target, name);
        out << name << '\t' << t.record_count() << '\n';
    }
    return 0;
}

struct DumpOptions {
    bool csv = false;
    std::string filter, index;  // filter text and index name, "" for none
    bool nocase = false;
};

int cmd_dump(const Target& target, const std::string& name, const DumpOptions& options,
             std::ostream& out) {
    const bool csv = options.csv;
    Table t;
    // Set before opening: a filter or index the table refuses stops the dump before any line.
    t.set_index_name(options.index);
    t.set_filter(options.filter);
    t.set_filter_case_insensitive(options.nocase);
    t.set_filtered(!options.filter.empty());
    open_table(t, target, name);
    const int n = t.field_count();
    if (csv) {
        std::string header;
        for (int i = 0; i < n; ++i) header += (i ? "," : "") + csv_quote(t.field(i).name());
        out << header << "\r\n";
    }
    for (t.first(); !t.eof(); t.next()) {
        std::string line = csv ? "" : "{";
        for (int i = 0; i < n; ++i) {
            tables::Field f = t.field(i);
            bool is_text = false;
            std::optional<std::string> v = dump_value(f, is_text);
            if (csv) {
                line += (i ? "," : "") + (v ? csv_quote(*v) : std::string());
            } else {
                line += (i ? "," : "") + json_quote(f.name()) + ":" +
                        (v ? (is_text ? json_quote(*v) : *v) : std::string("null"));
            }
        }
        line += csv ? "\r\n" : "}\n";
        out << line;  // written only when the whole row was read
    }
    out.flush();
    return 0;
}

// --- A small reader for the flat JSON objects the dump writes.

using JsonValue = std::variant<std::nullptr_t, bool, double, std::string>;

class JsonLine {
  public:
    JsonLine(const std::string& text, int line_no) : s_(text), line_(line_no) {}

    std::vector<std::pair<std::string, JsonValue>> parse_object() {
        std::vector<std::pair<std::string, JsonValue>> members;
        skip();
        expect('{');
        skip();
        if (peek() == '}') {
            ++pos_;
        } else {
            for (;;) {
                skip();
                std::string key = parse_string();
                skip();
                expect(':');
                skip();
                members.emplace_back(std::move(key), parse_value());
                skip();
                if (peek() == ',') {
                    ++pos_;
                    continue;
                }
                expect('}');
                break;
            }
        }
        skip();
        if (pos_ != s_.size()) fail("unexpected text after the object");
        return members;
    }

  private:
    [[noreturn]] void fail(const std::string& why) {
        throw Error(ErrorKind::kInvalidInput, "line " + std::to_string(line_) + ", column " +
                                                  std::to_string(pos_ + 1) + ": " + why);
    }
    char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
    void skip() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r'))
            ++pos_;
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected '") + c + "'");
        ++pos_;
    }
    void append_utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    unsigned hex4() {
        if (pos_ + 4 > s_.size()) fail("short \\u escape");
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = s_[pos_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                fail("bad \\u escape");
        }
        return v;
    }
    std::string parse_string() {
        expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= s_.size()) fail("unterminated text");
            char c = s_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in text");
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= s_.size()) fail("unterminated escape");
            char e = s_[pos_++];
            switch (e) {
                case '"':
                    out.push_back('"');
                    break;
                case '\\':
                    out.push_back('\\');
                    break;
                case '/':
                    out.push_back('/');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u': {
                    unsigned cp = hex4();
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        if (peek() != '\\') fail("lone surrogate");
                        ++pos_;
                        expect('u');
                        unsigned lo = hex4();
                        if (lo < 0xDC00 || lo > 0xDFFF) fail("bad surrogate pair");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        fail("lone surrogate");
                    }
                    append_utf8(out, cp);
                    break;
                }
                default:
                    fail("bad escape");
            }
        }
    }
    JsonValue parse_value() {
        char c = peek();
        if (c == '"') return parse_string();
        if (s_.compare(pos_, 4, "null") == 0) {
            pos_ += 4;
            return nullptr;
        }
        if (s_.compare(pos_, 4, "true") == 0) {
            pos_ += 4;
            return true;
        }
        if (s_.compare(pos_, 5, "false") == 0) {
            pos_ += 5;
            return false;
        }
        std::size_t start = pos_;
        while (pos_ < s_.size() &&
               std::string_view("+-0123456789.eE").find(s_[pos_]) != std::string_view::npos)
            ++pos_;
        auto v = parse_number(std::string_view(s_).substr(start, pos_ - start));
        if (start == pos_ || !v) fail("expected a value");
        return *v;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    int line_;
};

// Writes one JSON value into a field through the dataset's own conversions.
void set_field(tables::Field f, const JsonValue& v) {
    if (std::holds_alternative<std::nullptr_t>(v)) {
        f.clear();
    } else if (const bool* b = std::get_if<bool>(&v)) {
        if (f.type() == FieldType::kBoolean)
            f.set_as_boolean(*b);
        else
            f.set_as_string(format_bool(*b));
    } else if (const double* d = std::get_if<double>(&v)) {
        if (f.type() == FieldType::kFloat || f.type() == FieldType::kAutoInc)
            f.set_as_float(*d);
        else
            f.set_as_string(format_number(*d));
    } else {
        const std::string& s = std::get<std::string>(v);
        if (f.type() == FieldType::kDate && !s.empty()) {
            auto date = parse_iso_date(s);
            if (!date)
                throw Error(ErrorKind::kConversion, "'" + s + "' is not a valid date (YYYY-MM-DD)");
            f.set_as_date(*date);
        } else {
            f.set_as_string(s);
        }
    }
}

int cmd_load(const Target& target, const std::string& name, const std::string& file) {
    fs::path host =
        file.size() > 1 && file[1] == ':' ? DriveMap::current().to_host(file) : fs::path(file);
    std::string text = read_whole_file(host);

    Table t;
    open_table(t, target, name);
    std::vector<std::string> primary_fields;
    for (const auto& idx : t.index_defs())
        if (idx.primary) {
            std::stringstream ss(idx.fields);
            for (std::string f; std::getline(ss, f, ';');) primary_fields.push_back(f);
        }

    // Every row is checked and posted inside one transaction; a failing row rolls back the ones
    // before it, so the table ends with all rows or none.
    int line_no = 0;
    std::size_t pos = 0;
    std::map<std::string, int> keys_in_file;
    {
        tables::CommandScope command;
        tables::Transaction load({&t});
        while (pos < text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string::npos) nl = text.size();
            std::string line = text.substr(pos, nl - pos);
            pos = nl + 1;
            ++line_no;
            if (trim(line).empty()) continue;
            auto members = JsonLine(line, line_no).parse_object();
            t.append();
            for (const auto& member : members) {
                const std::string& key = member.first;
                const JsonValue& value = member.second;
                tables::Field f = [&]() -> tables::Field {
                    try {
                        return t.field(key);
                    } catch (const Error&) {
                        throw Error(ErrorKind::kInvalidInput, "line " + std::to_string(line_no) +
                                                                  ": table has no field '" + key +
                                                                  "'");
                    }
                }();
                try {
                    set_field(f, value);
                } catch (const Error& e) {
                    throw Error(e.kind(), "line " + std::to_string(line_no) + ", field " + key +
                                              ": " + e.what());
                }
            }
            try {
                t.post();
            } catch (const Error& e) {
                t.cancel();
                throw Error(e.kind(), "line " + std::to_string(line_no) + ": " + e.what());
            }
        }
        load.commit();
        command.commit();
    }
    return 0;
}

int cmd_check(const Target& target, std::ostream& out) {
    int failures = 0;
    for (const TableCheck& c : check_table_folder(target.logical_folder)) {
        if (c.ok) {
            out << c.table << "\tok\t" << c.fields << " fields\t" << c.rows << " rows\n";
        } else {
            ++failures;
            out << c.table << "\tFAILED\t" << c.problem << '\n';
        }
    }
    return failures ? 1 : 0;
}

void usage(std::ostream& err) {
    err << "usage: pavoden2-table [--alias NAME | --dir PATH] list\n"
           "       pavoden2-table [--alias NAME | --dir PATH] dump TABLE [--csv] [--filter EXPR\n"
           "                      [--nocase]] [--index NAME]\n"
           "       pavoden2-table [--alias NAME | --dir PATH] load TABLE FILE\n"
           "       pavoden2-table [--alias NAME | --dir PATH] check\n"
           "dump --filter writes only the rows EXPR passes, in the filter language of the\n"
           "program's filter windows (texts compared case-sensitively; --nocase ignores case).\n"
           "dump --index writes the rows in the order of the named index.\n"
           "The set is the alias PAVODEN2 unless --alias or --dir names another.\n"
           "example: pavoden2-table --dir ../backup/db check\n"
        << DriveMap::argument_rule_help();
}

}  // namespace

int run_table_tool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string alias = "PAVODEN2", dir;
    DumpOptions dump;
    bool dump_only = false;  // an option that only dump takes was given
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--alias" && i + 1 < args.size())
            alias = args[++i];
        else if (args[i] == "--dir" && i + 1 < args.size())
            dir = args[++i];
        else if (args[i] == "--csv")
            dump.csv = dump_only = true;
        else if (args[i] == "--nocase")
            dump.nocase = dump_only = true;
        else if ((args[i] == "--filter" || args[i] == "--index") && i + 1 < args.size()) {
            (args[i] == "--filter" ? dump.filter : dump.index) = args[i + 1];
            dump_only = true;
            ++i;
        } else if (args[i] == "--help" || args[i] == "-h") {
            usage(out);
            return 0;
        } else if (args[i].starts_with("--")) {
            err << "pavoden2-table: unknown option " << args[i] << '\n';
            usage(err);
            return 2;
        } else {
            words.push_back(args[i]);
        }
    }
    const std::string cmd = words.empty() ? "" : words[0];
    const std::size_t expected = cmd == "list" || cmd == "check" ? 1
                                 : cmd == "dump"                 ? 2
                                 : cmd == "load"                 ? 3
                                                                 : 0;
    if (expected == 0 || words.size() != expected || (dump_only && cmd != "dump") ||
        (dump.nocase && dump.filter.empty())) {
        usage(err);
        return 2;
    }
    try {
        Target target = resolve_target(alias, dir);
        if (cmd == "list") return cmd_list(target, out);
        if (cmd == "dump") return cmd_dump(target, words[1], dump, out);
        if (cmd == "load") return cmd_load(target, words[1], words[2]);
        return cmd_check(target, out);
    } catch (const std::exception& e) {
        out.flush();
        err << "pavoden2-table: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace pavo::store
