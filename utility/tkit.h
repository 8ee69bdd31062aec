// Date and text routines the windows and reports call by name (the program's utility library).
//
// Dates are date-time values (days from 30 December 1899, see text_conv.h). None of the routines
// reports a failure: an unusable input gives the documented neutral result instead.
#pragma once

#include <string>

namespace pavo {

// "20030305": eight digits year, month, day; sorts in date order. "" for an unusable date.
std::string tkit_Date_To_YYYYMMDD(double date);
// "03/05/2003": month, day, four-digit year, zero-padded, '/' between. "" for an unusable date.
std::string tkit_Date_To_MM_DD_YYYY(double date);
// "03/2004": month in characters 1-2, '/', year in characters 4-7. "" for an unusable date.
std::string tkit_Date_To_MM_YYYY(double date);
// Month 1..12 and four-digit year of a date; 0 for an unusable date.
int tkit_MonthOf(double date);
int tkit_YearOf(double date);
// Days in a month, leap years counted; 0 for a month outside 1..12.
int tkit_DaysInAMonth(int year, int month);

// When both texts are valid short dates (M/D/YYYY), sets ok to 1 and days to second minus first;
// otherwise leaves both as the caller preset them.
void tkit_verify_date_diffs(const std::string& first, const std::string& second, int& ok,
                            double& days);

// The local time now (the program's clock, platform/clock.h) as YYYY-MM-DD-HH-MM-SS, for file
// names.
std::string tkit_yyyy_mm_dd_hh_mm_ss();

// The file name with its extension replaced by ext (given without the dot). A name without an
// extension gets ".ext" appended; a dot inside a folder name is not an extension.
std::string tkit_New_Extention(const std::string& name, const std::string& ext);

// A copy of text with every occurrence of the character from (a one-character text) replaced by
// the character to. An empty from leaves the text as it is; an empty to removes the character.
std::string tkit_replace_char_in_string(const std::string& text, const std::string& from,
                                        const std::string& to);

// Appends value to line as one column of `width` characters followed by `gap` blanks, and returns
// the new line. Lines built with the same widths line up column for column:
//  - flag "Y" right-aligns the value in its column, "N" (or anything else) left-aligns it;
//  - a value longer than the column is cut to the width (on the right for left-aligned values,
//    keeping the leading characters in both cases), so a column never pushes the next one over;
//  - the fill character (first character of fill; blank when fill is empty) fills a column whose
//    value is empty, so an empty field reads as "______" on a data line; a value that does not fill
//    its column is padded with blanks, which keeps numbers and words readable.
std::string tkit_format_output(const std::string& value, const std::string& line, int width,
                               int gap, const std::string& fill, const std::string& flag);

// A key's value ("FileVersion" -> "2.5.0.100") from the version block embedded in the running
// executable at build time; "" when the key or the block is missing.
std::string tkit_Get_Versioning_Info(const std::string& key);

}  // namespace pavo
