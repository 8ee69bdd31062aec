// pavoden2-info's arguments: help and unknown arguments are answered before any home is touched.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_home.h"

namespace pavo {
namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome run_info(const std::filesystem::path& home, const std::string& args) {
    std::string cmd = "PAVODEN2_HOME='" + home.string() +
                      "' " PAVO_BINARY_DIR "/utility/pavoden2-info " + args + " 2>&1";
    Outcome o;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.output.append(buf, n);
    int st = ::pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

TEST(InfoTool, AnswersArgumentsWithoutTouchingTheHome) {
    struct Case {
        const char* args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"--help", 0, "usage: pavoden2-info"},
        {"-h", 0, "usage: pavoden2-info"},
        {"--verbose", 2, "unknown argument '--verbose'"},
        {"extra --help", 2, "unknown argument 'extra'"},
    };
    testing::TempHome scratch;
    const auto home = scratch.path() / "not-yet";
    for (const auto& c : cases) {
        Outcome o = run_info(home, c.args);
        EXPECT_EQ(o.status, c.status) << c.args << "\n" << o.output;
        EXPECT_NE(o.output.find(c.says), std::string::npos) << c.args << "\n" << o.output;
        EXPECT_FALSE(std::filesystem::exists(home)) << c.args;
    }
    Outcome plain = run_info(home, "");
    EXPECT_EQ(plain.status, 0) << plain.output;
    EXPECT_NE(plain.output.find("home:    " + home.string()), std::string::npos) << plain.output;
}

}  // namespace
}  // namespace pavo
