// The unpacking engine: extracts the members of a ZIP archive to disk, or lists them.
//
// unpack_main() takes an argument list in the manner of a command line (argv[0] is ignored):
//   -Z             information mode: report each member through member_info, write nothing
//                  (must come first)
//   -q, -qq        fewer messages, none at all
//   -C             masks match member names case-insensitively
//   -o / -n        replace existing files / never replace them (-n wins when both are given)
//   -Ga D, -Gb D   skip members dated after / before day D (MMDDYYYY); "0" is no limit
//   -P PASSWORD    password for members with the traditional encryption
//   -Gw            masks use <...> for character classes instead of [...]
//   -d FOLDER      extract under FOLDER (created when missing) instead of the current folder
//   -x MASK...     leave out members matching any MASK; -i MASK... keep only matching ones
//   -j             junk paths: write every file straight into the extraction folder
//   -t             test: decode and check every member, write nothing
//   -f / -u        freshen (only files already there and older) / update (those, and new ones)
// then the archive name and the masks of the members to process (all when none). Arguments may be
// wrapped in double quotes; a quoted argument is never taken for an option. Paths (the archive,
// -d) follow DriveMap::argument_to_host(): c:\... through the drive map, /... as a host path, and
// anything else relative to the current folder (".." climbing out of it).
//
// Every member name is kept under the extraction folder: a name that is absolute, starts with a
// drive letter, or climbs out with ".." is skipped with a warning, and no symbolic link on the way
// is ever followed. Files appear only when complete: each is written to a temporary name beside its
// target and renamed into place once its CRC checked out, so a damaged member never replaces a
// good file. On this platform a hidden file is one whose name begins with a dot; members are
// extracted whatever their attributes.
//
// Results: 0 success; 1 warnings only (members skipped while others were extracted); 2 a member
// with a bad CRC, a bad local header or undecodable data (the others are still extracted);
// 3 a severely damaged archive; 4 out of memory; 5 a second run started while one is active;
// 9 archive not found or without a central directory; 10 invalid options (or an extraction folder
// that cannot be created); 11 no member matched; 50 the disk became full or a file could not be
// written; 51 the archive ended prematurely; 80 user abort; 81 nothing extracted, every candidate
// used an unsupported method or encryption; 82 nothing extracted because of a bad password.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/zipcore/progress.h"

namespace pavo::zip {

struct MemberInfo {
    std::string name, comment;
    std::uint64_t uncompressed_size = 0, compressed_size = 0;
    int ratio =
        0;  // integer part of 100 - 100 * compressed / uncompressed; 100 for an empty member
    std::uint32_t crc32 = 0;
    // The member's modification time as local wall-clock time counted in seconds from 1970-01-01
    // 00:00 (that is, a Unix time whose UTC reading shows the local date and time).
    std::int64_t mtime = 0;
    bool encrypted = false;
};

struct UnpackCallbacks {
    std::function<void(std::uint64_t)> total_bytes;      // once, before the first member
    std::function<void(const FileProgress&)> progress;   // as each member progresses
    std::function<void(const MemberInfo&)> member_info;  // information mode, per member
    std::function<bool()> abort_requested;               // polled between blocks
    std::function<void(const std::string&)> message;     // progress lines and warnings
};

// Runs the engine in the process's current folder; returns a result code above. Never throws.
int unpack_main(int argc, const char* const* argv, const UnpackCallbacks& cb);

// The message text of a result code ("" for codes the engine does not return).
const char* unpack_result_text(int result);

}  // namespace pavo::zip
