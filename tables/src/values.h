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

// A value read in place: texts point into the row (or edit buffer) they came from.
struct ValueView {
    Value::Kind kind = Value::Kind::kNull;
    double number = 0;
    std::string_view text;

    bool is_null() const { return kind == Value::Kind::kNull; }
    Value to_value() const {
        if (kind == Value::Kind::kNumber) return Value::of_number(number);
        if (kind == Value::Kind::kText) return Value::of_text(std::string(text));
        return Value::null();
    }
};

inline ValueView view_of(const Value& v) {
    return ValueView{v.kind, v.number, v.text};
}

// A stored row packed in one block: the kinds, then one 8-byte slot per field (the number, or
// the offset and length of the text), then the texts. Tens of thousands of rows stay in memory
// at a third of the size of separate values, and reading a row's fields touches few cache lines.
class Row {
  public:
    Row() = default;
    static Row pack(const std::vector<Value>& values);
    // Columns first .. first+n-1 of a statement's current row.
    static Row from_statement(sqlite3_stmt* stmt, int first, int n);
    // A row that was deleted through another dataset after this one listed it: every field empty.
    static Row gone_row(int n);

    int size() const { return n_; }
    bool gone() const { return gone_; }
    ValueView get(int i) const;
    std::vector<Value> unpack() const;

  private:
    std::string blob_;
    int n_ = 0;
    bool gone_ = false;
};

bool is_text_type(FieldType type);

// The names of a field list ("YYYYMMDD; TIME"), trimmed, empty names left out.
std::vector<std::string> split_fields(std::string_view list);

// The value a field stores for a text; an empty text is null, a long kString text is cut to the
// field's size in characters. Throws kConversion naming the field and the text.
Value value_from_text(const FieldDef& field, std::string_view text);
// The text form of a stored value for a field ("" for null).
std::string text_from_value(const FieldDef& field, const ValueView& value);
inline std::string text_from_value(const FieldDef& field, const Value& value) {
    return text_from_value(field, view_of(value));
}
// Converts a value of one field's type to another's (batch copies).
Value convert_value(const FieldDef& from, const FieldDef& to, const Value& value);

// Cuts text to at most n characters (UTF-8 code points).
std::string cut_to_chars(std::string_view text, int n);

// Orders two values as SQLite orders them in an index: null first, numbers, then texts (binary or
// ASCII case-folded). Returns <0, 0, >0.
int compare_values(const ValueView& a, const ValueView& b, bool nocase);
inline int compare_values(const Value& a, const Value& b, bool nocase) {
    return compare_values(view_of(a), view_of(b), nocase);
}

// Binds a value to a statement parameter; reads a column into a value.
void bind_value(sqlite3_stmt* stmt, int index, const Value& value);
Value column_value(sqlite3_stmt* stmt, int column);

}  // namespace pavo::tables
