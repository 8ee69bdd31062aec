// The packing engine's argument list, parsed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pavo::zip::detail {

struct PackOptions {
    bool delete_mode = false;
    bool recurse = false;
    bool quiet = false;
    bool include_hidden = false;
    bool angle_classes = false;
    bool freshen = false;
    bool update = false;
    bool move = false;
    bool junk_paths = false;
    bool no_dir_entries = false;
    int level = 6;
    std::optional<std::int64_t> after;   // -t: Unix time of local midnight of the date
    std::optional<std::int64_t> before;  // -tt
    std::optional<std::string> password;
    std::string temp_dir;
    std::string archive;
    std::vector<std::string> files;
    std::vector<std::string> include;
    std::vector<std::string> exclude;
};

// Parses argv[1..argc). Returns 0 or 16, with error set to the reason.
int parse_pack_options(int argc, const char* const* argv, PackOptions& out, std::string& error);

// Local midnight of an "mmddyyyy" or "yyyy-mm-dd" date, nullopt when it is not a real date.
std::optional<std::int64_t> parse_pack_date(const std::string& text);

}  // namespace pavo::zip::detail
