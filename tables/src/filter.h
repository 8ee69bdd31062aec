// The record filter language: parsing filter texts and compiling them to SQLite conditions.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/src/values.h"
#include "tables/table.h"

namespace pavo::tables {

enum class CompareOp { kEq, kNe, kLt, kGt, kLe, kGe };

struct Operand {
    enum class Kind { kField, kText, kNumber };
    Kind kind = Kind::kText;
    std::string text;  // field name, text constant (quotes removed) or number as written
    int position = 0;  // 1-based position in the filter text
};

struct FilterNode {
    enum class Kind { kAnd, kOr, kNot, kCompare };
    Kind kind = Kind::kCompare;
    // kAnd/kOr: two or more, a whole chain of one operator (parenthesised chains of the same
    // operator are merged in); kNot: one.
    std::vector<std::unique_ptr<FilterNode>> operands;
    CompareOp op = CompareOp::kEq;
    Operand lhs, rhs;
};

// The deepest nesting of conditions a filter may have: SQLite's parser refuses much more.
constexpr int kMaxFilterNesting = 24;

// A parsed filter; an empty (or blank) text parses to no condition. Copies share the tree.
struct FilterExpr {
    std::shared_ptr<const FilterNode> root;
    int node_count = 0;
};

// Parses a filter text. Throws kInvalidInput "Filter expression error at position N: ..." naming
// the 1-based position and the token, for any text that is not a well-formed filter, and
// kInvalidInput "Filter is too complex: ..." naming the limit for a text whose conditions nest
// deeper than kMaxFilterNesting, so that SQLite accepts every filter this accepts. A level is a
// NOT, or a chain of one operator inside another condition; a chain longer than 16 terms takes
// one more level per sixteenfold length (1,000 terms take three).
FilterExpr parse_filter(std::string_view text);

// A condition over the data table's columns with its bound values. Chains are written
// in groups of at most 16 terms, so neither SQLite's parser stack nor its expression depth grows
// with a chain's length.
struct CompiledFilter {
    std::string sql;  // "1" for an empty filter
    std::vector<Value> binds;
};

// Compiles against the table's fields, naming their columns as the table file does: throws
// kNotFound for an unknown field and kConversion for a constant that does not convert to its
// field's type.
CompiledFilter compile_filter(const FilterExpr& expr, const std::vector<FieldDef>& fields,
                              bool case_insensitive,
                              ColumnNaming naming = ColumnNaming::kFieldNames);

// Index of a field by name (ASCII case-insensitive), -1 when there is none.
int find_field(const std::vector<FieldDef>& fields, std::string_view name);

}  // namespace pavo::tables
