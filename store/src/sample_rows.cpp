// Word lists and the rules that turn them into plausible job searches, payments and categories.
#include "store/sample_rows.h"

#include <cstdio>

#include "utility/text_conv.h"

namespace pavo::sample {

namespace {

const std::vector<std::string> kSeniority = {"",      "",           "",       "SENIOR ", "JUNIOR ",
                                             "LEAD ", "PRINCIPAL ", "STAFF ", "Sr. "};
const std::vector<std::string> kDomains = {
    "NETWORK",  "DATABASE",  "SOFTWARE",  "SYSTEMS", "JAVA",     "C++",    "WEB",   "SECURITY",
    "UNIX",     "WINDOWS",   "ORACLE",    "SAP",     "QA",       "TEST",   "DATA",  "CLOUD",
    "EMBEDDED", "MAINFRAME", "HELP DESK", "DESKTOP", ".NET",     "PERL",   "LINUX", "STORAGE",
    "VOICE",    "TELECOM",   "ERP",       "CRM",     "BUSINESS", "PROJECT"};
const std::vector<std::string> kRoles = {
    "ENGINEER",   "DEVELOPER", "ADMINISTRATOR", "ANALYST",     "ARCHITECT",  "PROGRAMMER",
    "CONSULTANT", "MANAGER",   "SPECIALIST",    "TECHNICIAN",  "DESIGNER",   "TESTER",
    "SUPPORT",    "LEAD",      "DIRECTOR",      "COORDINATOR", "INSTRUCTOR", "WRITER",
    "INTEGRATOR", "OPERATOR",  "PLANNER",       "AUDITOR",     "OFFICER",    "ASSOCIATE"};
const std::vector<std::string> kStates = {"CO", "CO", "CO", "TX", "CA", "WA", "NY", "AZ",
                                          "UT", "NM", "IL", "VA", "GA", "FL", "NC", "MN"};
const std::vector<std::string> kCities = {
    "DENVER",  "BOULDER", "AURORA",  "LITTLETON", "ENGLEWOOD",      "GOLDEN",
    "AUSTIN",  "DALLAS",  "SEATTLE", "PHOENIX",   "SALT LAKE CITY", "SANTA FE",
    "CHICAGO", "RESTON",  "ATLANTA", "TAMPA",     "RALEIGH",        "MINNEAPOLIS"};
const std::vector<std::string> kContacts = {"CAREERBUILDER.COM",
                                            "HOTJOBS.COM",
                                            "NET-TEMPS.COM",
                                            "TEKSYSTEMS",
                                            "ROBERT HALF",
                                            "KFORCE",
                                            "MODIS",
                                            "ACME STAFFING",
                                            "J. SMITH",
                                            "M. JONES",
                                            "Insight Global",
                                            "Apex Systems",
                                            "Volt"};
const std::vector<std::string> kReasons = {"",
                                           "",
                                           "",
                                           "",
                                           "",
                                           "TOO FAR",
                                           "PAY TOO LOW",
                                           "NO CLEARANCE",
                                           "CONTRACT TOO SHORT",
                                           "SKILLS DO NOT MATCH"};
const std::vector<std::string> kPosTypes = {"FT", "FT", "FT", "CT", "CH", "PT", "MU"};
const std::vector<std::string> kPayCategories = {
    "CHILD SUPPORT", "SPOUSAL SUPPORT",   "RETIRED PAY", "COURT COSTS",
    "ATTORNEY FEES", "MEDICAL INSURANCE", "PAYMENT",     "OTHER"};
const std::vector<std::string> kCarriers = {"FEDEX - 2DAY", "UPS   - GROUND", "USPS  - CERTIFIED",
                                            "USPS  - PRIORITY"};

std::string two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string key_of(double date) {
    auto c = civil_from_date(date);
    return std::to_string(c->year) + two(c->month) + two(c->day);
}

}  // namespace

std::string Generator::job_title() {
    std::string t = pick(kSeniority) + pick(kDomains) + " " + pick(kRoles);
    if (pick(10) == 0) t += " " + std::to_string(1 + pick(3));  // "ENGINEER 2"
    if (pick(12) == 0) t = to_lower(t);                         // typed by hand
    return t;
}

std::vector<std::vector<std::string>> Generator::job_searches(int count) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<std::size_t>(count));
    double start = date_from_civil(2002, 1, 1);
    double span = date_from_civil(2004, 12, 31) - start;
    for (int i = 0; i < count; ++i) {
        double date = start + std::floor(span * i / std::max(1, count));
        int minutes = 10 * pick(144);
        std::string title = job_title();
        std::string reason = pick(kReasons);
        std::vector<std::string> r(19);
        r[1] = pick(4) ? "True" : "False";
        r[2] = pick(20) == 0 ? format_short_date(date + 30) : "";
        r[3] = std::to_string(i + 1 - (pick(8) == 0 ? pick(std::min(i + 1, 50)) : 0));
        r[4] = format_short_date(date);
        r[5] = key_of(date);
        r[6] = two(minutes / 60) + ":" + two(minutes % 60);
        r[7] = pick(kContacts);
        r[8] = pick(3) ? "True" : "False";
        r[9] = pick(kPosTypes);
        r[10] = pick(kCities);
        r[11] = pick(kStates);
        r[12] = title;
        r[13] = pick(3) == 0 ? title : "";
        r[14] = reason.empty() ? "True" : "False";
        r[15] = reason;
        r[16] = pick(5) == 0 ? "c:\\mydata\\KV-DB\\PAVODEN2\\mail\\job" + std::to_string(i) + ".txt"
                             : "";
        r[17] = pick(6) == 0 ? "called back, left message" : "";
        r[18] = pick(30) == 0 ? "Phone screen went well; second interview to be scheduled." : "";
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<std::vector<std::string>> Generator::payments(int count) {
    std::vector<std::vector<std::string>> rows;
    double start = date_from_civil(2002, 1, 1);
    for (int i = 0; i < count; ++i) {
        double item = start + std::floor(1095.0 * i / std::max(1, count));
        std::vector<std::string> r(32);
        r[1] = pick(kPayCategories);
        r[2] = format_short_date(item - civil_from_date(item)->day + 1);
        r[3] = format_short_date(item);
        r[4] = key_of(item);
        double sent = item + pick(3), avail = sent + 1 + pick(3), del = avail + pick(4),
               clear = del + 2 + pick(5);
        r[5] = format_short_date(sent);
        r[6] = format_short_date(avail);
        r[7] = format_short_date(del);
        r[10] = format_short_date(del);
        r[12] = format_short_date(clear);
        r[13] = format_number(avail - sent);
        r[14] = format_number(del - sent);
        r[15] = format_number(del - avail);
        r[16] = format_number(clear - del);
        r[17] = format_number(clear - sent);
        r[18] = std::to_string(1000 + i % 9000);
        r[19] = r[1] + " " + r[3];
        r[20] = r[1] == "SPOUSAL SUPPORT" ? "1250" : "0";
        r[21] = r[1] == "RETIRED PAY" ? "812.37" : "0";
        r[22] = r[1] == "CHILD SUPPORT" ? "950" : "0";
        r[23] = r[1] == "OTHER" ? format_number(10 + pick(500)) : "0";
        r[24] = pick(kCarriers);
        r[25] = std::to_string(100000000 + pick(899999999));
        r[30] = pick(10) == 0 ? "late" : "";
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<std::vector<std::string>> Generator::title_categories(int count) {
    std::vector<std::string> names;
    for (const auto& d : kDomains)
        for (const auto& r : kRoles) names.push_back(d + " " + r);
    std::shuffle(names.begin(), names.end(), rng_);
    std::vector<std::string> generic = kRoles;
    generic.insert(generic.end(), kDomains.begin(), kDomains.end());
    std::vector<std::vector<std::string>> rows;
    int specific = std::max(0, count - static_cast<int>(generic.size()));
    for (int i = 0; i < count; ++i) {
        bool is_specific = i < specific && i < static_cast<int>(names.size());
        std::string name =
            is_specific
                ? names[static_cast<std::size_t>(i)]
                : generic[static_cast<std::size_t>(i - specific) % generic.size()] +
                      (i - specific >= static_cast<int>(generic.size()) ? " " + std::to_string(i)
                                                                        : "");
        int order = is_specific ? 1 + i / 4 : 500 + (i - specific);
        rows.push_back(
            {std::to_string(order), name, "0", "0", pick(15) == 0 ? "TOO FAR" : "", "1/1/2005"});
    }
    return rows;
}

int append_rows(tables::Table& table, const std::vector<std::vector<std::string>>& rows) {
    tables::CommandScope command;
    std::vector<tables::Field> fields;
    for (int i = 0; i < table.field_count(); ++i) fields.push_back(table.field(i));
    for (const auto& row : rows) {
        table.append();
        for (std::size_t i = 0; i < row.size() && i < fields.size(); ++i)
            if (!row[i].empty()) fields[i].set_as_string(row[i]);
        table.post();
    }
    return static_cast<int>(rows.size());
}

}  // namespace pavo::sample
