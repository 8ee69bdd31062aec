// The job search report writer: golden reports, bad values, the file's failure paths, what the run
// leaves of the dataset.
#include "records/job_report.h"

#include <gtest/gtest.h>

#include "job_report_fixture.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/line_writer.h"
#include "utility/tkit.h"

namespace pavo::records::test {
namespace {

JobReportTicks ticks_of(std::initializer_list<int> items) {
    JobReportTicks t{};
    for (int i : items) t[static_cast<std::size_t>(i)] = true;
    return t;
}

JobReportTicks all_ticks() {
    JobReportTicks t{};
    t.fill(true);
    return t;
}

struct GoldenCase {
    const char* golden;
    JobReportTicks ticks;
    const char* index;
    const char* filter;
};

TEST_F(ReportTest, GoldenReports) {
    fill_edge_cases();
    // Ticks that show each order's keys (date, time, state, city, type, contact).
    const JobReportTicks keys = ticks_of({1, 2, 3, 5, 6, 7, 8});
    const GoldenCase cases[] = {
        {"default_ticks.txt", job_report_default_ticks(), "", ""},
        {"all_ticks_newest_first.txt", all_ticks(), "YYYYMMDD_TIME_DESCENDING", ""},
        {"item_file_only.txt", ticks_of({12}), "", ""},
        {"no_record_passes.txt", all_ticks(), "", "POS_STATE = 'WY'"},
        {"order_primary.txt", keys, "", ""},
        {"order_contact_name.txt", keys, "CONTACT_NAME_", ""},
        {"order_pos_state.txt", keys, "POS_STATE_", ""},
        {"order_pos_state_city.txt", keys, "POS_STATE_CITY_", ""},
        {"order_date_descending.txt", keys, "YYYYMMDD_TIME_DESCENDING", ""},
        {"order_date_ascending.txt", keys, "YYYYMMDD_TIME_ASCENDING", ""},
        {"order_pos_type_city.txt", keys, "POS_TYPE_POS_CITY", ""},
        {"submitted_and_active.txt", ticks_of({0, 3, 9}), "", ""},
        {"filtered_default.txt", job_report_default_ticks(true), "", "POS_STATE = 'AZ'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        jobs_.set_index_name(c.index);
        jobs_.set_filter(c.filter);
        jobs_.set_filtered(*c.filter != 0);
        auto run = write_job_report(jobs_, config_, host(c.golden), c.ticks);
        EXPECT_FALSE(run.cancelled);
        expect_golden(run.result.path, c.golden);
    }
}

TEST_F(ReportTest, LinesKeepTheirColumnsWhateverTheValues) {
    fill_edge_cases();
    auto run = write_job_report(jobs_, config_, host("r.txt"), all_ticks());
    std::string text = read_whole_file(run.result.path);
    // Every line ends with CR LF and holds no other control character.
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF at byte " << pos;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    for (const auto& l : lines)
        for (unsigned char c : l) EXPECT_GE(c, 0x20) << l;
    // Heading, underline and data lines have one width in characters (UTF-8 letters count once).
    auto chars = [](const std::string& s) {
        std::size_t n = 0;
        for (unsigned char c : s) n += (c & 0xc0) != 0x80;
        return n;
    };
    ASSERT_GT(lines.size(), 11u);
    const std::size_t width = chars(lines[9]);
    int data = 0;
    for (std::size_t i = 9; i < lines.size(); ++i) {
        if (lines[i].starts_with(std::string(20, ' ') + "ITEM FILE: ")) continue;
        EXPECT_EQ(chars(lines[i]), width) << lines[i];
        ++data;
    }
    EXPECT_EQ(data, 2 + 7);
    EXPECT_EQ(run.result.records, 7u);
}

TEST_F(ReportTest, TheRunLeavesOrderAndFilterAsTheyWere) {
    fill_edge_cases();
    jobs_.set_index_name("POS_STATE_");
    jobs_.set_filter("POS_STATE = 'CO'");
    jobs_.set_filtered(true);
    auto run = write_job_report(jobs_, config_, host("r.txt"), job_report_default_ticks());
    EXPECT_EQ(run.result.records, 5u);
    EXPECT_EQ(jobs_.index_name(), "POS_STATE_");
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'CO'");
    EXPECT_TRUE(jobs_.filtered());
    EXPECT_TRUE(jobs_.eof());
}

TEST_F(ReportTest, TheHeaderShowsTheAddressSavedMeanwhile) {
    // The report's own configuration dataset was opened before another window saved a change.
    tables::Table other;
    open(other, "CONFIG.DB");
    other.first();
    other.edit();
    other.field("MY_NAME").set_as_string("MARY ROE");
    other.field("MY_ADDRESS").set_as_string("9 NEW ROAD");
    other.post();
    auto run = write_job_report(jobs_, config_, host("r.txt"), job_report_default_ticks());
    std::string text = read_whole_file(run.result.path);
    EXPECT_NE(text.find("JOB SEARCH REPORT FOR    : MARY ROE\r\n" + std::string(27, ' ') +
                        "9 NEW ROAD\r\n"),
              std::string::npos)
        << text;
}

TEST_F(ReportTest, CsvBesideTheReportHoldsTheFullValues) {
    fill_edge_cases();
    jobs_.set_filter("REFNUM <= 3");
    jobs_.set_filtered(true);
    auto run =
        write_job_report(jobs_, config_, host("r.txt"), ticks_of({1, 4, 9, 12}), host("r.csv"));
    EXPECT_EQ(run.result.csv_path, host("r.csv"));
    std::string csv = read_whole_file(host("r.csv"));
    EXPECT_EQ(csv,
              "\"DATE\",\"TITLE\",\"SUBMITTED\",\"ITEM FILE\"\r\n"
              "\"12/31/2003\",\"NETWORK ENGINEER\",\"NO\",\"c:\\res\\a.doc\"\r\n"
              "\"01/01/2004\",\"NETWORK ENGINEER\",\"YES\",\"\"\r\n"
              "\"01/31/2004\",\"" +
                  std::string(60, 'T') + std::string(20, 'x') + "\",\"NO\",\"\"\r\n");
}

TEST(JobReportTicks, ItemListsAreReadOrRefused) {
    EXPECT_EQ(parse_job_report_ticks("1,3, 12"), ticks_of({1, 3, 12}));
    EXPECT_EQ(parse_job_report_ticks("0"), ticks_of({0}));
    EXPECT_EQ(job_report_default_ticks(), ticks_of({1, 3, 4, 5, 7, 9, 11}));
    EXPECT_EQ(job_report_default_ticks(true), ticks_of({0, 1, 3, 4, 5, 7, 9, 11}));
    for (const char* bad : {"", "13", "-1", "1,,3", "a", "1;3", "100"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parse_job_report_ticks(bad), Error);
    }
}

// --- The file's failure paths, through the file system seam.

class ReportFailureTest : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        tables::CommandScope scope;
        for (int i = 1; i <= 400; ++i) add_job(i, "1/4/2004", "12:00");
        scope.commit();
    }
    std::string report_name() {
        clock::ScopedFixedTime at({2004, 3, 5, 14, 7, 9});
        return job_report_file_name(tkit_yyyy_mm_dd_hh_mm_ss(), ".txt");
    }
    fs::path report_host() {
        return home_.drive_c() / "mydata" / "KV-DB" / "pavoden2" / "reports" /
               "JOB_SEARCH___2004-03-05-14-07-09.txt";
    }
    std::vector<std::string> names_in_reports() {
        std::vector<std::string> names;
        for (auto& e : file_system().list(report_host().parent_path())) names.push_back(e.name);
        return names;
    }
};

TEST_F(ReportFailureTest, EveryMissingFolderLevelIsCreated) {
    EXPECT_EQ(report_name(),
              "c:\\mydata\\KV-DB\\pavoden2\\reports\\JOB_SEARCH___2004-03-05-14-07-09.txt");
    ASSERT_FALSE(fs::exists(home_.drive_c() / "mydata" / "KV-DB"));
    auto run = write_job_report(jobs_, config_, report_name(), job_report_default_ticks());
    EXPECT_EQ(run.result.path, report_host().string());
    EXPECT_EQ(run.result.records, 400u);
    EXPECT_TRUE(fs::exists(report_host()));
}

TEST_F(ReportFailureTest, AFileThatCannotBeCreatedIsAnErrorNamingIt) {
    FaultyFileSystem faulty;
    faulty.fail_open_call = 0;
    ScopedFileSystem use(&faulty);
    try {
        write_job_report(jobs_, config_, report_name(), job_report_default_ticks());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("JOB_SEARCH___2004-03-05-14-07-09.txt"),
                  std::string::npos)
            << e.what();
        EXPECT_NE(e.os_error(), 0) << e.what();
    }
    EXPECT_FALSE(fs::exists(report_host()));
}

TEST_F(ReportFailureTest, AnUnfinishedRunLeavesNoFileUnderTheReportsName) {
    // An earlier report of the same second stays as it was when the new one fails.
    fs::create_directories(report_host().parent_path());
    write_file_atomically(report_host(), "earlier\r\n");
    struct Case {
        const char* what;
        long long fail_after_bytes;
        int fail_rename;
        bool cancel;
    };
    for (const Case& c : {Case{"disk full halfway", 20000, -1, false},
                          Case{"rename refused", -1, 0, false}, Case{"cancelled", -1, -1, true}}) {
        SCOPED_TRACE(c.what);
        FaultyFileSystem faulty;
        faulty.fail_write_after_bytes = c.fail_after_bytes;
        faulty.fail_rename_call = c.fail_rename;
        ScopedFileSystem use(&faulty);
        std::string csv = tkit_New_Extention(report_name(), "csv");
        JobReportProgress stop_halfway = [](std::uint64_t reached, std::uint64_t count) {
            EXPECT_EQ(count, 400u);
            return reached < 200;
        };
        if (c.cancel) {
            auto run = write_job_report(jobs_, config_, report_name(), job_report_default_ticks(),
                                        csv, stop_halfway);
            EXPECT_TRUE(run.cancelled);
            EXPECT_EQ(run.result.records, 200u);
        } else {
            EXPECT_THROW(
                write_job_report(jobs_, config_, report_name(), job_report_default_ticks(), csv),
                Error);
        }
        EXPECT_EQ(read_whole_file(report_host()), "earlier\r\n");
        EXPECT_EQ(names_in_reports(), std::vector<std::string>{report_host().filename().string()});
    }
}

}  // namespace
}  // namespace pavo::records::test
