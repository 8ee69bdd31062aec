// Old Paradox tables for the migration's tests, fuzz seeds and benchmark: records written with
// pxlib's writer, memo files laid out by our own small routine (the library's memo writer loses
// the last shared block).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/schema.h"

namespace pavo::test {

namespace fs = std::filesystem;

struct OldColumn {
    std::string name;
    std::uint8_t type = 0x01;  // Paradox type code (0x01 Alpha, 0x02 Date, ...)
    int size = 0;
};

struct Cell {
    enum Kind { kNull, kText, kNumber, kInteger, kBool, kMemo, kRaw };
    Kind kind = kNull;
    std::string text;  // bytes in the table's code page (kText, kMemo), or the raw field (kRaw)
    double number = 0;
    long integer = 0;  // also the day number of a date
    bool flag = false;

    static Cell null() { return {}; }
    static Cell str(std::string s) { return {kText, std::move(s)}; }
    static Cell num(double d) { return {kNumber, {}, d}; }
    static Cell whole(long i) { return {kInteger, {}, 0, i}; }
    static Cell boolean(bool b) { return {kBool, {}, 0, 0, b}; }
    static Cell memo(std::string s) { return {kMemo, std::move(s)}; }
    static Cell raw(std::string bytes) { return {kRaw, std::move(bytes)}; }
    // A Paradox date: days from 1 January of year 1 (day 1).
    static Cell date(int year, int month, int day);
};

struct OldTableSpec {
    std::vector<OldColumn> columns;
    std::vector<std::vector<Cell>> rows;
    int file_type = 2;          // 0 with a primary index, 2 without
    std::uint32_t autoinc = 0;  // the header's counter, written by hand
    int codepage = 1252;        // written into the header; 0 records none
    int memo_leader = 0;        // unused
};

// The columns a table of the new set had in the old program (same names, the old types).
OldTableSpec spec_for(const store::TableSchema& schema);
// The index of a column by name, case-insensitively; -1 when missing.
int column_index(const OldTableSpec& spec, const std::string& name);
// A row of nulls for spec.
std::vector<Cell> empty_row(const OldTableSpec& spec);

struct OldFiles {
    std::string db;  // the table file
    std::string mb;  // the memo file, empty when no memo lives outside its record
};

// Builds the files in memory (pxlib's writer on a memory stream).
OldFiles build_old_table(const OldTableSpec& spec);
// Writes <dir>/<stem>.DB and, when needed, <dir>/<stem>.MB.
void write_old_table(const fs::path& dir, const std::string& stem, const OldTableSpec& spec);

}  // namespace pavo::test
