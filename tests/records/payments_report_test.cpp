// The payments report routine: money in cents, golden reports per tick set and filter, the
// dataset's filter afterwards (also after a failure), the header re-read, Save and the CSV.
#include "records/payments_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "payments_fixture.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "utility/text_conv.h"

namespace pavo::records::test {
namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

// Compares the report's lines with a golden file (rewritten with PAVO_UPDATE_GOLDEN set).
void expect_golden_lines(const std::vector<std::string>& lines, const std::string& golden) {
    const std::string actual = joined(lines);
    if (std::getenv("PAVO_UPDATE_GOLDEN")) {
        write_file_atomically(golden_path(golden), actual);
        return;
    }
    EXPECT_EQ(actual, read_whole_file(golden_path(golden))) << golden;
}

PaymentReportTicks all_ticks() {
    PaymentReportTicks t;
    t.fill(true);
    return t;
}

TEST(PaymentMoney, CentsFromTheShortestText) {
    const struct {
        double stored;
        std::optional<std::int64_t> cents;
    } cases[] = {
        {0, 0},
        {19.985, 1999},  // the binary value lies below the half; the typed text does not
        {-19.985, -1999},
        {0.005, 1},
        {-0.005, -1},
        {0.004, 0},
        {-0.004, 0},
        {2345.67, 234567},
        {1234567.89, 123456789},
        {131072.01, 13107201},
        {99999999.99, 9999999999},
        {1e15, 100000000000000000},
        {1.5e-7, 0},
        {1e16, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(amount_cents(c.stored), c.cents);
    }
    const struct {
        std::int64_t cents;
        const char* text;
    } texts[] = {
        {0, "0.00"},         {5, "0.05"},
        {-5, "-0.05"},       {123456789, "1234567.89"},
        {-25050, "-250.50"}, {std::numeric_limits<std::int64_t>::min(), "-92233720368547758.08"}};
    for (const auto& t : texts) EXPECT_EQ(format_cents(t.cents), t.text);
}

TEST(PaymentTicks, ParsedListsKeepItemDate) {
    PaymentReportTicks t = parse_payment_report_ticks("0, 25");
    EXPECT_TRUE(t[0] && t[25] && t[kPaymentItemDate]);
    EXPECT_EQ(std::count(t.begin(), t.end(), true), 3);
    PaymentReportTicks d = payment_report_default_ticks();
    EXPECT_EQ(std::count(d.begin(), d.end(), true), 10);
    for (const char* bad : {"26", "-1", "a", "1,,2", "", "100"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parse_payment_report_ticks(bad), Error);
    }
    EXPECT_EQ(payment_report_item_captions()[21], std::string("Memo"));
}

class PaymentsReportTest : public PaymentsTest {};

TEST_F(PaymentsReportTest, GoldenReportsPerTicksAndFilter) {
    fill_edge_cases();
    const struct {
        const char* golden;
        PaymentReportTicks ticks;
        const char* filter;  // nullptr: none (the default filter)
    } cases[] = {
        {"payments_default_ticks.txt", payment_report_default_ticks(), nullptr},
        {"payments_all_ticks.txt", all_ticks(), nullptr},
        {"payments_user_filter.txt", parse_payment_report_ticks("2,18,19,23"),
         "ITEM = 'O''BRIEN''S CHECK' OR CATEGORY = 'payment'"},
        {"payments_no_record.txt", all_ticks(), "CATEGORY = 'NONE SUCH'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        if (c.filter) {
            payments_.set_filter(c.filter);
            payments_.set_filtered(true);
        }
        const PaymentReport r = build_payments_report(payments_, config_, c.ticks);
        expect_golden_lines(r.lines, c.golden);
        // Whichever filter was in force, the records are unfiltered afterwards.
        EXPECT_EQ(payments_.filter(), "");
        EXPECT_FALSE(payments_.filtered());
        EXPECT_EQ(payments_.record_count(), 8);
        EXPECT_EQ(payments_.record_number(), 1);
    }
}

TEST_F(PaymentsReportTest, DefaultFilterTakesTheCategoriesCaseSensitively) {
    fill_edge_cases();
    const PaymentReport r =
        build_payments_report(payments_, config_, parse_payment_report_ticks("2"));
    std::vector<std::string> categories;
    for (const auto& line : r.lines)
        if (line.size() > 12 && line[2] == '/' && line[5] == '/')
            categories.push_back(trim(line.substr(12, 25)));
    // Item-date order; "payment" in lower case, GROCERIES and the odd category stay outside.
    const std::vector<std::string> expected = {"SPOUSAL SUPPORT", "PAYMENT", "PAYMENTS",
                                               "RETIRED PAY", "MORTGAGE PAYMENT"};
    EXPECT_EQ(categories, expected);
    EXPECT_EQ(r.records, 5u);
}

TEST_F(PaymentsReportTest, TotalsAreTheSumOfTheCentsShown) {
    // 24 payments of 2345.67: a 32-bit running total drifts to 56296.09.
    for (int i = 1; i <= 24; ++i)
        add(std::to_string((i - 1) % 12 + 1) + "/1/" + std::to_string(2000 + (i - 1) / 12),
            {{"CATEGORY", "SPOUSAL SUPPORT"}, {"SS_AMT", "2345.67"}, {"RP_AMT", "19.985"}});
    const PaymentReport r =
        build_payments_report(payments_, config_, payment_report_default_ticks());
    EXPECT_EQ(r.totals_cents[0], 5629608);
    EXPECT_EQ(r.totals_cents[1], 24 * 1999);
    expect_golden_lines({r.lines.end() - 3, r.lines.end()}, "payments_drift_totals.txt");
    EXPECT_NE(r.lines.back().find("56296.08"), std::string::npos);
}

TEST_F(PaymentsReportTest, FailureSaysWhereAndLeavesOnlyTheUsersFilter) {
    fill_edge_cases();
    add("6/1/2004", {{"CATEGORY", "OTHER"}, {"OTHER_AMT", "1e16"}});
    // The default filter the report set is gone after the failure.
    try {
        build_payments_report(payments_, config_, payment_report_default_ticks());
        ADD_FAILURE() << "an amount beyond cents was reported";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput);
        EXPECT_NE(std::string(e.what()).find("stopped at record 5 of 6"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("OTHER_AMT"), std::string::npos) << e.what();
    }
    EXPECT_EQ(payments_.filter(), "");
    EXPECT_FALSE(payments_.filtered());
    EXPECT_EQ(payments_.record_count(), 9);

    // A filter the user set stays, with the record reached.
    payments_.set_filter("CATEGORY = 'OTHER'");
    payments_.set_filtered(true);
    EXPECT_THROW(build_payments_report(payments_, config_, all_ticks()), Error);
    EXPECT_EQ(payments_.filter(), "CATEGORY = 'OTHER'");
    EXPECT_TRUE(payments_.filtered());
    EXPECT_EQ(payments_.field("OTHER_AMT").as_string(), "1e+16");
}

TEST_F(PaymentsReportTest, HeaderTakesTheStoredConfiguration) {
    EXPECT_EQ(build_payments_report(payments_, config_, all_ticks()).lines[6],
              "PERSON RECEIVING PAYMENTS: J\xC3\x93ZSEFA N\xC3\x89METH");
    // Another dataset on the same table saves a change, as the configuration window does.
    tables::Table other;
    other.set_database_name(kDb);
    other.set_table_name("CONFIG.DB");
    other.open();
    other.edit();
    other.field("EX_SPOUSE_ADDRESS").set_as_string("789 NEW ROAD");
    other.field("MY_NAME").set_as_string("JOHN SMITH");
    other.post();
    const PaymentReport r = build_payments_report(payments_, config_, all_ticks());
    EXPECT_EQ(r.lines[8], std::string(27, ' ') + "789 NEW ROAD");
    EXPECT_EQ(r.lines[11], "PERSON MAKING PAYMENTS   : JOHN SMITH");
}

TEST_F(PaymentsReportTest, LargeMemoBuildsWhole) {
    std::string memo;
    for (int i = 0; i < 2000; ++i)
        memo += "memo line " + std::to_string(i) + " " + std::string(40, 'm') + "\n";
    ASSERT_GT(memo.size(), 100'000u);
    add("1/1/2004", {{"CATEGORY", "OTHER"}, {"MEMO", memo}});
    const PaymentReport r = build_payments_report(payments_, config_, all_ticks());
    // Header, heading and underline, the data line, 2000 memo lines, rule and totals.
    ASSERT_EQ(r.lines.size(), 15u + 3u + 2000u + 2u);
    EXPECT_EQ(r.lines[18], "memo line 0 " + std::string(40, 'm'));
    EXPECT_EQ(r.lines[2017], "memo line 1999 " + std::string(40, 'm'));
}

TEST_F(PaymentsReportTest, SaveWritesEveryLevelAndNothingOnFailure) {
    fill_edge_cases();
    const PaymentReport r =
        build_payments_report(payments_, config_, payment_report_default_ticks());
    const std::string name = payment_report_file_name("2004-02-29-23-59-59");
    EXPECT_EQ(name, "c:\\mydata\\KV-DB\\pavoden2\\reports\\PAYMENTS___2004-02-29-23-59-59.TXT");
    ASSERT_FALSE(fs::exists(home_.drive_c() / "mydata" / "KV-DB"));
    const SavedPaymentReport saved = save_payment_report(r.lines, name);
    EXPECT_EQ(saved.saved_lines, payment_saved_lines(name));
    std::vector<std::string> expected = r.lines;
    expected.push_back("");
    expected.push_back("Saved to file: " + name);
    EXPECT_EQ(read_whole_file(saved.host_path), joined(expected));
    EXPECT_EQ(fs::path(saved.host_path), home_.drive_c() / "mydata" / "KV-DB" / "pavoden2" /
                                             "reports" / "PAYMENTS___2004-02-29-23-59-59.TXT");

    // An unwritable folder: an error naming the file, nothing written.
    if (::geteuid() != 0) {
        const fs::path reports = fs::path(saved.host_path).parent_path();
        ::chmod(reports.c_str(), 0500);
        const std::string second = payment_report_file_name("2004-03-01-00-00-00");
        try {
            save_payment_report(r.lines, second);
            ADD_FAILURE() << "a save into a read-only folder was reported done";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("PAYMENTS___2004-03-01"), std::string::npos);
        }
        ::chmod(reports.c_str(), 0700);
        EXPECT_EQ(std::distance(fs::directory_iterator(reports), fs::directory_iterator()), 1);
    }
    // A folder level that cannot be made (a file stands in its place).
    write_file_atomically((home_.path() / "blocker").string(), "x");
    EXPECT_THROW(save_payment_report(r.lines, (home_.path() / "blocker" / "r.txt").string()),
                 Error);
}

TEST_F(PaymentsReportTest, CsvHoldsTheReportedRecordsExactly) {
    fill_edge_cases();
    PaymentReportOptions keep;
    keep.keep_rows = true;
    EXPECT_THROW(write_payments_csv(build_payments_report(payments_, config_, all_ticks()),
                                    (home_.path() / "none.csv").string()),
                 Error);
    const PaymentReport r = build_payments_report(payments_, config_, all_ticks(), keep);
    ASSERT_EQ(r.rows.size(), r.records);
    const std::string csv = (home_.path() / "out.csv").string();
    write_payments_csv(r, csv);
    const std::string text = read_whole_file(csv);
    EXPECT_TRUE(text.starts_with("\"pk\",\"CATEGORY\",\"MONTH_YEAR\",\"ITEM_DATE\""))
        << text.substr(0, 80);
    // Exact amounts (not rounded to the cent), ISO dates, doubled quotes.
    EXPECT_NE(text.find("\"19.985\""), std::string::npos);
    EXPECT_NE(text.find("\"2004-02-29\""), std::string::npos);
    EXPECT_NE(text.find("\"DECEMBER'S \"\"SUPPORT\"\"\""), std::string::npos);
    EXPECT_EQ(text.find("GROCERIES"), std::string::npos);
}

}  // namespace
}  // namespace pavo::records::test
