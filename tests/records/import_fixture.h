// Shared set-up of the import and step tests: a private home with the job-search table and the
// lists the import and the steps write, opened in the orders the program's shared datasets use.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/drive_map.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "support/temp_home.h"
#include "tables/table.h"

namespace pavo::records::test {

inline const std::string kImportDb = "c:\\mydata\\db";

using Row = std::map<std::string, std::string>;

class ImportTablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(home_.drive_c() / "mydata" / "db");
        for (const char* name : {"CITY.db", "JS_EDIT.db", "REASON.db", "CONTACT_NAME.DB",
                                 "POSTITLE.DB", "STATS_JT.DB"})
            store::TableSetCreator::create_table_in(kImportDb, *store::find_table_schema(name));
        store::TableSchema jobs = *store::find_table_schema("jsearch2.DB");
        adjust_jobs_schema(jobs);
        store::TableSetCreator::create_table_in(kImportDb, jobs);
        open(jobs_, "jsearch2.DB");
        jobs_.set_index_name("YYYYMMDD_TIME_DESCENDING");
        open(city_, "CITY.db", "CITY");
        open(js_edit_, "JS_EDIT.db");
        open(reason_, "REASON.db", "REASON");
        open(contact_, "CONTACT_NAME.DB", "CONTACT_NAME");
        open(postitle_, "POSTITLE.DB");
        open(stats_, "STATS_JT.DB", "ORDER;CATEGORY");
    }

    // A test may change the job-search table's definition before it is made.
    virtual void adjust_jobs_schema(store::TableSchema&) {}

    static void open(tables::Table& t, const std::string& name, const std::string& order = "") {
        t.set_database_name(kImportDb);
        t.set_table_name(name);
        if (!order.empty()) t.set_index_field_names(order);
        if (!t.active()) t.open();
    }

    static void add(tables::Table& t, const Row& row) {
        t.append();
        for (const auto& [name, value] : row) t.field(name).set_as_string(value);
        t.post();
    }

    // A job-search record with every required field; the given fields override.
    void add_job(Row extra) {
        Row r{{"DATE", "3/5/2003"},     {"YYYYMMDD", "20030305"}, {"TIME", "00:00"},
              {"CONTACT_NAME", "ACME"}, {"POS_TYPE", "MU"},       {"POS_CITY", "DENVER"},
              {"POS_STATE", "CO"},      {"POS_TITLE", "DEV"},     {"REFNUM", "0"}};
        for (auto& [k, v] : extra) r[k] = v;
        add(jobs_, r);
    }

    // One field of every row, in the table's order (the view under its filter).
    static std::vector<std::string> column(tables::Table& t, const std::string& field) {
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next()) out.push_back(t.field(field).as_string());
        return out;
    }

    // Rows of a table file read through a fresh dataset in primary order, whatever the test's
    // datasets hold.
    static int stored_rows(const std::string& name) {
        tables::Table t;
        open(t, name);
        return t.record_count();
    }

    testing::TempHome home_;
    tables::Table jobs_, city_, js_edit_, reason_, contact_, postitle_, stats_;
};

}  // namespace pavo::records::test
