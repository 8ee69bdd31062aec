// Shared set-up of the payments report tests: a private home with a payment table and a
// configuration record in c:\mydata\db, and records chosen for the report's edge cases.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "job_report_fixture.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "support/temp_home.h"
#include "tables/table.h"
#include "utility/tkit.h"

namespace pavo::records::test {

class PaymentsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(home_.drive_c() / "mydata" / "db");
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("PAVODEN2.DB"));
        store::TableSetCreator::create_table_in(kDb, *store::find_table_schema("CONFIG.DB"));
        payments_.set_database_name(kDb);
        payments_.set_table_name("PAVODEN2.DB");
        payments_.set_index_name("YYYYMMDD_");
        payments_.open();
        config_.set_database_name(kDb);
        config_.set_table_name("CONFIG.DB");
        config_.open();
        // The new table holds its initial record; the test's names replace it.
        config_.first();
        if (config_.eof())
            config_.append();
        else
            config_.edit();
        const Row cfg{{"MY_NAME", "JOHN O'NEIL"},
                      {"MY_ADDRESS", "12 \"OLD\" MILL RD"},
                      {"MY_CITY", "ANYTOWN"},
                      {"MY_STATE", "CO"},
                      {"MY_ZIP", "80000"},
                      {"EX_SPOUSE_NAME", "J\xC3\x93ZSEFA N\xC3\x89METH"},
                      {"EX_SPOUSE_SSAN", "000-00-0000"},
                      {"EX_SPOUSE_ADDRESS", "456 OTHER ST"},
                      {"EX_SPOUSE_CITY", "OTHERTOWN"},
                      {"EX_SPOUSE_STATE", "COLORADO"},
                      {"EX_SPOUSE_ZIP", "80001"}};
        for (const auto& [k, v] : cfg) config_.field(k).set_as_string(v);
        config_.post();
    }

    // Appends a payment: the item date and its key, then the given fields.
    void add(const std::string& item_date, const Row& fields) {
        payments_.append();
        payments_.field("ITEM_DATE").set_as_string(item_date);
        payments_.field("YYYYMMDD")
            .set_as_string(tkit_Date_To_YYYYMMDD(payments_.field("ITEM_DATE").as_date()));
        for (const auto& [k, v] : fields) payments_.field(k).set_as_string(v);
        payments_.post();
    }

    // Records for the golden reports: every default category and some outside it, full-size and
    // non-ASCII texts, apostrophes and quotes, empty dates and amounts, negative and over-wide
    // amounts, item files and memos, a returned date and a month.
    void fill_edge_cases() {
        add("12/31/2003", {{"CATEGORY", "SPOUSAL SUPPORT"},
                           {"CHECK_NBR", "1001"},
                           {"SS_AMT", "1250"},
                           {"RP_AMT", "0"},
                           {"DATE_SENT", "12/31/2003"},
                           {"DATE_AVAIL", "1/2/2004"},
                           {"DATE_DEL", "1/3/2004"},
                           {"DATE_CLEAR", "1/9/2004"},
                           {"DAYS_SENT_TO_AVAIL", "2"},
                           {"DAYS_SENT_TO_DEL", "3"},
                           {"DAYS_AVAIL_TO_DEL", "1"},
                           {"DAYS_DEL_TO_CLEAR", "6"},
                           {"DAYS_SENT_TO_CLEAR", "9"},
                           {"MONTH_YEAR", "12/1/2003"},
                           {"CARRIER", "USPS - PRIORITY"},
                           {"CARR_NBR", "EA123456789US"},
                           {"ITEM", "DECEMBER'S \"SUPPORT\""},
                           {"COMMENT", "ON TIME"},
                           {"ITEM_FILE", "\\scans\\2003\\dec.pdf"},
                           {"MEMO", "first memo line\r\nsecond memo line\r\n"}});
        add("2/29/2004", {{"CATEGORY", "RETIRED PAY"},
                          {"CHECK_NBR", "100002"},
                          {"RP_AMT", "19.985"},
                          {"SS_AMT", "-250.5"},
                          {"CS_AMT", "12345678.9"},
                          {"OTHER_AMT", "0.005"},
                          {"DATE_RETURNED", "3/4/2004"},
                          {"DAYS_SENT_TO_CLEAR", "-1"},
                          {"CARRIER", std::string(40, 'C')},
                          {"CARR_NBR", std::string(40, '9')},
                          {"ITEM", std::string(69, 'I') + "\xC3\x89"},
                          {"COMMENT", "M\xC3\xBC" + std::string(68, 'x')}});
        add("1/15/2004", {{"CATEGORY", "PAYMENT"}, {"SS_AMT", "100"}, {"MEMO", "one line only"}});
        add("1/16/2004", {{"CATEGORY", "PAYMENTS"}, {"SS_AMT", "200"}});
        add("1/17/2004", {{"CATEGORY", "payment"}, {"SS_AMT", "400"}});
        add("1/18/2004", {{"CATEGORY", "GROCERIES"}, {"SS_AMT", "800"}});
        add("1/19/2004", {{"CATEGORY", std::string(23, 'Z') + "\xC3\x85\xC3\x85"},
                          {"OTHER_AMT", "1"},
                          {"ITEM", "O'BRIEN'S CHECK"}});
        add("12/31/2004", {{"CATEGORY", "MORTGAGE PAYMENT"}, {"RP_AMT", "1234567.89"}});
    }

    pavo::testing::TempHome home_;
    tables::Table payments_;
    tables::Table config_;
};

}  // namespace pavo::records::test
