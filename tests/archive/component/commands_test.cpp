// The argument lists handed to the engines, their splitting, and the result-to-error tables.
#include "archive/component/src/commands.h"

#include <gtest/gtest.h>

#include "archive/component/arcvane.h"

namespace pavo::arcvane {
namespace {

constexpr const char* kProgram = "/opt/pavo/CorvexArcvane.so";

Settings main_window_backup() {
    // What the main program sets before "ZIP Databases" calls Add.
    Settings s;
    s.source_directory = "c:\\mydata\\KV-DB\\PAVODEN2\\db\\";
    s.files_to_process = "c:\\mydata\\KV-DB\\PAVODEN2\\db\\*.*";
    s.zip_file_name =
        "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\PAVODEN-2026-12-06-17-25-03.zip";
    s.recurse_subdirectories = true;
    s.overwrite = true;
    return s;
}

TEST(ArgumentList, MatchesTheAgreedTextsForEveryOperation) {
    struct Case {
        const char* what;
        Settings s;
        Operation op;
        const char* text;
    };
    Settings plain;
    plain.zip_file_name = "c:\\backup\\a.zip";

    Settings full = plain;
    full.compression_level = 9;
    full.password = "secret";
    full.use_special_wildcards = true;
    full.files_to_process = " *.txt | *.doc ";
    full.files_to_exclude = "tmp\\*|*.bak";
    full.extract_directory = "c:\\temp02\\restored";
    full.overwrite = true;

    Settings flat = plain;
    flat.recurse_subdirectories = false;
    flat.compression_level = 0;
    flat.files_to_process = "";

    Settings restore;  // what "UNZIP Databases" sets
    restore.extract_directory = "c:\\temp02\\restored";
    restore.files_to_process = "*.*";
    restore.zip_file_name =
        "c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\PAVODEN-2026-12-06-17-25-03.zip";
    restore.overwrite = true;

    const Case cases[] = {
        {"add, defaults", plain, Operation::kAdd,
         "\"/opt/pavo/CorvexArcvane.so\" -r -6 -q -t 01011900 -tt 12319999 -S "
         "\"c:\\backup\\a.zip\" * -i \"*\""},
        {"add, everything set", full, Operation::kAdd,
         "\"/opt/pavo/CorvexArcvane.so\" -r -9 -q -t 01011900 -tt 12319999 -S -P secret -Gw "
         "\"c:\\backup\\a.zip\" * -i \"*.txt\" \"*.doc\" -x \"tmp\\*\" \"*.bak\""},
        {"add, no recursion, store, no masks", flat, Operation::kAdd,
         "\"/opt/pavo/CorvexArcvane.so\" -0 -q -t 01011900 -tt 12319999 -S \"c:\\backup\\a.zip\" "
         "*"},
        {"delete", full, Operation::kDelete,
         "\"/opt/pavo/CorvexArcvane.so\" -d -q -Gw \"c:\\backup\\a.zip\" * -i \"*.txt\" \"*.doc\" "
         "-x \"tmp\\*\" \"*.bak\""},
        {"extract, defaults", plain, Operation::kExtract,
         "\"/opt/pavo/CorvexArcvane.so\" -qq -C -n -Ga 0 -Gb 0 \"c:\\backup\\a.zip\" \"*\""},
        {"extract, everything set", full, Operation::kExtract,
         "\"/opt/pavo/CorvexArcvane.so\" -qq -C -o -Ga 0 -Gb 0 -P secret -Gw \"c:\\backup\\a.zip\" "
         "\"*.txt\" \"*.doc\" -d \"c:\\temp02\\restored\" -x \"tmp\\*\" \"*.bak\""},
        {"extract, main window restore", restore, Operation::kExtract,
         "\"/opt/pavo/CorvexArcvane.so\" -qq -C -o -Ga 0 -Gb 0 "
         "\"c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\PAVODEN-2026-12-06-17-25-03.zip\" \"*.*\" "
         "-d \"c:\\temp02\\restored\""},
        {"list, defaults", plain, Operation::kList,
         "\"/opt/pavo/CorvexArcvane.so\" -Z -C \"c:\\backup\\a.zip\" -i \"*\""},
        {"list, masks", full, Operation::kList,
         "\"/opt/pavo/CorvexArcvane.so\" -Z -C \"c:\\backup\\a.zip\" -i \"*.txt\" \"*.doc\" -x "
         "\"tmp\\*\" \"*.bak\""},
        {"list, no masks", flat, Operation::kList,
         "\"/opt/pavo/CorvexArcvane.so\" -Z -C \"c:\\backup\\a.zip\""},
        // The main window spells its mask as a full path inside the source folder; the packing
        // engine compares masks with names relative to that folder, so the mask is made relative.
        {"add, main window backup", main_window_backup(), Operation::kAdd,
         "\"/opt/pavo/CorvexArcvane.so\" -r -6 -q -t 01011900 -tt 12319999 -S "
         "\"c:\\mydata\\KV-DB\\PAVODEN2\\zip\\databases\\PAVODEN-2026-12-06-17-25-03.zip\" * -i "
         "\"*.*\""},
    };
    for (const auto& c : cases) EXPECT_EQ(build_command(c.s, c.op, kProgram), c.text) << c.what;
}

TEST(ArgumentList, PasswordsWithBlanksOrQuotesSurviveTheSplit) {
    Settings s;
    s.zip_file_name = "a.zip";
    for (std::string password : {"two words", "say \"hi\"", "plain"}) {
        s.password = password;
        for (Operation op : {Operation::kAdd, Operation::kExtract}) {
            auto args = split_arguments(build_command(s, op, kProgram));
            auto it = std::find(args.begin(), args.end(), "-P");
            ASSERT_NE(it, args.end());
            ASSERT_NE(it + 1, args.end());
            EXPECT_EQ(*(it + 1), password);
        }
    }
}

TEST(ArgumentList, MaskPiecesAreTrimmedAndEmptyPiecesLeftOut) {
    EXPECT_EQ(mask_list("a|b"), "\"a\" \"b\"");
    EXPECT_EQ(mask_list("  report<12>.txt  |a[1].txt"), "\"report<12>.txt\" \"a[1].txt\"");
    EXPECT_EQ(mask_list("|a||"), "\"a\"");
    EXPECT_EQ(mask_list(""), "");
}

TEST(ArgumentList, OnlyFullPathMasksInsideTheSourceFolderBecomeRelative) {
    struct Case {
        const char* mask;
        const char* source;
        const char* expect;
    } cases[] = {
        {"c:\\mydata\\KV-DB\\PAVODEN2\\db\\*.*", "c:\\mydata\\KV-DB\\PAVODEN2\\db\\", "*.*"},
        {"C:/MYDATA/kv-db/pavoden2/DB/sub/*.db", "c:\\mydata\\KV-DB\\PAVODEN2\\db", "sub/*.db"},
        {"c:\\other\\*.*", "c:\\mydata\\KV-DB\\PAVODEN2\\db\\", "c:\\other\\*.*"},
        {"c:\\mydata\\KV-DB\\PAVODEN2\\dbx\\*", "c:\\mydata\\KV-DB\\PAVODEN2\\db",
         "c:\\mydata\\KV-DB\\PAVODEN2\\dbx\\*"},
        {"*.txt", "c:\\mydata", "*.txt"},
        {"c:\\mydata\\*.txt", "", "c:\\mydata\\*.txt"},
        {"/srv/data/*.txt", "/srv/data/", "*.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(relative_mask(c.mask, c.source), c.expect) << c.mask;
}

TEST(ArgumentList, SplitsAtBlanksOutsideQuotes) {
    struct Case {
        const char* text;
        std::vector<std::string> args;
    } cases[] = {
        {"\"c:\\Program Files\\x.so\" -r -6", {"c:\\Program Files\\x.so", "-r", "-6"}},
        {"  a   b\t c ", {"a", "b", "c"}},
        {"-d \"c:\\temp02\\restored\\\" -x \"a b\"", {"-d", "c:\\temp02\\restored\\", "-x", "a b"}},
        {"\"\" x", {"", "x"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"ab\"c d\"e", {"abc de"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(split_arguments(c.text), c.args) << c.text;
}

TEST(ResultMapping, PackingTable) {
    const std::pair<int, int> table[] = {
        {0, 0},     {2, 202},    {3, 203},    {4, 204},    {5, 205},    {6, 206},    {7, 207},
        {8, 208},   {9, 0},      {10, 210},   {11, 211},   {12, 212},   {13, 213},   {14, 214},
        {15, 215},  {16, 216},   {18, 217},   {99, 218},   {100, 219},  {102, 220},  {103, 221},
        {107, 244}, {2001, 248}, {2002, 249}, {2003, 250}, {2004, 251}, {2005, 252}, {2006, 0},
        {1, 222},   {17, 222},   {101, 222},  {-1, 222},   {80, 222},
    };
    for (auto [result, number] : table) EXPECT_EQ(map_pack_result(result), number) << result;
}

TEST(ResultMapping, UnpackingTable) {
    const std::pair<int, int> table[] = {
        {0, 0},     {1, 0},    {80, 0},   {2, 224},   {3, 225},   {4, 226},   {5, 227},
        {6, 228},   {7, 229},  {9, 231},  {10, 232},  {11, 233},  {50, 234},  {51, 235},
        {81, 237},  {82, 238}, {99, 239}, {101, 240}, {104, 241}, {105, 242}, {106, 243},
        {107, 244}, {8, 222},  {12, 222}, {100, 222}, {-9, 222},
    };
    for (auto [result, number] : table) EXPECT_EQ(map_unpack_result(result), number) << result;
}

TEST(ErrorTexts, EveryNumberAnOperationCanGiveHasItsTextSave240) {
    for (int r = -2; r < 2100; ++r) {
        for (int number : {map_pack_result(r), map_unpack_result(r)}) {
            if (number == 0) continue;
            if (number == cxeErrorNoExtractDir)
                EXPECT_EQ(error_text(number), nullptr);
            else
                EXPECT_NE(error_text(number), nullptr) << number;
        }
    }
    EXPECT_STREQ(error_text(201), "No errors");
    EXPECT_STREQ(error_text(252), "Error writing to ouptut file.");
    EXPECT_EQ(error_text(209), nullptr);
}

TEST(TypeLibrary, DescribesEveryMemberWithItsIdentifierAndType) {
    const auto& lib = type_library();
    EXPECT_EQ(lib.name, "CORVEXARCVANELib");
    EXPECT_EQ(lib.major, 5);
    EXPECT_EQ(lib.minor, 0);
    const auto& i2 = iarcvane2_desc();
    struct Row {
        const char* name;
        DISPID id;
        com::MemberKind kind;
        std::uint16_t type;
    } rows[] = {
        {"Enabled", -514, com::MemberKind::kProperty, com::VT_BOOL},
        {"Add", 2000, com::MemberKind::kMethod, com::VT_I4},
        {"Extract", 2005, com::MemberKind::kMethod, com::VT_I4},
        {"List", 2028, com::MemberKind::kMethod, com::VT_I4},
        {"Delete", 2030, com::MemberKind::kMethod, com::VT_I4},
        {"AllowErrorReporting", 1, com::MemberKind::kProperty, com::VT_BOOL},
        {"ExtractDirectory", 1010, com::MemberKind::kProperty, com::VT_BSTR},
        {"CompressionLevel", 1007, com::MemberKind::kProperty, com::VT_I4},
        {"ZipFileName", 1016, com::MemberKind::kProperty, com::VT_BSTR},
        {"Overwrite", 1000, com::MemberKind::kProperty, com::VT_BOOL},
        {"Password", 1013, com::MemberKind::kProperty, com::VT_BSTR},
        {"RecurseSubDirectories", 1004, com::MemberKind::kProperty, com::VT_BOOL},
        {"FilesToProcess", 1115, com::MemberKind::kProperty, com::VT_BSTR},
        {"FilesToExclude", 1116, com::MemberKind::kProperty, com::VT_BSTR},
        {"SourceDirectory", 1014, com::MemberKind::kProperty, com::VT_BSTR},
        {"UseSpecialWildcards", 1033, com::MemberKind::kProperty, com::VT_BOOL},
    };
    for (const auto& r : rows) {
        const com::MemberDesc* m = i2.find(r.name);
        ASSERT_NE(m, nullptr) << r.name;
        EXPECT_EQ(m->id, r.id) << r.name;
        EXPECT_EQ(m->kind, r.kind) << r.name;
        EXPECT_EQ(m->type, r.type) << r.name;
    }
    EXPECT_EQ(i2.base->name, "IArcvane");
    EXPECT_EQ(i2.base->find("UseSpecialWildcards"), nullptr);
    EXPECT_EQ(lib.classes.at(0)->default_interface, &i2);
    EXPECT_EQ(lib.classes.at(0)->default_source, &events_desc());
    const com::MemberDesc* status = events_desc().find("FileStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->id, 22);
    ASSERT_EQ(status->params.size(), 7u);
    EXPECT_EQ(status->params[6].type, com::VT_BOOL | com::VT_BYREF);
    EXPECT_EQ(events_desc().find("FileInfo")->id, 10);
    EXPECT_EQ(events_desc().find("Error")->id, 3);
}

}  // namespace
}  // namespace pavo::arcvane
