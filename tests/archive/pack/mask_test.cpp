// Mask matching and pack-mask clean-up, as a table of masks, names and outcomes.
#include "archive/zipcore/mask.h"

#include <gtest/gtest.h>

#include <string>

namespace pavo::zip {
namespace {

struct MaskCase {
    const char* mask;
    const char* name;
    bool angle;
    bool ci;
    bool expected;
};

const MaskCase kCases[] = {
    // Stars and question marks; a star crosses folder separators.
    {"*", "", false, false, true},
    {"*", "a/b/c.db", false, false, true},
    {"*.db", "sub/PAVODEN2.db", false, false, true},
    {"*.db", "PAVODEN2.DB", false, false, false},
    {"*.db", "PAVODEN2.DB", false, true, true},
    {"?.txt", "a.txt", false, false, true},
    {"?.txt", "ab.txt", false, false, false},
    {"?.txt", ".txt", false, false, false},
    {"a*b*c", "axxbyyc", false, false, true},
    {"a*b*c", "axxbyyb", false, false, false},
    {"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false, false, false},
    {"**x", "abx", false, false, true},
    {"", "", false, false, true},
    {"", "a", false, false, false},
    // Classes in square brackets: lists, ranges, negation by ! or ^.
    {"report[12].txt", "report1.txt", false, false, true},
    {"report[12].txt", "report3.txt", false, false, false},
    {"[a-j]*", "jsearch2.DB", false, false, true},
    {"[a-j]*", "pavoden2.DB", false, false, false},
    {"[!a-j]*", "pavoden2.DB", false, false, true},
    {"[^a-j]*", "jsearch2.DB", false, false, false},
    {"[a-c]x", "Bx", false, true, true},
    {"[A-C]x", "bx", false, true, true},
    {"[A-C]x", "bx", false, false, false},
    {"[]]", "]", false, false, true},
    {"[-a]", "-", false, false, true},
    {"[a-]", "-", false, false, true},
    {"[\\]]", "]", false, false, true},
    {"[abc", "[abc", false, false, true},  // unclosed: literal
    {"[abc", "a", false, false, false},
    // Angle classes under -Gw; square brackets are then plain characters.
    {"report<12>.txt", "report1.txt", true, false, true},
    {"report<12>.txt", "report2.txt", true, false, true},
    {"report<12>.txt", "report12.txt", true, false, false},
    {"a[1].txt", "a[1].txt", true, false, true},
    {"a[1].txt", "a1.txt", true, false, false},
    {"a<!0-9>", "ax", true, false, true},
    {"a<!0-9>", "a5", true, false, false},
    {"report<12>.txt", "report<12>.txt", false, false, true},
    // Backslash escapes.
    {"\\*.txt", "*.txt", false, false, true},
    {"\\*.txt", "a.txt", false, false, false},
    {"a\\?", "a?", false, false, true},
    {"a\\?", "ab", false, false, false},
    {"\\[x]", "[x]", false, false, true},
};

TEST(MaskMatches, Table) {
    for (const MaskCase& c : kCases) {
        MaskOptions opts;
        opts.angle_classes = c.angle;
        opts.case_insensitive = c.ci;
        EXPECT_EQ(mask_matches(c.mask, c.name, opts), c.expected)
            << "mask '" << c.mask << "' name '" << c.name << "' angle " << c.angle << " ci "
            << c.ci;
    }
}

TEST(MaskMatches, LongHostileInputStaysQuick) {
    // Exponential backtracking would not finish; the linear matcher answers at once.
    std::string mask;
    for (int i = 0; i < 200; ++i) mask += "*a";
    mask += "*b";
    std::string name(5000, 'a');
    EXPECT_FALSE(mask_matches(mask, name, {}));
}

TEST(NormalizePackMask, Table) {
    const std::pair<const char*, const char*> cases[] = {
        {"*.db", "*.db"},
        {"c:\\mydata\\KV-DB\\*.DB", "mydata/KV-DB/*.DB"},
        {"C:/x", "x"},
        {"\\\\server\\x", "server/x"},
        {"./a/b", "a/b"},
        {".\\a", "a"},
        {"././/a", "a"},
        {"../a", "../a"},
        {"sub\\*.txt", "sub/*.txt"},
        {"1:x", "1:x"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(normalize_pack_mask(in), out) << in;
}

}  // namespace
}  // namespace pavo::zip
