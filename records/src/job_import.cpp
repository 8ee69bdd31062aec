// Posting a read mail's jobs all or nothing, and finding the jobs an earlier import recorded.
#include "records/job_import.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "platform/error.h"
#include "platform/file_system.h"
#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

using Key = std::tuple<std::string, std::string, std::string, std::string, std::string>;

Key key_of(const MailJob& j) {
    return {j.yyyymmdd, j.state, j.city, j.comment, j.title};
}

}  // namespace

std::string read_mail_file(const std::filesystem::path& host) {
    auto f = file_system().open(host, OpenMode::kRead);
    std::string bytes;
    const std::size_t limit = kMaxMailBytes + 1;
    bytes.resize(64 * 1024);
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) bytes.resize(std::min(limit, bytes.size() * 2));
        std::size_t n = f->read(bytes.data() + got, bytes.size() - got);
        got += n;
        if (n == 0 || got >= limit) break;
    }
    bytes.resize(got);
    f->close();
    return bytes;
}

std::vector<bool> find_recorded_jobs(const tables::Table& jobs, const std::vector<MailJob>& mail) {
    std::vector<bool> recorded(mail.size(), false);
    if (mail.empty()) return recorded;
    // A private dataset, so the shared one keeps its filter, order and current record, and every
    // record is seen. Only the mail's dates are read.
    std::set<std::string> dates;
    for (const auto& j : mail) dates.insert(format_short_date(j.date));
    std::string filter;
    for (const auto& d : dates) {
        if (!filter.empty()) filter += " OR ";
        filter += "DATE = " + tables::quote_filter_text(d);
    }
    tables::Table t;
    t.set_database_name(jobs.database_name());
    t.set_table_name(jobs.table_name());
    t.set_filter(filter);
    t.set_filtered(true);
    t.open();
    std::set<Key> stored;
    auto f_date = t.field("DATE"), f_state = t.field("POS_STATE"), f_city = t.field("POS_CITY"),
         f_comment = t.field("COMMENT"), f_title = t.field("POS_TITLE"),
         f_original = t.field("POS_TITLE_ORIGINAL");
    for (t.first(); !t.eof(); t.next()) {
        std::string original = f_original.as_string();
        stored.insert({tkit_Date_To_YYYYMMDD(f_date.as_date()), f_state.as_string(),
                       f_city.as_string(), f_comment.as_string(),
                       original.empty() ? f_title.as_string() : original});
    }
    for (std::size_t i = 0; i < mail.size(); ++i) recorded[i] = stored.count(key_of(mail[i])) > 0;
    return recorded;
}

PostOutcome post_mail_jobs(tables::Table& shared_jobs, tables::Table& shared_city,
                           const std::vector<MailJob>& mail, const std::vector<bool>& skip,
                           const std::string& file) {
    PostOutcome out;
    // Private datasets on the same files: a posted record stays current whatever the shared
    // dataset's filter, and the shared ones keep their place until their owner re-reads them.
    tables::Table jobs, city;
    for (auto [own, shared] : {std::pair{&jobs, &shared_jobs}, {&city, &shared_city}}) {
        own->set_database_name(shared->database_name());
        own->set_table_name(shared->table_name());
        own->open();
    }
    tables::Transaction txn({&jobs, &city});
    std::size_t at = 0;
    std::string field;
    try {
        for (at = 0; at < mail.size(); ++at) {
            if (at < skip.size() && skip[at]) continue;
            const MailJob& j = mail[at];
            field.clear();
            jobs.append();
            auto set = [&](const char* name, const std::string& value) {
                field = name;
                jobs.field(name).set_as_string(value);
            };
            field = "REFNUM";
            jobs.field("REFNUM").set_as_float(0);
            field = "DATE";
            jobs.field("DATE").set_as_date(j.date);
            set("YYYYMMDD", j.yyyymmdd);
            set("TIME", kImportTime);
            set("CONTACT_NAME", kImportContactName);
            field = "EMAIL";
            jobs.field("EMAIL").set_as_boolean(true);
            set("POS_TYPE", kImportPosType);
            set("POS_CITY", j.city);
            set("POS_STATE", j.state);
            set("POS_TITLE", j.title);
            field = "SUBMITTED";
            jobs.field("SUBMITTED").set_as_boolean(false);
            set("REASON_NO_SUBMIT", kImportReason);
            set("ITEM_FILE", j.item_file);
            set("COMMENT", j.comment);
            field.clear();
            jobs.post();
            out.pks.push_back(jobs.field("PK").as_integer());
            ++out.added;
            // The city list gains the city in the form the record holds; a failure here does not
            // stop the import but is counted.
            try {
                if (!j.city.empty() && !city.has_row("CITY", {j.city})) {
                    city.append();
                    city.field("CITY").set_as_string(j.city);
                    city.post();
                    ++out.city_rows_added;
                }
            } catch (const std::exception& e) {
                if (city.state() != tables::DatasetState::kBrowse) city.cancel();
                if (out.failures++ == 0)
                    out.first_failure = "city \"" + j.city + "\" (line " + std::to_string(j.line) +
                                        "): " + e.what();
            }
        }
        txn.commit();
    } catch (const std::exception& e) {
        if (jobs.state() != tables::DatasetState::kBrowse) jobs.cancel();
        if (txn.active()) txn.rollback();
        std::string where = file;
        int line = at < mail.size() ? mail[at].line : 0;
        if (line > 0) where += ", line " + std::to_string(line);
        PostOutcome refused;
        refused.refusal = MailRefusal{"post_refused", line,
                                      where + ": " + (field.empty() ? "" : field + ": ") +
                                          e.what() + " Nothing was imported."};
        return refused;
    }
    return out;
}

std::string import_summary(int read, int skipped, const PostOutcome& o) {
    std::string s = "Import done: " + std::to_string(read) + " records read, " +
                    std::to_string(o.added) + " added";
    if (skipped > 0) s += ", " + std::to_string(skipped) + " skipped as already imported";
    s += ", " + std::to_string(o.city_rows_added) + " city rows added, " +
         std::to_string(o.failures) + (o.failures == 1 ? " failure" : " failures");
    if (o.failures > 0) s += "; the first: " + o.first_failure;
    return s + ".";
}

}  // namespace pavo::records
