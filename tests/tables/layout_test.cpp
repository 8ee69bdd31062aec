// Table files as other programs read them: columns named after fields, and files made with
// numbered columns, which keep working and convert whole or not at all.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_system.h"
#include "table_test_support.h"
#include "tables/file_layout.h"

namespace pavo::tables::test {
namespace {

const char* const kFixtures[] = {"time10.db", "carrier.db", "pavoden2.db", "jsearch2.db",
                                 "stats_jt.db"};

// Rows of a query as another program sees them: each value with its storage type.
std::vector<std::string> raw(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        out.push_back(std::string("error: ") + sqlite3_errmsg(db));
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const unsigned char* p = sqlite3_column_text(st, i);
            row += std::to_string(sqlite3_column_type(st, i)) + ":" +
                   (p ? reinterpret_cast<const char*>(p) : "") + "|";
        }
        out.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

// Ends the process on the chosen rename, as a crash or a kill would at that moment.
class DieAtRename : public FaultyFileSystem {
  public:
    int die_at = 0;
    void rename(const fs::path& from, const fs::path& to) override {
        if (die_at-- == 0) _exit(0);
        FaultyFileSystem::rename(from, to);
    }
};

class LayoutTest : public TableTest {
  protected:
    fs::path fixture(const std::string& name) {
        fs::path to = data_dir() / name;
        fs::copy_file(fs::path(PAVO_SOURCE_DIR) / "tests/tables/data/first_layout" / name, to,
                      fs::copy_options::overwrite_existing);
        return to;
    }
    // Every field of every row in primary order, as the program shows them.
    std::vector<std::string> rows(const std::string& name) {
        auto t = table(name);
        t->open();
        std::vector<std::string> out;
        for (t->first(); !t->eof(); t->next()) {
            std::string row;
            for (int i = 0; i < t->field_count(); ++i) row += t->field(i).as_string() + "|";
            out.push_back(row);
        }
        return out;
    }
    // What is left in the folder besides the table files themselves.
    std::vector<std::string> leftovers() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(data_dir()))
            if (e.path().extension() != ".db") out.push_back(e.path().filename().string());
        return out;
    }
};

TEST_F(LayoutTest, FilesWithNumberedColumnsOpenEditAndPostUnconverted) {
    for (const char* name : kFixtures) fixture(name);
    auto time = table("TIME10.DB");
    time->open();
    EXPECT_FALSE(has_named_columns(data_dir() / "time10.db"));
    EXPECT_EQ(time->record_count(), 144);
    ASSERT_TRUE(time->find_key({"12:00"}));
    EXPECT_EQ(time->field("12_HOUR").as_string(), "12:00 PM");
    time->edit();
    time->field("12_HOUR").set_as_string("noon");
    time->post();
    time->append();
    time->field("24_HOUR").set_as_string("00:00");
    EXPECT_PAVO_ERROR(time->post(), ErrorKind::kKeyViolation, "Key violation");
    time->cancel();
    time->set_filter("[24_HOUR] >= '23:00'");
    time->set_filtered(true);
    EXPECT_EQ(time->record_count(), 6);

    auto pay = table("PAVODEN2.DB");
    pay->open();
    ASSERT_TRUE(pay->locate("COMMENT", {"IT'S LATE"}, {true, false}));
    EXPECT_EQ(pay->field("pk").as_string(), "9");
    pay->append();
    pay->field("CATEGORY").set_as_string("CHILD SUPPORT");
    pay->field("MEMO").set_as_string("posted to a file with numbered columns");
    pay->post();
    EXPECT_EQ(pay->field("pk").as_string(), "13");

    auto stats = table("STATS_JT.DB");
    stats->set_filter("ORDER = 2 AND COUNT = 0");
    stats->set_filtered(true);
    stats->set_index_name("CATEGORY_");
    stats->open();
    EXPECT_EQ(column(*stats, "CATEGORY"),
              (std::vector<std::string>{".NET TESTER", "PROJECT DEVELOPER"}));
    time->close();
    pay->close();
    EXPECT_FALSE(has_named_columns(data_dir() / "pavoden2.db"));
    EXPECT_EQ(raw(data_dir() / "time10.db", "SELECT c1 FROM data WHERE c0 = '12:00'"),
              std::vector<std::string>{"3:noon|"});
}

TEST_F(LayoutTest, ConversionKeepsEveryRowNumberDefinitionAndIndex) {
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        fs::path file = fixture(name);
        if (std::string(name) == "pavoden2.db") {
            // The highest number deleted: the counter stays above the rows that remain.
            auto t = table(name);
            t->open();
            t->last();
            t->delete_record();
        }
        const char* const kept[] = {
            "SELECT * FROM data ORDER BY rid",
            "SELECT * FROM pavo_fields",
            "SELECT * FROM pavo_indexes",
            "SELECT * FROM pavo_table",
            "SELECT * FROM sqlite_sequence",
            "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name",
        };
        std::vector<std::vector<std::string>> before;
        for (const char* sql : kept) before.push_back(raw(file, sql));
        auto shown = rows(name);

        EXPECT_TRUE(upgrade_table_file(file));
        EXPECT_TRUE(has_named_columns(file));
        EXPECT_FALSE(upgrade_table_file(file));
        for (std::size_t i = 0; i < std::size(kept); ++i) {
            auto after = raw(file, kept[i]);
            // pavo_table differs in the format number alone.
            if (i == 3) after.front().replace(after.front().find("|1:2|"), 5, "|1:1|");
            EXPECT_EQ(after, before[i]) << kept[i];
        }
        EXPECT_EQ(rows(name), shown);
        EXPECT_EQ(raw(file, "PRAGMA integrity_check"), std::vector<std::string>{"3:ok|"});
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
    }
    // Indexes work on the named columns: keys stay unique, orders stay.
    auto time = table("TIME10");
    time->open();
    time->append();
    time->field("24_HOUR").set_as_string("23:50");
    EXPECT_PAVO_ERROR(time->post(), ErrorKind::kKeyViolation, "Key violation");
    time->cancel();
    auto pay = table("PAVODEN2");
    pay->set_index_name("ITEM_DATE_");
    pay->open();
    EXPECT_EQ(column(*pay, "pk"), (std::vector<std::string>{"9", "5", "2", "1"}));
    pay->append();
    pay->post();
    EXPECT_EQ(pay->field("pk").as_string(), "13");
}

TEST_F(LayoutTest, OtherProgramsReadRowsByFieldName) {
    create("odd",
           {{"24_HOUR", FieldType::kString, 5},
            {"ORDER", FieldType::kFloat},
            {"it's", FieldType::kString, 10},
            {"A B", FieldType::kString, 10}},
           {{"", "24_HOUR", true, true}, {"BY_ORDER", "ORDER;A B", false, false, true, true}});
    auto t = table("odd");
    t->open();
    fill(*t, {{"09:00", "2", "x", "y"}, {"10:00", "1", "it's", "b"}, {"11:00", "2", "", "a"}});
    t->set_filter("[A B] <> 'y' AND ORDER = 2 OR [it's] = 'it''s'");
    t->set_filtered(true);
    t->set_index_name("BY_ORDER");
    EXPECT_EQ(column(*t, "24_HOUR"), (std::vector<std::string>{"11:00", "10:00"}));
    ASSERT_TRUE(t->locate("it's;A B", {"IT'S", "B"}, {true, false}));
    t->close();
    EXPECT_EQ(raw(data_dir() / "odd.db", "SELECT \"24_HOUR\", \"ORDER\", \"A B\" FROM data"),
              (std::vector<std::string>{"3:09:00|2:2.0|3:y|", "3:10:00|2:1.0|3:b|",
                                        "3:11:00|2:2.0|3:a|"}));
    EXPECT_PAVO_ERROR(create("bad", {{"Rid", FieldType::kString, 5}}, {}), ErrorKind::kInvalidInput,
                      "reserved");

    // The sqlite3 program, on a file converted from numbered columns.
    fs::path file = fixture("time10.db");
    ASSERT_TRUE(upgrade_table_file(file));
    std::string cmd = "sqlite3 '" + file.string() + "' 'SELECT \"24_HOUR\" FROM data LIMIT 2'";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[64] = {};
    std::string out;
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(out, "00:00\n00:10\n");
}

TEST_F(LayoutTest, AnOpenTableIsLeftAsItIsAndConvertedLater) {
    fs::path file = fixture("carrier.db");
    auto t = table("carrier");
    t->open();
    EXPECT_FALSE(upgrade_table_file(file));
    EXPECT_EQ(t->record_count(), 23);
    t->close();
    EXPECT_TRUE(upgrade_table_file(file));
}

TEST_F(LayoutTest, AConversionFailingBetweenTablesLeavesEachWholeInOneLayout) {
    for (const char* name : kFixtures) fixture(name);
    auto before = rows("time10");
    FaultyFileSystem faulty;
    faulty.fail_rename_call = 1;
    {
        ScopedFileSystem use(&faulty);
        EXPECT_TRUE(upgrade_table_file(data_dir() / "carrier.db"));
        EXPECT_PAVO_ERROR(upgrade_table_file(data_dir() / "time10.db"), ErrorKind::kIO,
                          "time10.db");
        EXPECT_TRUE(upgrade_table_file(data_dir() / "stats_jt.db"));
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_TRUE(has_named_columns(data_dir() / "carrier.db"));
    EXPECT_FALSE(has_named_columns(data_dir() / "time10.db"));
    EXPECT_EQ(rows("time10"), before);
    EXPECT_EQ(rows("carrier").size(), 23u);

    // A file claiming the other layout is damaged, and is left as it is.
    fs::path jobs = data_dir() / "jsearch2.db";
    sqlite3* db = nullptr;
    sqlite3_open(jobs.c_str(), &db);
    sqlite3_exec(db, "UPDATE pavo_table SET value = 2", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_PAVO_ERROR(upgrade_table_file(jobs), ErrorKind::kCorruption, "data columns");
    EXPECT_PAVO_ERROR(table("jsearch2")->open(), ErrorKind::kCorruption, "jsearch2.db");
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(LayoutTest, AProcessKilledBetweenTablesLeavesEachWholeAndTheNextRunFinishes) {
    fs::path carrier = fixture("carrier.db"), pay = fixture("pavoden2.db");
    auto before = rows("pavoden2");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        DieAtRename dying;
        dying.die_at = 1;  // the second table's file is built, not yet in place
        ScopedFileSystem use(&dying);
        try {
            upgrade_table_file(carrier);
            upgrade_table_file(pay);
        } catch (...) {
        }
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(has_named_columns(carrier));
    EXPECT_FALSE(has_named_columns(pay));
    EXPECT_EQ(rows("pavoden2"), before);
    EXPECT_EQ(leftovers(), std::vector<std::string>{"pavoden2.db.converting"});
    EXPECT_TRUE(upgrade_table_file(pay));
    EXPECT_EQ(rows("pavoden2"), before);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace pavo::tables::test
