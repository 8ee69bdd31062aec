// Buffered text-file writer: a temporary in the target folder, renamed into place on close.
#include "platform/line_writer.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/drive_map.h"
#include "platform/error.h"

namespace pavo {

namespace {

// Large enough that a report's write calls are few, small enough to be no concern per writer.
constexpr std::size_t kBufferSize = 64 * 1024;

bool starts_with_drive(std::string_view s) {
    return s.size() >= 2 && s[1] == ':' &&
           ((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'));
}

bool ends_with_separator(std::string_view s) {
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

// The error to show for a failed step on the named file, keeping the system's errno and text.
Error error_for(const std::string& what, const std::string& name, const std::exception& e) {
    if (const auto* pe = dynamic_cast<const Error*>(&e)) {
        if (pe->os_error() != 0) return Error::from_errno(what + " " + name, pe->os_error());
        return Error(pe->kind(), what + " " + name + ": " + pe->what());
    }
    return Error(ErrorKind::kIO, what + " " + name + ": " + e.what());
}

// One folder level to create: where it is on the host and how the user names it.
struct Level {
    fs::path host;
    std::string name;
};

}  // namespace

LineWriter::LineWriter(const std::string& path) : fs_(&file_system()) {
    std::vector<Level> levels;
    if (starts_with_drive(path)) {
        DriveMap& map = DriveMap::current();
        DriveMap::Logical logical = map.parse(path);
        if (logical.components.empty() || ends_with_separator(path))
            throw Error(ErrorKind::kInvalidInput, "No file name in '" + path + "'");
        name_ = DriveMap::format(logical);
        target_ = map.to_host(name_);
        // to_host gives one host component per logical one under the drive folder, so the two
        // can be walked side by side.
        fs::path host = *map.drive_root(logical.drive);
        DriveMap::Logical level{logical.drive, {}};
        auto host_parts = target_.parent_path().lexically_relative(host);
        auto it = host_parts.begin();
        for (std::size_t i = 0; i + 1 < logical.components.size() && it != host_parts.end();
             ++i, ++it) {
            host /= *it;
            level.components.push_back(logical.components[i]);
            levels.push_back({host, DriveMap::format(level)});
        }
    } else {
        fs::path given(path);
        fs::path file = given.filename();
        if (path.empty() || file.empty() || file == "." || file == "..")
            throw Error(ErrorKind::kInvalidInput, "No file name in '" + path + "'");
        name_ = path;
        target_ = given;
        fs::path absolute = given.is_absolute() ? given : fs::current_path() / given;
        fs::path host = absolute.root_path();
        for (const auto& part : absolute.parent_path().relative_path()) {
            host /= part;
            levels.push_back({host, host.string()});
        }
    }

    // An existing level (or one another process makes at the same moment) is fine; a level that
    // is still not a folder afterwards is the reason the file cannot be written, so say so.
    for (const auto& level : levels) {
        int err = fs_->make_directory(level.host);
        if (err == 0) continue;
        if (fs_->is_directory(level.host)) continue;
        if (err == EEXIST) err = ENOTDIR;
        throw Error::from_errno("Cannot create the folder " + level.name, err);
    }

    // Allocated before the temporary exists, so nothing after the open can throw and leave it.
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    fs::path folder = target_.parent_path();
    std::string stem = "." + target_.filename().string().substr(0, 200) + ".tmp";
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        fs::path candidate = folder / (stem + std::to_string(random() % 1000000));
        try {
            file_ = fs_->open(candidate, OpenMode::kCreateNew);
            temporary_ = std::move(candidate);
            break;
        } catch (const Error& e) {
            if (e.os_error() == EEXIST && attempt < 20) continue;
            throw error_for("Cannot create", name_, e);
        }
    }
}

LineWriter::~LineWriter() {
    if (!closed_) discard();
}

void LineWriter::discard() noexcept {
    try {
        if (file_) file_->close();
    } catch (...) {
        // The file is being thrown away; what its close says no longer matters.
    }
    file_.reset();
    if (!temporary_.empty()) {
        try {
            fs_->remove(temporary_);
        } catch (...) {
            // Nothing more can be done about a temporary that will not go; it is hidden (dot
            // name) and never taken for the real file.
        }
        temporary_.clear();
    }
    buffer_.reset();
}

void LineWriter::fail(const char* what, const std::exception& e) {
    Error error = error_for(what, name_, e);
    discard();
    failure_ = std::make_exception_ptr(error);
    throw error;
}

void LineWriter::write_through(const char* data, std::size_t n) {
    try {
        file_->write(data, n);
    } catch (const std::exception& e) {
        fail("Cannot write", e);
    }
}

void LineWriter::flush_buffer() {
    if (used_ == 0) return;
    write_through(buffer_.get(), used_);
    used_ = 0;
}

void LineWriter::append(std::string_view part) {
    if (part.size() > kBufferSize - used_) flush_buffer();
    if (part.size() >= kBufferSize) {
        write_through(part.data(), part.size());
    } else {
        std::memcpy(buffer_.get() + used_, part.data(), part.size());
        used_ += part.size();
    }
}

void LineWriter::write_line(std::string_view line) {
    if (failure_) std::rethrow_exception(failure_);
    if (closed_) throw Error(ErrorKind::kInvalidInput, "The file " + name_ + " is already closed");
    static constexpr char kEnd[] = {'\r', '\n'};
    append(line);
    append(std::string_view(kEnd, sizeof kEnd));
    ++lines_;
}

void LineWriter::write_bytes(std::string_view bytes) {
    if (failure_) std::rethrow_exception(failure_);
    if (closed_) throw Error(ErrorKind::kInvalidInput, "The file " + name_ + " is already closed");
    append(bytes);
}

void LineWriter::close() {
    if (failure_) std::rethrow_exception(failure_);
    if (closed_) return;
    flush_buffer();
    try {
        file_->sync();
    } catch (const std::exception& e) {
        fail("Cannot flush", e);
    }
    try {
        file_->close();
    } catch (const std::exception& e) {
        fail("Cannot write", e);
    }
    file_.reset();
    try {
        fs_->rename(temporary_, target_);
    } catch (const std::exception& e) {
        fail("Cannot put the finished file in place as", e);
    }
    temporary_.clear();
    closed_ = true;
    buffer_.reset();
    try {
        fs_->sync_directory(target_.parent_path().empty() ? fs::path(".") : target_.parent_path());
    } catch (const Error&) {
        // The file is in place; only its durability across a power cut is in question.
    }
}

}  // namespace pavo
