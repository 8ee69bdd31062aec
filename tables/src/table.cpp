// Table: the dataset over one table file (order, filter, cursor, row cache, edit buffer).
#include "tables/table.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "tables/src/connection.h"
#include "tables/src/filter.h"
#include "tables/src/values.h"
#include "utility/text_conv.h"

namespace pavo::tables {

namespace {

// Rows fetched per query while walking, and the most rows kept in memory per Table.
constexpr int kBlock = 128;
constexpr std::size_t kCacheLimit = 131072;
// A view walked block after block is read whole in one pass in table order, which costs less than
// seeking each row; only views this small are read so.
constexpr int kWholeViewLimit = 120000;

std::vector<std::string> split_fields(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string f = trim(list.substr(start, end - start));
        if (!f.empty()) out.push_back(f);
        start = end + 1;
    }
    return out;
}

bool same_name(const std::string& a, const std::string& b) {
    return to_upper(a) == to_upper(b);
}

[[noreturn]] void not_open() {
    throw Error(ErrorKind::kInvalidInput, "Cannot perform this operation on a closed dataset");
}

}  // namespace

struct TableImpl {
    // Configuration.
    std::string database, table, index_name, index_fields, filter_text;
    bool filtered = false, filter_nocase = false, exclusive = false;
    FilterExpr filter_expr;
    std::vector<FieldDef> def_fields;
    std::vector<IndexDef> def_indexes;

    // Open state.
    std::shared_ptr<Connection> conn;
    std::vector<int> order_cols;
    std::vector<bool> order_nocase;
    bool order_desc = false;
    std::string order_sql;
    bool filter_applied = false;
    CompiledFilter cfilter;
    std::vector<std::int64_t> rids;
    int pos = 0;
    bool bof = true, eof = true;
    std::unordered_map<std::int64_t, Row> cache;
    int last_fetch = 0;
    // The connection's write count when this view last knew every row it caches to be current.
    std::uint64_t seen_generation = 0;
    bool view_stale = false;
    std::int64_t stale_keep = 0;
    int streak = 0;  // blocks fetched one after another going forward
    // The cached row of each view position once looked up (cache nodes never move), so reading
    // fields and stepping through a view cost no hash lookups.
    std::vector<const Row*> row_ptr;
    const Row* last_row = nullptr;
    std::string block_sql, one_sql, insert_sql;

    DatasetState state = DatasetState::kInactive;
    std::vector<Value> buffer;
    std::vector<bool> dirty;
    std::int64_t edit_rid = 0;
    int insert_pos = 0;

    std::vector<std::pair<int, std::function<void(const Event&)>>> observers;
    int next_observer = 1;
    int disabled = 0;

    const std::vector<FieldDef>& fields() const {
        return conn ? conn->schema().fields : def_fields;
    }
    const std::vector<IndexDef>& indexes() const {
        return conn ? conn->schema().indexes : def_indexes;
    }
    // The SQL column of field i in the open file (its layout decides the name).
    std::string column(int i) const { return conn->schema().column(i); }
    ColumnNaming naming() const { return conn->schema().naming; }
    int count() const { return static_cast<int>(rids.size()); }

    void notify(EventKind kind, int field = -1) {
        if (observers.empty() || disabled > 0) return;
        auto copy = observers;
        for (auto& [id, fn] : copy) fn(Event{kind, field});
    }

    void require_open() {
        if (state == DatasetState::kInactive) not_open();
        ensure_view();
    }

    // Order and filter changes only mark the view; it is read again when next used, so a run of
    // changes (filter off, new text, filter on) costs one read, and none when nothing looks.
    void mark_view_stale() {
        if (view_stale) return;
        stale_keep = current_rid();
        view_stale = true;
    }

    void ensure_view() {
        if (view_stale && state != DatasetState::kInactive) load_view(stale_keep);
    }

    fs::path resolve_file() const {
        if (table.empty()) throw Error(ErrorKind::kInvalidInput, "No table name given");
        std::string name = table;
        std::string base = name.substr(
            name.find_last_of("\\/") == std::string::npos ? 0 : name.find_last_of("\\/") + 1);
        if (base.find('.') == std::string::npos) name += ".db";
        std::string folder;
        if (!database.empty()) {
            AliasConfig& aliases = AliasConfig::current();
            if (aliases.exists(database)) {
                folder = aliases.path(database);
            } else if (database.find(':') != std::string::npos ||
                       database.find('\\') != std::string::npos ||
                       database.find('/') != std::string::npos) {
                folder = database;
            } else {
                folder = aliases.path(database);  // throws "Alias 'X' not found"
            }
        }
        std::string logical = folder;
        if (!logical.empty() && logical.back() != '\\' && logical.back() != '/') logical += '\\';
        logical += name;
        return DriveMap::current().to_host(logical);
    }

    int field_index(const std::string& name) const {
        int i = find_field(fields(), name);
        if (i < 0) throw Error(ErrorKind::kNotFound, "Field '" + name + "' not found");
        return i;
    }

    std::vector<int> field_list(const std::string& list) const {
        std::vector<int> out;
        for (const auto& f : split_fields(list)) out.push_back(field_index(f));
        return out;
    }

    void resolve_order() {
        const auto& idx = indexes();
        std::vector<int> cols;
        bool nocase = false, desc = false;
        if (!index_name.empty()) {
            auto it = std::find_if(idx.begin(), idx.end(), [&](const IndexDef& d) {
                return same_name(d.name, index_name);
            });
            if (it == idx.end())
                throw Error(ErrorKind::kNotFound, "Index does not exist: " + index_name);
            cols = field_list(it->fields);
            nocase = it->case_insensitive && !it->primary;
            desc = it->descending;
        } else if (!index_fields.empty()) {
            cols = field_list(index_fields);
            // The primary index first, then any index that begins with the listed fields.
            const IndexDef* match = nullptr;
            for (int pass = 0; pass < 2 && !match; ++pass) {
                for (const auto& d : idx) {
                    if ((pass == 0) != d.primary) continue;
                    auto f = field_list(d.fields);
                    if (f.size() >= cols.size() &&
                        std::equal(cols.begin(), cols.end(), f.begin())) {
                        match = &d;
                        break;
                    }
                }
            }
            if (match) {
                nocase = match->case_insensitive && !match->primary;
                desc = match->descending;
            }
        } else {
            for (const auto& d : idx)
                if (d.primary) {
                    cols = field_list(d.fields);
                    break;
                }
        }
        order_cols = cols;
        order_nocase.assign(cols.size(), false);
        order_desc = desc;
        std::string sql;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            order_nocase[i] = nocase && is_text_type(fields()[cols[i]].type);
            sql += column(cols[i]) + (nocase ? " COLLATE NOCASE" : " COLLATE BINARY") +
                   (desc ? " DESC, " : ", ");
        }
        order_sql = sql + (desc ? "rid DESC" : "rid");
    }

    void compile_filter_now() {
        if (filtered && filter_expr.root) {
            cfilter = compile_filter(filter_expr, fields(), filter_nocase, naming());
            filter_applied = true;
        } else {
            cfilter = {};
            filter_applied = false;
        }
    }

    void bind_filter(sqlite3_stmt* st, int first) {
        for (std::size_t i = 0; i < cfilter.binds.size(); ++i)
            bind_value(st, first + static_cast<int>(i), cfilter.binds[i]);
    }

    std::int64_t current_rid() const {
        return (state != DatasetState::kInactive && pos >= 0 && pos < count()) ? rids[pos] : 0;
    }

    // Re-reads the ordered row numbers; keep stays current when it is still in view.
    void load_view(std::int64_t keep) {
        view_stale = false;
        seen_generation = conn->generation;
        std::string sql = "SELECT rid FROM data";
        if (filter_applied) sql += " WHERE " + cfilter.sql;
        sql += " ORDER BY " + order_sql;
        Stmt& s = conn->stmt(sql);
        StmtUse use(s);
        bind_filter(*use, 1);
        std::vector<std::int64_t> fresh;
        fresh.reserve(rids.size() + 16);
        int rc;
        while ((rc = sqlite3_step(*use)) == SQLITE_ROW)
            fresh.push_back(sqlite3_column_int64(*use, 0));
        if (rc != SQLITE_DONE) conn->fail("reading rows");
        rids.swap(fresh);
        row_ptr.assign(rids.size(), nullptr);
        int old = pos;
        pos = 0;
        bof = true;
        eof = rids.empty();
        if (keep != 0) {
            auto it = std::find(rids.begin(), rids.end(), keep);
            if (it != rids.end()) {
                pos = static_cast<int>(it - rids.begin());
                bof = eof = false;
            } else if (!rids.empty()) {
                pos = std::min(old, count() - 1);
                bof = eof = false;
            }
        }
    }

    Row read_columns(sqlite3_stmt* st) {
        return Row::from_statement(st, 1, static_cast<int>(fields().size()));
    }

    void fetch_block(int p) {
        int n = count();
        // Walking reads ahead a whole block; a jump (a grid scrolled far) reads about a screenful.
        bool walking = std::abs(p - last_fetch) <= 2 * kBlock;
        int size = walking ? kBlock : 40;
        int lo, hi;
        if (p < last_fetch) {
            hi = std::min(n, p + 16);
            lo = std::max(0, hi - size);
        } else {
            lo = std::max(0, p - 16);
            hi = std::min(n, lo + size);
        }
        last_fetch = p;
        std::vector<std::int64_t> want;
        for (int i = lo; i < hi; ++i)
            if (!cache.count(rids[i])) want.push_back(rids[i]);
        if (cache.size() + want.size() > kCacheLimit) drop_cache();
        Stmt& s = conn->stmt(block_sql);
        StmtUse use(s);
        for (std::size_t i = 0; i < want.size(); ++i)
            sqlite3_bind_int64(*use, static_cast<int>(i) + 1, want[i]);
        int rc;
        while ((rc = sqlite3_step(*use)) == SQLITE_ROW)
            cache[sqlite3_column_int64(*use, 0)] = read_columns(*use);
        if (rc != SQLITE_DONE) conn->fail("reading rows");
        for (auto rid : want)
            if (!cache.count(rid)) cache[rid] = gone_row();
    }

    Row gone_row() { return Row::gone_row(static_cast<int>(fields().size())); }

    // The row as stored now (not from the cache).
    Row fetch_one(std::int64_t rid) {
        Stmt& s = conn->stmt(one_sql);
        StmtUse use(s);
        sqlite3_bind_int64(*use, 1, rid);
        int rc = sqlite3_step(*use);
        if (rc == SQLITE_ROW) return read_columns(*use);
        if (rc != SQLITE_DONE) conn->fail("reading a row");
        return gone_row();
    }

    void drop_cache() {
        cache.clear();
        std::fill(row_ptr.begin(), row_ptr.end(), nullptr);
        last_row = nullptr;
        streak = 0;
    }

    void view_erase(int p) {
        rids.erase(rids.begin() + p);
        row_ptr.erase(row_ptr.begin() + p);
    }

    void view_insert(int p, std::int64_t rid) {
        rids.insert(rids.begin() + p, rid);
        row_ptr.insert(row_ptr.begin() + p, nullptr);
    }

    // Every row of the view in one pass over the table.
    void load_whole_view() {
        drop_cache();
        cache.reserve(rids.size());
        std::string sql = "SELECT rid" + column_list() + " FROM data";
        if (filter_applied) sql += " WHERE " + cfilter.sql;
        Stmt& s = conn->stmt(sql);
        StmtUse use(s);
        bind_filter(*use, 1);
        int rc;
        while ((rc = sqlite3_step(*use)) == SQLITE_ROW)
            cache.emplace(sqlite3_column_int64(*use, 0), read_columns(*use));
        if (rc != SQLITE_DONE) conn->fail("reading rows");
    }

    std::string column_list() const {
        std::string cols;
        for (std::size_t i = 0; i < fields().size(); ++i)
            cols += ", " + column(static_cast<int>(i));
        return cols;
    }

    const Row& row_at(int p, bool block = true) {
        if (const Row* known = row_ptr[p]) return *known;
        std::int64_t rid = rids[p];
        auto it = cache.find(rid);
        if (it != cache.end()) {
            row_ptr[p] = &it->second;
            return it->second;
        }
        if (block) {
            streak = (p > last_fetch && p - last_fetch <= 2 * kBlock) ? streak + 1 : 0;
            if (streak >= 2 && count() > 4 * kBlock && count() <= kWholeViewLimit) {
                load_whole_view();
                it = cache.find(rid);
                if (it != cache.end()) return it->second;
            }
            fetch_block(p);
            return cache[rid];
        }
        if (cache.size() >= kCacheLimit) drop_cache();
        return cache[rid] = fetch_one(rid);
    }

    // A Field may outlive a reopen of its Table on another table with fewer fields.
    const FieldDef& field_def(int i) const {
        const auto& f = fields();
        if (i < 0 || i >= static_cast<int>(f.size()))
            throw Error(ErrorKind::kNotFound, "Field " + std::to_string(i) + " not found");
        return f[static_cast<std::size_t>(i)];
    }

    ValueView current_value(int i) {
        field_def(i);
        if (state == DatasetState::kEdit || state == DatasetState::kInsert)
            return view_of(buffer[i]);
        ensure_view();
        if (state == DatasetState::kInactive) not_open();
        if (rids.empty()) return {};
        return row_at(pos).get(i);
    }

    // Order of (a, ra) against (b, rb) in the current order: true when a comes first.
    bool before(const Row& a, std::int64_t ra, const Row& b, std::int64_t rb) const {
        for (std::size_t i = 0; i < order_cols.size(); ++i) {
            int c = compare_values(a.get(order_cols[i]), b.get(order_cols[i]), order_nocase[i]);
            if (c != 0) return order_desc ? c > 0 : c < 0;
        }
        return order_desc ? ra > rb : ra < rb;
    }

    // Where a row belongs in the view. The hint (its old place, or the end for an append) is tried
    // first: most posts leave a row where it was or add it at the end, and a check of two
    // neighbours is far cheaper than a search.
    int insertion_point(const Row& row, std::int64_t rid, int hint) {
        int n = count();
        auto fits = [&](int p) {
            return (p == 0 || before(row_at(p - 1, false), rids[p - 1], row, rid)) &&
                   (p == n || !before(row_at(p, false), rids[p], row, rid));
        };
        for (int h : {hint, n})
            if (h >= 0 && h <= n && fits(h)) return h;
        int lo = 0, hi = n;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (before(row_at(mid, false), rids[mid], row, rid))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    // First position whose leading key fields are not before key (fewer key values: leading only).
    int lower_bound_key(const std::vector<Value>& key) {
        int lo = 0, hi = count();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            const Row& r = row_at(mid, false);
            int c = 0;
            for (std::size_t i = 0; i < key.size() && c == 0; ++i) {
                c = compare_values(r.get(order_cols[i]), view_of(key[i]), order_nocase[i]);
                if (order_desc) c = -c;
            }
            if (c < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    std::vector<Value> key_values(const std::vector<std::string>& values) {
        if (values.size() > order_cols.size())
            throw Error(ErrorKind::kInvalidInput,
                        "More key values than fields in the current index");
        std::vector<Value> key;
        for (std::size_t i = 0; i < values.size(); ++i)
            key.push_back(value_from_text(fields()[order_cols[i]], values[i]));
        return key;
    }

    void post_pending() {
        if (state == DatasetState::kEdit || state == DatasetState::kInsert) post();
    }

    void set_browse() {
        state = DatasetState::kBrowse;
        notify(EventKind::kStateChanged);
    }

    void check_required(const std::vector<Value>& r) {
        const auto& f = fields();
        for (std::size_t i = 0; i < f.size(); ++i)
            if (f[i].required && f[i].type != FieldType::kAutoInc && r[i].is_null())
                throw Error(ErrorKind::kRequired, "Field '" + f[i].name + "' must have a value.");
    }

    // Refuses a duplicate key. With changed given (an edit), only keys with a changed field are
    // looked up: an unchanged key is still the row's own.
    void check_keys(const std::vector<Value>& r, std::int64_t self,
                    const std::vector<bool>* changed = nullptr) {
        for (const auto& d : indexes()) {
            if (!d.primary && !d.unique) continue;
            auto cols = field_list(d.fields);
            if (changed &&
                std::none_of(cols.begin(), cols.end(), [&](int c) { return (*changed)[c]; }))
                continue;
            bool nocase = d.case_insensitive && !d.primary;
            std::string sql = "SELECT rid FROM data WHERE rid <> ?";
            for (int c : cols)
                sql += " AND " + column(c) +
                       (r[c].is_null() ? " IS NULL"
                                       : std::string(" = ?") +
                                             (nocase ? " COLLATE NOCASE" : " COLLATE BINARY"));
            sql += " LIMIT 1";
            Stmt& s = conn->stmt(sql);
            StmtUse use(s);
            sqlite3_bind_int64(*use, 1, self);
            int b = 2;
            for (int c : cols)
                if (!r[c].is_null()) bind_value(*use, b++, r[c]);
            int rc = sqlite3_step(*use);
            if (rc == SQLITE_ROW) {
                std::string key;
                for (int c : cols)
                    key += (key.empty() ? "" : ";") + text_from_value(fields()[c], r[c]);
                throw Error(ErrorKind::kKeyViolation,
                            "Key violation.\nTable: " + table + "\nKey: " + key);
            }
            if (rc != SQLITE_DONE) conn->fail("checking keys");
        }
    }

    std::int64_t insert_row(std::vector<Value>& r) {
        std::int64_t rid = 0;
        const auto& f = fields();
        for (std::size_t i = 0; i < f.size() && rid == 0; ++i)
            if (f[i].type == FieldType::kAutoInc && !r[i].is_null())
                rid = static_cast<std::int64_t>(r[i].number);
        if (rid != 0) {
            Stmt& s = conn->stmt("SELECT 1 FROM data WHERE rid = ?");
            StmtUse use(s);
            sqlite3_bind_int64(*use, 1, rid);
            int rc = sqlite3_step(*use);
            if (rc == SQLITE_ROW)
                throw Error(ErrorKind::kKeyViolation,
                            "Key violation.\nTable: " + table + "\nKey: " + std::to_string(rid));
            if (rc != SQLITE_DONE) conn->fail("numbering a row");
        } else {
            Stmt& s = conn->stmt(
                "SELECT max(ifnull((SELECT seq FROM sqlite_sequence WHERE name='data'),0),"
                " ifnull((SELECT max(rid) FROM data),0)) + 1");
            StmtUse use(s);
            if (sqlite3_step(*use) != SQLITE_ROW) conn->fail("numbering a row");
            rid = sqlite3_column_int64(*use, 0);
        }
        for (std::size_t i = 0; i < f.size(); ++i)
            if (f[i].type == FieldType::kAutoInc) r[i] = Value::of_number(static_cast<double>(rid));
        Stmt& s = conn->stmt(insert_sql);
        StmtUse use(s);
        sqlite3_bind_int64(*use, 1, rid);
        for (std::size_t i = 0; i < f.size(); ++i) bind_value(*use, static_cast<int>(i) + 2, r[i]);
        if (sqlite3_step(*use) != SQLITE_DONE) conn->fail("adding a row");
        return rid;
    }

    bool passes(std::int64_t rid) {
        if (!filter_applied) return true;
        Stmt& s = conn->stmt("SELECT 1 FROM data WHERE rid = ? AND (" + cfilter.sql + ")");
        StmtUse use(s);
        sqlite3_bind_int64(*use, 1, rid);
        bind_filter(*use, 2);
        int rc = sqlite3_step(*use);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) conn->fail("filtering");
        return rc == SQLITE_ROW;
    }

    void post();

    void prepare_statements() {
        std::string cols;
        std::string params;
        for (std::size_t i = 0; i < fields().size(); ++i) {
            cols += ", " + column(static_cast<int>(i));
            params += ", ?";
        }
        block_sql = "SELECT rid" + cols + " FROM data WHERE rid IN (?";
        for (int i = 1; i < kBlock; ++i) block_sql += ",?";
        block_sql += ")";
        one_sql = "SELECT rid" + cols + " FROM data WHERE rid = ?";
        insert_sql = "INSERT INTO data(rid" + cols + ") VALUES(?" + params + ")";
    }

    // Runs a write as one operation of the durability policy.
    template <class F>
    void write(F&& body, bool single_statement = true) {
        bool current = conn->generation == seen_generation;
        conn->begin_write(single_statement);
        try {
            body();
        } catch (...) {
            conn->end_write(false);
            throw;
        }
        conn->end_write(true);
        if (current) seen_generation = conn->generation;
    }
};

void TableImpl::post() {
    if (state != DatasetState::kEdit && state != DatasetState::kInsert) {
        require_open();
        return;
    }
    check_required(buffer);
    bool inserting = state == DatasetState::kInsert;
    std::int64_t rid = edit_rid;
    check_keys(buffer, inserting ? 0 : rid, inserting ? nullptr : &dirty);
    bool any_dirty = inserting || std::find(dirty.begin(), dirty.end(), true) != dirty.end();
    if (!any_dirty) {
        set_browse();
        return;
    }
    write([&] {
        if (inserting) {
            rid = insert_row(buffer);
        } else {
            std::string sql = "UPDATE data SET ";
            bool first = true;
            for (std::size_t i = 0; i < dirty.size(); ++i)
                if (dirty[i]) {
                    sql += (first ? "" : ", ") + column(static_cast<int>(i)) + " = ?";
                    first = false;
                }
            sql += " WHERE rid = ?";
            Stmt& s = conn->stmt(sql);
            StmtUse use(s);
            int b = 1;
            for (std::size_t i = 0; i < dirty.size(); ++i)
                if (dirty[i]) bind_value(*use, b++, buffer[i]);
            sqlite3_bind_int64(*use, b, rid);
            if (sqlite3_step(*use) != SQLITE_DONE) conn->fail("changing a row");
            if (sqlite3_changes(conn->db()) == 0)
                throw Error(ErrorKind::kNotFound, "Record/key deleted.");
        }
    });
    if (cache.size() >= kCacheLimit) drop_cache();
    cache[rid] = Row::pack(buffer);
    last_row = nullptr;
    if (view_stale) {
        // The view is read again when next used; the posted row is current then.
        state = DatasetState::kBrowse;
        stale_keep = rid;
        notify(EventKind::kStateChanged);
        notify(EventKind::kDataChanged);
        return;
    }
    bool in_view = !inserting && pos < count() && rids[pos] == rid;
    bool moved = inserting;
    for (int c : order_cols) moved = moved || dirty[c];
    state = DatasetState::kBrowse;
    if (!passes(rid)) {
        if (in_view) view_erase(pos);
        if (inserting) pos = insert_pos;
        pos = std::max(0, std::min(pos, count() - 1));
        bof = eof = rids.empty();
    } else if (moved || !in_view) {
        if (in_view) view_erase(pos);
        Row copy = cache[rid];  // row_at may drop the cache while searching
        int lo = insertion_point(copy, rid, inserting ? insert_pos : pos);
        view_insert(lo, rid);
        pos = lo;
        bof = eof = false;
        if (!cache.count(rid)) cache[rid] = std::move(copy);
    }
    notify(EventKind::kStateChanged);
    notify(EventKind::kDataChanged);
}

// ---------------------------------------------------------------------------------------------
// Field

const std::string& Field::name() const {
    return impl_->field_def(index_).name;
}
FieldType Field::type() const {
    return impl_->field_def(index_).type;
}
int Field::size() const {
    return impl_->field_def(index_).size;
}
bool Field::required() const {
    return impl_->field_def(index_).required;
}
bool Field::is_null() const {
    return impl_->current_value(index_).is_null();
}

std::string Field::as_string() const {
    ValueView v = impl_->current_value(index_);  // checks the index
    return text_from_value(impl_->fields()[static_cast<std::size_t>(index_)], v);
}

double Field::as_float() const {
    ValueView v = impl_->current_value(index_);
    if (v.kind == Value::Kind::kNull) return 0;
    if (v.kind == Value::Kind::kNumber) return v.number;
    FieldDef as_float{name(), FieldType::kFloat, 0, false};
    return value_from_text(as_float, v.text).number;
}

double Field::as_date() const {
    ValueView v = impl_->current_value(index_);
    if (v.kind == Value::Kind::kNull) return 0;
    if (v.kind == Value::Kind::kNumber) return v.number;
    FieldDef as_date{name(), FieldType::kDate, 0, false};
    return value_from_text(as_date, v.text).number;
}

bool Field::as_boolean() const {
    ValueView v = impl_->current_value(index_);
    if (v.kind == Value::Kind::kNull) return false;
    if (v.kind == Value::Kind::kNumber) return v.number != 0;
    FieldDef as_bool{name(), FieldType::kBoolean, 0, false};
    return value_from_text(as_bool, v.text).number != 0;
}

std::int64_t Field::as_integer() const {
    return static_cast<std::int64_t>(std::llround(as_float()));
}

namespace {

void store(TableImpl* impl, int index, Value v) {
    if (impl->state != DatasetState::kEdit && impl->state != DatasetState::kInsert)
        throw Error(ErrorKind::kInvalidInput, "Dataset not in edit or insert mode");
    const FieldDef& f = impl->field_def(index);
    if (f.type == FieldType::kAutoInc) {
        // A row's number never changes; a new row may bring its own (a table restored from a
        // copy keeps the numbers other rows refer to), else the table numbers it.
        if (impl->state == DatasetState::kEdit)
            throw Error(ErrorKind::kInvalidInput, "Field '" + f.name + "' cannot be modified");
        if (!v.is_null() && (v.kind != Value::Kind::kNumber || v.number < 1 ||
                             v.number > 9007199254740992.0 || v.number != std::floor(v.number)))
            throw Error(ErrorKind::kConversion, "'" + text_from_value(f, v) +
                                                    "' is not a valid row number for field '" +
                                                    f.name + "'");
    }
    impl->buffer[index] = std::move(v);
    impl->dirty[index] = true;
    impl->notify(EventKind::kFieldChanged, index);
}

}  // namespace

void Field::set_as_string(std::string_view text) {
    if (impl_->state != DatasetState::kEdit && impl_->state != DatasetState::kInsert)
        throw Error(ErrorKind::kInvalidInput, "Dataset not in edit or insert mode");
    store(impl_, index_, value_from_text(impl_->field_def(index_), text));
}

void Field::set_as_float(double value) {
    const FieldDef& f = impl_->field_def(index_);
    if (!std::isfinite(value))
        throw Error(ErrorKind::kConversion,
                    "'" + format_number(value) +
                        "' is not a valid floating point value for field '" + f.name + "'");
    if (is_text_type(f.type)) return set_as_string(format_number(value));
    if (f.type == FieldType::kDate) return set_as_date(value);
    if (f.type == FieldType::kBoolean) return set_as_boolean(value != 0);
    store(impl_, index_, Value::of_number(value));
}

void Field::set_as_date(double date) {
    const FieldDef& f = impl_->field_def(index_);
    if (!std::isfinite(date) || !civil_from_date(date))
        throw Error(ErrorKind::kConversion,
                    "'" + format_number(date) + "' is not a valid date for field '" + f.name + "'");
    if (is_text_type(f.type)) return set_as_string(format_short_date(date));
    store(impl_, index_, Value::of_number(f.type == FieldType::kDate ? std::trunc(date) : date));
}

void Field::set_as_boolean(bool value) {
    const FieldDef& f = impl_->field_def(index_);
    if (is_text_type(f.type)) return set_as_string(format_bool(value));
    store(impl_, index_, Value::of_number(value ? 1 : 0));
}

void Field::clear() {
    store(impl_, index_, Value::null());
}

// ---------------------------------------------------------------------------------------------
// Table

Table::Table() : impl_(std::make_unique<TableImpl>()) {}

Table::~Table() {
    try {
        close();
    } catch (...) {
    }
}

namespace {
void require_closed(const TableImpl& t) {
    if (t.state != DatasetState::kInactive)
        throw Error(ErrorKind::kInvalidInput, "Cannot perform this operation on an open dataset");
}
}  // namespace

void Table::set_database_name(const std::string& name) {
    require_closed(*impl_);
    impl_->database = name;
}
void Table::set_table_name(const std::string& name) {
    require_closed(*impl_);
    impl_->table = name;
}
void Table::set_exclusive(bool on) {
    require_closed(*impl_);
    impl_->exclusive = on;
}

namespace {
// Re-orders or re-filters an open table, keeping the current row; restores the old settings when
// the new ones are refused.
template <class Change>
void reconfigure(TableImpl& t, Change&& change) {
    if (t.state == DatasetState::kInactive) {
        change();
        return;
    }
    t.post_pending();
    auto saved_index = t.index_name, saved_fields = t.index_fields, saved_text = t.filter_text;
    bool saved_filtered = t.filtered, saved_nocase = t.filter_nocase;
    FilterExpr saved_expr = t.filter_expr;
    change();
    bool order_changed = saved_index != t.index_name || saved_fields != t.index_fields;
    bool filter_changed = saved_text != t.filter_text || saved_filtered != t.filtered ||
                          saved_nocase != t.filter_nocase;
    // A new text or option while filtering is off changes no row of the view.
    bool view_changed = order_changed || (filter_changed && (t.filtered || saved_filtered));
    if (!view_changed) return;
    try {
        if (order_changed) t.resolve_order();
        if (filter_changed) t.compile_filter_now();
    } catch (...) {
        t.index_name = saved_index;
        t.index_fields = saved_fields;
        t.filter_text = saved_text;
        t.filtered = saved_filtered;
        t.filter_nocase = saved_nocase;
        t.filter_expr = saved_expr;
        t.resolve_order();
        t.compile_filter_now();
        throw;
    }
    t.mark_view_stale();
    t.notify(EventKind::kDataChanged);
}
}  // namespace

void Table::set_index_name(const std::string& name) {
    reconfigure(*impl_, [&] {
        impl_->index_name = name;
        impl_->index_fields.clear();
    });
}

void Table::set_index_field_names(const std::string& fields) {
    reconfigure(*impl_, [&] {
        impl_->index_fields = fields;
        impl_->index_name.clear();
    });
}

void Table::set_filter(const std::string& text) {
    FilterExpr parsed = parse_filter(text);  // refuses a malformed text before anything changes
    reconfigure(*impl_, [&] {
        impl_->filter_text = text;
        impl_->filter_expr = std::move(parsed);
    });
}

void Table::set_filtered(bool on) {
    reconfigure(*impl_, [&] { impl_->filtered = on; });
}

void Table::set_filter_case_insensitive(bool on) {
    reconfigure(*impl_, [&] { impl_->filter_nocase = on; });
}

const std::string& Table::database_name() const {
    return impl_->database;
}
const std::string& Table::table_name() const {
    return impl_->table;
}
const std::string& Table::index_name() const {
    return impl_->index_name;
}
const std::string& Table::index_field_names() const {
    return impl_->index_fields;
}
const std::string& Table::filter() const {
    return impl_->filter_text;
}
bool Table::filtered() const {
    return impl_->filtered;
}
bool Table::filter_case_insensitive() const {
    return impl_->filter_nocase;
}
bool Table::exclusive() const {
    return impl_->exclusive;
}

std::string Table::file_path() const {
    return impl_->resolve_file().string();
}
bool Table::exists() const {
    return file_system().stat(impl_->resolve_file()).type == EntryType::kFile;
}

void Table::set_field_defs(std::vector<FieldDef> defs) {
    impl_->def_fields = std::move(defs);
}
void Table::set_index_defs(std::vector<IndexDef> defs) {
    impl_->def_indexes = std::move(defs);
}
const std::vector<FieldDef>& Table::field_defs() const {
    return impl_->fields();
}
const std::vector<IndexDef>& Table::index_defs() const {
    return impl_->indexes();
}

namespace {

void validate(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes) {
    auto bad = [](const std::string& why) {
        return Error(ErrorKind::kInvalidInput, "Invalid table definition: " + why);
    };
    if (fields.empty()) throw bad("no fields");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        if (trim(f.name).empty() || f.name.find_first_of(";[]\"") != std::string::npos)
            throw bad("field name '" + f.name + "'");
        if (find_field(fields, f.name) != static_cast<int>(i))
            throw bad("field '" + f.name + "' defined twice");
        // The data table's own row number column is called rid; a field column may not be.
        if (same_name(f.name, "rid")) throw bad("field name '" + f.name + "' is reserved");
        if (f.type == FieldType::kString && (f.size < 1 || f.size > 255))
            throw bad("field '" + f.name + "' needs a size from 1 to 255");
    }
    int primaries = 0;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef& d = indexes[i];
        if (d.primary) ++primaries;
        auto names = split_fields(d.fields);
        if (names.empty()) throw bad("index '" + d.name + "' has no fields");
        for (const auto& n : names)
            if (find_field(fields, n) < 0)
                throw bad("index '" + d.name + "' names unknown field '" + n + "'");
        if (!d.primary && d.name.empty()) throw bad("a secondary index needs a name");
        for (std::size_t j = 0; j < i; ++j)
            if (!d.name.empty() && same_name(indexes[j].name, d.name))
                throw bad("index '" + d.name + "' defined twice");
    }
    if (primaries > 1) throw bad("more than one primary index");
}

fs::path journal_of(const fs::path& file) {
    return fs::path(file.string() + "-journal");
}

void remove_if_present(const fs::path& p) {
    if (file_system().exists(p)) file_system().remove(p);
}

}  // namespace

void Table::create_table(bool replace) {
    validate(impl_->def_fields, impl_->def_indexes);
    if (impl_->state != DatasetState::kInactive) close();
    fs::path file = impl_->resolve_file();
    bool existed = file_system().exists(file);
    if (existed && !replace)
        throw Error(ErrorKind::kExists, "Table already exists: " + file_label(file));
    if (existed) check_not_busy(file);
    fs::path tmp = file.string() + ".creating";
    remove_if_present(tmp);
    remove_if_present(journal_of(tmp));
    Schema schema{impl_->def_fields, impl_->def_indexes};
    // Normalised field lists, so stored index definitions name fields as the fields do.
    for (auto& d : schema.indexes) {
        std::string list;
        for (const auto& n : split_fields(d.fields))
            list += (list.empty() ? "" : ";") + schema.fields[find_field(schema.fields, n)].name;
        d.fields = list;
    }
    sqlite3* db = open_sqlite(tmp, true);
    try {
        if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error(ErrorKind::kIO,
                        "Cannot create table " + file_label(file) + ": " + sqlite3_errmsg(db));
        write_schema(db, schema);
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error(ErrorKind::kIO,
                        "Cannot create table " + file_label(file) + ": " + sqlite3_errmsg(db));
    } catch (...) {
        sqlite3_close_v2(db);
        remove_if_present(tmp);
        throw;
    }
    sqlite3_close_v2(db);
    if (existed && file_system().exists(journal_of(file))) {
        // A hot journal of the old file must never be applied to the new one: let SQLite roll
        // the old file back first, then drop whatever remains.
        try {
            sqlite3* old = open_sqlite(file, false);
            sqlite3_exec(old, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
            sqlite3_close_v2(old);
        } catch (const Error&) {
        }
        remove_if_present(journal_of(file));
    }
    file_system().rename(tmp, file);
    file_system().sync_directory(file.parent_path());
}

void Table::delete_table() {
    if (impl_->state != DatasetState::kInactive) close();
    fs::path file = impl_->resolve_file();
    if (!file_system().exists(file))
        throw Error(ErrorKind::kNotFound, "Table does not exist: " + file_label(file));
    check_not_busy(file);
    file_system().remove(file);
    remove_if_present(journal_of(file));
}

void Table::empty_table() {
    std::shared_ptr<Connection> conn = impl_->conn;
    if (impl_->state != DatasetState::kInactive) {
        if (impl_->state != DatasetState::kBrowse) cancel();
    } else {
        conn = Connection::acquire(impl_->resolve_file(), impl_->exclusive);
    }
    conn->begin_write(true);
    try {
        conn->exec("DELETE FROM data");
    } catch (...) {
        conn->end_write(false);
        throw;
    }
    conn->end_write(true);
    if (impl_->state != DatasetState::kInactive) {
        impl_->drop_cache();
        impl_->load_view(0);
        impl_->notify(EventKind::kDataChanged);
    }
}

void Table::open() {
    TableImpl& t = *impl_;
    if (t.state != DatasetState::kInactive) return;
    if (!t.filter_text.empty() && !t.filter_expr.root) t.filter_expr = parse_filter(t.filter_text);
    t.conn = Connection::acquire(t.resolve_file(), t.exclusive);
    try {
        t.resolve_order();
        t.compile_filter_now();
        t.prepare_statements();
        t.drop_cache();
        t.pos = 0;
        t.load_view(0);
    } catch (...) {
        t.conn.reset();
        t.rids.clear();
        t.row_ptr.clear();
        throw;
    }
    t.state = DatasetState::kBrowse;
    t.notify(EventKind::kStateChanged);
    t.notify(EventKind::kDataChanged);
}

void Table::close() {
    TableImpl& t = *impl_;
    if (t.state == DatasetState::kInactive) return;
    t.state = DatasetState::kInactive;
    t.view_stale = false;
    t.conn.reset();
    t.rids.clear();
    t.row_ptr.clear();
    t.drop_cache();
    t.pos = 0;
    t.bof = t.eof = true;
    t.filter_applied = false;
    t.notify(EventKind::kStateChanged);
}

bool Table::active() const {
    return impl_->state != DatasetState::kInactive;
}

void Table::refresh() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    t.drop_cache();
    t.load_view(t.current_rid());
    t.notify(EventKind::kDataChanged);
}

void Table::first() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    t.pos = 0;
    t.bof = true;
    t.eof = t.rids.empty();
    t.notify(EventKind::kScrolled);
}

void Table::last() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    t.pos = std::max(0, t.count() - 1);
    t.eof = true;
    t.bof = t.rids.empty();
    t.notify(EventKind::kScrolled);
}

void Table::next() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    if (t.pos + 1 < t.count()) {
        ++t.pos;
        t.bof = false;
        t.notify(EventKind::kScrolled);
    } else {
        t.eof = true;
    }
}

void Table::prior() {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    if (t.pos > 0 && t.pos < t.count()) {
        --t.pos;
        t.eof = false;
        t.notify(EventKind::kScrolled);
    } else {
        t.bof = true;
    }
}

void Table::move_by(int n) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    long long target = static_cast<long long>(t.pos) + n;
    t.bof = t.eof = false;
    if (target >= t.count()) {
        target = t.count() - 1;
        t.eof = true;
    }
    if (target < 0) {
        target = 0;
        t.bof = true;
    }
    if (t.rids.empty()) t.bof = t.eof = true;
    t.pos = static_cast<int>(std::max(0LL, target));
    t.notify(EventKind::kScrolled);
}

bool Table::eof() const {
    impl_->ensure_view();
    return impl_->state == DatasetState::kInactive || impl_->eof;
}
bool Table::bof() const {
    impl_->ensure_view();
    return impl_->state == DatasetState::kInactive || impl_->bof;
}
int Table::record_count() const {
    impl_->ensure_view();
    return impl_->state == DatasetState::kInactive ? 0 : impl_->count();
}

int Table::record_number() const {
    impl_->ensure_view();
    const TableImpl& t = *impl_;
    if (t.state == DatasetState::kInactive || t.state == DatasetState::kInsert || t.rids.empty())
        return -1;
    return t.pos + 1;
}

void Table::set_record_number(int n) {
    TableImpl& t = *impl_;
    t.require_open();
    t.post_pending();
    if (t.rids.empty()) return;
    t.pos = std::clamp(n, 1, t.count()) - 1;
    t.bof = t.eof = false;
    t.notify(EventKind::kScrolled);
}

std::string Table::text_at(int n, int field_index) {
    TableImpl& t = *impl_;
    t.require_open();
    if (n < 1 || n > t.count() || field_index < 0 || field_index >= field_count())
        throw Error(ErrorKind::kInvalidInput,
                    "No row " + std::to_string(n) + " or field " + std::to_string(field_index));
    return text_from_value(t.fields()[field_index], t.row_at(n - 1).get(field_index));
}

int Table::field_count() const {
    return static_cast<int>(impl_->fields().size());
}

Field Table::field(const std::string& name) {
    impl_->require_open();
    return Field(impl_.get(), impl_->field_index(name));
}

Field Table::field(int index) {
    impl_->require_open();
    if (index < 0 || index >= field_count())
        throw Error(ErrorKind::kNotFound, "Field " + std::to_string(index) + " not found");
    return Field(impl_.get(), index);
}

std::vector<std::string> Table::field_names() const {
    std::vector<std::string> out;
    for (const auto& f : impl_->fields()) out.push_back(f.name);
    return out;
}

std::vector<std::string> Table::index_names() const {
    std::vector<std::string> out;
    for (const auto& d : impl_->indexes())
        if (!d.name.empty()) out.push_back(d.name);
    return out;
}

DatasetState Table::state() const {
    return impl_->state;
}

void Table::edit() {
    TableImpl& t = *impl_;
    t.require_open();
    if (t.state != DatasetState::kBrowse) return;
    if (t.rids.empty()) return insert();
    std::int64_t rid = t.rids[t.pos];
    // Another Table on this file may have changed the row since it was read: then it is read again.
    auto cached = t.cache.find(rid);
    if (cached != t.cache.end() && t.conn->generation == t.seen_generation &&
        !cached->second.gone()) {
        t.buffer = cached->second.unpack();
    } else {
        Row fresh = t.fetch_one(rid);
        if (fresh.gone()) throw Error(ErrorKind::kNotFound, "Record/key deleted.");
        t.buffer = fresh.unpack();
        t.cache[rid] = std::move(fresh);
        t.last_row = nullptr;
    }
    t.dirty.assign(t.fields().size(), false);
    t.edit_rid = rid;
    t.state = DatasetState::kEdit;
    t.notify(EventKind::kStateChanged);
}

void Table::insert() {
    TableImpl& t = *impl_;
    // A new row needs no view: appending to a table whose filter just changed reads nothing.
    if (t.state == DatasetState::kInactive) not_open();
    t.post_pending();
    t.buffer.assign(t.fields().size(), Value::null());
    t.dirty.assign(t.fields().size(), false);
    t.edit_rid = 0;
    t.insert_pos = t.rids.empty() ? 0 : t.pos;
    t.state = DatasetState::kInsert;
    t.bof = t.eof = false;
    t.notify(EventKind::kStateChanged);
}

void Table::append() {
    insert();
    impl_->insert_pos = impl_->count();
}

void Table::post() {
    impl_->post();
}

void Table::cancel() {
    TableImpl& t = *impl_;
    if (t.state != DatasetState::kEdit && t.state != DatasetState::kInsert) return;
    bool inserting = t.state == DatasetState::kInsert;
    t.state = DatasetState::kBrowse;
    t.bof = t.eof = t.rids.empty();
    t.notify(EventKind::kStateChanged);
    if (inserting) t.notify(EventKind::kDataChanged);
}

void Table::delete_record() {
    TableImpl& t = *impl_;
    t.require_open();
    if (t.state == DatasetState::kInsert) return cancel();
    if (t.state == DatasetState::kEdit) cancel();
    if (t.rids.empty())
        throw Error(ErrorKind::kInvalidInput, "Cannot delete from an empty dataset");
    std::int64_t rid = t.rids[t.pos];
    t.write([&] {
        Stmt& s = t.conn->stmt("DELETE FROM data WHERE rid = ?");
        StmtUse use(s);
        sqlite3_bind_int64(*use, 1, rid);
        if (sqlite3_step(*use) != SQLITE_DONE) t.conn->fail("deleting a row");
    });
    t.view_erase(t.pos);
    t.cache.erase(rid);
    t.last_row = nullptr;
    t.pos = std::max(0, std::min(t.pos, t.count() - 1));
    t.bof = t.eof = t.rids.empty();
    t.notify(EventKind::kDataChanged);
}

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
    CompiledFilter f = compile_filter(t.filter_expr, t.fields(), t.filter_nocase, t.naming());
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
        std::string c = t.column(cols[i]);
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

int Table::batch_move_append(Table& source, const std::vector<std::string>& mapping) {
    TableImpl& t = *impl_;
    bool opened_dest = false, opened_source = false;
    if (t.state == DatasetState::kInactive) {
        open();
        opened_dest = true;
    }
    struct Closer {
        Table& table;
        bool on;
        ~Closer() {
            if (on) table.close();
        }
    } close_dest{*this, opened_dest};
    t.post_pending();
    t.ensure_view();
    if (!source.active()) {
        source.open();
        opened_source = true;
    }
    Closer close_source{source, opened_source};
    TableImpl& s = *source.impl_;
    s.post_pending();
    s.ensure_view();
    std::vector<std::pair<int, int>> map;  // dest, source
    for (const auto& entry : mapping) {
        auto eq = entry.find('=');
        std::string dest = trim(entry.substr(0, eq));
        std::string src = eq == std::string::npos ? dest : trim(entry.substr(eq + 1));
        map.emplace_back(t.field_index(dest), s.field_index(src));
    }
    int copied = 0;
    t.write(
        [&] {
            source.first();
            while (!source.eof()) {
                std::vector<Value> r(t.fields().size());
                for (auto [d, from] : map)
                    if (t.fields()[d].type != FieldType::kAutoInc)  // the destination numbers
                        r[d] = convert_value(s.fields()[from], t.fields()[d],
                                             s.current_value(from).to_value());
                t.check_required(r);
                t.check_keys(r, 0);
                t.insert_row(r);
                ++copied;
                source.next();
            }
        },
        false);
    t.drop_cache();
    t.load_view(t.current_rid());
    t.notify(EventKind::kDataChanged);
    return copied;
}

int Table::add_observer(std::function<void(const Event&)> observer) {
    int id = impl_->next_observer++;
    impl_->observers.emplace_back(id, std::move(observer));
    return id;
}

void Table::remove_observer(int id) {
    std::erase_if(impl_->observers, [id](const auto& o) { return o.first == id; });
}

void Table::disable_controls() {
    ++impl_->disabled;
}

void Table::enable_controls() {
    if (impl_->disabled > 0 && --impl_->disabled == 0) impl_->notify(EventKind::kDataChanged);
}

}  // namespace pavo::tables
