// Our archives read by Python's zipfile, 7-Zip and bsdtar, and theirs read by our unpacker.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "archive/pack/pack_engine.h"
#include "archive/pack/src/pack_compress.h"
#include "archive/zipcore/crc32.h"
#include "pack_test_support.h"
#ifdef PAVO_HAVE_UNPACK
#include "archive/unpack/unpack_engine.h"
#endif

namespace pavo::zip::testing {
namespace {

struct CommandResult {
    int status = -1;
    std::string output;
};

CommandResult run_command(const std::string& cmd) {
    CommandResult r;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string quote(const fs::path& p) {
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'')
            s += "'\\''";
        else
            s += c;
    }
    return s + "'";
}

bool have(const std::string& program) {
    return run_command("command -v " + program + " >/dev/null").status == 0;
}

// Debian's 7zip package installs 7zz; others name it 7z.
std::string seven_zip() {
    if (have("7z")) return "7z";
    if (have("7zz")) return "7zz";
    return {};
}

// Every regular file and folder under root, relative, folders ending in "/"; file -> content.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        std::string rel = fs::relative(it->path(), root).generic_string();
        if (it->is_directory())
            out[rel + "/"] = "";
        else if (it->is_regular_file())
            out[rel] = read_bytes(it->path());
    }
    return out;
}

void expect_same_tree(const fs::path& expected, const fs::path& actual, const std::string& who) {
    auto a = tree(expected), b = tree(actual);
    std::set<std::string> na, nb;
    for (const auto& [k, v] : a) na.insert(k);
    for (const auto& [k, v] : b) nb.insert(k);
    EXPECT_EQ(na, nb) << who;
    for (const auto& [k, v] : a) {
        auto it = b.find(k);
        if (it != b.end()) {
            EXPECT_TRUE(it->second == v) << who << ": content differs: " << k;
        }
    }
}

// The sample tree: table files, folders (one empty), an empty file, noise, a non-ASCII name.
void make_sample(PackSandbox& box) {
    box.write("PAVODEN2.DB", table_like(300000, 1));
    box.write("jsearch2.DB", table_like(120000, 2));
    box.write("sub/STATS_JT.DB", table_like(60000, 3));
    box.write("sub/deeper/notes.txt", "a note\n");
    box.write("sub/empty.txt", "");
    box.write("noise.bin", noise(70000));
    box.write("Überweisung März.txt", "Zahlung\n");
    fs::create_directories(box.src() / "emptydir");
}

// Python's view of an archive: "name crc32-of-extracted-data" per line, with the password.
std::string python_listing(const fs::path& zip, const std::string& password) {
    std::string script =
        "import sys, zipfile, zlib\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "if len(sys.argv) > 2: z.setpassword(sys.argv[2].encode())\n"
        "for i in z.infolist():\n"
        "    d = z.read(i)\n"
        "    assert zlib.crc32(d) == i.CRC, i.filename\n"
        "    print(i.filename, '%08x' % zlib.crc32(d), len(d))\n";
    std::string cmd = "python3 -c " + quote(script) + " " + quote(zip);
    if (!password.empty()) cmd += " " + quote(password);
    auto r = run_command(cmd);
    EXPECT_EQ(r.status, 0) << r.output;
    return r.output;
}

std::string expected_listing(const fs::path& root, const std::vector<Member>& members) {
    std::string out;
    for (const auto& m : members) {
        std::string name = m.entry.name;
        std::string data = m.entry.is_directory() ? "" : read_bytes(root / name);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", crc32_update(0, data.data(), data.size()));
        out += name + " " + crc + " " + std::to_string(data.size()) + "\n";
    }
    return out;
}

class Peers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have("python3") || !have("bsdtar") || seven_zip().empty())
            GTEST_SKIP() << "python3, bsdtar or 7z missing (scripts/test installs them)";
        // Small blocks so the large-member path (blocks, data descriptor) is covered too.
        detail::set_block_sizes_for_tests(200000, 64 * 1024);
    }
    void TearDown() override { detail::set_block_sizes_for_tests(0, 0); }
};

TEST_F(Peers, OurArchivesAtEveryLevelAreReadByAllThree) {
    PackSandbox box;
    make_sample(box);
    std::string sz = seven_zip();
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        fs::path zip = box.out("l" + std::to_string(level) + ".zip");
        ASSERT_EQ(run_pack({"-r", "-" + std::to_string(level), "-q", "-S", zip.string(), "*"}).rc,
                  0);
        EXPECT_EQ(python_listing(zip, ""), expected_listing(box.src(), read_members(zip)));
        fs::path x7 = box.root() / ("x7-" + std::to_string(level));
        auto r7 = run_command(sz + " x -y -o" + quote(x7) + " " + quote(zip));
        EXPECT_EQ(r7.status, 0) << r7.output;
        expect_same_tree(box.src(), x7, "7z");
        fs::path xb = box.root() / ("xb-" + std::to_string(level));
        fs::create_directories(xb);
        auto rb = run_command("bsdtar -xf " + quote(zip) + " -C " + quote(xb));
        EXPECT_EQ(rb.status, 0) << rb.output;
        expect_same_tree(box.src(), xb, "bsdtar");
    }
}

TEST_F(Peers, OurEncryptedArchivesAreReadByZipfileAnd7z) {
    PackSandbox box;
    make_sample(box);
    fs::path zip = box.out("enc.zip");
    ASSERT_EQ(run_pack({"-r", "-6", "-q", "-P", "Pa55 word", zip.string(), "*"}).rc, 0);
    EXPECT_EQ(python_listing(zip, "Pa55 word"), expected_listing(box.src(), read_members(zip)));
    fs::path x7 = box.root() / "x7";
    auto r7 = run_command(seven_zip() + " x -y -p" + quote("Pa55 word") + " -o" + quote(x7) + " " +
                          quote(zip));
    EXPECT_EQ(r7.status, 0) << r7.output;
    expect_same_tree(box.src(), x7, "7z");
    auto bad = run_command(seven_zip() + " t -pwrong " + quote(zip));
    EXPECT_NE(bad.status, 0) << "7z accepted a wrong password";
}

TEST_F(Peers, UpdatedAndDeletedArchivesStayReadable) {
    PackSandbox box;
    make_sample(box);
    fs::path zip = box.out("upd.zip");
    ASSERT_EQ(run_pack({"-r", "-q", zip.string(), "*"}).rc, 0);
    box.write("PAVODEN2.DB", table_like(250000, 7));
    ASSERT_EQ(run_pack({"-q", "-9", zip.string(), "PAVODEN2.DB"}).rc, 0);
    ASSERT_EQ(run_pack({"-d", "-q", zip.string(), "noise.bin"}).rc, 0);
    fs::remove(box.src() / "noise.bin");
    EXPECT_EQ(python_listing(zip, ""), expected_listing(box.src(), read_members(zip)));
    fs::path x7 = box.root() / "x7";
    auto r7 = run_command(seven_zip() + " x -y -o" + quote(x7) + " " + quote(zip));
    EXPECT_EQ(r7.status, 0) << r7.output;
    expect_same_tree(box.src(), x7, "7z");
}

#ifdef PAVO_HAVE_UNPACK

// Runs the unpacker from the sandbox root, where archive and folder are named relative to it
// (relative names cannot climb out of the current folder through the drive map).
int run_unpack(const PackSandbox& box, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"arcvane-unpack"};
    for (const auto& a : args) argv.push_back(a.c_str());
    UnpackCallbacks cb;
    fs::path back = fs::current_path();
    fs::current_path(box.root());
    int rc = unpack_main(static_cast<int>(argv.size()), argv.data(), cb);
    fs::current_path(back);
    return rc;
}

TEST_F(Peers, TheirArchivesAreReadByOurUnpacker) {
    PackSandbox box;
    make_sample(box);
    std::string sz = seven_zip();
    struct Maker {
        std::string name, command;
        std::string password;
    };
    std::string zipfile_script =
        "import os, sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:\n"
        "    for root, dirs, files in os.walk('.'):\n"
        "        for d in dirs: z.write(os.path.join(root, d)[2:])\n"
        "        for f in files:\n"
        "            p = os.path.join(root, f)[2:]\n"
        "            z.write(p, compress_type=zipfile.ZIP_STORED if f.endswith('.bin') else "
        "None)\n";
    fs::path out = box.root() / "out";
    const Maker makers[] = {
        {"zipfile", "python3 -c " + quote(zipfile_script) + " " + quote(out / "py.zip"), ""},
        {"7z", sz + " a -tzip -mx=6 -mmt=1 " + quote(out / "7z.zip") + " .", ""},
        {"7z-crypt", sz + " a -tzip -mem=ZipCrypto -pSecret " + quote(out / "7z-crypt.zip") + " .",
         "Secret"},
        {"bsdtar", "bsdtar --format zip -cf " + quote(out / "bsdtar.zip") + " .", ""},
    };
    const char* files[] = {"py.zip", "7z.zip", "7z-crypt.zip", "bsdtar.zip"};
    int i = 0;
    for (const Maker& m : makers) {
        SCOPED_TRACE(m.name);
        auto r = run_command(m.command);
        ASSERT_EQ(r.status, 0) << r.output;
        std::string zip = std::string("out/") + files[i++];
        std::string dest = "ours-" + m.name;
        std::vector<std::string> args{"-qq", "-o"};
        if (!m.password.empty()) {
            args.push_back("-P");
            args.push_back(m.password);
        }
        args.push_back(zip);
        args.push_back("-d");
        args.push_back(dest);
        EXPECT_EQ(run_unpack(box, args), 0);
        expect_same_tree(box.src(), box.root() / dest, m.name);
    }
}

TEST_F(Peers, OurArchivesRoundTripThroughOurUnpacker) {
    PackSandbox box;
    make_sample(box);
    fs::path zip = box.out("own.zip");
    ASSERT_EQ(run_pack({"-r", "-q", "-P", "pw", zip.string(), "*"}).rc, 0);
    EXPECT_EQ(run_unpack(box, {"-qq", "-o", "-P", "pw", "out/own.zip", "-d", "own"}), 0);
    expect_same_tree(box.src(), box.root() / "own", "own unpacker");
}

#endif

}  // namespace
}  // namespace pavo::zip::testing
