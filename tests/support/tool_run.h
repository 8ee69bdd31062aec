// A command-line tool's entry point run in the test's process: what it printed and returned.
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace pavo::testing {

struct ToolRun {
    int status;
    std::string out, err;
};

// entry: a tool's run_..._tool(args, out, err).
inline ToolRun run_tool(int (*entry)(const std::vector<std::string>&, std::ostream&,
                                     std::ostream&),
                        const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = entry(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace pavo::testing
