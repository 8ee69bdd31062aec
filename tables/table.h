// Datasets with Paradox semantics over one SQLite file per table: the table layer of the program.
//
// A Table names a database (an alias, or a logical folder such as c:\mydata\db), a table
// ("PAVODEN2.DB"; a name without extension gets ".db"), an order (index name or index field list),
// a filter and an exclusive switch, then opens. The file is found case-insensitively through the
// drive map. Every failure throws pavo::Error; the texts named below are the user's texts.
//
// Durability: each table file uses SQLite's rollback journal with synchronous writes, so a posted
// row always lives in the table file itself once committed, and a file read by another program
// between two commands is complete. Outside a CommandScope every post, delete and empty commits at
// once. Inside a CommandScope writes are grouped: they commit when the outermost scope ends, at
// every CommandScope::commit(), and at the first write after a transaction has been open for
// half a second, so a long scan is fast and a crash loses at most the last half second of it.
// Code that runs a user command should open one CommandScope around it and commit it explicitly
// (see CommandScope); without one a scan of tens of thousands of posts pays one synchronous commit
// per post. A Transaction takes its files out of that grouping until it ends.
//
// A commit SQLite refuses is never taken for done: its rows are rolled back, and every open Table
// on the file drops its cached rows and re-reads, so what the user sees is what the file holds.
//
// Several Table objects may be open on one table in a process; they share one connection, so each
// sees the others' posts when it re-reads (refresh(), or close and open). Rows are read lazily in
// blocks, so a 65,000-row table can be shown in a grid without reading every row.
//
// Not thread-safe: one thread (the user-interface thread) drives every table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pavo::tables {

enum class FieldType { kString, kDate, kFloat, kBoolean, kAutoInc, kMemo };

// Type name as written in definitions ("ftString", ...).
const char* field_type_name(FieldType type);

struct FieldDef {
    std::string name;
    FieldType type = FieldType::kString;
    int size = 0;  // characters for kString (1..255); informative for kMemo; ignored otherwise
    bool required = false;
};

struct IndexDef {
    std::string name;    // empty for the primary index
    std::string fields;  // "YYYYMMDD;TIME"
    bool primary = false;
    bool unique = false;
    bool descending = false;
    bool case_insensitive = false;
};

enum class DatasetState { kInactive, kBrowse, kEdit, kInsert };

// What observers hear about. kDataChanged: the rows or their order changed (open, refresh, filter,
// index, post, delete, cancel of an insert); kScrolled: another row became current; kStateChanged:
// inactive/browse/edit/insert changed; kFieldChanged: a field of the edit buffer was set
// (field_index says which).
enum class EventKind { kDataChanged, kScrolled, kStateChanged, kFieldChanged };

struct Event {
    EventKind kind;
    int field_index = -1;
};

struct LocateOptions {
    bool case_insensitive = false;
    bool partial_key = false;  // a text value matches a field that begins with it
};

// Opaque position of a row that survives other rows' changes (not a deletion of the row itself).
struct Bookmark {
    std::int64_t row = 0;
    bool valid() const { return row > 0; }
};

// value as a text constant of the filter language: in apostrophes, each apostrophe doubled.
// Filter texts built from values go through this, so a value never changes the expression.
std::string quote_filter_text(std::string_view value);

class Table;
struct TableImpl;
class Connection;

// A field of an open table, read from the current row (or the edit buffer while editing). A Field
// is a light handle: valid while its Table lives (kNotFound when the Table was reopened on a table
// without that field).
// Reads of an empty field give "", 0, 0 (30 Dec 1899) or false. Writes need edit or insert state
// (kInvalidInput otherwise); an empty text stores a null; a text longer than a kString field's
// size is cut to the size; a text that does not convert raises kConversion naming field and text.
// An auto-increment field is numbered on post; a new row may be given its number (a restored
// copy), which must be unused (kKeyViolation); an existing row's number never changes.
class Field {
  public:
    const std::string& name() const;
    FieldType type() const;
    int size() const;
    bool required() const;
    int index() const { return index_; }

    bool is_null() const;
    std::string as_string() const;
    // The number; a kString field's text is converted (kConversion when it is not a number).
    double as_float() const;
    // Days from 30 Dec 1899; kString is read as M/D/YYYY (kConversion otherwise).
    double as_date() const;
    bool as_boolean() const;
    std::int64_t as_integer() const;

    void set_as_string(std::string_view text);
    void set_as_float(double value);  // kConversion for NaN or infinity
    void set_as_date(double date);    // time of day dropped; kConversion outside years 1..9999
    void set_as_boolean(bool value);
    void clear();

  private:
    friend class Table;
    Field(TableImpl* impl, int index) : impl_(impl), index_(index) {}
    TableImpl* impl_;
    int index_;
};

class Table {
  public:
    Table();
    ~Table();  // closes (a pending edit is cancelled)
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // --- Configuration. Database and table name and exclusive need a closed table
    // (kInvalidInput otherwise); order and filter may change while open (the current row stays).
    void set_database_name(const std::string& name);
    void set_table_name(const std::string& name);
    // Selects a named index ("" for the primary order). kNotFound "Index does not exist: X" at once
    // while open (the old order stays), else at open.
    void set_index_name(const std::string& name);
    // Orders by the listed fields ("ORDER;CATEGORY"), using the index that starts with them.
    void set_index_field_names(const std::string& fields);
    // Sets the filter text. A text that does not parse is refused with kInvalidInput naming the
    // 1-based position and the token, and one nested too deeply for SQLite with kInvalidInput
    // "Filter is too complex: ..." naming the limit; the previous text stays. Chains of one
    // operator may be thousands of terms long. Unknown fields or constants that do not fit the
    // field's type are refused when the filter is applied (open or filtered on); check_filter
    // finds those first.
    void set_filter(const std::string& text);
    // Tries text as this table's filter without changing anything: throws as set_filter and
    // then applying it would (kInvalidInput, kNotFound for an unknown field, kConversion for a
    // constant that does not fit its field). A closed table is tried against its file's fields
    // (the errors of open() when the file is missing or damaged).
    void check_filter(const std::string& text) const;
    void set_filtered(bool on);
    void set_filter_case_insensitive(bool on);
    void set_exclusive(bool on);

    const std::string& database_name() const;
    const std::string& table_name() const;
    const std::string& index_name() const;
    const std::string& index_field_names() const;
    const std::string& filter() const;
    bool filtered() const;
    bool filter_case_insensitive() const;
    bool exclusive() const;

    // --- Table files.
    // The host path of the table file (it need not exist).
    std::string file_path() const;
    bool exists() const;
    // Definitions used by create_table(); after open() field_defs() reports the table's own.
    void set_field_defs(std::vector<FieldDef> defs);
    void set_index_defs(std::vector<IndexDef> defs);
    const std::vector<FieldDef>& field_defs() const;
    const std::vector<IndexDef>& index_defs() const;
    // Creates the table file from the definitions. kExists when the file exists and replace is
    // false; kLocked when it is open; kInvalidInput for bad definitions. The new file appears whole
    // (built beside it and renamed into place).
    void create_table(bool replace = false);
    // Removes the table file; kLocked while any Table has it open, kNotFound when missing.
    void delete_table();
    // Removes every row (open or closed; open Tables of this process see it when they re-read).
    void empty_table();
    // Sets the number the auto-increment field gives the next inserted row (a table brought over
    // from elsewhere goes on past the numbers it used there). Needs an open table in browse state
    // with an auto-increment field (kInvalidInput otherwise). Refuses (kInvalidInput) a number at
    // or below one in use or already handed out, so a number is never given twice; the file is
    // unchanged then.
    void set_next_autoinc(std::int64_t next);
    // The number the next inserted row would get (kInvalidInput when closed or without the field).
    std::int64_t next_autoinc() const;

    // --- Opening. kNotFound "Table does not exist: <file>"; kCorruption "<file> is not a table
    // file or is damaged" for a damaged file; kLocked "Table is busy: <file>" when an exclusive
    // open meets another open, or a shared open meets an exclusive one.
    void open();
    void close();
    bool active() const;
    // Re-reads rows and order; the current row stays current when it still passes.
    void refresh();

    // --- Navigation (a pending edit is posted first, as the user left the row).
    void first();
    void last();
    void next();
    void prior();
    // Moves by n rows (negative backwards), stopping at either end.
    void move_by(int n);
    bool eof() const;
    bool bof() const;
    // Rows under the filter in force; 1-based number of the current row (-1 while inserting).
    int record_count() const;
    int record_number() const;
    // Makes row n (1-based, clamped) current.
    void set_record_number(int n);
    // A field of row n (1-based) as text without moving: cheap positioned reads for grids.
    std::string text_at(int n, int field_index);

    // --- Fields.
    int field_count() const;
    Field field(const std::string& name);  // kNotFound "Field 'X' not found"
    Field field(int index);
    std::vector<std::string> field_names() const;
    // Names of the named indexes, in definition order (the primary index has no name).
    std::vector<std::string> index_names() const;

    // --- Editing.
    DatasetState state() const;
    void edit();    // on an empty table this inserts
    void insert();  // a blank row before the current one
    void append();  // a blank row at the end
    // Writes the edit buffer. kRequired "Field 'X' must have a value." for an empty required
    // field; kKeyViolation "Key violation." with the key for a duplicate primary key; the state
    // stays edit/insert on failure. After posting the row stands at its index position, current.
    // A row that no longer passes the filter leaves the view (the next row becomes current).
    void post();
    void cancel();
    void delete_record();  // the next row (or the new last) becomes current
    // True while editing when a field of the buffer differs from the row as read, and while
    // inserting once a field has been set. Leaving a row (navigation, searches, order and filter
    // changes) drops a new row nobody touched and posts any other pending edit (with post()'s
    // errors); post() itself writes even an untouched new row.
    bool modified() const;

    // --- Searching.
    Bookmark bookmark() const;
    // kNotFound "Record not found" when the row was deleted or is not under the filter.
    void goto_bookmark(const Bookmark& mark);
    bool bookmark_valid(const Bookmark& mark) const;
    // Makes current the first row whose key on the current order's fields is not before values
    // (fewer values than fields search on the leading fields); the last row when none is.
    void find_nearest(const std::vector<std::string>& values);
    // Exact search on the current order's leading fields; false leaves the position.
    bool find_key(const std::vector<std::string>& values);
    // First row (in the current order) that passes the filter text, even with filtering off.
    bool find_first();
    // First row of the view whose fields ("A;B") equal values (a value that does not convert to
    // its field's type: kConversion); false leaves the position. Answered from an index that
    // begins with those fields when there is one.
    bool locate(const std::string& fields, const std::vector<std::string>& values,
                LocateOptions options = {});
    // Whether the table file holds a row that locate would find and the filter in force passes,
    // without moving or posting (a pending edit is not looked at). Answered from an index that
    // begins with those fields when there is one, else by a scan; kInvalidInput when closed.
    bool has_row(const std::string& fields, const std::vector<std::string>& values,
                 LocateOptions options = {}) const;

    // --- Copying. Appends every row of source (under its filter; opened and closed if needed)
    // to this table; each mapping entry is "DEST=SOURCE" or one name for both; auto-increment
    // fields of this table are numbered here, not copied. All or nothing:
    // a failing row (key violation, ...) undoes the whole copy. Returns the number of rows copied.
    int batch_move_append(Table& source, const std::vector<std::string>& mapping);

    // --- Observers (the window kit binds controls through these).
    int add_observer(std::function<void(const Event&)> observer);
    void remove_observer(int id);
    // Nested suppression of notifications; the last enable sends kDataChanged.
    void disable_controls();
    void enable_controls();

  private:
    friend class Field;
    friend class Transaction;
    std::unique_ptr<TableImpl> impl_;
};

// Groups the writes of one user command (see the durability note at the top). Nested scopes join
// the outermost one. The end of the outermost scope commits what was posted, even when the
// command failed half way; as a destructor cannot throw, a refusal there is only kept for
// failed_commit(). So the code that runs a command calls commit() at its end (after a failure
// too), and shows what it throws.
// Files under an open Transaction are left alone by every commit point of a scope: their writes,
// whichever command makes them, wait for the transaction's own end.
class CommandScope {
  public:
    CommandScope();
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    // Commits every file written so far outside a Transaction (a commit point). When SQLite
    // refuses, that file's writes are rolled back, its open Tables re-read, the other files are
    // still committed, and the first refusal is thrown: kIO (kLocked for a busy file) naming the
    // table file as the user knows it and SQLite's reason. It also throws a refusal kept since the
    // outermost scope began (the last Table on a file closed with writes pending).
    void commit();
    // The text of a commit that failed where it could not be thrown (the outermost scope's end,
    // the last close of a file); empty when none. Cleared when an outermost scope begins.
    static std::string failed_commit();
};

// Rolls back unless committed. Over the files of the given open tables; may nest inside a
// CommandScope and inside another Transaction.
//
// Beginning commits the scope's pending writes on those files (a commit point) and then holds
// each file for writing: other processes still read the rows as they were, and cannot write
// them until it ends. While it is open, every write to
// those files belongs to it, whichever Table or command makes it (a command run from a modal
// window meanwhile included): no commit point of a CommandScope commits them, and its rollback
// undoes them. A Transaction is committed or rolled back only by itself; one begun inside another
// on the same file must end first (the outer commit() refuses with kInvalidInput until then; the
// outer rollback takes it along). A process that dies inside it leaves the files as they were
// before it began: SQLite rolls them back when they are next opened.
//
// Several files commit one after another. When a later file refuses, the files before it keep
// their rows and the message names them; the refusing file and those after it are rolled back.
class Transaction {
  public:
    // kInvalidInput for no table or a closed one; the errors of a busy file (kLocked) or of the
    // scope's commit. Nothing is held when it throws.
    explicit Transaction(std::vector<Table*> tables);
    ~Transaction();  // rolls back unless committed; never throws
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    // Throws pavo::Error naming the table and SQLite's reason; rolled back then. kInvalidInput
    // when it is no longer open or one begun inside it is still open (nothing changes then).
    void commit();
    // Every Table of those files re-reads; no posted row of it stays in a cache.
    void rollback();
    bool active() const;

  private:
    std::vector<std::shared_ptr<Connection>> conns_;
    std::vector<int> levels_;
    bool active_ = false;
};

}  // namespace pavo::tables
