// Text forms of dates, numbers and truth values, and the calendar arithmetic beneath them.
#include "utility/text_conv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/clock.h"

namespace pavo {
namespace {

TEST(ShortDate, WritesWithoutLeadingZerosAndReadsBothForms) {
    EXPECT_EQ(format_short_date(37685), "3/5/2003");
    EXPECT_EQ(format_short_date(0), "12/30/1899");
    EXPECT_EQ(format_short_date(37685.99), "3/5/2003");
    EXPECT_EQ(parse_short_date("3/5/2003"), 37685.0);
    EXPECT_EQ(parse_short_date(" 03/05/2003 "), 37685.0);
    EXPECT_EQ(parse_short_date("12/30/1899"), 0.0);
    EXPECT_EQ(parse_short_date("1/1/0001"), date_from_civil(1, 1, 1));
    for (const char* bad :
         {"", "3/5", "3-5-2003", "13/1/2003", "2/29/2003", "0/1/2003", "1/0/2003", "3/5/20031",
          "3/5/203", "a/b/c", "3/5/2003x", "3//2003", "999/1/2003"}) {
        EXPECT_FALSE(parse_short_date(bad).has_value()) << bad;
    }
    // Two-digit years fall in the current century.
    auto two = parse_short_date("3/5/03");
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(static_cast<int>(*two) % 1, 0);
}

TEST(ShortDate, TwoDigitYearsFallInTheClocksCentury) {
    struct Case {
        int year_now;
        const char* text;
        int year;
    };
    const Case cases[] = {
        {2026, "3/5/03", 2003}, {2026, "3/5/99", 2099},  {2099, "12/31/00", 2000},
        {2100, "3/5/03", 2103}, {1999, "3/5/03", 1903},  {2026, "3/5/2003", 2003},
        {2026, "3/5/0003", 3},  {2026, "2/29/04", 2004},
    };
    for (const auto& c : cases) {
        clock::ScopedFixedTime fixed({c.year_now, 6, 1, 12, 0, 0});
        auto date = parse_short_date(c.text);
        ASSERT_TRUE(date.has_value()) << c.text << " in " << c.year_now;
        EXPECT_EQ(civil_from_date(*date)->year, c.year) << c.text << " in " << c.year_now;
    }
    clock::ScopedFixedTime in_2100({2100, 6, 1, 12, 0, 0});
    EXPECT_FALSE(parse_short_date("2/29/00").has_value());  // 2100 is no leap year
}

TEST(Today, DateAndMomentComeFromTheClock) {
    {
        clock::ScopedFixedTime fixed({2003, 3, 5, 18, 0, 0});
        EXPECT_EQ(today_date(), 37685.0);
        EXPECT_EQ(now_date_time(), 37685.75);
        EXPECT_EQ(format_short_date(today_date()), "3/5/2003");
    }
    {
        clock::ScopedFixedTime fixed({1899, 12, 30, 0, 0, 0});
        EXPECT_EQ(today_date(), 0.0);
        EXPECT_EQ(now_date_time(), 0.0);
    }
    clock::ScopedFixedTime fixed({2026, 12, 6, 23, 59, 59});
    EXPECT_EQ(today_date(), date_from_civil(2026, 12, 6));
    EXPECT_LT(now_date_time(), date_from_civil(2026, 12, 7));
    EXPECT_GT(now_date_time(), date_from_civil(2026, 12, 6) + 0.999);
}

TEST(ShortDate, EveryDayRoundTrips) {
    for (double d = -693593; d < 2958466; d += 1.0 + std::fmod(std::abs(d), 37.0)) {
        std::string text = format_short_date(d);
        ASSERT_FALSE(text.empty()) << d;
        auto back = parse_short_date(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, std::trunc(d)) << text;
    }
}

TEST(Calendar, CivilConversionsAgree) {
    EXPECT_EQ(date_from_civil(1899, 12, 30), 0.0);
    EXPECT_EQ(date_from_civil(2000, 1, 1), 36526.0);
    EXPECT_TRUE(is_leap_year(2000));
    EXPECT_FALSE(is_leap_year(1900));
    EXPECT_FALSE(is_valid_date(2003, 2, 29));
    EXPECT_FALSE(is_valid_date(10000, 1, 1));
    auto c = civil_from_date(std::nan(""));
    EXPECT_FALSE(c.has_value());
}

TEST(Numbers, ShortestTextReadsBackExactly) {
    EXPECT_EQ(format_number(5), "5");
    EXPECT_EQ(format_number(-2.5), "-2.5");
    EXPECT_EQ(format_number(0.1), "0.1");
    EXPECT_EQ(format_number(-0.0), "0");
    EXPECT_EQ(format_number(1234.56), "1234.56");
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> dist(-1e9, 1e9);
    for (int i = 0; i < 2000; ++i) {
        double v = dist(rng) / (1 + (i % 7) * 1000.0);
        auto back = parse_number(format_number(v));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, v);
    }
    EXPECT_EQ(parse_number(" 12.50 "), 12.5);
    EXPECT_EQ(parse_number("+3"), 3.0);
    EXPECT_EQ(parse_number("1e3"), 1000.0);
    for (const char* bad : {"", " ", "abc", "1,5", "12a", "inf", "nan", "++1", "1e999", "0x10"}) {
        EXPECT_FALSE(parse_number(bad).has_value()) << bad;
    }
}

TEST(TruthValues, WrittenCapitalisedReadInAnyCase) {
    EXPECT_EQ(format_bool(true), "True");
    EXPECT_EQ(format_bool(false), "False");
    EXPECT_EQ(parse_bool("TRUE"), true);
    EXPECT_EQ(parse_bool(" false "), false);
    EXPECT_FALSE(parse_bool("yes").has_value());
    EXPECT_FALSE(parse_bool("").has_value());
}

TEST(Text, TrimRemovesBlanksAndControlCharacters) {
    EXPECT_EQ(trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(to_upper("abc-Z"), "ABC-Z");
    EXPECT_EQ(to_lower("ABC-z"), "abc-z");
}

}  // namespace
}  // namespace pavo

TEST(Text, JsonQuoteEscapesOnlyWhatJsonRequires) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", R"("")"},
        {R"(O'FALLON "MO")", R"("O'FALLON \"MO\"")"},
        {"a\\b\r\n\tc", R"("a\\b\r\n\tc")"},
        {std::string("\x01\x1f", 2), R"("\u0001\u001f")"},
        {std::string("nul\0x", 5), R"("nul\u0000x")"},
        {"Zürich ✓", "\"Zürich ✓\""},
    };
    for (const Case& c : cases) EXPECT_EQ(pavo::json_quote(c.in), c.out) << c.in;
}

TEST(Text, CsvFieldQuotesAlwaysAndDoublesQuotes) {
    EXPECT_EQ(pavo::csv_field(""), R"("")");
    EXPECT_EQ(pavo::csv_field(R"(12" RULER, "BIG")"), R"("12"" RULER, ""BIG""")");
    EXPECT_EQ(pavo::csv_field("two\r\nlines"), "\"two\r\nlines\"");
}
