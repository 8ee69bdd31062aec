// Tests of posting a read mail: every field, the city rows, all-or-nothing on a refused record,
// the check for jobs recorded before, and pavoden2-import's command line and JSON lines.
#include "records/job_import.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "import_fixture.h"
#include "records/import_tool.h"
#include "records/job_mail.h"
#include "utility/text_conv.h"

namespace pavo::records::test {
namespace {

const std::string kMail = "c:\\mail\\jobs.txt";
const std::string kV3 =
    "Sent: May 01, 2003 8:00 AM\nTech Jobs SEARCH AGENT: Refine\n"
    "US-TX-Austin\t*Software Tester\nUS-TX-Dallas\t*Java Developer\n"
    "US-MO-O'Fallon\t*Systems Analyst\nUS-TX-Austin\t*QA Lead\n";

std::vector<MailJob> jobs_of(const std::string& text, MailLayout layout = MailLayout::kV3) {
    MailReading r = read_job_mail(text, layout, kMail);
    EXPECT_FALSE(r.refusal) << r.refusal->text;
    return r.jobs;
}

using ImportTest = ImportTablesTest;

TEST_F(ImportTest, PostsEveryFieldAndEachNewCityOnce) {
    add(city_, {{"CITY", "DALLAS"}});
    const auto mail = jobs_of(kV3);
    PostOutcome o = post_mail_jobs(jobs_, city_, mail, {}, kMail);
    ASSERT_FALSE(o.refusal) << o.refusal->text;
    EXPECT_EQ(o.added, 4);
    EXPECT_EQ(o.city_rows_added, 2);
    EXPECT_EQ(o.failures, 0);
    ASSERT_EQ(o.pks.size(), 4u);

    tables::Table t;
    open(t, "jsearch2.DB");
    ASSERT_EQ(t.record_count(), 4);
    const char* titles[] = {"SOFTWARE TESTER", "JAVA DEVELOPER", "SYSTEMS ANALYST", "QA LEAD"};
    const char* cities[] = {"AUSTIN", "DALLAS", "O FALLON", "AUSTIN"};
    const char* states[] = {"TX", "TX", "MO", "TX"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(t.locate("PK", {std::to_string(o.pks[i])}));
        SCOPED_TRACE(titles[i]);
        EXPECT_EQ(t.field("REFNUM").as_float(), 0);
        EXPECT_EQ(format_short_date(t.field("DATE").as_date()), "5/1/2003");
        EXPECT_EQ(t.field("YYYYMMDD").as_string(), "20030501");
        EXPECT_EQ(t.field("TIME").as_string(), "00:00");
        EXPECT_EQ(t.field("CONTACT_NAME").as_string(), "CAREERBUILDER.COM");
        EXPECT_TRUE(t.field("EMAIL").as_boolean());
        EXPECT_EQ(t.field("POS_TYPE").as_string(), "MU");
        EXPECT_EQ(t.field("POS_CITY").as_string(), cities[i]);
        EXPECT_EQ(t.field("POS_STATE").as_string(), states[i]);
        EXPECT_EQ(t.field("POS_TITLE").as_string(), titles[i]);
        EXPECT_EQ(t.field("POS_TITLE_ORIGINAL").as_string(), "");
        EXPECT_FALSE(t.field("SUBMITTED").as_boolean());
        EXPECT_EQ(t.field("REASON_NO_SUBMIT").as_string(), "AUTOMATED E-MAIL");
        EXPECT_EQ(t.field("ITEM_FILE").as_string(), "\\MAIL\\JOBS.PDF");
        EXPECT_EQ(t.field("COMMENT").as_string(), "SEARCH AGENT NAME: Tech Jobs SEARCH AGENT:");
    }
    // The shared datasets show the new rows once they re-read.
    EXPECT_EQ(city_.record_count(), 1);
    city_.refresh();
    jobs_.refresh();
    EXPECT_EQ(jobs_.record_count(), 4);
    EXPECT_EQ(column(city_, "CITY"), (std::vector<std::string>{"AUSTIN", "DALLAS", "O FALLON"}));
    EXPECT_EQ(import_summary(4, 0, o),
              "Import done: 4 records read, 4 added, 2 city rows added, 0 failures.");
}

TEST_F(ImportTest, PostsUnderAFilterThatHidesTheNewRecords) {
    jobs_.set_filter("POS_STATE = 'ZZ'");
    jobs_.set_filtered(true);
    PostOutcome o = post_mail_jobs(jobs_, city_, jobs_of(kV3), {}, kMail);
    ASSERT_FALSE(o.refusal);
    tables::Table t;
    open(t, "jsearch2.DB");
    for (long long pk : o.pks) EXPECT_TRUE(t.locate("PK", {std::to_string(pk)}));
    EXPECT_EQ(jobs_.record_count(), 0);
    EXPECT_EQ(jobs_.filter(), "POS_STATE = 'ZZ'");
}

// POS_TITLE made required, so the table itself refuses a job the reader passes.
class RefusingImportTest : public ImportTablesTest {
    void adjust_jobs_schema(store::TableSchema& s) override {
        for (auto& f : s.fields)
            if (f.name == "POS_TITLE") f.required = true;
    }
};

TEST_F(RefusingImportTest, ABadLastJobLeavesBothTablesAsTheyWere) {
    add(city_, {{"CITY", "ZANESVILLE"}});
    const std::string text = kV3 + "US-OH-Akron\t\n";
    const auto mail = jobs_of(text);
    ASSERT_EQ(mail.size(), 5u);
    PostOutcome o = post_mail_jobs(jobs_, city_, mail, {}, kMail);
    ASSERT_TRUE(o.refusal);
    EXPECT_EQ(o.refusal->kind, "post_refused");
    EXPECT_EQ(o.refusal->line, 7);
    EXPECT_NE(o.refusal->text.find("c:\\mail\\jobs.txt, line 7"), std::string::npos)
        << o.refusal->text;
    EXPECT_NE(o.refusal->text.find("POS_TITLE"), std::string::npos) << o.refusal->text;
    EXPECT_EQ(stored_rows("jsearch2.DB"), 0);
    EXPECT_EQ(stored_rows("CITY.db"), 1);
    EXPECT_EQ(jobs_.record_count(), 0);
    EXPECT_EQ(city_.record_count(), 1);
    // The mail minus its bad job goes in whole afterwards.
    o = post_mail_jobs(jobs_, city_, jobs_of(kV3), {}, kMail);
    ASSERT_FALSE(o.refusal);
    EXPECT_EQ(stored_rows("jsearch2.DB"), 4);
}

TEST_F(ImportTest, RecordedJobsAreFoundByDateStateCityCommentAndImportedTitle) {
    const auto mail = jobs_of(kV3);
    EXPECT_EQ(find_recorded_jobs(jobs_, mail), std::vector<bool>(4, false));
    ASSERT_FALSE(post_mail_jobs(jobs_, city_, mail, {}, kMail).refusal);
    EXPECT_EQ(find_recorded_jobs(jobs_, mail), std::vector<bool>(4, true));

    // A normalised title still counts through POS_TITLE_ORIGINAL; a record moved to another city
    // does not; the shared dataset's filter does not hide records from the check.
    tables::Table t;
    open(t, "jsearch2.DB");
    ASSERT_TRUE(t.locate("POS_TITLE", {"SOFTWARE TESTER"}));
    t.edit();
    t.field("POS_TITLE_ORIGINAL").set_as_string("SOFTWARE TESTER");
    t.field("POS_TITLE").set_as_string("TESTER");
    t.post();
    ASSERT_TRUE(t.locate("POS_TITLE", {"QA LEAD"}));
    t.edit();
    t.field("POS_CITY").set_as_string("ROUND ROCK");
    t.post();
    jobs_.set_filter("POS_STATE = 'ZZ'");
    jobs_.set_filtered(true);
    EXPECT_EQ(find_recorded_jobs(jobs_, mail), (std::vector<bool>{true, true, true, false}));

    // Skipped jobs are not posted.
    PostOutcome o = post_mail_jobs(jobs_, city_, mail, {true, true, true, false}, kMail);
    ASSERT_FALSE(o.refusal);
    EXPECT_EQ(o.added, 1);
    EXPECT_EQ(stored_rows("jsearch2.DB"), 5);
}

// The command line of pavoden2-import over a mail file in the home.
class ImportToolTest : public ImportTablesTest {
  protected:
    std::string write_mail(const std::string& name, const std::string& text) {
        auto host = home_.drive_c() / "mail" / name;
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << text;
        return host.string();
    }
    int run(std::vector<std::string> args) {
        out_.str("");
        std::vector<std::string> all = {"--dir", kImportDb};
        all.insert(all.end(), args.begin(), args.end());
        return run_import_tool(all, out_);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out_.str());
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
    std::ostringstream out_;
};

TEST_F(ImportToolTest, AddsPrintsSkipsAndRefusesAsTheCommandLineSays) {
    const std::string host = write_mail("jobs.txt", kV3);

    // A dry run prints what would be added and posts nothing.
    ASSERT_EQ(run({"--layout", "3", "--dry-run", host}), 0) << out_.str();
    ASSERT_EQ(lines().size(), 4u);
    EXPECT_EQ(lines()[0],
              "{\"line\":3,\"REFNUM\":0,\"DATE\":\"2003-05-01\",\"YYYYMMDD\":\"20030501\","
              "\"TIME\":\"00:00\",\"CONTACT_NAME\":\"CAREERBUILDER.COM\",\"EMAIL\":true,"
              "\"POS_TYPE\":\"MU\",\"POS_CITY\":\"AUSTIN\",\"POS_STATE\":\"TX\","
              "\"POS_TITLE\":\"SOFTWARE TESTER\",\"SUBMITTED\":false,"
              "\"REASON_NO_SUBMIT\":\"AUTOMATED E-MAIL\",\"ITEM_FILE\":\"\\\\MAIL\\\\JOBS.PDF\","
              "\"COMMENT\":\"SEARCH AGENT NAME: Tech Jobs SEARCH AGENT:\"}");
    EXPECT_EQ(stored_rows("jsearch2.DB"), 0);

    // The host path inside the home is named c:\mail\jobs.txt, so ITEM_FILE is \MAIL\JOBS.PDF.
    ASSERT_EQ(run({"--layout", "3", host}), 0) << out_.str();
    ASSERT_EQ(lines().size(), 4u);
    EXPECT_EQ(lines()[0].rfind("{\"PK\":", 0), 0u) << lines()[0];
    EXPECT_EQ(stored_rows("jsearch2.DB"), 4);

    // The same mail again is refused; one more job adds only that one and lists the others.
    EXPECT_EQ(run({"--layout", "3", "c:\\mail\\jobs.txt"}), 1);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].rfind("{\"error\":\"already_imported\",\"line\":3,", 0), 0u) << lines()[0];
    const std::string more = write_mail("more.txt", kV3 + "US-TX-Waco\t*Analyst\n");
    ASSERT_EQ(run({"--layout", "3", more}), 0) << out_.str();
    ASSERT_EQ(lines().size(), 5u);
    EXPECT_NE(lines()[0].find("\"POS_CITY\":\"WACO\""), std::string::npos);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(lines()[i].rfind("{\"skipped\":\"already_imported\",", 0), 0u) << lines()[i];
    EXPECT_EQ(stored_rows("jsearch2.DB"), 5);
    ASSERT_EQ(run({"--layout", "3", "--again", host}), 0);
    EXPECT_EQ(stored_rows("jsearch2.DB"), 9);
}

TEST_F(ImportToolTest, RefusalsUsageAndUnreadableFiles) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* first_line_begins;
    };
    const std::string v3 = write_mail("v3.txt", kV3);
    const std::string empty = write_mail("empty.txt", "");
    const std::string bad = write_mail("bad.txt", "Sent: Foo 01, 2003\nUS-TX-Waco\t*Analyst\n");
    const std::vector<Case> cases = {
        {{"--layout", "1", v3}, 1, "{\"error\":\"wrong_layout\",\"line\":0,"},
        {{"--layout", "3", empty}, 1, "{\"error\":\"empty\",\"line\":0,"},
        {{"--layout", "3", bad}, 1, "{\"error\":\"bad_date\",\"line\":2,"},
        {{"--layout", "3", "c:\\mail\\missing.txt"}, 2, "{\"error\":\"unreadable\",\"line\":0,"},
        {{"--layout", "5", v3}, 2, "{\"error\":\"usage\""},
        {{v3}, 2, "{\"error\":\"usage\""},
        {{"--layout", "3", v3, v3}, 2, "{\"error\":\"usage\""},
        {{"--help"}, 0, "{\"usage\":"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.exit) << out_.str();
        ASSERT_EQ(lines().size(), 1u) << out_.str();
        EXPECT_EQ(lines()[0].rfind(c.first_line_begins, 0), 0u) << lines()[0];
    }
    EXPECT_EQ(stored_rows("jsearch2.DB"), 0);
}

}  // namespace
}  // namespace pavo::records::test
