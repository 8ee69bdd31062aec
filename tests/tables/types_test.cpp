// Field types and conversions, required fields, key violations and table definitions.
#include <cmath>
#include <tuple>

#include "table_test_support.h"
#include "utility/text_conv.h"

namespace pavo::tables::test {
namespace {

class TypesTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        create("kinds",
               {{"ID", FieldType::kAutoInc},
                {"NAME", FieldType::kString, 5},
                {"WHEN", FieldType::kDate},
                {"AMOUNT", FieldType::kFloat},
                {"FLAG", FieldType::kBoolean},
                {"NOTE", FieldType::kMemo}},
               {{"", "ID", true, true}});
        t = table("KINDS.DB");
        t->open();
    }
    std::unique_ptr<Table> t;
};

TEST_F(TypesTest, TextsConvertByFieldTypeAndReadBack) {
    struct Case {
        std::string field;
        std::string written;
        std::string read;
    };
    const Case cases[] = {
        {"NAME", "ab", "ab"},
        {"NAME", "abcdefgh", "abcde"},  // cut to the size
        {"NAME", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9",
         "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"},  // characters, not bytes
        {"WHEN", "3/1/2004", "3/1/2004"},
        {"WHEN", "02/29/2004", "2/29/2004"},
        {"AMOUNT", "12.5", "12.5"},
        {"AMOUNT", " -3 ", "-3"},
        {"FLAG", "true", "True"},
        {"FLAG", "FALSE", "False"},
        {"NOTE", std::string(600, 'm'), std::string(600, 'm')},
    };
    for (const auto& c : cases) {
        t->append();
        t->field(c.field).set_as_string(c.written);
        t->post();
        EXPECT_EQ(t->field(c.field).as_string(), c.read) << c.field << " <- " << c.written;
        EXPECT_FALSE(t->field(c.field).is_null());
    }
}

TEST_F(TypesTest, TextsThatDoNotConvertNameFieldAndText) {
    t->append();
    EXPECT_PAVO_ERROR(t->field("WHEN").set_as_string("2/30/2004"), ErrorKind::kConversion,
                      "'2/30/2004'");
    EXPECT_PAVO_ERROR(t->field("WHEN").set_as_string("soon"), ErrorKind::kConversion, "WHEN");
    EXPECT_PAVO_ERROR(t->field("AMOUNT").set_as_string("12,5"), ErrorKind::kConversion, "AMOUNT");
    EXPECT_PAVO_ERROR(t->field("FLAG").set_as_string("maybe"), ErrorKind::kConversion, "'maybe'");
    EXPECT_PAVO_ERROR(t->field("AMOUNT").set_as_float(std::nan("")), ErrorKind::kConversion,
                      "AMOUNT");
    // The refused texts left the buffer as it was.
    EXPECT_TRUE(t->field("WHEN").is_null());
    t->cancel();
    EXPECT_PAVO_ERROR(t->field("NAME").set_as_string("x"), ErrorKind::kInvalidInput, "not in edit");
}

TEST_F(TypesTest, EmptyValuesAreNullAndReadAsZero) {
    t->append();
    t->field("NAME").set_as_string("x");
    t->field("AMOUNT").set_as_string("");
    t->post();
    EXPECT_TRUE(t->field("AMOUNT").is_null());
    EXPECT_TRUE(t->field("WHEN").is_null());
    EXPECT_EQ(t->field("AMOUNT").as_float(), 0);
    EXPECT_EQ(t->field("WHEN").as_date(), 0);  // 30 Dec 1899
    EXPECT_FALSE(t->field("FLAG").as_boolean());
    EXPECT_EQ(t->field("WHEN").as_string(), "");
    t->edit();
    t->field("NAME").clear();
    t->post();
    EXPECT_TRUE(t->field("NAME").is_null());
}

TEST_F(TypesTest, NumbersDatesAndTruthValuesCrossTypes) {
    t->append();
    t->field("NAME").set_as_float(42);
    t->field("WHEN").set_as_date(date_from_civil(2004, 3, 1) + 0.75);  // the time of day is dropped
    t->field("AMOUNT").set_as_boolean(true);
    t->field("FLAG").set_as_float(0);
    t->post();
    EXPECT_EQ(t->field("NAME").as_integer(), 42);
    EXPECT_EQ(t->field("WHEN").as_date(), date_from_civil(2004, 3, 1));
    EXPECT_EQ(t->field("AMOUNT").as_float(), 1);
    EXPECT_EQ(t->field("FLAG").as_string(), "False");
    t->edit();
    t->field("NAME").set_as_string("x1");
    t->post();
    EXPECT_PAVO_ERROR(t->field("NAME").as_float(), ErrorKind::kConversion, "'x1'");
}

TEST_F(TypesTest, DatesReadAsTheProgramsShortDateForm) {
    t->append();
    for (auto [y, m, d] : std::vector<std::tuple<int, int, int>>{{1899, 12, 30},
                                                                 {1, 1, 1},
                                                                 {999, 12, 31},
                                                                 {1000, 1, 1},
                                                                 {1900, 2, 28},
                                                                 {2000, 2, 29},
                                                                 {2004, 10, 5},
                                                                 {2004, 12, 31},
                                                                 {9999, 12, 31},
                                                                 {1752, 9, 14},
                                                                 {1899, 12, 29}}) {
        double date = date_from_civil(y, m, d);
        t->field("WHEN").set_as_date(date);
        EXPECT_EQ(t->field("WHEN").as_string(), format_short_date(date))
            << y << "-" << m << "-" << d;
    }
    t->post();
    EXPECT_EQ(t->field("WHEN").as_string(), "12/29/1899");
}

TEST_F(TypesTest, AutoIncrementNumbersAreNeverReused) {
    for (int i = 0; i < 3; ++i) {
        t->append();
        t->field("NAME").set_as_string("r" + std::to_string(i));
        t->post();
        EXPECT_EQ(t->field("ID").as_integer(), i + 1);
    }
    t->last();
    t->delete_record();
    t->append();
    t->field("NAME").set_as_string("new");
    t->post();
    EXPECT_EQ(t->field("ID").as_integer(), 4);
    t->empty_table();
    t->append();
    t->field("NAME").set_as_string("after empty");
    t->post();
    EXPECT_EQ(t->field("ID").as_integer(), 5);

    // A restored row keeps the number it brings; numbering goes on after it; numbers stay unique.
    t->append();
    t->field("ID").set_as_string("40");
    t->post();
    EXPECT_EQ(t->field("ID").as_integer(), 40);
    t->append();
    t->post();
    EXPECT_EQ(t->field("ID").as_integer(), 41);
    t->append();
    t->field("ID").set_as_float(5);
    EXPECT_PAVO_ERROR(t->post(), ErrorKind::kKeyViolation, "Key: 5");
    EXPECT_PAVO_ERROR(t->field("ID").set_as_string("1.5"), ErrorKind::kConversion, "ID");
    EXPECT_PAVO_ERROR(t->field("ID").set_as_float(0), ErrorKind::kConversion, "ID");
    t->cancel();
    t->edit();
    EXPECT_PAVO_ERROR(t->field("ID").set_as_string("77"), ErrorKind::kInvalidInput,
                      "cannot be modified");
    t->cancel();
}

TEST_F(TableTest, RequiredFieldsAndKeyViolationsRefuseThePost) {
    create_jobs();
    auto t = table("jsearch2.DB");
    t->open();
    t->append();
    t->field("DATE").set_as_string("1/5/2004");
    t->field("YYYYMMDD").set_as_string("20040105");
    t->field("TIME").set_as_string("09:00");
    EXPECT_PAVO_ERROR(t->post(), ErrorKind::kRequired, "Field 'CONTACT_NAME' must have a value.");
    EXPECT_EQ(t->state(), DatasetState::kInsert);  // the user can still fix the row
    t->field("CONTACT_NAME").set_as_string("ACME");
    t->post();
    EXPECT_EQ(t->record_count(), 1);

    create("city", {{"CITY", FieldType::kString, 50}}, {{"", "CITY", true, true}});
    auto c = table("CITY.db");
    c->open();
    fill(*c, {{"DENVER"}, {"Denver"}});  // the primary index compares case-sensitively
    c->append();
    c->field("CITY").set_as_string("DENVER");
    EXPECT_PAVO_ERROR(c->post(), ErrorKind::kKeyViolation, "Key violation.");
    try {
        c->post();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("DENVER"), std::string::npos) << e.what();
    }
    c->cancel();
    // A blank key is a key too: only one row may have it.
    c->append();
    c->post();
    c->append();
    EXPECT_PAVO_ERROR(c->post(), ErrorKind::kKeyViolation, "Key violation.");
    c->cancel();
    // Editing a row onto another's key is refused; editing it onto its own key is not.
    ASSERT_TRUE(c->locate("CITY", {"Denver"}));
    c->edit();
    c->field("CITY").set_as_string("DENVER");
    EXPECT_PAVO_ERROR(c->post(), ErrorKind::kKeyViolation, "DENVER");
    c->field("CITY").set_as_string("Denver");
    c->post();
    EXPECT_EQ(c->record_count(), 3);
}

TEST_F(TableTest, DefinitionsAreStoredAndChecked) {
    create_jobs();
    auto t = table("JSEARCH2.DB");  // another spelling finds the file
    t->open();
    EXPECT_EQ(t->index_names(),
              (std::vector<std::string>{"CONTACT_NAME_", "YYYYMMDD_TIME_DESCENDING",
                                        "YYYYMMDD_TIME_ASCENDING"}));
    ASSERT_EQ(t->field_count(), 11);
    EXPECT_EQ(t->field_defs()[3].name, "YYYYMMDD");
    EXPECT_EQ(t->field_defs()[3].size, 8);
    EXPECT_TRUE(t->field_defs()[2].required);
    EXPECT_EQ(t->field("memo").type(), FieldType::kMemo);
    EXPECT_PAVO_ERROR(t->field("NOPE"), ErrorKind::kNotFound, "Field 'NOPE' not found");
    EXPECT_TRUE(fs::exists(data_dir() / "jsearch2.db"));

    auto again = table("jsearch2");
    again->set_field_defs({{"X", FieldType::kString, 5}});
    EXPECT_PAVO_ERROR(again->create_table(), ErrorKind::kExists, "already exists");
    EXPECT_PAVO_ERROR(again->create_table(true), ErrorKind::kLocked, "busy");  // open in t
    t->close();
    again->create_table(true);
    t->open();
    EXPECT_EQ(t->field_count(), 1);

    auto bad = table("bad");
    const std::vector<std::vector<FieldDef>> bad_fields = {
        {},
        {{"S", FieldType::kString, 0}},
        {{"S", FieldType::kString, 256}},
        {{"A", FieldType::kFloat}, {"a", FieldType::kFloat}},
        {{"", FieldType::kFloat}},
    };
    for (const auto& f : bad_fields) {
        bad->set_field_defs(f);
        EXPECT_PAVO_ERROR(bad->create_table(), ErrorKind::kInvalidInput,
                          "Invalid table definition");
    }
    bad->set_field_defs({{"A", FieldType::kFloat}});
    bad->set_index_defs({{"", "B", true, true}});
    EXPECT_PAVO_ERROR(bad->create_table(), ErrorKind::kInvalidInput, "unknown field 'B'");
    EXPECT_FALSE(bad->exists());

    t->close();
    t->delete_table();
    EXPECT_FALSE(t->exists());
    EXPECT_PAVO_ERROR(t->open(), ErrorKind::kNotFound, "Table does not exist");
    EXPECT_PAVO_ERROR(t->delete_table(), ErrorKind::kNotFound, "does not exist");
}

TEST_F(TableTest, DatabaseNamesResolveThroughAliasesOrFolders) {
    create("pick", {{"P", FieldType::kString, 10}}, {});
    Table by_folder;
    by_folder.set_database_name("C:\\DATA");
    by_folder.set_table_name("PICK.DB");
    by_folder.open();
    EXPECT_EQ(by_folder.field_count(), 1);
    Table unknown;
    unknown.set_database_name("NOALIAS");
    unknown.set_table_name("pick");
    EXPECT_PAVO_ERROR(unknown.open(), ErrorKind::kNotFound, "NOALIAS");
    EXPECT_PAVO_ERROR(by_folder.set_table_name("x"), ErrorKind::kInvalidInput, "open dataset");
}

}  // namespace
}  // namespace pavo::tables::test
