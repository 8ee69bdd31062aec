// The numbered clean-up steps after an import: walks over the job-search records and the pick
// lists, each record's failure counted and the walk going on.
#include "records/import_steps.h"

#include <unordered_map>

#include "archive/pack/pack_engine.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "records/job_stats.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

using tables::DatasetState;
using tables::Table;

const char kZipFolder[] = "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases";

void log(const StepIo& io, const std::string& line) {
    if (io.log) io.log(line);
}

void status(const StepIo& io, long long reached, long long total) {
    if (io.status) io.status(std::to_string(reached) + " of " + std::to_string(total));
}

void clear_status(const StepIo& io) {
    if (io.status) io.status(std::string(kStatusClearWidth, ' '));
}

// Holds a dataset's display controls off for a walk, also when the walk throws.
class ControlsOff {
  public:
    explicit ControlsOff(Table& t) : t_(t) { t_.disable_controls(); }
    ~ControlsOff() { t_.enable_controls(); }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;

  private:
    Table& t_;
};

void drop_pending(Table& t) {
    if (t.active() && t.state() != DatasetState::kBrowse) t.cancel();
}

void note_failure(StepOutcome& out, const std::string& what, const std::exception& e) {
    if (out.failures++ == 0) out.first_failure = what + ": " + e.what();
}

std::string record_name(Table& t) {
    try {
        return "record PK " + t.field("PK").as_string();
    } catch (const std::exception&) {
        return "record " + std::to_string(t.record_number());
    }
}

// Calls visit on every row from the current one to the end of t's view. A row that an edit
// takes out of the view (it no longer passes the filter) makes the next row current by itself, so
// the walk moves on only when the visited row is still current.
template <class Visit>
void walk(Table& t, Visit visit) {
    while (!t.eof()) {
        tables::Bookmark here = t.bookmark();
        visit();
        if (t.eof()) break;
        if (t.bookmark().row == here.row) t.next();
    }
}

// Appends a row with field = value to pick unless one exists: the lookup uses exactly the form it
// adds. Returns true when a row was added.
bool lookup_and_add(Table& pick, const char* field, const std::string& value) {
    if (pick.has_row(field, {value})) return false;
    pick.append();
    try {
        pick.field(field).set_as_string(value);
        pick.post();
    } catch (...) {
        drop_pending(pick);
        throw;
    }
    return true;
}

// One record of a walk: its failure is counted, its pending edits dropped, and the walk goes on.
template <class Body>
void guarded_record(StepOutcome& out, Table& t, std::initializer_list<Table*> others, Body body) {
    try {
        body();
    } catch (const std::exception& e) {
        std::string what = record_name(t);
        drop_pending(t);
        for (Table* o : others) drop_pending(*o);
        note_failure(out, what, e);
    }
}

std::string table_stem(const std::string& table_name) {
    std::string name = table_name;
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return to_upper(name);
}

// Empties a pick list after saving it; returns false (and fills out's stop reason) when the save
// failed, with the table untouched.
bool save_and_empty(Table& table, const std::string& empty_line, const StepIo& io,
                    StepOutcome& out) {
    std::string zip;
    try {
        zip = save_table_to_zip(table);
    } catch (const std::exception& e) {
        out.stopped = true;
        out.stop_reason = "the rows of " + table.table_name() +
                          " could not be saved first, so it was not emptied: " + e.what();
        return false;
    }
    log(io, "Saved the rows of " + table.table_name() + " in " + zip);
    log(io, empty_line);
    table.empty_table();
    table.refresh();
    table.first();
    return true;
}

}  // namespace

std::string step_summary(const std::string& name, const StepOutcome& o) {
    if (o.stopped) return name + " stopped: " + o.stop_reason;
    std::string s = name + " done: " + std::to_string(o.read) + " records read, " +
                    std::to_string(o.added) + " added, " + std::to_string(o.changed) +
                    " changed, " + std::to_string(o.failures) +
                    (o.failures == 1 ? " failure" : " failures");
    if (o.failures > 0) s += "; the first: " + o.first_failure;
    return s + ".";
}

std::string save_table_to_zip(Table& table) {
    // What the table holds must be in its file before the file is packed.
    {
        tables::CommandScope scope;
        scope.commit();
    }
    make_directories(kZipFolder);
    const std::string stem = std::string(kZipFolder) + "\\" + table_stem(table.table_name()) + "-" +
                             tkit_yyyy_mm_dd_hh_mm_ss();
    DriveMap& map = DriveMap::current();
    // A second save within the same second gets its own archive: packing into the first would
    // replace the rows it saved with the table as it is now.
    std::string logical = stem + ".zip";
    for (int n = 2; file_system().exists(map.to_host(logical)); ++n)
        logical = stem + "-" + std::to_string(n) + ".zip";
    const std::string archive = map.to_host(logical).string();
    const std::string source = table.file_path();
    if (file_system().stat(source).type != EntryType::kFile)
        throw Error(ErrorKind::kNotFound, "the table file " + source + " is missing");
    // Junked folder names: the member is the table file's own name.
    const char* argv[] = {"arcvane-pack", "-j", "-q", "-D", archive.c_str(), source.c_str()};
    std::string messages;
    zip::PackCallbacks cb;
    cb.message = [&messages](const std::string& m) {
        if (!messages.empty()) messages += "; ";
        messages += m;
    };
    int result = zip::pack_main(static_cast<int>(std::size(argv)), argv, cb);
    if (result != zip::kPackOk || file_system().stat(archive).type != EntryType::kFile) {
        if (result == zip::kPackOk) result = zip::kPackCreateFailure;
        throw Error(ErrorKind::kIO, "the archive " + logical + " could not be written (" +
                                        zip::pack_result_text(result) +
                                        (messages.empty() ? "" : ": " + messages) + ")");
    }
    return logical;
}

StepOutcome update_refnum(Table& jobs, const StepIo& io) {
    StepOutcome out;
    log(io, "Updating REFNUM, watch status bar for progress");
    ControlsOff off(jobs);
    const long long total = jobs.record_count();
    jobs.first();
    walk(jobs, [&] {
        ++out.read;
        status(io, out.read, total);
        guarded_record(out, jobs, {}, [&] {
            if (jobs.field("REFNUM").as_float() != 0) return;
            jobs.edit();
            jobs.field("REFNUM").set_as_float(static_cast<double>(jobs.field("PK").as_integer()));
            jobs.post();
            ++out.changed;
        });
    });
    return out;
}

StepOutcome update_job_title_edits(Table& jobs, Table& js_edit, const StepIo& io) {
    StepOutcome out;
    log(io,
        "Scanning \"Job Search Table\" and adding titles not in \"Job Title Edit Table.\"  You "
        "will need to edit the\"Job Title Edit Table\" before running the Job Title Update.");
    clear_status(io);
    {
        ControlsOff off(jobs), off_edit(js_edit);
        const long long total = jobs.record_count();
        jobs.first();
        walk(jobs, [&] {
            ++out.read;
            status(io, jobs.record_number(), total);
            guarded_record(out, jobs, {&js_edit}, [&] {
                const std::string title = jobs.field("POS_TITLE").as_string();
                // The underscore form is what stored records and the edit table hold.
                const std::string written = tkit_replace_char_in_string(title, "'", "_");
                if (written != title) {
                    jobs.edit();
                    jobs.field("POS_TITLE").set_as_string(written);
                    jobs.post();
                    ++out.changed;
                }
                if (written.empty() || js_edit.has_row("CHANGE_FROM", {written})) return;
                js_edit.append();
                js_edit.field("CHANGE_FROM").set_as_string(written);
                js_edit.field("CHANGE_TO").set_as_string(kNewEntryPlaceholder);
                js_edit.post();
                ++out.added;
            });
        });
    }
    jobs.first();
    js_edit.first();
    return out;
}

StepOutcome update_job_titles(Table& jobs, Table& js_edit, const StepIo& io) {
    StepOutcome out;
    log(io, "Scanning \"Job Search Table\" and changing job title based on Job Title Edit table");
    // The edit table read once: the first row of each CHANGE_FROM in the table's order, which is
    // the row a search of that value would find.
    std::unordered_map<std::string, std::string> change_to;
    {
        ControlsOff off(js_edit);
        for (js_edit.first(); !js_edit.eof(); js_edit.next())
            change_to.emplace(js_edit.field("CHANGE_FROM").as_string(),
                              js_edit.field("CHANGE_TO").as_string());
    }
    {
        ControlsOff off(jobs), off_edit(js_edit);
        const long long total = jobs.record_count();
        walk(jobs, [&] {
            ++out.read;
            guarded_record(out, jobs, {}, [&] {
                const std::string title = jobs.field("POS_TITLE").as_string();
                const bool keep_original = title != jobs.field("POS_TITLE_ORIGINAL").as_string();
                const std::string key = to_upper(trim(title));
                auto hit = key.empty() ? change_to.end() : change_to.find(key);
                if (hit == change_to.end() && !title.empty() && title != key)
                    hit = change_to.find(title);
                std::string to = hit != change_to.end() ? hit->second : title;
                // An entry nobody edited yet would put its placeholder in place of the title.
                if (to == kNewEntryPlaceholder) to = title;
                if (!keep_original && to == title) return;
                // One edit for both fields: the record is written once.
                jobs.edit();
                if (keep_original) jobs.field("POS_TITLE_ORIGINAL").set_as_string(title);
                if (to != title) jobs.field("POS_TITLE").set_as_string(to);
                jobs.post();
                ++out.changed;
            });
            status(io, jobs.record_number(), total);
        });
    }
    js_edit.first();
    return out;
}

namespace {

StatsProgress stats_progress(const StepIo& io) {
    if (!io.status) return {};
    return [&io](long long reached, long long total) {
        status(io, reached, total);
        return true;
    };
}

StepOutcome from_add(const AddOutcome& a) {
    StepOutcome o;
    o.read = a.scanned;
    o.added = a.added;
    o.failures = a.failures;
    o.first_failure = a.first_failure;
    return o;
}

}  // namespace

StepOutcome update_position_titles(Table& jobs, Table& postitle, const StepIo& io) {
    clear_status(io);
    StepOutcome out = from_add(add_new_position_titles(jobs, postitle, stats_progress(io)));
    jobs.first();
    postitle.first();
    return out;
}

StepOutcome rebuild_title_categories(Table& jobs, Table& stats_jt, const StepIo& io) {
    StepOutcome out;
    std::string zip;
    try {
        zip = save_table_to_zip(stats_jt);
    } catch (const std::exception& e) {
        out.stopped = true;
        out.stop_reason = "the rows of " + stats_jt.table_name() +
                          " could not be saved first, so it was not emptied: " + e.what();
        return out;
    }
    log(io, "Saved the rows of " + stats_jt.table_name() + " in " + zip);
    log(io, "Emptying Job Title Statistics Table");
    {
        // Emptied and refilled together: the user's orders and reasons are never left half gone.
        tables::Transaction txn({&stats_jt});
        stats_jt.empty_table();
        out = from_add(add_new_categories(jobs, stats_jt, stats_progress(io)));
        txn.commit();
    }
    stats_jt.refresh();
    stats_jt.first();
    return out;
}

StepOutcome rebuild_reasons(Table& jobs, Table& reason, Table& js_edit, const StepIo& io) {
    StepOutcome out;
    if (!save_and_empty(reason, "Emptying Reason Table", io, out)) return out;
    if (io.notice)
        io.notice("MESSAGE",
                  "This is a three step process.\n\n"
                  "First I will scan the Empty out the current Reason Not Submited table;\n"
                  "Second, I will scan the Job Search table, and add current reasons from\n"
                  "it into the Reason Not Submitted table;\n"
                  "Third, I will scan the Job Title Edit table and add the REASON_NO_SUBMIT into\n"
                  "the reasons not submitted\n");
    log(io, "Scanning Job Search Table and adding reason not submitted to the reason table");
    {
        ControlsOff off(jobs), off_reason(reason);
        const long long total = jobs.record_count();
        jobs.first();
        js_edit.first();
        walk(jobs, [&] {
            ++out.read;
            status(io, out.read, total);
            guarded_record(out, jobs, {&reason}, [&] {
                const std::string r = trim(jobs.field("REASON_NO_SUBMIT").as_string());
                if (!r.empty() && lookup_and_add(reason, "REASON", r)) ++out.added;
            });
        });
    }
    log(io, "Scanning Job Title Edit Table and adding reason not submitted to the reason table");
    {
        ControlsOff off(js_edit), off_reason(reason);
        const long long total = js_edit.record_count();
        jobs.first();
        js_edit.first();
        walk(js_edit, [&] {
            ++out.read;
            guarded_record(out, js_edit, {&reason}, [&] {
                const std::string r = trim(js_edit.field("REASON_NO_SUBMIT").as_string());
                if (r.empty()) return;
                if (lookup_and_add(reason, "REASON", r)) ++out.added;
                status(io, js_edit.record_number(), total);
            });
        });
    }
    jobs.first();
    reason.first();
    js_edit.first();
    return out;
}

StepOutcome rebuild_cities(Table& jobs, Table& city, const StepIo& io) {
    StepOutcome out;
    if (!save_and_empty(city, "Emptying City Table", io, out)) return out;
    if (io.notice)
        io.notice("MESSAGE",
                  "This is a two step process.\n\n"
                  "First I will scan the Empty out the current City table;\n"
                  "Second, I will scan the Job Search table, and add city from\n"
                  "it into the City table;\n");
    log(io, "Scanning Job Search Table and adding to City table");
    {
        ControlsOff off(jobs), off_city(city);
        jobs.first();
        walk(jobs, [&] {
            ++out.read;
            guarded_record(out, jobs, {&city}, [&] {
                const std::string c = trim(jobs.field("POS_CITY").as_string());
                if (!c.empty() && lookup_and_add(city, "CITY", c)) ++out.added;
            });
            if (io.status) io.status(std::to_string(city.record_number()));
        });
    }
    jobs.first();
    city.first();
    return out;
}

StepOutcome update_contact_names(Table& jobs, Table& contact_name, const StepIo& io) {
    StepOutcome out;
    log(io,
        "Scanning \"Job Search Table\" and adding contact names not in \"contact name Title "
        "Table.\"");
    clear_status(io);
    {
        ControlsOff off(jobs), off_names(contact_name);
        const long long total = jobs.record_count();
        jobs.first();
        walk(jobs, [&] {
            ++out.read;
            status(io, jobs.record_number(), total);
            guarded_record(out, jobs, {&contact_name}, [&] {
                const std::string name = jobs.field("CONTACT_NAME").as_string();
                if (!name.empty() && lookup_and_add(contact_name, "CONTACT_NAME", name))
                    ++out.added;
            });
        });
    }
    jobs.first();
    contact_name.first();
    return out;
}

StepOutcome update_stats_reasons(Table& stats_jt, Table& js_edit, const StepIo& io) {
    StepOutcome out;
    log(io, "Carrying the job title edits' reasons into the job title statistics");
    // The first edit row of each CHANGE_TO in the edit table's order, read once.
    std::unordered_map<std::string, std::string> reason_of;
    {
        ControlsOff off(js_edit);
        for (js_edit.first(); !js_edit.eof(); js_edit.next())
            reason_of.emplace(js_edit.field("CHANGE_TO").as_string(),
                              js_edit.field("REASON_NO_SUBMIT").as_string());
    }
    {
        ControlsOff off(stats_jt);
        const long long total = stats_jt.record_count();
        stats_jt.first();
        walk(stats_jt, [&] {
            ++out.read;
            status(io, stats_jt.record_number(), total);
            guarded_record(out, stats_jt, {}, [&] {
                auto hit = reason_of.find(to_upper(trim(stats_jt.field("CATEGORY").as_string())));
                if (hit == reason_of.end()) return;
                if (stats_jt.field("REASON_NOT_SUBMITTED").as_string() == hit->second) return;
                stats_jt.edit();
                stats_jt.field("REASON_NOT_SUBMITTED").set_as_string(hit->second);
                stats_jt.post();
                ++out.changed;
            });
        });
    }
    stats_jt.first();
    js_edit.first();
    return out;
}

}  // namespace pavo::records
