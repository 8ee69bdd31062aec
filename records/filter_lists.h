// Saved filter lists and the filter routine of the two filter windows, without widgets: one
// expression per line in a text file per dataset, and the step that puts an expression on a shared
// dataset after checking it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::records {

// The folder of the list files and the two list files (logical paths, see drive_map.h).
inline constexpr const char* kFilterFolder = "c:\\mydata\\KV-DB\\PAVODEN2\\filter_files";
inline constexpr const char* kPaymentFilterList =
    "c:\\mydata\\KV-DB\\PAVODEN2\\filter_files\\pavoden_filters.txt";
inline constexpr const char* kJobSearchFilterList =
    "c:\\mydata\\KV-DB\\PAVODEN2\\filter_files\\jsearch_filters.txt";

// Creates c:\mydata, c:\mydata\KV-DB, c:\mydata\KV-DB\PAVODEN2 and its filter_files folder one
// after another; failures (a folder that exists, a read-only parent) are ignored, since a write
// or read that follows reports what matters.
void make_filter_folders();

// Reads a list file: its lines in order (CR LF or LF breaks, a last line without a break, an
// optional UTF-8 byte-order mark; an empty line is an empty item; an empty file is an empty list).
// nullopt when the file does not exist. Throws pavo::Error naming the file when it is a folder
// (kInvalidInput), cannot be read (kIO with the OS error) or is not UTF-8 (kCorruption).
std::optional<std::vector<std::string>> read_filter_list(const std::string& path);

// Replaces the list file with items, one per line ended by CR LF, UTF-8 (an empty list gives a
// 0-byte file). The file is written beside the old one and renamed over it once complete, so a
// failure leaves the old file untouched; then throws pavo::Error naming the file and the system's
// reason. A line break inside an item is written as one blank so it cannot split the item.
void write_filter_list(const std::string& path, const std::vector<std::string>& items);

// Each line break (CR LF, CR or LF) becomes one blank.
std::string line_breaks_to_blanks(std::string_view text);

// The condition lines joined into one expression: the first line, then a blank and each further
// line in order.
std::string join_condition_lines(const std::vector<std::string>& lines);

// Rows that pass after an apply, and rows of the dataset without a filter.
struct FilterCount {
    int passing = 0;
    int total = 0;
};

// Throws pavo::Error when expression cannot be the dataset's filter: the table layer's check_filter
// (syntax, unknown fields, constants that do not fit their field), and memo fields, which the
// table layer would compare as plain text. The text names the 1-based position and the token.
void check_expression(const tables::Table& dataset, const std::string& expression);

// Puts expression on the dataset as its filter: checked first with check_expression, then the
// dataset is closed, given the text, opened and filtering switched on; an empty expression clears
// the text and switches filtering off. The comparison options are left alone. A refused expression
// throws check_expression's pavo::Error before the dataset is touched: it stays open with the
// filter text and switch it had. Should the reopen fail all the same, the previous text and switch
// are put back and the dataset is reopened before the error is passed on.
FilterCount apply_filter(tables::Table& dataset, const std::string& expression);

// The 1-based byte position (of the UTF-8 text) a filter error names ("... at position N: ..."), or
// 0.
int filter_error_position(const std::string& message);

// "312 of 5,000 records": thousands separated by commas.
std::string filter_count_text(const FilterCount& count);

}  // namespace pavo::records
