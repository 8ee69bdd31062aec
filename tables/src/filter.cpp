// Parser of the record filter language and its translation to SQLite conditions.
//
// Grammar (keywords in any case):
//   expr    := term { OR term }
//   term    := factor { AND factor }
//   factor  := NOT factor | '(' expr ')' | operand op operand
//   operand := name | [name] | "name" | 'text' | number
// A comparison's operands are compared by the type of the field on either side; an empty field
// equals '' and, for texts, compares as ''.
#include "tables/src/filter.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"
#include "utility/text_conv.h"

namespace pavo::tables {

namespace {

// Deep nesting would exhaust the stack here; many terms would make statements of unbounded size.
constexpr int kMaxDepth = 100;
constexpr int kMaxNodes = 4000;

// A chain is written in groups of at most this many terms joined flat, and groups of groups when
// there are more. SQLite's parser handles a flat chain without growing its stack, but nests its
// expression tree one level per term and refuses 1,000 levels.
constexpr std::size_t kChainGroup = 16;

// Combines the pieces of a chain, in order, level by level; join(pieces, lo, hi) makes one group.
template <class Piece, class Join>
Piece group_chain(std::vector<Piece> pieces, Join join) {
    for (;;) {
        std::vector<Piece> next;
        for (std::size_t i = 0; i < pieces.size(); i += kChainGroup)
            next.push_back(join(pieces, i, std::min(pieces.size(), i + kChainGroup)));
        if (next.size() == 1) return std::move(next[0]);
        pieces = std::move(next);
    }
}

struct Nesting {
    int depth = 0;
    int position = 0;  // of the deepest comparison
};

// How deep the compiled condition of n nests, counted as the compiler writes it.
Nesting nesting(const FilterNode& n) {
    switch (n.kind) {
        case FilterNode::Kind::kCompare:
            return {0, n.lhs.position};
        case FilterNode::Kind::kNot: {
            Nesting inner = nesting(*n.operands[0]);
            return {inner.depth + 1, inner.position};
        }
        case FilterNode::Kind::kAnd:
        case FilterNode::Kind::kOr:
            break;
    }
    std::vector<Nesting> pieces;
    for (const auto& o : n.operands) pieces.push_back(nesting(*o));
    return group_chain(std::move(pieces),
                       [](const std::vector<Nesting>& p, std::size_t lo, std::size_t hi) {
                           Nesting deepest = p[lo];
                           for (std::size_t i = lo + 1; i < hi; ++i)
                               if (p[i].depth > deepest.depth) deepest = p[i];
                           return Nesting{deepest.depth + 1, deepest.position};
                       });
}

enum class Tok { kEnd, kName, kText, kNumber, kOp, kAnd, kOr, kNot, kLParen, kRParen };

struct Token {
    Tok kind = Tok::kEnd;
    std::string text;  // value (names and texts unquoted), or the operator
    std::string raw;   // as written, for messages
    int position = 0;  // 1-based
};

bool is_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

[[noreturn]] void fail(int position, const std::string& what) {
    throw Error(ErrorKind::kInvalidInput,
                "Filter expression error at position " + std::to_string(position) + ": " + what);
}

std::string shown(const Token& t) {
    if (t.kind == Tok::kEnd) return "end of expression";
    std::string raw = t.raw.size() > 40 ? t.raw.substr(0, 40) + "..." : t.raw;
    return "'" + raw + "'";
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : s_(text) {}

    Token next() {
        while (i_ < s_.size() && static_cast<unsigned char>(s_[i_]) <= ' ') ++i_;
        Token t;
        t.position = static_cast<int>(i_) + 1;
        if (i_ >= s_.size()) return t;
        char c = s_[i_];
        std::size_t start = i_;
        if (c == '\'') {
            std::string v;
            ++i_;
            for (;;) {
                if (i_ >= s_.size()) fail(t.position, "text constant not closed");
                if (s_[i_] == '\'') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
                        v += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                v += s_[i_++];
            }
            t.kind = Tok::kText;
            t.text = std::move(v);
        } else if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            std::size_t end = s_.find(close, i_ + 1);
            if (end == std::string_view::npos) fail(t.position, "field name not closed");
            t.kind = Tok::kName;
            t.text = std::string(s_.substr(i_ + 1, end - i_ - 1));
            i_ = end + 1;
            if (trim(t.text).empty()) fail(t.position, "empty field name");
        } else if ((c >= '0' && c <= '9') || c == '.' ||
                   ((c == '-' || c == '+') && i_ + 1 < s_.size() &&
                    ((s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9') || s_[i_ + 1] == '.'))) {
            ++i_;
            while (i_ < s_.size() &&
                   (is_name_char(s_[i_]) || s_[i_] == '.' ||
                    ((s_[i_] == '-' || s_[i_] == '+') && (s_[i_ - 1] == 'e' || s_[i_ - 1] == 'E'))))
                ++i_;
            t.kind = Tok::kNumber;
            t.text = std::string(s_.substr(start, i_ - start));
            auto n = parse_number(t.text);
            if (!n || !std::isfinite(*n)) {
                t.raw = t.text;
                fail(t.position, "not a number: " + shown(t));
            }
        } else if (is_name_char(c)) {
            while (i_ < s_.size() && is_name_char(s_[i_])) ++i_;
            t.text = std::string(s_.substr(start, i_ - start));
            std::string up = to_upper(t.text);
            t.kind = up == "AND"   ? Tok::kAnd
                     : up == "OR"  ? Tok::kOr
                     : up == "NOT" ? Tok::kNot
                                   : Tok::kName;
        } else if (c == '(' || c == ')') {
            ++i_;
            t.kind = c == '(' ? Tok::kLParen : Tok::kRParen;
            t.text = std::string(1, c);
        } else if (c == '=' || c == '<' || c == '>') {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '=' || (c == '<' && s_[i_] == '>'))) ++i_;
            t.kind = Tok::kOp;
            t.text = std::string(s_.substr(start, i_ - start));
        } else {
            // One whole UTF-8 character, so the message shows what the user typed.
            ++i_;
            while (i_ < s_.size() && (static_cast<unsigned char>(s_[i_]) & 0xC0) == 0x80) ++i_;
            t.kind = Tok::kOp;
            t.raw = std::string(s_.substr(start, i_ - start));
            fail(t.position, "unexpected character " + shown(t));
        }
        t.raw = std::string(s_.substr(start, i_ - start));
        return t;
    }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
};

class Parser {
  public:
    explicit Parser(std::string_view text) : lex_(text) { advance(); }

    FilterExpr parse() {
        FilterExpr e;
        if (cur_.kind == Tok::kEnd) return e;
        e.root = expr(0);
        if (cur_.kind != Tok::kEnd) fail(cur_.position, "unexpected " + shown(cur_));
        Nesting n = nesting(*e.root);
        if (n.depth > kMaxFilterNesting)
            throw Error(ErrorKind::kInvalidInput,
                        "Filter is too complex: conditions may nest at most " +
                            std::to_string(kMaxFilterNesting) + " levels deep (position " +
                            std::to_string(n.position) + ")");
        e.node_count = nodes_;
        return e;
    }

  private:
    void advance() { cur_ = lex_.next(); }

    std::unique_ptr<FilterNode> node(FilterNode::Kind kind, int position) {
        if (++nodes_ > kMaxNodes) fail(position, "expression too long");
        auto n = std::make_unique<FilterNode>();
        n->kind = kind;
        return n;
    }

    // One node for a whole chain of kind; a parenthesised chain of the same kind joins it, as
    // both operators are associative.
    std::unique_ptr<FilterNode> chain(FilterNode::Kind kind, Tok separator, int depth,
                                      std::unique_ptr<FilterNode> (Parser::*part)(int)) {
        auto first = (this->*part)(depth);
        if (cur_.kind != separator) return first;
        auto n = node(kind, cur_.position);
        auto add = [&](std::unique_ptr<FilterNode> p) {
            if (p->kind == kind) {
                for (auto& o : p->operands) n->operands.push_back(std::move(o));
            } else {
                n->operands.push_back(std::move(p));
            }
        };
        add(std::move(first));
        while (cur_.kind == separator) {
            advance();
            add((this->*part)(depth));
        }
        return n;
    }

    std::unique_ptr<FilterNode> expr(int depth) {
        return chain(FilterNode::Kind::kOr, Tok::kOr, depth, &Parser::term);
    }

    std::unique_ptr<FilterNode> term(int depth) {
        return chain(FilterNode::Kind::kAnd, Tok::kAnd, depth, &Parser::factor);
    }

    std::unique_ptr<FilterNode> factor(int depth) {
        if (depth > kMaxDepth) fail(cur_.position, "expression nested too deeply");
        if (cur_.kind == Tok::kNot) {
            int pos = cur_.position;
            advance();
            auto n = node(FilterNode::Kind::kNot, pos);
            n->operands.push_back(factor(depth + 1));
            return n;
        }
        if (cur_.kind == Tok::kLParen) {
            advance();
            auto inner = expr(depth + 1);
            if (cur_.kind != Tok::kRParen)
                fail(cur_.position, "expected ')' but found " + shown(cur_));
            advance();
            return inner;
        }
        auto n = node(FilterNode::Kind::kCompare, cur_.position);
        n->lhs = operand();
        if (cur_.kind != Tok::kOp)
            fail(cur_.position, "expected a comparison operator but found " + shown(cur_));
        const std::string& op = cur_.text;
        n->op = op == "="    ? CompareOp::kEq
                : op == "<>" ? CompareOp::kNe
                : op == "<"  ? CompareOp::kLt
                : op == ">"  ? CompareOp::kGt
                : op == "<=" ? CompareOp::kLe
                             : CompareOp::kGe;
        if (op == "==") fail(cur_.position, "unexpected " + shown(cur_));
        advance();
        n->rhs = operand();
        return n;
    }

    Operand operand() {
        Operand o;
        o.position = cur_.position;
        o.text = cur_.text;
        switch (cur_.kind) {
            case Tok::kName:
                o.kind = Operand::Kind::kField;
                break;
            case Tok::kText:
                o.kind = Operand::Kind::kText;
                break;
            case Tok::kNumber:
                o.kind = Operand::Kind::kNumber;
                break;
            default:
                fail(cur_.position, "expected a field name or a constant but found " + shown(cur_));
        }
        advance();
        return o;
    }

    Lexer lex_;
    Token cur_;
    int nodes_ = 0;
};

const char* sql_op(CompareOp op) {
    switch (op) {
        case CompareOp::kEq:
            return "=";
        case CompareOp::kNe:
            return "<>";
        case CompareOp::kLt:
            return "<";
        case CompareOp::kGt:
            return ">";
        case CompareOp::kLe:
            return "<=";
        case CompareOp::kGe:
            return ">=";
    }
    return "=";
}

CompareOp flipped(CompareOp op) {
    switch (op) {
        case CompareOp::kLt:
            return CompareOp::kGt;
        case CompareOp::kGt:
            return CompareOp::kLt;
        case CompareOp::kLe:
            return CompareOp::kGe;
        case CompareOp::kGe:
            return CompareOp::kLe;
        default:
            return op;
    }
}

bool holds(CompareOp op, int c) {
    switch (op) {
        case CompareOp::kEq:
            return c == 0;
        case CompareOp::kNe:
            return c != 0;
        case CompareOp::kLt:
            return c < 0;
        case CompareOp::kGt:
            return c > 0;
        case CompareOp::kLe:
            return c <= 0;
        case CompareOp::kGe:
            return c >= 0;
    }
    return false;
}

class Compiler {
  public:
    Compiler(const std::vector<FieldDef>& fields, bool nocase, ColumnNaming naming)
        : fields_(fields), nocase_(nocase), naming_(naming) {}

    CompiledFilter run(const FilterExpr& e) {
        CompiledFilter out;
        if (!e.root) {
            out.sql = "1";
            return out;
        }
        node(*e.root);
        out.sql = std::move(sql_);
        out.binds = std::move(binds_);
        return out;
    }

  private:
    void node(const FilterNode& n) {
        switch (n.kind) {
            case FilterNode::Kind::kAnd:
            case FilterNode::Kind::kOr:
                chain(n);
                break;
            case FilterNode::Kind::kNot:
                sql_ += "(NOT ";
                ++negations_;
                node(*n.operands[0]);
                --negations_;
                sql_ += ')';
                break;
            case FilterNode::Kind::kCompare:
                compare(n);
                break;
        }
    }

    // Each operand is compiled on its own, then the texts are grouped; binds stay in text order.
    void chain(const FilterNode& n) {
        std::string outer = std::move(sql_);
        std::vector<std::string> pieces;
        pieces.reserve(n.operands.size());
        for (const auto& o : n.operands) {
            sql_.clear();
            node(*o);
            pieces.push_back(std::move(sql_));
        }
        const char* op = n.kind == FilterNode::Kind::kAnd ? " AND " : " OR ";
        sql_ = std::move(outer);
        sql_ += group_chain(std::move(pieces), [op](const std::vector<std::string>& p,
                                                    std::size_t lo, std::size_t hi) {
            std::string group = "(";
            for (std::size_t i = lo; i < hi; ++i) {
                if (i > lo) group += op;
                group += p[i];
            }
            return group + ")";
        });
    }

    // A bare name that is no field may be a truth constant (ACTIVE = TRUE).
    int field_of(Operand& o) {
        if (o.kind != Operand::Kind::kField) return -1;
        int i = find_field(fields_, o.text);
        if (i >= 0) return i;
        std::string up = to_upper(o.text);
        if (up == "TRUE" || up == "FALSE") {
            o.kind = Operand::Kind::kText;
            return -1;
        }
        throw Error(ErrorKind::kNotFound, "Filter expression error at position " +
                                              std::to_string(o.position) + ": field '" + o.text +
                                              "' not found");
    }

    std::string col(int i) { return column_name(fields_, i, naming_); }
    std::string collate(bool text) {
        return text && nocase_ ? " COLLATE NOCASE" : " COLLATE BINARY";
    }

    void compare(const FilterNode& n) {
        Operand a = n.lhs, b = n.rhs;
        CompareOp op = n.op;
        int fa = field_of(a), fb = field_of(b);
        if (fa < 0 && fb >= 0) {
            std::swap(a, b);
            std::swap(fa, fb);
            op = flipped(op);
        }
        if (fa < 0) {
            constants(a, b, op);
        } else if (fb >= 0) {
            two_fields(fa, fb, op);
        } else {
            field_constant(fa, b, op);
        }
    }

    void constants(const Operand& a, const Operand& b, CompareOp op) {
        int c;
        if (a.kind == Operand::Kind::kNumber && b.kind == Operand::Kind::kNumber) {
            double x = *parse_number(a.text), y = *parse_number(b.text);
            c = x < y ? -1 : x > y ? 1 : 0;
        } else {
            c = compare_values(Value::of_text(a.text), Value::of_text(b.text), nocase_);
        }
        sql_ += holds(op, c) ? "1" : "0";
    }

    void two_fields(int fa, int fb, CompareOp op) {
        bool text = is_text_type(fields_[fa].type) && is_text_type(fields_[fb].type);
        if (text) {
            sql_ += "(ifnull(" + col(fa) + ",'') " + sql_op(op) + " ifnull(" + col(fb) + ",'')" +
                    collate(true) + ")";
        } else {
            sql_ += "ifnull((" + col(fa) + " " + sql_op(op) + " " + col(fb) + "),0)";
        }
    }

    void field_constant(int f, const Operand& k, CompareOp op) {
        const FieldDef& def = fields_[f];
        std::string c = col(f);
        bool blank = k.kind == Operand::Kind::kText && k.text.empty();
        if (is_text_type(def.type)) {
            std::string text = k.text;
            if ((op == CompareOp::kEq || op == CompareOp::kNe) && !text.empty() &&
                text.back() == '*') {
                text.pop_back();
                // The prefix is compared on characters so that a multi-byte letter is never split.
                std::size_t chars = 0;
                for (char ch : text) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
                sql_ += std::string(op == CompareOp::kNe ? "(NOT " : "(") + "substr(ifnull(" + c +
                        ",''),1," + std::to_string(chars) + ") = ?" + collate(true) + ")";
                binds_.push_back(Value::of_text(text));
                return;
            }
            if (blank && op == CompareOp::kEq) {
                sql_ += "(" + c + " IS NULL OR " + c + " = '')";
                return;
            }
            if (blank && op == CompareOp::kNe) {
                sql_ += "(" + c + " IS NOT NULL AND " + c + " <> '')";
                return;
            }
            // Outside any NOT an unknown (null) result excludes a row as false does, so a plain
            // comparison, which SQLite can answer from an index, means the same.
            if (op == CompareOp::kEq && negations_ == 0)
                sql_ += "(" + c + " = ?" + collate(true) + ")";
            else
                sql_ += "(ifnull(" + c + ",'') " + sql_op(op) + " ?" + collate(true) + ")";
            binds_.push_back(Value::of_text(text));
            return;
        }
        if (blank) {
            sql_ += op == CompareOp::kEq   ? "(" + c + " IS NULL)"
                    : op == CompareOp::kNe ? "(" + c + " IS NOT NULL)"
                                           : std::string("0");
            return;
        }
        Value v;
        if (k.kind == Operand::Kind::kNumber && def.type != FieldType::kBoolean) {
            v = Value::of_number(*parse_number(k.text));
        } else {
            try {
                v = value_from_text(def, k.text);
            } catch (const Error& e) {
                throw Error(ErrorKind::kConversion, "Filter expression error at position " +
                                                        std::to_string(k.position) + ": " +
                                                        e.what());
            }
        }
        if (op == CompareOp::kNe) {
            sql_ += "(" + c + " IS NULL OR " + c + " <> ?)";
        } else if (negations_ == 0) {
            sql_ += "(" + c + " " + sql_op(op) + " ?)";
        } else {
            sql_ += "ifnull((" + c + " " + sql_op(op) + " ?),0)";
        }
        binds_.push_back(std::move(v));
    }

    const std::vector<FieldDef>& fields_;
    bool nocase_;
    ColumnNaming naming_;
    std::string sql_;
    std::vector<Value> binds_;
    int negations_ = 0;  // NOTs around the comparison being compiled
};

}  // namespace

int find_field(const std::vector<FieldDef>& fields, std::string_view name) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i].name;
        if (f.size() != name.size()) continue;
        bool same = true;
        for (std::size_t j = 0; j < f.size() && same; ++j) {
            char x = f[j], y = name[j];
            if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
            if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
            same = x == y;
        }
        if (same) return static_cast<int>(i);
    }
    return -1;
}

std::string quote_filter_text(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

FilterExpr parse_filter(std::string_view text) {
    return Parser(text).parse();
}

CompiledFilter compile_filter(const FilterExpr& expr, const std::vector<FieldDef>& fields,
                              bool case_insensitive, ColumnNaming naming) {
    return Compiler(fields, case_insensitive, naming).run(expr);
}

}  // namespace pavo::tables
