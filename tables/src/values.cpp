// Conversions between field texts and stored values, and SQLite's ordering of stored values.
#include "tables/src/values.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

#include "platform/error.h"
#include "utility/text_conv.h"

namespace pavo::tables {

namespace {

[[noreturn]] void conversion_error(const FieldDef& field, std::string_view text, const char* what) {
    throw Error(ErrorKind::kConversion, "'" + std::string(text) + "' is not a valid " + what +
                                            " for field '" + field.name + "'");
}

std::optional<bool> loose_bool(std::string_view text) {
    if (auto b = parse_bool(text)) return b;
    std::string t = to_upper(trim(text));
    if (t == "T" || t == "Y" || t == "YES" || t == "1") return true;
    if (t == "F" || t == "N" || t == "NO" || t == "0") return false;
    return std::nullopt;
}

}  // namespace

bool is_text_type(FieldType type) {
    return type == FieldType::kString || type == FieldType::kMemo;
}

std::string cut_to_chars(std::string_view text, int n) {
    std::size_t i = 0;
    int chars = 0;
    while (i < text.size()) {
        if (chars == n) return std::string(text.substr(0, i));
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 1;
        i += len;
        ++chars;
    }
    return std::string(text.substr(0, std::min(i, text.size())));
}

Value value_from_text(const FieldDef& field, std::string_view text) {
    if (text.empty()) return Value::null();
    switch (field.type) {
        case FieldType::kString:
            return Value::of_text(field.size > 0 ? cut_to_chars(text, field.size)
                                                 : std::string(text));
        case FieldType::kMemo:
            return Value::of_text(std::string(text));
        case FieldType::kDate: {
            auto d = parse_short_date(text);
            if (!d) {
                if (trim(text).empty()) return Value::null();
                conversion_error(field, text, "date");
            }
            return Value::of_number(std::trunc(*d));
        }
        case FieldType::kFloat:
        case FieldType::kAutoInc: {
            auto d = parse_number(text);
            if (!d || !std::isfinite(*d)) {
                if (trim(text).empty()) return Value::null();
                conversion_error(field, text, "floating point value");
            }
            return Value::of_number(*d);
        }
        case FieldType::kBoolean: {
            auto b = loose_bool(text);
            if (!b) {
                if (trim(text).empty()) return Value::null();
                conversion_error(field, text, "boolean value");
            }
            return Value::of_number(*b ? 1 : 0);
        }
    }
    return Value::null();
}

std::string text_from_value(const FieldDef& field, const Value& value) {
    if (value.kind == Value::Kind::kNull) return {};
    if (value.kind == Value::Kind::kText) return value.text;
    switch (field.type) {
        case FieldType::kDate:
            return format_short_date(value.number);
        case FieldType::kBoolean:
            return format_bool(value.number != 0);
        default:
            return format_number(value.number);
    }
}

Value convert_value(const FieldDef& from, const FieldDef& to, const Value& value) {
    if (value.is_null()) return value;
    bool from_text = value.kind == Value::Kind::kText;
    bool to_text = is_text_type(to.type);
    if (from_text == to_text && from.type == to.type) {
        if (to.type == FieldType::kString && to.size > 0)
            return Value::of_text(cut_to_chars(value.text, to.size));
        return value;
    }
    if (!from_text && !to_text) {
        if (to.type == FieldType::kBoolean) return Value::of_number(value.number != 0 ? 1 : 0);
        if (to.type == FieldType::kDate) return Value::of_number(std::trunc(value.number));
        return value;
    }
    return value_from_text(to, text_from_value(from, value));
}

int compare_values(const Value& a, const Value& b, bool nocase) {
    if (a.kind != b.kind) return static_cast<int>(a.kind) < static_cast<int>(b.kind) ? -1 : 1;
    switch (a.kind) {
        case Value::Kind::kNull:
            return 0;
        case Value::Kind::kNumber:
            return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
        case Value::Kind::kText: {
            std::size_t n = std::min(a.text.size(), b.text.size());
            int r = nocase ? sqlite3_strnicmp(a.text.data(), b.text.data(), static_cast<int>(n))
                           : std::memcmp(a.text.data(), b.text.data(), n);
            if (r != 0) return r < 0 ? -1 : 1;
            return a.text.size() < b.text.size() ? -1 : a.text.size() > b.text.size() ? 1 : 0;
        }
    }
    return 0;
}

void bind_value(sqlite3_stmt* stmt, int index, const Value& value) {
    switch (value.kind) {
        case Value::Kind::kNull:
            sqlite3_bind_null(stmt, index);
            break;
        case Value::Kind::kNumber:
            sqlite3_bind_double(stmt, index, value.number);
            break;
        case Value::Kind::kText:
            sqlite3_bind_text(stmt, index, value.text.data(), static_cast<int>(value.text.size()),
                              SQLITE_TRANSIENT);
            break;
    }
}

Value column_value(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_NULL:
            return Value::null();
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return Value::of_number(sqlite3_column_double(stmt, column));
        default: {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            int n = sqlite3_column_bytes(stmt, column);
            return Value::of_text(std::string(p ? p : "", static_cast<std::size_t>(n)));
        }
    }
}

}  // namespace pavo::tables
