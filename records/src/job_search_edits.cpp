// Job-search record saves, the related-records update, quick find, the job title edit mass
// changes and the titles list's Save and Find Category.
#include "records/job_search_edits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/error.h"
#include "utility/tkit.h"

namespace pavo::records {

using tables::DatasetState;
using tables::Table;

namespace {

// What a pending record holds, field by field, so it can be put back after a rolled-back save.
struct Snapshot {
    std::vector<std::pair<int, std::string>> values;  // field index, text ("" for empty)
};

Snapshot take_snapshot(Table& t) {
    Snapshot s;
    for (int i = 0; i < t.field_count(); ++i) {
        tables::Field f = t.field(i);
        if (f.type() == tables::FieldType::kAutoInc) continue;
        s.values.emplace_back(i, f.is_null() ? std::string() : f.as_string());
    }
    return s;
}

void put_snapshot(Table& t, const Snapshot& s) {
    for (const auto& [index, text] : s.values) {
        tables::Field f = t.field(index);
        if (text.empty()) {
            f.clear();
        } else {
            f.set_as_string(text);
        }
    }
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool contains_ignoring_case(std::string_view hay, std::string_view lowered_needle) {
    if (lowered_needle.size() > hay.size()) return false;
    auto it = std::search(hay.begin(), hay.end(), lowered_needle.begin(), lowered_needle.end(),
                          [](char a, char b) { return lower(a) == b; });
    return it != hay.end();
}

// Ends a walk with the dataset's controls enabled again, whatever happened.
struct ControlsOff {
    explicit ControlsOff(Table& t) : t(t) { t.disable_controls(); }
    ~ControlsOff() { t.enable_controls(); }
    Table& t;
};

bool in_title_order(const Table& stats) {
    return stats.index_name().empty() && stats.index_field_names() == kTitleOrderFields;
}

}  // namespace

// --- Saving a job-search record.

const std::vector<std::string>& job_search_required_fields() {
    static const std::vector<std::string> fields = {"TIME", "CONTACT_NAME", "POS_CITY", "POS_STATE",
                                                    "POS_TYPE"};
    return fields;
}

std::vector<std::string> missing_job_search_fields(Table& jobs) {
    std::vector<std::string> missing;
    for (const std::string& name : job_search_required_fields()) {
        const std::string text = jobs.field(name).as_string();
        const bool blank = std::all_of(text.begin(), text.end(), [](char c) {
            return std::isspace(static_cast<unsigned char>(c));
        });
        if (blank) missing.push_back(name);
    }
    return missing;
}

double save_job_search(Table& jobs, const JobSave& save) {
    const DatasetState state = jobs.state();
    if (state != DatasetState::kEdit && state != DatasetState::kInsert)
        throw Error(ErrorKind::kInvalidInput, "No record is being edited.");

    jobs.field("DATE").set_as_date(save.date);
    jobs.field("YYYYMMDD").set_as_string(tkit_Date_To_YYYYMMDD(save.date));
    if (state == DatasetState::kEdit && jobs.field("ACTIVE").as_boolean() != save.active_at_edit)
        jobs.field("ACTIVE_CHANGED").set_as_date(save.today);

    // Kept so that a save undone after its first post can put the record back as it was.
    const Snapshot before = take_snapshot(jobs);
    const tables::Bookmark editing_row =
        state == DatasetState::kEdit ? jobs.bookmark() : tables::Bookmark{};
    try {
        tables::Transaction tx({&jobs});
        jobs.post();
        double refnum = 0;
        if (jobs.field("REFNUM").is_null()) {
            jobs.edit();
            refnum = static_cast<double>(jobs.field("PK").as_integer());
            jobs.field("REFNUM").set_as_float(refnum);
            jobs.post();
        } else {
            refnum = jobs.field("REFNUM").as_float();
        }
        tx.commit();
        return refnum;
    } catch (...) {
        // A refused first post leaves the record pending by itself; after it, the rollback has
        // undone the row, so the record is made pending again from what it held.
        if (jobs.active() && jobs.state() == DatasetState::kBrowse) {
            if (state == DatasetState::kInsert) {
                jobs.append();
                put_snapshot(jobs, before);
            } else if (jobs.bookmark_valid(editing_row)) {
                jobs.goto_bookmark(editing_row);
                jobs.edit();
                put_snapshot(jobs, before);
            }
        }
        throw;
    }
}

std::string refnum_text(double refnum) {
    char buf[64];
    if (std::floor(refnum) == refnum && std::fabs(refnum) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", refnum);
    } else {
        std::snprintf(buf, sizeof buf, "%.15g", refnum);
    }
    return buf;
}

int update_related_records(Table& jobs, double refnum, bool active, double today,
                           const std::function<void(int)>& before_post) {
    // The filter is dropped whatever happens: left in force it would narrow every window and
    // report that reads the shared dataset to one application.
    struct ClearFilter {
        Table& t;
        ~ClearFilter() {
            try {
                // Unfiltered already, the dataset shows the changed records as it is: its rows
                // are read afresh once another dataset has written the file, and their order is
                // not touched by ACTIVE.
                if (t.active() && !t.filtered() && t.filter().empty()) return;
                t.close();
                t.set_filter("");
                t.set_filtered(false);  // before opening, so the rows are read once
                t.open();
            } catch (...) {
                // A dataset that cannot be reopened shows that to its next user; the walk's own
                // failure is the one to report.
            }
        }
    } clear_filter{jobs};

    // The records are changed through a dataset of this call's own, filtered on the application
    // in the table's primary order, which is read faster than the shared dataset's order; the
    // shared dataset shares its file and sees every change when it is opened again below.
    tables::Table related;
    related.set_database_name(jobs.database_name());
    related.set_table_name(jobs.table_name());
    related.set_filter("REFNUM = " + refnum_text(refnum));
    related.set_filtered(true);
    related.open();

    tables::Transaction tx({&related});
    int n = 0;
    // ACTIVE is neither in the order nor in the filter, so the walk meets every record once.
    for (related.first(); !related.eof(); related.next()) {
        related.edit();
        related.field("ACTIVE").set_as_boolean(active);
        related.field("ACTIVE_CHANGED").set_as_date(today);
        if (before_post) before_post(n);
        related.post();
        ++n;
    }
    tx.commit();
    return n;
}

// --- Quick find.

const std::vector<std::string>& quick_find_fields() {
    static const std::vector<std::string> fields = {"POS_TITLE", "CONTACT_NAME", "POS_CITY",
                                                    "COMMENT"};
    return fields;
}

bool quick_find(Table& jobs, std::string_view text, bool forward) {
    if (text.empty() || !jobs.active()) return false;
    const int count = jobs.record_count();
    if (count == 0) return false;
    std::string needle(text);
    std::transform(needle.begin(), needle.end(), needle.begin(), lower);
    std::vector<int> fields;
    for (const std::string& name : quick_find_fields()) fields.push_back(jobs.field(name).index());

    const int current = std::max(0, jobs.record_number() - 1);  // 0-based
    for (int k = 1; k <= count; ++k) {
        const int step = forward ? k : -k;
        const int pos = ((current + step) % count + count) % count;
        for (int f : fields) {
            if (contains_ignoring_case(jobs.text_at(pos + 1, f), needle)) {
                jobs.set_record_number(pos + 1);
                return true;
            }
        }
    }
    return false;
}

// --- Job title edit mass changes.

const char* mass_change_refusal(const std::string& search, const std::string& value) {
    if (search.size() < 3) return kMassSearchTooShort;
    if (value.empty()) return kMassNoNewValue;
    return nullptr;
}

MassChangeResult mass_change(Table& edits, MassChangeField field, const std::string& search,
                             const std::string& value, const std::function<MassAnswer()>& confirm) {
    if (const char* refusal = mass_change_refusal(search, value))
        throw Error(ErrorKind::kInvalidInput, refusal);
    const bool titles = field == MassChangeField::kChangeTo;
    const int searched = edits.field(titles ? "CHANGE_FROM" : "CHANGE_TO").index();
    tables::Field target = edits.field(titles ? "CHANGE_TO" : "REASON_NO_SUBMIT");

    MassChangeResult result;
    const tables::Bookmark start = edits.record_count() > 0 ? edits.bookmark() : tables::Bookmark{};
    // The matching rows first: changing a key field moves a row in the order, and under the
    // new-records filter a changed row leaves the view, so a walk over the live view would skip
    // rows or meet them twice.
    std::vector<tables::Bookmark> rows;
    {
        ControlsOff quiet(edits);
        const int count = edits.record_count();
        for (int n = 1; n <= count; ++n) {
            if (edits.text_at(n, searched).find(search) == std::string::npos) continue;
            edits.set_record_number(n);
            rows.push_back(edits.bookmark());
        }
    }
    result.matched = static_cast<int>(rows.size());

    auto go_back = [&] {
        if (start.valid() && edits.bookmark_valid(start)) {
            edits.goto_bookmark(start);
        } else if (edits.record_count() > 0) {
            edits.first();
        }
    };
    try {
        ControlsOff quiet(edits);
        for (const tables::Bookmark& row : rows) {
            // One lookup per row: a second one after each post would build the table's row map
            // anew every time. A row gone meanwhile (deleted elsewhere) is passed over.
            try {
                edits.goto_bookmark(row);
            } catch (const Error& e) {
                if (e.kind() != ErrorKind::kNotFound) throw;
                continue;
            }
            if (confirm) {
                const MassAnswer answer = confirm();
                if (answer == MassAnswer::kCancel) {
                    result.cancelled = true;
                    break;
                }
                if (answer == MassAnswer::kNo) continue;
            }
            edits.edit();
            target.set_as_string(value);
            try {
                edits.post();
                ++result.changed;
            } catch (const Error& e) {
                edits.cancel();
                if (e.kind() != ErrorKind::kKeyViolation) throw;
                ++result.duplicates;
            }
        }
    } catch (...) {
        if (edits.state() != DatasetState::kBrowse) edits.cancel();
        go_back();
        throw;
    }
    go_back();
    return result;
}

std::string mass_change_summary(const MassChangeResult& result) {
    std::string text =
        std::to_string(result.changed) + (result.changed == 1 ? " row" : " rows") + " changed";
    if (result.duplicates > 0)
        text += ", " + std::to_string(result.duplicates) +
                (result.duplicates == 1 ? " row" : " rows") +
                " left because the same row exists already";
    return text + ".";
}

// --- Disqualified titles list.

TitleSave save_title_category(Table& stats) {
    if (stats.state() == DatasetState::kInsert) {
        stats.field("COUNT").set_as_float(0);
        stats.field("PERCENTAGE").set_as_float(0);
    }
    const bool has_order = !stats.field("ORDER").as_string().empty();
    stats.post();
    if (has_order) {
        stats.close();
        stats.set_index_field_names(kTitleOrderFields);
        stats.open();
        return TitleSave::kOrdered;
    }
    // The posted row itself, not the nearest category, which may be another row of that name.
    const tables::Bookmark posted = stats.bookmark();
    stats.close();
    stats.set_index_name(kTitleCategoryIndex);
    stats.open();
    stats.goto_bookmark(posted);
    return TitleSave::kNeedsOrder;
}

bool find_category(Table& stats, const std::string& text) {
    stats.close();
    stats.set_index_name(kTitleCategoryIndex);
    stats.open();
    if (stats.record_count() == 0) {
        restore_title_order(stats);
        return false;
    }
    stats.find_nearest({text});
    // The row found itself: many categories share an ORDER (every category added from the
    // titles has 1), so a search by ORDER alone lands on another row.
    const tables::Bookmark found = stats.bookmark();
    stats.close();
    stats.set_index_field_names(kTitleOrderFields);
    stats.open();
    stats.goto_bookmark(found);
    return true;
}

void restore_title_order(Table& stats) {
    if (stats.active() && in_title_order(stats)) return;
    stats.close();
    stats.set_index_field_names(kTitleOrderFields);
    stats.open();
}

}  // namespace pavo::records
