// Argument lists for the packing and unpacking engines, and their results as error numbers.
#include "archive/component/src/commands.h"

namespace pavo::arcvane {

namespace {

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

// Quotes a value for the argument text; quotes inside it are doubled so the split gives it back.
std::string quoted(std::string_view v) {
    std::string out = "\"";
    for (char c : v) {
        out.push_back(c);
        if (c == '"') out.push_back('"');
    }
    out.push_back('"');
    return out;
}

// A value that stands alone in the list (the password) is quoted only when it would not survive the
// split otherwise.
std::string bare_or_quoted(std::string_view v) {
    if (v.find_first_of(" \t\"") == std::string_view::npos) return std::string(v);
    return quoted(v);
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded_path(std::string_view p) {
    std::string out;
    for (char c : p) out.push_back(c == '/' ? '\\' : lower(c));
    return out;
}

bool has_drive(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' &&
           ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'));
}

}  // namespace

std::string relative_mask(std::string_view mask, std::string_view source_directory) {
    if (source_directory.empty() || !(has_drive(mask) || (!mask.empty() && mask[0] == '/')))
        return std::string(mask);
    std::string prefix = folded_path(trim(source_directory));
    if (prefix.empty()) return std::string(mask);
    if (prefix.back() != '\\') prefix.push_back('\\');
    std::string m = folded_path(mask);
    if (m.size() <= prefix.size() || m.compare(0, prefix.size(), prefix) != 0)
        return std::string(mask);
    return std::string(mask.substr(prefix.size()));
}

std::string mask_list(std::string_view masks) {
    std::string out;
    std::size_t start = 0;
    while (start <= masks.size()) {
        std::size_t bar = masks.find('|', start);
        if (bar == std::string_view::npos) bar = masks.size();
        std::string piece = trim(masks.substr(start, bar - start));
        if (!piece.empty()) {
            if (!out.empty()) out.push_back(' ');
            out += quoted(piece);
        }
        start = bar + 1;
    }
    return out;
}

namespace {

std::string packing_masks(std::string_view masks, std::string_view source) {
    std::string rewritten;
    std::size_t start = 0;
    while (start <= masks.size()) {
        std::size_t bar = masks.find('|', start);
        if (bar == std::string_view::npos) bar = masks.size();
        if (!rewritten.empty()) rewritten.push_back('|');
        rewritten += relative_mask(trim(masks.substr(start, bar - start)), source);
        start = bar + 1;
    }
    return mask_list(rewritten);
}

}  // namespace

std::string build_command(const Settings& s, Operation op, std::string_view program) {
    std::vector<std::string> parts;
    parts.push_back(quoted(program));
    switch (op) {
        case Operation::kAdd:
        case Operation::kDelete: {
            const bool del = op == Operation::kDelete;
            if (del) parts.push_back("-d");
            if (!del) {
                if (s.recurse_subdirectories) parts.push_back("-r");
                parts.push_back("-" + std::to_string(s.compression_level));
            }
            parts.push_back("-q");
            if (!del) {
                parts.push_back("-t 01011900");
                parts.push_back("-tt 12319999");
                parts.push_back("-S");
                if (!s.password.empty()) parts.push_back("-P " + bare_or_quoted(s.password));
            }
            if (s.use_special_wildcards) parts.push_back("-Gw");
            parts.push_back(quoted(s.zip_file_name));
            parts.push_back("*");
            if (std::string m = packing_masks(s.files_to_process, s.source_directory); !m.empty())
                parts.push_back("-i " + m);
            if (std::string m = packing_masks(s.files_to_exclude, s.source_directory); !m.empty())
                parts.push_back("-x " + m);
            break;
        }
        case Operation::kExtract: {
            parts.push_back("-qq");
            parts.push_back("-C");
            parts.push_back(s.overwrite ? "-o" : "-n");
            parts.push_back("-Ga 0");
            parts.push_back("-Gb 0");
            if (!s.password.empty()) parts.push_back("-P " + bare_or_quoted(s.password));
            if (s.use_special_wildcards) parts.push_back("-Gw");
            parts.push_back(quoted(s.zip_file_name));
            if (std::string m = mask_list(s.files_to_process); !m.empty()) parts.push_back(m);
            if (!s.extract_directory.empty()) parts.push_back("-d " + quoted(s.extract_directory));
            if (std::string m = mask_list(s.files_to_exclude); !m.empty())
                parts.push_back("-x " + m);
            break;
        }
        case Operation::kList: {
            parts.push_back("-Z");
            parts.push_back("-C");
            parts.push_back(quoted(s.zip_file_name));
            if (std::string m = mask_list(s.files_to_process); !m.empty())
                parts.push_back("-i " + m);
            if (std::string m = mask_list(s.files_to_exclude); !m.empty())
                parts.push_back("-x " + m);
            break;
        }
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out.push_back(' ');
        out += p;
    }
    return out;
}

std::vector<std::string> split_arguments(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool in_arg = false, in_quotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            if (in_quotes && i + 1 < text.size() && text[i + 1] == '"') {
                current.push_back('"');
                ++i;
            } else {
                in_quotes = !in_quotes;
            }
            in_arg = true;
        } else if ((c == ' ' || c == '\t') && !in_quotes) {
            if (in_arg) out.push_back(std::move(current));
            current.clear();
            in_arg = false;
        } else {
            current.push_back(c);
            in_arg = true;
        }
    }
    if (in_arg) out.push_back(std::move(current));
    return out;
}

std::int32_t map_pack_result(int r) {
    switch (r) {
        case 0:
        case 9:  // user abort
        case 2006:
            return 0;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
        case 16:
            return 200 + r;
        case 18:
            return 217;
        case 99:
            return 218;
        case 100:
            return 219;
        case 102:
            return 220;
        case 103:
            return 221;
        case 107:
            return 244;
        case 2001:
        case 2002:
        case 2003:
        case 2004:
        case 2005:
            return 248 + (r - 2001);
        default:
            return 222;
    }
}

std::int32_t map_unpack_result(int r) {
    switch (r) {
        case 0:
        case 1:   // warnings only
        case 80:  // user abort
            return 0;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
            return 222 + r;
        case 9:
        case 10:
        case 11:
            return 222 + r;
        case 50:
            return 234;
        case 51:
            return 235;
        case 81:
            return 237;
        case 82:
            return 238;
        case 99:
            return 239;
        case 101:
            return 240;
        case 104:
            return 241;
        case 105:
            return 242;
        case 106:
            return 243;
        case 107:
            return 244;
        default:
            return 222;
    }
}

}  // namespace pavo::arcvane
