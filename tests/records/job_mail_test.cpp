// Tests of the mail reader: each layout's rules on saved mails, working values carried over, odd
// blanks, long lines, the hundredth job, and every refusal with its line. Each mail is also read
// with CR LF line ends and must give the same jobs.
#include "records/job_mail.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "utility/text_conv.h"

namespace pavo::records {
namespace {

const std::string kPath = "c:\\mail\\jobs.txt";

std::string data_file(const std::string& name) {
    std::ifstream in(std::string(PAVO_RECORDS_TEST_DATA) + "/mail/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string crlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct Expected {
    int line;
    std::string date, state, city, title, agent;
};

MailReading read(const std::string& text, MailLayout layout) {
    return read_job_mail(text, layout, kPath);
}

void expect_jobs(const MailReading& r, const std::vector<Expected>& want, const std::string& what) {
    ASSERT_FALSE(r.refusal) << what << ": " << r.refusal->text;
    ASSERT_EQ(r.jobs.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const MailJob& j = r.jobs[i];
        const Expected& e = want[i];
        SCOPED_TRACE(what + " job " + std::to_string(i + 1));
        EXPECT_EQ(j.line, e.line);
        EXPECT_EQ(format_short_date(j.date), e.date);
        EXPECT_EQ(
            j.yyyymmdd, e.date.empty() ? "" : [&] {
                auto c = civil_from_date(j.date);
                char b[16];
                std::snprintf(b, sizeof b, "%04d%02d%02d", c->year, c->month, c->day);
                return std::string(b);
            }());
        EXPECT_EQ(j.state, e.state);
        EXPECT_EQ(j.city, e.city);
        EXPECT_EQ(j.title, e.title);
        EXPECT_EQ(j.comment, "SEARCH AGENT NAME: " + e.agent);
        EXPECT_EQ(j.item_file, "\\MAIL\\JOBS.PDF");
    }
}

struct LayoutCase {
    const char* file;
    MailLayout layout;
    std::vector<Expected> jobs;
};

TEST(MailReaderTest, EachLayoutReadsItsMailAlikeWithLfAndCrLf) {
    const std::vector<LayoutCase> cases = {
        {"v1.txt",
         MailLayout::kV1,
         {{7, "9/14/2001", "MI", "DETROIT", "SENIOR SOFTWARE ENGINEER", "Denver IT"},
          {11, "9/14/2001", "CO", "COLORADO SPRINGS", "DATABASE ADMINISTRATOR", "Denver IT"},
          {15, "9/14/2001", "MI", "DETROIT", "HELP DESK ANALYST", "Denver IT"}}},
        {"v2.txt",
         MailLayout::kV2,
         {{7, "3/12/2003", "CO", "DENVER", "NETWORK ENGINEER", "Tech Jobs"},
          {11, "3/12/2003", "CA", "SAN JOSE", "UNIX ADMINISTRATOR", "Tech Jobs"},
          {15, "3/12/2003", "WA", "SEATTLE", "QA ANALYST", "Tech Jobs"}}},
        // The apostrophe of O'Fallon becomes a blank.
        {"v3.txt",
         MailLayout::kV3,
         {{5, "5/1/2003", "TX", "AUSTIN", "SOFTWARE TESTER", "Tech Jobs SEARCH AGENT:"},
          {6, "5/1/2003", "TX", "DALLAS", "JAVA DEVELOPER", "Tech Jobs SEARCH AGENT:"},
          {7, "5/1/2003", "MO", "O FALLON", "SYSTEMS ANALYST", "Tech Jobs SEARCH AGENT:"}}},
        // MI-Detroit, two TABs and the title reads as US-MI-Detroit would.
        {"v4.txt",
         MailLayout::kV4,
         {{4, "6/3/2003", "MI", "DETROIT", "SOFTWARE ENGINEER", "Denver Jobs SEARCH AGENT:"},
          {5, "6/3/2003", "CO", "DENVER", "PROJECT MANAGER", "Denver Jobs SEARCH AGENT:"},
          {6, "6/3/2003", "CA", "LOS ANGELES", "WEB DEVELOPER", "Denver Jobs SEARCH AGENT:"}}},
        // A version 3 mail has nothing version 4 reads differently.
        {"v3.txt",
         MailLayout::kV4,
         {{5, "5/1/2003", "TX", "AUSTIN", "SOFTWARE TESTER", "Tech Jobs SEARCH AGENT:"},
          {6, "5/1/2003", "TX", "DALLAS", "JAVA DEVELOPER", "Tech Jobs SEARCH AGENT:"},
          {7, "5/1/2003", "MO", "O FALLON", "SYSTEMS ANALYST", "Tech Jobs SEARCH AGENT:"}}},
    };
    for (const auto& c : cases) {
        const std::string text = data_file(c.file);
        ASSERT_FALSE(text.empty()) << c.file;
        expect_jobs(read(text, c.layout), c.jobs, std::string(c.file) + " LF");
        expect_jobs(read(crlf(text), c.layout), c.jobs, std::string(c.file) + " CR LF");
    }
}

struct RuleCase {
    const char* what;
    MailLayout layout;
    std::string text;
    std::vector<Expected> jobs;
};

TEST(MailReaderTest, RulesAsTheLayoutsDefineThem) {
    const std::string sent = "Sent: March 05, 2003 10:15 AM\n";
    const std::vector<RuleCase> cases = {
        {"v1 location without markers repeats state and city",
         MailLayout::kV1,
         sent + "A | Full Time\nx\nLocation | MI - Detroit\nB | Contract\nx\nno markers here\n"
                "C | Full Time\nx\nLocation | OH - Akron\n",
         {{2, "3/5/2003", "MI", "DETROIT", "A", ""},
          {5, "3/5/2003", "MI", "DETROIT", "B", ""},
          {8, "3/5/2003", "OH", "AKRON", "C", ""}}},
        {"v1 the line after the job line is not examined",
         MailLayout::kV1,
         sent + "A | Full Time\nB | Contract\nLocation | MI - Detroit\n",
         {{2, "3/5/2003", "MI", "DETROIT", "A", ""}}},
        {"v1 | Contract decides over | Full Time",
         MailLayout::kV1,
         sent + "Lead | Full Time | Contract\nx\nLocation | MI - Detroit\n",
         {{2, "3/5/2003", "MI", "DETROIT", "LEAD | FULL TIME", ""}}},
        {"v1 fixed positions with a blank missing after the bar",
         MailLayout::kV1,
         sent + "A | Full Time\nx\nLocation |MI - Detroit\n",
         {{2, "3/5/2003", "I", "DETROIT", "A", ""}}},
        {"v1 common agent rule replaced by the second",
         MailLayout::kV1,
         sent + "Your \"Denver\" Personal Search Agent has found 1 job\nA | Full Time\nx\n"
                "Location | MI - Detroit\n",
         {{3, "3/5/2003", "MI", "DETROIT", "A", ""}}},
        {"v2 title carried to the next location, state and city per location",
         MailLayout::kV2,
         sent + "1. Title: Tester\nLocation: US-MI-Detroit\nLocation: US-OH-Akron\n",
         {{3, "3/5/2003", "MI", "DETROIT", "TESTER", ""},
          {4, "3/5/2003", "OH", "AKRON", "TESTER", ""}}},
        {"v2 fixed positions with a doubled blank",
         MailLayout::kV2,
         sent + "1. Title:  Tester\nLocation:  US-MI-Detroit\n",
         {{3, "3/5/2003", "-M", "-DETROIT", "TESTER", ""}}},
        {"v2 second agent rule",
         MailLayout::kV2,
         sent + "Your \"Tech Jobs\" Personal Search Agent has found 1 job\n12.Title: Dev\n"
                "Location: US-CO-Denver\n",
         {{4, "3/5/2003", "CO", "DENVER", "DEV", "Tech Jobs"}}},
        {"v3 agent without Refine is empty; city up to the TAB",
         MailLayout::kV3,
         sent + "Denver SEARCH AGENT: jobs\nUS-CO-Fort Collins\tx  Lead Dev  \n",
         {{3, "3/5/2003", "CO", "FORT COLLINS", "LEAD DEV", ""}}},
        {"v4 codes only before a hyphen; US- lines kept",
         MailLayout::kV4,
         sent + "CO-Denver\t*Dev\nZZ-Nowhere\t*Not a job\nUS-WY-Cody\t*Ops\n",
         {{2, "3/5/2003", "CO", "DENVER", "DEV", ""}, {4, "3/5/2003", "WY", "CODY", "OPS", ""}}},
        {"comparisons are case-sensitive",
         MailLayout::kV2,
         sent + "sent: April 01, 2004\n1. title: Lower\n1. Title: Upper\nlocation: US-MI-X\n"
                "Location: US-MI-Detroit\n",
         {{6, "3/5/2003", "MI", "DETROIT", "UPPER", ""}}},
        {"the month word is kept when it is no abbreviation's start; numbers stay",
         MailLayout::kV3,
         "Sent: 7 4, 2003\nUS-CO-Denver\t*Dev\n",
         {{2, "7/4/2003", "CO", "DENVER", "DEV", ""}}},
        {"a later Sent line dates the jobs after it",
         MailLayout::kV3,
         sent + "US-CO-Denver\t*Dev\nSent: Dec 31, 2003\nUS-CO-Denver\t*Ops\n",
         {{2, "3/5/2003", "CO", "DENVER", "DEV", ""},
          {4, "12/31/2003", "CO", "DENVER", "OPS", ""}}},
    };
    for (const auto& c : cases) {
        expect_jobs(read(c.text, c.layout), c.jobs, std::string(c.what) + " LF");
        expect_jobs(read(crlf(c.text), c.layout), c.jobs, std::string(c.what) + " CR LF");
    }
}

TEST(MailReaderTest, LongLinesAreWholeLines) {
    // A title line far past 131 characters keeps its start and makes no phantom job from a piece.
    std::string filler(150, 'x');
    std::string text = "Sent: March 05, 2003\n1. Title: Architect " + filler +
                       " | Full Time\nLocation: US-MI-Detroit\n";
    MailReading r = read(text, MailLayout::kV2);
    ASSERT_FALSE(r.refusal) << r.refusal->text;
    ASSERT_EQ(r.jobs.size(), 1u);
    EXPECT_EQ(r.jobs[0].title, to_upper(("Architect " + filler).substr(0, 100)));
    // The Sent line ends in its year and still converts.
    EXPECT_EQ(format_short_date(r.jobs[0].date), "3/5/2003");

    // A version 1 marker beyond the 131st character is found.
    std::string v1 = "Sent: March 05, 2003\n" + std::string(140, 'T') +
                     " | Full Time\nx\nLocation | MI - Detroit\n";
    r = read(v1, MailLayout::kV1);
    ASSERT_FALSE(r.refusal) << r.refusal->text;
    ASSERT_EQ(r.jobs.size(), 1u);
    EXPECT_EQ(r.jobs[0].title, std::string(140, 'T'));
}

TEST(MailReaderTest, JobsFromTheHundredthOnKeepTheirOwnTitles) {
    std::string text = "Sent: March 05, 2003\n";
    for (int i = 1; i <= 105; ++i) {
        std::string n = std::to_string(i) + ".";
        n.resize(std::max<std::size_t>(n.size(), 3), ' ');
        text += n + "Title: Job " + std::to_string(i) + "\nLocation: US-MI-Detroit\n";
    }
    text += "1000. Title: Spaced\nLocation: US-MI-Detroit\n";
    MailReading r = read(text, MailLayout::kV2);
    ASSERT_FALSE(r.refusal) << r.refusal->text;
    ASSERT_EQ(r.jobs.size(), 106u);
    for (int i = 1; i <= 105; ++i) EXPECT_EQ(r.jobs[i - 1].title, "JOB " + std::to_string(i));
    EXPECT_EQ(r.jobs[105].title, "SPACED");
}

struct RefusalCase {
    const char* what;
    MailLayout layout;
    std::string text;
    const char* kind;
    int line;
    const char* text_has;
};

TEST(MailReaderTest, RefusalsNameKindLineAndFile) {
    const std::string v4 = data_file("v4.txt");
    const std::vector<RefusalCase> cases = {
        {"empty", MailLayout::kV1, "", "empty", 0, "is empty"},
        {"blank lines only", MailLayout::kV1, "\r\n \n\t\n", "empty", 0, "is empty"},
        {"UTF-16", MailLayout::kV3, std::string("S\0e\0n\0t\0:\0", 10), "not_text", 0, "NUL"},
        {"too large", MailLayout::kV3, std::string(kMaxMailBytes + 1, 'a'), "too_large", 0,
         "16 MiB"},
        {"version 4 mail with the version 1 button", MailLayout::kV1, v4, "wrong_layout", 0,
         "CareerBuilder V4 (Since 6 May 2003)"},
        {"version 4 mail with the version 3 button", MailLayout::kV3, v4, "wrong_layout", 0,
         "Use the \"CareerBuilder V4 (Since 6 May 2003)\" button"},
        {"no jobs", MailLayout::kV2, "Sent: March 05, 2003\nHello\n", "no_jobs", 0,
         "CareerBuilder V2"},
        {"month word that is no month", MailLayout::kV3, "Sent: Foo 05, 2003\nUS-CO-A\t*B\n",
         "bad_date", 2, "'Foo/05/2003'"},
        {"day out of range", MailLayout::kV3, "Sent: Feb 30, 2003\nUS-CO-A\t*B\nUS-CO-C\t*D\n",
         "bad_date", 2, "DATE"},
        {"job before any Sent line", MailLayout::kV3,
         "US-CO-A\t*B\nSent: Feb 03, 2003\nUS-CO-C\t*D\n", "bad_date", 1, "Sent:"},
        {"bad last job", MailLayout::kV3,
         "Sent: Feb 03, 2003\nUS-CO-A\t*B\nSent: Feb 33, 2003\nUS-CO-C\t*D\n", "bad_date", 4,
         "'02/33/2003'"},
        {"first v1 job without location markers", MailLayout::kV1,
         "Sent: Feb 03, 2003\nA | Full Time\nx\nsomewhere\n", "post_refused", 2, "POS_CITY"},
        {"v2 Location line without a state", MailLayout::kV2,
         "Sent: Feb 03, 2003\n1. Title: A\nLocation: US-\n", "post_refused", 3, "POS_CITY"},
    };
    for (const auto& c : cases) {
        for (bool twin : {false, true}) {
            std::string text = twin ? crlf(c.text) : c.text;
            if (twin && c.layout == MailLayout::kV3 && std::string(c.kind) == "too_large") continue;
            MailReading r = read(text, c.layout);
            SCOPED_TRACE(std::string(c.what) + (twin ? " CR LF" : " LF"));
            ASSERT_TRUE(r.refusal);
            EXPECT_EQ(r.refusal->kind, c.kind);
            EXPECT_EQ(r.refusal->line, c.line);
            EXPECT_NE(r.refusal->text.find(c.text_has), std::string::npos) << r.refusal->text;
            EXPECT_NE(r.refusal->text.find(kPath), std::string::npos) << r.refusal->text;
            EXPECT_TRUE(r.jobs.empty());
        }
    }
}

TEST(MailReaderTest, ItemFileAndLogLines) {
    EXPECT_EQ(mail_item_file("c:\\mail\\jobs.txt"), "\\MAIL\\JOBS.PDF");
    EXPECT_EQ(mail_item_file("z:\\srv\\mail.v2\\Week 1"), "\\SRV\\MAIL.V2\\WEEK 1.PDF");
    EXPECT_STREQ(layout_log_line(MailLayout::kV2),
                 "Adding Version 1 (CareerBuilder Version 2 [March 2002 to February 2003]) "
                 "Records To Database");
    EXPECT_STREQ(layout_log_line(MailLayout::kV4),
                 "Adding Version (CareerBuilder Version 4 [Since February 2003]) Records To "
                 "Database");
}

}  // namespace
}  // namespace pavo::records
