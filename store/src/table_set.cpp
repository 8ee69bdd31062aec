// Building a new table set: the folder checks, the nineteen tables in order, the progress lines.
#include "store/table_set.h"

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"

namespace pavo::store {

namespace {

const char kTempAlias[] = "TEMPDB";

const TableSchema& schema_by_method(const std::string& method) {
    for (const auto& t : schema())
        if (t.method == method) return t;
    throw Error(ErrorKind::kInternal, "No table is made by " + method);
}

}  // namespace

TableSetCreator::TableSetCreator(LineSink sink) : sink_(std::move(sink)) {}

std::string TableSetCreator::set_directory(const std::string& name) {
    return "C:\\MYDATA\\KV-DB\\PAVODEN2\\DB\\" + name + "\\";
}

CreateOutcome TableSetCreator::create(const std::string& name) {
    sink_("Attempting to create directory");
    if (name.empty()) return CreateOutcome::kEmptyName;
    if (name.find('.') != std::string::npos) return CreateOutcome::kHasFullStop;

    for (const char* level : {"C:\\MYDATA", "C:\\MYDATA\\KV-DB", "C:\\MYDATA\\KV-DB\\PAVODEN2",
                              "C:\\MYDATA\\KV-DB\\PAVODEN2\\DB\\"})
        (void)make_directory(level);

    // The set's own folder must be new: a set is never written into a folder that existed.
    MkdirResult made = make_directory("C:\\MYDATA\\KV-DB\\PAVODEN2\\DB\\" + name);
    if (!made.ok()) {
        sink_("Operating System Error code : " + std::to_string(made.error) + " - " + made.text);
        sink_(
            "If error is \"Operating System Error code : 5 - Permission denied\", the directory "
            "may already exist");
        sink_("Process stopped");
        return CreateOutcome::kDirectoryFailed;
    }

    name_ = name;
    for (const auto& t : schema()) create_by_method(t.method);

    sink_("");
    sink_("Done.....Please close screen or create another one.......");
    sink_("Creating this database DOESN'T change you to it...");
    return CreateOutcome::kDone;
}

void TableSetCreator::create_table_in(const std::string& database, const TableSchema& schema,
                                      const std::function<void()>& before_rows) {
    tables::Table table;
    table.set_database_name(database);
    table.set_table_name(schema.file_name);
    table.set_field_defs(schema.fields);
    table.set_index_defs(schema.indexes);
    table.create_table();
    if (schema.initial_rows.empty()) return;
    if (before_rows) before_rows();
    table.open();
    tables::CommandScope batch;
    for (const auto& row : schema.initial_rows) {
        table.append();
        for (std::size_t i = 0; i < row.size(); ++i)
            table.field(static_cast<int>(i)).set_as_string(row[i]);
        table.post();
    }
    batch.commit();
    table.close();
}

void TableSetCreator::create_by_method(const std::string& method) {
    const TableSchema& t = schema_by_method(method);
    sink_(t.lines_before_rows.front());

    AliasConfig& aliases = AliasConfig::current();
    if (aliases.exists(kTempAlias)) aliases.remove(kTempAlias);
    aliases.add_standard(kTempAlias, set_directory(name_), "Paradox", /*in_memory_only=*/true);

    create_table_in(kTempAlias, t, [&] {
        for (std::size_t i = 1; i < t.lines_before_rows.size(); ++i) sink_(t.lines_before_rows[i]);
    });
    for (const auto& line : t.lines_after_rows) sink_(line);
}

void TableSetCreator::create_pavoden2_table() {
    create_by_method("create_pavoden2_table");
}
void TableSetCreator::create_stats_state_table() {
    create_by_method("create_stats_state_table");
}
void TableSetCreator::create_stats_job_title_table() {
    create_by_method("create_stats_job_title_table");
}
void TableSetCreator::create_carrier_table() {
    create_by_method("create_carrier_table");
}
void TableSetCreator::create_category_table() {
    create_by_method("create_category_table");
}
void TableSetCreator::create_Contact_Name_table() {
    create_by_method("create_Contact_Name_table");
}
void TableSetCreator::create_config_table() {
    create_by_method("create_config_table");
}
void TableSetCreator::create_item_table() {
    create_by_method("create_item_table");
}
void TableSetCreator::create_jsearch2_table() {
    create_by_method("create_jsearch2_table");
}
void TableSetCreator::create_poscode_table() {
    create_by_method("create_poscode_table");
}
void TableSetCreator::create_posqual_table() {
    create_by_method("create_posqual_table");
}
void TableSetCreator::create_postitle_table() {
    create_by_method("create_postitle_table");
}
void TableSetCreator::create_time10_table() {
    create_by_method("create_time10_table");
}
void TableSetCreator::create_reason_table() {
    create_by_method("create_reason_table");
}
void TableSetCreator::create_city_table() {
    create_by_method("create_city_table");
}
void TableSetCreator::create_search_engine_table() {
    create_by_method("create_search_engine_table");
}
void TableSetCreator::create_comment_table() {
    create_by_method("create_comment_table");
}
void TableSetCreator::create_comment_job_search_table() {
    create_by_method("create_comment_job_search_table");
}
void TableSetCreator::create_job_search_edit_table() {
    create_by_method("create_job_search_edit_table");
}

}  // namespace pavo::store
