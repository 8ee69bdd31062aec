// Table: the view of ordered row numbers, the row cache with its read-ahead, and navigation.
#include <algorithm>
#include <cstdlib>

#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

void TableImpl::load_view(std::int64_t keep) {
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
    while ((rc = sqlite3_step(*use)) == SQLITE_ROW) fresh.push_back(sqlite3_column_int64(*use, 0));
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

Row TableImpl::read_columns(sqlite3_stmt* st) {
    return Row::from_statement(st, 1, static_cast<int>(fields().size()));
}

void TableImpl::fetch_block(int p) {
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

Row TableImpl::fetch_one(std::int64_t rid) {
    Stmt& s = conn->stmt(one_sql);
    StmtUse use(s);
    sqlite3_bind_int64(*use, 1, rid);
    int rc = sqlite3_step(*use);
    if (rc == SQLITE_ROW) return read_columns(*use);
    if (rc != SQLITE_DONE) conn->fail("reading a row");
    return gone_row();
}

void TableImpl::drop_cache() {
    cache.clear();
    std::fill(row_ptr.begin(), row_ptr.end(), nullptr);
    last_row = nullptr;
    streak = 0;
}

void TableImpl::load_whole_view() {
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

std::string TableImpl::column_list() const {
    std::string cols;
    for (std::size_t i = 0; i < fields().size(); ++i)
        cols += ", " + column_name(static_cast<int>(i));
    return cols;
}

void TableImpl::reread() noexcept {
    drop_cache();
    if (state == DatasetState::kInactive) return;
    mark_view_stale();
    // Observers repaint from the file; one that fails to read must not stop the rollback that
    // called here.
    try {
        notify(EventKind::kDataChanged);
    } catch (...) {
    }
}

const Row& TableImpl::row_at(int p, bool block) {
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

// ---------------------------------------------------------------------------------------------
// Navigation

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

}  // namespace pavo::tables
