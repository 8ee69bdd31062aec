// The control's settings and the argument lists it hands the engines, their splitting, and the
// mapping of engine results to the control's error numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pavo::arcvane {

// Settings of one control instance, text kept as UTF-8.
struct Settings {
    bool enabled = true;
    std::string zip_file_name;
    std::string source_directory;
    std::string extract_directory;
    std::string files_to_process = "*";
    std::string files_to_exclude;
    std::int32_t compression_level = 6;
    bool recurse_subdirectories = true;
    bool overwrite = false;
    std::string password;
    bool use_special_wildcards = false;
    // The property reads false on a new instance while the reporting it switches is on; the first
    // write sets both.
    bool allow_error_reporting = false;
    bool error_reporting = true;
};

enum class Operation { kAdd, kDelete, kExtract, kList };

inline bool is_packing(Operation op) {
    return op == Operation::kAdd || op == Operation::kDelete;
}

// "a|b | c" -> "\"a\" \"b\" \"c\"" (pieces trimmed, empty pieces left out).
std::string mask_list(std::string_view masks);

// A mask spelled as a full path inside the source folder becomes relative to it, since the packing
// engine compares masks with names relative to that folder ("c:\db\*.*" under "c:\db\" -> "*.*").
std::string relative_mask(std::string_view mask, std::string_view source_directory);

// The whole argument text of a run, beginning with the quoted program path.
std::string build_command(const Settings& s, Operation op, std::string_view program);

// Splits at blanks outside double quotes; the quotes themselves are dropped and "" inside a quoted
// piece stands for one quote character.
std::vector<std::string> split_arguments(std::string_view text);

// Engine result -> error number (0 for success, warnings and user aborts).
std::int32_t map_pack_result(int result);
std::int32_t map_unpack_result(int result);

// Engine results the control produces itself.
inline constexpr int kResultBadArchiveName = 99;    // packing: 218, unpacking: 239
inline constexpr int kResultNoSourceFolder = 100;   // packing: 219
inline constexpr int kResultNoArchiveFolder = 103;  // packing: 221
inline constexpr int kResultSpanRead = 104;         // 241
inline constexpr int kResultSpanMemory = 105;       // 242
inline constexpr int kResultSpanUnknown = 106;      // 243
inline constexpr int kResultNoSpanLibrary = 107;    // 244

}  // namespace pavo::arcvane
