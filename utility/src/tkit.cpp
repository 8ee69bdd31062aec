// The date and text routines of the utility library.
#include "utility/tkit.h"

#include <cstdio>

#include "platform/clock.h"
#include "utility/text_conv.h"
#include "utility/version_info.h"

namespace pavo {

std::string tkit_Date_To_YYYYMMDD(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", c->year, c->month, c->day);
    return buf;
}

std::string tkit_Date_To_MM_DD_YYYY(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c->month, c->day, c->year);
    return buf;
}

std::string tkit_Date_To_MM_YYYY(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%04d", c->month, c->year);
    return buf;
}

int tkit_MonthOf(double date) {
    auto c = civil_from_date(date);
    return c ? c->month : 0;
}

int tkit_YearOf(double date) {
    auto c = civil_from_date(date);
    return c ? c->year : 0;
}

int tkit_DaysInAMonth(int year, int month) {
    return days_in_month(year, month);
}

void tkit_verify_date_diffs(const std::string& first, const std::string& second, int& ok,
                            double& days) {
    auto a = parse_short_date(first);
    auto b = parse_short_date(second);
    if (!a || !b) return;
    ok = 1;
    days = *b - *a;
}

std::string tkit_yyyy_mm_dd_hh_mm_ss() {
    clock::DateTime t = clock::now();
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d-%02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string tkit_New_Extention(const std::string& name, const std::string& ext) {
    std::size_t sep = name.find_last_of("\\/:");
    std::size_t base = sep == std::string::npos ? 0 : sep + 1;
    std::size_t dot = name.rfind('.');
    std::string stem = (dot != std::string::npos && dot >= base) ? name.substr(0, dot) : name;
    return stem + "." + ext;
}

std::string tkit_replace_char_in_string(const std::string& text, const std::string& from,
                                        const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == from[0]) {
            if (!to.empty()) out.push_back(to[0]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string tkit_format_output(const std::string& value, const std::string& line, int width,
                               int gap, const std::string& fill, const std::string& flag) {
    if (width < 0) width = 0;
    if (gap < 0) gap = 0;
    const std::size_t w = static_cast<std::size_t>(width);
    std::string out = line;
    if (value.empty()) {
        out.append(w, fill.empty() ? ' ' : fill[0]);
    } else {
        std::string v = value.size() > w ? value.substr(0, w) : value;
        std::size_t pad = w - v.size();
        if (flag == "Y") {
            out.append(pad, ' ');
            out += v;
        } else {
            out += v;
            out.append(pad, ' ');
        }
    }
    out.append(static_cast<std::size_t>(gap), ' ');
    return out;
}

std::string tkit_Get_Versioning_Info(const std::string& key) {
    return read_version_value(key);
}

}  // namespace pavo
