// The archive's command-line fronts name archives and folders by one path rule: the same files
// packed, listed and extracted by arcvane-pack, arcvane-unpack and arcvane through a host path, a
// relative path climbing with "..", a z: path and a c: path give the same members and the same
// files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/registry.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace pavo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;
};

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

// Runs a program in folder cwd with the given arguments; stdout and stderr together.
Outcome run(const fs::path& cwd, const char* program, const std::vector<std::string>& args) {
    std::string cmd = "cd " + quoted(cwd.string()) + " && " + quoted(program);
    for (const auto& a : args) cmd += " " + quoted(a);
    cmd += " 2>&1";
    Outcome o;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) o.output.append(buf, n);
    int st = ::pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out[fs::relative(e.path(), root).generic_string()] = read_whole_file(e.path());
    return out;
}

std::string backslashed(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// The lines of a listing that name members, without the event lines around them.
std::string member_lines(const std::string& output, const std::string& prefix) {
    std::istringstream in(output);
    std::string line, out;
    while (std::getline(in, line))
        if (prefix.empty() || line.rfind(prefix, 0) == 0) out += line + "\n";
    return out;
}

// One way of writing the archive, the extraction folder and the source folder on a command line,
// and the folder the command runs in.
struct Form {
    std::string name;
    fs::path cwd;
    std::string archive, folder, source;
};

class Fronts : public ::testing::Test {
  protected:
    void SetUp() override {
        c_ = home.drive_c();
        for (const char* d : {"src/Sub/deeper", "zips", "out", "work/here"})
            fs::create_directories(c_ / d);
        std::mt19937 rng(7);
        std::string table(120000, '\0');
        for (char& ch : table) ch = static_cast<char>(rng() % 16);  // compressible, not trivial
        write_file_atomically(c_ / "src" / "a.txt", "alpha\n");
        write_file_atomically(c_ / "src" / "Sub" / "JSEARCH2.DB", table);
        write_file_atomically(c_ / "src" / "Sub" / "deeper" / "c.txt", std::string(5000, 'c'));
    }

    // Archive file names differ per form so that no form reads another's archive.
    std::vector<Form> forms(const std::string& tag) const {
        const fs::path work = c_ / "work" / "here";
        return {
            {"host", work, (c_ / "zips" / (tag + "-host.zip")).string(),
             (c_ / "out" / (tag + "-host")).string(), (c_ / "src").string()},
            {"relative", work, "../../zips/" + tag + "-relative.zip",
             "../../out/./" + tag + "-relative", "../../src"},
            {"z", work, "z:" + backslashed(c_ / "zips" / (tag + "-z.zip")),
             "z:" + backslashed(c_ / "out" / (tag + "-z")), "z:" + backslashed(c_ / "src")},
            {"c", work, R"(c:\ZIPS\)" + tag + "-c.zip", R"(C:\out\)" + tag + "-c", R"(c:\SRC)"},
        };
    }

    testing::TempHome home;
    fs::path c_;
};

TEST_F(Fronts, PackAndUnpackProgramsAgreeOnEveryPathForm) {
    const auto expected = tree(c_ / "src");
    std::string first_listing;
    for (const Form& f : forms("engines")) {
        SCOPED_TRACE(f.name);
        // Stored names are relative to the folder the packer runs in, so it runs in the sources;
        // the relative form then climbs from there.
        std::string archive = f.archive;
        if (f.name == "relative") archive = "../zips/engines-relative.zip";
        Outcome pack = run(c_ / "src", PAVO_ARCVANE_PACK, {"-r", "-q", archive, "*"});
        ASSERT_EQ(pack.status, 0) << pack.output;
        ASSERT_TRUE(fs::is_regular_file(c_ / "zips" / ("engines-" + f.name + ".zip")));

        Outcome list = run(f.cwd, PAVO_ARCVANE_UNPACK, {"-Z", f.archive});
        ASSERT_EQ(list.status, 0) << list.output;
        if (first_listing.empty()) first_listing = list.output;
        EXPECT_EQ(list.output, first_listing);

        Outcome unpack = run(f.cwd, PAVO_ARCVANE_UNPACK, {"-qq", "-o", f.archive, "-d", f.folder});
        ASSERT_EQ(unpack.status, 0) << unpack.output;
        EXPECT_EQ(tree(c_ / "out" / ("engines-" + f.name)), expected);
    }
    EXPECT_NE(first_listing.find("Sub/deeper/c.txt"), std::string::npos) << first_listing;
    // Nothing landed beside the folder the commands ran in.
    EXPECT_TRUE(fs::is_empty(c_ / "work" / "here"));
}

TEST_F(Fronts, TheClientAgreesOnEveryPathForm) {
    std::string why;
    ASSERT_EQ(com::register_server(PAVO_SERVER, &why), com::S_OK) << why;
    const auto expected = tree(c_ / "src");
    std::string first_listing;
    for (const Form& f : forms("client")) {
        SCOPED_TRACE(f.name);
        Outcome add = run(f.cwd, PAVO_CLIENT,
                          {"Add", "ZipFileName=" + f.archive, "SourceDirectory=" + f.source,
                           "RecurseSubDirectories=true"});
        ASSERT_EQ(add.status, 0) << add.output;
        ASSERT_TRUE(fs::is_regular_file(c_ / "zips" / ("client-" + f.name + ".zip")));

        Outcome list = run(f.cwd, PAVO_CLIENT, {"List", "ZipFileName=" + f.archive});
        ASSERT_EQ(list.status, 0) << list.output;
        const std::string members = member_lines(list.output, "FileInfo ");
        if (first_listing.empty()) first_listing = members;
        EXPECT_EQ(members, first_listing);

        Outcome extract =
            run(f.cwd, PAVO_CLIENT,
                {"Extract", "ZipFileName=" + f.archive, "ExtractDirectory=" + f.folder});
        ASSERT_EQ(extract.status, 0) << extract.output;
        EXPECT_EQ(tree(c_ / "out" / ("client-" + f.name)), expected);
    }
    EXPECT_NE(first_listing.find("JSEARCH2.DB"), std::string::npos) << first_listing;
    EXPECT_TRUE(fs::is_empty(c_ / "work" / "here"));
}

TEST_F(Fronts, HelpStatesThePathRule) {
    for (const char* program : {PAVO_ARCVANE_PACK, PAVO_ARCVANE_UNPACK, PAVO_CLIENT}) {
        Outcome help = run(c_, program, {"--help"});
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_NE(help.output.find("relative to the current folder, and .. climbs"),
                  std::string::npos)
            << program << ":\n"
            << help.output;
    }
}

}  // namespace
}  // namespace pavo
