// Job search statistics: counting in memory over the records, writing each result in one
// transaction through private datasets, monthly tables built whole before they replace the old.
#include "records/job_stats.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "platform/error.h"
#include "platform/file_system.h"
#include "store/schema.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

using tables::Table;

// A private dataset on the same table file as shared (or on another table of its database), in
// the primary order and without a filter. Posts through it reach the shared dataset's connection.
void open_like(Table& t, const Table& shared, const std::string& table_name = {}) {
    t.set_database_name(shared.database_name());
    t.set_table_name(table_name.empty() ? shared.table_name() : table_name);
    t.open();
}

// Every value of one field over the dataset's rows under its filter in force, read by position so
// the current record, the order and the filter are left as they are.
std::vector<std::string> column(Table& t, const std::string& field) {
    int index = t.field(field).index();
    int count = t.record_count();
    std::vector<std::string> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) values.push_back(t.text_at(n, index));
    return values;
}

// Year, month and day of a date field's text (M/D/YYYY); an empty or unreadable date is the
// day-zero of the date values, 30 December 1899, as a date field reads when it is empty.
CivilDate date_of(const std::string& text) {
    int m = 0, d = 0, y = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d/%d/%d%c", &m, &d, &y, &tail) == 3 && is_valid_date(y, m, d))
        return {y, m, d};
    return {1899, 12, 30};
}

// The first n UTF-8 characters of text, as the table layer cuts a value to a field's size.
std::string cut_chars(const std::string& text, std::size_t n) {
    std::size_t chars = 0, i = 0;
    while (i < text.size()) {
        if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) {
            if (chars == n) break;
            ++chars;
        }
        ++i;
    }
    return text.substr(0, i);
}

bool report(const StatsProgress& progress, long long reached, long long total) {
    return !progress || progress(reached, total);
}

// One statistics row as counted: its key text and where it stands in the counting order.
struct StatsRow {
    bool has_order = false;
    double order = 0;
    std::string key;  // CATEGORY or STATE
    long long count = 0;
};

// The rows of a statistics table in the table's own order, and the counting order over them.
struct StatsRows {
    std::vector<StatsRow> rows;   // in the private dataset's order (the write order)
    std::vector<std::size_t> by;  // indexes into rows, in counting order
};

StatsRows read_stats_rows(Table& t, const char* key_field, bool ordered) {
    StatsRows s;
    tables::Field key = t.field(key_field);
    std::optional<tables::Field> order;
    if (ordered) order = t.field("ORDER");
    for (t.first(); !t.eof(); t.next()) {
        StatsRow r;
        r.key = key.as_string();
        if (order && !order->is_null()) {
            r.has_order = true;
            r.order = order->as_float();
        }
        s.rows.push_back(std::move(r));
    }
    s.by.resize(s.rows.size());
    for (std::size_t i = 0; i < s.by.size(); ++i) s.by[i] = i;
    // A row without ORDER first, then ascending ORDER, equal ORDER by the key's bytes, which for
    // UTF-8 is code-point order.
    std::stable_sort(s.by.begin(), s.by.end(), [&](std::size_t a, std::size_t b) {
        const StatsRow& x = s.rows[a];
        const StatsRow& y = s.rows[b];
        if (x.has_order != y.has_order) return !x.has_order;
        if (x.has_order && x.order != y.order) return x.order < y.order;
        return x.key < y.key;
    });
    return s;
}

// Adds each record's text to the first row (in counting order) whose non-empty key occurs in it.
// Titles repeat a great deal, so each distinct text is matched once. Returns the records matched,
// or -1 when cancelled.
long long count_into(StatsRows& s, const std::vector<std::string>& texts,
                     const StatsProgress& progress) {
    std::unordered_map<std::string, long long> first_match;
    first_match.reserve(texts.size() / 4 + 16);
    const auto total = static_cast<long long>(texts.size());
    long long matched = 0, reached = 0;
    for (const std::string& text : texts) {
        auto [it, fresh] = first_match.try_emplace(text, -1);
        if (fresh) {
            for (std::size_t i : s.by) {
                const std::string& key = s.rows[i].key;
                if (!key.empty() && text.find(key) != std::string::npos) {
                    it->second = static_cast<long long>(i);
                    break;
                }
            }
        }
        if (it->second >= 0) {
            ++s.rows[static_cast<std::size_t>(it->second)].count;
            ++matched;
        }
        if (!report(progress, ++reached, total)) return -1;
    }
    return matched;
}

double percentage(long long count, long long n) {
    return n == 0 ? 0.0 : static_cast<double>(count) / static_cast<double>(n) * 100.0;
}

// Writes COUNT, PERCENTAGE and AS_OF_DATE of every row of t, which must hold the rows s was read
// from in the same order. The caller holds the transaction.
void write_counts(Table& t, const StatsRows& s, long long n) {
    tables::Field count = t.field("COUNT");
    tables::Field pct = t.field("PERCENTAGE");
    tables::Field as_of = t.field("AS_OF_DATE");
    const double today = today_date();
    std::size_t i = 0;
    for (t.first(); !t.eof() && i < s.rows.size(); t.next(), ++i) {
        t.edit();
        count.set_as_float(static_cast<double>(s.rows[i].count));
        pct.set_as_float(percentage(s.rows[i].count, n));
        as_of.set_as_date(today);
        t.post();
    }
    if (i != s.rows.size() || !t.eof())
        throw Error(ErrorKind::kIO, "The statistics table " + t.table_name() +
                                        " changed while it was being updated");
}

void reread(Table& shared) {
    if (shared.active()) shared.refresh();
}

CountOutcome update_stats(Table& jobs, Table& stats, const char* key_field, bool ordered,
                          const char* text_field, const StatsProgress& progress) {
    CountOutcome out;
    std::vector<std::string> texts = column(jobs, text_field);
    out.records = static_cast<long long>(texts.size());
    Table t;
    open_like(t, stats);
    StatsRows s = read_stats_rows(t, key_field, ordered);
    long long matched = count_into(s, texts, progress);
    if (matched < 0) {
        out.cancelled = true;
        return out;
    }
    out.matched = matched;
    {
        tables::Transaction tx({&t});
        write_counts(t, s, out.records);
        tx.commit();
    }
    out.rows = static_cast<long long>(s.rows.size());
    t.close();
    reread(stats);
    return out;
}

}  // namespace

std::vector<YearMonth> job_search_months(tables::Table& jobs) {
    std::set<YearMonth> months;
    for (const std::string& text : column(jobs, "DATE")) {
        CivilDate d = date_of(text);
        months.insert({d.year, d.month});
    }
    return {months.begin(), months.end()};
}

std::string month_line(YearMonth m) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/1/%d TO %d/%d/%d", m.month, m.year, m.month,
                  tkit_DaysInAMonth(m.year, m.month), m.year);
    return buf;
}

std::optional<YearMonth> parse_month_line(std::string_view line) {
    int m1 = 0, d1 = 0, y1 = 0, m2 = 0, d2 = 0, y2 = 0, used = 0;
    std::string text(line);
    if (std::sscanf(text.c_str(), "%d/%d/%d TO %d/%d/%d%n", &m1, &d1, &y1, &m2, &d2, &y2, &used) !=
            6 ||
        static_cast<std::size_t>(used) != text.size())
        return std::nullopt;
    if (m1 < 1 || m1 > 12 || y1 < 1 || y1 > 9999) return std::nullopt;
    YearMonth m{y1, m1};
    // Only the exact form month_line writes: no leading zeros, blanks or signs.
    if (month_line(m) != text) return std::nullopt;
    (void)d1, (void)m2, (void)d2, (void)y2;
    return m;
}

std::string month_stamp(YearMonth m) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d", m.year, m.month);
    return buf;
}

std::vector<MonthTally> job_search_month_tallies(tables::Table& jobs) {
    std::vector<std::string> dates = column(jobs, "DATE");
    std::vector<std::string> submitted = column(jobs, "SUBMITTED");
    std::map<YearMonth, MonthTally> tallies;
    for (std::size_t i = 0; i < dates.size(); ++i) {
        CivilDate d = date_of(dates[i]);
        YearMonth m{d.year, d.month};
        MonthTally& t = tallies[m];
        t.month = m;
        // Only "false" in any case is not submitted; an empty value reads as submitted.
        if (to_upper(trim(submitted[i])) == "FALSE")
            ++t.not_submitted;
        else
            ++t.submitted;
    }
    std::vector<MonthTally> out;
    out.reserve(tallies.size());
    for (auto& [m, t] : tallies) out.push_back(t);
    return out;
}

AddOutcome add_new_position_titles(tables::Table& jobs, tables::Table& postitle,
                                   const StatsProgress& progress) {
    AddOutcome out;
    std::vector<std::string> titles = column(jobs, "POS_TITLE");
    Table t;
    open_like(t, postitle);
    tables::Field title = t.field("POS_TITLE");
    std::unordered_set<std::string> known;
    for (t.first(); !t.eof(); t.next()) known.insert(title.as_string());
    // The list behind the job-search title field needs the titles exactly as the records hold
    // them, so they are looked up and added in that one form.
    std::vector<const std::string*> fresh;
    const auto total = static_cast<long long>(titles.size());
    for (const std::string& s : titles) {
        ++out.scanned;
        if (!trim(s).empty() && known.insert(s).second) fresh.push_back(&s);
        if (!report(progress, out.scanned, total)) {
            out.cancelled = true;
            return out;
        }
    }
    if (!fresh.empty()) {
        tables::Transaction tx({&t});
        for (const std::string* s : fresh) {
            t.append();
            title.set_as_string(*s);
            t.post();
        }
        tx.commit();
    }
    out.added = static_cast<long long>(fresh.size());
    t.close();
    reread(postitle);
    return out;
}

AddOutcome add_new_categories(tables::Table& jobs, tables::Table& stats_jt,
                              const StatsProgress& progress) {
    AddOutcome out;
    std::vector<std::string> titles = column(jobs, "POS_TITLE");
    Table t;
    open_like(t, stats_jt);
    tables::Field category = t.field("CATEGORY");
    const auto size = static_cast<std::size_t>(category.size() > 0 ? category.size() : 50);
    std::unordered_set<std::string> known;
    for (t.first(); !t.eof(); t.next()) known.insert(category.as_string());
    std::vector<std::string> fresh;
    const auto total = static_cast<long long>(titles.size());
    for (const std::string& s : titles) {
        ++out.scanned;
        // The key as the row will hold it, so the next run finds it: cut to the field's size,
        // then trimmed again as a cut can end in a blank.
        std::string key = trim(cut_chars(to_upper(trim(s)), size));
        if (!key.empty() && known.insert(key).second) fresh.push_back(std::move(key));
        if (!report(progress, out.scanned, total)) {
            out.cancelled = true;
            return out;
        }
    }
    if (!fresh.empty()) {
        tables::Field order = t.field("ORDER");
        tables::Field count = t.field("COUNT");
        tables::Field pct = t.field("PERCENTAGE");
        tables::Field reason = t.field("REASON_NOT_SUBMITTED");
        tables::Field as_of = t.field("AS_OF_DATE");
        const double today = today_date();
        tables::Transaction tx({&t});
        for (const std::string& key : fresh) {
            t.append();
            order.set_as_float(1);
            category.set_as_string(key);
            count.set_as_float(0);
            pct.set_as_float(0);
            reason.set_as_string(kNewCategoryReason);
            as_of.set_as_date(today);
            t.post();
        }
        tx.commit();
    }
    out.added = static_cast<long long>(fresh.size());
    t.close();
    reread(stats_jt);
    return out;
}

CountOutcome update_title_stats(tables::Table& jobs, tables::Table& stats_jt,
                                const StatsProgress& progress) {
    return update_stats(jobs, stats_jt, "CATEGORY", true, "POS_TITLE", progress);
}

CountOutcome update_state_stats(tables::Table& jobs, tables::Table& stats_st,
                                const StatsProgress& progress) {
    return update_stats(jobs, stats_st, "STATE", false, "POS_STATE", progress);
}

std::string monthly_state_table_name(YearMonth m) {
    return month_stamp(m) + "st.db";
}

std::string monthly_title_table_name(YearMonth m) {
    return month_stamp(m) + "jt.db";
}

namespace {

// Builds a monthly table whole under a temporary name from the statistics table source (copied
// columns, counts of s) and renames it over the monthly table's name.
void build_monthly_table(Table& source, const StatsRows& s, long long n,
                         const std::string& schema_name, const std::string& name,
                         const std::vector<std::string>& copied) {
    const store::TableSchema* schema = store::find_table_schema(schema_name);
    if (!schema) throw Error(ErrorKind::kNotFound, "No table layout for " + schema_name);
    std::string base = name.substr(0, name.size() - 3);  // without ".db"
    Table tmp;
    tmp.set_database_name(source.database_name());
    tmp.set_table_name(base + "~new.db");
    tmp.set_field_defs(schema->fields);
    tmp.set_index_defs(schema->indexes);
    tmp.create_table(true);
    try {
        tmp.open();
        {
            tables::Transaction tx({&tmp});
            std::vector<std::pair<tables::Field, tables::Field>> fields;
            for (const std::string& f : copied) fields.emplace_back(tmp.field(f), source.field(f));
            tables::Field count = tmp.field("COUNT");
            tables::Field pct = tmp.field("PERCENTAGE");
            tables::Field as_of = tmp.field("AS_OF_DATE");
            const double today = today_date();
            // s was read from source in this same order, row for row.
            std::size_t i = 0;
            for (source.first(); !source.eof() && i < s.rows.size(); source.next(), ++i) {
                tmp.append();
                for (auto& [to, from] : fields) {
                    if (from.is_null())
                        to.clear();
                    else
                        to.set_as_string(from.as_string());
                }
                count.set_as_float(static_cast<double>(s.rows[i].count));
                pct.set_as_float(percentage(s.rows[i].count, n));
                as_of.set_as_date(today);
                tmp.post();
            }
            tx.commit();
        }
        Table target;
        target.set_database_name(source.database_name());
        target.set_table_name(name);
        if (target.exists()) {
            // Refused (kLocked) while anything has the old table open; the open also settles a
            // journal a crash may have left beside it, which must not meet the new file.
            target.set_exclusive(true);
            target.open();
            target.close();
        }
        fs::path to = target.file_path();
        fs::path from = tmp.file_path();
        tmp.close();
        file_system().rename(from, to);
    } catch (...) {
        try {
            tmp.close();
            tmp.delete_table();
        } catch (const Error&) {
        }
        throw;
    }
}

}  // namespace

MonthlyOutcome update_monthly_stats(tables::Table& jobs, tables::Table& stats_st,
                                    tables::Table& stats_jt, YearMonth month, bool do_state,
                                    bool do_title, const StatsProgress& progress) {
    MonthlyOutcome out;
    if (month.month < 1 || month.month > 12 || month.year < 1 || month.year > 9999)
        throw Error(ErrorKind::kInvalidInput, "Not a month: " + std::to_string(month.month) + "/" +
                                                  std::to_string(month.year));
    if (!do_state && !do_title) return out;
    // The monthly run has always left the job-search records unfiltered.
    struct FilterOff {
        Table& jobs;
        ~FilterOff() {
            try {
                jobs.set_filtered(false);
                jobs.set_filter("");
            } catch (const Error&) {
            }
        }
    } filter_off{jobs};

    // The month's records, whatever filter the user had set.
    std::vector<std::string> titles, states;
    {
        // The table layer picks the month's rows by their date; each is checked again below.
        Table all;
        all.set_database_name(jobs.database_name());
        all.set_table_name(jobs.table_name());
        const std::string first = std::to_string(month.month) + "/1/" + std::to_string(month.year);
        const std::string last = std::to_string(month.month) + "/" +
                                 std::to_string(days_in_month(month.year, month.month)) + "/" +
                                 std::to_string(month.year);
        all.set_filter("DATE >= " + tables::quote_filter_text(first) +
                       " AND DATE <= " + tables::quote_filter_text(last));
        // An empty DATE reads as December 1899, which no date comparison passes.
        all.set_filtered(!(month.year == 1899 && month.month == 12));
        all.open();
        std::vector<std::string> dates = column(all, "DATE");
        std::vector<std::string> t = column(all, "POS_TITLE");
        std::vector<std::string> st = column(all, "POS_STATE");
        for (std::size_t i = 0; i < dates.size(); ++i) {
            CivilDate d = date_of(dates[i]);
            if (d.year != month.year || d.month != month.month) continue;
            titles.push_back(std::move(t[i]));
            states.push_back(std::move(st[i]));
        }
    }
    out.records = static_cast<long long>(titles.size());
    const long long n = out.records;
    // Progress runs over both counts.
    const long long total = (do_state ? n : 0) + (do_title ? n : 0);
    long long done = 0;
    auto part = [&](long long reached, long long) {
        return report(progress, done + reached, total);
    };

    Table st_rows, jt_rows;
    StatsRows st, jt;
    if (do_state) {
        open_like(st_rows, stats_st);
        st = read_stats_rows(st_rows, "STATE", false);
        long long matched = count_into(st, states, part);
        if (matched < 0) {
            out.cancelled = true;
            return out;
        }
        out.state = {n, matched, static_cast<long long>(st.rows.size()), false};
        done += n;
    }
    if (do_title) {
        open_like(jt_rows, stats_jt);
        jt = read_stats_rows(jt_rows, "CATEGORY", true);
        long long matched = count_into(jt, titles, part);
        if (matched < 0) {
            out.cancelled = true;
            return out;
        }
        out.title = {n, matched, static_cast<long long>(jt.rows.size()), false};
    }
    // Both counts are finished before either table is replaced.
    if (do_state)
        build_monthly_table(st_rows, st, n, "STATS_ST.DB", monthly_state_table_name(month),
                            {"STATE"});
    if (do_title)
        build_monthly_table(jt_rows, jt, n, "STATS_JT.DB", monthly_title_table_name(month),
                            {"ORDER", "CATEGORY", "REASON_NOT_SUBMITTED"});
    return out;
}

}  // namespace pavo::records
