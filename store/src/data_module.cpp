// The shared datasets: their tables, orders and options, opened together on one alias.
#include "store/data_module.h"

#include "platform/alias_config.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "tables/file_layout.h"

namespace pavo::store {

namespace {

DataModule* g_instance = nullptr;

struct DatasetSetup {
    const char* dataset;
    const char* source;
    const char* table;
    const char* index_name;
    const char* index_fields;
    bool filter_case_insensitive;
};

// The order of this list is the order of opening.
const DatasetSetup kSetups[] = {
    {"table_config", "ds_config", "CONFIG.DB", "", "", false},
    {"table_pavoden", "ds_pavoden", "PAVODEN2.DB", "YYYYMMDD_", "", false},
    {"table_jsearch2", "ds_jsearch2", "jsearch2.DB", "YYYYMMDD_TIME_DESCENDING", "", true},
    {"table_comment", "ds_comment", "COMMENT.DB", "", "COMMENT", false},
    {"table_comment_js", "ds_comment_js", "COMMENT_JS.DB", "", "COMMENT", false},
    {"table_contact_name", "ds_Contact_Name", "CONTACT_NAME.DB", "", "CONTACT_NAME", false},
    {"table_city", "ds_city", "CITY.db", "", "CITY", false},
    {"table_time", "ds_time", "TIME10.DB", "", "24_HOUR", false},
    {"table_reason", "ds_reason", "REASON.db", "", "REASON", false},
    {"table_position_title", "ds_table_position_title", "POSTITLE.DB", "", "", false},
    {"table_position_type", "ds_position_type", "POSCODE.DB", "", "", false},
    {"table_position_code", "ds_position_code", "POSCODE.DB", "", "", false},
    {"table_item", "ds_item", "ITEM.DB", "", "ITEM", false},
    {"table_sengine", "ds_sengine", "SENGINES.DB", "", "", false},
    {"table_category", "ds_category", "Category.db", "", "CATEGORY", false},
    {"table_carrier", "ds_carrier", "Carrier.db", "", "CARRIER", false},
    {"table_stat_jt", "ds_stat_jt", "STATS_JT.DB", "", "ORDER;CATEGORY", false},
    {"table_stat_st", "ds_stat_st", "STATS_ST.DB", "", "", false},
    {"table_js_edit", "ds_js_edit", "JS_EDIT.db", "", "", false},
};

}  // namespace

DataModule::DataModule(const std::string& alias) {
    configure(alias);
    g_instance = this;
}

DataModule::~DataModule() {
    if (g_instance == this) g_instance = nullptr;
}

DataModule* DataModule::instance() {
    return g_instance;
}

const std::vector<std::pair<std::string, std::string>>& DataModule::dataset_names() {
    static const std::vector<std::pair<std::string, std::string>> names = [] {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& s : kSetups) out.emplace_back(s.dataset, s.source);
        return out;
    }();
    return names;
}

tables::Table* DataModule::dataset(std::string_view name) {
    tables::Table* all[] = {
        &table_config,     &table_pavoden,        &table_jsearch2,      &table_comment,
        &table_comment_js, &table_contact_name,   &table_city,          &table_time,
        &table_reason,     &table_position_title, &table_position_type, &table_position_code,
        &table_item,       &table_sengine,        &table_category,      &table_carrier,
        &table_stat_jt,    &table_stat_st,        &table_js_edit};
    static_assert(sizeof(all) / sizeof(all[0]) == sizeof(kSetups) / sizeof(kSetups[0]));
    for (std::size_t i = 0; i < sizeof(kSetups) / sizeof(kSetups[0]); ++i)
        if (name == kSetups[i].dataset) return all[i];
    return nullptr;
}

void DataModule::configure(const std::string& alias) {
    // Name the missing piece plainly: the alias, then its folder; the table layer names a table.
    std::string folder = AliasConfig::current().path(alias);
    fs::path host = DriveMap::current().to_host(folder);
    if (!file_system().is_directory(host))
        throw Error(ErrorKind::kNotFound,
                    "Directory of alias " + alias + " does not exist: " + folder);

    try {
        for (const auto& s : kSetups) {
            tables::Table* t = dataset(s.dataset);
            t->set_database_name(alias);
            t->set_table_name(s.table);
            if (*s.index_name) t->set_index_name(s.index_name);
            if (*s.index_fields) t->set_index_field_names(s.index_fields);
            t->set_filter_case_insensitive(s.filter_case_insensitive);
            // A table made with numbered columns gets named ones before its first open. One
            // that cannot be converted now (open elsewhere, say) works as it is; open() reports
            // a missing or damaged table itself.
            try {
                tables::upgrade_table_file(t->file_path());
            } catch (const Error&) {
            }
            t->open();
        }
    } catch (...) {
        for (const auto& s : kSetups) dataset(s.dataset)->close();
        throw;
    }
}

}  // namespace pavo::store
