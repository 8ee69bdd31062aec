// The record filter language: a table of expressions and the rows they pass (chains of a thousand
// terms among them), malformed and too deeply nested texts, and trying a filter before setting it.
#include "tables/src/filter.h"

#include <sqlite3.h>

#include <optional>

#include "table_test_support.h"

namespace pavo::tables::test {
namespace {

class FilterTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        create("filt",
               {{"ID", FieldType::kAutoInc},
                {"NAME", FieldType::kString, 40},
                {"DATE", FieldType::kDate},
                {"AMT", FieldType::kFloat},
                {"OK", FieldType::kBoolean},
                {"24_HOUR", FieldType::kString, 5},
                {"REASON_NO_SUBMIT", FieldType::kString, 132}},
               {{"", "ID", true, true}});
        t = table("filt");
        t->open();
        fill(*t, {{"", "O'Brien", "3/1/2004", "10", "True", "09:00", ""},
                  {"", "obrien", "3/31/2004", "2.5", "False", "10:10", "TOO FAR"},
                  {"", "Senior Engineer", "4/1/2004", "", "True", "", "PAY"},
                  {"", "SENIOR DBA", "2/29/2004", "-1", "", "23:50", ""},
                  {"", "", "", "100", "False", "00:00", "pay"}});
    }

    std::string ids(const std::string& filter, bool nocase = false) {
        t->set_filtered(false);
        t->set_filter_case_insensitive(nocase);
        t->set_filter(filter);
        t->set_filtered(true);
        std::string out;
        for (const auto& id : column(*t, "ID")) out += id;
        return out;
    }
    std::unique_ptr<Table> t;
};

// "A = 'v0' OR A = 'v1' OR ... OR last": n terms that pass nothing, then last.
std::string chain_of(int n, const std::string& term, const std::string& op,
                     const std::string& last) {
    std::string out;
    for (int i = 0; i < n - 1; ++i) out += term + std::to_string(i) + "' " + op + " ";
    return out + last;
}

// A filter whose conditions nest levels deep and that passes exactly the rows inner passes:
// chains with a term that changes nothing, and with with_not every other level a NOT (an even
// number of them).
std::string nested(int levels, const std::string& inner, bool with_not = false) {
    std::string s = inner;
    for (int i = 0; i < levels; ++i) {
        if (with_not && i % 2 == 1)
            s = "NOT (" + s + ")";
        else
            s = ((with_not ? i % 4 : i % 2) == 0 ? "ID <> 99 AND (" : "ID = 99 OR (") + s + ")";
    }
    return s;
}

TEST_F(FilterTest, ExpressionsPassTheRowsTheySay) {
    struct Case {
        std::string filter;
        bool nocase;
        const char* ids;
    };
    const Case cases[] = {
        // Long chains, as a user builds by excluding values one by one.
        {chain_of(1000, "NAME = 'v", "OR", "NAME = 'obrien'"), false, "2"},
        {chain_of(1000, "NAME = 'v", "or", "NAME = 'OBRIEN'"), true, "2"},
        {chain_of(1000, "NAME <> 'v", "AND", "AMT > 5"), false, "15"},
        {"(" + chain_of(1000, "NAME = 'v", "OR", "NAME = 'obrien'") + ") AND (" +
             chain_of(1000, "NAME <> 'v", "AND", "AMT > 0") + ")",
         false, "2"},
        {"NOT (" + chain_of(1000, "NAME = 'v", "OR", "AMT > 5") + ")", false, "234"},
        {nested(kMaxFilterNesting, "NAME <> 'SENIOR*'"), false, "1235"},
        {nested(kMaxFilterNesting, "NAME > REASON_NO_SUBMIT", true), false, "1234"},
        {nested(kMaxFilterNesting - 3, chain_of(1000, "NAME = 'v", "OR", "AMT <= 2.5")), false,
         "24"},
        {"NAME = 'O''Brien'", false, "1"},
        {"name = 'o''brien'", true, "1"},
        {"NAME = 'senior*'", false, ""},
        {"NAME = 'senior*'", true, "34"},
        {"NAME = 'SENIOR*'", false, "4"},
        {"NAME <> 'SENIOR*'", false, "1235"},
        {"NAME = '*'", false, "12345"},
        {"NAME = ''", false, "5"},
        {"NAME <> ''", false, "1234"},
        {"REASON_NO_SUBMIT = ''", false, "14"},
        {"REASON_NO_SUBMIT = 'PAY'", false, "3"},
        {"REASON_NO_SUBMIT = 'PAY'", true, "35"},
        {"NAME < 'S'", false, "15"},  // an empty text is below every other
        {"DATE >= '3/1/2004' AND DATE <='3/31/2004'", false, "12"},  // as dates, not texts
        {"DATE < '3/1/2004'", false, "4"},  // an empty date is neither before nor after
        {"DATE = ''", false, "5"},
        {"AMT > 5", false, "15"},
        {"AMT > '5'", false, "15"},
        {"AMT <= 2.5", false, "24"},
        {"AMT = -1", false, "4"},
        {"AMT <> 10", false, "2345"},  // an empty number differs from 10
        {"AMT = ''", false, "3"},
        {"5 < AMT", false, "15"},
        {"OK = 'True'", false, "13"},
        {"OK = TRUE", false, "13"},
        {"OK = 'False'", false, "25"},
        {"OK <> 'True'", false, "245"},
        {"[24_HOUR] = '10:10'", false, "2"},
        {"\"24_HOUR\" >= '10:00'", false, "24"},
        {"NOT (AMT > 5)", false, "234"},
        {"NOT (NAME = 'obrien')", false, "1345"},  // an empty name is not 'obrien'
        {"NOT (AMT = 10)", false, "2345"},
        {"NOT NOT AMT > 5", false, "15"},
        {"NOT (DATE < '3/1/2004' OR OK = 'True')", false, "25"},
        {"NOT AMT > 5 AND NAME <> ''", false, "234"},
        {"AMT > 5 OR OK = 'True' AND NAME = 'S*'", false, "135"},  // AND before OR
        {"(AMT > 5 OR OK = 'True') AND NAME = 'S*'", false, "3"},
        {"ID = 2 or id = 4", false, "24"},
        {"NAME > REASON_NO_SUBMIT", false, "1234"},  // an empty field compares as ''
        {"NAME < REASON_NO_SUBMIT", true, "25"},
        {"1 = 1", false, "12345"},
        {"'a' = 'b'", false, ""},
        {"", false, "12345"},
        {"   ", false, "12345"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ids(c.filter, c.nocase), c.ids)
            << c.filter.substr(0, 200) << (c.nocase ? " (nocase)" : "");
}

TEST_F(FilterTest, MalformedTextsAreRefusedWithPositionAndToken) {
    struct Case {
        const char* filter;
        const char* message;
    };
    const Case cases[] = {
        {"NAME = 'O'Brien'", "position 11: unexpected 'Brien'"},
        {"NAME = 'abc", "position 8: text constant not closed"},
        {"NAME =", "position 7: expected a field name or a constant but found end of expression"},
        {"NAME 'x'", "position 6: expected a comparison operator but found ''x''"},
        {"(AMT > 5", "position 9: expected ')' but found end of expression"},
        {"AMT > 5)", "position 8: unexpected ')'"},
        {"AMT > 5 AND", "position 12: expected a field name or a constant"},
        {"AMT # 5", "position 5: unexpected character '#'"},
        {"AMT == 5", "position 5: unexpected '=='"},
        {"[24_HOUR = '1'", "position 1: field name not closed"},
        {"AMT > 1.2.3", "position 7: not a number: '1.2.3'"},
        {"AND = 1", "position 1: expected a field name or a constant but found 'AND'"},
    };
    t->set_filter("AMT > 5");
    t->set_filtered(true);
    for (const auto& c : cases) {
        EXPECT_PAVO_ERROR(t->set_filter(c.filter), ErrorKind::kInvalidInput, c.message);
        EXPECT_EQ(t->filter(), "AMT > 5");  // the refused text did not replace the filter
        EXPECT_EQ(t->record_count(), 2);
    }
    // Deep nesting is refused, not a stack overflow.
    std::string deep(5000, '(');
    EXPECT_PAVO_ERROR(t->set_filter(deep + "AMT = 1" + std::string(5000, ')')),
                      ErrorKind::kInvalidInput, "too deeply");
    std::string many = "AMT = 1";
    for (int i = 0; i < 4000; ++i) many += " OR AMT = 1";
    EXPECT_PAVO_ERROR(t->set_filter(many), ErrorKind::kInvalidInput, "too long");
    EXPECT_EQ(t->record_count(), 2);
}

TEST_F(FilterTest, NestingSqliteWouldRefuseIsRefusedWhenTheTextIsSet) {
    const std::string limit = "at most " + std::to_string(kMaxFilterNesting) + " levels";
    std::string nots;
    for (int i = 0; i <= kMaxFilterNesting; ++i) nots += "NOT ";
    const std::string too_deep[] = {
        nested(kMaxFilterNesting + 1, "AMT > 5"),
        nested(kMaxFilterNesting + 1, "AMT > 5", true),
        nots + "AMT > 5",
        // A long chain takes more levels than a short one.
        nested(kMaxFilterNesting - 2, chain_of(1000, "NAME = 'v", "OR", "AMT <= 2.5")),
    };
    t->set_filter("AMT > 5");
    t->set_filtered(true);
    for (const std::string& text : too_deep) {
        EXPECT_PAVO_ERROR(t->set_filter(text), ErrorKind::kInvalidInput,
                          "Filter is too complex: conditions may nest " + limit);
        EXPECT_EQ(t->filter(), "AMT > 5");
        EXPECT_EQ(t->record_count(), 2);
    }
    // Refused while closed too, so that open never meets it.
    t->close();
    EXPECT_PAVO_ERROR(t->set_filter(nested(kMaxFilterNesting + 1, "AMT > 5")),
                      ErrorKind::kInvalidInput, "too complex");
    t->open();
    EXPECT_EQ(t->record_count(), 2);
}

TEST_F(FilterTest, FiltersThatDoNotFitTheTableAreRefusedWhenAppliedAndTheTableRecovers) {
    EXPECT_PAVO_ERROR(ids("NOPE = 1"), ErrorKind::kNotFound, "field 'NOPE' not found");
    EXPECT_FALSE(t->filtered());
    EXPECT_EQ(t->record_count(), 5);  // still open, unfiltered
    EXPECT_PAVO_ERROR(ids("DATE > 'yesterday'"), ErrorKind::kConversion, "'yesterday'");
    EXPECT_PAVO_ERROR(ids("AMT > 'ten'"), ErrorKind::kConversion, "position 7");
    EXPECT_EQ(ids("AMT > 50"), "5");

    // The close / set / open / filtered order of the filter windows, refused while closed.
    t->close();
    t->set_filter("NOPE = 1");
    EXPECT_PAVO_ERROR(t->open(), ErrorKind::kNotFound, "NOPE");
    EXPECT_FALSE(t->active());
    t->set_filter("");
    t->open();
    t->set_filtered(false);
    EXPECT_EQ(t->record_count(), 5);
}

TEST_F(FilterTest, CheckingAFilterRefusesWhatApplyingItWouldAndChangesNothing) {
    struct Case {
        std::string filter;
        std::optional<ErrorKind> kind;  // none: accepted
        const char* message;
    };
    const Case cases[] = {
        {"AMT > 5 AND NAME = 'x*'", std::nullopt, ""},
        {"", std::nullopt, ""},
        {chain_of(1000, "NAME <> 'v", "AND", "AMT > 5"), std::nullopt, ""},
        {"NOPE = 1", ErrorKind::kNotFound, "field 'NOPE' not found"},
        {"DATE > 'yesterday'", ErrorKind::kConversion, "'yesterday'"},
        {"OK = 'maybe'", ErrorKind::kConversion, "'maybe'"},
        {"AMT > ", ErrorKind::kInvalidInput, "position 7"},
        {nested(kMaxFilterNesting + 1, "AMT > 5"), ErrorKind::kInvalidInput, "too complex"},
    };
    t->set_filter("NAME <> ''");
    t->set_filtered(true);
    t->last();
    for (bool open : {true, false}) {
        if (!open) t->close();
        for (const auto& c : cases) {
            if (!c.kind) {
                EXPECT_NO_THROW(t->check_filter(c.filter)) << c.filter.substr(0, 100);
            } else {
                EXPECT_PAVO_ERROR(t->check_filter(c.filter), *c.kind, c.message);
            }
            EXPECT_EQ(t->filter(), "NAME <> ''");
            EXPECT_TRUE(t->filtered());
            EXPECT_EQ(t->active(), open);
            if (open) {
                EXPECT_EQ(t->record_count(), 4);
                EXPECT_EQ(t->record_number(), 4);
                EXPECT_EQ(t->state(), DatasetState::kBrowse);
            }
        }
    }
    // Closed, a missing file is what open would say.
    auto missing = table("nothere");
    EXPECT_PAVO_ERROR(missing->check_filter("A = 1"), ErrorKind::kNotFound, "Table does not exist");
}

TEST_F(FilterTest, PostedRowsJoinOrLeaveTheFilteredView) {
    EXPECT_EQ(ids("REASON_NO_SUBMIT = ''"), "14");
    t->append();
    t->field("NAME").set_as_string("fresh");
    t->post();
    EXPECT_EQ(t->record_count(), 3);
    EXPECT_EQ(t->field("ID").as_string(), "6");
    t->append();
    t->field("REASON_NO_SUBMIT").set_as_string("X");
    t->post();  // does not pass: not shown
    EXPECT_EQ(t->record_count(), 3);
    t->set_filtered(false);
    EXPECT_EQ(t->record_count(), 7);
}

TEST_F(FilterTest, RowsAppendedRightAfterAFilterChangeAreCurrentInTheNewView) {
    // The lookup-and-add upkeep of pick lists: filter off, new text, filter on, search, append.
    t->set_filter("NAME = 'zzz'");
    t->set_filtered(true);
    t->append();
    t->field("NAME").set_as_string("zzz");
    t->post();
    EXPECT_EQ(t->record_count(), 1);
    EXPECT_EQ(t->field("NAME").as_string(), "zzz");
    EXPECT_EQ(t->field("ID").as_string(), "6");

    t->set_filter("");
    t->set_filtered(false);
    t->set_index_name("");
    t->append();
    t->field("NAME").set_as_string("new");
    t->post();
    EXPECT_EQ(t->record_count(), 7);
    EXPECT_EQ(t->record_number(), 7);
    EXPECT_EQ(t->field("NAME").as_string(), "new");

    t->set_filter("NAME = 'q'");
    t->set_filtered(true);
    t->append();
    t->field("NAME").set_as_string("not q");
    t->post();  // does not pass the new filter
    EXPECT_EQ(t->record_count(), 0);
    EXPECT_TRUE(t->eof());
    t->set_filtered(false);
    EXPECT_EQ(t->record_count(), 8);
}

TEST(FilterParse, ConstantsAreBoundValuesNeverSqlText) {
    std::vector<FieldDef> fields = {{"A", FieldType::kString, 40}, {"B", FieldType::kFloat}};
    const std::string hostile = "x'); DROP TABLE data; --";
    auto c =
        compile_filter(parse_filter("A = 'x''); DROP TABLE data; --' AND B > 1"), fields, false);
    EXPECT_EQ(c.sql.find("DROP"), std::string::npos) << c.sql;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE data(rid INTEGER PRIMARY KEY, A, B);", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO data(A, B) VALUES(?, 2), ('other', 2)", -1, &ins, nullptr);
    sqlite3_bind_text(ins, 1, hostile.c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(ins), SQLITE_DONE);
    sqlite3_finalize(ins);
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, ("SELECT rid FROM data WHERE " + c.sql).c_str(), -1, &q, nullptr),
        SQLITE_OK);
    for (std::size_t i = 0; i < c.binds.size(); ++i)
        bind_value(q, static_cast<int>(i) + 1, c.binds[i]);
    std::vector<long long> rows;
    while (sqlite3_step(q) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(q, 0));
    sqlite3_finalize(q);
    sqlite3_close(db);
    EXPECT_EQ(rows, (std::vector<long long>{1}));
}

}  // namespace
}  // namespace pavo::tables::test
