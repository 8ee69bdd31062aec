// The payments report: header, heading, one line per payment record with the ticked columns, the
// item-file and memo lines, the closing rule and the totals in exact cents.
#include "records/payments_report.h"

#include <cmath>
#include <cstdio>

#include "platform/error.h"
#include "platform/line_writer.h"
#include "records/job_report.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

using tables::Field;

const std::array<const char*, kPaymentReportItems> kCaptions = {"Carrier",
                                                                "Carrier Number",
                                                                "Category",
                                                                "Check Number",
                                                                "Child Support Amount",
                                                                "Comment",
                                                                "Date 2nd Del Attempt",
                                                                "Date 3rd Del Attempt",
                                                                "Date Available",
                                                                "Date Cleared",
                                                                "Date Delivered",
                                                                "Date Returned",
                                                                "Date Sent",
                                                                "Days - Avail To Del",
                                                                "Days - Del To Cleared",
                                                                "Days - Sent To Avail",
                                                                "Days - Sent To Cleared",
                                                                "Days - Sent To Delivered",
                                                                "Item",
                                                                "Item Date",
                                                                "Item Filename",
                                                                "Memo",
                                                                "Month and Year",
                                                                "Other Amount",
                                                                "Retired Pay Amount",
                                                                "Spousal Support Amount"};

constexpr int kGap = 2;
constexpr int kItemFileItem = 20;
constexpr int kMemoItem = 21;

enum class Kind { kMonthYear, kDate, kText, kAmount, kStored, kCount };

// Fill and flag characters of one column on each kind of line.
struct Look {
    char data_fill, data_flag, head_flag, rule_fill, rule_flag, total_flag;
};
constexpr Look kRightPlain{'_', 'Y', 'Y', ' ', 'Y', 'Y'};   // columns 1, 2, 4, 5, 6
constexpr Look kRightDashed{'_', 'Y', 'Y', '-', 'Y', 'Y'};  // columns 7, 8
constexpr Look kCategory{'_', 'N', 'N', ' ', 'N', 'N'};     // column 3
constexpr Look kDateLike{'_', 'Y', 'N', '-', 'N', 'N'};     // columns 9 to 20
constexpr Look kLongText{'_', 'N', 'N', '-', 'N', 'N'};     // columns 21 to 24

// The columns in the order they stand on a line (not the order of the list).
struct Column {
    int item;
    Kind kind;
    const char* field;
    int width;
    const char* heading;
    const char* underline;
    int dashes;  // the closing rule's run
    Look look;
    int total;  // running total of an amount column, -1 for others
};

const Column kColumns[] = {
    {22, Kind::kMonthYear, "MONTH_YEAR", 10, "MONTH/YEAR", "----------", 10, kRightPlain, -1},
    {19, Kind::kDate, "ITEM_DATE", 10, "ITEM DATE", "---------", 10, kRightPlain, -1},
    {2, Kind::kText, "CATEGORY", 25, "CATEGORY", "--------", 25, kCategory, -1},
    {3, Kind::kText, "CHECK_NBR", 7, "CHECK #", "-------", 7, kRightPlain, -1},
    {25, Kind::kAmount, "SS_AMT", 8, "SPOU SUP", "--------", 9, kRightPlain, 0},
    {24, Kind::kAmount, "RP_AMT", 8, "RET PAY", "--------", 9, kRightPlain, 1},
    {4, Kind::kAmount, "CS_AMT", 8, "CHILD SP", "--------", 9, kRightDashed, 2},
    {23, Kind::kAmount, "OTHER_AMT", 8, "OTHER $$", "--------", 9, kRightDashed, 3},
    {12, Kind::kDate, "DATE_SENT", 10, "DATE SENT", "--------", 10, kDateLike, -1},
    {8, Kind::kDate, "DATE_AVAIL", 10, "DATE AVL", "--------", 10, kDateLike, -1},
    {6, Kind::kDate, "DATE_2ND_TRY", 10, "2nd TRY", "--------", 10, kDateLike, -1},
    {7, Kind::kDate, "DATE_3RD_TRY", 10, "3RD TRY", "--------", 10, kDateLike, -1},
    {10, Kind::kDate, "DATE_DEL", 10, "DATE DELVD", "----------", 10, kDateLike, -1},
    {9, Kind::kDate, "DATE_CLEAR", 10, "DATE CLRD", "---------", 10, kDateLike, -1},
    {15, Kind::kCount, "DAYS_SENT_TO_AVAIL", 10, "SNT TO AVL", "----------", 10, kDateLike, -1},
    {13, Kind::kCount, "DAYS_AVAIL_TO_DEL", 10, "AVL TO DEL", "----------", 10, kDateLike, -1},
    {11, Kind::kStored, "DATE_RETURNED", 10, "DATE RET", "--------", 10, kDateLike, -1},
    {17, Kind::kCount, "DAYS_SENT_TO_DEL", 10, "SNT TO DEL", "----------", 10, kDateLike, -1},
    {14, Kind::kCount, "DAYS_DEL_TO_CLEAR", 10, "DEL TO CLR", "----------", 10, kDateLike, -1},
    {16, Kind::kCount, "DAYS_SENT_TO_CLEAR", 10, "SNT TO CLR", "----------", 10, kDateLike, -1},
    {0, Kind::kText, "CARRIER", 45, "CARRIER", "-------", 45, kLongText, -1},
    {1, Kind::kText, "CARR_NBR", 45, "CARRIER NUMBER", "--------------", 45, kLongText, -1},
    {18, Kind::kText, "ITEM", 70, "ITEM", "----", 70, kLongText, -1},
    {5, Kind::kText, "COMMENT", 70, "COMMENT ", "--------", 70, kLongText, -1},
};
constexpr int kColumnCount = static_cast<int>(sizeof(kColumns) / sizeof(kColumns[0]));

const std::string kEmptyDate(10, '_');
const std::string kItemFileLead = std::string(15, ' ') + "ITEM FILE" + std::string(14, ' ') + ": ";

// Control characters would break a line or its columns: each becomes a blank.
std::string clean(std::string text, bool keep_tabs = false) {
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && !(keep_tabs && c == '\t')) || u == 0x7f) c = ' ';
    }
    return text;
}

// Characters (not bytes) of a UTF-8 text, and the byte length of its first `chars` characters.
std::size_t utf8_prefix_bytes(const std::string& text, std::size_t chars, std::size_t* counted) {
    std::size_t n = 0, end = 0;
    while (end < text.size() && n < chars) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) ++end;
        ++n;
    }
    if (counted) *counted = n;
    return end;
}

std::size_t utf8_length(const std::string& text) {
    std::size_t n = 0;
    utf8_prefix_bytes(text, text.size(), &n);
    return n;
}

// Appends one column through tkit_format_output with the width counted in characters: the value
// is cut at a character boundary and the continuation bytes are added to the byte width the
// routine pads to. With whole set, a value wider than the column is not cut but stands in full.
void append_column(std::string& line, const std::string& value, int width, char fill, char flag,
                   bool whole = false) {
    const auto w = static_cast<std::size_t>(width);
    if (whole && utf8_length(value) > w) {
        line += value;
        line.append(kGap, ' ');
        return;
    }
    std::size_t chars = 0;
    const std::size_t bytes = utf8_prefix_bytes(value, w, &chars);
    const std::string cut = bytes < value.size() ? value.substr(0, bytes) : value;
    const int byte_width = width + static_cast<int>(cut.size() - chars);
    line =
        tkit_format_output(cut, line, byte_width, kGap, std::string(1, fill), std::string(1, flag));
}

std::string iso_date(double date) {
    const std::optional<CivilDate> d = civil_from_date(date);
    if (!d) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d->year, d->month, d->day);
    return buf;
}

// The lines of a memo: CR LF, CR or LF end a line; a final break adds no empty line.
void add_memo_lines(std::vector<std::string>& out, const std::string& memo) {
    std::size_t start = 0;
    while (start < memo.size()) {
        std::size_t end = memo.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(clean(memo.substr(start), true));
            break;
        }
        out.push_back(clean(memo.substr(start, end - start), true));
        start = end + (memo[end] == '\r' && end + 1 < memo.size() && memo[end + 1] == '\n' ? 2 : 1);
    }
}

}  // namespace

const std::array<const char*, kPaymentReportItems>& payment_report_item_captions() {
    return kCaptions;
}

PaymentReportTicks payment_report_default_ticks() {
    PaymentReportTicks t{};
    for (int i : {0, 2, 3, 9, 10, 12, 18, 19, 24, 25}) t[static_cast<std::size_t>(i)] = true;
    return t;
}

PaymentReportTicks parse_payment_report_ticks(const std::string& list) {
    PaymentReportTicks t{};
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = list.find(',', pos);
        const std::string item =
            trim(list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        const bool digits = !item.empty() && item.size() <= 2 &&
                            item.find_first_not_of("0123456789") == std::string::npos;
        const int n = digits ? std::stoi(item) : -1;
        if (n < 0 || n >= kPaymentReportItems)
            throw Error(ErrorKind::kInvalidInput, "Not a column item (0 to 25): '" + item + "'");
        t[static_cast<std::size_t>(n)] = true;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    t[kPaymentItemDate] = true;
    return t;
}

const std::string& payment_default_filter() {
    static const std::string text =
        "CATEGORY = 'SPOUSAL SUPPORT' OR CATEGORY = 'RETIRED PAY' OR "
        "CATEGORY = 'CHILD SUPPORT' OR CATEGORY = 'ATTORNEY FEES' OR "
        "CATEGORY = 'CAR INSURANCE' OR CATEGORY = 'CHILD DENTAL PAYMENT' OR "
        "CATEGORY = 'CHILD MEDICAL PAYMENT' OR CATEGORY = 'COURT COSTS' OR "
        "CATEGORY = 'MEDICAL INSURANCE' OR CATEGORY = 'MORTGAGE PAYMENT' OR "
        "CATEGORY = 'OTHER' OR CATEGORY = 'PAYMENTS' OR CATEGORY = 'PAYMENT'";
    return text;
}

std::string payment_report_file_name(const std::string& stamp) {
    return std::string(kPaymentReportsFolder) + "\\PAYMENTS___" + stamp + ".TXT";
}

std::optional<std::int64_t> amount_cents(double stored) {
    if (!std::isfinite(stored) || std::fabs(stored) > 1e15) return std::nullopt;
    // The shortest text is the number as the user typed it (19.985, not 19.98499999...), so the
    // cent is rounded from the decimal digits, not from the binary value.
    const std::string text = format_number(stored);
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    std::string digits;
    long point = -1;  // digits before the decimal point
    long exponent = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
        } else if (c == '.') {
            point = static_cast<long>(digits.size());
        } else if (c == 'e' || c == 'E') {
            exponent = std::strtol(text.c_str() + i + 1, nullptr, 10);
            break;
        }
    }
    if (point < 0) point = static_cast<long>(digits.size());
    const long whole_digits = point + exponent;  // digits before the point of the plain number
    const long kept = whole_digits + 2;          // digits up to the cent
    std::int64_t cents = 0;
    for (long k = 0; k < kept; ++k) {
        const int d =
            k < static_cast<long>(digits.size()) ? digits[static_cast<std::size_t>(k)] - '0' : 0;
        cents = cents * 10 + d;
    }
    if (kept >= 0 && kept < static_cast<long>(digits.size()) &&
        digits[static_cast<std::size_t>(kept)] >= '5')
        ++cents;  // the half and above go away from zero: the sign is put on afterwards
    return negative ? -cents : cents;
}

std::string format_cents(std::int64_t cents) {
    const bool negative = cents < 0;
    // Magnitude as unsigned, so the most negative value has one too.
    const std::uint64_t m =
        negative ? static_cast<std::uint64_t>(-(cents + 1)) + 1 : static_cast<std::uint64_t>(cents);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%llu.%02llu", negative ? "-" : "",
                  static_cast<unsigned long long>(m / 100),
                  static_cast<unsigned long long>(m % 100));
    return buf;
}

PaymentReportHeader read_payment_report_header(tables::Table& config) {
    // The shared dataset may hold the record as read before the configuration window saved a
    // change; the report is the one handed to others, so it takes the stored record.
    if (config.active())
        config.refresh();
    else
        config.open();
    config.first();
    PaymentReportHeader h;
    if (config.eof()) return h;
    auto text = [&config](const char* name) { return clean(config.field(name).as_string()); };
    h.my_name = text("MY_NAME");
    h.my_address = text("MY_ADDRESS");
    h.my_city = text("MY_CITY");
    h.my_state = text("MY_STATE");
    h.my_zip = text("MY_ZIP");
    h.ex_name = text("EX_SPOUSE_NAME");
    h.ex_address = text("EX_SPOUSE_ADDRESS");
    h.ex_city = text("EX_SPOUSE_CITY");
    h.ex_state = text("EX_SPOUSE_STATE");
    h.ex_zip = text("EX_SPOUSE_ZIP");
    h.ex_ssan = text("EX_SPOUSE_SSAN");
    return h;
}

namespace {

// One run over the dataset: its fields looked up once, the lines under construction, the totals.
class Builder {
  public:
    Builder(tables::Table& payments, const PaymentReportTicks& ticks, PaymentReport& report,
            bool keep_rows)
        : ticks_(ticks), report_(report), keep_rows_(keep_rows) {
        for (int c = 0; c < kColumnCount; ++c) fields_.push_back(payments.field(kColumns[c].field));
        item_file_.emplace(payments.field("ITEM_FILE"));
        memo_.emplace(payments.field("MEMO"));
        if (keep_rows_) {
            report_.field_names = payments.field_names();
            for (int i = 0; i < payments.field_count(); ++i) all_.push_back(payments.field(i));
        }
    }

    void add_record() {
        auto& lines = report_.lines;
        data_.clear();
        if (!heading_written_) {
            heading_.clear();
            underline_.clear();
        }
        for (int c = 0; c < kColumnCount; ++c) {
            const Column& col = kColumns[c];
            const Field& f = fields_[static_cast<std::size_t>(c)];
            std::string value;
            bool whole = false;
            switch (col.kind) {
                case Kind::kMonthYear:
                    value = f.is_null() ? kEmptyDate : tkit_Date_To_MM_YYYY(f.as_date());
                    break;
                case Kind::kDate:
                    value = f.is_null() ? kEmptyDate : tkit_Date_To_MM_DD_YYYY(f.as_date());
                    break;
                case Kind::kAmount:
                    // Every record's amounts count, whether or not their column is shown.
                    if (!f.is_null()) {
                        const double stored = f.as_float();
                        const std::optional<std::int64_t> cents = amount_cents(stored);
                        if (!cents)
                            throw Error(ErrorKind::kInvalidInput,
                                        std::string(col.field) + " " + format_number(stored) +
                                            " is too large for an amount");
                        std::int64_t& total = report_.totals_cents[col.total];
                        if (__builtin_add_overflow(total, *cents, &total))
                            throw Error(ErrorKind::kInvalidInput, std::string("The total of ") +
                                                                      col.field +
                                                                      " is too large to add up");
                        value = format_cents(*cents);
                    }
                    whole = true;
                    break;
                case Kind::kText:
                case Kind::kStored:
                case Kind::kCount:
                    value = clean(f.as_string());
                    break;
            }
            if (!ticks_[static_cast<std::size_t>(col.item)]) continue;
            append_column(data_, value, col.width, col.look.data_fill, col.look.data_flag, whole);
            if (!heading_written_) {
                append_column(heading_, col.heading, col.width, '_', col.look.head_flag);
                append_column(underline_, col.underline, col.width, '_', col.look.head_flag);
            }
        }
        if (!heading_written_) {
            lines.push_back(heading_);
            lines.push_back(underline_);
            heading_written_ = true;
        }
        lines.push_back(data_);
        if (ticks_[kItemFileItem] && !item_file_->is_null())
            lines.push_back(kItemFileLead + clean(item_file_->as_string()));
        if (ticks_[kMemoItem] && !memo_->is_null()) add_memo_lines(lines, memo_->as_string());
        if (keep_rows_) keep_row();
        ++report_.records;
    }

    void add_closing_lines() {
        std::string rule, totals;
        for (const Column& col : kColumns) {
            if (!ticks_[static_cast<std::size_t>(col.item)]) continue;
            append_column(rule, std::string(static_cast<std::size_t>(col.dashes), '-'), col.width,
                          col.look.rule_fill, col.look.rule_flag);
            std::string value;
            if (col.item == kPaymentItemDate) value = "TOTALS:";
            if (col.total >= 0) value = format_cents(report_.totals_cents[col.total]);
            append_column(totals, value, col.width, ' ', col.look.total_flag, col.total >= 0);
        }
        report_.lines.push_back(rule);
        report_.lines.push_back(totals);
    }

  private:
    void keep_row() {
        std::vector<std::string> row;
        row.reserve(all_.size());
        for (const Field& f : all_) {
            if (f.is_null()) {
                row.emplace_back();
            } else if (f.type() == tables::FieldType::kFloat) {
                row.push_back(format_number(f.as_float()));
            } else if (f.type() == tables::FieldType::kDate) {
                row.push_back(iso_date(f.as_date()));
            } else {
                row.push_back(f.as_string());
            }
        }
        report_.rows.push_back(std::move(row));
    }

    const PaymentReportTicks& ticks_;
    PaymentReport& report_;
    bool keep_rows_;
    std::vector<Field> fields_;
    std::optional<Field> item_file_, memo_;
    std::vector<Field> all_;
    std::string data_, heading_, underline_;
    bool heading_written_ = false;
};

}  // namespace

PaymentReport build_payments_report(tables::Table& payments, tables::Table& config,
                                    const PaymentReportTicks& ticks,
                                    const PaymentReportOptions& options) {
    PaymentReport report;
    build_payments_report_into(report, payments, config, ticks, options);
    return report;
}

void build_payments_report_into(PaymentReport& report, tables::Table& payments,
                                tables::Table& config, const PaymentReportTicks& given_ticks,
                                const PaymentReportOptions& options) {
    report = PaymentReport{};
    PaymentReportTicks ticks = given_ticks;
    ticks[kPaymentItemDate] = true;
    const PaymentReportHeader h = read_payment_report_header(config);

    auto& lines = report.lines;
    const std::string rule = "+" + std::string(78, '-') + "+";
    const std::string indent(27, ' ');
    lines.push_back("");
    lines.push_back(rule);
    lines.push_back("|" + report_banner_text() + "|");
    lines.push_back(rule);
    lines.push_back("");
    lines.push_back("");
    lines.push_back("PERSON RECEIVING PAYMENTS: " + h.ex_name);
    lines.push_back("        SOCIAL SECURITY #: " + h.ex_ssan);
    lines.push_back(indent + h.ex_address);
    lines.push_back(indent + h.ex_city + ", " + h.ex_state + " " + h.ex_zip);
    lines.push_back("");
    lines.push_back("PERSON MAKING PAYMENTS   : " + h.my_name);
    lines.push_back(indent + h.my_address);
    lines.push_back(indent + h.my_city + ", " + h.my_state + " " + h.my_zip);
    lines.push_back("");

    payments.first();
    bool default_set = false;
    if (payments.filter().empty()) {
        payments.set_filter(payment_default_filter());
        payments.set_filtered(true);
        default_set = true;
    }
    int count = 0;
    try {
        count = payments.record_count();
        Builder builder(payments, ticks, report, options.keep_rows);
        for (payments.first(); !payments.eof(); payments.next()) builder.add_record();
        builder.add_closing_lines();
    } catch (const Error& e) {
        if (default_set) {
            // The user never set this filter: it must not stay behind to hide records in the
            // payment window.
            try {
                payments.set_filter("");
                payments.set_filtered(false);
            } catch (const Error&) {
            }
        }
        throw Error(e.kind(),
                    "The report stopped at record " + std::to_string(report.records + 1) + " of " +
                        std::to_string(count) + ": " + e.what(),
                    e.os_error());
    }
    payments.set_filter("");
    payments.set_filtered(false);
    payments.first();
}

std::vector<std::string> payment_saved_lines(const std::string& display_name) {
    return {"", "Saved to file: " + display_name};
}

SavedPaymentReport save_payment_report(const std::vector<std::string>& lines,
                                       const std::string& path) {
    SavedPaymentReport saved{payment_saved_lines(path), {}};
    LineWriter out(path);
    for (const std::string& line : lines) out.write_line(line);
    for (const std::string& line : saved.saved_lines) out.write_line(line);
    out.close();
    saved.host_path = out.host_path().string();
    return saved;
}

void write_payments_csv(const PaymentReport& report, const std::string& path) {
    if (report.field_names.empty())
        throw Error(ErrorKind::kInvalidInput, "No report with its records to export.");
    LineWriter out(path);
    std::string line;
    for (const std::string& name : report.field_names) {
        if (!line.empty()) line += ',';
        line += csv_field(name);
    }
    out.write_line(line);
    for (const auto& row : report.rows) {
        line.clear();
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) line += ',';
            // A memo's line breaks stay inside its quotes; a reader of CSV keeps them.
            line += csv_field(row[i]);
        }
        out.write_line(line);
    }
    out.close();
}

}  // namespace pavo::records
