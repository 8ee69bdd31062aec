// The shared datasets every window works through, opened on the alias PAVODEN2.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

namespace pavo::store {

// Holds the nineteen shared datasets, each set up with its table, order and options, and opens
// them all. Construction fails with the table layer's pavo::Error when the alias, its folder or a
// table is missing or unreadable (the text names what is missing); nothing stays open then.
class DataModule {
  public:
    // Opens every dataset through the alias (normally "PAVODEN2").
    explicit DataModule(const std::string& alias = "PAVODEN2");
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    tables::Table table_config;
    tables::Table table_pavoden;
    tables::Table table_jsearch2;
    tables::Table table_comment;
    tables::Table table_comment_js;
    tables::Table table_contact_name;
    tables::Table table_city;
    tables::Table table_time;
    tables::Table table_reason;
    tables::Table table_position_title;
    tables::Table table_position_type;
    tables::Table table_position_code;
    tables::Table table_item;
    tables::Table table_sengine;
    tables::Table table_category;
    tables::Table table_carrier;
    tables::Table table_stat_jt;
    tables::Table table_stat_st;
    tables::Table table_js_edit;

    // A dataset by its name ("table_city"); nullptr when there is none.
    tables::Table* dataset(std::string_view name);
    // The dataset names with the names of their data sources ("table_city", "ds_city"), in order.
    static const std::vector<std::pair<std::string, std::string>>& dataset_names();

    // The program-wide instance (DataModule2), set while one exists.
    static DataModule* instance();

  private:
    void configure(const std::string& alias);
};

}  // namespace pavo::store
