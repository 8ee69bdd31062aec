// The table definitions, initial rows and creation texts of a table set.
#include "store/schema.h"

#include <cstdio>

#include "utility/text_conv.h"

namespace pavo::store {

namespace {

using tables::FieldDef;
using tables::FieldType;
using tables::IndexDef;

FieldDef str(const char* name, int size, bool required = false) {
    return FieldDef{name, FieldType::kString, size, required};
}
FieldDef date(const char* name, bool required = false) {
    return FieldDef{name, FieldType::kDate, 0, required};
}
FieldDef num(const char* name) {
    return FieldDef{name, FieldType::kFloat, 0, false};
}
FieldDef truth(const char* name) {
    return FieldDef{name, FieldType::kBoolean, 0, false};
}
FieldDef autoinc(const char* name) {
    return FieldDef{name, FieldType::kAutoInc, 0, false};
}
FieldDef memo(const char* name, int size = 0) {
    return FieldDef{name, FieldType::kMemo, size, false};
}

IndexDef primary(const char* fields) {
    return IndexDef{"", fields, true, true, false, false};
}
IndexDef ci(const char* name, const char* fields) {
    return IndexDef{name, fields, false, false, false, true};
}
IndexDef ci_desc(const char* name, const char* fields) {
    return IndexDef{name, fields, false, false, true, true};
}

std::vector<std::vector<std::string>> one_column(std::initializer_list<const char*> values) {
    std::vector<std::vector<std::string>> rows;
    for (const char* v : values) rows.push_back({v});
    return rows;
}

// One row for every ten minutes of the day: "00:00" / "12:00 AM" ... "23:50" / "11:50 PM".
std::vector<std::vector<std::string>> time_rows() {
    std::vector<std::vector<std::string>> rows;
    for (int minute_of_day = 0; minute_of_day < 24 * 60; minute_of_day += 10) {
        int hour = minute_of_day / 60, minute = minute_of_day % 60;
        char h24[8], h12[16];
        std::snprintf(h24, sizeof h24, "%02d:%02d", hour, minute);
        int hour12 = hour % 12 == 0 ? 12 : hour % 12;
        std::snprintf(h12, sizeof h12, "%d:%02d %s", hour12, minute, hour < 12 ? "AM" : "PM");
        rows.push_back({h24, h12});
    }
    return rows;
}

std::vector<TableSchema> build_schema() {
    std::vector<TableSchema> s;

    s.push_back(
        TableSchema{"create_pavoden2_table",
                    "pavoden2",
                    "PAVODEN2.DB",
                    {autoinc("pk"),
                     str("CATEGORY", 25),
                     date("MONTH_YEAR"),
                     date("ITEM_DATE"),
                     str("YYYYMMDD", 10),
                     date("DATE_SENT"),
                     date("DATE_AVAIL"),
                     date("DATE_1ST_TRY"),
                     date("DATE_2ND_TRY"),
                     date("DATE_3RD_TRY"),
                     date("DATE_DEL"),
                     date("DATE_RETURNED"),
                     date("DATE_CLEAR"),
                     num("DAYS_SENT_TO_AVAIL"),
                     num("DAYS_SENT_TO_DEL"),
                     num("DAYS_AVAIL_TO_DEL"),
                     num("DAYS_DEL_TO_CLEAR"),
                     num("DAYS_SENT_TO_CLEAR"),
                     str("CHECK_NBR", 6),
                     str("ITEM", 70),
                     num("SS_AMT"),
                     num("RP_AMT"),
                     num("CS_AMT"),
                     num("OTHER_AMT"),
                     str("CARRIER", 40),
                     str("CARR_NBR", 40),
                     str("ITEM_FILE", 255),
                     str("SHIP_FILE", 255),
                     str("SIG_FILE", 255),
                     str("CHK_STMT", 255),
                     str("COMMENT", 70),
                     memo("MEMO")},
                    {primary("pk"), ci("YYYYMMDD_", "YYYYMMDD"), ci("DATE_SENT_", "DATE_SENT"),
                     ci("ITEM_FILE_", "ITEM_FILE"), ci("CATEGORY_", "CATEGORY"),
                     ci("MONTH_YEAR_", "MONTH_YEAR"), ci_desc("ITEM_DATE_", "ITEM_DATE")},
                    {},
                    {"Attempting to create PAVODEN2 table....."},
                    {"Done creating PAVODEN2 table....."}});

    s.push_back(TableSchema{"create_stats_state_table",
                            "stats_st.db",
                            "STATS_ST.DB",
                            {str("STATE", 2), num("COUNT"), num("PERCENTAGE"), date("AS_OF_DATE")},
                            {primary("STATE")},
                            {},
                            {"Attempting to create STATES STATS table....."},
                            {"Done creating STATES STATS table....."}});

    s.push_back(TableSchema{"create_stats_job_title_table",
                            "stats_jt.db",
                            "STATS_JT.DB",
                            {num("ORDER"), str("CATEGORY", 50), num("COUNT"), num("PERCENTAGE"),
                             str("REASON_NOT_SUBMITTED", 80), date("AS_OF_DATE")},
                            {primary("ORDER;CATEGORY"), ci("CATEGORY_", "CATEGORY")},
                            {},
                            {"Attempting to create JOB TITLE STATS table....."},
                            {"Done creating JOB TITLE STATS table....."}});

    s.push_back(
        TableSchema{"create_carrier_table",
                    "carrier.db",
                    "Carrier.db",
                    {str("CARRIER", 40)},
                    {primary("CARRIER")},
                    one_column({"FEDEX - 1DAY FREIGHT",       "FEDEX - 2DAY",
                                "FEDEX - 2DAY FREIGHT",       "FEDEX - 3DAY FREIGHT",
                                "FEDEX - EXPRESS SAVER",      "FEDEX - FIRST OVERNIGHT",
                                "FEDEX - PRIORITY OVERNIGHT", "FEDEX - SAMEDAY",
                                "FEDEX - STANDARD OVERNIGHT", "UPS   - 2ND DAY AIR",
                                "UPS   - 2ND DAY AIR A.M.",   "UPS   - 3 DAY SELECT",
                                "UPS   - DOCUMENT EXCHANGE",  "UPS   - GROUND",
                                "UPS   - NEXT DAY AIR",       "UPS   - NEXT DAY AIR EARLY A.M.",
                                "UPS   - NEXT DAY AIR SAVER", "UPS   - SONIC AIR BEST FLIGHT",
                                "USPS  - CERTIFIED",          "USPS  - FIRST CLASS",
                                "USPS  - PRIORITY",           "USPS  - PRIORITY OVERNIGHT",
                                "USPS  - REGISTERED"}),
                    {"Attempting to create CARRIER table.....", "Done creating CARRIER table.....",
                     "Adding default data to CARRIER table....."},
                    {"Done creating CARRIER table....."}});

    s.push_back(TableSchema{
        "create_category_table",
        "category.db",
        "Category.db",
        {str("CATEGORY", 25)},
        {primary("CATEGORY")},
        one_column({"ATTORNEY FEES", "CAR INSURANCE", "CHILD SUPPORT", "CHILD DENTAL PAYMENT",
                    "CHILD MEDICAL PAYMENT", "COURT COSTS", "JOB SEARCH", "MEDICAL INSURANCE",
                    "MORTGAGE PAYMENT", "RETIRED PAY", "SPOUSAL SUPPORT", "BANK STATEMENT",
                    "EMPLOYEE PAY STATEMENT", "IT SLUMP", "LEGAL", "PAYMENT", "CORRESPONDENCE",
                    "OTHER"}),
        {"Attempting to create CATEGORY table.....", "Done creating Category table.....",
         "Adding default data to Category table....."},
        {"Done creating CATEGORY table....."}});

    s.push_back(TableSchema{"create_Contact_Name_table",
                            "contact_name.db",
                            "CONTACT_NAME.DB",
                            {str("CONTACT_NAME", 50)},
                            {primary("CONTACT_NAME")},
                            {},
                            {"Attempting to create Contact_Name table....."},
                            {"Done creating Contact_Name table....."}});

    s.push_back(TableSchema{
        "create_config_table",
        "config.db",
        "CONFIG.DB",
        {str("SIDE_BAR_COLOR", 15), str("BROWSE_START_HERE", 80), truth("AUTO_ZIP"),
         str("MY_NAME", 80), str("MY_ADDRESS", 80), str("MY_CITY", 80), str("MY_STATE", 2),
         str("MY_ZIP", 5), str("EX_SPOUSE_NAME", 80), str("EX_SPOUSE_SSAN", 11),
         str("EX_SPOUSE_ADDRESS", 80), str("EX_SPOUSE_CITY", 80), str("EX_SPOUSE_STATE", 80),
         str("EX_SPOUSE_ZIP", 5)},
        {},
        {{"clLime", "C:\\", "True", "JOHN Q PUBLIC", "123 ANY STREET", "ANYTOWN", "CO", "00000",
          "JANE Q PUBLIC", "000-00-0000", "456 OTHER STREET", "OTHERTOWN", "CO", "00000"}},
        {"Attempting to create CONFIG table....."},
        {"Done creating CONFIG table....."}});

    s.push_back(TableSchema{"create_item_table",
                            "item.db",
                            "ITEM.DB",
                            {str("ITEM", 70)},
                            {primary("ITEM")},
                            {},
                            {"Attempting to create ITEM table....."},
                            {"Done creating ITEM table....."}});

    s.push_back(TableSchema{
        "create_jsearch2_table",
        "jsearch2.db",
        "jsearch2.DB",
        {autoinc("PK"), truth("ACTIVE"), date("ACTIVE_CHANGED"), num("REFNUM"), date("DATE", true),
         str("YYYYMMDD", 8, true), str("TIME", 5, true), str("CONTACT_NAME", 50, true),
         truth("EMAIL"), str("POS_TYPE", 2, true), str("POS_CITY", 50, true),
         str("POS_STATE", 2, true), str("POS_TITLE", 80), str("POS_TITLE_ORIGINAL", 80),
         truth("SUBMITTED"), str("REASON_NO_SUBMIT", 132), str("ITEM_FILE", 255),
         str("COMMENT", 255), memo("MEMO", 10)},
        {primary("PK"), ci("CONTACT_NAME_", "CONTACT_NAME"), ci("POS_STATE_", "POS_STATE"),
         ci("POS_STATE_CITY_", "POS_STATE;POS_CITY"),
         ci_desc("YYYYMMDD_TIME_DESCENDING", "YYYYMMDD;TIME"),
         ci("YYYYMMDD_TIME_ASCENDING", "YYYYMMDD;TIME"),
         ci("POS_TYPE_POS_CITY", "POS_TYPE;POS_CITY")},
        {},
        {"Attempting to create JSEARCH2 table....."},
        {"Done creating JSEARCH2 table....."}});

    s.push_back(TableSchema{"create_poscode_table",
                            "poscode.db",
                            "POSCODE.DB",
                            {str("POS_CODE", 2), str("POS_DESC", 20)},
                            {primary("POS_CODE")},
                            {{"CT", "CONTRACT"},
                             {"CH", "CONTRACT TO HIRE"},
                             {"FT", "FULL TIME"},
                             {"MU", "MULTIPLE"},
                             {"PT", "PART TIME"}},
                            {"Attempting to create POSCODE table....."},
                            {"Done creating POSCODE table....."}});

    s.push_back(TableSchema{"create_posqual_table",
                            "posqual.db",
                            "POSQUAL.DB",
                            {str("POSQUAL", 20)},
                            {primary("POSQUAL")},
                            {},
                            {"Attempting to create POSQUAL table....."},
                            {"Done creating POSQUAL table....."}});

    s.push_back(TableSchema{"create_postitle_table",
                            "postitle.db",
                            "POSTITLE.DB",
                            {str("POS_TITLE", 80)},
                            {primary("POS_TITLE")},
                            {},
                            {"Attempting to create POSTITLE table....."},
                            {"Done creating POSTITLE table....."}});

    s.push_back(
        TableSchema{"create_time10_table",
                    "time10.db",
                    "TIME10.DB",
                    {str("24_HOUR", 5), str("12_HOUR", 8)},
                    {primary("24_HOUR")},
                    time_rows(),
                    {"Attempting to create TIME10 table.....", "Done creating TIME10 table.....",
                     "Adding default data to create TIME10 table....."},
                    {"Done adding default data to create TIME10 table....."}});

    s.push_back(TableSchema{"create_reason_table",
                            "reason.db",
                            "REASON.db",
                            {str("REASON", 132, true)},
                            {primary("REASON")},
                            {},
                            {"Attempting to create REASON table....."},
                            {"Done creating REASON table....."}});

    s.push_back(TableSchema{"create_city_table",
                            "city.db",
                            "CITY.db",
                            {str("CITY", 50)},
                            {primary("CITY")},
                            {},
                            {"Attempting to create CITY table....."},
                            {"Done creating CITY table....."}});

    s.push_back(TableSchema{"create_search_engine_table",
                            "sengines.db",
                            "SENGINES.DB",
                            {str("SEARCH_ENGINE", 50)},
                            {primary("SEARCH_ENGINE")},
                            one_column({"CAREERBUILDER.COM", "HOTJOBS.COM", "NET-TEMPS.COM"}),
                            {"Attempting to create SEARCH ENGINE Engine table....."},
                            {"Done creating SEARCH ENGINE table....."}});

    s.push_back(TableSchema{"create_comment_table",
                            "comment.db",
                            "COMMENT.DB",
                            {str("COMMENT", 70)},
                            {primary("COMMENT")},
                            {},
                            {"Attempting to create COMMENTS (Ostrand Records) table....."},
                            {"Done creating COMMENT (Ostrand Records) table....."}});

    s.push_back(TableSchema{"create_comment_job_search_table",
                            "comment_js.db",
                            "COMMENT_JS.DB",
                            {str("COMMENT", 70)},
                            {primary("COMMENT")},
                            {},
                            {"Attempting to create COMMENT (Job Search) table....."},
                            {"Done creating COMMENT (Job Search) table....."}});

    s.push_back(
        TableSchema{"create_job_search_edit_table",
                    "js_edit.db",
                    "JS_EDIT.db",
                    {str("CHANGE_FROM", 132), str("CHANGE_TO", 132), str("REASON_NO_SUBMIT", 132)},
                    {primary("CHANGE_FROM;CHANGE_TO;REASON_NO_SUBMIT")},
                    {},
                    {"Attempting to create Job Search Edit table....."},
                    {"Done creating Job Search Edit table....."}});

    return s;
}

std::string base_name(std::string_view name) {
    std::string n = to_lower(name);
    if (n.size() > 3 && n.compare(n.size() - 3, 3, ".db") == 0) n.resize(n.size() - 3);
    return n;
}

}  // namespace

const std::vector<TableSchema>& schema() {
    static const std::vector<TableSchema> tables = build_schema();
    return tables;
}

const TableSchema* find_table_schema(std::string_view name) {
    std::string key = base_name(name);
    for (const auto& t : schema())
        if (base_name(t.open_name) == key || base_name(t.file_name) == key) return &t;
    return nullptr;
}

}  // namespace pavo::store
