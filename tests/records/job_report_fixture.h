// Shared set-up of the report tests: a private home with a job-search table and a configuration
// table in c:\mydata\db, filled with records chosen for the report's edge cases.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "support/temp_home.h"
#include "tables/table.h"

namespace pavo::records::test {

inline const std::string kDb = "c:\\mydata\\db";

using Row = std::map<std::string, std::string>;

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // DATE may be empty here: a table carried over from elsewhere can hold such rows.
        std::filesystem::create_directories(home_.drive_c() / "mydata" / "db");
        store::TableSchema jobs = *store::find_table_schema("jsearch2.DB");
        for (auto& f : jobs.fields)
            if (f.name == "DATE") f.required = false;
        store::TableSetCreator::create_table_in(kDb, jobs);
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("CONFIG.DB"));
        open(jobs_, "jsearch2.DB");
        open(config_, "CONFIG.DB");
    }

    static void open(tables::Table& t, const std::string& name) {
        t.set_database_name(kDb);
        t.set_table_name(name);
        t.open();
    }

    void add(const Row& row) {
        jobs_.append();
        for (const auto& [name, value] : row) jobs_.field(name).set_as_string(value);
        jobs_.post();
    }

    // A record with every required field set; the given fields override.
    void add_job(int refnum, const std::string& date, const std::string& time, Row extra = {}) {
        Row r{{"REFNUM", std::to_string(refnum)},
              {"TIME", time},
              {"CONTACT_NAME", "R. LEE"},
              {"POS_TYPE", "FT"},
              {"POS_CITY", "DENVER"},
              {"POS_STATE", "CO"},
              {"POS_TITLE", "NETWORK ENGINEER"},
              {"SUBMITTED", "True"},
              {"ACTIVE", "True"}};
        if (!date.empty()) {
            r["DATE"] = date;
            auto slash1 = date.find('/'), slash2 = date.rfind('/');
            char ymd[16];
            std::snprintf(ymd, sizeof ymd, "%s%02d%02d", date.substr(slash2 + 1).c_str(),
                          std::stoi(date.substr(0, slash1)),
                          std::stoi(date.substr(slash1 + 1, slash2 - slash1 - 1)));
            r["YYYYMMDD"] = ymd;
        } else {
            r["YYYYMMDD"] = "00000000";
        }
        for (auto& [k, v] : extra) r[k] = v;
        add(r);
    }

    // The records every golden file is written from: ties in date and time, state and city, type;
    // month and year ends; each form of SUBMITTED; values longer than their columns; control
    // characters; non-ASCII letters; item files on some.
    void fill_edge_cases() {
        add_job(1, "12/31/2003", "23:50",
                {{"SUBMITTED", "False"},
                 {"COMMENT", "ends the year"},
                 {"ITEM_FILE", "c:\\res\\a.doc"}});
        add_job(2, "1/1/2004", "08:00",
                {{
                     "SUBMITTED",
                     "",
                 },
                 {"POS_STATE", "AZ"},
                 {"POS_CITY", "PHOENIX"},
                 {"CONTACT_NAME", "ANNE"}});
        add_job(3, "1/31/2004", "08:00",
                {{"SUBMITTED", "FALSE"},
                 {"REASON_NO_SUBMIT", std::string(132, 'R')},
                 {"POS_TITLE", std::string(60, 'T') + std::string(20, 'x')},
                 {"COMMENT", std::string(100, 'c') + std::string(155, 'd')},
                 {"CONTACT_NAME", std::string(30, 'N') + std::string(20, 'n')}});
        add_job(4, "1/31/2004", "08:00",
                {{"SUBMITTED", "false"},
                 {"POS_TYPE", "CT"},
                 {"ACTIVE", "False"},
                 {"COMMENT", "line one\r\nline two\tafter a tab"}});
        add_job(5, "2/29/2004", "17:15",
                {{"POS_CITY",
                  "M\xC3\x9C"
                  "NCHEN"},
                 {"POS_STATE", "AZ"},
                 {"CONTACT_NAME", "Jos\xC3\xA9 Mu\xC3\xB1oz \xE2\x80\x94 Zo\xC3\xAB"},
                 {"POS_TITLE", std::string(38, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9"},
                 {"ITEM_FILE", "c:\\res\\e.pdf"}});
        add_job(6, "", "09:00", {{"POS_TYPE", "PT"}, {"COMMENT", "no date on record"}});
        add_job(7, "12/31/2004", "23:59", {{"SUBMITTED", "yes"}, {"POS_CITY", "BOULDER"}});
    }

    std::string host(const std::string& name) { return (home_.path() / name).string(); }

    testing::TempHome home_;
    tables::Table jobs_;
    tables::Table config_;
};

inline std::string golden_path(const std::string& name) {
    return std::string(PAVO_RECORDS_TEST_DATA) + "/" + name;
}

// Compares a written file with its golden copy; with PAVO_UPDATE_GOLDEN set in the environment the
// golden copy is rewritten instead (review the difference before committing it).
inline void expect_golden(const std::string& written, const std::string& golden) {
    std::string actual = read_whole_file(written);
    if (std::getenv("PAVO_UPDATE_GOLDEN")) {
        write_file_atomically(golden_path(golden), actual);
        return;
    }
    EXPECT_EQ(actual, read_whole_file(golden_path(golden))) << golden;
}

}  // namespace pavo::records::test
