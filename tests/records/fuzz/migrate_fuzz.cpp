// Fuzz target of the old-table reading: the checks, then pxlib and the memo reader, in this
// process. Any input is either refused with an OldFileError or read; nothing may crash, hang or
// read out of bounds. Input: a 4-byte little-endian length, that many bytes of table file, then
// the memo file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "records/src/migrate_internal.h"

using namespace pavo::records::migrate;

namespace {

// A file in memory with a path the reader can open.
struct MemFile {
    explicit MemFile(const std::string& bytes) {
        fd = ::memfd_create("fuzz", 0);
        if (fd < 0) std::abort();
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    ~MemFile() { ::close(fd); }
    int fd;
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::uint32_t db_size;
    std::memcpy(&db_size, data, 4);
    const std::string input(reinterpret_cast<const char*>(data) + 4, size - 4);
    db_size = std::min<std::uint32_t>(db_size, static_cast<std::uint32_t>(input.size()));
    const std::string db = input.substr(0, db_size);
    const std::string mb = input.substr(db_size);

    // The memo reader on the input's own tail as a record's memo field.
    const ByteSource memo = memory_source(mb);
    if (mb.size() >= 10) {
        bool in_record = true;
        try {
            (void)read_memo(
                &memo,
                std::string_view(mb).substr(mb.size() - std::min<std::size_t>(mb.size(), 30)),
                in_record);
        } catch (const OldFileError&) {
        }
    }

    try {
        // The blocks of an encrypted table cannot be checked before pxlib decrypts them; such a
        // table is read only in the child process, whose time limit stops a looping chain.
        if (check_table_file(memory_source(db)).encrypted) return 0;
    } catch (const OldFileError&) {
        return 0;
    }
    MemFile db_file(db), mb_file(mb);
    const std::filesystem::path mb_path = mb_file.path;
    for (const std::filesystem::path* m :
         {static_cast<const std::filesystem::path*>(nullptr), &mb_path}) {
        try {
            (void)read_table(db_file.path, m, true);
        } catch (const OldFileError&) {
        } catch (const pavo::Error&) {
        }
    }
    return 0;
}
