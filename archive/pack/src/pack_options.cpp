// Argument parsing of the packing engine: combined single-letter flags, options with values, and
// the -i/-x lists that run until the next option.
#include "archive/pack/src/pack_options.h"

#include <cctype>
#include <ctime>
#include <limits>

namespace pavo::zip::detail {

namespace {

// The control quotes names and masks; a caller that passes them on unsplit leaves the quotes in.
std::string unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

bool all_digits(const std::string& s) {
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return !s.empty();
}

}  // namespace

std::optional<std::int64_t> parse_pack_date(const std::string& text) {
    int y, m, d;
    if (text.size() == 8 && all_digits(text)) {
        m = std::stoi(text.substr(0, 2));
        d = std::stoi(text.substr(2, 2));
        y = std::stoi(text.substr(4, 4));
    } else if (text.size() == 10 && text[4] == '-' && text[7] == '-' &&
               all_digits(text.substr(0, 4)) && all_digits(text.substr(5, 2)) &&
               all_digits(text.substr(8, 2))) {
        y = std::stoi(text.substr(0, 4));
        m = std::stoi(text.substr(5, 2));
        d = std::stoi(text.substr(8, 2));
    } else {
        return std::nullopt;
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return std::nullopt;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        // Dates outside the C library's range (year 9999 on some systems) still order correctly
        // against any real file time when pinned to the far past or future.
        return y < 1970 ? std::numeric_limits<std::int64_t>::min() / 2
                        : std::numeric_limits<std::int64_t>::max() / 2;
    }
    return static_cast<std::int64_t>(t);
}

int parse_pack_options(int argc, const char* const* argv, PackOptions& out, std::string& error) {
    enum class List { kFiles, kInclude, kExclude } list = List::kFiles;
    bool archive_seen = false;
    // An option that takes a value reads it from the rest of its argument or from the next one.
    auto value_of = [&](int& i, const std::string& arg, std::size_t at,
                        std::string& value) -> bool {
        if (at < arg.size()) {
            value = arg.substr(at);
            return true;
        }
        if (i + 1 >= argc || !argv[i + 1]) return false;
        value = unquote(argv[++i]);
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        std::string arg = argv[i];
        if (arg.size() >= 2 && arg[0] == '-') {
            list = List::kFiles;
            if (arg == "-Gw") {
                out.angle_classes = true;
                continue;
            }
            if (arg.rfind("-tt", 0) == 0 || arg.rfind("-t", 0) == 0) {
                bool before = arg.rfind("-tt", 0) == 0;
                std::string value;
                if (!value_of(i, arg, before ? 3 : 2, value)) {
                    error = "missing date after " + std::string(before ? "-tt" : "-t");
                    return 16;
                }
                auto t = parse_pack_date(value);
                if (!t) {
                    error = "invalid date: " + value;
                    return 16;
                }
                auto& slot = before ? out.before : out.after;
                if (slot) {
                    error = std::string("only one ") + (before ? "-tt" : "-t") + " date is allowed";
                    return 16;
                }
                slot = *t;
                continue;
            }
            if (arg == "-i" || arg == "-x") {
                list = arg == "-i" ? List::kInclude : List::kExclude;
                continue;
            }
            for (std::size_t k = 1; k < arg.size(); ++k) {
                char c = arg[k];
                if (c >= '0' && c <= '9') {
                    out.level = c - '0';
                } else if (c == 'd') {
                    out.delete_mode = true;
                } else if (c == 'r') {
                    out.recurse = true;
                } else if (c == 'q') {
                    out.quiet = true;
                } else if (c == 'S') {
                    out.include_hidden = true;
                } else if (c == 'f') {
                    out.freshen = true;
                } else if (c == 'u') {
                    out.update = true;
                } else if (c == 'm') {
                    out.move = true;
                } else if (c == 'j') {
                    out.junk_paths = true;
                } else if (c == 'D') {
                    out.no_dir_entries = true;
                } else if (c == 'P' || c == 'b') {
                    std::string value;
                    if (!value_of(i, arg, k + 1, value)) {
                        error = std::string("missing value after -") + c;
                        return 16;
                    }
                    if (c == 'P') {
                        if (value.empty()) {
                            error = "an empty password is not allowed";
                            return 16;
                        }
                        out.password = value;
                    } else {
                        out.temp_dir = value;
                    }
                    break;
                } else {
                    error = "invalid option: " + arg;
                    return 16;
                }
            }
            continue;
        }
        std::string text = unquote(arg);
        switch (list) {
            case List::kInclude:
                out.include.push_back(text);
                break;
            case List::kExclude:
                out.exclude.push_back(text);
                break;
            case List::kFiles:
                if (!archive_seen) {
                    out.archive = text;
                    archive_seen = true;
                } else {
                    out.files.push_back(text);
                }
                break;
        }
    }
    if (!archive_seen || out.archive.empty()) {
        error = "no archive name given";
        return 16;
    }
    if (out.freshen && out.update) {
        error = "-f and -u cannot be combined";
        return 16;
    }
    return 0;
}

}  // namespace pavo::zip::detail
