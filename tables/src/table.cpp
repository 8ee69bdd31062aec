// Table: configuration, opening and closing, fields and the edit buffer; the state lives in
// table_impl.h.
#include "tables/table.h"

#include <algorithm>
#include <cmath>

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

[[noreturn]] void not_open() {
    throw Error(ErrorKind::kInvalidInput, "Cannot perform this operation on a closed dataset");
}

fs::path TableImpl::resolve_file() const {
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

int TableImpl::field_index(const std::string& name) const {
    int i = find_field(fields(), name);
    if (i < 0) throw Error(ErrorKind::kNotFound, "Field '" + name + "' not found");
    return i;
}

std::vector<int> TableImpl::field_list(const std::string& list) const {
    std::vector<int> out;
    for (const auto& f : split_fields(list)) out.push_back(field_index(f));
    return out;
}

const FieldDef& TableImpl::field_def(int i) const {
    const auto& f = fields();
    if (i < 0 || i >= static_cast<int>(f.size()))
        throw Error(ErrorKind::kNotFound, "Field " + std::to_string(i) + " not found");
    return f[static_cast<std::size_t>(i)];
}

ValueView TableImpl::current_value(int i) {
    field_def(i);
    if (state == DatasetState::kEdit || state == DatasetState::kInsert) return view_of(buffer[i]);
    ensure_view();
    if (state == DatasetState::kInactive) not_open();
    if (rids.empty()) return {};
    return row_at(pos).get(i);
}

void TableImpl::prepare_statements() {
    std::string cols;
    std::string params;
    for (std::size_t i = 0; i < fields().size(); ++i) {
        cols += ", " + column_name(static_cast<int>(i));
        params += ", ?";
    }
    block_sql = "SELECT rid" + cols + " FROM data WHERE rid IN (?";
    for (int i = 1; i < kBlock; ++i) block_sql += ",?";
    block_sql += ")";
    one_sql = "SELECT rid" + cols + " FROM data WHERE rid = ?";
    insert_sql = "INSERT INTO data(rid" + cols + ") VALUES(?" + params + ")";
}

void TableImpl::check_required(const std::vector<Value>& r) {
    const auto& f = fields();
    for (std::size_t i = 0; i < f.size(); ++i)
        if (f[i].required && f[i].type != FieldType::kAutoInc && r[i].is_null())
            throw Error(ErrorKind::kRequired, "Field '" + f[i].name + "' must have a value.");
}

void TableImpl::check_keys(const std::vector<Value>& r, std::int64_t self,
                           const std::vector<bool>* changed) {
    for (const auto& d : indexes()) {
        if (!d.primary && !d.unique) continue;
        auto cols = field_list(d.fields);
        if (changed && std::none_of(cols.begin(), cols.end(), [&](int c) { return (*changed)[c]; }))
            continue;
        bool nocase = d.case_insensitive && !d.primary;
        std::string sql = "SELECT rid FROM data WHERE rid <> ?";
        for (int c : cols)
            sql += " AND " + column_name(c) +
                   (r[c].is_null()
                        ? " IS NULL"
                        : std::string(" = ?") + (nocase ? " COLLATE NOCASE" : " COLLATE BINARY"));
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
            for (int c : cols) key += (key.empty() ? "" : ";") + text_from_value(fields()[c], r[c]);
            throw Error(ErrorKind::kKeyViolation,
                        "Key violation.\nTable: " + table + "\nKey: " + key);
        }
        if (rc != SQLITE_DONE) conn->fail("checking keys");
    }
}

std::int64_t TableImpl::insert_row(std::vector<Value>& r) {
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

bool TableImpl::passes(std::int64_t rid) {
    if (!filter_applied) return true;
    Stmt& s = conn->stmt("SELECT 1 FROM data WHERE rid = ? AND (" + cfilter.sql + ")");
    StmtUse use(s);
    sqlite3_bind_int64(*use, 1, rid);
    bind_filter(*use, 2);
    int rc = sqlite3_step(*use);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) conn->fail("filtering");
    return rc == SQLITE_ROW;
}

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
                    sql += (first ? "" : ", ") + column_name(static_cast<int>(i)) + " = ?";
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
    t.conn->attach(&t);
    t.state = DatasetState::kBrowse;
    t.notify(EventKind::kStateChanged);
    t.notify(EventKind::kDataChanged);
}

void Table::close() {
    TableImpl& t = *impl_;
    if (t.state == DatasetState::kInactive) return;
    t.state = DatasetState::kInactive;
    t.view_stale = false;
    t.conn->detach(&t);
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
    t.original = t.buffer;
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

void TableImpl::cancel() {
    if (state != DatasetState::kEdit && state != DatasetState::kInsert) return;
    bool inserting = state == DatasetState::kInsert;
    state = DatasetState::kBrowse;
    bof = eof = rids.empty();
    notify(EventKind::kStateChanged);
    if (inserting) notify(EventKind::kDataChanged);
}

void Table::cancel() {
    impl_->cancel();
}

bool TableImpl::modified() const {
    if (state == DatasetState::kInsert)
        return std::find(dirty.begin(), dirty.end(), true) != dirty.end();
    if (state != DatasetState::kEdit) return false;
    // A field set back to what it held leaves the row unmodified.
    for (std::size_t i = 0; i < dirty.size(); ++i)
        if (dirty[i] && !(buffer[i] == original[i])) return true;
    return false;
}

bool Table::modified() const {
    return impl_->modified();
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
