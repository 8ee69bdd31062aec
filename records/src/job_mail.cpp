// The reader of saved job-alert mails: the rules of each of the four layouts, applied line by line
// with working values that carry over from one job to the next.
#include "records/job_mail.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "utility/text_conv.h"
#include "utility/tkit.h"

namespace pavo::records {

namespace {

// 1-based piece of a line, clipped as the job board's rules expect: a start below 1 counts as 1,
// a length of 0 or less gives nothing.
std::string piece(std::string_view text, long long start, long long length) {
    if (start < 1) start = 1;
    if (length <= 0 || start > static_cast<long long>(text.size())) return {};
    return std::string(
        text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

// 1-based position of what in text, 0 when absent.
long long pos(std::string_view what, std::string_view text) {
    std::size_t p = text.find(what);
    return p == std::string_view::npos ? 0 : static_cast<long long>(p) + 1;
}

bool begins_with(std::string_view text, std::string_view lead) {
    return text.substr(0, lead.size()) == lead;
}

std::vector<std::string_view> split_lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    return lines;
}

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The codes a version 4 job line may begin with (the mail leaves out "US-" before them).
constexpr std::array<const char*, 59> kV4Codes = {
    "AK", "AL", "AP", "AR", "AS", "AZ", "CA", "CO", "CT", "DC", "DE", "FL", "FM", "GA", "GU",
    "HI", "IA", "ID", "IL", "IN", "KS", "KY", "LA", "MA", "MD", "ME", "MH", "MI", "MN", "MO",
    "MP", "MS", "MT", "NC", "ND", "NE", "NH", "NJ", "NM", "NV", "NY", "OH", "OK", "OR", "PA",
    "PR", "RI", "SC", "SD", "TN", "TX", "UT", "VA", "VI", "VT", "WA", "WI", "WV", "WY"};

std::string with_us_prefix(std::string_view line) {
    if (line.size() >= 3 && line[2] == '-') {
        std::string_view code = line.substr(0, 2);
        for (const char* c : kV4Codes)
            if (code == c) return "US-" + std::string(line);
    }
    return std::string(line);
}

// A version 2 title line: the Title: marker behind a three-character list number ("12.", "1. "),
// or behind a number of three or more digits and a full stop ("100.Title:", "100. Title:"), which
// would otherwise leave every job from the hundredth on with the title of the 99th. Returns the
// 1-based position of "Title:", 0 when the line is no title line.
long long v2_title_position(std::string_view line) {
    if (piece(line, 4, 6) == "Title:") return 4;
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i < 3 || i >= line.size() || line[i] != '.') return 0;
    ++i;
    while (i < line.size() && line[i] == ' ') ++i;
    return begins_with(line.substr(i), "Title:") ? static_cast<long long>(i) + 1 : 0;
}

// Whether a version 3 job line (after the version 4 prefix) has the shape the layout promises:
// US-, a two-letter state, a hyphen, the city and a TAB.
bool v3_well_formed(std::string_view line) {
    return begins_with(line, "US-") && line.size() > 6 &&
           std::isalpha(static_cast<unsigned char>(line[3])) &&
           std::isalpha(static_cast<unsigned char>(line[4])) && line[5] == '-' &&
           line.find('\t') != std::string_view::npos;
}

struct Working {
    std::string agent, month, day, year, title, state, city;
    bool sent_seen = false;
};

void common_rules(std::string_view line, Working& w) {
    long long p = pos("Personal Search Agent has found", line);
    long long q = pos("\"", line);
    if (p > 0 && q > 0) w.agent = trim(piece(line, q + 1, p - q - 3));
    if (begins_with(line, "Sent:")) {
        // Words are separated by blanks; a run of blanks separates as one.
        std::size_t i = 5;
        auto skip_blanks = [&] {
            while (i < line.size() && line[i] == ' ') ++i;
        };
        auto word = [&](auto stop) {
            std::size_t b = i;
            while (i < line.size() && line[i] != ' ' && !stop(line[i])) ++i;
            return std::string(line.substr(b, i - b));
        };
        skip_blanks();
        std::string month = word([](char) { return false; });
        skip_blanks();
        std::size_t b = i;
        while (i < line.size() && line[i] != ',') ++i;
        std::string day(line.substr(b, i - b));
        if (i < line.size()) ++i;
        skip_blanks();
        std::string year = word([](char) { return false; });
        for (std::size_t m = 0; m < kMonths.size(); ++m)
            if (month.substr(0, 3) == kMonths[m]) {
                char num[3] = {static_cast<char>('0' + (m + 1) / 10),
                               static_cast<char>('0' + (m + 1) % 10), 0};
                month = num;
                break;
            }
        w.month = month;
        w.day = day;
        w.year = year;
        w.sent_seen = true;
    }
}

class Reader {
  public:
    Reader(MailLayout layout, std::string_view path) : layout_(layout), path_(path) {
        item_file_ = mail_item_file(path);
    }

    MailReading run(const std::vector<std::string_view>& lines) {
        for (std::size_t i = 0; i < lines.size() && !out_.refusal; ++i) {
            const int number = static_cast<int>(i) + 1;
            std::string_view line = lines[i];
            common_rules(line, w_);
            switch (layout_) {
                case MailLayout::kV1: {
                    if (pos("Personal Search Agent", line) > 0) {
                        std::string rest = piece(line, pos("yours", line) + 14, 100);
                        w_.agent = trim(piece(rest, 1, pos("Personal Search Agent", rest) - 2));
                    }
                    long long h = pos("| Contract", line);
                    if (h == 0) h = pos("| Full Time", line);
                    if (h > 0) {
                        w_.title = piece(line, 1, h - 2);
                        // The line after the job line is skipped; the one after that is the
                        // location line. Both are taken, so neither is examined as a line.
                        std::string_view location;
                        if (i + 2 < lines.size()) location = lines[i + 2];
                        i = std::min(i + 2, lines.size());
                        long long bar = pos("|", location);
                        if (bar > 0) w_.state = piece(location, bar + 2, 2);
                        long long dash = pos("-", location);
                        if (dash > 0) w_.city = trim(piece(location, dash + 2, 100));
                        add_job(number);
                    }
                    break;
                }
                case MailLayout::kV2: {
                    if (pos("Personal Search Agent has found", line) > 0) {
                        long long r = pos("\" Personal", line);
                        w_.agent = trim(
                            piece(piece(line, 7, static_cast<long long>(line.size())), 1, r - 7));
                    }
                    if (long long t = v2_title_position(line); t > 0)
                        w_.title = trim(piece(line, t + 7, 100));
                    if (begins_with(line, "Location:")) {
                        std::string loc = piece(line, 11, 100);
                        w_.state = piece(loc, 4, 2);
                        w_.city = trim(piece(loc, 7, static_cast<long long>(loc.size())));
                        add_job(number);
                    }
                    break;
                }
                case MailLayout::kV3:
                case MailLayout::kV4: {
                    if (pos(" SEARCH AGENT:", line) > 0) {
                        long long refine = pos("Refine", line);
                        w_.agent = refine > 0 ? trim(piece(line, 1, refine - 1)) : std::string();
                    }
                    std::string job =
                        layout_ == MailLayout::kV4 ? with_us_prefix(line) : std::string(line);
                    if (begins_with(job, "US-")) {
                        w_.state = piece(job, 4, 2);
                        long long tab = pos("\t", job);
                        w_.title = trim(piece(job, tab + 2, 100));
                        std::size_t city_end = job.find('\t', 6);
                        if (city_end == std::string::npos) city_end = job.size();
                        w_.city = job.size() > 6 ? job.substr(6, city_end - 6) : std::string();
                        add_job(number);
                    }
                    break;
                }
            }
        }
        if (out_.refusal) out_.jobs.clear();
        return std::move(out_);
    }

  private:
    void refuse(const char* kind, int line, const std::string& text) {
        out_.refusal = MailRefusal{kind, line, text};
    }

    void add_job(int line) {
        MailJob job;
        job.line = line;
        job.date_text = w_.month + "/" + w_.day + "/" + w_.year;
        std::string where = std::string(path_) + ", line " + std::to_string(line) + ": ";
        if (!w_.sent_seen) {
            refuse("bad_date", line,
                   where +
                       "DATE: this job comes before the mail's first Sent: line, so it has "
                       "no date.");
            return;
        }
        auto date = parse_short_date(job.date_text);
        if (!date) {
            refuse("bad_date", line,
                   where + "DATE: '" + job.date_text +
                       "' is not a valid date (from the Sent: " + "line).");
            return;
        }
        job.date = *date;
        job.yyyymmdd = tkit_Date_To_YYYYMMDD(*date);
        // Apostrophes in a city become blanks: stored records and the city list hold that form.
        w_.city = tkit_replace_char_in_string(w_.city, "'", " ");
        job.city = to_upper(trim(w_.city));
        job.state = to_upper(trim(w_.state));
        job.title = to_upper(w_.title);
        job.item_file = item_file_;
        job.comment = std::string(kAgentCommentLead) + w_.agent;
        for (auto [field, value] : {std::pair{"POS_CITY", &job.city}, {"POS_STATE", &job.state}})
            if (value->empty()) {
                refuse("post_refused", line,
                       where + field + ": Field '" + field +
                           "' must have a value (the location gives none and no job before "
                           "this one had one).");
                return;
            }
        out_.jobs.push_back(std::move(job));
    }

    MailLayout layout_;
    std::string_view path_;
    std::string item_file_;
    Working w_;
    MailReading out_;
};

int count_lines(const std::vector<std::string_view>& lines, MailLayout layout) {
    int n = 0;
    for (std::string_view line : lines) {
        switch (layout) {
            case MailLayout::kV1:
                n += pos("| Contract", line) > 0 || pos("| Full Time", line) > 0;
                break;
            case MailLayout::kV2:
                n += begins_with(line, "Location:") && v3_well_formed(piece(line, 11, 100) + "\t");
                break;
            case MailLayout::kV3:
                n += v3_well_formed(line);
                break;
            case MailLayout::kV4:
                n += v3_well_formed(with_us_prefix(line));
                break;
        }
    }
    return n;
}

}  // namespace

const char* layout_caption(MailLayout layout) {
    switch (layout) {
        case MailLayout::kV1:
            return "CareerBuilder V1 (September 2001 to March 2002)";
        case MailLayout::kV2:
            return "CareerBuilder V2 (March 2002 to February 2003)";
        case MailLayout::kV3:
            return "CareerBuilder V3 (Since February 2003-5 May 2003)";
        case MailLayout::kV4:
            return "CareerBuilder V4 (Since 6 May 2003)";
    }
    return "";
}

const char* layout_log_line(MailLayout layout) {
    // The first three name "Version 1" whatever their layout: the log has always read so.
    switch (layout) {
        case MailLayout::kV1:
            return "Adding Version 1 (CareerBuilder Version 1 [September 2001 to March 2002]) "
                   "Records To Database";
        case MailLayout::kV2:
            return "Adding Version 1 (CareerBuilder Version 2 [March 2002 to February 2003]) "
                   "Records To Database";
        case MailLayout::kV3:
            return "Adding Version 1 (CareerBuilder Version 3 [Since February 2003]) Records To "
                   "Database";
        case MailLayout::kV4:
            return "Adding Version (CareerBuilder Version 4 [Since February 2003]) Records To "
                   "Database";
    }
    return "";
}

std::string mail_item_file(std::string_view logical_path) {
    std::string rest = logical_path.size() > 2 ? std::string(logical_path.substr(2)) : "";
    return to_upper(tkit_New_Extention(rest, "PDF"));
}

int count_job_lines(std::string_view bytes, MailLayout layout) {
    return count_lines(split_lines(bytes), layout);
}

MailReading read_job_mail(std::string_view bytes, MailLayout layout,
                          std::string_view logical_path) {
    MailReading out;
    const std::string file(logical_path);
    auto refuse = [&](const char* kind, const std::string& text) {
        out.refusal = MailRefusal{kind, 0, text};
        return out;
    };
    if (bytes.size() > kMaxMailBytes)
        return refuse("too_large", file +
                                       " is larger than 16 MiB; a saved mail is far smaller, "
                                       "so it was not read.");
    if (trim(bytes).empty()) return refuse("empty", file + " is empty: it holds no mail.");
    if (bytes.find('\0') != std::string_view::npos)
        return refuse("not_text", file +
                                      " is not a text file: it holds NUL bytes, as a binary "
                                      "or UTF-16 file does. Save the mail as plain text.");
    const std::vector<std::string_view> lines = split_lines(bytes);
    const int own = count_lines(lines, layout);
    MailLayout best = layout;
    int best_count = own;
    for (MailLayout other : {MailLayout::kV1, MailLayout::kV2, MailLayout::kV3, MailLayout::kV4}) {
        if (other == layout) continue;
        int n = count_lines(lines, other);
        if (n > best_count) {
            best = other;
            best_count = n;
        }
    }
    if (best != layout)
        return refuse("wrong_layout", file + " does not look like a \"" + layout_caption(layout) +
                                          "\" mail: " + std::to_string(best_count) +
                                          " job lines fit \"" + layout_caption(best) + "\", " +
                                          std::to_string(own) + " fit this one. Use the \"" +
                                          layout_caption(best) + "\" button.");
    out = Reader(layout, logical_path).run(lines);
    if (!out.refusal && out.jobs.empty())
        return refuse("no_jobs", file + " lists no jobs in the \"" +
                                     std::string(layout_caption(layout)) + "\" layout.");
    return out;
}

}  // namespace pavo::records
