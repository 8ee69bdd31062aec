// The job search report: the job-search records streamed to a fixed-width text file.
//
// One writer serves the report window, the command-line tool and the tests. It walks the dataset
// it is given from its first record in the dataset's current order and under its current filter,
// and writes each record's line at once, so memory does not depend on the record count.
//
// Values are written in UTF-8 as the tables hold them. Column widths count characters, not bytes:
// a value longer than its column is cut to the column's width at a character boundary and padded
// with blanks (tkit_format_output's rule), so non-ASCII letters keep the columns aligned in a UTF-8
// viewer. Tabs, carriage returns, line feeds and other control characters in a value are written as
// blanks, so every record stays on its own line.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "tables/table.h"

namespace pavo {
class LineWriter;
}

namespace pavo::records {

// Items of the report window's column list, in list order (index 0 to 12).
constexpr int kJobReportItems = 13;
using JobReportTicks = std::array<bool, kJobReportItems>;

// The captions of the column list, in list order ("Active", "Date", ...).
const std::array<const char*, kJobReportItems>& job_report_item_captions();
// The default ticks: Date, Ref Number, Title, Position Type, State, Submitted, Comment; Active as
// given (the window keeps whatever the user set there).
JobReportTicks job_report_default_ticks(bool active = false);
// Ticks from item numbers ("1,3,4"). Throws pavo::Error kInvalidInput naming the bad item for a
// number outside 0..12 or text that is not a comma-separated list of numbers.
JobReportTicks parse_job_report_ticks(const std::string& list);

// The folder reports are written to (logical path).
constexpr const char* kReportsFolder = "c:\\mydata\\KV-DB\\pavoden2\\reports";
// "c:\mydata\KV-DB\pavoden2\reports\JOB_SEARCH___<stamp><ext>" for a time stamp as
// tkit_yyyy_mm_dd_hh_mm_ss gives it and an extension with its dot (".txt", ".csv").
std::string job_report_file_name(const std::string& stamp, const std::string& ext);

// The address block of the header, as read from the configuration record.
struct ReportAddress {
    std::string name, address, city, state, zip;
};
// Re-reads the configuration dataset (so a change saved elsewhere in this run is seen) and takes
// its first record's MY_ fields. Throws the table layer's pavo::Error; an empty table gives
// empty texts.
ReportAddress read_report_address(tables::Table& config);

// The 78 characters between the bars of the banner line.
const std::string& report_banner_text();

// Writes one report. The constructor creates the file (every missing folder level down to it, a
// temporary name in the target folder until close()) and writes the header block; add_record()
// appends the dataset's current record; close() completes the file and renames it into place.
// Without a successful close() nothing appears under the report's name (an existing file of that
// name stays as it was). Failures throw pavo::Error naming the file and the system's reason
// (kInvalidInput, kNotFound or kIO, see LineWriter).
class JobReportWriter {
  public:
    // jobs: the open job-search dataset (its fields are looked up here: kNotFound when one is
    // missing). csv_path: when not empty, the same records and ticked columns also go to a CSV
    // file there (header row, every field quoted, values uncut), completed with the report.
    JobReportWriter(tables::Table& jobs, const std::string& path, const JobReportTicks& ticks,
                    const ReportAddress& address, const std::string& csv_path = {});
    ~JobReportWriter();
    JobReportWriter(const JobReportWriter&) = delete;
    JobReportWriter& operator=(const JobReportWriter&) = delete;

    // Appends the lines of the dataset's current record (the heading and underline first, before
    // the first record). An empty or unreadable DATE is written as an empty column (underscores).
    void add_record();
    // Completes the CSV file (when asked for) and then the report. Throws as described above;
    // after a failure neither file is left under its name.
    void close();

    std::uint64_t records() const { return records_; }
    // The report as errors name it, and its host path.
    const std::string& display_name() const;
    std::string host_path() const;
    std::string csv_host_path() const;

  private:
    struct Fields;
    void write_heading();

    JobReportTicks ticks_;
    std::unique_ptr<Fields> fields_;
    std::unique_ptr<LineWriter> out_;
    std::unique_ptr<LineWriter> csv_;
    std::string line_;
    bool heading_written_ = false;
    std::uint64_t records_ = 0;
};

struct JobReportResult {
    std::string path;      // host path of the report
    std::string csv_path;  // host path of the CSV file; empty when none was asked for
    std::uint64_t records = 0;
};

// Progress of a run: records written so far and the count under the filter. Returning false
// stops the run (the file is not written).
using JobReportProgress = std::function<bool(std::uint64_t reached, std::uint64_t count)>;

// A whole run without a window: re-reads the address from config, writes every record of jobs from
// the first into path (and csv_path when not empty) and closes. The dataset keeps its order and
// filter and is left after its last record. Throws pavo::Error as the writer does. When progress
// returns false the run stops, no file is left under either name, and cancelled is set.
struct JobReportRun {
    JobReportResult result;
    bool cancelled = false;
};
JobReportRun write_job_report(tables::Table& jobs, tables::Table& config, const std::string& path,
                              const JobReportTicks& ticks, const std::string& csv_path = {},
                              const JobReportProgress& progress = {});

}  // namespace pavo::records
