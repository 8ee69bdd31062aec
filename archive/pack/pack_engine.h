// The packing engine: creates or updates a ZIP archive from files on disk, or deletes members.
//
// pack_main takes an argument list in the manner of a command line (argv[0] is ignored) and returns
// one of the results below; it never throws. It runs in the process's current folder: stored names
// are paths relative to it with "/" separators, and the temporary archive "ziXXXXXX" is made there
// (or in the "-b" folder). Path arguments follow DriveMap::argument_to_host(): logical
// ("c:\mydata\...") through the drive map, "/..." as a host path, anything else relative to the
// current folder, ".." climbing out of it.
//
// Options: -d delete matching members; -r recurse; -0..-9 level (0 stores); -q quiet; -t mmddyyyy,
// -tt mmddyyyy (modified on or after / before; one of each); -S include hidden and system files;
// -P password (traditional encryption; empty refused); -Gw angle-bracket classes in masks;
// -i masks / -x masks; -f freshen, -u update, -m move (remove the sources after success), -j junk
// folder names, -D no folder entries, -b folder for the temporary file. Options may be combined
// ("-rq"). Anything else is result 16.
//
// On this platform a hidden or system file is one whose name (or the name of a folder above it)
// begins with a dot. Masks and file arguments match names ignoring ASCII case, as the file
// names of the drive map do.
//
// The old archive is never written to: the new one is completed in the temporary file and renamed
// over it (copied into the archive's folder and renamed there when a direct rename is refused). Any
// failure or an abort removes the temporary file and leaves the old archive as it was. Sizes and
// offsets are 32-bit: a file of 4 GiB or more, an archive that would reach 4 GiB or more than
// 65535 members end the run with result 6 before the old archive is replaced.
//
// Compression runs on worker threads (members at once, large members in blocks); callbacks and the
// abort poll run on the calling thread only, and the archive's bytes do not depend on the number of
// threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "archive/zipcore/progress.h"

namespace pavo::zip {

struct PackCallbacks {
    std::function<void(const FileProgress&)> progress;  // per file, from 0 to done
    std::function<bool()> abort_requested;              // polled between blocks
    std::function<void(const std::string&)> message;    // "adding: ..." lines and warnings
};

// Result codes.
enum PackResult : int {
    kPackOk = 0,
    kPackUnexpectedEnd = 2,
    kPackBadStructure = 3,
    kPackOutOfMemory = 4,
    kPackInternal = 5,
    kPackTooBig = 6,
    kPackBadComment = 7,
    kPackZipInvalid = 8,
    kPackInterrupted = 9,
    kPackTempFailure = 10,
    kPackReadFailure = 11,
    kPackNothingToDo = 12,
    kPackMissingZip = 13,
    kPackWriteFailure = 14,
    kPackCreateFailure = 15,
    kPackBadArguments = 16,
    kPackNotFound = 18,
};

int pack_main(int argc, const char* const* argv, const PackCallbacks& cb);
// The message of a result ("Nothing to do!"); "Unknown error" for a code not in the list.
const char* pack_result_text(int result);

// Test and benchmark knobs; they stay in force until changed. Worker threads: 0 = one per core
// (at most 4). Seed: fixed encryption-header bytes for repeatable archives; nullopt = random.
void set_pack_worker_threads(int n);
void set_pack_random_seed(std::optional<std::uint64_t> seed);

}  // namespace pavo::zip
