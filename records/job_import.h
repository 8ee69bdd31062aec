// Posting the jobs of a read mail: the job-search records and the city rows in one transaction,
// and the check for jobs a mail imported earlier already recorded. No window here: the import
// window and pavoden2-import both run these.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "records/job_mail.h"
#include "tables/table.h"

namespace pavo::records {

// Reads a mail file (host path) through the file seam: at most one byte more than the reader
// takes, so a huge file is refused without being read whole. Throws pavo::Error when unreadable.
std::string read_mail_file(const std::filesystem::path& host);

// For each job, whether jobs' table file already holds a record of it: one with the job's DATE,
// POS_STATE, POS_CITY and COMMENT whose imported title (POS_TITLE_ORIGINAL, or POS_TITLE while
// that is empty) is the job's title. Every record counts, whatever filter jobs has. jobs must be
// open; the table layer's errors are thrown.
std::vector<bool> find_recorded_jobs(const tables::Table& jobs, const std::vector<MailJob>& mail);

struct PostOutcome {
    std::optional<MailRefusal> refusal;  // kind "post_refused": nothing was posted
    int added = 0;                       // job-search records posted
    int city_rows_added = 0;             // new CITY.db rows
    int failures = 0;                    // city rows that could not be looked up or added
    std::string first_failure;           // text of the first of them
    std::vector<long long> pks;          // PK of each posted record, in mail order
};

// Posts every job of mail not marked in skip (skip may be empty) to jobs, and adds each job's city
// to city when CITY.db lacks it (exact, case-sensitive). All in one transaction: when the table
// refuses a record, or the commit fails, both tables stay as they were and the refusal names the
// job's line, the field and the table's reason. A city row that cannot be added is counted as a
// failure and the import goes on. file is the mail's logical path, for the messages.
// The posts go through private datasets on the same files: jobs and city keep their filter, order
// and current record, and show the new rows once refreshed.
PostOutcome post_mail_jobs(tables::Table& jobs, tables::Table& city,
                           const std::vector<MailJob>& mail, const std::vector<bool>& skip,
                           const std::string& file);

// The last log line of an import: records read, added, city rows added, failures and the first
// one's text.
std::string import_summary(int read, int skipped, const PostOutcome& outcome);

}  // namespace pavo::records
