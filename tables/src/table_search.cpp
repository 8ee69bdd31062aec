// Table: bookmarks and searches (nearest and exact keys, first row under a filter, locate, has_row)
// and trying a filter.
#include <algorithm>
#include <unordered_set>

#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

Bookmark Table::bookmark() const {
    impl_->ensure_view();
    return Bookmark{impl_->current_rid()};
}

int TableImpl::first_in_view(const std::vector<std::int64_t>& rows) {
    if (rows.empty() || rids.empty()) return -1;
    // Rows are unique in a view, so a map of another size is out of date whatever its version.
    bool map_current = rid_pos_version == view_version && rid_pos.size() == rids.size();
    if (!map_current && scanned_version != view_version) {
        // One search after a change scans the view, which costs less than building the map; a
        // run of posts with one search after each stays as cheap as it was.
        scanned_version = view_version;
        if (rows.size() == 1) {
            auto it = std::find(rids.begin(), rids.end(), rows[0]);
            return it == rids.end() ? -1 : static_cast<int>(it - rids.begin());
        }
        std::unordered_set<std::int64_t> wanted(rows.begin(), rows.end());
        for (int i = 0; i < count(); ++i)
            if (wanted.count(rids[i])) return i;
        return -1;
    }
    if (!map_current) {
        rid_pos.clear();
        rid_pos.reserve(rids.size());
        for (int i = 0; i < count(); ++i) rid_pos.emplace(rids[i], i);
        rid_pos_version = view_version;
    }
    int best = -1;
    for (std::int64_t rid : rows) {
        auto it = rid_pos.find(rid);
        if (it != rid_pos.end() && (best < 0 || it->second < best)) best = it->second;
    }
    return best;
}

bool Table::bookmark_valid(const Bookmark& mark) const {
    impl_->ensure_view();
    if (impl_->state == DatasetState::kInactive || !mark.valid()) return false;
    return impl_->first_in_view({mark.row}) >= 0;
}

void Table::goto_bookmark(const Bookmark& mark) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    int p = mark.valid() ? t.first_in_view({mark.row}) : -1;
    if (p < 0) throw Error(ErrorKind::kNotFound, "Record not found");
    t.pos = p;
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

// Makes view position p current; false when p is -1 (no row in view).
bool move_to(TableImpl& t, int p) {
    if (p < 0) return false;
    t.pos = p;
    t.bof = t.eof = false;
    t.notify(EventKind::kScrolled);
    return true;
}

// Every row number a statement yields in its first column.
std::vector<std::int64_t> row_numbers(Connection& conn, sqlite3_stmt* st) {
    std::vector<std::int64_t> rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(st, 0));
    if (rc != SQLITE_DONE) conn.fail("searching");
    return rows;
}

std::string ascii_lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// The least text above every text that begins with prefix, in byte order; "" when none is.
std::string prefix_end(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
    if (!prefix.empty())
        prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return prefix;
}

// The fields of a search and the index that can answer it: one whose leading fields are those
// fields in any order, in the search's collation, or case-insensitive (its matches take in every
// case-sensitive match). A case-sensitive index cannot answer a case-insensitive search.
const TableImpl::SearchPlan& plan_search(TableImpl& t, const std::string& fields, bool nocase) {
    TableImpl::SearchPlan& plan = t.search_plan;
    if (!plan.conn.owner_before(t.conn) && !t.conn.owner_before(plan.conn) &&
        !plan.conn.expired() && plan.fields == fields && plan.nocase == nocase)
        return plan;
    plan = {};
    plan.cols = t.field_list(fields);
    for (const auto& d : t.indexes()) {
        auto index_cols = t.field_list(d.fields);
        if (index_cols.size() < plan.cols.size() ||
            !std::is_permutation(plan.cols.begin(), plan.cols.end(), index_cols.begin()))
            continue;
        bool index_nocase = d.case_insensitive && !d.primary;
        if (nocase && !index_nocase) continue;
        if (!plan.indexed || index_nocase == nocase) {
            plan.indexed = true;
            plan.index_nocase = index_nocase;
        }
    }
    plan.conn = t.conn;
    plan.fields = fields;
    plan.nocase = nocase;
    return plan;
}

// Conditions selecting the rows whose fields equal values as locate compares them, with their
// values bound by number (?1, ?2, ...) so that the text is the same for every search alike.
struct RowMatch {
    std::string where;
    std::vector<Value> binds;
};

RowMatch match_rows(TableImpl& t, const std::string& fields, const std::vector<std::string>& values,
                    LocateOptions options) {
    const TableImpl::SearchPlan& plan = plan_search(t, fields, options.case_insensitive);
    if (plan.cols.size() != values.size() || plan.cols.empty())
        throw Error(ErrorKind::kInvalidInput, "Locate needs one value per field");
    RowMatch m;
    auto param = [&m](Value v) {
        m.binds.push_back(std::move(v));
        return "?" + std::to_string(m.binds.size());
    };
    const char* index_coll = plan.index_nocase ? " COLLATE NOCASE" : " COLLATE BINARY";
    for (std::size_t i = 0; i < plan.cols.size(); ++i) {
        const FieldDef& f = t.fields()[static_cast<std::size_t>(plan.cols[i])];
        std::string c = t.column(plan.cols[i]);
        Value v = value_from_text(f, values[i]);
        if (!m.where.empty()) m.where += " AND ";
        if (v.is_null()) {
            m.where += c + " IS NULL";
            continue;
        }
        if (!is_text_type(f.type)) {
            // Numbers compare alike in every collation; the index's lets SQLite seek it.
            m.where += c + " = " + param(std::move(v)) + index_coll;
            continue;
        }
        const char* coll = options.case_insensitive ? " COLLATE NOCASE" : " COLLATE BINARY";
        // The index's collation differs from the search's only for a case-sensitive search on a
        // case-insensitive index: a condition in the index's collation lets SQLite seek it, and
        // the search's own condition keeps the exact rows.
        bool seek_differs = plan.indexed && plan.index_nocase != options.case_insensitive;
        std::string prefix = v.text;
        std::string p = param(std::move(v));
        if (!options.partial_key) {
            m.where += c + " = " + p + coll;
            if (seek_differs) m.where += " AND " + c + " = " + p + index_coll;
            continue;
        }
        m.where += "substr(" + c + ",1,length(" + p + ")) = " + p + coll;
        if (plan.indexed) {
            m.where += " AND " + c + " >= " + p + index_coll;
            std::string end = prefix_end(plan.index_nocase ? ascii_lower(prefix) : prefix);
            if (!end.empty())
                m.where += " AND " + c + " < " + param(Value::of_text(end)) + index_coll;
        }
    }
    return m;
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
    CompiledFilter f = compile_filter(t.filter_expr, t.fields(), t.filter_nocase, t.naming());
    Stmt& s = t.conn->stmt("SELECT rid FROM data WHERE " + f.sql);
    StmtUse use(s);
    for (std::size_t i = 0; i < f.binds.size(); ++i)
        bind_value(*use, static_cast<int>(i) + 1, f.binds[i]);
    return move_to(t, t.first_in_view(row_numbers(*t.conn, *use)));
}

bool Table::locate(const std::string& fields, const std::vector<std::string>& values,
                   LocateOptions options) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    RowMatch m = match_rows(t, fields, values, options);
    // Rows of the file, not of the view: another Table's posts since this view was read are
    // looked at as they are now, and rows not in view are passed over.
    Stmt& s = t.conn->stmt("SELECT rid FROM data WHERE " + m.where);
    StmtUse use(s);
    for (std::size_t i = 0; i < m.binds.size(); ++i)
        bind_value(*use, static_cast<int>(i) + 1, m.binds[i]);
    return move_to(t, t.first_in_view(row_numbers(*t.conn, *use)));
}

bool Table::has_row(const std::string& fields, const std::vector<std::string>& values,
                    LocateOptions options) const {
    TableImpl& t = *impl_;
    if (t.state == DatasetState::kInactive) not_open();
    RowMatch m = match_rows(t, fields, values, options);
    std::string sql = "SELECT 1 FROM data WHERE " + m.where;
    // The filter's own parameters are plain, numbered on from the search's.
    if (t.filter_applied) sql += " AND (" + t.cfilter.sql + ")";
    Stmt& s = t.conn->stmt(sql + " LIMIT 1");
    StmtUse use(s);
    for (std::size_t i = 0; i < m.binds.size(); ++i)
        bind_value(*use, static_cast<int>(i) + 1, m.binds[i]);
    if (t.filter_applied) t.bind_filter(*use, static_cast<int>(m.binds.size()) + 1);
    int rc = sqlite3_step(*use);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) t.conn->fail("searching");
    return rc == SQLITE_ROW;
}

void Table::check_filter(const std::string& text) const {
    const TableImpl& t = *impl_;
    FilterExpr expr = parse_filter(text);
    if (!expr.root) return;
    if (t.state != DatasetState::kInactive) {
        compile_filter(expr, t.fields(), t.filter_nocase);
        return;
    }
    // Closed: the fields are the file's, read through a shared connection held for the check.
    std::shared_ptr<Connection> conn = Connection::acquire(t.resolve_file(), false);
    compile_filter(expr, conn->schema().fields, t.filter_nocase);
}

}  // namespace pavo::tables
