// Set-up shared by the statistics tests: the report fixture's job-search and configuration tables
// plus the title and state statistics tables and the position title table, with helpers to fill
// and read them.
#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "job_report_fixture.h"
#include "records/job_stats.h"

namespace pavo::records::test {

class StatsTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        for (const char* name : {"STATS_JT.DB", "STATS_ST.DB", "POSTITLE.DB"})
            store::TableSetCreator::create_table_in(kDb, *store::find_table_schema(name));
        open(jt_, "STATS_JT.DB");
        jt_.set_index_field_names("ORDER;CATEGORY");
        open(st_, "STATS_ST.DB");
        open(titles_, "POSTITLE.DB");
    }

    // A record with only what counting reads; the rest as add_job fills it.
    void add_titled(const std::string& title, const std::string& date = "3/15/2004",
                    const std::string& state = "CO", const std::string& submitted = "True") {
        add_job(++refnum_, date, "09:00",
                {{"POS_TITLE", title}, {"POS_STATE", state}, {"SUBMITTED", submitted}});
    }

    // A title statistics row; an empty order leaves ORDER empty.
    void add_category(const std::string& order, const std::string& category,
                      const std::string& reason = "R") {
        jt_.append();
        if (!order.empty()) jt_.field("ORDER").set_as_string(order);
        jt_.field("CATEGORY").set_as_string(category);
        jt_.field("REASON_NOT_SUBMITTED").set_as_string(reason);
        jt_.field("COUNT").set_as_string("7");
        jt_.post();
    }

    void add_state(const std::string& state) {
        st_.append();
        st_.field("STATE").set_as_string(state);
        st_.field("COUNT").set_as_string("7");
        st_.post();
    }

    void add_position_title(const std::string& title) {
        titles_.append();
        titles_.field("POS_TITLE").set_as_string(title);
        titles_.post();
    }

    // (key, COUNT, PERCENTAGE) of every row, read through a fresh dataset in primary order.
    using Counted = std::tuple<std::string, long long, double>;
    std::vector<Counted> counted(const std::string& table, const std::string& key) {
        tables::Table t;
        open(t, table);
        std::vector<Counted> rows;
        for (t.first(); !t.eof(); t.next())
            rows.emplace_back(t.field(key).as_string(),
                              static_cast<long long>(t.field("COUNT").as_float()),
                              t.field("PERCENTAGE").as_float());
        return rows;
    }

    std::vector<std::string> values(const std::string& table, const std::string& field) {
        tables::Table t;
        open(t, table);
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next()) out.push_back(t.field(field).as_string());
        return out;
    }

    int refnum_ = 0;
    tables::Table jt_, st_, titles_;
};

}  // namespace pavo::records::test
