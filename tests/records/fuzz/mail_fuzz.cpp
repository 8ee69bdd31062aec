// Fuzz target of the mail reader: the first byte picks the layout, the rest is the mail. Any input
// gives either one refusal of a known kind and no jobs, or jobs that the table would take: a
// valid date, a non-empty city and state, a line inside the mail.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "records/job_mail.h"
#include "utility/text_conv.h"

using namespace pavo::records;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto layout = static_cast<MailLayout>(1 + data[0] % 4);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const MailReading r = read_job_mail(text, layout, "c:\\mail\\fuzz.txt");
    static const std::set<std::string> kinds = {
        "empty", "not_text", "too_large", "wrong_layout", "no_jobs", "bad_date", "post_refused"};
    if (r.refusal) {
        if (!kinds.count(r.refusal->kind) || !r.jobs.empty()) std::abort();
        if (r.refusal->text.find("c:\\mail\\fuzz.txt") == std::string::npos) std::abort();
        return 0;
    }
    if (r.jobs.empty()) std::abort();
    const long long lines = 1 + static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
    for (const MailJob& j : r.jobs) {
        if (j.city.empty() || j.state.empty() || j.yyyymmdd.size() != 8) std::abort();
        if (!pavo::civil_from_date(j.date)) std::abort();
        if (j.line < 1 || j.line > lines) std::abort();
        if (j.city.find('\'') != std::string::npos) std::abort();
        if (j.city != pavo::to_upper(pavo::trim(j.city))) std::abort();
    }
    return 0;
}
