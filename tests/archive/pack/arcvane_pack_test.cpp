// arcvane-pack as a black box: the argument list exactly as the control builds it, the exit code,
// and output only when not quiet.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <set>

#include "pack_test_support.h"

namespace pavo::zip::testing {
namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome run_program(const std::string& args) {
    Outcome o;
    std::string cmd = std::string(PAVO_ARCVANE_PACK) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.output.append(buf, n);
    int st = ::pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

TEST(ArcvanePack, ControlArgumentListsAddAndDelete) {
    PackSandbox box;
    box.write("PAVODEN2.DB", table_like(20000));
    box.write("notes.txt", "n");
    box.write("sub/jsearch2.DB", table_like(9000, 2));
    fs::create_directories(box.root() / "home" / "drive_c" / "mydata" / "zip");
    // What the control passes for Add with FilesToProcess "*.DB|*.txt", recursion, level 6.
    const std::string zip = "\"c:\\mydata\\zip\\2024-01-02-03-04-05.zip\"";
    auto add = run_program("-r -6 -q -t 01011900 -tt 12319999 -S '" + zip +
                           "' '*' -i '\"*.DB\"' '\"*.txt\"'");
    EXPECT_EQ(add.status, 0) << add.output;
    EXPECT_EQ(add.output, "");  // quiet
    fs::path host = box.root() / "home" / "drive_c" / "mydata" / "zip" / "2024-01-02-03-04-05.zip";
    std::set<std::string> names;
    for (const auto& m : read_members(host)) names.insert(m.entry.name);
    EXPECT_EQ(names, (std::set<std::string>{"PAVODEN2.DB", "notes.txt", "sub/jsearch2.DB"}));
    // Delete with FilesToProcess "notes.txt", then again: nothing to do.
    EXPECT_EQ(run_program("-d -q '" + zip + "' '*' -i '\"notes.txt\"'").status, 0);
    auto again = run_program("-d -q '" + zip + "' '*' -i '\"notes.txt\"'");
    EXPECT_EQ(again.status, 12);
    EXPECT_NE(again.output.find("Nothing to do!"), std::string::npos) << again.output;
    // Not quiet: one line per packed file.
    auto loud = run_program("-r '" + box.out("loud.zip").string() + "' notes.txt");
    EXPECT_EQ(loud.status, 0);
    EXPECT_NE(loud.output.find("notes.txt"), std::string::npos) << loud.output;
    EXPECT_EQ(run_program("-q -Z x.zip '*'").status, 16);
}

}  // namespace
}  // namespace pavo::zip::testing
