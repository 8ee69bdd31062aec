// Loading the CorvexZipSpan library and joining a split set through it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace pavo::arcvane {

// True when host path archive is part of a split set: it begins with the spanning signature, or it
// is a .zip or .zNN whose sibling .z01 does.
bool is_split_set(const std::filesystem::path& archive);

struct SpanEvents {
    // Copy progress of a part; returning true asks the library to stop.
    std::function<bool(const std::string& part, int percent)> progress;
    // A part begun (done = false) or finished (done = true).
    std::function<void(const std::string& part, bool done)> notice;
};

// The name the library is loaded by.
extern const char* const kSpanLibraryName;

// Joins the set archive belongs to into output (host paths). Returns an unpacking engine result:
// 0, 104/105/106 (the library's -7/-8/-9, output removed), 107 (library not loadable), 80
// (stopped).
int join_split_set(const std::filesystem::path& archive, const std::filesystem::path& output,
                   const SpanEvents& events);

}  // namespace pavo::arcvane
