// Table: ordering by an index or fields, the filter in force, and key positions in the view.
#include <algorithm>

#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

void TableImpl::resolve_order() {
    const auto& idx = indexes();
    std::vector<int> cols;
    bool nocase = false, desc = false;
    if (!index_name.empty()) {
        auto it = std::find_if(idx.begin(), idx.end(),
                               [&](const IndexDef& d) { return same_name(d.name, index_name); });
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
                if (f.size() >= cols.size() && std::equal(cols.begin(), cols.end(), f.begin())) {
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
        sql += column_name(cols[i]) + (nocase ? " COLLATE NOCASE" : " COLLATE BINARY") +
               (desc ? " DESC, " : ", ");
    }
    order_sql = sql + (desc ? "rid DESC" : "rid");
}

void TableImpl::compile_filter_now() {
    if (filtered && filter_expr.root) {
        cfilter = compile_filter(filter_expr, fields(), filter_nocase);
        filter_applied = true;
    } else {
        cfilter = {};
        filter_applied = false;
    }
}

void TableImpl::bind_filter(sqlite3_stmt* st, int first) {
    for (std::size_t i = 0; i < cfilter.binds.size(); ++i)
        bind_value(st, first + static_cast<int>(i), cfilter.binds[i]);
}

bool TableImpl::before(const Row& a, std::int64_t ra, const Row& b, std::int64_t rb) const {
    for (std::size_t i = 0; i < order_cols.size(); ++i) {
        int c = compare_values(a.get(order_cols[i]), b.get(order_cols[i]), order_nocase[i]);
        if (c != 0) return order_desc ? c > 0 : c < 0;
    }
    return order_desc ? ra > rb : ra < rb;
}

// Where a row belongs in the view. The hint (its old place, or the end for an append) is tried
// first: most posts leave a row where it was or add it at the end, and a check of two
// neighbours is far cheaper than a search.
int TableImpl::insertion_point(const Row& row, std::int64_t rid, int hint) {
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

int TableImpl::lower_bound_key(const std::vector<Value>& key) {
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

std::vector<Value> TableImpl::key_values(const std::vector<std::string>& values) {
    if (values.size() > order_cols.size())
        throw Error(ErrorKind::kInvalidInput, "More key values than fields in the current index");
    std::vector<Value> key;
    for (std::size_t i = 0; i < values.size(); ++i)
        key.push_back(value_from_text(fields()[order_cols[i]], values[i]));
    return key;
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

}  // namespace pavo::tables
