// Turning the file arguments and masks into the list of files and folders to store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/pack/src/pack_options.h"

namespace pavo::zip::detail {

struct SourceItem {
    std::string stored_name;  // "/" separators, folders end with "/"
    std::filesystem::path host;
    bool is_dir = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0, atime = 0;
    std::uint32_t mode = 0;
};

struct Selection {
    std::vector<SourceItem> items;  // in the order they are stored, names unique
    std::vector<std::string> warnings;
};

// Walks the file arguments against cwd. skip is the archive being written (never added to itself).
Selection select_sources(const PackOptions& opts, const std::filesystem::path& cwd,
                         const std::filesystem::path& skip);

// Whether a stored name passes the -i/-x masks (and hidden rule) of opts.
bool passes_masks(const PackOptions& opts, const std::string& stored_name);

// Whether any component of a stored name begins with a dot.
bool is_hidden_name(const std::string& stored_name);

// Host path of a path argument, by the rule of every command line (DriveMap::argument_to_host).
std::filesystem::path map_path_argument(const std::string& text, const std::filesystem::path& cwd);

}  // namespace pavo::zip::detail
