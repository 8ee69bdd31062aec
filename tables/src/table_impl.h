// The state behind a Table (configuration, view, row cache, edit buffer) and the helpers its
// source files share: table.cpp, table_rows.cpp, table_order.cpp, table_search.cpp,
// table_files.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tables/src/connection.h"
#include "tables/src/filter.h"
#include "tables/src/values.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::tables {

// Rows fetched per query while walking, and the most rows kept in memory per Table.
inline constexpr int kBlock = 128;
inline constexpr std::size_t kCacheLimit = 131072;
// A view walked block after block is read whole in one pass in table order, which costs less than
// seeking each row; only views this small are read so.
inline constexpr int kWholeViewLimit = 120000;

inline bool same_name(const std::string& a, const std::string& b) {
    return to_upper(a) == to_upper(b);
}

[[noreturn]] void not_open();

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
    std::vector<Value> original;  // the row as read when editing began
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

    std::int64_t current_rid() const {
        return (state != DatasetState::kInactive && pos >= 0 && pos < count()) ? rids[pos] : 0;
    }

    // --- Configuration and fields (table.cpp).
    fs::path resolve_file() const;
    int field_index(const std::string& name) const;
    std::vector<int> field_list(const std::string& list) const;
    // A Field may outlive a reopen of its Table on another table with fewer fields.
    const FieldDef& field_def(int i) const;
    ValueView current_value(int i);
    void prepare_statements();

    // --- Order, filter and keys (table_order.cpp).
    void resolve_order();
    void compile_filter_now();
    void bind_filter(sqlite3_stmt* st, int first);
    // Order of (a, ra) against (b, rb) in the current order: true when a comes first.
    bool before(const Row& a, std::int64_t ra, const Row& b, std::int64_t rb) const;
    int insertion_point(const Row& row, std::int64_t rid, int hint);
    // First position whose leading key fields are not before key (fewer key values: leading only).
    int lower_bound_key(const std::vector<Value>& key);
    std::vector<Value> key_values(const std::vector<std::string>& values);

    // --- View and row cache (table_rows.cpp).
    // Re-reads the ordered row numbers; keep stays current when it is still in view.
    void load_view(std::int64_t keep);
    Row read_columns(sqlite3_stmt* st);
    void fetch_block(int p);
    Row gone_row() { return Row::gone_row(static_cast<int>(fields().size())); }
    // The row as stored now (not from the cache).
    Row fetch_one(std::int64_t rid);
    void drop_cache();
    void view_erase(int p) {
        rids.erase(rids.begin() + p);
        row_ptr.erase(row_ptr.begin() + p);
    }
    void view_insert(int p, std::int64_t rid) {
        rids.insert(rids.begin() + p, rid);
        row_ptr.insert(row_ptr.begin() + p, nullptr);
    }
    // Every row of the view in one pass over the table.
    void load_whole_view();
    // After a rollback: no cached row is trusted and the view is read again when next used.
    void reread() noexcept;
    std::string column_list() const;
    const Row& row_at(int p, bool block = true);

    // --- Editing (table.cpp).
    // Leaving a row: an untouched pending row is let go, any other is posted.
    void post_pending() {
        if (state != DatasetState::kEdit && state != DatasetState::kInsert) return;
        if (modified())
            post();
        else
            cancel();
    }
    bool modified() const;
    void cancel();
    void set_browse() {
        state = DatasetState::kBrowse;
        notify(EventKind::kStateChanged);
    }
    void check_required(const std::vector<Value>& r);
    // Refuses a duplicate key. With changed given (an edit), only keys with a changed field are
    // looked up: an unchanged key is still the row's own.
    void check_keys(const std::vector<Value>& r, std::int64_t self,
                    const std::vector<bool>* changed = nullptr);
    std::int64_t insert_row(std::vector<Value>& r);
    bool passes(std::int64_t rid);
    void post();

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

}  // namespace pavo::tables
