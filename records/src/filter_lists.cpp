// Saved filter lists and the filter routine of the filter windows.
#include "records/filter_lists.h"

#include <cerrno>
#include <exception>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/line_writer.h"

namespace pavo::records {
namespace {

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool valid_utf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= static_cast<std::size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string with_commas(int n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    const int len = static_cast<int>(digits.size());
    for (int i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

bool name_start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool name_char(unsigned char c) {
    return name_start(c) || (c >= '0' && c <= '9');
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The table layer compares a memo field as plain text and so never matches what the user means;
// such a condition is refused like an unknown field, at the name's position.
void refuse_memo_fields(const tables::Table& dataset, std::string_view text) {
    std::vector<std::string> memos;
    for (const tables::FieldDef& def : dataset.field_defs())
        if (def.type == tables::FieldType::kMemo) memos.push_back(def.name);
    if (memos.empty()) return;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\'') {
            // A text constant; a doubled apostrophe stays inside it.
            ++i;
            while (i < text.size()) {
                if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                    i += 2;
                } else if (text[i] == '\'') {
                    ++i;
                    break;
                } else {
                    ++i;
                }
            }
        } else if (name_start(c)) {
            const std::size_t start = i;
            while (i < text.size() && name_char(static_cast<unsigned char>(text[i]))) ++i;
            const std::string_view name = text.substr(start, i - start);
            for (const std::string& memo : memos)
                if (same_name(name, memo))
                    throw Error(ErrorKind::kInvalidInput,
                                "Filter expression error at position " + std::to_string(start + 1) +
                                    ": field '" + std::string(name) +
                                    "' is a memo field and cannot be filtered on");
        } else if (c >= '0' && c <= '9') {
            while (i < text.size() && name_char(static_cast<unsigned char>(text[i]))) ++i;
        } else {
            ++i;
        }
    }
}

}  // namespace

void check_expression(const tables::Table& dataset, const std::string& expression) {
    dataset.check_filter(expression);
    refuse_memo_fields(dataset, expression);
}

void make_filter_folders() {
    for (const char* folder :
         {"c:\\mydata", "c:\\mydata\\KV-DB", "c:\\mydata\\KV-DB\\PAVODEN2", kFilterFolder}) {
        try {
            (void)make_directory(folder);
        } catch (const std::exception&) {
            // An unavailable drive or an odd folder shows up when the list file is used.
        }
    }
}

std::optional<std::vector<std::string>> read_filter_list(const std::string& path) {
    std::string text;
    bool folder = false;
    try {
        const fs::path host = DriveMap::current().to_host(path);
        const FileInfo info = file_system().stat(host);
        if (info.type == EntryType::kMissing) return std::nullopt;
        folder = info.type == EntryType::kDirectory;
        if (!folder) text = read_whole_file(host);
    } catch (const Error& e) {
        throw Error(e.kind() == ErrorKind::kNotFound ? ErrorKind::kIO : e.kind(),
                    "The filter list " + path + " cannot be read: " + e.what(), e.os_error());
    }
    if (folder)
        throw Error(ErrorKind::kInvalidInput,
                    "The filter list " + path + " is a folder, not a file");
    std::string_view body(text);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    if (!valid_utf8(body))
        throw Error(ErrorKind::kCorruption,
                    "The filter list " + path + " is not a UTF-8 text file");
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) end = body.size();
        std::string_view line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        items.emplace_back(line);
        start = last ? body.size() : end + 1;
    }
    return items;
}

void write_filter_list(const std::string& path, const std::vector<std::string>& items) {
    try {
        LineWriter out(path);
        for (const std::string& item : items) {
            if (item.find_first_of("\r\n") == std::string::npos) {
                out.write_line(item);
            } else {
                out.write_line(line_breaks_to_blanks(item));
            }
        }
        out.close();
    } catch (const Error& e) {
        throw Error(e.kind(), "The filter list " + path + " could not be saved: " + e.what(),
                    e.os_error());
    }
}

std::string line_breaks_to_blanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += ' ';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string join_condition_lines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += ' ';
        out += lines[i];
    }
    return out;
}

FilterCount apply_filter(tables::Table& dataset, const std::string& expression) {
    // Checked before anything changes: every other window over the dataset keeps its rows.
    if (!expression.empty()) check_expression(dataset, expression);
    const std::string old_text = dataset.filter();
    const bool old_on = dataset.filtered();
    FilterCount count;
    // An open dataset without a filter already knows its total; only a filter replacing another
    // needs an unfiltered count of its own.
    const int known_total = dataset.active() && !old_on ? dataset.record_count() : -1;
    try {
        dataset.close();
        dataset.set_filter(expression);
        if (expression.empty()) {
            dataset.set_filtered(false);
            dataset.open();
            count.total = count.passing = dataset.record_count();
        } else if (known_total >= 0) {
            // Switched on before the open, so the rows are read once, already filtered.
            dataset.set_filtered(true);
            dataset.open();
            count.passing = dataset.record_count();
            count.total = known_total;
        } else {
            dataset.set_filtered(false);
            dataset.open();
            count.total = dataset.record_count();
            dataset.set_filtered(true);
            count.passing = dataset.record_count();
        }
    } catch (...) {
        try {
            dataset.close();
            dataset.set_filter(old_text);
            dataset.set_filtered(old_on);
            dataset.open();
        } catch (const std::exception&) {
            // The first error is the one to report.
        }
        throw;
    }
    return count;
}

int filter_error_position(const std::string& message) {
    static constexpr std::string_view kMark = "at position ";
    const std::size_t at = message.find(kMark);
    if (at == std::string::npos) return 0;
    int n = 0;
    for (std::size_t i = at + kMark.size();
         i < message.size() && message[i] >= '0' && message[i] <= '9' && n < 100000000; ++i)
        n = n * 10 + (message[i] - '0');
    return n;
}

std::string filter_count_text(const FilterCount& count) {
    return with_commas(count.passing) + " of " + with_commas(count.total) + " records";
}

}  // namespace pavo::records
