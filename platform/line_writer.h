// Files written whole or not at all: reports, saved memos, filter lists, saved pictures.
//
// The lines go to a temporary file in the target folder through a fixed-size buffer (memory does
// not grow with the file) and the file appears under its name only when close() succeeds, replacing
// any file of that name in one step. All I/O goes through the FileSystem seam (file_system.h).
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace pavo {

class LineWriter {
  public:
    // path: a logical path (c:\mydata\...\X.txt, see drive_map.h) or a host path (anything without
    // a drive letter; a relative one is taken from the current folder). Creates every missing
    // folder level from the drive root (the host root for a host path) down, then creates the
    // temporary file in the target folder.
    // Throws pavo::Error: kInvalidInput for a path without a file name or on an unavailable drive;
    // kIO or kNotFound (with the errno) when a folder level that does not exist cannot be created
    // or the temporary cannot be created. Nothing is left behind on failure.
    explicit LineWriter(const std::string& path);
    // Without a successful close() the temporary file is removed and nothing appears under the
    // final name (an existing file of that name is left as it was). Never throws.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Appends the line's bytes as given (UTF-8 expected, not checked) and CR LF. The line should
    // hold no line break of its own. Throws pavo::Error kIO when a write of the buffer fails (the
    // disk is full, ...): the temporary is removed at once, and every later write_line() or
    // close() throws that same error again. kInvalidInput after close().
    void write_line(std::string_view line);
    // Appends bytes as given, without a line end (a picture's content). Fails as write_line().
    void write_bytes(std::string_view bytes);

    // Writes what is buffered, flushes the file to disk and renames it into place. Throws
    // pavo::Error (kIO, with the errno) when the write, the flush or the rename fails: then the
    // temporary is removed and nothing appears under the final name. A second call after a
    // successful close() does nothing.
    void close();

    // Lines accepted by write_line() so far.
    std::uint64_t lines_written() const { return lines_; }
    // The file as errors name it: the canonical logical path (c:\...\X.txt) when a logical path
    // was given, else the host path as given.
    const std::string& display_name() const { return name_; }
    // Where the file goes on the host.
    const fs::path& host_path() const { return target_; }

  private:
    void append(std::string_view part);
    void flush_buffer();
    void write_through(const char* data, std::size_t n);
    [[noreturn]] void fail(const char* what, const std::exception& e);
    void discard() noexcept;

    FileSystem* fs_;  // the one in force at construction, so the clean-up goes to the same place
    std::string name_;
    fs::path target_;
    fs::path temporary_;
    std::unique_ptr<File> file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::uint64_t lines_ = 0;
    bool closed_ = false;
    std::exception_ptr failure_;
};

}  // namespace pavo
