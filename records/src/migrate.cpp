// The migration run: finds the old tables, reads each through the checked child reader, maps
// fields and values onto the nineteen tables, writes the set in a temporary folder and renames it
// into place.
#include "records/migrate.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/src/migrate_internal.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::records {

using namespace migrate;
using tables::FieldType;

namespace {

constexpr const char* kMarker = ".pavoden2-migrating";
constexpr const char* kTempInfix = ".migrating-";

const std::vector<int> kCodepages = {437, 850, 852, 1250, 1251, 1252};

// Stops the run: the kind and message of MigrationError.
struct Stop {
    MigrationError error;
};

Stop stop(const std::string& kind, const std::string& file, const std::string& table,
          const std::string& message) {
    return Stop{MigrationError{kind, file, table, message}};
}

std::string ext_of(const std::string& lower) {
    auto dot = lower.rfind('.');
    return dot == std::string::npos ? std::string() : lower.substr(dot);
}
std::string stem_of(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Whether a field of an old type may go into a new field of type t.
bool accepted(std::uint8_t old, FieldType t) {
    switch (t) {
        case FieldType::kString:
            return old == kAlpha;
        case FieldType::kDate:
            return old == kDate;
        case FieldType::kFloat:
            return old == kNumber || old == kCurrency || old == kShort || old == kLong;
        case FieldType::kBoolean:
            return old == kLogical;
        case FieldType::kAutoInc:
            return old == kAutoInc || old == kLong || old == kShort;
        case FieldType::kMemo:
            return old == kMemo || old == kAlpha;
    }
    return false;
}

std::size_t utf8_length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// The first chars characters of s.
std::string utf8_prefix(const std::string& s, std::size_t chars) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == chars) return s.substr(0, i);
            ++n;
        }
    }
    return s;
}

bool process_alive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

void remove_tree(const fs::path& dir) {
    FileSystem& f = file_system();
    for (const DirEntry& e : f.list(dir)) {
        if (e.type == EntryType::kDirectory)
            remove_tree(dir / e.name);
        else
            f.remove(dir / e.name);
    }
    f.remove(dir);
}

void write_new_file(const fs::path& path, const std::string& data) {
    std::unique_ptr<File> f = file_system().open(path, OpenMode::kCreateNew);
    f->write(data.data(), data.size());
    f->sync();
    f->close();
}

// Removes temporary folders of target's name that a killed run left (they carry the marker and
// their process is gone).
void remove_leftovers(const fs::path& target) {
    const fs::path parent = target.parent_path();
    if (!file_system().is_directory(parent)) return;
    const std::string prefix = target.filename().string() + kTempInfix;
    for (const DirEntry& e : file_system().list(parent)) {
        if (e.type != EntryType::kDirectory || !e.name.starts_with(prefix)) continue;
        long pid = std::strtol(e.name.c_str() + prefix.size(), nullptr, 10);
        if (process_alive(pid) || !file_system().exists(parent / e.name / kMarker)) continue;
        remove_tree(parent / e.name);
    }
}

struct OldFiles {
    std::map<std::string, std::vector<std::string>> tables;  // open name -> files as found
    std::map<std::string, std::vector<std::string>> memos;   // lower-case stem -> files
};

// A field of the edit buffer in the form pavoden2-table dumps and loads.
std::string json_value(tables::Field f) {
    if (f.is_null()) return "null";
    switch (f.type()) {
        case FieldType::kDate: {
            auto c = civil_from_date(f.as_date());
            if (!c) return "null";
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c->year, c->month, c->day);
            return json_quote(buf);
        }
        case FieldType::kFloat:
            return format_number(f.as_float());
        case FieldType::kAutoInc:
            return std::to_string(f.as_integer());
        case FieldType::kBoolean:
            return f.as_boolean() ? "true" : "false";
        case FieldType::kString:
        case FieldType::kMemo:
            return json_quote(f.as_string());
    }
    return "null";
}

class Run {
  public:
    Run(const MigrationOptions& o, MigrationReport& r) : opt_(o), report_(r) {}

    void run();

  private:
    void say(const std::string& line) {
        if (opt_.progress) opt_.progress(line);
    }
    OldFiles scan_old();
    void migrate_table(const store::TableSchema& schema, const OldFiles& files);
    void write_rows(const store::TableSchema& schema, const OldTable& old, TableReport& rep,
                    const std::string& file);

    const MigrationOptions& opt_;
    MigrationReport& report_;
    fs::path temp_;
    std::string database_;  // the temporary folder as the table layer names it
    std::map<std::string, std::string> refused_lines_;  // table -> JSON lines
};

OldFiles Run::scan_old() {
    std::vector<DirEntry> entries;
    try {
        if (!file_system().is_directory(opt_.old_dir))
            throw stop("old_unreadable", "", "", "not a folder: " + opt_.old_dir.string());
        entries = file_system().list(opt_.old_dir);
    } catch (const Error& e) {
        throw stop("old_unreadable", "", "", e.what());
    }
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    OldFiles files;
    std::vector<std::string> others;
    for (const DirEntry& e : entries) {
        if (e.type != EntryType::kFile) continue;
        const std::string lower = to_lower(e.name);
        const std::string ext = ext_of(lower);
        if (ext == ".db") {
            if (const store::TableSchema* s = store::find_table_schema(e.name)) {
                files.tables[s->open_name].push_back(e.name);
                continue;
            }
            UnknownTable u;
            u.file = e.name;
            try {
                std::unique_ptr<File> f =
                    file_system().open(opt_.old_dir / e.name, OpenMode::kRead);
                ByteSource src;
                src.size = f->size();
                src.read_at = [&f](void* b, std::size_t n, std::uint64_t off) {
                    return f->read_at(b, n, off);
                };
                u.rows = check_table_file(src).records;
            } catch (const std::exception&) {
                // Not a table we could count; listed without a count.
            }
            report_.unknown_tables.push_back(u);
        } else if (ext == ".mb") {
            files.memos[to_lower(stem_of(e.name))].push_back(e.name);
        } else {
            others.push_back(e.name);
        }
    }
    // A memo file of no known table is ignored like any other file.
    for (const auto& [stem, names] : files.memos) {
        const store::TableSchema* s = store::find_table_schema(stem + ".db");
        if (!s || !files.tables.count(s->open_name))
            others.insert(others.end(), names.begin(), names.end());
    }
    std::sort(others.begin(), others.end());
    report_.ignored_files = others;
    return files;
}

void Run::migrate_table(const store::TableSchema& schema, const OldFiles& files) {
    TableReport& rep = report_.tables.emplace_back();
    rep.table = schema.open_name;
    auto found = files.tables.find(schema.open_name);
    if (found == files.tables.end()) {
        rep.created = true;
        rep.initial_rows = static_cast<int>(schema.initial_rows.size());
        say("Creating " + schema.open_name + " with its initial rows");
        store::TableSetCreator::create_table_in(database_, schema);
    } else {
        const std::string& file = found->second.front();
        rep.file = file;
        const fs::path db = opt_.old_dir / file;
        const fs::path* mb = nullptr;
        fs::path mb_path;
        auto memo = files.memos.find(to_lower(stem_of(file)));
        if (memo != files.memos.end()) {
            if (memo->second.size() > 1)
                throw stop(
                    "ambiguous", memo->second[1], schema.open_name,
                    "two memo files for one table: " + memo->second[0] + " and " + memo->second[1]);
            mb_path = opt_.old_dir / memo->second.front();
            mb = &mb_path;
        }
        OldHeader header;
        try {
            std::unique_ptr<File> f = file_system().open(db, OpenMode::kRead);
            ByteSource src;
            src.size = f->size();
            src.read_at = [&f](void* b, std::size_t n, std::uint64_t off) {
                return f->read_at(b, n, off);
            };
            header = check_table_file(src);
        } catch (const OldFileError& e) {
            throw stop(e.kind(), file, schema.open_name, e.what());
        } catch (const Error& e) {
            throw stop("reader_failed", file, schema.open_name, e.what());
        }
        // A missing memo file matters only when a record's memo lives there: the reader stops
        // with memo_missing at the first such record (unless told to skip those memos).
        say("Reading " + file);
        OldTable old;
        try {
            ReaderLimits limits;
            limits.seconds = opt_.reader_seconds;
            limits.memory = opt_.reader_memory;
            limits.start_hook = opt_.reader_start_hook;
            old = read_table_in_child(db, mb, opt_.skip_memos, limits);
        } catch (const OldFileError& e) {
            if (e.kind() == "memo_missing")
                throw stop(e.kind(), file, schema.open_name,
                           "the memo file " + stem_of(file) +
                               ".MB is missing (--skip-memos migrates without the memos it holds)");
            throw stop(e.kind(), e.kind() == "memo_damaged" && mb ? mb->filename().string() : file,
                       schema.open_name, e.what());
        } catch (const Error& e) {
            throw stop("reader_failed", file, schema.open_name, e.what());
        }
        rep.read = static_cast<int>(old.rows.size());
        write_rows(schema, old, rep, file);
    }
    // Numbering goes on past the numbers kept and past the old table's counter.
    tables::Table t;
    t.set_database_name(database_);
    t.set_table_name(schema.open_name);
    t.open();
    if (std::any_of(schema.fields.begin(), schema.fields.end(),
                    [](const tables::FieldDef& f) { return f.type == FieldType::kAutoInc; })) {
        rep.next_autoinc = t.next_autoinc();
    }
    say("Done " + schema.open_name + ": " + std::to_string(rep.written + rep.initial_rows) +
        " rows");
}

void Run::write_rows(const store::TableSchema& schema, const OldTable& old, TableReport& rep,
                     const std::string& file) {
    const OldHeader& h = old.header;
    // The code page of its texts.
    int page = opt_.codepage;
    if (page == 0) page = h.codepage;
    if (page == 0) {
        page = 1252;
        rep.codepage_assumed = true;
        say("Warning: " + file + " records no code page; 1252 is assumed");
    }
    const char16_t* page_table = code_page_table(page);
    if (!page_table)
        throw stop("bad_header", file, schema.open_name,
                   "the table's code page " + std::to_string(page) +
                       " is not one this program reads; name one with --codepage");
    rep.codepage = page;

    // Fields by name, case-insensitively.
    struct Mapped {
        int to, from;
        FieldType type;
        int size;
    };
    std::vector<Mapped> mapped;
    std::vector<bool> old_used(h.fields.size(), false);
    for (std::size_t n = 0; n < schema.fields.size(); ++n) {
        const tables::FieldDef& nf = schema.fields[n];
        int from = -1;
        for (std::size_t o = 0; o < h.fields.size(); ++o)
            if (to_upper(h.fields[o].name) == to_upper(nf.name)) from = static_cast<int>(o);
        if (from < 0) {
            rep.missing_fields.push_back(nf.name);
            continue;
        }
        old_used[static_cast<std::size_t>(from)] = true;
        const OldField& of = h.fields[static_cast<std::size_t>(from)];
        if (!accepted(of.type, nf.type)) {
            rep.mismatched_fields.push_back(
                {nf.name, old_type_name(of.type), tables::field_type_name(nf.type)});
            continue;
        }
        mapped.push_back({static_cast<int>(n), from, nf.type, nf.size});
    }
    for (std::size_t o = 0; o < h.fields.size(); ++o)
        if (!old_used[o]) rep.unknown_fields.push_back(h.fields[o].name);

    const bool is_config = to_upper(schema.open_name) == "CONFIG.DB";
    store::TableSchema made = schema;
    if (!(is_config && old.rows.empty())) made.initial_rows.clear();
    rep.initial_rows = static_cast<int>(made.initial_rows.size());
    store::TableSetCreator::create_table_in(database_, made);

    std::vector<int> key_fields;
    for (const tables::IndexDef& d : schema.indexes)
        if (d.primary) {
            std::string rest = d.fields;
            while (!rest.empty()) {
                auto semi = rest.find(';');
                std::string name = rest.substr(0, semi);
                for (std::size_t i = 0; i < schema.fields.size(); ++i)
                    if (to_upper(schema.fields[i].name) == to_upper(name))
                        key_fields.push_back(static_cast<int>(i));
                rest = semi == std::string::npos ? "" : rest.substr(semi + 1);
            }
        }

    tables::Table t;
    t.set_database_name(database_);
    t.set_table_name(schema.open_name);
    t.open();
    tables::Transaction txn({&t});
    std::int64_t highest_kept = 0;
    std::string& refused_out = refused_lines_[schema.open_name];
    for (std::size_t r = 0; r < old.rows.size(); ++r) {
        const int row = static_cast<int>(r) + 1;
        const auto& values = old.rows[r];
        t.append();
        std::string bad_field;
        std::vector<CutText> cuts;
        std::vector<std::string> replaced, skipped;
        for (const Mapped& m : mapped) {
            const OldValue& v = values[static_cast<std::size_t>(m.from)];
            tables::Field f = t.field(m.to);
            try {
                switch (v.kind) {
                    case OldValue::kNull:
                        break;
                    case OldValue::kSkippedMemo:
                        skipped.push_back(f.name());
                        break;
                    case OldValue::kText: {
                        bool lacks = false;
                        std::string text = decode_text(v.text, page_table, lacks);
                        if (lacks) replaced.push_back(f.name());
                        if (m.type == FieldType::kString) {
                            std::size_t chars = utf8_length(text);
                            if (chars > static_cast<std::size_t>(m.size)) {
                                cuts.push_back({row, "", f.name(), static_cast<int>(chars)});
                                text = utf8_prefix(text, static_cast<std::size_t>(m.size));
                            }
                        }
                        if (!text.empty()) f.set_as_string(text);
                        break;
                    }
                    case OldValue::kNumber:
                        f.set_as_float(v.number);
                        break;
                    case OldValue::kInteger:
                        if (m.type == FieldType::kAutoInc) {
                            if (v.integer < 1) throw Error(ErrorKind::kConversion, "");
                            highest_kept = std::max(highest_kept, v.integer);
                        }
                        f.set_as_float(static_cast<double>(v.integer));
                        break;
                    case OldValue::kDate: {
                        double d = date_from_old_days(v.integer);
                        if (!civil_from_date(d)) throw Error(ErrorKind::kConversion, "");
                        f.set_as_date(d);
                        break;
                    }
                    case OldValue::kBool:
                        f.set_as_boolean(v.flag);
                        break;
                }
            } catch (const Error& e) {
                if (e.kind() != ErrorKind::kConversion) throw;
                if (bad_field.empty()) bad_field = f.name();
            }
        }
        std::string key;
        for (std::size_t k = 0; k < key_fields.size(); ++k)
            key += (k ? ";" : "") + t.field(key_fields[k]).as_string();
        for (CutText& c : cuts) {
            c.key = key;
            rep.cut.push_back(c);
        }
        for (const std::string& f : replaced) rep.replaced_chars.push_back({row, key, f});
        for (const std::string& f : skipped) rep.skipped_memos.push_back({row, "", f});

        RefusedRow refused{row, key, "", ""};
        if (!bad_field.empty()) {
            refused.reason = "bad_value";
            refused.field = bad_field;
        } else {
            for (std::size_t i = 0; i < schema.fields.size() && refused.reason.empty(); ++i)
                if (schema.fields[i].required && schema.fields[i].type != FieldType::kAutoInc &&
                    t.field(static_cast<int>(i)).is_null()) {
                    refused.reason = "required_empty";
                    refused.field = schema.fields[i].name;
                }
        }
        if (refused.reason.empty() && is_config && rep.written >= 1)
            refused.reason = "extra_config_row";
        if (refused.reason.empty()) {
            try {
                t.post();
                ++rep.written;
                continue;
            } catch (const Error& e) {
                if (e.kind() == ErrorKind::kKeyViolation)
                    refused.reason = "key_violation";
                else if (e.kind() == ErrorKind::kRequired)
                    refused.reason = "required_empty";
                else
                    throw;
            }
        }
        std::string line = "{";
        for (int i = 0; i < t.field_count(); ++i)
            line += (i ? "," : "") + json_quote(t.field(i).name()) + ":" + json_value(t.field(i));
        refused_out += line + "}\n";
        rep.refused.push_back(refused);
        t.cancel();
    }
    txn.commit();
    if (std::any_of(schema.fields.begin(), schema.fields.end(),
                    [](const tables::FieldDef& f) { return f.type == FieldType::kAutoInc; })) {
        // The old counter holds the last number it handed out; a deleted last row's number is
        // not given again.
        std::int64_t want = std::max<std::int64_t>(highest_kept, h.autoinc) + 1;
        if (want > t.next_autoinc()) t.set_next_autoinc(want);
    }
    t.close();
    say(schema.open_name + ": " + std::to_string(rep.written) + " of " + std::to_string(rep.read) +
        " rows written, " + std::to_string(rep.refused.size()) + " refused");
}

void Run::run() {
    report_.target = opt_.target.string();
    if (file_system().exists(opt_.target))
        throw stop("target_exists", "", "", "the target exists: " + opt_.target.string());
    for (int page : {opt_.codepage})
        if (page != 0 && !code_page_table(page))
            throw stop("usage", "", "", "code page " + std::to_string(page) + " is not supported");
    const OldFiles files = scan_old();
    for (const auto& [table, names] : files.tables)
        if (names.size() > 1)
            throw stop("ambiguous", names[1], table,
                       "two files for one table: " + names[0] + " and " + names[1]);

    const fs::path parent = opt_.target.parent_path();
    try {
        fs::path level;
        for (const auto& part : parent) {
            level /= part;
            file_system().make_directory(level);
        }
        remove_leftovers(opt_.target);
        temp_ =
            parent / (opt_.target.filename().string() + kTempInfix + std::to_string(::getpid()));
        if (int err = file_system().make_directory(temp_))
            throw Error::from_errno("Cannot create " + temp_.string(), err);
        write_new_file(temp_ / kMarker, "");
    } catch (const Error& e) {
        throw stop("write_failed", "", "", e.what());
    }
    database_ = DriveMap::current().to_logical(temp_);
    try {
        try {
            for (const store::TableSchema& s : store::schema()) migrate_table(s, files);
            // The record of the run inside the new set.
            const fs::path dir = temp_ / "migration";
            if (int err = file_system().make_directory(dir))
                throw Error::from_errno("Cannot create " + dir.string(), err);
            for (const auto& [table, lines] : refused_lines_)
                if (!lines.empty())
                    write_new_file(dir / ("refused-" + stem_of(table) + ".jsonl"), lines);
            report_.done = true;
            write_new_file(dir / "report.txt", format_report(report_));
            report_.done = false;
            if (file_system().exists(opt_.target))
                throw stop("target_exists", "", "",
                           "the target appeared meanwhile: " + opt_.target.string());
            file_system().remove(temp_ / kMarker);
            file_system().rename(temp_, opt_.target);
            file_system().sync_directory(parent);
            report_.done = true;
        } catch (const Error& e) {
            throw stop("write_failed", "",
                       report_.tables.empty() ? "" : report_.tables.back().table, e.what());
        }
    } catch (...) {
        try {
            if (file_system().exists(temp_)) remove_tree(temp_);
        } catch (const Error&) {
            // The marker stays; the next run removes what is left.
        }
        throw;
    }
}

}  // namespace

const std::vector<int>& supported_codepages() {
    return kCodepages;
}

int MigrationReport::exit_status() const {
    if (done) return 0;
    if (!error) return 1;
    const std::string& k = error->kind;
    return k == "usage" || k == "old_unreadable" || k == "target_exists" ? 2 : 1;
}

int MigrationReport::refused_count() const {
    int n = 0;
    for (const TableReport& t : tables) n += static_cast<int>(t.refused.size());
    return n;
}

MigrationReport migrate_tables(const MigrationOptions& options) {
    MigrationReport report;
    try {
        Run(options, report).run();
    } catch (const Stop& s) {
        report.done = false;
        report.error = s.error;
    } catch (const std::exception& e) {
        report.done = false;
        report.error = MigrationError{"write_failed", "", "", e.what()};
    }
    return report;
}

}  // namespace pavo::records
