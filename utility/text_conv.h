// The program's text forms of dates, numbers and truth values, in one place.
//
// Dates are date-time values: days (and fractions of a day) counted from 30 December 1899, as a
// double. The short date form is M/D/YYYY: no leading zeros on writing, four-digit year; reading
// also accepts leading zeros and a two-digit year (taken in the current century, by the program's
// clock, platform/clock.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pavo {

struct CivilDate {
    int year = 0;   // 1..9999
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

bool is_leap_year(int year);
int days_in_month(int year, int month);  // 0 for a month outside 1..12
bool is_valid_date(int year, int month, int day);

// Days from 30 December 1899 to the given day (negative before it). Expects a valid date.
double date_from_civil(int year, int month, int day);
// The calendar day of a date-time value: the integer part (towards zero) counts the day.
// Returns nullopt outside years 1..9999 or for a value that is not a number.
std::optional<CivilDate> civil_from_date(double date);

// Today's date (whole days) and the present moment (with the time of day as the fraction), from
// the program's clock, so a test that fixes the time fixes these too.
double today_date();
double now_date_time();

// Short date text "M/D/YYYY"; empty text for a value outside the supported years.
std::string format_short_date(double date);
// Reads "M/D/YYYY" (blanks around allowed); nullopt when the text is not a valid date.
std::optional<double> parse_short_date(std::string_view text);

// The shortest text that reads back to the same double ("5", "12.5", "0.1", "1e+21").
std::string format_number(double value);
// Reads a decimal number (blanks around allowed, no thousands separators); nullopt otherwise.
std::optional<double> parse_number(std::string_view text);

// "True" / "False".
std::string format_bool(bool value);
// "true"/"false" in any case (blanks around allowed); nullopt otherwise.
std::optional<bool> parse_bool(std::string_view text);

// Removes blanks and control characters at both ends.
std::string trim(std::string_view text);
// ASCII upper / lower case.
std::string to_upper(std::string_view text);
std::string to_lower(std::string_view text);
// A JSON string literal of the text, quotes included: quote, backslash and control characters
// escaped, every other byte (UTF-8 included) as it is.
std::string json_quote(std::string_view text);
// A CSV field: the text in double quotes, each quote in it doubled (line breaks kept inside).
std::string csv_field(std::string_view text);

}  // namespace pavo
