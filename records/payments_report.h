// The payments report: the payment records as fixed-pitch text lines, built without a window.
//
// One routine serves the report window (which shows the lines and saves them), the command-line
// tool and the tests. It walks the payment dataset in its current order from its first record,
// under the user's filter or, when none is set, under the report's default filter, and leaves the
// dataset unfiltered at its first record.
//
// Money is kept in exact cents: each amount is the stored number's shortest decimal text rounded to
// the cent (halves away from zero), and the totals are 64-bit sums of the cents shown, so a total
// always equals the sum of its column. An amount or total wider than its column stands whole and
// pushes the rest of its line right; other values follow tkit_format_output's rule. Column widths
// count characters, so non-ASCII letters (UTF-8) keep the columns aligned. Line breaks and other
// control characters inside a column value are shown as blanks; a memo adds one line per line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tables/table.h"

namespace pavo::records {

// Items of the report window's column list, in list order (index 0 to 25).
constexpr int kPaymentReportItems = 26;
// "Item Date": always ticked, whatever the user or a command line asks.
constexpr int kPaymentItemDate = 19;
using PaymentReportTicks = std::array<bool, kPaymentReportItems>;

// The captions of the column list, in list order ("Carrier", "Carrier Number", ...).
const std::array<const char*, kPaymentReportItems>& payment_report_item_captions();
// Carrier, Category, Check Number, Date Cleared, Date Delivered, Date Sent, Item, Item Date,
// Retired Pay Amount, Spousal Support Amount.
PaymentReportTicks payment_report_default_ticks();
// Ticks from item numbers ("0,2,19"); Item Date is added. Throws pavo::Error kInvalidInput naming
// the bad item for a number outside 0..25 or text that is not a comma-separated list of numbers.
PaymentReportTicks parse_payment_report_ticks(const std::string& list);

// The filter the report puts on when the user has set none: the twelve support and expense
// categories, and "PAYMENT", the category the pick list offers.
const std::string& payment_default_filter();

// The folder the window's Save writes to, and "...\PAYMENTS___<stamp>.TXT" in it for a time stamp
// as tkit_yyyy_mm_dd_hh_mm_ss gives it.
constexpr const char* kPaymentReportsFolder = "c:\\mydata\\KV-DB\\pavoden2\\reports";
std::string payment_report_file_name(const std::string& stamp);

// --- Money.
// An amount in cents from the stored number: its shortest text rounded to the cent, halves away
// from zero (19.985 -> 1999). nullopt for a number beyond what 64-bit cents hold safely (more than
// 10^15 in magnitude) or not a finite number.
std::optional<std::int64_t> amount_cents(double stored);
// Cents as fixed-point text with two decimals ("-1234567.89", "0.05").
std::string format_cents(std::int64_t cents);

// The header's names and addresses, as read from the configuration record.
struct PaymentReportHeader {
    std::string my_name, my_address, my_city, my_state, my_zip;
    std::string ex_name, ex_address, ex_city, ex_state, ex_zip, ex_ssan;
};
// Re-reads the configuration dataset (so a change saved in the configuration window during this
// run is seen) and takes its first record's fields; an empty table gives empty texts. Throws the
// table layer's pavo::Error.
PaymentReportHeader read_payment_report_header(tables::Table& config);

struct PaymentReport {
    std::vector<std::string> lines;               // the report, one entry per line
    std::uint64_t records = 0;                    // data lines written
    std::int64_t totals_cents[4] = {0, 0, 0, 0};  // spousal support, retired pay, child, other
    // Every field of each reported record (only when asked for): names in table order, then one
    // row per record in report order; amounts as their shortest exact text, dates YYYY-MM-DD.
    std::vector<std::string> field_names;
    std::vector<std::vector<std::string>> rows;
};

struct PaymentReportOptions {
    bool keep_rows = false;  // fill PaymentReport::rows for the CSV export
};

// Builds the report. The dataset must be open; its filter decides the records (empty: the default
// filter is put on for the run). Afterwards the filter text is empty, filtering is off and the
// first record is current.
// On failure (a table error, an amount too large to hold in cents) throws pavo::Error of the
// failing kind whose text says at which record the report stopped and why. A default filter the
// routine put on is taken off again; a filter the user set stays in force, as does the record
// reached, so the user can look at it.
PaymentReport build_payments_report(tables::Table& payments, tables::Table& config,
                                    const PaymentReportTicks& ticks,
                                    const PaymentReportOptions& options = {});
// The same into report (emptied first); after a failure it holds the lines built up to the record
// that failed, so a window can show how far the report came.
void build_payments_report_into(PaymentReport& report, tables::Table& payments,
                                tables::Table& config, const PaymentReportTicks& ticks,
                                const PaymentReportOptions& options = {});

// The two lines a successful Save adds to the box: an empty line and "Saved to file: <name>".
std::vector<std::string> payment_saved_lines(const std::string& display_name);

// Writes lines and then the two saved lines (naming path as given) to path (logical or host)
// through LineWriter: UTF-8, CR LF, every missing folder made, the file appearing whole or not at
// all. Returns the two saved lines, for the box, and where the file went on the host. Throws
// pavo::Error naming the file and the system's reason; nothing is left under the name then.
struct SavedPaymentReport {
    std::vector<std::string> saved_lines;
    std::string host_path;
};
SavedPaymentReport save_payment_report(const std::vector<std::string>& lines,
                                       const std::string& path);

// Writes the kept rows of a report as CSV to path (logical or host) through LineWriter: a header of
// field names, every value quoted, CR LF. Throws pavo::Error kInvalidInput when the report kept no
// field names (it was built without keep_rows), and the writer's errors.
void write_payments_csv(const PaymentReport& report, const std::string& path);

}  // namespace pavo::records
