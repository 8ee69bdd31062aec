// File I/O behind one small interface, so tests can make a write fail, a disk fill up or a rename
// break.
//
// Every path here is a host path (see drive_map.h for the logical <-> host mapping). Every call
// that fails throws pavo::Error with kind kNotFound, kExists or kIO and the errno beside its text,
// except make_directory(), which returns the errno because its callers decide whether it matters.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace pavo {

namespace fs = std::filesystem;

// An open file. Positioned reads and writes (pread/pwrite) are safe from several threads at once.
class File {
  public:
    virtual ~File() = default;
    // Reads up to n bytes at the current position; returns the count, 0 at the end.
    virtual std::size_t read(void* buf, std::size_t n) = 0;
    // Reads up to n bytes at offset; returns the count, short only at the end of the file.
    virtual std::size_t read_at(void* buf, std::size_t n, std::uint64_t offset) = 0;
    // Writes all n bytes at the current position or throws (a short write is an error: ENOSPC).
    virtual void write(const void* buf, std::size_t n) = 0;
    virtual void write_at(const void* buf, std::size_t n, std::uint64_t offset) = 0;
    virtual void seek(std::uint64_t offset) = 0;
    virtual std::uint64_t tell() = 0;
    virtual std::uint64_t size() = 0;
    virtual void truncate(std::uint64_t size) = 0;
    // Flushes data to stable storage.
    virtual void sync() = 0;
    // Closes the file; a failure of the close itself is reported (data may be lost on NFS).
    virtual void close() = 0;
    // Host descriptor, or -1 when there is none (test doubles).
    virtual int native_handle() const { return -1; }
};

enum class OpenMode {
    kRead,       // existing file, read only
    kReadWrite,  // existing file, read and write
    kCreate,     // create or truncate, write (and read)
    kCreateNew,  // create, failing with kExists when the file exists
};

enum class EntryType { kFile, kDirectory, kSymlink, kOther, kMissing };

struct FileInfo {
    EntryType type = EntryType::kMissing;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;  // seconds since the Unix epoch
    std::int64_t atime = 0;
    std::uint32_t mode = 0;  // permission bits
};

struct DirEntry {
    std::string name;                    // the component only
    EntryType type = EntryType::kOther;  // of the entry itself, links not followed
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual std::unique_ptr<File> open(const fs::path& path, OpenMode mode,
                                       std::uint32_t permissions = 0644) = 0;
    // Entry type and times; follow_links=false describes a link itself. A missing path gives
    // kMissing.
    virtual FileInfo stat(const fs::path& path, bool follow_links = true) = 0;
    // Names in a directory (without "." and ".."), in no particular order.
    virtual std::vector<DirEntry> list(const fs::path& dir) = 0;
    // Creates one directory level; returns 0 or the errno (EEXIST when it exists).
    virtual int make_directory(const fs::path& path) = 0;
    // Renames over an existing target atomically.
    virtual void rename(const fs::path& from, const fs::path& to) = 0;
    virtual void remove(const fs::path& path) = 0;  // a file or an empty directory
    virtual void set_times(const fs::path& path, std::int64_t mtime, std::int64_t atime) = 0;
    virtual void set_permissions(const fs::path& path, std::uint32_t mode) = 0;
    // Makes a directory's entries (a rename, a new file) durable.
    virtual void sync_directory(const fs::path& dir) = 0;

    bool exists(const fs::path& path) { return stat(path).type != EntryType::kMissing; }
    bool is_directory(const fs::path& path) { return stat(path).type == EntryType::kDirectory; }
};

// The file system every module uses; the real one unless a test installed another.
FileSystem& file_system();
// Installs fs (not owned) for the whole process; nullptr restores the real one. Returns the
// previous.
FileSystem* set_file_system(FileSystem* fs);
// The real POSIX file system.
FileSystem& real_file_system();

// Writes data to path through a temporary file in the same directory, synced, then renamed over
// path: a crash leaves either the old or the new content, never a mix.
void write_file_atomically(const fs::path& path, const std::string& data);
// Whole-file read; kNotFound when missing.
std::string read_whole_file(const fs::path& path);

// RAII installer for tests.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(FileSystem* fs) : previous_(set_file_system(fs)) {}
    ~ScopedFileSystem() { set_file_system(previous_); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

  private:
    FileSystem* previous_;
};

// A file system over the real one that injects failures, for tests.
// Each limit is off when negative. Counters count calls since construction (or reset()).
class FaultyFileSystem : public FileSystem {
  public:
    explicit FaultyFileSystem(FileSystem& base = real_file_system()) : base_(base) {}

    long long fail_write_after_bytes = -1;  // total bytes written before writes fail with ENOSPC
    int fail_rename_call = -1;              // 0-based index of the rename() that fails with EIO
    int fail_open_call = -1;                // 0-based index of the open() that fails with EACCES
    int fail_mkdir_call = -1;               // 0-based index of the make_directory() that fails
    int fail_set_times = 0;                 // non-zero: set_times/set_permissions fail with EPERM

    long long bytes_written() const { return bytes_written_; }
    int rename_calls() const { return rename_calls_; }
    int open_calls() const { return open_calls_; }
    void reset();

    std::unique_ptr<File> open(const fs::path& path, OpenMode mode,
                               std::uint32_t permissions = 0644) override;
    FileInfo stat(const fs::path& path, bool follow_links = true) override;
    std::vector<DirEntry> list(const fs::path& dir) override;
    int make_directory(const fs::path& path) override;
    void rename(const fs::path& from, const fs::path& to) override;
    void remove(const fs::path& path) override;
    void set_times(const fs::path& path, std::int64_t mtime, std::int64_t atime) override;
    void set_permissions(const fs::path& path, std::uint32_t mode) override;
    void sync_directory(const fs::path& dir) override;

    // Called by the wrapped files; throws ENOSPC once the byte limit is passed.
    void account_write(std::size_t n);

  private:
    FileSystem& base_;
    std::atomic<long long> bytes_written_{0};
    int rename_calls_ = 0;
    int open_calls_ = 0;
    int mkdir_calls_ = 0;
};

}  // namespace pavo
