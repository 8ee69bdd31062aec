// The real POSIX file system, the fault-injecting test double, and atomic whole-file writes.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "platform/error.h"

namespace pavo {

namespace {

[[noreturn]] void throw_errno(const std::string& what, const fs::path& path, int err) {
    throw Error::from_errno(what + " '" + path.string() + "'", err);
}

class PosixFile : public File {
  public:
    PosixFile(int fd, fs::path path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    std::size_t read(void* buf, std::size_t n) override {
        for (;;) {
            ssize_t r = ::read(fd_, buf, n);
            if (r >= 0) return static_cast<std::size_t>(r);
            if (errno != EINTR) throw_errno("Cannot read", path_, errno);
        }
    }
    std::size_t read_at(void* buf, std::size_t n, std::uint64_t offset) override {
        std::size_t done = 0;
        auto* p = static_cast<char*>(buf);
        while (done < n) {
            ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throw_errno("Cannot read", path_, errno);
            }
            if (r == 0) break;
            done += static_cast<std::size_t>(r);
        }
        return done;
    }
    void write(const void* buf, std::size_t n) override {
        const auto* p = static_cast<const char*>(buf);
        while (n > 0) {
            ssize_t r = ::write(fd_, p, n);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw_errno("Cannot write", path_, errno);
            }
            if (r == 0) throw_errno("Cannot write", path_, ENOSPC);
            p += r;
            n -= static_cast<std::size_t>(r);
        }
    }
    void write_at(const void* buf, std::size_t n, std::uint64_t offset) override {
        const auto* p = static_cast<const char*>(buf);
        while (n > 0) {
            ssize_t r = ::pwrite(fd_, p, n, static_cast<off_t>(offset));
            if (r < 0) {
                if (errno == EINTR) continue;
                throw_errno("Cannot write", path_, errno);
            }
            if (r == 0) throw_errno("Cannot write", path_, ENOSPC);
            p += r;
            n -= static_cast<std::size_t>(r);
            offset += static_cast<std::uint64_t>(r);
        }
    }
    void seek(std::uint64_t offset) override {
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
            throw_errno("Cannot seek in", path_, errno);
    }
    std::uint64_t tell() override {
        off_t r = ::lseek(fd_, 0, SEEK_CUR);
        if (r < 0) throw_errno("Cannot seek in", path_, errno);
        return static_cast<std::uint64_t>(r);
    }
    std::uint64_t size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) throw_errno("Cannot stat", path_, errno);
        return static_cast<std::uint64_t>(st.st_size);
    }
    void truncate(std::uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            throw_errno("Cannot truncate", path_, errno);
    }
    void sync() override {
        if (::fsync(fd_) != 0) throw_errno("Cannot flush", path_, errno);
    }
    void close() override {
        if (fd_ < 0) return;
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) throw_errno("Cannot close", path_, errno);
    }
    int native_handle() const override { return fd_; }

  private:
    int fd_;
    fs::path path_;
};

EntryType type_of(mode_t m) {
    if (S_ISREG(m)) return EntryType::kFile;
    if (S_ISDIR(m)) return EntryType::kDirectory;
    if (S_ISLNK(m)) return EntryType::kSymlink;
    return EntryType::kOther;
}

class PosixFileSystem : public FileSystem {
  public:
    std::unique_ptr<File> open(const fs::path& path, OpenMode mode,
                               std::uint32_t permissions) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case OpenMode::kRead:
                flags |= O_RDONLY;
                break;
            case OpenMode::kReadWrite:
                flags |= O_RDWR;
                break;
            case OpenMode::kCreate:
                flags |= O_RDWR | O_CREAT | O_TRUNC;
                break;
            case OpenMode::kCreateNew:
                flags |= O_RDWR | O_CREAT | O_EXCL;
                break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) throw_errno("Cannot open", path, errno);
        if (mode == OpenMode::kRead || mode == OpenMode::kReadWrite) {
            struct stat st;
            if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
                ::close(fd);
                throw_errno("Cannot open", path, EISDIR);
            }
        }
        return std::make_unique<PosixFile>(fd, path);
    }
    FileInfo stat(const fs::path& path, bool follow_links) override {
        struct stat st;
        FileInfo info;
        int r = follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
        if (r != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return info;
            throw_errno("Cannot stat", path, errno);
        }
        info.type = type_of(st.st_mode);
        info.size = static_cast<std::uint64_t>(st.st_size);
        info.mtime = st.st_mtim.tv_sec;
        info.atime = st.st_atim.tv_sec;
        info.mode = st.st_mode & 07777;
        return info;
    }
    std::vector<DirEntry> list(const fs::path& dir) override {
        DIR* d = ::opendir(dir.c_str());
        if (!d) throw_errno("Cannot read folder", dir, errno);
        std::vector<DirEntry> out;
        errno = 0;
        while (dirent* e = ::readdir(d)) {
            if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
            DirEntry entry;
            entry.name = e->d_name;
            switch (e->d_type) {
                case DT_REG:
                    entry.type = EntryType::kFile;
                    break;
                case DT_DIR:
                    entry.type = EntryType::kDirectory;
                    break;
                case DT_LNK:
                    entry.type = EntryType::kSymlink;
                    break;
                case DT_UNKNOWN: {
                    struct stat st;
                    if (::lstat((dir / entry.name).c_str(), &st) == 0)
                        entry.type = type_of(st.st_mode);
                    break;
                }
                default:
                    entry.type = EntryType::kOther;
            }
            out.push_back(std::move(entry));
        }
        ::closedir(d);
        return out;
    }
    int make_directory(const fs::path& path) override {
        return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
    }
    void rename(const fs::path& from, const fs::path& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) throw_errno("Cannot rename", from, errno);
    }
    void remove(const fs::path& path) override {
        if (::remove(path.c_str()) != 0) throw_errno("Cannot remove", path, errno);
    }
    void set_times(const fs::path& path, std::int64_t mtime, std::int64_t atime) override {
        struct timespec ts[2];
        ts[0].tv_sec = atime;
        ts[0].tv_nsec = 0;
        ts[1].tv_sec = mtime;
        ts[1].tv_nsec = 0;
        if (::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW) != 0)
            throw_errno("Cannot set the time of", path, errno);
    }
    void set_permissions(const fs::path& path, std::uint32_t mode) override {
        if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0)
            throw_errno("Cannot set the permissions of", path, errno);
    }
    void sync_directory(const fs::path& dir) override {
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw_errno("Cannot open folder", dir, errno);
        int r = ::fsync(fd);
        int err = errno;
        ::close(fd);
        if (r != 0 && err != EINVAL) throw_errno("Cannot flush folder", dir, err);
    }
};

std::atomic<FileSystem*> g_current{nullptr};

// Wraps a file of the faulty file system so its writes count against the byte limit.
class FaultyFile : public File {
  public:
    FaultyFile(std::unique_ptr<File> base, FaultyFileSystem& owner)
        : base_(std::move(base)), owner_(owner) {}
    std::size_t read(void* b, std::size_t n) override { return base_->read(b, n); }
    std::size_t read_at(void* b, std::size_t n, std::uint64_t o) override {
        return base_->read_at(b, n, o);
    }
    void write(const void* b, std::size_t n) override {
        owner_.account_write(n);
        base_->write(b, n);
    }
    void write_at(const void* b, std::size_t n, std::uint64_t o) override {
        owner_.account_write(n);
        base_->write_at(b, n, o);
    }
    void seek(std::uint64_t o) override { base_->seek(o); }
    std::uint64_t tell() override { return base_->tell(); }
    std::uint64_t size() override { return base_->size(); }
    void truncate(std::uint64_t s) override { base_->truncate(s); }
    void sync() override { base_->sync(); }
    void close() override { base_->close(); }
    int native_handle() const override { return base_->native_handle(); }

  private:
    std::unique_ptr<File> base_;
    FaultyFileSystem& owner_;
};

}  // namespace

FileSystem& real_file_system() {
    static PosixFileSystem instance;
    return instance;
}

FileSystem& file_system() {
    FileSystem* fs = g_current.load(std::memory_order_acquire);
    return fs ? *fs : real_file_system();
}

FileSystem* set_file_system(FileSystem* fs) {
    return g_current.exchange(fs);
}

void write_file_atomically(const fs::path& path, const std::string& data) {
    FileSystem& fsys = file_system();
    fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::random_device rd;
    fs::path tmp = dir / ("." + path.filename().string() + ".tmp" + std::to_string(rd() % 1000000));
    try {
        auto f = fsys.open(tmp, OpenMode::kCreateNew);
        f->write(data.data(), data.size());
        f->sync();
        f->close();
        fsys.rename(tmp, path);
    } catch (...) {
        try {
            fsys.remove(tmp);
        } catch (...) {
        }
        throw;
    }
    try {
        fsys.sync_directory(dir);
    } catch (const Error&) {
        // The content is in place; only its durability across a power cut is in question.
    }
}

std::string read_whole_file(const fs::path& path) {
    auto f = file_system().open(path, OpenMode::kRead);
    std::string out;
    char buf[65536];
    for (;;) {
        std::size_t n = f->read(buf, sizeof buf);
        if (n == 0) break;
        out.append(buf, n);
    }
    return out;
}

void FaultyFileSystem::reset() {
    bytes_written_ = 0;
    rename_calls_ = open_calls_ = mkdir_calls_ = 0;
}

void FaultyFileSystem::account_write(std::size_t n) {
    long long before = bytes_written_.fetch_add(static_cast<long long>(n));
    if (fail_write_after_bytes >= 0 && before + static_cast<long long>(n) > fail_write_after_bytes)
        throw Error::from_errno("Cannot write (injected)", ENOSPC);
}

std::unique_ptr<File> FaultyFileSystem::open(const fs::path& path, OpenMode mode,
                                             std::uint32_t perm) {
    if (open_calls_++ == fail_open_call) throw_errno("Cannot open (injected)", path, EACCES);
    return std::make_unique<FaultyFile>(base_.open(path, mode, perm), *this);
}
FileInfo FaultyFileSystem::stat(const fs::path& p, bool follow) {
    return base_.stat(p, follow);
}
std::vector<DirEntry> FaultyFileSystem::list(const fs::path& d) {
    return base_.list(d);
}
int FaultyFileSystem::make_directory(const fs::path& p) {
    if (mkdir_calls_++ == fail_mkdir_call) return EACCES;
    return base_.make_directory(p);
}
void FaultyFileSystem::rename(const fs::path& from, const fs::path& to) {
    if (rename_calls_++ == fail_rename_call) throw_errno("Cannot rename (injected)", from, EIO);
    base_.rename(from, to);
}
void FaultyFileSystem::remove(const fs::path& p) {
    base_.remove(p);
}
void FaultyFileSystem::set_times(const fs::path& p, std::int64_t m, std::int64_t a) {
    if (fail_set_times) throw_errno("Cannot set the time of (injected)", p, EPERM);
    base_.set_times(p, m, a);
}
void FaultyFileSystem::set_permissions(const fs::path& p, std::uint32_t mode) {
    if (fail_set_times) throw_errno("Cannot set the permissions of (injected)", p, EPERM);
    base_.set_permissions(p, mode);
}
void FaultyFileSystem::sync_directory(const fs::path& d) {
    base_.sync_directory(d);
}

}  // namespace pavo
