// Generated demonstration rows: payments, job searches with follow-ups, pick lists, statistics.
#include "store/sample_data.h"

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "tables/table.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::store {

namespace {

using tables::Table;

const char* const kStates[] = {"CO", "CA", "TX", "NY", "WA", "IL", "FL", "GA", "AZ", "NC",
                               "VA", "MA", "NJ", "OH", "PA", "MN", "OR", "UT", "MO", "MI"};
const char* const kCities[] = {
    "DENVER",   "BOULDER",        "COLORADO SPRINGS", "LOS ANGELES", "SAN JOSE",
    "AUSTIN",   "DALLAS",         "NEW YORK",         "SEATTLE",     "CHICAGO",
    "MIAMI",    "ATLANTA",        "PHOENIX",          "RALEIGH",     "RICHMOND",
    "BOSTON",   "NEWARK",         "COLUMBUS",         "PITTSBURGH",  "MINNEAPOLIS",
    "PORTLAND", "SALT LAKE CITY", "ST LOUIS",         "DETROIT",     "FORT COLLINS"};
const char* const kTitleWords[] = {"PROGRAMMER",
                                   "DEVELOPER",
                                   "SOFTWARE ENGINEER",
                                   "ANALYST",
                                   "DATABASE ADMINISTRATOR",
                                   "NETWORK ENGINEER",
                                   "ARCHITECT",
                                   "PROJECT MANAGER",
                                   "TESTER",
                                   "SYSTEMS ADMINISTRATOR",
                                   "TECHNICAL WRITER",
                                   "CONSULTANT",
                                   "SUPPORT SPECIALIST",
                                   "WEB DESIGNER",
                                   "QA ENGINEER"};
const char* const kTitleQualifiers[] = {"SENIOR", "JUNIOR", "LEAD",      "PRINCIPAL",
                                        "STAFF",  "",       "ASSOCIATE", "CONTRACT"};
const char* const kTitleTopics[] = {"C++",      "JAVA", "DELPHI", "ORACLE", "UNIX", "WINDOWS",
                                    "EMBEDDED", "SQL",  "WEB",    ".NET",   "PERL", "MAINFRAME"};
const char* const kFirstNames[] = {"ALICE", "BRIAN", "CAROL", "DAVID", "ELLEN", "FRANK",
                                   "GRACE", "HENRY", "IRENE", "JAMES", "KAREN", "LARRY"};
const char* const kLastNames[] = {"ADAMS",  "BAKER",  "CLARK", "DAVIS", "EVANS", "FOSTER",
                                  "GARCIA", "HUGHES", "IRWIN", "JONES", "KELLY", "LOPEZ"};
const char* const kAgencies[] = {
    "TEKSYSTEMS",   "ROBERT HALF",       "KFORCE",       "MODIS", "INSIGHT GLOBAL",
    "APEX SYSTEMS", "CAREERBUILDER.COM", "NET-TEMPS.COM"};
const char* const kReasons[] = {"RELOCATION REQUIRED", "CLEARANCE REQUIRED", "SALARY TOO LOW",
                                "SKILLS DO NOT MATCH", "DUPLICATE POSTING",  "POSITION FILLED"};
const char* const kPosTypes[] = {"CT", "CH", "FT", "MU", "PT"};
const char* const kCategories[] = {"SPOUSAL SUPPORT",       "CHILD SUPPORT", "RETIRED PAY",
                                   "MEDICAL INSURANCE",     "ATTORNEY FEES", "COURT COSTS",
                                   "CHILD MEDICAL PAYMENT", "CORRESPONDENCE"};
const char* const kItems[] = {"MONTHLY SPOUSAL SUPPORT CHECK",
                              "MONTHLY CHILD SUPPORT CHECK",
                              "RETIRED PAY ALLOTMENT",
                              "INSURANCE PREMIUM",
                              "LETTER FROM ATTORNEY",
                              "COURT FILING FEE",
                              "ORTHODONTIST BILL"};
const char* const kCarriers[] = {"USPS  - CERTIFIED", "USPS  - PRIORITY", "FEDEX - 2DAY",
                                 "UPS   - GROUND", "USPS  - FIRST CLASS"};
const char* const kComments[] = {"RECEIVED LATE", "RETURNED UNSIGNED", "CLEARED NORMALLY",
                                 "FOLLOW UP NEEDED", ""};

template <typename T, std::size_t N>
const T& pick(std::mt19937& rng, const T (&values)[N]) {
    return values[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

int uniform(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

void set_text(Table& t, const char* field, const std::string& value) {
    t.field(field).set_as_string(value);
}

// Appends each distinct value as a row of a one-column pick table.
void fill_pick_list(const std::string& db, const char* table, const char* field,
                    const std::set<std::string>& values) {
    Table t;
    t.set_database_name(db);
    t.set_table_name(table);
    t.open();
    for (const auto& v : values) {
        if (v.empty() || t.locate(field, {v})) continue;
        t.append();
        set_text(t, field, v);
        t.post();
    }
    t.close();
}

std::string title(std::mt19937& rng) {
    std::string q = pick(rng, kTitleQualifiers);
    std::string s = q.empty() ? "" : q + " ";
    return s + pick(rng, kTitleTopics) + " " + pick(rng, kTitleWords);
}

}  // namespace

SampleCounts fill_sample_set(const std::string& db, const SampleSize& size) {
    std::mt19937 rng(size.seed);
    SampleCounts counts;
    tables::CommandScope batch;
    const double start = date_from_civil(2002, 1, 2);

    // Payments: a few each month, sent, made available, delivered and cleared over some days.
    {
        Table t;
        t.set_database_name(db);
        t.set_table_name("PAVODEN2.DB");
        t.open();
        std::set<std::string> items, comments;
        for (int i = 0; i < size.payments; ++i) {
            double item_date =
                start + (730.0 * i) / std::max(1, size.payments) + uniform(rng, 0, 2);
            double sent = item_date + uniform(rng, 0, 2);
            double avail = sent + uniform(rng, 1, 4);
            double del = avail + uniform(rng, 0, 3);
            double clear = del + uniform(rng, 1, 9);
            auto civil = *civil_from_date(item_date);
            std::string category = pick(rng, kCategories);
            std::string item = pick(rng, kItems);
            std::string comment = pick(rng, kComments);
            items.insert(item);
            comments.insert(comment);
            t.append();
            set_text(t, "CATEGORY", category);
            t.field("MONTH_YEAR").set_as_date(date_from_civil(civil.year, civil.month, 1));
            t.field("ITEM_DATE").set_as_date(item_date);
            set_text(t, "YYYYMMDD", tkit_Date_To_YYYYMMDD(item_date));
            t.field("DATE_SENT").set_as_date(sent);
            t.field("DATE_AVAIL").set_as_date(avail);
            t.field("DATE_DEL").set_as_date(del);
            t.field("DATE_CLEAR").set_as_date(clear);
            t.field("DAYS_SENT_TO_AVAIL").set_as_float(avail - sent);
            t.field("DAYS_SENT_TO_DEL").set_as_float(del - sent);
            t.field("DAYS_AVAIL_TO_DEL").set_as_float(del - avail);
            t.field("DAYS_DEL_TO_CLEAR").set_as_float(clear - del);
            t.field("DAYS_SENT_TO_CLEAR").set_as_float(clear - sent);
            set_text(t, "CHECK_NBR", std::to_string(100000 + uniform(rng, 0, 899999)));
            set_text(t, "ITEM", item);
            double amount = uniform(rng, 5000, 250000) / 100.0;
            t.field("SS_AMT").set_as_float(category == "SPOUSAL SUPPORT" ? amount : 0);
            t.field("CS_AMT").set_as_float(category == "CHILD SUPPORT" ? amount : 0);
            t.field("RP_AMT").set_as_float(category == "RETIRED PAY" ? amount : 0);
            t.field("OTHER_AMT")
                .set_as_float(category == "SPOUSAL SUPPORT" || category == "CHILD SUPPORT" ||
                                      category == "RETIRED PAY"
                                  ? 0
                                  : amount);
            set_text(t, "CARRIER", pick(rng, kCarriers));
            set_text(t, "CARR_NBR", "9400" + std::to_string(uniform(rng, 10000000, 99999999)));
            set_text(t, "COMMENT", comment);
            t.post();
            ++counts.payments;
        }
        t.close();
        fill_pick_list(db, "ITEM.DB", "ITEM", items);
        fill_pick_list(db, "COMMENT.DB", "COMMENT", comments);
    }

    // Job searches: applications with their follow-ups sharing the application number.
    {
        Table t;
        t.set_database_name(db);
        t.set_table_name("jsearch2.DB");
        t.open();
        std::set<std::string> contacts, cities, titles, reasons;
        std::vector<std::pair<double, std::string>> open_applications;  // (first PK, city/state)
        for (int i = 0; i < size.job_searches; ++i) {
            double day = start + (730.0 * i) / std::max(1, size.job_searches);
            bool follow_up = !open_applications.empty() && uniform(rng, 0, 2) == 0;
            std::string contact = std::string(pick(rng, kFirstNames)) + " " + pick(rng, kLastNames);
            std::string city = pick(rng, kCities);
            std::string state = pick(rng, kStates);
            std::string pos_title = title(rng);
            bool submitted = uniform(rng, 0, 4) != 0;
            std::string reason = submitted ? "" : pick(rng, kReasons);
            char time[8];
            std::snprintf(time, sizeof time, "%02d:%02d", uniform(rng, 7, 18),
                          uniform(rng, 0, 5) * 10);
            contacts.insert(contact);
            cities.insert(city);
            titles.insert(pos_title);
            if (!reason.empty()) reasons.insert(reason);

            t.append();
            t.field("ACTIVE").set_as_boolean(day > start + 600);
            t.field("DATE").set_as_date(day);
            set_text(t, "YYYYMMDD", tkit_Date_To_YYYYMMDD(day));
            set_text(t, "TIME", time);
            set_text(t, "CONTACT_NAME", contact);
            t.field("EMAIL").set_as_boolean(uniform(rng, 0, 1) == 1);
            set_text(t, "POS_TYPE", pick(rng, kPosTypes));
            set_text(t, "POS_CITY", city);
            set_text(t, "POS_STATE", state);
            set_text(t, "POS_TITLE", pos_title);
            set_text(t, "POS_TITLE_ORIGINAL", pos_title);
            t.field("SUBMITTED").set_as_boolean(submitted);
            set_text(t, "REASON_NO_SUBMIT", reason);
            set_text(t, "COMMENT", follow_up ? "FOLLOW-UP CALL" : pick(rng, kAgencies));
            if (follow_up) {
                auto& app = open_applications[static_cast<std::size_t>(
                    uniform(rng, 0, static_cast<int>(open_applications.size()) - 1))];
                t.field("REFNUM").set_as_float(app.first);
            }
            t.post();
            if (!follow_up) {
                // A new application's number is its own key, known only once posted.
                double pk = t.field("PK").as_float();
                t.edit();
                t.field("REFNUM").set_as_float(pk);
                t.post();
                open_applications.emplace_back(pk, city);
                if (open_applications.size() > 40)
                    open_applications.erase(open_applications.begin());
            }
            ++counts.job_searches;
        }
        t.close();
        fill_pick_list(db, "CONTACT_NAME.DB", "CONTACT_NAME", contacts);
        fill_pick_list(db, "CITY.db", "CITY", cities);
        std::set<std::string> few_titles;
        for (const auto& ti : titles)
            if (few_titles.size() < 200) few_titles.insert(ti);
        fill_pick_list(db, "POSTITLE.DB", "POS_TITLE", few_titles);
        fill_pick_list(db, "REASON.db", "REASON", reasons);
    }

    // Statistics categories: title keywords in search order, and every state, counts at zero.
    {
        Table jt;
        jt.set_database_name(db);
        jt.set_table_name("STATS_JT.DB");
        jt.open();
        std::vector<std::string> categories;
        for (const char* w : kTitleWords) categories.push_back(w);
        for (const char* topic : kTitleTopics) categories.push_back(topic);
        for (int i = 0; static_cast<int>(categories.size()) < size.title_categories; ++i)
            categories.push_back(std::string(kTitleWords[i % 15]) + " " + kTitleTopics[i % 12] +
                                 " " + std::to_string(i));
        for (int i = 0; i < size.title_categories && i < static_cast<int>(categories.size()); ++i) {
            jt.append();
            jt.field("ORDER").set_as_float(i + 1);
            set_text(jt, "CATEGORY", categories[static_cast<std::size_t>(i)]);
            jt.field("COUNT").set_as_float(0);
            jt.field("PERCENTAGE").set_as_float(0);
            jt.post();
        }
        jt.close();

        Table st;
        st.set_database_name(db);
        st.set_table_name("STATS_ST.DB");
        st.open();
        for (const char* s : kStates) {
            st.append();
            set_text(st, "STATE", s);
            st.field("COUNT").set_as_float(0);
            st.field("PERCENTAGE").set_as_float(0);
            st.post();
        }
        st.close();
    }
    batch.commit();
    return counts;
}

}  // namespace pavo::store
