// Conversions between field texts and stored values, and SQLite's ordering of stored values.
#include "tables/src/values.h"

#include <sqlite3.h>

#include <charconv>
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

// The short date form, as format_short_date writes it, without a formatted print: grids and
// reports read tens of thousands of dates.
std::string date_text(double date) {
    auto c = civil_from_date(date);
    if (!c) return {};
    char buf[16];
    char* p = std::to_chars(buf, buf + 4, c->month).ptr;
    *p++ = '/';
    p = std::to_chars(p, p + 4, c->day).ptr;
    *p++ = '/';
    for (int div = 1000; div > 0; div /= 10) *p++ = static_cast<char>('0' + c->year / div % 10);
    return std::string(buf, p);
}

}  // namespace

std::vector<std::string> split_fields(std::string_view list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string_view::npos) end = list.size();
        std::string f = trim(list.substr(start, end - start));
        if (!f.empty()) out.push_back(std::move(f));
        start = end + 1;
    }
    return out;
}

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

std::string text_from_value(const FieldDef& field, const ValueView& value) {
    if (value.kind == Value::Kind::kNull) return {};
    if (value.kind == Value::Kind::kText) return std::string(value.text);
    switch (field.type) {
        case FieldType::kDate:
            return date_text(value.number);
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

int compare_values(const ValueView& a, const ValueView& b, bool nocase) {
    if (a.kind != b.kind) return static_cast<int>(a.kind) < static_cast<int>(b.kind) ? -1 : 1;
    switch (a.kind) {
        case Value::Kind::kNull:
            return 0;
        case Value::Kind::kNumber:
            return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
        case Value::Kind::kText: {
            std::size_t n = std::min(a.text.size(), b.text.size());
            int r = n == 0   ? 0
                    : nocase ? sqlite3_strnicmp(a.text.data(), b.text.data(), static_cast<int>(n))
                             : std::memcmp(a.text.data(), b.text.data(), n);
            if (r != 0) return r < 0 ? -1 : 1;
            return a.text.size() < b.text.size() ? -1 : a.text.size() > b.text.size() ? 1 : 0;
        }
    }
    return 0;
}

namespace {

constexpr std::size_t kSlot = 8;

void put_slot(std::string& blob, int n, int i, const void* p) {
    std::memcpy(blob.data() + static_cast<std::size_t>(n) + static_cast<std::size_t>(i) * kSlot, p,
                kSlot);
}

void put_text_slot(std::string& blob, int n, int i, std::uint32_t offset, std::uint32_t size) {
    std::uint32_t s[2] = {offset, size};
    put_slot(blob, n, i, s);
}

}  // namespace

Row Row::pack(const std::vector<Value>& values) {
    Row r;
    r.n_ = static_cast<int>(values.size());
    std::size_t text = 0;
    for (const auto& v : values)
        if (v.kind == Value::Kind::kText) text += v.text.size();
    std::size_t head = values.size() * (1 + kSlot);
    r.blob_.resize(head + text);
    std::size_t at = head;
    for (int i = 0; i < r.n_; ++i) {
        const Value& v = values[static_cast<std::size_t>(i)];
        r.blob_[static_cast<std::size_t>(i)] = static_cast<char>(v.kind);
        if (v.kind == Value::Kind::kNumber) {
            put_slot(r.blob_, r.n_, i, &v.number);
        } else if (v.kind == Value::Kind::kText) {
            std::memcpy(r.blob_.data() + at, v.text.data(), v.text.size());
            put_text_slot(r.blob_, r.n_, i, static_cast<std::uint32_t>(at),
                          static_cast<std::uint32_t>(v.text.size()));
            at += v.text.size();
        }
    }
    return r;
}

Row Row::from_statement(sqlite3_stmt* stmt, int first, int n) {
    Row r;
    r.n_ = n;
    std::size_t text = 0;
    int small[64];
    std::vector<int> large;
    int* types = small;
    if (n > 64) {
        large.resize(static_cast<std::size_t>(n));
        types = large.data();
    }
    for (int i = 0; i < n; ++i) {
        int t = types[i] = sqlite3_column_type(stmt, first + i);
        if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
            sqlite3_column_text(stmt, first + i);
            text += static_cast<std::size_t>(sqlite3_column_bytes(stmt, first + i));
        }
    }
    std::size_t head = static_cast<std::size_t>(n) * (1 + kSlot);
    r.blob_.resize(head + text);
    std::size_t at = head;
    for (int i = 0; i < n; ++i) {
        int c = first + i;
        switch (types[i]) {
            case SQLITE_NULL:
                r.blob_[static_cast<std::size_t>(i)] = static_cast<char>(Value::Kind::kNull);
                break;
            case SQLITE_INTEGER:
            case SQLITE_FLOAT: {
                r.blob_[static_cast<std::size_t>(i)] = static_cast<char>(Value::Kind::kNumber);
                double d = sqlite3_column_double(stmt, c);
                put_slot(r.blob_, n, i, &d);
                break;
            }
            default: {
                r.blob_[static_cast<std::size_t>(i)] = static_cast<char>(Value::Kind::kText);
                const unsigned char* p = sqlite3_column_text(stmt, c);
                std::size_t len = static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
                if (at + len > r.blob_.size()) len = r.blob_.size() - at;  // never past the block
                if (len) std::memcpy(r.blob_.data() + at, p, len);
                put_text_slot(r.blob_, n, i, static_cast<std::uint32_t>(at),
                              static_cast<std::uint32_t>(len));
                at += len;
            }
        }
    }
    return r;
}

Row Row::gone_row(int n) {
    Row r = pack(std::vector<Value>(static_cast<std::size_t>(n)));
    r.gone_ = true;
    return r;
}

ValueView Row::get(int i) const {
    ValueView v;
    if (i < 0 || i >= n_) return v;
    v.kind = static_cast<Value::Kind>(blob_[static_cast<std::size_t>(i)]);
    const char* slot =
        blob_.data() + static_cast<std::size_t>(n_) + static_cast<std::size_t>(i) * kSlot;
    if (v.kind == Value::Kind::kNumber) {
        std::memcpy(&v.number, slot, kSlot);
    } else if (v.kind == Value::Kind::kText) {
        std::uint32_t s[2];
        std::memcpy(s, slot, kSlot);
        v.text = std::string_view(blob_.data() + s[0], s[1]);
    }
    return v;
}

std::vector<Value> Row::unpack() const {
    std::vector<Value> out;
    out.reserve(static_cast<std::size_t>(n_));
    for (int i = 0; i < n_; ++i) out.push_back(get(i).to_value());
    return out;
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
