// Reads the version block that the build embeds into every executable of the project.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace pavo {

// The key/value pairs of the version block in an ELF file's ".pavo_version" section; empty when the
// file cannot be read, is not ELF, or has no block.
std::map<std::string, std::string> read_version_block(const std::filesystem::path& elf_file);

// One value from the running executable's block (/proc/self/exe); "" when missing.
std::string read_version_value(const std::string& key);

}  // namespace pavo
