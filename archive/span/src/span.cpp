// Splitting a ZIP archive into a split set and joining a split set back into one archive.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "archive/span/corvex_zip_span.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;
using pavo::File;
using pavo::OpenMode;

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kSpanSig = 0x08074b50;
constexpr std::uint32_t kSingleSegmentSig = 0x30304b50;
constexpr std::uint64_t kMinPart = 65536;
constexpr int kPartLimit = 999;
constexpr std::size_t kLocalFixed = 30, kCentralFixed = 46, kEndFixed = 22;
constexpr std::size_t kChunk = 1 << 20;

struct Settings {
    std::string work_folder;
    std::string title = "Corvex ZIP";
    std::uint64_t part_size = 1457664;  // a 1.44 MB diskette's worth, the classic part size
    bool overwrite = false;
    bool keep_partial = false;
    int max_parts = kPartLimit;
    CorvexSpanProgressFn progress = nullptr;
    CorvexSpanNoticeFn part_begun = nullptr;
    CorvexSpanNoticeFn part_done = nullptr;
};

Settings& settings() {
    static Settings s;
    return s;
}

std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// A failure with the entry point's result.
struct Fail {
    int code;
};

fs::path with_folder(const std::string& name) {
    fs::path p(name);
    if (p.has_parent_path() || settings().work_folder.empty()) return p;
    return fs::path(settings().work_folder) / p;
}

// The end record and central directory of one archive (or of a set's last part).
struct EndRecord {
    std::uint64_t position = 0;  // of the end record in its file
    std::uint32_t this_disk = 0, cd_disk = 0, entries_here = 0, entries = 0;
    std::uint32_t cd_size = 0, cd_offset = 0;
    std::string comment;
};

// Finds the end record in the last 64 KiB + 22 bytes of a file: the last signature whose comment
// length reaches exactly to the end.
std::optional<EndRecord> find_end(File& f) {
    std::uint64_t size = f.size();
    if (size < kEndFixed) return std::nullopt;
    std::uint64_t span = std::min<std::uint64_t>(size, 0xFFFF + kEndFixed);
    std::vector<unsigned char> tail(span);
    if (f.read_at(tail.data(), span, size - span) != span) return std::nullopt;
    for (std::size_t i = span - kEndFixed + 1; i-- > 0;) {
        const unsigned char* p = tail.data() + i;
        if (get32(p) != kEndSig) continue;
        std::size_t comment = get16(p + 20);
        if (i + kEndFixed + comment != span) continue;
        EndRecord e;
        e.position = size - span + i;
        e.this_disk = get16(p + 4);
        e.cd_disk = get16(p + 6);
        e.entries_here = get16(p + 8);
        e.entries = get16(p + 10);
        e.cd_size = get32(p + 12);
        e.cd_offset = get32(p + 16);
        e.comment.assign(reinterpret_cast<const char*>(p + kEndFixed), comment);
        return e;
    }
    return std::nullopt;
}

std::vector<unsigned char> end_record_bytes(const EndRecord& e) {
    std::vector<unsigned char> out(kEndFixed + e.comment.size());
    put32(out.data(), kEndSig);
    put16(out.data() + 4, e.this_disk);
    put16(out.data() + 6, e.cd_disk);
    put16(out.data() + 8, e.entries_here);
    put16(out.data() + 10, e.entries);
    put32(out.data() + 12, e.cd_size);
    put32(out.data() + 16, e.cd_offset);
    put16(out.data() + 20, static_cast<std::uint32_t>(e.comment.size()));
    std::memcpy(out.data() + kEndFixed, e.comment.data(), e.comment.size());
    return out;
}

// Central directory records split out of a byte string; nullopt when they do not parse.
std::optional<std::vector<std::vector<unsigned char>>> split_central(
    const std::vector<unsigned char>& cd, std::uint32_t entries) {
    std::vector<std::vector<unsigned char>> records;
    std::size_t pos = 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (pos + kCentralFixed > cd.size() || get32(cd.data() + pos) != kCentralSig)
            return std::nullopt;
        std::size_t len = kCentralFixed + get16(cd.data() + pos + 28) +
                          get16(cd.data() + pos + 30) + get16(cd.data() + pos + 32);
        if (pos + len > cd.size()) return std::nullopt;
        records.emplace_back(cd.begin() + static_cast<std::ptrdiff_t>(pos),
                             cd.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
    }
    return records;
}

// ".z01", ".z02", ... for the part numbered n (from 1).
std::string numbered_ext(unsigned n) {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".z%02u", n);
    return ext;
}

std::string part_name(const fs::path& base, int index, int count) {
    if (index + 1 == count) return base.string() + ".zip";
    return base.string() + numbered_ext(static_cast<unsigned>(index + 1));
}

fs::path set_base(const fs::path& name) {
    std::string ext = name.extension().string();
    std::string lower = ext;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool numbered = lower.size() >= 3 && lower[1] == 'z' &&
                    std::all_of(lower.begin() + 2, lower.end(),
                                [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (lower == ".zip" || numbered) return name.parent_path() / name.stem();
    return name;
}

bool report_progress(const std::string& part, int percent) {
    if (!settings().progress) return true;
    return settings().progress(part.c_str(), std::clamp(percent, 0, 100)) == 0;
}

// Writes a byte stream into parts of at most part_size bytes, starting a new part where a record
// would not fit whole.
class PartWriter {
  public:
    PartWriter(fs::path base, std::uint64_t part_size, int max_parts)
        : base_(std::move(base)), part_size_(part_size), max_parts_(max_parts) {}

    ~PartWriter() {
        if (!finished_ && !settings().keep_partial) remove_all();
    }

    int disk() const { return static_cast<int>(written_.size()); }
    std::uint64_t offset() const { return in_part_; }

    // Ends the current part when fewer than n bytes are left in it.
    void keep_whole(std::size_t n) {
        ensure_open();
        if (in_part_ > 0 && part_size_ - in_part_ < n) next_part();
    }

    void write(const unsigned char* p, std::size_t n) {
        while (n > 0) {
            ensure_open();
            if (in_part_ == part_size_) next_part();
            std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, part_size_ - in_part_));
            try {
                file_->write(p, take);
            } catch (const pavo::Error&) {
                throw Fail{kSpanWriteFailed};
            }
            in_part_ += take;
            p += take;
            n -= take;
        }
    }

    // Closes the last part under its final name (.zip); returns the part count.
    int finish(bool single_marker_fix) {
        ensure_open();
        close_current();
        int count = static_cast<int>(written_.size());
        if (count == 1 && single_marker_fix) {
            // A set of one part carries the one-segment marker instead of the spanning signature.
            auto f = pavo::file_system().open(written_[0], OpenMode::kReadWrite);
            unsigned char marker[4];
            put32(marker, kSingleSegmentSig);
            f->write_at(marker, 4, 0);
            f->close();
        }
        fs::path last = part_name(base_, count - 1, count);
        if (written_.back() != last) {
            check_target(last);
            pavo::file_system().rename(written_.back(), last);
            written_.back() = last;
        }
        finished_ = true;
        return count;
    }

  private:
    void check_target(const fs::path& p) {
        if (pavo::file_system().exists(p) && !settings().overwrite) throw Fail{kSpanCannotCreate};
    }

    void ensure_open() {
        if (!file_) open_next();
    }

    void open_next() {
        if (static_cast<int>(written_.size()) >= max_parts_) throw Fail{kSpanTooManyParts};
        // Every part is written under its numbered name; the last is renamed to .zip at the end.
        fs::path p = base_.string() + numbered_ext(static_cast<unsigned>(written_.size()) + 1);
        check_target(p);
        try {
            file_ = pavo::file_system().open(p, OpenMode::kCreate);
        } catch (const pavo::Error&) {
            throw Fail{kSpanCannotCreate};
        }
        written_.push_back(p);
        in_part_ = 0;
        if (settings().part_begun) settings().part_begun(p.string().c_str());
    }

    void close_current() {
        if (!file_) return;
        try {
            file_->sync();
            file_->close();
        } catch (const pavo::Error&) {
            throw Fail{kSpanWriteFailed};
        }
        file_.reset();
        if (settings().part_done) settings().part_done(written_.back().string().c_str());
    }

    void next_part() {
        close_current();
        open_next();
    }

    void remove_all() {
        file_.reset();
        for (const auto& p : written_) {
            try {
                pavo::file_system().remove(p);
            } catch (const pavo::Error&) {
            }
        }
    }

    fs::path base_;
    std::uint64_t part_size_;
    int max_parts_;
    std::unique_ptr<File> file_;
    std::vector<fs::path> written_;
    std::uint64_t in_part_ = 0;
    bool finished_ = false;
};

void read_exact(File& f, unsigned char* p, std::size_t n, std::uint64_t at, int code) {
    if (f.read_at(p, n, at) != n) throw Fail{code};
}

int do_span(const fs::path& input, const fs::path& set_name) {
    std::unique_ptr<File> in;
    try {
        in = pavo::file_system().open(input, OpenMode::kRead);
    } catch (const pavo::Error&) {
        return kSpanInputUnreadable;
    }
    auto end = find_end(*in);
    if (!end || end->this_disk != 0 || end->cd_disk != 0 || end->entries == 0xFFFF ||
        end->cd_offset == 0xFFFFFFFF || end->entries_here != end->entries)
        return kSpanInputUnreadable;
    if (std::uint64_t(end->cd_offset) + end->cd_size > end->position) return kSpanInputUnreadable;
    std::vector<unsigned char> cd(end->cd_size);
    read_exact(*in, cd.data(), cd.size(), end->cd_offset, kSpanInputUnreadable);
    auto records = split_central(cd, end->entries);
    if (!records) return kSpanInputUnreadable;

    // Each member's local record runs from its header to the next header (or the directory).
    struct Member {
        std::size_t record;
        std::uint32_t offset;
    };
    std::vector<Member> members;
    for (std::size_t i = 0; i < records->size(); ++i)
        members.push_back({i, get32((*records)[i].data() + 42)});
    std::sort(members.begin(), members.end(),
              [](const Member& a, const Member& b) { return a.offset < b.offset; });
    for (std::size_t i = 1; i < members.size(); ++i)
        if (members[i].offset == members[i - 1].offset) return kSpanInputUnreadable;

    PartWriter out(set_base(set_name), settings().part_size, settings().max_parts);
    unsigned char sig[4];
    put32(sig, kSpanSig);
    out.write(sig, 4);
    std::uint64_t total = end->cd_offset, done = 0;
    std::vector<unsigned char> buf(kChunk);
    const std::string progress_name = set_name.string();
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::uint64_t from = members[i].offset;
        std::uint64_t to = i + 1 < members.size() ? members[i + 1].offset : end->cd_offset;
        if (to < from + kLocalFixed) return kSpanInputUnreadable;
        unsigned char head[kLocalFixed];
        read_exact(*in, head, kLocalFixed, from, kSpanInputUnreadable);
        if (get32(head) != kLocalSig) return kSpanInputUnreadable;
        std::size_t head_len = kLocalFixed + get16(head + 26) + get16(head + 28);
        if (from + head_len > to) return kSpanInputUnreadable;
        out.keep_whole(head_len);
        unsigned char* rec = (*records)[members[i].record].data();
        put16(rec + 34, static_cast<std::uint32_t>(out.disk() - 1));
        put32(rec + 42, static_cast<std::uint32_t>(out.offset()));
        for (std::uint64_t pos = from; pos < to;) {
            std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, to - pos));
            read_exact(*in, buf.data(), take, pos, kSpanInputUnreadable);
            out.write(buf.data(), take);
            pos += take;
            done += take;
            if (!report_progress(progress_name, total ? static_cast<int>(done * 100 / total) : 100))
                return kSpanStopped;
        }
    }
    EndRecord e = *end;
    std::vector<int> record_disk;
    for (const auto& rec : *records) {
        out.keep_whole(rec.size());
        if (record_disk.empty()) {
            e.cd_disk = static_cast<std::uint32_t>(out.disk() - 1);
            e.cd_offset = static_cast<std::uint32_t>(out.offset());
        }
        record_disk.push_back(out.disk() - 1);
        out.write(rec.data(), rec.size());
    }
    const std::size_t tail_len = kEndFixed + e.comment.size();
    out.keep_whole(tail_len);
    if (record_disk.empty()) {
        e.cd_disk = static_cast<std::uint32_t>(out.disk() - 1);
        e.cd_offset = static_cast<std::uint32_t>(out.offset());
    }
    const int last_disk = out.disk() - 1;
    e.this_disk = static_cast<std::uint32_t>(last_disk);
    e.entries_here =
        static_cast<std::uint32_t>(std::count(record_disk.begin(), record_disk.end(), last_disk));
    auto tail = end_record_bytes(e);
    out.write(tail.data(), tail.size());
    out.finish(true);
    return kSpanOk;
}

// The parts of a split set as one byte stream without the leading signature.
class SetReader {
  public:
    explicit SetReader(const fs::path& any_part) {
        fs::path base = set_base(any_part);
        fs::path last = base.string() + ".zip";
        // The last part may be spelled .ZIP on a case-sensitive disk.
        if (!pavo::file_system().exists(last)) {
            fs::path upper = base.string() + ".ZIP";
            if (pavo::file_system().exists(upper)) last = upper;
        }
        std::unique_ptr<File> last_file;
        try {
            last_file = pavo::file_system().open(last, OpenMode::kRead);
        } catch (const pavo::Error&) {
            throw Fail{kSpanReadError};
        }
        auto end = find_end(*last_file);
        if (!end || end->entries == 0xFFFF || end->cd_offset == 0xFFFFFFFF ||
            end->this_disk >= static_cast<std::uint32_t>(kPartLimit) ||
            end->cd_disk > end->this_disk)
            throw Fail{kSpanReadError};
        end_ = *end;
        for (std::uint32_t d = 0; d < end_.this_disk; ++d) {
            std::string ext = numbered_ext(d + 1);
            fs::path p = base.string() + ext;
            if (!pavo::file_system().exists(p)) {
                std::string up = ext;
                up[1] = 'Z';
                if (pavo::file_system().exists(base.string() + up)) p = base.string() + up;
            }
            try {
                parts_.push_back(pavo::file_system().open(p, OpenMode::kRead));
            } catch (const pavo::Error&) {
                throw Fail{kSpanReadError};
            }
            names_.push_back(p.string());
        }
        parts_.push_back(std::move(last_file));
        names_.push_back(last.string());
        std::uint64_t at = 0;
        for (auto& f : parts_) {
            starts_.push_back(at);
            at += f->size();
        }
        total_ = at;
        unsigned char sig[4];
        read_exact(*parts_[0], sig, 4, 0, kSpanReadError);
        skip_ = (get32(sig) == kSpanSig || get32(sig) == kSingleSegmentSig) ? 4 : 0;
    }

    const EndRecord& end() const { return end_; }
    std::uint64_t size() const { return total_ - skip_; }

    // Position in the joined stream of (disk, offset within that disk).
    std::uint64_t position(std::uint32_t disk, std::uint64_t offset) const {
        if (disk >= parts_.size()) throw Fail{kSpanReadError};
        std::uint64_t g = starts_[disk] + offset;
        if (g < skip_ || offset > parts_[disk]->size()) throw Fail{kSpanReadError};
        return g - skip_;
    }

    void read(unsigned char* p, std::size_t n, std::uint64_t at) const {
        std::uint64_t g = at + skip_;
        while (n > 0) {
            auto it = std::upper_bound(starts_.begin(), starts_.end(), g);
            if (it == starts_.begin()) throw Fail{kSpanReadError};
            std::size_t d = static_cast<std::size_t>(it - starts_.begin()) - 1;
            if (d >= parts_.size()) throw Fail{kSpanReadError};
            std::uint64_t off = g - starts_[d];
            std::uint64_t avail = parts_[d]->size() - off;
            if (avail == 0) throw Fail{kSpanReadError};
            std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, avail));
            read_exact(*parts_[d], p, take, off, kSpanReadError);
            p += take;
            n -= take;
            g += take;
        }
    }

    std::size_t part_count() const { return parts_.size(); }
    const std::string& name(std::size_t part) const { return names_[part]; }
    // The part holding position at of the joined stream, and where a part begins in it.
    std::size_t part_of(std::uint64_t at) const {
        auto it = std::upper_bound(starts_.begin(), starts_.end(), at + skip_);
        return static_cast<std::size_t>(it - starts_.begin()) - 1;
    }
    std::uint64_t part_start(std::size_t part) const {
        return starts_[part] - std::min(starts_[part], skip_);
    }

  private:
    EndRecord end_;
    std::vector<std::unique_ptr<File>> parts_;
    std::vector<std::string> names_;
    std::vector<std::uint64_t> starts_;
    std::uint64_t total_ = 0, skip_ = 0;
};

int do_unspan(const fs::path& archive, const fs::path& output) {
    SetReader set(archive);
    const EndRecord& end = set.end();
    std::uint64_t cd_at = set.position(end.cd_disk, end.cd_offset);
    if (cd_at + end.cd_size > set.size()) throw Fail{kSpanReadError};
    std::vector<unsigned char> cd(end.cd_size);
    set.read(cd.data(), cd.size(), cd_at);
    auto records = split_central(cd, end.entries);
    if (!records) throw Fail{kSpanReadError};
    // Every member must point at a local header with room for its data before the next member,
    // or the set is not what its directory says (a part missing bytes, parts mixed up).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // start, end of each member
    for (auto& rec : *records) {
        std::uint64_t at = set.position(get16(rec.data() + 34), get32(rec.data() + 42));
        if (at + kLocalFixed > cd_at || at > 0xFFFFFFFFu) throw Fail{kSpanReadError};
        unsigned char head[kLocalFixed];
        set.read(head, kLocalFixed, at);
        if (get32(head) != kLocalSig) throw Fail{kSpanReadError};
        std::uint64_t end_of_data =
            at + kLocalFixed + get16(head + 26) + get16(head + 28) + get32(rec.data() + 20);
        extents.emplace_back(at, end_of_data);
        put16(rec.data() + 34, 0);
        put32(rec.data() + 42, static_cast<std::uint32_t>(at));
    }
    std::sort(extents.begin(), extents.end());
    for (std::size_t i = 0; i < extents.size(); ++i) {
        std::uint64_t limit = i + 1 < extents.size() ? extents[i + 1].first : cd_at;
        if (extents[i].second > limit) throw Fail{kSpanReadError};
    }
    if (cd_at > 0xFFFFFFFFu) throw Fail{kSpanReadError};

    std::unique_ptr<File> out;
    try {
        out = pavo::file_system().open(output, OpenMode::kCreate);
    } catch (const pavo::Error&) {
        return kSpanUnknownError;
    }
    struct Cleanup {
        const fs::path& path;
        bool done = false;
        ~Cleanup() {
            if (done) return;
            try {
                pavo::file_system().remove(path);
            } catch (const pavo::Error&) {
            }
        }
    } cleanup{output};
    std::vector<unsigned char> buf(kChunk);
    auto begun = [&](std::size_t part) {
        if (settings().part_begun) settings().part_begun(set.name(part).c_str());
    };
    auto done = [&](std::size_t part) {
        if (settings().part_done) settings().part_done(set.name(part).c_str());
    };
    try {
        // Chunks end at part boundaries, so each part is announced as the copy reaches it.
        std::size_t announced = 0;
        begun(0);
        for (std::uint64_t pos = 0; pos < cd_at;) {
            const std::size_t here = set.part_of(pos);
            while (announced < here) {
                done(announced);
                begun(++announced);
            }
            std::uint64_t stop = here + 1 < set.part_count() ? set.part_start(here + 1) : cd_at;
            std::size_t take = static_cast<std::size_t>(
                std::min<std::uint64_t>(kChunk, std::min(stop, cd_at) - pos));
            set.read(buf.data(), take, pos);
            out->write(buf.data(), take);
            pos += take;
            if (!report_progress(set.name(here), static_cast<int>(pos * 100 / cd_at)))
                return kSpanStopped;
        }
        while (announced + 1 < set.part_count()) {
            done(announced);
            begun(++announced);
        }
        done(announced);
        for (const auto& rec : *records) out->write(rec.data(), rec.size());
        EndRecord e = end;
        e.this_disk = e.cd_disk = 0;
        e.entries_here = e.entries;
        e.cd_offset = static_cast<std::uint32_t>(cd_at);
        auto tail = end_record_bytes(e);
        out->write(tail.data(), tail.size());
        out->sync();
        out->close();
    } catch (const pavo::Error&) {
        return kSpanUnknownError;
    }
    cleanup.done = true;
    return kSpanOk;
}

template <class F>
int guarded(F&& f) {
    try {
        return f();
    } catch (const Fail& fail) {
        return fail.code;
    } catch (const std::bad_alloc&) {
        return kSpanNoMemory;
    } catch (...) {
        return kSpanUnknownError;
    }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int SetProperty(int number, const char* value) {
    if (!value) return kSpanBadArgument;
    Settings& s = settings();
    std::string v(value);
    switch (number) {
        case kSpanPropWorkFolder:
            s.work_folder = v;
            return kSpanOk;
        case kSpanPropTitle:
            s.title = v;
            return kSpanOk;
        case kSpanPropPartSize: {
            char* endp = nullptr;
            unsigned long long n = std::strtoull(value, &endp, 10);
            if (v.empty() || *endp || n < kMinPart || n > 0xFFFFFFFFull) return kSpanBadArgument;
            s.part_size = n;
            return kSpanOk;
        }
        case kSpanPropOverwrite:
        case kSpanPropKeepPartial:
            if (v != "0" && v != "1") return kSpanBadArgument;
            (number == kSpanPropOverwrite ? s.overwrite : s.keep_partial) = v == "1";
            return kSpanOk;
        case kSpanPropMaxParts: {
            char* endp = nullptr;
            long n = std::strtol(value, &endp, 10);
            if (v.empty() || *endp || n < 1 || n > kPartLimit) return kSpanBadArgument;
            s.max_parts = static_cast<int>(n);
            return kSpanOk;
        }
        default:
            return kSpanBadArgument;
    }
}

__attribute__((visibility("default"))) int SetCallback(int number, CorvexSpanAnyFn routine) {
    Settings& s = settings();
    switch (number) {
        case kSpanCallbackProgress:
            s.progress = reinterpret_cast<CorvexSpanProgressFn>(routine);
            return kSpanOk;
        case kSpanCallbackPartBegun:
            s.part_begun = reinterpret_cast<CorvexSpanNoticeFn>(routine);
            return kSpanOk;
        case kSpanCallbackPartDone:
            s.part_done = reinterpret_cast<CorvexSpanNoticeFn>(routine);
            return kSpanOk;
        default:
            return kSpanBadArgument;
    }
}

__attribute__((visibility("default"))) int Span(const char* archive, const char* set_name) {
    if (!archive || !set_name || !*archive || !*set_name) return kSpanBadArgument;
    return guarded([&] { return do_span(with_folder(archive), with_folder(set_name)); });
}

__attribute__((visibility("default"))) int UnSpan(const char* archive, const char* output) {
    if (!archive || !output || !*archive || !*output) return kSpanBadArgument;
    return guarded([&] { return do_unspan(with_folder(archive), with_folder(output)); });
}

__attribute__((visibility("default"))) int IsLast(const char* part) {
    if (!part) return kSpanBadArgument;
    return guarded([&] {
        std::unique_ptr<File> f;
        try {
            f = pavo::file_system().open(with_folder(part), OpenMode::kRead);
        } catch (const pavo::Error&) {
            return static_cast<int>(kSpanReadError);
        }
        return find_end(*f) ? 1 : 0;
    });
}

}  // extern "C"
