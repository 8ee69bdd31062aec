// Saving job-search records with their keys, the related-records update, quick find, the job title
// edit mass changes, and the titles list's Save and Find Category, over tables in a private home.
#include "records/job_search_edits.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/error.h"
#include "store/schema.h"
#include "store/table_set.h"
#include "support/temp_home.h"
#include "utility/text_conv.h"

namespace pavo::records::test {
namespace {

using tables::DatasetState;
using tables::Table;

const std::string kDb = "c:\\mydata\\db";
using Row = std::map<std::string, std::string>;

class EditsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(home_.drive_c() / "mydata" / "db");
        for (const char* name : {"jsearch2.DB", "JS_EDIT.db", "STATS_JT.DB"})
            store::TableSetCreator::create_table_in(kDb, *store::find_table_schema(name));
        open(jobs_, "jsearch2.DB");
        jobs_.set_index_name("YYYYMMDD_TIME_DESCENDING");
        open(edits_, "JS_EDIT.db");
        open(stats_, "STATS_JT.DB");
        stats_.close();
        stats_.set_index_field_names(kTitleOrderFields);
        stats_.open();
    }
    static void open(Table& t, const std::string& name) {
        t.set_database_name(kDb);
        t.set_table_name(name);
        t.open();
    }
    static void add(Table& t, const Row& row) {
        t.append();
        for (const auto& [name, value] : row) t.field(name).set_as_string(value);
        t.post();
    }
    // A complete job-search record; extra fields override.
    void add_job(Row extra = {}) {
        Row r{{"DATE", "3/5/2004"},       {"YYYYMMDD", "20040305"}, {"TIME", "10:00"},
              {"CONTACT_NAME", "R. LEE"}, {"POS_TYPE", "FT"},       {"POS_CITY", "DENVER"},
              {"POS_STATE", "CO"},        {"ACTIVE", "True"}};
        for (auto& [k, v] : extra) r[k] = v;
        add(jobs_, r);
    }
    // Fills the required fields of the pending job-search record.
    void fill_required() {
        jobs_.field("TIME").set_as_string("09:10");
        jobs_.field("CONTACT_NAME").set_as_string("A. BOOTH");
        jobs_.field("POS_TYPE").set_as_string("CT");
        jobs_.field("POS_CITY").set_as_string("BOULDER");
        jobs_.field("POS_STATE").set_as_string("CO");
    }
    bool locate_job(const std::string& field, const std::string& value) {
        return jobs_.locate(field, {value});
    }
    std::map<std::string, std::string> edit_rows() {
        std::map<std::string, std::string> m;
        edits_.set_filtered(false);
        for (edits_.first(); !edits_.eof(); edits_.next())
            m[edits_.field("CHANGE_FROM").as_string()] =
                edits_.field("CHANGE_TO").as_string() + "|" +
                edits_.field("REASON_NO_SUBMIT").as_string();
        return m;
    }

    pavo::testing::TempHome home_;
    Table jobs_, edits_, stats_;
    const double date_ = *parse_short_date("6/14/2004");
    const double today_ = *parse_short_date("7/1/2004");
};

// --- Save's keys.

TEST_F(EditsTest, SaveSetsDateKeyAndRefnumOnceAndKeepsIt) {
    add_job();  // PK 1, REFNUM empty as an imported record might have
    jobs_.append();
    fill_required();
    const double refnum = save_job_search(jobs_, {date_, false, today_});
    EXPECT_EQ(jobs_.state(), DatasetState::kBrowse);
    ASSERT_TRUE(locate_job("YYYYMMDD", "20040614"));
    EXPECT_EQ(jobs_.field("PK").as_integer(), 2);
    EXPECT_EQ(refnum, 2);
    EXPECT_EQ(jobs_.field("REFNUM").as_string(), "2");
    EXPECT_EQ(jobs_.field("DATE").as_string(), "6/14/2004");
    EXPECT_TRUE(jobs_.field("ACTIVE_CHANGED").is_null()) << "a new record's ACTIVE is no change";

    // Saved again with a later date: REFNUM stays, the key follows the date.
    jobs_.edit();
    EXPECT_EQ(save_job_search(jobs_, {*parse_short_date("12/31/2004"), false, today_}), 2);
    ASSERT_TRUE(locate_job("PK", "2"));
    EXPECT_EQ(jobs_.field("YYYYMMDD").as_string(), "20041231");
    EXPECT_EQ(jobs_.field("REFNUM").as_string(), "2");

    // A follow-up's REFNUM (another record's) is kept, not replaced by its own PK.
    jobs_.append();
    fill_required();
    jobs_.field("REFNUM").set_as_string("1");
    EXPECT_EQ(save_job_search(jobs_, {date_, false, today_}), 1);
    ASSERT_TRUE(locate_job("PK", "3"));
    EXPECT_EQ(jobs_.field("REFNUM").as_string(), "1");
}

TEST_F(EditsTest, ActiveChangedOnlyForAChangeDuringEdit) {
    struct Case {
        const char* name;
        bool insert;
        const char* active_now;
        bool active_at_edit;
        bool stamped;
    } cases[] = {
        {"edit, turned off", false, "False", true, true},
        {"edit, turned on", false, "True", false, true},
        {"edit, unchanged", false, "True", true, false},
        {"insert, set on", true, "True", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.insert) {
            jobs_.append();
            fill_required();
        } else {
            add_job({{"ACTIVE", c.active_at_edit ? "True" : "False"}});
            jobs_.edit();
        }
        jobs_.field("ACTIVE").set_as_string(c.active_now);
        jobs_.field("CONTACT_NAME").set_as_string(c.name);
        save_job_search(jobs_, {date_, c.active_at_edit, today_});
        ASSERT_TRUE(locate_job("CONTACT_NAME", c.name));
        EXPECT_EQ(jobs_.field("ACTIVE_CHANGED").as_string(), c.stamped ? "7/1/2004" : "");
    }
}

TEST_F(EditsTest, RefusedSaveLeavesTheRecordPendingAndWritesNothing) {
    jobs_.append();
    fill_required();
    jobs_.field("CONTACT_NAME").clear();
    jobs_.field("POS_STATE").set_as_string("  ");
    jobs_.field("MEMO").set_as_string("typed notes");
    EXPECT_EQ(missing_job_search_fields(jobs_),
              (std::vector<std::string>{"CONTACT_NAME", "POS_STATE"}));
    jobs_.field("POS_STATE").set_as_string("CO");
    try {
        save_job_search(jobs_, {date_, false, today_});
        FAIL() << "a record without CONTACT_NAME was saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kRequired);
    }
    EXPECT_EQ(jobs_.state(), DatasetState::kInsert);
    EXPECT_EQ(jobs_.field("MEMO").as_string(), "typed notes");
    jobs_.cancel();
    EXPECT_EQ(jobs_.record_count(), 0);
}

TEST_F(EditsTest, RefnumTextReadsAsTheUserWritesIt) {
    EXPECT_EQ(refnum_text(1234), "1234");
    EXPECT_EQ(refnum_text(0), "0");
    EXPECT_EQ(refnum_text(12.5), "12.5");
}

// --- Related records.

class RelatedTest : public EditsTest {
  protected:
    void SetUp() override {
        EditsTest::SetUp();
        for (int i = 0; i < 3; ++i) add_job({{"REFNUM", "7"}, {"POS_TITLE", "APP7"}});
        add_job({{"REFNUM", "8"}, {"POS_TITLE", "OTHER"}});
        add_job({{"REFNUM", "70"}, {"POS_TITLE", "OTHER"}});
        // The user's own filter, which the update removes.
        jobs_.set_filter("POS_STATE = 'CO'");
        jobs_.set_filtered(true);
    }
    // ACTIVE|ACTIVE_CHANGED per record, in PK order.
    std::vector<std::string> states() {
        std::vector<std::string> s;
        Table t;
        open(t, "jsearch2.DB");
        for (t.first(); !t.eof(); t.next())
            s.push_back(t.field("ACTIVE").as_string() + "|" +
                        t.field("ACTIVE_CHANGED").as_string());
        return s;
    }
    void expect_filter_cleared() {
        EXPECT_TRUE(jobs_.active());
        EXPECT_FALSE(jobs_.filtered());
        EXPECT_EQ(jobs_.filter(), "");
        EXPECT_EQ(jobs_.index_name(), "YYYYMMDD_TIME_DESCENDING") << "the order is left alone";
        EXPECT_EQ(jobs_.record_count(), 5);
    }
};

TEST_F(RelatedTest, EveryRecordOfTheApplicationAndNoOther) {
    EXPECT_EQ(update_related_records(jobs_, 7, false, today_), 3);
    EXPECT_EQ(states(), (std::vector<std::string>{"False|7/1/2004", "False|7/1/2004",
                                                  "False|7/1/2004", "True|", "True|"}));
    expect_filter_cleared();
}

TEST_F(RelatedTest, AFailureAtTheSecondRecordChangesNone) {
    const auto before = states();
    auto fail_second = [](int n) {
        if (n == 1) throw Error(ErrorKind::kIO, "disk gone");
    };
    EXPECT_THROW(update_related_records(jobs_, 7, false, today_, fail_second), Error);
    EXPECT_EQ(states(), before);
    expect_filter_cleared();
    EXPECT_EQ(jobs_.state(), DatasetState::kBrowse);
}

// --- Quick find.

class QuickFindTest : public EditsTest {
  protected:
    void SetUp() override {
        EditsTest::SetUp();
        jobs_.close();
        jobs_.set_index_name("");  // PK order: row n is the n-th added
        jobs_.open();
        add_job({{"POS_TITLE", "Network Engineer"}, {"POS_STATE", "CO"}});  // 1
        add_job({{"CONTACT_NAME", "DANA WU"}, {"POS_STATE", "AZ"}});        // 2
        add_job({{"POS_CITY", "PHOENIX"}, {"POS_STATE", "AZ"}});            // 3
        add_job({{"COMMENT", "called back, ENGINEERING lead"}});            // 4
        add_job({{"POS_TITLE", "ACCOUNTANT"}, {"MEMO", "engineer"}});       // 5
    }
    std::int64_t current() { return jobs_.field("PK").as_integer(); }
};

TEST_F(QuickFindTest, NextAndPreviousWrapAroundIgnoringCase) {
    jobs_.first();
    ASSERT_TRUE(quick_find(jobs_, "engineer"));
    EXPECT_EQ(current(), 4) << "the current row is searched last";
    ASSERT_TRUE(quick_find(jobs_, "engineer"));
    EXPECT_EQ(current(), 1) << "past the last, from the first";
    ASSERT_TRUE(quick_find(jobs_, "ENGINEER", false));
    EXPECT_EQ(current(), 4) << "backwards past the first, from the last";
    ASSERT_TRUE(quick_find(jobs_, "dana w"));
    EXPECT_EQ(current(), 2);
    ASSERT_TRUE(quick_find(jobs_, "Phoe"));
    EXPECT_EQ(current(), 3);
}

TEST_F(QuickFindTest, NoMatchAndFilterInForce) {
    jobs_.set_record_number(3);
    EXPECT_FALSE(quick_find(jobs_, "plumber"));
    EXPECT_FALSE(quick_find(jobs_, ""));
    EXPECT_EQ(current(), 3) << "no match leaves the position";
    EXPECT_FALSE(quick_find(jobs_, "engineer%")) << "% is a plain character";

    jobs_.set_filter("POS_STATE = 'AZ'");
    jobs_.set_filtered(true);
    jobs_.first();
    EXPECT_FALSE(quick_find(jobs_, "engineer")) << "rows outside the filter are not searched";
    EXPECT_TRUE(quick_find(jobs_, "phoenix"));
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'AZ'");
    EXPECT_TRUE(jobs_.filtered());
    EXPECT_EQ(jobs_.index_name(), "");
}

// --- Mass changes.

class MassTest : public EditsTest {
  protected:
    void SetUp() override {
        EditsTest::SetUp();
        const Row rows[] = {
            {{"CHANGE_FROM", "CHEMICAL ENGINEER"}, {"CHANGE_TO", "*** NEW ENTRY, EDIT ME ***"}},
            {{"CHANGE_FROM", "ENGINEER II"},
             {"CHANGE_TO", "ENGINEER"},
             {"REASON_NO_SUBMIT", "PAY"}},
            {{"CHANGE_FROM", "MECHANICAL ENGINEER"}, {"CHANGE_TO", "*** NEW ENTRY, EDIT ME ***"}},
            {{"CHANGE_FROM", "NURSE"}, {"CHANGE_TO", "*** NEW ENTRY, EDIT ME ***"}},
            {{"CHANGE_FROM", "SENIOR Engineer"}, {"CHANGE_TO", "*** NEW ENTRY, EDIT ME ***"}},
            {{"CHANGE_FROM", "TECH [50%] O'BRIEN*"}, {"CHANGE_TO", "TECH"}},
        };
        for (const Row& r : rows) add(edits_, r);
    }
    void show_new() {
        edits_.set_filter("CHANGE_TO = '*** NEW ENTRY, EDIT ME ***' OR REASON_NO_SUBMIT = ''");
        edits_.set_filtered(true);
        edits_.first();
    }
    std::string current() { return edits_.field("CHANGE_FROM").as_string(); }
};

TEST_F(MassTest, RefusalsChangeNothing) {
    const auto before = edit_rows();
    struct Case {
        const char* search;
        const char* value;
        const char* text;
    } cases[] = {{"EN", "ENGINEER", kMassSearchTooShort},
                 {"", "", kMassSearchTooShort},
                 {"ENG", "", kMassNoNewValue}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        EXPECT_STREQ(mass_change_refusal(c.search, c.value), c.text);
        EXPECT_THROW(mass_change(edits_, MassChangeField::kChangeTo, c.search, c.value), Error);
    }
    EXPECT_EQ(mass_change_refusal("ENG", "X"), nullptr);
    EXPECT_EQ(edit_rows(), before);
}

TEST_F(MassTest, ExactCaseEveryMatchUnderTheNewRecordsFilterOnce) {
    show_new();
    edits_.next();  // MECHANICAL ENGINEER
    ASSERT_EQ(current(), "MECHANICAL ENGINEER");
    int asked = 0;
    const MassChangeResult r =
        mass_change(edits_, MassChangeField::kChangeTo, "ENGINEER", "ENGINEERING", [&] {
            ++asked;
            return MassAnswer::kYes;
        });
    // ENGINEER II is outside the filter, "SENIOR Engineer" differs in case.
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(r.matched, 2);
    EXPECT_EQ(r.changed, 2);
    EXPECT_EQ(r.duplicates, 0);
    const auto rows = edit_rows();
    EXPECT_EQ(rows.at("CHEMICAL ENGINEER"), "ENGINEERING|");
    EXPECT_EQ(rows.at("MECHANICAL ENGINEER"), "ENGINEERING|");
    EXPECT_EQ(rows.at("ENGINEER II"), "ENGINEER|PAY");
    EXPECT_EQ(rows.at("SENIOR Engineer"), "*** NEW ENTRY, EDIT ME ***|");
}

TEST_F(MassTest, BookmarkReturnAndItsRowLeavingTheFilter) {
    // The rows keep an empty reason, so they stay under the filter: the same row comes back.
    show_new();
    edits_.next();
    ASSERT_EQ(current(), "MECHANICAL ENGINEER");
    mass_change(edits_, MassChangeField::kChangeTo, "ENGINEER", "ENGINEERING");
    EXPECT_EQ(current(), "MECHANICAL ENGINEER");
    // Given a reason, the current row leaves the filter: the first row is current then.
    mass_change(edits_, MassChangeField::kReasonNoSubmit, "ENGINEERING", "PAY TOO LOW");
    EXPECT_EQ(edits_.record_count(), 3);  // NURSE, SENIOR Engineer, TECH ...
    EXPECT_EQ(current(), "NURSE");
    const auto rows = edit_rows();
    EXPECT_EQ(rows.at("MECHANICAL ENGINEER"), "ENGINEERING|PAY TOO LOW");
    EXPECT_EQ(rows.at("CHEMICAL ENGINEER"), "ENGINEERING|PAY TOO LOW");
}

TEST_F(MassTest, DuplicateLeftAndCountedTheWalkGoesOn) {
    // Changing ENGINEER II's CHANGE_TO to ENGINEERING and its twin would clash on the key.
    add(edits_, {{"CHANGE_FROM", "ENGINEER II"},
                 {"CHANGE_TO", "ENGINEERING"},
                 {"REASON_NO_SUBMIT", "PAY"}});
    edits_.first();
    const MassChangeResult r =
        mass_change(edits_, MassChangeField::kChangeTo, "ENGINEER", "ENGINEERING");
    EXPECT_EQ(r.duplicates, 1);
    EXPECT_EQ(r.changed, 3);
    EXPECT_EQ(edits_.state(), DatasetState::kBrowse);
    EXPECT_EQ(current(), "CHEMICAL ENGINEER");
    EXPECT_EQ(mass_change_summary(r),
              "3 rows changed, 1 row left because the same row exists already.");
    EXPECT_EQ(edit_rows().at("MECHANICAL ENGINEER"), "ENGINEERING|");
}

TEST_F(MassTest, NoAndCancelKeepWhatWasDone) {
    std::vector<MassAnswer> answers = {MassAnswer::kYes, MassAnswer::kNo, MassAnswer::kCancel};
    std::size_t next = 0;
    const MassChangeResult r = mass_change(edits_, MassChangeField::kChangeTo, "ENGINEER", "X1",
                                           [&] { return answers.at(next++); });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.changed, 1);
    const auto rows = edit_rows();
    EXPECT_EQ(rows.at("CHEMICAL ENGINEER"), "X1|");
    EXPECT_EQ(rows.at("ENGINEER II"), "ENGINEER|PAY");
    EXPECT_EQ(rows.at("MECHANICAL ENGINEER"), "*** NEW ENTRY, EDIT ME ***|");
}

TEST_F(MassTest, FilterCharactersMatchAsThemselves) {
    for (const char* search : {"[50%]", "O'BRIEN*", "%] O"}) {
        SCOPED_TRACE(search);
        const MassChangeResult r =
            mass_change(edits_, MassChangeField::kChangeTo, search, std::string("T-") + search);
        EXPECT_EQ(r.matched, 1);
        EXPECT_EQ(edit_rows().at("TECH [50%] O'BRIEN*"), std::string("T-") + search + "|");
    }
    EXPECT_EQ(mass_change(edits_, MassChangeField::kChangeTo, "E%R", "Y").matched, 0);
    // The reason change searches CHANGE_TO, quotes included.
    EXPECT_EQ(mass_change(edits_, MassChangeField::kReasonNoSubmit, "T-%] O", "R'Q").changed, 1);
    EXPECT_EQ(edit_rows().at("TECH [50%] O'BRIEN*"), "T-%] O|R'Q");
}

// --- Disqualified titles.

class TitlesTest : public EditsTest {
  protected:
    void add_category(const char* order, const char* category) {
        add(stats_, {{"ORDER", order}, {"CATEGORY", category}, {"COUNT", "4"}});
    }
    std::string current() {
        return stats_.field("ORDER").as_string() + "|" + stats_.field("CATEGORY").as_string();
    }
};

TEST_F(TitlesTest, NewCategoryCountsZeroAndOrderedSaveReturnsToOrder) {
    add_category("2", "ZOOLOGIST");
    stats_.append();
    stats_.field("ORDER").set_as_string("1");
    stats_.field("CATEGORY").set_as_string("ACCOUNTANT");
    stats_.field("COUNT").set_as_string("99");
    EXPECT_EQ(save_title_category(stats_), TitleSave::kOrdered);
    EXPECT_EQ(stats_.index_field_names(), "ORDER;CATEGORY");
    ASSERT_TRUE(stats_.locate("CATEGORY", {"ACCOUNTANT"}));
    EXPECT_EQ(stats_.field("COUNT").as_string(), "0");
    EXPECT_EQ(stats_.field("PERCENTAGE").as_string(), "0");
    // An edited row keeps its counts.
    ASSERT_TRUE(stats_.locate("CATEGORY", {"ZOOLOGIST"}));
    stats_.edit();
    stats_.field("ORDER").set_as_string("3");
    save_title_category(stats_);
    ASSERT_TRUE(stats_.locate("CATEGORY", {"ZOOLOGIST"}));
    EXPECT_EQ(stats_.field("COUNT").as_string(), "4");
}

TEST_F(TitlesTest, SaveWithoutOrderComesBackToThePostedRow) {
    add_category("1", "ANALYST");
    add_category("5", "ANALYST");
    add_category("1", "BAKER");
    stats_.append();
    stats_.field("CATEGORY").set_as_string("ANALYST");
    EXPECT_EQ(save_title_category(stats_), TitleSave::kNeedsOrder);
    EXPECT_EQ(stats_.index_name(), "CATEGORY_");
    EXPECT_EQ(current(), "|ANALYST");
    restore_title_order(stats_);
    EXPECT_EQ(stats_.index_field_names(), "ORDER;CATEGORY");
    EXPECT_EQ(stats_.index_name(), "");
}

TEST_F(TitlesTest, OrderTypedAsTextIsAConversionErrorNamingTheField) {
    stats_.append();
    try {
        stats_.field("ORDER").set_as_string("first");
        FAIL() << "text taken as an ORDER";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kConversion);
        EXPECT_NE(std::string(e.what()).find("ORDER"), std::string::npos) << e.what();
    }
    EXPECT_EQ(stats_.state(), DatasetState::kInsert);
    stats_.cancel();
}

TEST_F(TitlesTest, FindCategoryAmongRowsSharingAnOrder) {
    EXPECT_FALSE(find_category(stats_, "ANY")) << "an empty list";
    EXPECT_EQ(stats_.index_field_names(), "ORDER;CATEGORY");
    for (const char* c : {"ANALYST", "CASHIER", "DRIVER", "ENGINEER"}) add_category("1", c);
    add_category("2", "BAKER");
    const struct {
        const char* text;
        const char* found;
    } cases[] = {{"DRIVER", "1|DRIVER"}, {"driver", "1|DRIVER"}, {"DR", "1|DRIVER"},
                 {"BAKER", "2|BAKER"},   {"C", "1|CASHIER"},     {"ZZZ", "1|ENGINEER"},
                 {"", "1|ANALYST"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(find_category(stats_, c.text));
        EXPECT_EQ(current(), c.found);
        EXPECT_EQ(stats_.index_field_names(), "ORDER;CATEGORY");
        EXPECT_EQ(stats_.index_name(), "");
    }
}

}  // namespace
}  // namespace pavo::records::test
