// The packing run: reads the old archive, plans which members are copied and which are packed anew,
// writes the new archive into a temporary file and puts it in place only when it is complete.
#include "archive/pack/pack_engine.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <random>
#include <thread>

#include "archive/pack/src/pack_compress.h"
#include "archive/pack/src/pack_options.h"
#include "archive/pack/src/pack_select.h"
#include "archive/zipcore/crc32.h"
#include "archive/zipcore/mask.h"
#include "archive/zipcore/zip_crypto.h"
#include "archive/zipcore/zip_format.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::zip {

namespace {

namespace fs = std::filesystem;
using detail::CompressJob;
using detail::CompressPipeline;
using detail::PackOptions;
using detail::SourceItem;

constexpr std::uint64_t kMaxZip32 = 0xFFFFFFFFull;
constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::size_t kCopyBuffer = 1 << 20;
constexpr int kPollMs = 50;

std::atomic<bool> g_busy{false};
std::atomic<int> g_workers{0};
std::mutex g_seed_mu;
std::optional<std::uint64_t> g_seed;

// Ends a run with a result; caught at the engine entry.
struct RunError {
    int code;
    std::string text;
};

// Suffixes of data that is compressed already: stored without trying to deflate.
bool stored_suffix(const std::string& name) {
    static const char* const kSuffixes[] = {".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj"};
    for (const char* s : kSuffixes) {
        std::size_t n = std::strlen(s);
        if (name.size() < n) continue;
        bool eq = true;
        for (std::size_t i = 0; i < n && eq; ++i) {
            char a = name[name.size() - n + i], b = s[i];
            eq = std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        }
        if (eq) return true;
    }
    return false;
}

bool valid_utf8_non_ascii(const std::string& s) {
    bool non_ascii = false;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        if (n > 1) non_ascii = true;
        i += n;
    }
    return non_ascii;
}

// The temporary archive: every write goes through here so the 32-bit limit is checked before a
// byte would pass it.
class Output {
  public:
    Output(std::unique_ptr<File> f, fs::path path) : f_(std::move(f)), path_(std::move(path)) {}

    std::uint64_t pos() const { return pos_; }
    const fs::path& path() const { return path_; }
    File& file() { return *f_; }  // for reading back what was written, before finish()

    void write(const void* data, std::size_t n) {
        if (pos_ + n > kMaxZip32) throw RunError{kPackTooBig, "archive would reach 4 GiB"};
        try {
            f_->write(data, n);
        } catch (const Error& e) {
            throw RunError{kPackWriteFailure, e.what()};
        }
        pos_ += n;
    }
    void write(const std::string& s) { write(s.data(), s.size()); }
    void patch(std::uint64_t at, const std::string& s) {
        try {
            f_->write_at(s.data(), s.size(), at);
        } catch (const Error& e) {
            throw RunError{kPackWriteFailure, e.what()};
        }
    }
    void rewind_to(std::uint64_t at) {
        try {
            f_->truncate(at);
            f_->seek(at);
        } catch (const Error& e) {
            throw RunError{kPackWriteFailure, std::string("can't rewrite method: ") + e.what()};
        }
        pos_ = at;
    }
    void finish() {
        try {
            f_->sync();
            f_->close();
        } catch (const Error& e) {
            throw RunError{kPackWriteFailure, e.what()};
        }
        f_.reset();
    }

  private:
    std::unique_ptr<File> f_;
    fs::path path_;
    std::uint64_t pos_ = 0;
};

std::string random_temp_name(std::mt19937_64& rng) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = "zi";
    for (int i = 0; i < 6; ++i) name += kChars[rng() % (sizeof kChars - 1)];
    return name;
}

// Creates "ziXXXXXX" in dir; throws RunError 10 when no name can be had.
std::pair<std::unique_ptr<File>, fs::path> create_temp(const fs::path& dir) {
    std::mt19937_64 rng(std::random_device{}());
    std::string last_error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = dir / random_temp_name(rng);
        try {
            return {file_system().open(p, OpenMode::kCreateNew, 0644), p};
        } catch (const Error& e) {
            last_error = e.what();
            if (e.kind() != ErrorKind::kExists) break;
        }
    }
    throw RunError{kPackTempFailure, last_error};
}

void remove_quietly(const fs::path& p) {
    try {
        file_system().remove(p);
    } catch (const Error&) {
    }
}

// A planned member of the new archive, in order.
struct PlanItem {
    const CentralEntry* old = nullptr;  // copied unchanged (or the entry a new file replaces)
    const SourceItem* src = nullptr;    // packed anew from this file
    std::size_t first_job = 0, job_count = 0;
};

class PackRun {
  public:
    PackRun(const PackOptions& opts, const PackCallbacks& cb) : opts_(opts), cb_(cb) {}

    int run();

  private:
    void say(const std::string& s) {
        if (cb_.message) cb_.message(s);
    }
    void info(const std::string& s) {
        if (!opts_.quiet) say(s);
    }
    void poll_abort() {
        if (cb_.abort_requested && cb_.abort_requested()) throw RunError{kPackInterrupted, {}};
    }
    int total_percent() const {
        if (total_bytes_ == 0) return 100;
        return static_cast<int>(done_bytes_ * 100 / total_bytes_);
    }
    void report(const SourceItem& s, std::uint64_t file_done, std::uint64_t compressed, bool done) {
        if (!cb_.progress) return;
        FileProgress p;
        p.name = s.stored_name;
        p.size = s.size;
        p.compressed_size = compressed;
        p.file_percent =
            s.size == 0 ? (done ? 100 : 0) : static_cast<int>(file_done * 100 / s.size);
        p.total_percent = total_percent();
        p.done = done;
        cb_.progress(p);
    }

    void read_old_archive();
    void plan_delete();
    void plan_add();
    void write_all();
    void copy_entry(const CentralEntry& e);
    bool pack_file(const PlanItem& item);  // false: the file could not be opened, nothing written
    void write_dir(const SourceItem& s);
    CentralEntry new_entry(const SourceItem& s) const;
    std::unique_ptr<CompressJob> wait_job();
    void write_stored_again(const SourceItem& s, CentralEntry& e, std::uint64_t header_pos);
    void check_written(std::uint64_t cd_start, std::uint64_t cd_size);
    void put_in_place();

    const PackOptions& opts_;
    const PackCallbacks& cb_;
    fs::path cwd_, archive_;
    std::unique_ptr<File> old_file_;
    ArchiveDirectory dir_;
    std::vector<SourceItem> sources_;
    std::vector<PlanItem> plan_;
    std::unique_ptr<CompressPipeline> pipe_;
    std::unique_ptr<Output> out_;
    std::vector<CentralEntry> written_;
    std::uint64_t total_bytes_ = 0, done_bytes_ = 0;
    bool unreadable_ = false;
    std::size_t deleted_ = 0;
    RandomByteSource random_;

  public:
    fs::path temp_path;  // removed by the caller on failure
};

void PackRun::read_old_archive() {
    FileInfo fi = file_system().stat(archive_);
    if (fi.type == EntryType::kMissing) return;
    if (fi.type != EntryType::kFile)
        throw RunError{kPackCreateFailure, "not a file: " + archive_.string()};
    if (fi.size == 0) return;  // an empty file is taken as no archive yet
    try {
        old_file_ = file_system().open(archive_, OpenMode::kRead);
    } catch (const Error& e) {
        throw RunError{kPackNotFound, e.what()};
    }
    std::string msg;
    ReadStatus st = read_directory(*old_file_, dir_, &msg);
    switch (st) {
        case ReadStatus::kOk:
            return;
        case ReadStatus::kTruncated:
            throw RunError{kPackUnexpectedEnd, msg};
        default:
            throw RunError{kPackBadStructure, msg};
    }
}

void PackRun::plan_delete() {
    MaskOptions m;
    m.angle_classes = opts_.angle_classes;
    m.case_insensitive = true;
    for (const auto& e : dir_.entries) {
        bool hit = false;
        for (const auto& f : opts_.files)
            if (mask_matches(normalize_pack_mask(f), e.name, m)) hit = true;
        if (hit && detail::passes_masks(opts_, e.name)) {
            ++deleted_;
            info("deleting: " + e.name);
            continue;
        }
        PlanItem p;
        p.old = &e;
        plan_.push_back(p);
    }
    if (deleted_ == 0) throw RunError{kPackNothingToDo, {}};
}

void PackRun::plan_add() {
    detail::Selection sel = detail::select_sources(opts_, cwd_, archive_);
    for (const auto& w : sel.warnings) say("warning: " + w);
    sources_ = std::move(sel.items);
    std::map<std::string, const CentralEntry*> existing;
    for (const auto& e : dir_.entries) existing.emplace(e.name, &e);
    std::map<std::string, const SourceItem*> chosen;
    for (const auto& s : sources_) {
        auto it = existing.find(s.stored_name);
        if (opts_.freshen && it == existing.end()) continue;
        // Freshen and update take a file only when it is newer than its member (DOS times keep
        // two-second steps, so compare at that grain).
        if ((opts_.freshen || opts_.update) && it != existing.end() &&
            s.mtime / 2 <= it->second->mtime() / 2)
            continue;
        if (!s.is_dir && s.size > kMaxZip32)
            throw RunError{kPackTooBig, "file too big for a 32-bit archive: " + s.stored_name};
        chosen.emplace(s.stored_name, &s);
    }
    if (chosen.empty()) throw RunError{kPackNothingToDo, {}};
    for (const auto& e : dir_.entries) {
        PlanItem p;
        p.old = &e;
        auto it = chosen.find(e.name);
        if (it != chosen.end()) {
            p.src = it->second;
            chosen.erase(it);
        }
        plan_.push_back(p);
    }
    for (const auto& s : sources_) {
        if (!chosen.count(s.stored_name)) continue;
        PlanItem p;
        p.src = &s;
        plan_.push_back(p);
    }
    if (plan_.size() > kMaxEntries) throw RunError{kPackTooBig, "more than 65535 members"};
}

CentralEntry PackRun::new_entry(const SourceItem& s) const {
    CentralEntry e;
    e.name = s.stored_name;
    e.version_made_by = (3 << 8) | 20;  // Unix attributes in the high half of external_attr
    std::uint32_t dt = unix_to_dos_datetime(s.mtime);
    e.dos_date = static_cast<std::uint16_t>(dt >> 16);
    e.dos_time = static_cast<std::uint16_t>(dt & 0xffff);
    if (valid_utf8_non_ascii(s.stored_name)) e.flags |= kFlagUtf8;
    std::uint32_t type = s.is_dir ? S_IFDIR : S_IFREG;
    e.external_attr = ((type | (s.mode & 07777)) << 16) | (s.is_dir ? 0x10 : 0);
    e.extra = make_ut_extra(s.mtime, s.atime, true);
    e.ut_mtime = s.mtime;
    return e;
}

void PackRun::write_dir(const SourceItem& s) {
    CentralEntry e = new_entry(s);
    e.version_needed = 20;
    e.local_header_offset = static_cast<std::uint32_t>(out_->pos());
    out_->write(build_local_header(e, make_ut_extra(s.mtime, s.atime, false)));
    info("  adding: " + s.stored_name + " (stored 0%)");
    written_.push_back(std::move(e));
}

void PackRun::copy_entry(const CentralEntry& e) {
    std::uint64_t data_offset = 0;
    ReadStatus st = locate_member_data(*old_file_, dir_, e, data_offset);
    if (st == ReadStatus::kTruncated)
        throw RunError{kPackUnexpectedEnd, "member cut short: " + e.name};
    if (st != ReadStatus::kOk) throw RunError{kPackBadStructure, "bad local header: " + e.name};
    std::uint64_t start = static_cast<std::uint64_t>(e.local_header_offset) + dir_.prefix_bytes;
    std::uint64_t end = data_offset + e.compressed_size;
    if (e.flags & kFlagDataDescriptor) {
        // The descriptor follows the data, with or without its optional signature.
        unsigned char sig[4] = {};
        std::size_t got = old_file_->read_at(sig, 4, end);
        std::uint64_t len = (got == 4 && get32(sig) == kDataDescriptorSignature) ? 16 : 12;
        if (end + len > old_file_->size())
            throw RunError{kPackUnexpectedEnd, "descriptor cut short: " + e.name};
        end += len;
    }
    CentralEntry copy = e;
    copy.local_header_offset = static_cast<std::uint32_t>(out_->pos());
    if (out_->pos() + (end - start) > kMaxZip32)
        throw RunError{kPackTooBig, "archive would reach 4 GiB"};
    std::vector<std::uint8_t> buf(
        static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBuffer, end - start)));
    for (std::uint64_t at = start; at < end;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), end - at));
        std::size_t got = 0;
        try {
            while (got < n) {
                std::size_t r = old_file_->read_at(buf.data() + got, n - got, at + got);
                if (r == 0) throw RunError{kPackUnexpectedEnd, "archive cut short: " + e.name};
                got += r;
            }
        } catch (const Error& err) {
            throw RunError{kPackReadFailure, err.what()};
        }
        out_->write(buf.data(), n);
        at += n;
        poll_abort();
    }
    written_.push_back(std::move(copy));
}

std::unique_ptr<CompressJob> PackRun::wait_job() {
    for (;;) {
        poll_abort();
        if (auto job = pipe_->next_done(kPollMs)) return job;
    }
}

void PackRun::write_stored_again(const SourceItem& s, CentralEntry& e, std::uint64_t header_pos) {
    out_->rewind_to(header_pos);
    e.method = kMethodStored;
    e.flags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);
    e.version_needed = opts_.password ? 20 : 10;
    e.compressed_size = e.uncompressed_size + (opts_.password ? kEncryptionHeaderSize : 0);
    out_->write(build_local_header(e, make_ut_extra(s.mtime, s.atime, false)));
    std::optional<TraditionalCipher> cipher;
    if (opts_.password) {
        cipher.emplace(*opts_.password);
        auto h = make_encryption_header(
            *cipher, encryption_check_byte(e.flags, e.crc32, e.dos_time), random_);
        out_->write(h.data(), h.size());
    }
    std::unique_ptr<File> f;
    try {
        f = file_system().open(s.host, OpenMode::kRead);
    } catch (const Error& err) {
        throw RunError{kPackReadFailure, err.what()};
    }
    std::vector<std::uint8_t> buf(detail::block_size());
    std::uint32_t crc = 0;
    for (std::uint64_t at = 0; at < e.uncompressed_size;) {
        std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), e.uncompressed_size - at));
        std::size_t got = 0;
        try {
            while (got < n) {
                std::size_t r = f->read_at(buf.data() + got, n - got, at + got);
                if (r == 0) throw RunError{kPackReadFailure, "file ended early: " + s.stored_name};
                got += r;
            }
        } catch (const Error& err) {
            throw RunError{kPackReadFailure, err.what()};
        }
        crc = crc32_update(crc, buf.data(), n);
        if (cipher) cipher->encrypt(buf.data(), n);
        out_->write(buf.data(), n);
        at += n;
        poll_abort();
    }
    if (crc != e.crc32)
        throw RunError{kPackReadFailure, "file changed while being packed: " + s.stored_name};
}

bool PackRun::pack_file(const PlanItem& item) {
    const SourceItem& s = *item.src;
    report(s, 0, 0, false);
    auto first = wait_job();
    if (first->error == 18) {
        // Drop the rest of this member's blocks; the member is left out (or kept as it was).
        for (std::size_t i = 1; i < item.job_count; ++i) wait_job();
        say("warning: could not open for reading: " + s.stored_name + " (" + first->error_text +
            ")");
        return false;
    }
    CentralEntry e = new_entry(s);
    const bool encrypt = opts_.password.has_value();
    const bool whole = item.job_count == 1 && first->length == s.size && first->offset == 0;
    std::uint64_t header_pos = out_->pos();
    e.local_header_offset = static_cast<std::uint32_t>(header_pos);
    e.uncompressed_size = static_cast<std::uint32_t>(s.size);
    bool deflate = first->level > 0;
    std::optional<TraditionalCipher> cipher;
    if (encrypt) {
        e.flags |= kFlagEncrypted;
        cipher.emplace(*opts_.password);
    }
    std::string local_extra = make_ut_extra(s.mtime, s.atime, false);
    if (first->error) throw RunError{first->error, first->error_text};
    if (whole) {
        // Everything is known before the first byte is written.
        bool stored = !deflate || first->stored;
        e.method = stored ? kMethodStored : kMethodDeflated;
        e.version_needed = (stored && !encrypt) ? 10 : 20;
        e.crc32 = first->crc;
        std::uint64_t csize = first->data.size() + (encrypt ? kEncryptionHeaderSize : 0);
        if (csize > kMaxZip32) throw RunError{kPackTooBig, "member too big: " + s.stored_name};
        e.compressed_size = static_cast<std::uint32_t>(csize);
        out_->write(build_local_header(e, local_extra));
        if (cipher) {
            auto h = make_encryption_header(
                *cipher, encryption_check_byte(e.flags, e.crc32, e.dos_time), random_);
            out_->write(h.data(), h.size());
            cipher->encrypt(first->data.data(), first->data.size());
        }
        out_->write(first->data.data(), first->data.size());
        done_bytes_ += s.size;
    } else {
        // Blocks: the CRC is known only at the end, so an encrypted member checks against its DOS
        // time and carries the CRC in a trailing data descriptor; sizes are patched in afterwards.
        e.method = deflate ? kMethodDeflated : kMethodStored;
        e.version_needed = (deflate || encrypt) ? 20 : 10;
        if (encrypt) e.flags |= kFlagDataDescriptor;
        out_->write(build_local_header(e, local_extra));
        if (cipher) {
            auto h = make_encryption_header(*cipher, encryption_check_byte(e.flags, 0, e.dos_time),
                                            random_);
            out_->write(h.data(), h.size());
        }
        std::uint32_t crc = 0;
        std::uint64_t csize = 0, file_done = 0;
        for (std::size_t i = 0; i < item.job_count; ++i) {
            auto job = i == 0 ? std::move(first) : wait_job();
            if (job->error)
                throw RunError{job->error == 18 ? kPackReadFailure : job->error, job->error_text};
            crc = crc32_combine(crc, job->crc, job->length);
            if (cipher) cipher->encrypt(job->data.data(), job->data.size());
            out_->write(job->data.data(), job->data.size());
            csize += job->data.size();
            file_done += job->length;
            done_bytes_ += job->length;
            if (i + 1 < item.job_count) report(s, file_done, csize, false);
        }
        e.crc32 = crc;
        if (deflate && csize >= s.size) {
            write_stored_again(s, e, header_pos);
            csize = s.size;
        } else {
            if (encrypt) csize += kEncryptionHeaderSize;
            if (csize > kMaxZip32) throw RunError{kPackTooBig, "member too big: " + s.stored_name};
            e.compressed_size = static_cast<std::uint32_t>(csize);
            std::string fields;
            put32(fields, e.crc32);
            put32(fields, e.compressed_size);
            put32(fields, e.uncompressed_size);
            out_->patch(header_pos + 14, fields);
            if (encrypt) {
                std::string dd;
                put32(dd, kDataDescriptorSignature);
                dd += fields;
                out_->write(dd);
            }
        }
    }
    report(s, s.size, e.compressed_size, true);
    if (!opts_.quiet) {
        int pct =
            s.size == 0
                ? 0
                : static_cast<int>(100 - (static_cast<std::uint64_t>(e.compressed_size) * 100) /
                                             std::max<std::uint64_t>(s.size, 1));
        if (e.compressed_size > s.size) pct = 0;
        info("  adding: " + s.stored_name +
             (e.method == kMethodStored ? " (stored " : " (deflated ") +
             std::to_string(e.method == kMethodStored ? 0 : pct) + "%)");
    }
    written_.push_back(std::move(e));
    return true;
}

void PackRun::write_all() {
    // Queue every file's compression up front (the pipeline bounds memory itself), then write in
    // plan order while the workers run ahead.
    int workers = g_workers.load();
    if (workers <= 0)
        workers = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    pipe_ = std::make_unique<CompressPipeline>(workers);
    std::size_t seq = 0;
    for (auto& item : plan_) {
        if (!item.src || item.src->is_dir) continue;
        const SourceItem& s = *item.src;
        int level = (opts_.level == 0 || stored_suffix(s.stored_name)) ? 0 : opts_.level;
        total_bytes_ += s.size;
        item.first_job = seq;
        const std::uint64_t block = detail::block_size();
        std::uint64_t pieces =
            s.size <= detail::whole_member_limit() ? 1 : (s.size + block - 1) / block;
        for (std::uint64_t i = 0; i < pieces; ++i) {
            auto job = std::make_unique<CompressJob>();
            job->host = s.host;
            job->level = level;
            job->whole = pieces == 1;
            job->offset = pieces == 1 ? 0 : i * block;
            job->length = pieces == 1 ? s.size : std::min(block, s.size - job->offset);
            job->last = i + 1 == pieces;
            pipe_->submit(std::move(job));
            ++seq;
        }
        item.job_count = static_cast<std::size_t>(pieces);
    }

    auto [file, path] = create_temp(
        opts_.temp_dir.empty() ? cwd_ : detail::map_path_argument(opts_.temp_dir, cwd_));
    temp_path = path;
    out_ = std::make_unique<Output>(std::move(file), path);

    if (dir_.prefix_bytes > 0) {
        // Keep a self-extractor stub or other leading bytes; offsets below are absolute.
        std::vector<std::uint8_t> buf(
            static_cast<std::size_t>(std::min<std::uint64_t>(dir_.prefix_bytes, kCopyBuffer)));
        for (std::uint64_t at = 0; at < dir_.prefix_bytes;) {
            std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(buf.size(), dir_.prefix_bytes - at));
            if (old_file_->read_at(buf.data(), n, at) != n)
                throw RunError{kPackUnexpectedEnd, "archive cut short"};
            out_->write(buf.data(), n);
            at += n;
        }
    }
    for (const auto& item : plan_) {
        poll_abort();
        if (item.src && item.src->is_dir) {
            write_dir(*item.src);
        } else if (item.src) {
            if (!pack_file(item)) {
                unreadable_ = true;
                if (item.old) copy_entry(*item.old);
            }
        } else {
            copy_entry(*item.old);
        }
    }
    pipe_.reset();
    if (written_.empty() && !opts_.delete_mode)
        throw RunError{unreadable_ ? kPackNotFound : kPackNothingToDo, {}};

    std::uint64_t cd_start = out_->pos();
    for (const auto& e : written_) out_->write(build_central_header(e));
    std::uint64_t cd_size = out_->pos() - cd_start;
    out_->write(build_end_record(written_.size(), static_cast<std::uint32_t>(cd_size),
                                 static_cast<std::uint32_t>(cd_start), dir_.comment));
    check_written(cd_start, cd_size);
    out_->finish();
}

// The old archive's comment goes into the new end record unchanged. A damaged archive can carry
// what looks like an end record with its own directory in there (an end record whose comment
// length runs past the file swallows everything after it); in the new archive that record comes
// after the real one, so readers, which search from the end, would take it and find members where
// none are. Read the new archive back as a reader would and keep the old one when it differs.
void PackRun::check_written(std::uint64_t cd_start, std::uint64_t cd_size) {
    bool same = false;
    try {
        File& f = out_->file();
        ArchiveDirectory back;
        same = read_directory(f, back) == ReadStatus::kOk && back.prefix_bytes == 0 &&
               back.cd_offset == cd_start && back.cd_size == cd_size &&
               back.entries.size() == written_.size();
        for (std::size_t i = 0; same && i < back.entries.size(); ++i) {
            std::uint64_t data_offset = 0;
            same = back.entries[i].local_header_offset == written_[i].local_header_offset &&
                   locate_member_data(f, back, back.entries[i], data_offset) == ReadStatus::kOk;
        }
    } catch (const Error& e) {
        throw RunError{kPackWriteFailure,
                       std::string("can't read back the new archive: ") + e.what()};
    }
    if (!same)
        throw RunError{kPackBadStructure,
                       "the new archive would not read back as written; the archive comment may "
                       "hold another end record"};
}

void PackRun::put_in_place() {
    fs::path folder = archive_.parent_path();
    try {
        file_system().rename(temp_path, archive_);
        file_system().sync_directory(folder);
        return;
    } catch (const Error& e) {
        say(std::string("warning: cannot move the new archive into place, copying: ") + e.what());
    }
    // A move can fail across file systems; copy into the archive's own folder and rename there,
    // so the old archive is still replaced in one step.
    fs::path second;
    try {
        std::unique_ptr<File> in = file_system().open(temp_path, OpenMode::kRead);
        auto [f, p] = create_temp(folder);
        second = p;
        std::vector<std::uint8_t> buf(kCopyBuffer);
        for (;;) {
            std::size_t n = in->read(buf.data(), buf.size());
            if (n == 0) break;
            f->write(buf.data(), n);
        }
        f->sync();
        f->close();
        file_system().rename(second, archive_);
        file_system().sync_directory(folder);
        remove_quietly(temp_path);
    } catch (const Error& e) {
        if (!second.empty()) remove_quietly(second);
        throw RunError{kPackTempFailure, e.what()};
    } catch (const RunError&) {
        if (!second.empty()) remove_quietly(second);
        throw;
    }
}

int PackRun::run() {
    cwd_ = fs::current_path();
    archive_ = detail::map_path_argument(opts_.archive, cwd_);
    if (archive_.filename().string().find('.') == std::string::npos) archive_ += ".zip";
    if (file_system().stat(archive_.parent_path()).type != EntryType::kDirectory)
        throw RunError{kPackCreateFailure,
                       "folder of the archive does not exist: " + archive_.parent_path().string()};
    if (opts_.password) {
        if (auto seed = [] {
                std::lock_guard<std::mutex> lock(g_seed_mu);
                return g_seed;
            }()) {
            auto engine = std::make_shared<std::mt19937_64>(*seed);
            random_ = [engine] { return static_cast<std::uint8_t>((*engine)() >> 56); };
        } else {
            random_ = system_random_bytes();
        }
    }
    read_old_archive();
    if (opts_.delete_mode) {
        if (!old_file_ || dir_.entries.empty()) throw RunError{kPackMissingZip, archive_.string()};
        plan_delete();
    } else {
        plan_add();
    }
    write_all();
    old_file_.reset();
    put_in_place();
    temp_path.clear();
    if (opts_.move) {
        // Files first, then folders deepest first; a folder that is not empty stays.
        std::vector<const SourceItem*> dirs;
        for (const auto& item : plan_) {
            if (!item.src) continue;
            if (item.src->is_dir) {
                dirs.push_back(item.src);
                continue;
            }
            try {
                file_system().remove(item.src->host);
            } catch (const Error& e) {
                say(std::string("warning: cannot remove ") + e.what());
            }
        }
        std::sort(dirs.begin(), dirs.end(),
                  [](auto* a, auto* b) { return a->stored_name > b->stored_name; });
        for (auto* d : dirs) remove_quietly(d->host);
    }
    return unreadable_ ? kPackNotFound : kPackOk;
}

}  // namespace

int pack_main(int argc, const char* const* argv, const PackCallbacks& cb) {
    bool expected = false;
    if (!g_busy.compare_exchange_strong(expected, true)) return kPackInternal;
    struct Release {
        ~Release() { g_busy = false; }
    } release;
    PackOptions opts;
    std::optional<PackRun> run;
    auto say = [&cb](const std::string& s) {
        if (cb.message) cb.message(s);
    };
    try {
        std::string error;
        if (int rc = detail::parse_pack_options(argc, argv, opts, error)) {
            say("error: " + error);
            return rc;
        }
        run.emplace(opts, cb);
        return run->run();
    } catch (const RunError& e) {
        if (run && !run->temp_path.empty()) remove_quietly(run->temp_path);
        if (e.code != kPackInterrupted)
            say(std::string("error: ") + pack_result_text(e.code) +
                (e.text.empty() ? "" : " (" + e.text + ")"));
        return e.code;
    } catch (const std::bad_alloc&) {
        if (run && !run->temp_path.empty()) remove_quietly(run->temp_path);
        return kPackOutOfMemory;
    } catch (const Error& e) {
        if (run && !run->temp_path.empty()) remove_quietly(run->temp_path);
        say(std::string("error: ") + e.what());
        return e.kind() == ErrorKind::kInvalidInput ? kPackBadArguments : kPackInternal;
    } catch (const std::exception& e) {
        if (run && !run->temp_path.empty()) remove_quietly(run->temp_path);
        say(std::string("error: ") + e.what());
        return kPackInternal;
    } catch (...) {
        if (run && !run->temp_path.empty()) remove_quietly(run->temp_path);
        return kPackInternal;
    }
}

const char* pack_result_text(int result) {
    switch (result) {
        case 0:
            return "success";
        case 2:
            return "Unexpected end of zip file";
        case 3:
            return "Zip file structure invalid";
        case 4:
            return "Out of memory";
        case 5:
            return "Internal logic error";
        case 6:
            return "Entry too big to split";
        case 7:
            return "Invalid comment format";
        case 8:
            return "Zip file invalid or could not spawn unzip";
        case 9:
            return "Interrupted";
        case 10:
            return "Temporary file failure";
        case 11:
            return "Input file read failure";
        case 12:
            return "Nothing to do!";
        case 13:
            return "Missing or empty zip file";
        case 14:
            return "Output file write failure";
        case 15:
            return "Could not create output file";
        case 16:
            return "Invalid command arguments";
        case 18:
            return "File not found or no read permission";
        default:
            return "Unknown error";
    }
}

void set_pack_worker_threads(int n) {
    g_workers = n;
}

void set_pack_random_seed(std::optional<std::uint64_t> seed) {
    std::lock_guard<std::mutex> lock(g_seed_mu);
    g_seed = seed;
}

}  // namespace pavo::zip
