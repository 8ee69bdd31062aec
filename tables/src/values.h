// Stored field values, their text forms and the ordering SQLite gives them, shared by the table
// code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

struct sqlite3_stmt;

namespace pavo::tables {

// One stored value. Numbers (floats, dates as day counts, truth values as 0/1, auto-increment
// numbers) are doubles; texts are UTF-8. A null is an empty field.
struct Value {
    enum class Kind : std::uint8_t { kNull, kNumber, kText };
    Kind kind = Kind::kNull;
    double number = 0;
    std::string text;

    static Value null() { return {}; }
    static Value of_number(double d) {
        Value v;
        v.kind = Kind::kNumber;
        v.number = d;
        return v;
    }
    static Value of_text(std::string s) {
        Value v;
        v.kind = Kind::kText;
        v.text = std::move(s);
        return v;
    }
    bool is_null() const { return kind == Kind::kNull; }
    bool operator==(const Value& o) const {
        if (kind != o.kind) return false;
        if (kind == Kind::kNumber) return number == o.number;
        return kind == Kind::kNull || text == o.text;
    }
};

struct Row {
    std::vector<Value> values;
    bool gone = false;  // the row was deleted through another dataset since this one read its rids
};

bool is_text_type(FieldType type);

// The value a field stores for a text; an empty text is null, a long kString text is cut to the
// field's size in characters. Throws kConversion naming the field and the text.
Value value_from_text(const FieldDef& field, std::string_view text);
// The text form of a stored value for a field ("" for null).
std::string text_from_value(const FieldDef& field, const Value& value);
// Converts a value of one field's type to another's (batch copies).
Value convert_value(const FieldDef& from, const FieldDef& to, const Value& value);

// Cuts text to at most n characters (UTF-8 code points).
std::string cut_to_chars(std::string_view text, int n);

// Orders two values as SQLite orders them in an index: null first, numbers, then texts (binary or
// ASCII case-folded). Returns <0, 0, >0.
int compare_values(const Value& a, const Value& b, bool nocase);

// Binds a value to a statement parameter; reads a column into a value.
void bind_value(sqlite3_stmt* stmt, int index, const Value& value);
Value column_value(sqlite3_stmt* stmt, int column);

}  // namespace pavo::tables
