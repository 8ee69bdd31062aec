// Table: creating, deleting and emptying table files, and batch copies between tables.
#include "platform/error.h"
#include "platform/file_system.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

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

}  // namespace pavo::tables

namespace pavo::tables {

namespace {

bool has_autoinc(const TableImpl& t) {
    for (const FieldDef& f : t.fields())
        if (f.type == FieldType::kAutoInc) return true;
    return false;
}

// The highest number used or handed out so far: the larger of SQLite's counter and the highest
// row number (a row given its own number does not move the counter).
std::int64_t highest_number(Connection& conn) {
    Stmt& s = conn.stmt(
        "SELECT max(ifnull((SELECT seq FROM sqlite_sequence WHERE name='data'),0),"
        " ifnull((SELECT max(rid) FROM data),0))");
    StmtUse use(s);
    if (sqlite3_step(*use) != SQLITE_ROW) conn.fail("reading the auto-increment number");
    return sqlite3_column_int64(*use, 0);
}

}  // namespace

std::int64_t Table::next_autoinc() const {
    TableImpl& t = *impl_;
    t.require_open();
    if (!has_autoinc(t))
        throw Error(ErrorKind::kInvalidInput, "Table has no auto-increment field: " + t.table);
    return highest_number(*t.conn) + 1;
}

void Table::set_next_autoinc(std::int64_t next) {
    TableImpl& t = *impl_;
    t.require_open();
    if (t.state != DatasetState::kBrowse)
        throw Error(ErrorKind::kInvalidInput, "Table is being edited: " + t.table);
    if (!has_autoinc(t))
        throw Error(ErrorKind::kInvalidInput, "Table has no auto-increment field: " + t.table);
    const std::int64_t highest = highest_number(*t.conn);
    if (next <= highest)
        throw Error(ErrorKind::kInvalidInput,
                    "Auto-increment number " + std::to_string(next) + " of " + t.table +
                        " is not above the highest number used, " + std::to_string(highest));
    t.write([&] {
        // The counter holds the last number handed out; SQLite gives the next row seq + 1.
        Stmt& up = t.conn->stmt("UPDATE sqlite_sequence SET seq = ? WHERE name = 'data'");
        {
            StmtUse use(up);
            sqlite3_bind_int64(*use, 1, next - 1);
            if (sqlite3_step(*use) != SQLITE_DONE)
                t.conn->fail("setting the auto-increment number");
        }
        if (sqlite3_changes(t.conn->db()) == 0) {
            Stmt& ins = t.conn->stmt("INSERT INTO sqlite_sequence(name, seq) VALUES('data', ?)");
            StmtUse use(ins);
            sqlite3_bind_int64(*use, 1, next - 1);
            if (sqlite3_step(*use) != SQLITE_DONE)
                t.conn->fail("setting the auto-increment number");
        }
    });
}

}  // namespace pavo::tables
