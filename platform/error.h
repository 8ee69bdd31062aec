// The one error type of the project: a named kind, the project's own text, and the OS error beside
// it.
#pragma once

#include <stdexcept>
#include <string>

namespace pavo {

enum class ErrorKind {
    kNotFound,      // a file, folder, table, alias or field that does not exist
    kCorruption,    // stored data that cannot be read as what it claims to be
    kIO,            // the operating system refused a read, write, rename, ...
    kInvalidInput,  // a caller's argument or user text that is not acceptable
    kConversion,    // a text that does not convert to the type asked for
    kKeyViolation,  // a posted row whose primary key already exists
    kRequired,      // a posted row with an empty required field
    kLocked,        // the object is in use elsewhere (exclusive access refused)
    kExists,        // the object to create exists already
    kUnsupported,   // a valid request this build does not handle
    kInternal,      // a broken invariant of our own
};

// Name of a kind for messages and logs, e.g. "I/O error".
const char* error_kind_name(ErrorKind kind);

// Every module throws this (or returns it as a value); what() is the text shown to the user.
class Error : public std::runtime_error {
  public:
    Error(ErrorKind kind, const std::string& message, int os_error = 0);

    ErrorKind kind() const noexcept { return kind_; }
    // errno of the failing system call, 0 when the error did not come from the OS.
    int os_error() const noexcept { return os_error_; }
    // The run-time library's text for os_error(), empty when it is 0.
    std::string os_text() const;

    // An I/O (or not-found, for ENOENT) error with "<what>: <strerror>" as its text.
    static Error from_errno(const std::string& what, int err);

  private:
    ErrorKind kind_;
    int os_error_;
};

// strerror, thread-safe.
std::string os_error_text(int err);

}  // namespace pavo
