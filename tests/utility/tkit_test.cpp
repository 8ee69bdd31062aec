// The utility routines: date forms, day counts, file-name and text helpers, report columns,
// version.
#include "utility/tkit.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/clock.h"
#include "utility/text_conv.h"

namespace pavo {
namespace {

TEST(TkitDates, TextFormsOfKnownDays) {
    struct Case {
        double date;
        const char *yyyymmdd, *mm_dd_yyyy, *mm_yyyy;
        int month, year;
    };
    const Case cases[] = {
        {37685, "20030305", "03/05/2003", "03/2003", 3, 2003},
        {37685.75, "20030305", "03/05/2003", "03/2003", 3, 2003},  // the time of day is ignored
        {0, "18991230", "12/30/1899", "12/1899", 12, 1899},        // the zero date
        {-1, "18991229", "12/29/1899", "12/1899", 12, 1899},
        {-1.5, "18991229", "12/29/1899", "12/1899", 12, 1899},  // negative: integer part is the day
        {36585, "20000229", "02/29/2000", "02/2000", 2, 2000},
        {38046, "20040229", "02/29/2004", "02/2004", 2, 2004},
        {2958465, "99991231", "12/31/9999", "12/9999", 12, 9999},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tkit_Date_To_YYYYMMDD(c.date), c.yyyymmdd) << c.date;
        EXPECT_EQ(tkit_Date_To_MM_DD_YYYY(c.date), c.mm_dd_yyyy) << c.date;
        EXPECT_EQ(tkit_Date_To_MM_YYYY(c.date), c.mm_yyyy) << c.date;
        EXPECT_EQ(tkit_MonthOf(c.date), c.month) << c.date;
        EXPECT_EQ(tkit_YearOf(c.date), c.year) << c.date;
    }
    EXPECT_EQ(tkit_Date_To_YYYYMMDD(1e12), "");
    EXPECT_EQ(tkit_YearOf(-1e9), 0);
}

TEST(TkitDates, YyyymmddKeysSortInDateOrder) {
    std::string previous;
    for (double d = -800; d < 80000; d += 97.3) {
        std::string key = tkit_Date_To_YYYYMMDD(d);
        ASSERT_EQ(key.size(), 8u);
        EXPECT_LT(previous, key);
        previous = key;
    }
}

TEST(TkitDates, DaysInAMonthCountsLeapYears) {
    EXPECT_EQ(tkit_DaysInAMonth(2000, 2), 29);
    EXPECT_EQ(tkit_DaysInAMonth(1900, 2), 28);
    EXPECT_EQ(tkit_DaysInAMonth(2004, 2), 29);
    EXPECT_EQ(tkit_DaysInAMonth(2003, 2), 28);
    EXPECT_EQ(tkit_DaysInAMonth(2003, 4), 30);
    EXPECT_EQ(tkit_DaysInAMonth(2003, 12), 31);
    EXPECT_EQ(tkit_DaysInAMonth(2003, 13), 0);
    EXPECT_EQ(tkit_DaysInAMonth(2003, 0), 0);
}

TEST(TkitDates, VerifyDateDiffsSetsBothOrNeither) {
    struct Case {
        const char *first, *second;
        int ok;
        double days;
    };
    const Case cases[] = {
        {"3/5/2003", "3/12/2003", 1, 7},   {"03/05/2003", "3/4/2003", 1, -1},
        {"2/28/2004", "3/1/2004", 1, 2},  // across a leap day
        {"12/31/1999", "1/1/2000", 1, 1},  {"", "3/12/2003", 0, -1},
        {"3/5/2003", "", 0, -1},           {"2/30/2003", "3/1/2003", 0, -1},
        {"3/5/2003", "not a date", 0, -1},
    };
    for (const auto& c : cases) {
        int ok = 0;
        double days = -1;
        tkit_verify_date_diffs(c.first, c.second, ok, days);
        EXPECT_EQ(ok, c.ok) << c.first << " / " << c.second;
        EXPECT_EQ(days, c.days) << c.first << " / " << c.second;
    }
    // Unusual presets are left exactly as the caller set them.
    int ok = 7;
    double days = 123.5;
    tkit_verify_date_diffs("x", "y", ok, days);
    EXPECT_EQ(ok, 7);
    EXPECT_EQ(days, 123.5);
}

TEST(TkitText, TimeStampHasTheFileNameForm) {
    EXPECT_TRUE(std::regex_match(tkit_yyyy_mm_dd_hh_mm_ss(),
                                 std::regex(R"(\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d)")));
}

TEST(TkitText, TimeStampIsTheClocksLocalTime) {
    struct Case {
        clock::DateTime at;
        const char* stamp;
    };
    const Case cases[] = {
        {{2026, 12, 6, 17, 25, 3}, "2026-12-06-17-25-03"},
        {{2004, 3, 5, 0, 0, 0}, "2004-03-05-00-00-00"},
        {{999, 1, 31, 23, 59, 59}, "0999-01-31-23-59-59"},
    };
    for (const auto& c : cases) {
        clock::ScopedFixedTime fixed(c.at);
        EXPECT_EQ(tkit_yyyy_mm_dd_hh_mm_ss(), c.stamp);
    }
}

TEST(TkitText, NewExtensionReplacesOnlyTheLastExtension) {
    EXPECT_EQ(tkit_New_Extention("report.txt", "bak"), "report.bak");
    EXPECT_EQ(tkit_New_Extention("a.b.c", "zip"), "a.b.zip");
    EXPECT_EQ(tkit_New_Extention("noext", "zip"), "noext.zip");
    EXPECT_EQ(tkit_New_Extention(R"(c:\my.dir\file)", "db"), R"(c:\my.dir\file.db)");
    EXPECT_EQ(tkit_New_Extention("dir.d/file.txt", "db"), "dir.d/file.db");
}

TEST(TkitText, ReplaceCharInString) {
    EXPECT_EQ(tkit_replace_char_in_string("O'Neil's", "'", " "), "O Neil s");
    EXPECT_EQ(tkit_replace_char_in_string("abc", "", "x"), "abc");
    EXPECT_EQ(tkit_replace_char_in_string("a-b-c", "-", ""), "abc");
}

TEST(TkitText, FormatOutputLinesUpHeadingRuleDataAndTotals) {
    const int widths[] = {10, 8, 25};
    const char* flags[] = {"Y", "Y", "N"};
    auto build = [&](std::initializer_list<const char*> values, const char* fill) {
        std::string line;
        int i = 0;
        for (const char* v : values) {
            line = tkit_format_output(v, line, widths[i], 2, fill, flags[i]);
            ++i;
        }
        return line;
    };
    std::string heading = build({"DATE", "AMOUNT", "ITEM"}, "_");
    std::string rule = build({"----------", "---------", "-------------------------"}, "-");
    std::string data = build({"03/05/2003", "125.50", ""}, "_");
    std::string totals = build({"TOTALS:", "9999.00", ""}, " ");
    EXPECT_EQ(heading, "      DATE    AMOUNT  ITEM                       ");
    EXPECT_EQ(rule, "----------  --------  -------------------------  ");  // 9 dashes cut to 8
    EXPECT_EQ(data, "03/05/2003    125.50  _________________________  ");
    EXPECT_EQ(totals, "   TOTALS:   9999.00                             ");
    EXPECT_EQ(heading.size(), data.size());
    EXPECT_EQ(rule.size(), totals.size());

    EXPECT_EQ(tkit_format_output("abcdef", "", 3, 1, "_", "Y"), "abc ");
    EXPECT_EQ(tkit_format_output("", "x", 3, 0, "", "N"), "x   ");
    EXPECT_EQ(tkit_format_output("ab", "", 0, 2, "_", "N"), "  ");
}

TEST(TkitVersion, ReadsTheBlockEmbeddedAtBuildTime) {
    EXPECT_EQ(tkit_Get_Versioning_Info("FileVersion"), PAVO_PROJECT_VERSION);
    EXPECT_EQ(tkit_Get_Versioning_Info("FileVersion"), "2.5.0.100");
    EXPECT_EQ(tkit_Get_Versioning_Info("NoSuchKey"), "");
}

}  // namespace
}  // namespace pavo
