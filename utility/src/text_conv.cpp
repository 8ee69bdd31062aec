// Calendar arithmetic and the program's text conversions.
#include "utility/text_conv.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "platform/clock.h"

namespace pavo {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's civil algorithm).
long long days_from_epoch(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

CivilDate civil_from_epoch_days(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return CivilDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// 1899-12-30 counted from 1970-01-01.
const long long kDelphiEpoch = -25569;

bool is_blank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view trim_view(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// Reads 1..max_digits decimal digits at s[pos]; advances pos.
std::optional<int> read_int(std::string_view s, std::size_t& pos, int max_digits) {
    int value = 0, n = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        if (++n > max_digits) return std::nullopt;
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    if (n == 0) return std::nullopt;
    return value;
}

int current_year() {
    return clock::now().year;
}

}  // namespace

bool is_leap_year(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

bool is_valid_date(int year, int month, int day) {
    return year >= 1 && year <= 9999 && day >= 1 && day <= days_in_month(year, month);
}

double date_from_civil(int year, int month, int day) {
    return static_cast<double>(
        days_from_epoch(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kDelphiEpoch);
}

std::optional<CivilDate> civil_from_date(double date) {
    if (!std::isfinite(date)) return std::nullopt;
    // Years 1..9999 span about -693593 .. 2958465 days.
    if (date < -693594.0 || date > 2958466.0) return std::nullopt;
    long long day = static_cast<long long>(std::trunc(date));
    CivilDate c = civil_from_epoch_days(day + kDelphiEpoch);
    if (c.year < 1 || c.year > 9999) return std::nullopt;
    return c;
}

double today_date() {
    clock::DateTime t = clock::now();
    return date_from_civil(t.year, t.month, t.day);
}

double now_date_time() {
    clock::DateTime t = clock::now();
    return date_from_civil(t.year, t.month, t.day) +
           (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
}

std::string format_short_date(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", c->month, c->day, c->year);
    return buf;
}

std::optional<double> parse_short_date(std::string_view text) {
    std::string_view s = trim_view(text);
    std::size_t pos = 0;
    auto m = read_int(s, pos, 2);
    if (!m || pos >= s.size() || s[pos] != '/') return std::nullopt;
    ++pos;
    auto d = read_int(s, pos, 2);
    if (!d || pos >= s.size() || s[pos] != '/') return std::nullopt;
    ++pos;
    std::size_t year_start = pos;
    auto y = read_int(s, pos, 4);
    if (!y || pos != s.size()) return std::nullopt;
    int year = *y;
    std::size_t digits = pos - year_start;
    if (digits <= 2)
        year += current_year() / 100 * 100;
    else if (digits == 3)
        return std::nullopt;
    if (!is_valid_date(year, *m, *d)) return std::nullopt;
    return date_from_civil(year, *m, *d);
}

std::string format_number(double value) {
    if (value == 0) return "0";  // also folds -0
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    if (r.ec != std::errc()) return "0";
    return std::string(buf, r.ptr);
}

std::optional<double> parse_number(std::string_view text) {
    std::string_view s = trim_view(text);
    if (s.empty()) return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() == '+') return std::nullopt;
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string format_bool(bool value) {
    return value ? "True" : "False";
}

std::optional<bool> parse_bool(std::string_view text) {
    std::string t = to_lower(trim_view(text));
    if (t == "true") return true;
    if (t == "false") return false;
    return std::nullopt;
}

std::string trim(std::string_view text) {
    return std::string(trim_view(text));
}

std::string to_upper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string to_lower(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string json_quote(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

std::string csv_field(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

}  // namespace pavo
