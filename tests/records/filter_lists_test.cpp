// Saved filter lists on disk (line ends, encoding, bad files, failed writes) and the filter routine
// on the shared datasets (checked before the dataset is touched, counts, the previous filter kept).
#include "records/filter_lists.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "store/data_module.h"
#include "store/install.h"
#include "support/temp_home.h"

namespace pavo::records {
namespace {

const std::string kList = kPaymentFilterList;

fs::path host(const std::string& logical) {
    return DriveMap::current().to_host(logical);
}

std::string bytes_of(const std::string& logical) {
    return read_whole_file(host(logical));
}

void put(const std::string& logical, const std::string& data) {
    make_filter_folders();
    write_file_atomically(host(logical), data);
}

class FilterListFile : public ::testing::Test {
  protected:
    pavo::testing::TempHome home;
};

TEST_F(FilterListFile, RoundTripsCrLfLinesWithApostrophesAndNonAsciiLetters) {
    const std::vector<std::string> items = {"COMMENT = 'CHILD''S DENTIST'",
                                            "CATEGORY = 'Zürich Ærø'", "", "CS_AMT > 0"};
    make_filter_folders();
    write_filter_list(kList, items);
    EXPECT_EQ(bytes_of(kList),
              "COMMENT = 'CHILD''S DENTIST'\r\nCATEGORY = 'Zürich Ærø'\r\n\r\nCS_AMT > 0\r\n");
    EXPECT_EQ(read_filter_list(kList), items);
}

TEST_F(FilterListFile, ReadingAcceptsLfBomAndLastLineWithoutBreak) {
    struct Case {
        const char* name;
        std::string data;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {"empty file", "", {}},
        {"LF", "A > 1\nB < 2\n", {"A > 1", "B < 2"}},
        {"no last break", "A > 1\r\nB < 2", {"A > 1", "B < 2"}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "A > 1\r\n",
         {"A > 1"}},
        {"empty lines", "\r\nA\r\n\r\n", {"", "A", ""}},
        {"mixed", "A\nB\r\nC", {"A", "B", "C"}},
    };
    for (const Case& c : cases) {
        put(kList, c.data);
        EXPECT_EQ(read_filter_list(kList), c.items) << c.name;
    }
}

TEST_F(FilterListFile, EmptyListGivesZeroByteFileAndMissingFileIsNoList) {
    EXPECT_EQ(read_filter_list(kList), std::nullopt);
    make_filter_folders();
    write_filter_list(kList, {});
    EXPECT_EQ(bytes_of(kList), "");
    EXPECT_EQ(read_filter_list(kList), std::vector<std::string>{});
}

TEST_F(FilterListFile, BadFilesAreRefusedNamingTheFile) {
    make_filter_folders();
    fs::create_directory(host(kList));
    try {
        read_filter_list(kList);
        ADD_FAILURE() << "a folder read as a list";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("pavoden_filters.txt"), std::string::npos) << e.what();
    }
    fs::remove(host(kList));

    for (const std::string& bad : {std::string("A = 'x\xFF'\r\n"), std::string("\xC0\xAF\r\n"),
                                   std::string("A = '\xE2\x82'")}) {
        put(kList, bad);
        try {
            read_filter_list(kList);
            ADD_FAILURE() << "not UTF-8, yet read";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kCorruption);
            EXPECT_NE(std::string(e.what()).find("pavoden_filters.txt"), std::string::npos);
        }
    }
}

TEST_F(FilterListFile, LongExpressionsAndLongListsLoadAndSaveWhole) {
    std::string long_expr = "CATEGORY = 'A'";
    while (long_expr.size() < 10000) long_expr += " OR CATEGORY = 'A'";
    std::vector<std::string> items(5000);
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = "CS_AMT > " + std::to_string(i);
    items[2500] = long_expr;
    make_filter_folders();
    write_filter_list(kList, items);
    EXPECT_EQ(read_filter_list(kList), items);
}

TEST_F(FilterListFile, FailedWriteLeavesTheOldFileWholeAndNamesIt) {
    put(kList, "OLD ONE\r\nOLD TWO\r\n");
    std::vector<std::string> items(2000, "CATEGORY = 'LEGAL' AND CS_AMT > 100");
    for (int mode = 0; mode < 2; ++mode) {
        FaultyFileSystem faulty;
        if (mode == 0) faulty.fail_write_after_bytes = 100;  // disk full half way
        if (mode == 1) faulty.fail_rename_call = 0;          // the final rename refused
        ScopedFileSystem scoped(&faulty);
        try {
            write_filter_list(kList, items);
            ADD_FAILURE() << "a failed write reported success";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("pavoden_filters.txt"), std::string::npos);
            EXPECT_NE(e.os_error(), 0) << "the system's reason is kept";
        }
    }
    EXPECT_EQ(bytes_of(kList), "OLD ONE\r\nOLD TWO\r\n");
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(host(kFilterFolder))) files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << "no temporary left beside the list";
}

TEST(FilterText, LineBreaksJoiningPositionsAndCounts) {
    EXPECT_EQ(line_breaks_to_blanks("A\r\nB\nC\rD"), "A B C D");
    EXPECT_EQ(join_condition_lines({"CS_AMT > 0", "AND SS_AMT > 0"}), "CS_AMT > 0 AND SS_AMT > 0");
    EXPECT_EQ(join_condition_lines({}), "");
    EXPECT_EQ(filter_error_position("Filter expression error at position 17: 'x'"), 17);
    EXPECT_EQ(filter_error_position("Table is busy"), 0);
    EXPECT_EQ(filter_count_text({312, 5000}), "312 of 5,000 records");
    EXPECT_EQ(filter_count_text({0, 1234567}), "0 of 1,234,567 records");
    EXPECT_EQ(filter_count_text({12, 999}), "12 of 999 records");
}

// The routine on the shared payment dataset, seen by another user of the same Table.
class ApplyFilterOnDataset : public ::testing::Test {
  protected:
    void SetUp() override {
        store::install({});
        dm = std::make_unique<store::DataModule>();
        tables::Table& t = dm->table_pavoden;
        for (const char* cat : {"legal", "LEGAL", "medical", "legal"}) {
            t.append();
            t.field("CATEGORY").set_as_string(cat);
            t.field("CS_AMT").set_as_float(10);
            t.field("COMMENT").set_as_string("CHILD'S DENTIST");
            t.post();
        }
    }
    pavo::testing::TempHome home;
    std::unique_ptr<store::DataModule> dm;
};

TEST_F(ApplyFilterOnDataset, AppliesCountsAndSwitchesOff) {
    tables::Table& t = dm->table_pavoden;
    FilterCount c = apply_filter(t, "CATEGORY = 'legal'");
    EXPECT_EQ(c.passing, 2) << "payments compare case-sensitively";
    EXPECT_EQ(c.total, 4);
    EXPECT_TRUE(t.active());
    EXPECT_TRUE(t.filtered());
    EXPECT_EQ(t.record_count(), 2);
    c = apply_filter(t, "COMMENT = 'CHILD''S DENTIST'");
    EXPECT_EQ(c.passing, 4);
    c = apply_filter(t, "");
    EXPECT_FALSE(t.filtered());
    EXPECT_EQ(t.filter(), "");
    EXPECT_EQ(t.record_count(), 4);
}

TEST_F(ApplyFilterOnDataset, RefusedExpressionKeepsThePreviousFilterOpen) {
    tables::Table& t = dm->table_pavoden;
    apply_filter(t, "CATEGORY = 'medical'");
    const std::vector<std::string> refused = {"CATEGORY = ",          "NOSUCH = 'x'",
                                              "MEMO = 'x'",           "CS_AMT = 'abc'",
                                              "CATEGORY = 'x' AND (", "CATEGORY 'x'"};
    for (const std::string& bad : refused) {
        try {
            apply_filter(t, bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const Error& e) {
            EXPECT_GT(filter_error_position(e.what()), 0) << bad << ": " << e.what();
        }
        EXPECT_TRUE(t.active()) << bad;
        EXPECT_EQ(t.filter(), "CATEGORY = 'medical'") << bad;
        EXPECT_TRUE(t.filtered()) << bad;
        EXPECT_EQ(t.record_count(), 1) << bad;
    }
    EXPECT_EQ(apply_filter(t, "CATEGORY = 'LEGAL'").passing, 1) << "the next Apply works";
}

}  // namespace
}  // namespace pavo::records
