// Orders, navigation, bookmarks, searches, editing positions, observers and two datasets on a
// table.
#include <algorithm>

#include "table_test_support.h"

namespace pavo::tables::test {
namespace {

class OrderTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        create_jobs();
        jobs = table("jsearch2.DB");
        jobs->open();
        // PK 1..6, in insertion order.
        fill(*jobs,
             {{"", "True", "1/5/2004", "20040105", "09:00", "acme", "CO", "ENGINEER"},
              {"", "False", "1/5/2004", "20040105", "14:30", "Beta", "TX", "NETWORK ENGINEER"},
              {"", "True", "2/1/2004", "20040201", "08:10", "ACME", "CO", "DBA"},
              {"", "True", "12/31/2003", "20031231", "23:50", "delta", "WA", "SENIOR ENGINEER"},
              {"", "False", "2/1/2004", "20040201", "08:10", "Acme", "NY", ""},
              {"", "True", "3/1/2004", "20040301", "10:00", "beta", "CO", "analyst"}});
    }
    std::unique_ptr<Table> jobs;
};

TEST_F(OrderTest, EachOrderListsRowsAsItsIndexSays) {
    struct Case {
        std::string index_name, index_fields;
        std::vector<std::string> pks;
    };
    const Case cases[] = {
        {"", "", {"1", "2", "3", "4", "5", "6"}},                          // primary
        {"YYYYMMDD_TIME_DESCENDING", "", {"6", "5", "3", "2", "1", "4"}},  // ties newest first
        {"YYYYMMDD_TIME_ASCENDING", "", {"4", "1", "2", "3", "5", "6"}},   // multi-field
        {"CONTACT_NAME_", "", {"1", "3", "5", "2", "6", "4"}},             // case-insensitive
        {"", "CONTACT_NAME", {"1", "3", "5", "2", "6", "4"}},              // uses CONTACT_NAME_
        {"", "PK", {"1", "2", "3", "4", "5", "6"}},
        {"", "POS_STATE;PK", {"1", "3", "6", "5", "2", "4"}},  // no such index: plain
    };
    for (const auto& c : cases) {
        if (!c.index_fields.empty())
            jobs->set_index_field_names(c.index_fields);
        else
            jobs->set_index_name(c.index_name);
        EXPECT_EQ(column(*jobs, "PK"), c.pks) << c.index_name << c.index_fields;
    }
    EXPECT_PAVO_ERROR(jobs->set_index_name("NO_SUCH"), ErrorKind::kNotFound, "NO_SUCH");
    EXPECT_EQ(column(*jobs, "PK").size(), 6u);  // the refused index left the old order
}

TEST_F(OrderTest, TablesWithoutPrimaryKeyKeepInsertionOrder) {
    create("config", {{"NAME", FieldType::kString, 10}}, {});
    auto c = table("CONFIG.DB");
    c->open();
    fill(*c, {{"z"}, {"a"}, {"m"}});
    c->first();
    c->next();
    c->insert();  // placed at the end, like every new row of a table without key
    c->field("NAME").set_as_string("b");
    c->post();
    EXPECT_EQ(c->field("NAME").as_string(), "b");
    EXPECT_EQ(column(*c, "NAME"), (std::vector<std::string>{"z", "a", "m", "b"}));
}

TEST_F(OrderTest, NavigationFlagsAndRecordNumbers) {
    jobs->set_index_name("YYYYMMDD_TIME_ASCENDING");
    jobs->first();
    EXPECT_TRUE(jobs->bof());
    EXPECT_FALSE(jobs->eof());
    EXPECT_EQ(jobs->record_number(), 1);
    jobs->prior();
    EXPECT_TRUE(jobs->bof());
    EXPECT_EQ(jobs->record_number(), 1);
    jobs->move_by(3);
    EXPECT_EQ(jobs->record_number(), 4);
    EXPECT_EQ(jobs->field("PK").as_string(), "3");
    jobs->last();
    EXPECT_TRUE(jobs->eof());
    EXPECT_EQ(jobs->record_number(), 6);
    jobs->prior();
    EXPECT_FALSE(jobs->eof());
    EXPECT_EQ(jobs->record_number(), 5);
    jobs->next();
    jobs->next();
    EXPECT_TRUE(jobs->eof());
    EXPECT_EQ(jobs->record_number(), 6);
    jobs->set_record_number(2);
    EXPECT_EQ(jobs->field("PK").as_string(), "1");
    EXPECT_EQ(jobs->text_at(6, 0), "6");
    EXPECT_EQ(jobs->record_number(), 2);  // a positioned read does not move

    // Walking backwards from the end visits every row once.
    std::vector<std::string> back;
    for (jobs->last(); !jobs->bof(); jobs->prior()) back.push_back(jobs->field("PK").as_string());
    EXPECT_EQ(back, (std::vector<std::string>{"6", "5", "3", "2", "1", "4"}));
}

TEST_F(OrderTest, PostedRowsStandAtTheirIndexPositionAndStayCurrent) {
    jobs->set_index_name("YYYYMMDD_TIME_DESCENDING");
    jobs->set_record_number(3);
    jobs->insert();
    EXPECT_EQ(jobs->record_number(), -1);
    for (auto [f, v] : std::vector<std::pair<std::string, std::string>>{{"DATE", "1/20/2004"},
                                                                        {"YYYYMMDD", "20040120"},
                                                                        {"TIME", "12:00"},
                                                                        {"CONTACT_NAME", "gamma"}})
        jobs->field(f).set_as_string(v);
    jobs->post();
    EXPECT_EQ(jobs->field("PK").as_string(), "7");
    EXPECT_EQ(jobs->record_number(), 4);
    EXPECT_EQ(column(*jobs, "PK"), (std::vector<std::string>{"6", "5", "3", "7", "2", "1", "4"}));

    // An edit of a key field moves the row; one of another field leaves it in place.
    ASSERT_TRUE(jobs->locate("PK", {"4"}));
    jobs->edit();
    jobs->field("YYYYMMDD").set_as_string("20050101");
    jobs->post();
    EXPECT_EQ(jobs->record_number(), 1);
    EXPECT_EQ(jobs->field("PK").as_string(), "4");
    jobs->next();
    jobs->edit();
    jobs->field("POS_TITLE").set_as_string("CHANGED");
    jobs->next();  // leaving the row posts it
    EXPECT_EQ(jobs->record_number(), 3);
    jobs->prior();
    EXPECT_EQ(jobs->field("POS_TITLE").as_string(), "CHANGED");

    // Cancel drops the edit; delete makes the next row current.
    jobs->edit();
    jobs->field("POS_TITLE").set_as_string("DROPPED");
    jobs->cancel();
    EXPECT_EQ(jobs->field("POS_TITLE").as_string(), "CHANGED");
    EXPECT_EQ(jobs->field("PK").as_string(), "6");
    jobs->delete_record();
    EXPECT_EQ(jobs->field("PK").as_string(), "5");
    EXPECT_EQ(jobs->record_count(), 6);
    jobs->last();
    jobs->delete_record();
    EXPECT_EQ(jobs->field("PK").as_string(), "2");
}

TEST_F(OrderTest, BookmarksSurviveOtherChangesAndRespectTheFilter) {
    jobs->set_index_name("CONTACT_NAME_");
    ASSERT_TRUE(jobs->locate("CONTACT_NAME", {"Beta"}));
    Bookmark mark = jobs->bookmark();
    jobs->first();
    jobs->delete_record();  // another row goes
    jobs->append();
    for (auto [f, v] : std::vector<std::pair<std::string, std::string>>{{"DATE", "1/1/2004"},
                                                                        {"YYYYMMDD", "20040101"},
                                                                        {"TIME", "01:00"},
                                                                        {"CONTACT_NAME", "AAA"}})
        jobs->field(f).set_as_string(v);
    jobs->post();  // and another comes before it
    jobs->goto_bookmark(mark);
    EXPECT_EQ(jobs->field("CONTACT_NAME").as_string(), "Beta");

    jobs->set_filter("POS_STATE = 'CO'");
    jobs->set_filtered(true);
    EXPECT_FALSE(jobs->bookmark_valid(mark));
    EXPECT_PAVO_ERROR(jobs->goto_bookmark(mark), ErrorKind::kNotFound, "Record not found");
    EXPECT_EQ(jobs->record_count(), 2);  // ACME, beta (acme was deleted)
    jobs->first();
    Bookmark co = jobs->bookmark();
    jobs->set_filtered(false);
    jobs->goto_bookmark(co);
    EXPECT_EQ(jobs->field("CONTACT_NAME").as_string(), "ACME");

    // A row edited out of the filter leaves the view; the next one becomes current.
    jobs->set_filtered(true);
    jobs->first();
    jobs->edit();
    jobs->field("POS_STATE").set_as_string("TX");
    jobs->post();
    EXPECT_EQ(jobs->record_count(), 1);
    EXPECT_EQ(jobs->field("CONTACT_NAME").as_string(), "beta");
    EXPECT_EQ(jobs->record_number(), 1);
}

TEST_F(OrderTest, NearestKeyFindKeyFindFirstAndLocate) {
    jobs->set_index_name("CONTACT_NAME_");
    jobs->find_nearest({"b"});
    EXPECT_EQ(jobs->field("CONTACT_NAME").as_string(), "Beta");
    jobs->find_nearest({"zzz"});
    EXPECT_EQ(jobs->record_number(), 6);
    EXPECT_TRUE(jobs->find_key({"DELTA"}));
    EXPECT_EQ(jobs->field("PK").as_string(), "4");
    EXPECT_FALSE(jobs->find_key({"epsilon"}));
    EXPECT_EQ(jobs->field("PK").as_string(), "4");

    jobs->set_index_name("YYYYMMDD_TIME_DESCENDING");
    jobs->find_nearest({"20040201"});  // descending: the first row not after the key
    EXPECT_EQ(jobs->field("PK").as_string(), "5");
    jobs->find_nearest({"20040110"});
    EXPECT_EQ(jobs->field("PK").as_string(), "2");

    create(
        "STATS_JT", {{"ORDER", FieldType::kFloat}, {"CATEGORY", FieldType::kString, 50}},
        {{"", "ORDER;CATEGORY", true, true}, {"CATEGORY_", "CATEGORY", false, false, false, true}});
    auto s = table("STATS_JT.DB");
    s->open();
    fill(*s, {{"2", "NETWORK"}, {"1", "ENGINEER"}, {"10", "ANALYST"}, {"2", "DBA"}});
    s->set_index_field_names("ORDER;CATEGORY");
    s->find_nearest({"2"});  // a partial key: the first row of that ORDER
    EXPECT_EQ(s->field("CATEGORY").as_string(), "DBA");
    s->find_nearest({"3"});  // numbers compare as numbers, not as texts
    EXPECT_EQ(s->field("CATEGORY").as_string(), "ANALYST");
    EXPECT_PAVO_ERROR(s->find_nearest({"two"}), ErrorKind::kConversion, "'two'");

    jobs->set_filter("POS_STATE = 'CO'");
    jobs->last();
    EXPECT_TRUE(jobs->find_first());  // with filtering off
    EXPECT_EQ(jobs->field("PK").as_string(), "6");
    EXPECT_EQ(jobs->record_count(), 6);
    jobs->set_filter("POS_STATE = 'XX'");
    EXPECT_FALSE(jobs->find_first());

    EXPECT_TRUE(jobs->locate("CONTACT_NAME;POS_STATE", {"ACME", "co"}, {.case_insensitive = true}));
    EXPECT_EQ(jobs->field("PK").as_string(), "3");  // first in descending order of the three
    EXPECT_TRUE(jobs->locate("POS_TITLE", {"SENIOR"}, {.partial_key = true}));
    EXPECT_EQ(jobs->field("PK").as_string(), "4");
    EXPECT_TRUE(jobs->locate("POS_TITLE", {""}));
    EXPECT_EQ(jobs->field("PK").as_string(), "5");
    EXPECT_TRUE(jobs->locate("CONTACT_NAME", {"ac"}, {.partial_key = true}));
    EXPECT_EQ(jobs->field("PK").as_string(), "1");  // case-sensitive: not ACME or Acme
}

TEST_F(OrderTest, TwoDatasetsOnOneTableSeeEachOthersPostsWhenTheyReRead) {
    auto other = table("JSEARCH2.DB");
    other->set_index_name("YYYYMMDD_TIME_ASCENDING");
    other->open();
    other->last();
    jobs->append();
    for (auto [f, v] : std::vector<std::pair<std::string, std::string>>{{"DATE", "1/1/2010"},
                                                                        {"YYYYMMDD", "20100101"},
                                                                        {"TIME", "01:00"},
                                                                        {"CONTACT_NAME", "new"}})
        jobs->field(f).set_as_string(v);
    jobs->post();
    jobs->first();
    jobs->delete_record();  // PK 1
    EXPECT_EQ(other->record_count(), 6);
    other->refresh();
    EXPECT_EQ(other->record_count(), 6);
    other->last();
    EXPECT_EQ(other->field("CONTACT_NAME").as_string(), "new");
    EXPECT_EQ(column(*other, "PK"), (std::vector<std::string>{"4", "2", "3", "5", "6", "7"}));

    // An edit through one dataset of a row the other deleted is refused, not lost silently.
    ASSERT_TRUE(other->locate("PK", {"2"}));
    ASSERT_TRUE(jobs->locate("PK", {"2"}));
    jobs->delete_record();
    EXPECT_PAVO_ERROR(other->edit(), ErrorKind::kNotFound, "Record/key deleted.");
    // Edit reads the row afresh, so a change through the other dataset is not overwritten.
    ASSERT_TRUE(other->locate("PK", {"3"}));
    ASSERT_TRUE(jobs->locate("PK", {"3"}));
    jobs->edit();
    jobs->field("POS_TITLE").set_as_string("FROM JOBS");
    jobs->post();
    other->edit();
    other->field("REFNUM").set_as_string("3");
    other->post();
    EXPECT_EQ(other->field("POS_TITLE").as_string(), "FROM JOBS");
}

TEST_F(TableTest, LargeViewsReadTheSameRowsWhicheverWayTheyAreWalked) {
    create(
        "many",
        {{"ID", FieldType::kAutoInc}, {"KEY", FieldType::kString, 10}, {"TEXT", FieldType::kMemo}},
        {{"", "ID", true, true}, {"KEY_DOWN", "KEY", false, false, true, true}});
    auto t = table("many");
    t->open();
    // Keys in scrambled insertion order, some equal: ties go newest first in a descending index.
    std::vector<std::pair<std::string, int>> expected;  // (key, id)
    {
        CommandScope command;
        for (int i = 1; i <= 1500; ++i) {
            std::string key = "k" + std::to_string((i * 7919) % 1000 + 1000);
            t->append();
            t->field("KEY").set_as_string(key);
            t->field("TEXT").set_as_string(std::string(static_cast<std::size_t>(i % 300), 'x') +
                                           std::to_string(i));
            t->post();
            expected.emplace_back(key, i);
        }
    }
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second > b.second;
    });
    auto text_of = [](int id) {
        return std::string(static_cast<std::size_t>(id % 300), 'x') + std::to_string(id);
    };
    t->set_index_name("KEY_DOWN");
    t->refresh();
    int n = 0;
    for (t->first(); !t->eof(); t->next(), ++n) {
        ASSERT_EQ(t->field("ID").as_integer(), expected[static_cast<std::size_t>(n)].second) << n;
        ASSERT_EQ(t->field("TEXT").as_string(),
                  text_of(expected[static_cast<std::size_t>(n)].second));
    }
    EXPECT_EQ(n, 1500);
    t->refresh();
    n = 1500;
    for (t->last(); !t->bof(); t->prior()) {
        --n;
        ASSERT_EQ(t->field("ID").as_integer(), expected[static_cast<std::size_t>(n)].second) << n;
    }
    EXPECT_EQ(n, 0);
    t->refresh();
    for (int k = 0; k < 300; ++k) {
        int row = 1 + (k * 631) % 1500;
        ASSERT_EQ(t->text_at(row, 0),
                  std::to_string(expected[static_cast<std::size_t>(row - 1)].second))
            << row;
    }
    // A row deleted through another dataset stays in this view until it re-reads; an edit of it is
    // refused rather than writing nowhere.
    auto other = table("many");
    other->open();
    other->set_index_name("KEY_DOWN");
    other->set_record_number(700);
    Bookmark gone = other->bookmark();
    other->delete_record();
    t->set_record_number(700);
    EXPECT_EQ(t->record_count(), 1500);
    EXPECT_PAVO_ERROR(t->edit(), ErrorKind::kNotFound, "Record/key deleted.");
    t->refresh();
    EXPECT_EQ(t->record_count(), 1499);
    EXPECT_FALSE(t->bookmark_valid(gone));
    t->set_record_number(700);
    EXPECT_EQ(t->field("ID").as_integer(), expected[700].second);
}

TEST_F(OrderTest, ObserversHearStateDataAndScrolling) {
    std::vector<EventKind> heard;
    int id = jobs->add_observer([&](const Event& e) { heard.push_back(e.kind); });
    jobs->first();
    jobs->next();
    jobs->edit();
    jobs->field("POS_TITLE").set_as_string("X");
    jobs->post();
    EXPECT_EQ(heard, (std::vector<EventKind>{EventKind::kScrolled, EventKind::kScrolled,
                                             EventKind::kStateChanged, EventKind::kFieldChanged,
                                             EventKind::kStateChanged, EventKind::kDataChanged}));
    heard.clear();
    jobs->disable_controls();
    jobs->next();
    jobs->enable_controls();
    EXPECT_EQ(heard, (std::vector<EventKind>{EventKind::kDataChanged}));
    jobs->remove_observer(id);
    jobs->close();
    EXPECT_EQ(heard.size(), 1u);
}

}  // namespace
}  // namespace pavo::tables::test
