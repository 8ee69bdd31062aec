// The state and title statistics reports: fixed-width columns through tkit_format_output, file
// names by the picked table's month stamp, the title report's attachment, saving whole files.
#include "records/stats_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/line_writer.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

constexpr int kGap = 5;

struct Layout {
    const char* kind_word;
    const char* title;
    const char* overall_base;
    const char* file_word;
    std::vector<const char*> fields;
};

const Layout& layout(StatsReportKind kind) {
    static const Layout state{"state",
                              "JOB SEARCH REPORT FOR JOB NOT QUALIFIED FOR, BASED ON STATE: ",
                              "stats_st",
                              "STATE",
                              {"STATE", "COUNT", "PERCENTAGE"}};
    static const Layout title{
        "title",
        "JOB SEARCH REPORT FOR JOB NOT QUALIFIED FOR, BASED ON JOB TITLE FOR : ",
        "stats_jt",
        "TITLE",
        {"ORDER", "CATEGORY", "COUNT", "PERCENTAGE", "REASON_NOT_SUBMITTED"}};
    return kind == StatsReportKind::kState ? state : title;
}

// Control characters would break a fixed-width line: each becomes a blank.
std::string clean(std::string text) {
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    return text;
}

// Appends one column of width characters (UTF-8 characters, not bytes: a value is cut at a
// character boundary and tkit_format_output, which counts bytes, is given the extra bytes).
void column(std::string& line, const std::string& value, int width, bool number) {
    std::size_t chars = 0, end = 0, extra = 0;
    while (end < value.size() && chars < static_cast<std::size_t>(width)) {
        std::size_t next = end + 1;
        while (next < value.size() && (static_cast<unsigned char>(value[next]) & 0xc0) == 0x80)
            ++next;
        extra += next - end - 1;
        end = next;
        ++chars;
    }
    line = tkit_format_output(value.substr(0, end), line, width + static_cast<int>(extra), kGap,
                              "_", number ? "Y" : "N");
}

std::string fixed(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

struct Row {
    bool has_order = false;
    double order = 0;
    std::string key;  // STATE or CATEGORY
    double count = 0;
    double percentage = 0;
    std::string reason;
};

void open_table(tables::Table& t, const std::string& database, const std::string& table_name) {
    t.set_database_name(database);
    t.set_table_name(table_name);
    t.open();
}

void require_fields(StatsReportKind kind, const tables::Table& t) {
    std::vector<std::string> names = t.field_names();
    for (const char* f : layout(kind).fields)
        if (std::find(names.begin(), names.end(), f) == names.end())
            throw Error(ErrorKind::kInvalidInput, t.table_name() + " is not a " +
                                                      layout(kind).kind_word +
                                                      " statistics table: it has no field " + f);
}

std::vector<Row> read_rows(StatsReportKind kind, const std::string& database,
                           const std::string& table_name) {
    tables::Table t;
    open_table(t, database, table_name);
    require_fields(kind, t);
    const bool title = kind == StatsReportKind::kTitle;
    tables::Field key = t.field(title ? "CATEGORY" : "STATE");
    tables::Field count = t.field("COUNT");
    tables::Field pct = t.field("PERCENTAGE");
    std::optional<tables::Field> order, reason;
    if (title) {
        order = t.field("ORDER");
        reason = t.field("REASON_NOT_SUBMITTED");
    }
    std::vector<Row> rows;
    for (t.first(); !t.eof(); t.next()) {
        Row r;
        r.key = key.as_string();
        r.count = count.as_float();
        r.percentage = pct.as_float();
        if (title) {
            r.has_order = !order->is_null();
            r.order = r.has_order ? order->as_float() : 0;
            r.reason = reason->as_string();
        }
        rows.push_back(std::move(r));
    }
    // The counting order: a row without ORDER first, then ascending ORDER, then the key's bytes.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) {
        if (x.has_order != y.has_order) return !x.has_order;
        if (x.has_order && x.order != y.order) return x.order < y.order;
        return x.key < y.key;
    });
    return rows;
}

}  // namespace

std::vector<std::string> stats_report_notice(StatsReportKind kind) {
    return {"",
            kind == StatsReportKind::kState
                ? "This report will be only as current as your statistics are for the jobs not "
                  "qualified for by state."
                : "This report will be only as current as your statistics are for the job titles.",
            "You should update your statistics at least once per month, after all job searches",
            "have been entered."};
}

void check_stats_table(StatsReportKind kind, const std::string& database,
                       const std::string& table_name) {
    tables::Table t;
    open_table(t, database, table_name);
    require_fields(kind, t);
}

std::vector<std::string> stats_report_lines(StatsReportKind kind, const std::string& database,
                                            const std::string& table_name,
                                            const ReportAddress& address) {
    const bool title = kind == StatsReportKind::kTitle;
    std::vector<Row> rows = read_rows(kind, database, table_name);
    std::vector<std::string> lines = {"", ""};
    const std::string rule = "+" + std::string(78, '-') + "+";
    lines.push_back(rule);
    lines.push_back("|" + report_banner_text() + "|");
    lines.push_back(rule);
    lines.insert(lines.end(), {"", "", layout(kind).title, ""});
    const std::string indent(11, ' ');
    lines.push_back(indent + clean(address.name));
    lines.push_back(indent + clean(address.address));
    lines.push_back(indent + clean(address.city) + ", " + clean(address.state) + " " +
                    clean(address.zip));
    lines.push_back("");

    std::string heading, underline;
    column(heading, title ? "CATEGORY (1ST 30 CHAR)" : "DISQUALIFIED STATE", 30, false);
    column(underline, title ? "----------------------" : "------------------", 30, false);
    column(heading, "COUNT", 10, true);
    column(underline, "-----", 10, true);
    column(heading, "PERCENTAGE", 10, true);
    column(underline, "----------", 10, true);
    if (title) {
        column(heading, "REASON NOT SUBMITTED", 30, false);
        column(underline, "--------------------", 30, false);
    }
    lines.push_back(heading);
    lines.push_back(underline);

    long long total_count = 0;
    double total_pct = 0;
    for (const Row& r : rows) {
        total_count += std::llround(r.count);
        total_pct += r.percentage;
        if (!(r.count > 0)) continue;
        std::string line;
        column(line, clean(r.key), 30, false);
        column(line, r.count == std::floor(r.count) ? fixed(r.count, 0) : format_number(r.count),
               10, true);
        column(line, fixed(r.percentage, 4), 10, true);
        if (title) column(line, clean(r.reason), 50, false);
        lines.push_back(line);
    }
    std::string totals_rule, totals;
    column(totals_rule, "-----", 45, true);
    column(totals_rule, "----------", 10, true);
    column(totals, "TOTALS", 30, false);
    column(totals, std::to_string(total_count), 10, true);
    column(totals, fixed(total_pct, 4), 10, true);
    lines.push_back(totals_rule);
    lines.push_back(totals);
    return lines;
}

std::string stats_report_file_name(StatsReportKind kind, const std::string& picked_table,
                                   const std::string& stamp) {
    // The picked table may be a Windows path or a host path.
    std::string name = picked_table.substr(picked_table.find_last_of("\\/") + 1);
    std::size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const Layout& l = layout(kind);
    if (base.empty() || to_lower(base) == l.overall_base)
        return std::string(kReportsFolder) + "\\JOB_SEARCH_" + l.file_word + "_STATS_" + stamp +
               ".txt";
    return std::string(kReportsFolder) + "\\" + base.substr(0, 6) + "_JOB_SEARCH_" + l.file_word +
           "_STATS.txt";
}

namespace {

bool is_utf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
        i += len;
    }
    return true;
}

}  // namespace

std::vector<std::string> stats_report_attachment(const std::string& host_path) {
    FileInfo info = file_system().stat(host_path);
    if (info.type == EntryType::kMissing)
        throw Error(ErrorKind::kNotFound, "The file to attach does not exist: " + host_path);
    if (info.type != EntryType::kFile)
        throw Error(ErrorKind::kInvalidInput, "Not a file to attach: " + host_path);
    if (info.size > kMaxAttachmentBytes)
        throw Error(ErrorKind::kInvalidInput,
                    "The file to attach is larger than 10 MB: " + host_path);
    std::string text = read_whole_file(host_path);
    if (text.size() > kMaxAttachmentBytes)
        throw Error(ErrorKind::kInvalidInput,
                    "The file to attach is larger than 10 MB: " + host_path);
    if (text.find('\0') != std::string::npos || !is_utf8(text))
        throw Error(ErrorKind::kInvalidInput,
                    "The file to attach is not a text file: " + host_path);
    const std::string dashes(55, '-');
    std::vector<std::string> lines = {"\f", dashes};
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string line =
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    lines.push_back(dashes);
    lines.push_back("");
    return lines;
}

std::string saved_to_line(const std::string& path) {
    return "Saved to file: " + path;
}

void save_stats_report(const std::vector<std::string>& lines, const std::string& path) {
    LineWriter out(path);
    for (const std::string& line : lines) out.write_line(line);
    out.close();
}

}  // namespace pavo::records
