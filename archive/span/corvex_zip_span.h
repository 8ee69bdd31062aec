// Entry points of the CorvexZipSpan library, which turns a ZIP archive into a split set
// (name.z01, name.z02, ..., name.zip) and joins a split set back into one archive.
//
// The library is loaded by name at run time and its entries looked up by these names; paths are
// host paths in UTF-8. Settings and callbacks are process-wide and stay until changed.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// SetProperty numbers.
enum {
    kSpanPropWorkFolder = 1,   // folder for the parts when a name has no folder ("" = current)
    kSpanPropTitle = 2,        // display title used in notification texts
    kSpanPropPartSize = 3,     // part size in bytes for Span, decimal; at least 65536
    kSpanPropOverwrite = 4,    // "1": Span may replace existing parts; "0" (default): it refuses
    kSpanPropKeepPartial = 5,  // "1": leave what was written after a failure; "0" (default): remove
    kSpanPropMaxParts = 6,     // most parts Span may write (default and upper limit 999)
};

// SetCallback numbers and the routines' shapes.
enum {
    kSpanCallbackProgress = 1,   // int (*)(const char* part, int percent); non-zero asks to stop
    kSpanCallbackPartBegun = 2,  // void (*)(const char* part)
    kSpanCallbackPartDone = 3,   // void (*)(const char* part)
};
typedef int (*CorvexSpanProgressFn)(const char* part, int percent);
typedef void (*CorvexSpanNoticeFn)(const char* part);
typedef void (*CorvexSpanAnyFn)(void);

// Results.
enum {
    kSpanOk = 0,
    kSpanBadArgument = -1,      // unknown number, bad value, null name
    kSpanInputUnreadable = -2,  // Span: the archive cannot be read or is not a plain ZIP archive
    kSpanCannotCreate = -3,  // an output file cannot be created (or exists and may not be replaced)
    kSpanWriteFailed = -4,   // writing an output file failed
    kSpanTooManyParts = -5,  // Span would need more parts than allowed
    kSpanStopped = -6,       // the progress callback asked to stop
    kSpanReadError = -7,     // UnSpan: a part is missing, short or not laid out as a split set
    kSpanNoMemory = -8,
    kSpanUnknownError = -9,
};

// Returns kSpanOk or kSpanBadArgument.
int SetProperty(int number, const char* value);
int SetCallback(int number, CorvexSpanAnyFn routine);

// Splits the ZIP archive at archive into set_name.z01, ... set_name.zip (set_name given with or
// without its ".zip"). The first part begins with the spanning signature 50 4B 07 08; no header
// record is cut by a part boundary. A set of one part begins with the marker 50 4B 30 30 instead.
int Span(const char* archive, const char* set_name);

// Joins the split set that archive belongs to (any of its parts may be named) into one archive at
// output. On failure output is removed.
int UnSpan(const char* archive, const char* output);

// 1 when part is the last part of a set (it holds the end record), 0 when not, kSpanReadError when
// it cannot be read.
int IsLast(const char* part);

#ifdef __cplusplus
}
#endif
