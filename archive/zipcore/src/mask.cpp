// Wildcard matching without recursion: a "*" is revisited by backtracking to its last position
// only, which keeps hostile masks such as "*a*a*a*a*b" linear per star instead of exponential.
#include "archive/zipcore/mask.h"

#include <cstddef>

namespace pavo::zip {

namespace {

char fold(char c, bool ci) {
    if (ci && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Where the class opening at mask[open] ends (index of the closing bracket), or npos when unclosed.
std::size_t class_end(std::string_view mask, std::size_t open, char close) {
    std::size_t i = open + 1;
    if (i < mask.size() && (mask[i] == '!' || mask[i] == '^')) ++i;
    // A closing bracket right at the start is a member, as in POSIX classes.
    if (i < mask.size() && mask[i] == close) ++i;
    while (i < mask.size()) {
        if (mask[i] == '\\' && i + 1 < mask.size()) {
            i += 2;
            continue;
        }
        if (mask[i] == close) return i;
        ++i;
    }
    return std::string_view::npos;
}

bool class_matches(std::string_view body, char c, bool ci) {
    bool negate = false;
    std::size_t i = 0;
    if (!body.empty() && (body[0] == '!' || body[0] == '^')) {
        negate = true;
        i = 1;
    }
    char fc = fold(c, ci);
    bool hit = false;
    while (i < body.size()) {
        char lo = body[i];
        if (lo == '\\' && i + 1 < body.size()) lo = body[++i];
        ++i;
        char hi = lo;
        // "a-j" is a range; a "-" first or last in the class is itself.
        if (i + 1 < body.size() && body[i] == '-') {
            hi = body[i + 1];
            if (hi == '\\' && i + 2 < body.size()) {
                hi = body[i + 2];
                ++i;
            }
            i += 2;
        }
        unsigned char ulo = static_cast<unsigned char>(fold(lo, ci));
        unsigned char uhi = static_cast<unsigned char>(fold(hi, ci));
        unsigned char uc = static_cast<unsigned char>(fc);
        if (ulo <= uc && uc <= uhi) hit = true;
        // Under case folding a range like "A-Z" folds to "a-z"; a mixed range keeps both ends'
        // cases.
        if (ci && !hit) {
            unsigned char raw = static_cast<unsigned char>(c);
            if (static_cast<unsigned char>(lo) <= raw && raw <= static_cast<unsigned char>(hi))
                hit = true;
        }
    }
    return hit != negate;
}

// Matches one mask element at mask[mi] against name[ni]; sets len to the element's length.
// Returns false when the element is "*" (handled by the caller) or does not match.
bool element_matches(std::string_view mask, std::size_t mi, char c, const MaskOptions& opts,
                     std::size_t& len) {
    char m = mask[mi];
    char open = opts.angle_classes ? '<' : '[';
    char close = opts.angle_classes ? '>' : ']';
    if (m == '?') {
        len = 1;
        return true;
    }
    if (m == '\\' && mi + 1 < mask.size()) {
        len = 2;
        return fold(mask[mi + 1], opts.case_insensitive) == fold(c, opts.case_insensitive);
    }
    if (m == open) {
        std::size_t end = class_end(mask, mi, close);
        if (end != std::string_view::npos) {
            len = end - mi + 1;
            return class_matches(mask.substr(mi + 1, end - mi - 1), c, opts.case_insensitive);
        }
    }
    len = 1;
    return fold(m, opts.case_insensitive) == fold(c, opts.case_insensitive);
}

}  // namespace

bool mask_matches(std::string_view mask, std::string_view name, const MaskOptions& opts) {
    std::size_t mi = 0, ni = 0;
    std::size_t star_mi = std::string_view::npos, star_ni = 0;
    while (ni < name.size()) {
        if (mi < mask.size() && mask[mi] == '*') {
            while (mi < mask.size() && mask[mi] == '*') ++mi;
            star_mi = mi;
            star_ni = ni;
            continue;
        }
        std::size_t len = 0;
        if (mi < mask.size() && element_matches(mask, mi, name[ni], opts, len)) {
            mi += len;
            ++ni;
            continue;
        }
        if (star_mi == std::string_view::npos) return false;
        mi = star_mi;
        ni = ++star_ni;
    }
    while (mi < mask.size() && mask[mi] == '*') ++mi;
    return mi == mask.size();
}

std::string normalize_pack_mask(std::string_view mask) {
    std::string m(mask);
    for (char& c : m)
        if (c == '\\') c = '/';
    std::size_t i = 0;
    if (m.size() >= 2 && m[1] == ':' &&
        ((m[0] >= 'a' && m[0] <= 'z') || (m[0] >= 'A' && m[0] <= 'Z')))
        i = 2;
    for (;;) {
        if (i < m.size() && m[i] == '/') {
            ++i;
        } else if (i + 1 < m.size() && m[i] == '.' && m[i + 1] == '/') {
            i += 2;
        } else {
            break;
        }
    }
    return m.substr(i);
}

}  // namespace pavo::zip
