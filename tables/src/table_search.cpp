// Table: bookmarks and searches (nearest and exact keys, first row under a filter, locate).
#include <algorithm>
#include <unordered_set>

#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

Bookmark Table::bookmark() const {
    impl_->ensure_view();
    return Bookmark{impl_->current_rid()};
}

bool Table::bookmark_valid(const Bookmark& mark) const {
    impl_->ensure_view();
    const auto& r = impl_->rids;
    return mark.valid() && std::find(r.begin(), r.end(), mark.row) != r.end();
}

void Table::goto_bookmark(const Bookmark& mark) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    auto it = std::find(t.rids.begin(), t.rids.end(), mark.row);
    if (!mark.valid() || it == t.rids.end()) throw Error(ErrorKind::kNotFound, "Record not found");
    t.pos = static_cast<int>(it - t.rids.begin());
    t.bof = t.eof = false;
    t.notify(EventKind::kScrolled);
}

void Table::find_nearest(const std::vector<std::string>& values) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    auto key = t.key_values(values);
    if (t.rids.empty()) return;
    int p = t.lower_bound_key(key);
    t.pos = std::min(p, t.count() - 1);
    t.bof = t.eof = false;
    t.notify(EventKind::kScrolled);
}

bool Table::find_key(const std::vector<std::string>& values) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    auto key = t.key_values(values);
    int p = t.lower_bound_key(key);
    if (p >= t.count()) return false;
    const Row& r = t.row_at(p, false);
    for (std::size_t i = 0; i < key.size(); ++i)
        if (compare_values(r.get(t.order_cols[i]), view_of(key[i]), t.order_nocase[i]) != 0)
            return false;
    t.pos = p;
    t.bof = t.eof = false;
    t.notify(EventKind::kScrolled);
    return true;
}

namespace {
// Moves to the first row of the view among rows (a set of rids); false when none is in view.
bool move_to_first_of(TableImpl& t, const std::unordered_set<std::int64_t>& rows) {
    for (int i = 0; i < t.count(); ++i)
        if (rows.count(t.rids[i])) {
            t.pos = i;
            t.bof = t.eof = false;
            t.notify(EventKind::kScrolled);
            return true;
        }
    return false;
}
}  // namespace

bool Table::find_first() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    if (!t.filter_expr.root || t.filter_applied) {
        first();
        return !t.rids.empty();
    }
    CompiledFilter f = compile_filter(t.filter_expr, t.fields(), t.filter_nocase);
    Stmt& s = t.conn->stmt("SELECT rid FROM data WHERE " + f.sql);
    StmtUse use(s);
    for (std::size_t i = 0; i < f.binds.size(); ++i)
        bind_value(*use, static_cast<int>(i) + 1, f.binds[i]);
    std::unordered_set<std::int64_t> rows;
    int rc;
    while ((rc = sqlite3_step(*use)) == SQLITE_ROW) rows.insert(sqlite3_column_int64(*use, 0));
    if (rc != SQLITE_DONE) t.conn->fail("searching");
    return move_to_first_of(t, rows);
}

bool Table::locate(const std::string& fields, const std::vector<std::string>& values,
                   LocateOptions options) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    auto cols = t.field_list(fields);
    if (cols.size() != values.size() || cols.empty())
        throw Error(ErrorKind::kInvalidInput, "Locate needs one value per field");
    std::string sql = "SELECT rid FROM data WHERE 1";
    std::vector<Value> binds;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const FieldDef& f = t.fields()[cols[i]];
        std::string c = column_name(cols[i]);
        Value v = value_from_text(f, values[i]);
        bool text = is_text_type(f.type);
        std::string coll = text && options.case_insensitive ? " COLLATE NOCASE" : " COLLATE BINARY";
        if (v.is_null()) {
            sql += " AND " + c + " IS NULL";
        } else if (text && options.partial_key) {
            std::size_t chars = 0;
            for (char ch : v.text) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
            sql += " AND substr(" + c + ",1," + std::to_string(chars) + ") = ?" + coll;
            binds.push_back(std::move(v));
        } else {
            sql += " AND " + c + " = ?" + coll;
            binds.push_back(std::move(v));
        }
    }
    Stmt& s = t.conn->stmt(sql);
    StmtUse use(s);
    for (std::size_t i = 0; i < binds.size(); ++i)
        bind_value(*use, static_cast<int>(i) + 1, binds[i]);
    std::unordered_set<std::int64_t> rows;
    int rc;
    while ((rc = sqlite3_step(*use)) == SQLITE_ROW) rows.insert(sqlite3_column_int64(*use, 0));
    if (rc != SQLITE_DONE) t.conn->fail("searching");
    return move_to_first_of(t, rows);
}

}  // namespace pavo::tables
