// The demonstration set: the shared generator's rows, and pick lists and statistics drawn from
// them.
#include "store/sample_data.h"

#include <set>
#include <vector>

#include "platform/error.h"
#include "store/sample_rows.h"
#include "tables/table.h"
#include "utility/text_conv.h"

namespace pavo::store {

namespace {

using tables::Table;

void open_in(Table& t, const std::string& db, const char* table) {
    t.set_database_name(db);
    t.set_table_name(table);
    t.open();
}

// The distinct non-empty values of one column of generated rows.
std::set<std::string> column(const std::vector<std::vector<std::string>>& rows, std::size_t index) {
    std::set<std::string> values;
    for (const auto& r : rows)
        if (index < r.size() && !trim(r[index]).empty()) values.insert(r[index]);
    return values;
}

// Appends each value the one-column pick table lacks.
void fill_pick_list(const std::string& db, const char* table, const char* field,
                    const std::set<std::string>& values) {
    Table t;
    open_in(t, db, table);
    for (const auto& v : values) {
        if (t.locate(field, {v})) continue;
        t.append();
        t.field(field).set_as_string(v);
        t.post();
    }
}

}  // namespace

SampleCounts fill_sample_set(const std::string& db, const SampleSize& size) {
    sample::Generator generator(size.seed);
    SampleCounts counts;
    tables::CommandScope command;

    auto payments = generator.payments(size.payments);
    {
        Table t;
        open_in(t, db, "PAVODEN2.DB");
        counts.payments = sample::append_rows(t, payments);
    }
    fill_pick_list(db, "ITEM.DB", "ITEM", column(payments, 19));

    // Application numbers in the rows count from 1, as the fresh table numbers its rows.
    auto jobs = generator.job_searches(size.job_searches);
    {
        Table t;
        open_in(t, db, "jsearch2.DB");
        if (t.record_count() != 0)
            throw Error(ErrorKind::kInvalidInput, "The sample job searches need an empty table");
        counts.job_searches = sample::append_rows(t, jobs);
    }
    fill_pick_list(db, "CONTACT_NAME.DB", "CONTACT_NAME", column(jobs, 7));
    fill_pick_list(db, "CITY.db", "CITY", column(jobs, 10));
    fill_pick_list(db, "POSTITLE.DB", "POS_TITLE", column(jobs, 12));
    fill_pick_list(db, "REASON.db", "REASON", column(jobs, 15));
    fill_pick_list(db, "COMMENT_JS.DB", "COMMENT", column(jobs, 17));

    {
        Table t;
        open_in(t, db, "STATS_JT.DB");
        sample::append_rows(t, generator.title_categories(size.title_categories));
    }
    {
        Table t;
        open_in(t, db, "STATS_ST.DB");
        for (const auto& state : column(jobs, 11)) {
            t.append();
            t.field("STATE").set_as_string(state);
            t.field("COUNT").set_as_float(0);
            t.field("PERCENTAGE").set_as_float(0);
            t.post();
        }
    }
    command.commit();
    return counts;
}

}  // namespace pavo::store
