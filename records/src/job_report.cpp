// The job search report writer: header block, fixed-width record lines, optional CSV beside it.
#include "records/job_report.h"

#include <cstdio>

#include "platform/error.h"
#include "platform/line_writer.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

using tables::Field;

const std::array<const char*, kJobReportItems> kCaptions = {"Active",
                                                            "Date",
                                                            "Time",
                                                            "Ref Number",
                                                            "Title",
                                                            "Position Type",
                                                            "City",
                                                            "State",
                                                            "Contact Name",
                                                            "Submitted",
                                                            "Reason Not Submitted",
                                                            "Comment",
                                                            "Item File"};

constexpr int kGap = 2;
constexpr int kItemFile = 12;

enum class Value {
    kActive,
    kDate,
    kTime,
    kRefNum,
    kTitle,
    kCity,
    kState,
    kType,
    kSubmitted,
    kContact,
    kReason,
    kComment
};

// The columns in the order they stand on a line (not the order of the list).
struct Column {
    int item;
    Value value;
    int width;
    const char* heading;
    const char* underline;
    bool right;  // the data line of the first three columns is right-aligned
};

const Column kColumns[] = {
    {0, Value::kActive, 6, "ACTIVE", "------", true},
    {1, Value::kDate, 10, "DATE", "----------", true},
    {2, Value::kTime, 5, "TIME", "-----", true},
    {3, Value::kRefNum, 7, "REF NUM", "-------", false},
    {4, Value::kTitle, 40, "TITLE", "-----", false},
    {6, Value::kCity, 40, "CITY", "----", false},
    {7, Value::kState, 5, "STATE", "-----", false},
    {5, Value::kType, 9, "TYPE POS", "-----", false},
    {9, Value::kSubmitted, 9, "SUBMITTED", "---------", false},
    {8, Value::kContact, 25, "CONTACT NAME", "------------", false},
    // The heading's "1ST 30 CHAR" is the wording users know; the column holds 35.
    {10, Value::kReason, 35, "REASON NOT SUBMITTED (1ST 30 CHAR)",
     "----------------------------------", false},
    {11, Value::kComment, 80, "COMMENT", "-------", false},
};

const std::string kItemFileLead = std::string(20, ' ') + "ITEM FILE: ";

// Control characters would break the fixed-width line (or the CSV row): each becomes a blank.
std::string clean(std::string text) {
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    return text;
}

// Appends one column. Widths count UTF-8 characters: the value is cut to at most width characters
// at a character boundary, and the continuation bytes are added to the width handed to
// tkit_format_output, which counts bytes, so it neither cuts a letter in two nor pads too little.
void append_column(std::string& line, const std::string& value, int width, bool right) {
    std::size_t chars = 0, end = 0, extra = 0;
    while (end < value.size() && chars < static_cast<std::size_t>(width)) {
        std::size_t len = 1;
        unsigned char lead = static_cast<unsigned char>(value[end]);
        if (lead >= 0xf0)
            len = 4;
        else if (lead >= 0xe0)
            len = 3;
        else if (lead >= 0xc0)
            len = 2;
        std::size_t next = end + 1;
        while (next < value.size() && next < end + len &&
               (static_cast<unsigned char>(value[next]) & 0xc0) == 0x80)
            ++next;
        extra += next - end - 1;
        end = next;
        ++chars;
    }
    line = tkit_format_output(end < value.size() ? value.substr(0, end) : value, line,
                              width + static_cast<int>(extra), kGap, "_", right ? "Y" : "N");
}

}  // namespace

const std::array<const char*, kJobReportItems>& job_report_item_captions() {
    return kCaptions;
}

JobReportTicks job_report_default_ticks(bool active) {
    JobReportTicks t{};
    for (int i : {1, 3, 4, 5, 7, 9, 11}) t[static_cast<std::size_t>(i)] = true;
    t[0] = active;
    return t;
}

JobReportTicks parse_job_report_ticks(const std::string& list) {
    JobReportTicks t{};
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = list.find(',', pos);
        std::string item =
            trim(list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        bool digits = !item.empty() && item.size() <= 2 &&
                      item.find_first_not_of("0123456789") == std::string::npos;
        int n = digits ? std::stoi(item) : -1;
        if (n < 0 || n >= kJobReportItems)
            throw Error(ErrorKind::kInvalidInput, "Not a column item (0 to 12): '" + item + "'");
        t[static_cast<std::size_t>(n)] = true;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return t;
}

std::string job_report_file_name(const std::string& stamp, const std::string& ext) {
    return std::string(kReportsFolder) + "\\JOB_SEARCH___" + stamp + ext;
}

ReportAddress read_report_address(tables::Table& config) {
    // The shared dataset may hold the record as it was read before the configuration window saved
    // a change; re-reading takes the stored one.
    if (config.active())
        config.refresh();
    else
        config.open();
    config.first();
    ReportAddress a;
    if (config.eof()) return a;
    a.name = config.field("MY_NAME").as_string();
    a.address = config.field("MY_ADDRESS").as_string();
    a.city = config.field("MY_CITY").as_string();
    a.state = config.field("MY_STATE").as_string();
    a.zip = config.field("MY_ZIP").as_string();
    return a;
}

const std::string& report_banner_text() {
    static const std::string text = [] {
        // No version number: reports of one table set read alike whichever build wrote them.
        const std::string name = "PAVODEN2  -  RECORD KEEPER FOR PAYMENTS AND JOB SEARCHES";
        std::size_t left = (78 - name.size()) / 2;
        return std::string(left, ' ') + name + std::string(78 - left - name.size(), ' ');
    }();
    return text;
}

struct JobReportWriter::Fields {
    explicit Fields(tables::Table& t)
        : active(t.field("ACTIVE")),
          date(t.field("DATE")),
          time(t.field("TIME")),
          contact(t.field("CONTACT_NAME")),
          type(t.field("POS_TYPE")),
          city(t.field("POS_CITY")),
          state(t.field("POS_STATE")),
          title(t.field("POS_TITLE")),
          submitted(t.field("SUBMITTED")),
          reason(t.field("REASON_NO_SUBMIT")),
          item_file(t.field("ITEM_FILE")),
          comment(t.field("COMMENT")),
          refnum(t.field("REFNUM")) {}
    Field active, date, time, contact, type, city, state, title, submitted, reason, item_file,
        comment, refnum;

    std::string text(Value v) const {
        switch (v) {
            case Value::kActive:
                return active.as_string();
            case Value::kDate: {
                // An empty or unreadable date is an empty column, as the payments report prints
                // one, and the run goes on.
                if (date.is_null()) return {};
                try {
                    return tkit_Date_To_MM_DD_YYYY(date.as_date());
                } catch (const Error&) {
                    return {};
                }
            }
            case Value::kTime:
                return time.as_string();
            case Value::kRefNum:
                return refnum.as_string();
            case Value::kTitle:
                return title.as_string();
            case Value::kCity:
                return city.as_string();
            case Value::kState:
                return state.as_string();
            case Value::kType:
                return type.as_string();
            case Value::kSubmitted:
                // Only "false" in any case reads NO; an empty value reads YES.
                return to_upper(submitted.as_string()) == "FALSE" ? "NO" : "YES";
            case Value::kContact:
                return contact.as_string();
            case Value::kReason:
                return reason.as_string();
            case Value::kComment:
                return comment.as_string();
        }
        return {};
    }
};

JobReportWriter::JobReportWriter(tables::Table& jobs, const std::string& path,
                                 const JobReportTicks& ticks, const ReportAddress& address,
                                 const std::string& csv_path)
    : ticks_(ticks), fields_(std::make_unique<Fields>(jobs)) {
    out_ = std::make_unique<LineWriter>(path);
    const std::string rule = "+" + std::string(78, '-') + "+";
    out_->write_line("");
    out_->write_line(rule);
    out_->write_line("|" + report_banner_text() + "|");
    out_->write_line(rule);
    out_->write_line("");
    const std::string indent(27, ' ');
    out_->write_line("JOB SEARCH REPORT FOR    : " + clean(address.name));
    out_->write_line(indent + clean(address.address));
    out_->write_line(indent + clean(address.city) + ", " + clean(address.state) + " " +
                     clean(address.zip));
    out_->write_line("");

    if (!csv_path.empty()) {
        csv_ = std::make_unique<LineWriter>(csv_path);
        std::string header;
        for (const Column& c : kColumns) {
            if (!ticks_[static_cast<std::size_t>(c.item)]) continue;
            if (!header.empty()) header += ',';
            header += csv_field(c.item == 10 ? "REASON NOT SUBMITTED" : c.heading);
        }
        if (ticks_[kItemFile]) header += std::string(header.empty() ? "" : ",") + "\"ITEM FILE\"";
        csv_->write_line(header);
    }
}

JobReportWriter::~JobReportWriter() = default;

const std::string& JobReportWriter::display_name() const {
    return out_->display_name();
}
std::string JobReportWriter::host_path() const {
    return out_->host_path().string();
}
std::string JobReportWriter::csv_host_path() const {
    return csv_ ? csv_->host_path().string() : std::string();
}

void JobReportWriter::write_heading() {
    std::string heading, underline;
    for (const Column& c : kColumns) {
        if (!ticks_[static_cast<std::size_t>(c.item)]) continue;
        append_column(heading, c.heading, c.width, false);
        append_column(underline, c.underline, c.width, false);
    }
    out_->write_line(heading);
    out_->write_line(underline);
    heading_written_ = true;
}

void JobReportWriter::add_record() {
    line_.clear();
    std::string csv;
    for (const Column& c : kColumns) {
        if (!ticks_[static_cast<std::size_t>(c.item)]) continue;
        std::string value = clean(fields_->text(c.value));
        append_column(line_, value, c.width, c.right);
        if (csv_) {
            if (!csv.empty()) csv += ',';
            csv += csv_field(value);
        }
    }
    if (!heading_written_) write_heading();
    out_->write_line(line_);
    std::string item_file;
    if (ticks_[kItemFile]) {
        item_file = clean(fields_->item_file.as_string());
        if (!item_file.empty()) out_->write_line(kItemFileLead + item_file);
    }
    if (csv_) {
        if (ticks_[kItemFile]) csv += (csv.empty() ? "" : ",") + csv_field(item_file);
        csv_->write_line(csv);
    }
    ++records_;
}

void JobReportWriter::close() {
    // The CSV is completed first: a report under its name means both files are whole. When the
    // report then fails, the CSV is taken away again.
    if (csv_) csv_->close();
    try {
        out_->close();
    } catch (...) {
        if (csv_) {
            try {
                file_system().remove(csv_->host_path());
            } catch (const Error&) {
            }
        }
        throw;
    }
}

JobReportRun write_job_report(tables::Table& jobs, tables::Table& config, const std::string& path,
                              const JobReportTicks& ticks, const std::string& csv_path,
                              const JobReportProgress& progress) {
    JobReportRun run;
    ReportAddress address = read_report_address(config);
    JobReportWriter writer(jobs, path, ticks, address, csv_path);
    jobs.first();
    const auto count = static_cast<std::uint64_t>(jobs.record_count());
    for (; !jobs.eof(); jobs.next()) {
        writer.add_record();
        if (progress && !progress(writer.records(), count)) {
            run.cancelled = true;
            run.result.records = writer.records();
            return run;  // the writer's destructor removes the unfinished files
        }
    }
    writer.close();
    run.result.path = writer.host_path();
    run.result.csv_path = writer.csv_host_path();
    run.result.records = writer.records();
    return run;
}

}  // namespace pavo::records
