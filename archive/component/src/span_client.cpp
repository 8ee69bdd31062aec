// Finds and loads CorvexZipSpan for one join, forwarding its callbacks to the control.
#include "archive/component/src/span_client.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "archive/component/src/control.h"
#include "archive/span/corvex_zip_span.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::arcvane {

const char* const kSpanLibraryName = "CorvexZipSpan.so";

namespace {

bool starts_with_span_signature(const std::filesystem::path& p) {
    try {
        auto f = file_system().open(p, OpenMode::kRead);
        unsigned char sig[4] = {};
        return f->read_at(sig, 4, 0) == 4 && sig[0] == 0x50 && sig[1] == 0x4B && sig[2] == 0x07 &&
               sig[3] == 0x08;
    } catch (const Error&) {
        return false;
    }
}

// The run being served; the library's callbacks carry no context of their own, and runs are
// serialised within the process.
thread_local const SpanEvents* t_events = nullptr;

int on_progress(const char* part, int percent) {
    if (!t_events || !t_events->progress) return 0;
    return t_events->progress(part ? part : "", percent) ? 1 : 0;
}

void on_part_begun(const char* part) {
    if (t_events && t_events->notice) t_events->notice(part ? part : "", false);
}

void on_part_done(const char* part) {
    if (t_events && t_events->notice) t_events->notice(part ? part : "", true);
}

void* load_library() {
    // The configured folder first, then the system's search, then the server's own folder.
    if (const char* folder = std::getenv("PAVODEN2_SPAN_FOLDER"); folder && *folder) {
        std::string p = (std::filesystem::path(folder) / kSpanLibraryName).string();
        if (void* h = ::dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    if (void* h = ::dlopen(kSpanLibraryName, RTLD_NOW | RTLD_LOCAL)) return h;
    std::string beside = (server_path().parent_path() / kSpanLibraryName).string();
    return ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

bool is_split_set(const std::filesystem::path& archive) {
    if (starts_with_span_signature(archive)) return true;
    // The last part (.zip) or a middle one (.z02, ...) names the set when its first part does.
    std::string ext = archive.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool numbered = ext.size() >= 3 && ext[1] == 'z' &&
                          ext.find_first_not_of("0123456789", 2) == std::string::npos;
    if (ext != ".zip" && !numbered) return false;
    std::filesystem::path base = archive.parent_path() / archive.stem();
    return starts_with_span_signature(base.string() + ".z01") ||
           starts_with_span_signature(base.string() + ".Z01");
}

int join_split_set(const std::filesystem::path& archive, const std::filesystem::path& output,
                   const SpanEvents& events) {
    void* h = load_library();
    if (!h) return kResultNoSpanLibrary;
    using SetPropertyFn = int (*)(int, const char*);
    using SetCallbackFn = int (*)(int, CorvexSpanAnyFn);
    using UnSpanFn = int (*)(const char*, const char*);
    auto set_property = reinterpret_cast<SetPropertyFn>(::dlsym(h, "SetProperty"));
    auto set_callback = reinterpret_cast<SetCallbackFn>(::dlsym(h, "SetCallback"));
    auto unspan = reinterpret_cast<UnSpanFn>(::dlsym(h, "UnSpan"));
    bool complete =
        set_property && set_callback && unspan && ::dlsym(h, "Span") && ::dlsym(h, "IsLast");
    if (!complete) {
        ::dlclose(h);
        return kResultNoSpanLibrary;
    }
    set_callback(kSpanCallbackProgress, reinterpret_cast<CorvexSpanAnyFn>(&on_progress));
    set_callback(kSpanCallbackPartBegun, reinterpret_cast<CorvexSpanAnyFn>(&on_part_begun));
    set_callback(kSpanCallbackPartDone, reinterpret_cast<CorvexSpanAnyFn>(&on_part_done));
    set_property(kSpanPropWorkFolder, "");
    set_property(kSpanPropTitle, "Corvex ZIP");
    set_property(kSpanPropPartSize, "1457664");
    set_property(kSpanPropOverwrite, "1");
    set_property(kSpanPropKeepPartial, "0");
    set_property(kSpanPropMaxParts, "999");

    t_events = &events;
    int r;
    try {
        r = unspan(archive.c_str(), output.c_str());
    } catch (...) {
        r = kSpanUnknownError;
    }
    t_events = nullptr;
    // The callbacks point into this program; the library must not keep them past the unload.
    for (int n = kSpanCallbackProgress; n <= kSpanCallbackPartDone; ++n) set_callback(n, nullptr);
    ::dlclose(h);

    if (r == kSpanOk) return 0;
    try {
        file_system().remove(output);
    } catch (const Error&) {
    }
    switch (r) {
        case kSpanStopped:
            return 80;
        case kSpanReadError:
            return kResultSpanRead;
        case kSpanNoMemory:
            return kResultSpanMemory;
        default:
            return kResultSpanUnknown;
    }
}

}  // namespace pavo::arcvane
