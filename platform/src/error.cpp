// Error kinds and OS error texts.
#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace pavo {

const char* error_kind_name(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::kNotFound:
            return "not found";
        case ErrorKind::kCorruption:
            return "corrupted data";
        case ErrorKind::kIO:
            return "I/O error";
        case ErrorKind::kInvalidInput:
            return "invalid input";
        case ErrorKind::kConversion:
            return "conversion error";
        case ErrorKind::kKeyViolation:
            return "key violation";
        case ErrorKind::kRequired:
            return "required field missing";
        case ErrorKind::kLocked:
            return "in use";
        case ErrorKind::kExists:
            return "already exists";
        case ErrorKind::kUnsupported:
            return "unsupported";
        case ErrorKind::kInternal:
            return "internal error";
    }
    return "error";
}

Error::Error(ErrorKind kind, const std::string& message, int os_error)
    : std::runtime_error(message), kind_(kind), os_error_(os_error) {}

std::string Error::os_text() const {
    return os_error_ ? os_error_text(os_error_) : std::string();
}

Error Error::from_errno(const std::string& what, int err) {
    ErrorKind kind = err == ENOENT || err == ENOTDIR ? ErrorKind::kNotFound
                     : err == EEXIST                 ? ErrorKind::kExists
                                                     : ErrorKind::kIO;
    return Error(kind, what + ": " + os_error_text(err), err);
}

std::string os_error_text(int err) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return std::string(strerror_r(err, buf, sizeof buf));
#else
    if (strerror_r(err, buf, sizeof buf) != 0) return "Unknown error " + std::to_string(err);
    return std::string(buf);
#endif
}

}  // namespace pavo
