// The reader of saved CareerBuilder job-alert mails: the bytes of one mail, its layout and its
// logical path in; the jobs it lists (each as the job-search record it becomes) or one refusal out.
// No table, window or file is touched here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavo::records {

// The four layouts the job board used over the years, one import button each.
enum class MailLayout { kV1 = 1, kV2 = 2, kV3 = 3, kV4 = 4 };

// The button caption of a layout ("CareerBuilder V1 (September 2001 to March 2002)").
const char* layout_caption(MailLayout layout);
// The first log line of an import with this layout, as the program has always written it.
const char* layout_log_line(MailLayout layout);

// Fixed values every imported record carries.
inline constexpr const char* kImportContactName = "CAREERBUILDER.COM";
inline constexpr const char* kImportReason = "AUTOMATED E-MAIL";
inline constexpr const char* kImportTime = "00:00";
inline constexpr const char* kImportPosType = "MU";
inline constexpr const char* kAgentCommentLead = "SEARCH AGENT NAME: ";
// Mails larger than this are refused unread.
inline constexpr std::size_t kMaxMailBytes = 16u * 1024 * 1024;

// One job of a mail as the record it becomes (REFNUM 0, TIME, CONTACT_NAME, EMAIL true,
// POS_TYPE, SUBMITTED false and REASON_NO_SUBMIT are the fixed values above).
struct MailJob {
    int line = 0;           // 1-based line that completed the job (version 2: its Location line)
    std::string date_text;  // month/day/year as the mail gave them ("03/05/2003")
    double date = 0;        // DATE, converted from date_text
    std::string yyyymmdd;   // YYYYMMDD
    std::string city;       // POS_CITY: trimmed, upper-cased, apostrophes turned into blanks
    std::string state;      // POS_STATE: trimmed, upper-cased
    std::string title;      // POS_TITLE: upper-cased
    std::string item_file;  // ITEM_FILE: the mail's path without its drive, ".PDF", upper-cased
    std::string comment;    // COMMENT: "SEARCH AGENT NAME: " + the agent name as found
};

// Why a mail was not taken. kind is one of: "empty", "not_text" (NUL bytes: a binary or UTF-16
// file), "too_large", "wrong_layout" (another layout finds more well-formed job lines),
// "no_jobs", "bad_date" (a date that does not convert, or a job before any Sent: line),
// "post_refused" (a job the table would refuse: an empty city or state). line is the 1-based
// line of the job at fault, 0 for a refusal of the whole file. text is the message shown to the
// user; it names the file.
struct MailRefusal {
    std::string kind;
    int line = 0;
    std::string text;
};

struct MailReading {
    std::vector<MailJob> jobs;  // empty when refused
    std::optional<MailRefusal> refusal;
};

// Reads a whole mail. Lines end at LF or CR LF (the line end is not part of the line); a line of
// any length is one line. Never throws for any content; a refusal leaves jobs empty.
MailReading read_job_mail(std::string_view bytes, MailLayout layout, std::string_view logical_path);

// The ITEM_FILE value for a mail at logical_path: without its first two characters, extension
// "PDF", upper-cased (c:\mail\jobs.txt gives \MAIL\JOBS.PDF).
std::string mail_item_file(std::string_view logical_path);

// Number of well-formed job lines a layout finds in the mail (what the wrong-layout check weighs).
int count_job_lines(std::string_view bytes, MailLayout layout);

}  // namespace pavo::records
