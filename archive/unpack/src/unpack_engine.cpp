// The unpacking engine: argument parsing, member selection, safe paths, decoding and writing.
#include "archive/unpack/unpack_engine.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <unordered_map>
#include <vector>

#include "archive/unpack/explode.h"
#include "archive/zipcore/crc32.h"
#include "archive/zipcore/mask.h"
#include "archive/zipcore/zip_crypto.h"
#include "archive/zipcore/zip_format.h"
#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::zip {

namespace {

std::atomic<bool> g_running{false};

// Decoding runs through two buffers of this size, made once per run and reused by every member:
// big enough that the read and write calls cost little, small enough that what the decoder has
// just written is still in the cache when the CRC pass and the copy into the file read it. Memory
// does not grow with the size of a member.
constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kMaxComponents = 128;
constexpr std::size_t kMaxNameBytes = 1024;
// The version of the application note whose features the reader handles (4.5: ZIP64 fields).
constexpr unsigned kMaxVersionNeeded = 45;

struct Options {
    bool info = false, case_insensitive = false, overwrite = false, never_overwrite = false;
    bool angle_classes = false, junk_paths = false, test = false, freshen = false, update = false;
    int quiet = 0;
    std::optional<std::int64_t> not_after, not_before;  // Unix times
    std::optional<std::string> password;
    std::optional<std::string> archive, folder;
    std::vector<std::string> include, exclude;
};

struct Arg {
    std::string text;
    bool quoted = false;
};

Arg unquote(const char* s) {
    Arg a;
    a.text = s ? s : "";
    if (a.text.size() >= 2 && a.text.front() == '"' && a.text.back() == '"') {
        a.text = a.text.substr(1, a.text.size() - 2);
        a.quoted = true;
    }
    return a;
}

// "0" is no limit; otherwise MMDDYYYY, the date form of the packing engine's -t option.
bool parse_day(const std::string& text, bool end_of_day, std::optional<std::int64_t>& out) {
    if (text == "0") {
        out.reset();
        return true;
    }
    if (text.size() != 8 || !std::all_of(text.begin(), text.end(),
                                         [](unsigned char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::tm tm{};
    tm.tm_mon = std::stoi(text.substr(0, 2)) - 1;
    tm.tm_mday = std::stoi(text.substr(2, 2));
    tm.tm_year = std::stoi(text.substr(4, 4)) - 1900;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31) return false;
    if (end_of_day) ++tm.tm_mday;
    tm.tm_isdst = -1;
    out = static_cast<std::int64_t>(std::mktime(&tm)) - (end_of_day ? 1 : 0);
    return true;
}

// Parses the argument list; false on an option the engine does not know or a missing value.
bool parse_options(int argc, const char* const* argv, Options& o, std::string& why) {
    enum { kMasks, kInclude, kExclude } list = kMasks;
    for (int i = 1; i < argc; ++i) {
        Arg a = unquote(argv[i]);
        if (a.quoted || a.text.size() < 2 || a.text[0] != '-') {
            if (!o.archive) {
                o.archive = a.text;
            } else if (!a.text.empty()) {
                (list == kExclude ? o.exclude : o.include).push_back(a.text);
            }
            continue;
        }
        std::string opt = a.text.substr(1);
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) {
                why = "option -" + opt + " needs a value";
                return false;
            }
            v = unquote(argv[++i]).text;
            return true;
        };
        std::string v;
        if (opt == "Z") {
            if (i != 1) {
                why = "-Z must be the first option";
                return false;
            }
            o.info = true;
        } else if (opt == "Ga" || opt == "Gb") {
            if (!value(v)) return false;
            if (!parse_day(v, opt == "Ga", opt == "Ga" ? o.not_after : o.not_before)) {
                why = "bad date for -" + opt + ": " + v;
                return false;
            }
        } else if (opt == "Gw") {
            o.angle_classes = true;
        } else if (opt == "P") {
            if (!value(v)) return false;
            if (!v.empty()) o.password = v;
        } else if (opt == "d") {
            if (!value(v)) return false;
            o.folder = v;
        } else if (opt == "x") {
            list = kExclude;
        } else if (opt == "i") {
            list = kInclude;
        } else {
            for (char c : opt) {
                switch (c) {
                    case 'q':
                        ++o.quiet;
                        break;
                    case 'C':
                        o.case_insensitive = true;
                        break;
                    case 'o':
                        o.overwrite = true;
                        break;
                    case 'n':
                        o.never_overwrite = true;
                        break;
                    case 'j':
                        o.junk_paths = true;
                        break;
                    case 't':
                        o.test = true;
                        break;
                    case 'f':
                        o.freshen = true;
                        break;
                    case 'u':
                        o.update = true;
                        break;
                    case '$':
                        break;  // volume labels are never restored on this platform
                    default:
                        why = "unknown option -" + opt;
                        return false;
                }
            }
        }
    }
    if (!o.archive || o.archive->empty()) {
        why = "no archive named";
        return false;
    }
    if (o.never_overwrite) o.overwrite = false;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool is_disk_full(int err) {
    return err == ENOSPC || err == EDQUOT;
}

// Outcome of one member.
enum class Outcome {
    kDone,         // extracted, tested, or a folder made
    kQuietSkip,    // left alone on purpose (-n, -f, -u): not a warning
    kWarning,      // skipped with a warning (existing file without -o, a link member)
    kUnsafe,       // a name that would leave the extraction folder
    kUnsupported,  // method, version or encryption the engine cannot handle
    kBadPassword,
    kError,  // damaged member or a write failure; see error_code
    kStop,   // abort or disk full: the run ends; see error_code
};

struct MemberResult {
    Outcome outcome = Outcome::kDone;
    int error_code = 0;
};

// Splits a member name into the components it is written under, or says why it must not be.
bool safe_components(const std::string& name, std::vector<std::string>& comps, bool& had_backslash,
                     std::string& why) {
    std::string n = name;
    had_backslash = n.find('\\') != std::string::npos;
    std::replace(n.begin(), n.end(), '\\', '/');
    comps.clear();
    if (n.find('\0') != std::string::npos) {
        why = "name holds a NUL character";
        return false;
    }
    if (!n.empty() && n[0] == '/') {
        why = "absolute path";
        return false;
    }
    if (n.size() >= 2 && std::isalpha(static_cast<unsigned char>(n[0])) && n[1] == ':') {
        why = "drive letter in the name";
        return false;
    }
    if (n.size() > kMaxNameBytes) {
        why = "name too long";
        return false;
    }
    std::size_t start = 0;
    while (start <= n.size()) {
        std::size_t end = n.find('/', start);
        if (end == std::string::npos) end = n.size();
        std::string c = n.substr(start, end - start);
        if (c == "..") {
            why = "name climbs out of the extraction folder";
            return false;
        }
        if (!c.empty() && c != ".") comps.push_back(c);
        start = end + 1;
    }
    if (comps.size() > kMaxComponents) {
        why = "path too deep";
        return false;
    }
    return true;
}

// Buffers and decoder state shared by all members of a run, made on first use.
struct DecodeBuffers {
    std::unique_ptr<std::uint8_t[]> in, out;
    std::unique_ptr<inflate_state> inflater;
    void ensure() {
        if (!in) in.reset(new std::uint8_t[kChunk]);
        if (!out) out.reset(new std::uint8_t[kChunk]);
        if (!inflater) inflater = std::make_unique<inflate_state>();
    }
};

class Run {
  public:
    Run(const Options& o, const UnpackCallbacks& cb) : o_(o), cb_(cb) {}
    int execute();

  private:
    // Message levels: 0 progress, 1 warnings and errors.
    void say(int level, const std::string& text) const {
        if (!cb_.message) return;
        if (o_.quiet >= 2) return;
        if (o_.quiet == 1 && level == 0) return;
        cb_.message(text);
    }
    bool aborted() {
        if (!aborted_ && cb_.abort_requested && cb_.abort_requested()) aborted_ = true;
        return aborted_;
    }
    bool selected(const CentralEntry& e) const;
    void list_member(const CentralEntry& e);
    MemberResult extract_member(const CentralEntry& e);
    MemberResult decode(const CentralEntry& e, std::uint64_t data_offset,
                        const std::function<void(const std::uint8_t*, std::size_t)>& sink);
    void report(const CentralEntry& e, std::uint64_t done, bool finished);

    // Finds (case-insensitively, like the drive map) or creates the folder dir/name; nullopt with
    // why set when it is a link, a file, or cannot be made.
    std::optional<fs::path> enter_folder(const fs::path& dir, const std::string& name,
                                         std::string& why, bool& unsafe);
    std::optional<std::string> find_in(const fs::path& dir, const std::string& name);

    const Options& o_;
    const UnpackCallbacks& cb_;
    std::unique_ptr<File> archive_;
    ArchiveDirectory dir_;
    DecodeBuffers buffers_;
    fs::path root_;
    std::uint64_t total_ = 0, done_total_ = 0;
    bool aborted_ = false;
    int late_warnings_ = 0;  // a file extracted, but its time or mode not set
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
    std::vector<std::pair<fs::path, std::int64_t>> folder_times_;
    std::mt19937_64 rng_{std::random_device{}()};
};

bool Run::selected(const CentralEntry& e) const {
    MaskOptions mo;
    mo.angle_classes = o_.angle_classes;
    mo.case_insensitive = o_.case_insensitive;
    std::string name = e.name;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (!o_.include.empty() &&
        std::none_of(o_.include.begin(), o_.include.end(),
                     [&](const std::string& m) { return mask_matches(m, name, mo); }))
        return false;
    if (std::any_of(o_.exclude.begin(), o_.exclude.end(),
                    [&](const std::string& m) { return mask_matches(m, name, mo); }))
        return false;
    std::int64_t t = e.mtime();
    if (o_.not_after && t > *o_.not_after) return false;
    if (o_.not_before && t < *o_.not_before) return false;
    return true;
}

bool is_volume_label(const CentralEntry& e) {
    unsigned host = e.version_made_by >> 8;
    // DOS-family hosts (FAT, OS/2 HPFS, NTFS, VFAT) keep the DOS attribute byte.
    bool dos_attrs = host == 0 || host == 6 || host == 11 || host == 14;
    return dos_attrs && (e.external_attr & 0x08) && !(e.external_attr & 0x10);
}

int ratio_of(std::uint64_t compressed, std::uint64_t uncompressed) {
    if (uncompressed == 0) return 100;
    double ratio = std::trunc(100.0 - static_cast<double>(compressed) /
                                          static_cast<double>(uncompressed) * 100.0);
    // A member that grew billions of times (a lying header) still gets a number an int holds.
    return static_cast<int>(std::max(ratio, -2147483647.0));
}

std::int64_t local_wall_clock(std::int64_t t) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return t;
    return static_cast<std::int64_t>(timegm(&tm));
}

void Run::list_member(const CentralEntry& e) {
    MemberInfo mi;
    mi.name = e.name;
    mi.comment = e.comment;
    mi.uncompressed_size = e.uncompressed_size;
    mi.compressed_size = e.compressed_size;
    mi.ratio = ratio_of(e.compressed_size, e.uncompressed_size);
    mi.crc32 = e.crc32;
    mi.mtime = local_wall_clock(e.mtime());
    mi.encrypted = e.encrypted();
    if (cb_.member_info) cb_.member_info(mi);
}

void Run::report(const CentralEntry& e, std::uint64_t done, bool finished) {
    if (!cb_.progress) return;
    FileProgress p;
    p.name = e.name;
    p.size = e.uncompressed_size;
    p.compressed_size = e.compressed_size;
    p.file_percent = e.uncompressed_size == 0 ? (finished ? 100 : 0)
                                              : static_cast<int>(done * 100 / e.uncompressed_size);
    p.total_percent =
        total_ == 0 ? 100
                    : static_cast<int>(std::min<std::uint64_t>(done_total_ * 100 / total_, 100));
    p.done = finished;
    cb_.progress(p);
}

std::optional<std::string> Run::find_in(const fs::path& dir, const std::string& name) {
    FileSystem& fsys = file_system();
    if (fsys.stat(dir / name, false).type != EntryType::kMissing) return name;
    auto it = listings_.find(dir.string());
    if (it == listings_.end()) {
        std::unordered_map<std::string, std::string> names;
        try {
            for (const auto& d : fsys.list(dir)) names.emplace(lower(d.name), d.name);
        } catch (const Error&) {
        }
        it = listings_.emplace(dir.string(), std::move(names)).first;
    }
    auto hit = it->second.find(lower(name));
    if (hit == it->second.end()) return std::nullopt;
    return hit->second;
}

std::optional<fs::path> Run::enter_folder(const fs::path& dir, const std::string& name,
                                          std::string& why, bool& unsafe) {
    FileSystem& fsys = file_system();
    auto found = find_in(dir, name);
    fs::path p = dir / (found ? *found : name);
    FileInfo st = fsys.stat(p, false);
    if (st.type == EntryType::kMissing) {
        int err = fsys.make_directory(p);
        if (err != 0 && err != EEXIST) {
            why = "cannot create folder " + p.string() + ": " + os_error_text(err);
            return std::nullopt;
        }
        listings_[dir.string()].emplace(lower(name), name);
        listings_.emplace(p.string(), std::unordered_map<std::string, std::string>{});
        say(0, "   creating: " + p.lexically_relative(root_).string() + "/");
        st = fsys.stat(p, false);
    }
    if (st.type == EntryType::kSymlink) {
        why = "symbolic link " + p.string() + " on the way is not followed";
        unsafe = true;
        return std::nullopt;
    }
    if (st.type != EntryType::kDirectory) {
        why = p.string() + " is in the way of a folder";
        return std::nullopt;
    }
    return p;
}

// Pulls a member's compressed bytes from the archive, decrypting them when needed.
class MemberInput {
  public:
    MemberInput(File& f, std::uint64_t offset, std::uint64_t length, TraditionalCipher* cipher)
        : f_(f), pos_(offset), left_(length), cipher_(cipher) {}
    std::size_t read(std::uint8_t* buf, std::size_t cap) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(cap, left_));
        if (n == 0) return 0;
        std::size_t got = f_.read_at(buf, n, pos_);
        pos_ += got;
        left_ -= got;
        if (got < n) left_ = 0;  // the file is shorter than it was a moment ago
        if (cipher_) cipher_->decrypt(buf, got);
        return got;
    }
    std::uint64_t left() const { return left_; }

  private:
    File& f_;
    std::uint64_t pos_, left_;
    TraditionalCipher* cipher_;
};

struct DecodeFailure {
    int code;
    std::string why;
};

MemberResult Run::decode(const CentralEntry& e, std::uint64_t data_offset,
                         const std::function<void(const std::uint8_t*, std::size_t)>& sink) {
    std::uint64_t csize = e.compressed_size;
    std::optional<TraditionalCipher> cipher;
    if (e.encrypted()) {
        if (!o_.password) {
            say(1, "   skipping: " + e.name + "  no password given for encrypted member");
            return {Outcome::kBadPassword, 0};
        }
        if (csize < kEncryptionHeaderSize) {
            say(1, "  error: " + e.name + "  encrypted member too short");
            return {Outcome::kError, 2};
        }
        std::uint8_t header[kEncryptionHeaderSize];
        if (archive_->read_at(header, sizeof header, data_offset) != sizeof header)
            return {Outcome::kError, 51};
        cipher.emplace(*o_.password);
        if (!check_encryption_header(*cipher, header,
                                     encryption_check_byte(e.flags, e.crc32, e.dos_time))) {
            say(1, "   skipping: " + e.name + "  incorrect password");
            return {Outcome::kBadPassword, 0};
        }
        data_offset += kEncryptionHeaderSize;
        csize -= kEncryptionHeaderSize;
    }
    MemberInput in(*archive_, data_offset, csize, cipher ? &*cipher : nullptr);
    const std::uint64_t usize = e.uncompressed_size;
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;
    bool stopped = false;
    // Hands decoded bytes on in chunks, with progress and the abort poll between them.
    auto emit = [&](const std::uint8_t* data, std::size_t n) {
        while (n > 0) {
            // The CRC pass brings the piece into the cache just before the kernel copies it out.
            std::size_t k = std::min(n, kChunk);
            crc = crc32_update(crc, data, k);
            sink(data, k);
            produced += k;
            done_total_ += k;
            data += k;
            n -= k;
            report(e, produced, false);
            if (aborted()) {
                stopped = true;
                return false;
            }
        }
        return true;
    };
    auto fail = [&](int code, const std::string& why) -> MemberResult {
        // Garbage from a member that passed the password check by chance is a wrong password.
        if (cipher && code == 2) {
            say(1, "   skipping: " + e.name + "  incorrect password");
            return {Outcome::kBadPassword, 0};
        }
        say(1, "  error: " + e.name + "  " + why);
        return {Outcome::kError, code};
    };
    auto stopped_result = [&]() -> MemberResult { return {Outcome::kStop, 80}; };

    buffers_.ensure();
    std::uint8_t* const inbuf = buffers_.in.get();
    std::uint8_t* const outbuf = buffers_.out.get();
    if (e.method == kMethodStored) {
        if (csize != usize)
            return fail(2, "stored sizes disagree (" + std::to_string(csize) + " vs " +
                               std::to_string(usize) + ")");
        while (in.left() > 0) {
            std::size_t n = in.read(outbuf, kChunk);
            if (n == 0) return fail(51, "member data cut short");
            if (!emit(outbuf, n)) return stopped_result();
        }
    } else if (e.method == kMethodDeflated) {
        // A raw deflate stream, decoded piece by piece: ISA-L keeps its window inside its own
        // state, so the output buffer is handed over afresh for every piece.
        inflate_state& zs = *buffers_.inflater;
        isal_inflate_init(&zs);
        zs.crc_flag = ISAL_DEFLATE;
        std::optional<DecodeFailure> failure;
        while (zs.block_state != ISAL_BLOCK_FINISH) {
            if (zs.avail_in == 0 && in.left() > 0) {
                std::size_t n = in.read(inbuf, kChunk);
                zs.next_in = inbuf;
                zs.avail_in = static_cast<std::uint32_t>(n);
            }
            const std::uint32_t in_before = zs.avail_in;
            zs.next_out = outbuf;
            zs.avail_out = static_cast<std::uint32_t>(kChunk);
            int zr = isal_inflate(&zs);
            if (zr != ISAL_DECOMP_OK && zr != ISAL_END_INPUT && zr != ISAL_OUT_OVERFLOW) {
                failure = DecodeFailure{2, "invalid compressed data"};
                break;
            }
            std::size_t have = kChunk - zs.avail_out;
            if (produced + have > usize) {
                failure = DecodeFailure{2, "data inflates past its declared size"};
                break;
            }
            if (have && !emit(outbuf, have)) break;
            // No output and no input taken: the stream wants bytes the member does not have.
            if (have == 0 && zs.avail_in == in_before && zs.block_state != ISAL_BLOCK_FINISH) {
                failure = in.left() == 0 && zs.avail_in == 0
                              ? DecodeFailure{2, "compressed data ends early"}
                              : DecodeFailure{2, "invalid compressed data"};
                break;
            }
        }
        if (stopped) return stopped_result();
        if (failure) return fail(failure->code, failure->why);
        if (produced != usize) return fail(2, "data shorter than its declared size");
    } else if (e.method == kMethodImploded) {
        ExplodeStatus st = explode(
            e.flags, usize, [&](std::uint8_t* b, std::size_t cap) { return in.read(b, cap); },
            [&](const std::uint8_t* d, std::size_t n) { return emit(d, n); });
        if (st == ExplodeStatus::kStopped) return stopped_result();
        if (st != ExplodeStatus::kOk) return fail(2, "invalid imploded data");
    }
    if (crc != e.crc32) {
        char text[64];
        std::snprintf(text, sizeof text, "bad CRC %08x  (should be %08x)", crc, e.crc32);
        return fail(2, text);
    }
    return {Outcome::kDone, 0};
}

MemberResult Run::extract_member(const CentralEntry& e) {
    FileSystem& fsys = file_system();
    // Methods, versions and encryption the engine cannot handle are named and skipped.
    if (e.method != kMethodStored && e.method != kMethodDeflated && e.method != kMethodImploded) {
        say(1, "   skipping: " + e.name + "  `" + method_name(e.method) + "' method not supported");
        return {Outcome::kUnsupported, 0};
    }
    if ((e.flags & kFlagStrongEncryption) || (e.version_needed & 0xff) > kMaxVersionNeeded) {
        say(1,
            "   skipping: " + e.name + "  needs a newer format version or unsupported encryption");
        return {Outcome::kUnsupported, 0};
    }
    if (auto mode = e.unix_mode(); mode && ((e.external_attr >> 16) & 0170000) == 0120000) {
        say(1, "   skipping: " + e.name + "  symbolic links are not restored");
        return {Outcome::kWarning, 0};
    }

    std::vector<std::string> comps;
    bool had_backslash = false;
    std::string why;
    if (!safe_components(e.name, comps, had_backslash, why)) {
        say(1, "warning: skipped \"" + e.name + "\": " + why);
        return {Outcome::kUnsafe, 0};
    }
    if (had_backslash)
        say(1, "warning: " + e.name + " appears to use backslashes as path separators");
    const bool folder = e.is_directory();
    if (o_.junk_paths) {
        if (folder) return {Outcome::kQuietSkip, 0};
        comps.erase(comps.begin(), comps.end() - (comps.empty() ? 0 : 1));
    }
    if (comps.empty()) return {Outcome::kQuietSkip, 0};

    std::uint64_t data_offset = 0;
    if (!folder) {
        ReadStatus rs = locate_member_data(*archive_, dir_, e, data_offset);
        if (rs != ReadStatus::kOk) {
            say(1, "  error: " + e.name +
                       (rs == ReadStatus::kTruncated ? "  data runs past the end of the archive"
                                                     : "  bad local header"));
            return {Outcome::kError, rs == ReadStatus::kTruncated ? 51 : 2};
        }
    }

    if (o_.test) {
        report(e, 0, false);
        if (folder) return {Outcome::kDone, 0};
        MemberResult r = decode(e, data_offset, [](const std::uint8_t*, std::size_t) {});
        if (r.outcome == Outcome::kDone) say(0, "    testing: " + e.name + "   OK");
        report(e, e.uncompressed_size, true);
        return r;
    }

    // Walk down, folder by folder, never through a link.
    fs::path cur = root_;
    std::size_t dirs = folder ? comps.size() : comps.size() - 1;
    for (std::size_t i = 0; i < dirs; ++i) {
        bool unsafe = false;
        auto next = enter_folder(cur, comps[i], why, unsafe);
        if (!next) {
            say(1, "warning: skipped \"" + e.name + "\": " + why);
            return {unsafe ? Outcome::kUnsafe : Outcome::kError, unsafe ? 0 : 50};
        }
        cur = *next;
    }
    if (folder) {
        folder_times_.emplace_back(cur, e.mtime());
        report(e, 0, true);
        return {Outcome::kDone, 0};
    }

    auto found = find_in(cur, comps.back());
    fs::path target = cur / (found ? *found : comps.back());
    FileInfo existing = fsys.stat(target, false);
    if (existing.type == EntryType::kDirectory) {
        say(1, "  error: " + e.name + "  a folder of that name is in the way");
        return {Outcome::kError, 50};
    }
    if (existing.type != EntryType::kMissing) {
        if (o_.never_overwrite) return {Outcome::kQuietSkip, 0};
        if (o_.freshen || o_.update) {
            if (existing.mtime >= e.mtime()) return {Outcome::kQuietSkip, 0};
        } else if (!o_.overwrite) {
            say(1, "warning: " + e.name + " exists and is not replaced");
            return {Outcome::kWarning, 0};
        }
    } else if (o_.freshen) {
        return {Outcome::kQuietSkip, 0};
    }

    // Written beside the target under a fresh name (O_EXCL: no link is followed), renamed into
    // place only when complete and checked.
    std::unique_ptr<File> out;
    fs::path temp;
    for (int attempt = 0; attempt < 16 && !out; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".arcvane-%012llx.tmp",
                      static_cast<unsigned long long>(rng_() & 0xffffffffffffull));
        temp = cur / name;
        try {
            out = fsys.open(temp, OpenMode::kCreateNew, 0600);
        } catch (const Error& err) {
            if (err.kind() == ErrorKind::kExists) continue;
            say(1, "  error: " + e.name + "  cannot create file: " + err.what());
            return {is_disk_full(err.os_error()) ? Outcome::kStop : Outcome::kError, 50};
        }
    }
    if (!out) return {Outcome::kError, 50};

    const char* verb = e.method == kMethodStored     ? " extracting: "
                       : e.method == kMethodImploded ? "  exploding: "
                                                     : "  inflating: ";
    say(0, verb + target.lexically_relative(root_).string());
    report(e, 0, false);
    MemberResult r;
    try {
        r = decode(e, data_offset, [&](const std::uint8_t* d, std::size_t n) { out->write(d, n); });
        out->close();
    } catch (const Error& err) {
        try {
            out.reset();
            fsys.remove(temp);
        } catch (const Error&) {
        }
        say(1, "  error: " + e.name + "  write failed: " + err.what());
        return {is_disk_full(err.os_error()) ? Outcome::kStop : Outcome::kError, 50};
    }
    out.reset();
    if (r.outcome != Outcome::kDone) {
        try {
            fsys.remove(temp);
        } catch (const Error&) {
        }
        return r;
    }
    std::uint32_t mode = 0644;
    if (auto m = e.unix_mode())
        mode = *m & 0777;  // never set-user-ID or sticky bits
    else if (e.external_attr & 0x01)
        mode = 0444;  // DOS read-only
    try {
        fsys.set_permissions(temp, mode);
        std::int64_t t = e.mtime();
        fsys.set_times(temp, t, t);
    } catch (const Error& err) {
        say(1, "warning: " + e.name + "  cannot set time or permissions: " + err.what());
        ++late_warnings_;
    }
    try {
        fsys.rename(temp, target);
    } catch (const Error& err) {
        try {
            fsys.remove(temp);
        } catch (const Error&) {
        }
        say(1, "  error: " + e.name + "  cannot move into place: " + err.what());
        return {Outcome::kError, 50};
    }
    listings_[cur.string()].emplace(lower(comps.back()), target.filename().string());
    report(e, e.uncompressed_size, true);
    return {Outcome::kDone, 0};
}

int Run::execute() {
    FileSystem& fsys = file_system();
    const DriveMap& map = DriveMap::current();
    fs::path cwd = fs::current_path();
    fs::path archive_path;
    try {
        archive_path = map.argument_to_host(*o_.archive, cwd);
        if (fsys.stat(archive_path).type == EntryType::kMissing &&
            fs::path(*o_.archive).extension().empty())
            archive_path = map.argument_to_host(*o_.archive + ".zip", cwd);
    } catch (const Error& err) {
        say(1, std::string("error: ") + err.what());
        return 9;
    }
    if (fsys.stat(archive_path).type != EntryType::kFile) {
        say(1, "cannot find or open " + *o_.archive);
        return 9;
    }
    try {
        archive_ = fsys.open(archive_path, OpenMode::kRead);
    } catch (const Error& err) {
        say(1, "cannot find or open " + *o_.archive + ": " + err.what());
        return 9;
    }
    std::string message;
    switch (read_directory(*archive_, dir_, &message)) {
        case ReadStatus::kOk:
            break;
        case ReadStatus::kNotFound:
        case ReadStatus::kNoCentralDirectory:
            say(1, "error: " + *o_.archive + ": no central directory (" + message + ")");
            return 9;
        case ReadStatus::kTruncated:
            say(1, "error: " + *o_.archive + ": " + message);
            return 51;
        case ReadStatus::kBadStructure:
            say(1, "error: " + *o_.archive + ": " + message);
            return 3;
    }

    std::vector<const CentralEntry*> members;
    for (const auto& e : dir_.entries)
        if (!is_volume_label(e) && selected(e)) members.push_back(&e);
    if (members.empty()) {
        say(1, "caution: no member of " + *o_.archive + " matched");
        return 11;
    }

    if (o_.info) {
        for (const CentralEntry* e : members) {
            if (aborted()) return 80;
            list_member(*e);
        }
        return 0;
    }

    for (const CentralEntry* e : members) total_ += e->uncompressed_size;
    if (cb_.total_bytes) cb_.total_bytes(total_);

    root_ = cwd;
    if (o_.folder && !o_.test) {
        try {
            root_ = map.argument_to_host(*o_.folder, cwd);
        } catch (const Error& err) {
            say(1, std::string("checkdir:  cannot create extraction directory: ") + *o_.folder);
            return 10;
        }
        // Each missing level is made; an existing level may be anything the user chose.
        fs::path level;
        for (const auto& part : root_) {
            level /= part;
            if (fsys.stat(level).type == EntryType::kMissing) fsys.make_directory(level);
        }
        if (!fsys.is_directory(root_)) {
            say(1, "checkdir:  cannot create extraction directory: " + *o_.folder);
            return 10;
        }
    }

    int done = 0, files = 0, unsupported = 0, bad_password = 0, unsafe = 0, warnings = 0, error = 0;
    for (const CentralEntry* e : members) {
        if (aborted()) break;
        MemberResult r;
        try {
            r = extract_member(*e);
        } catch (const std::bad_alloc&) {
            say(1, "error: out of memory while extracting " + e->name);
            return 6;
        } catch (const Error& err) {
            say(1, "error: " + e->name + ": " + err.what());
            r = {is_disk_full(err.os_error()) ? Outcome::kStop : Outcome::kError,
                 is_disk_full(err.os_error()) ? 50 : 2};
        }
        switch (r.outcome) {
            case Outcome::kDone:
                ++done;
                if (!e->is_directory()) ++files;
                break;
            case Outcome::kQuietSkip:
                break;
            case Outcome::kWarning:
                ++warnings;
                break;
            case Outcome::kUnsafe:
                ++unsafe;
                break;
            case Outcome::kUnsupported:
                ++unsupported;
                break;
            case Outcome::kBadPassword:
                ++bad_password;
                break;
            case Outcome::kError:
                // The worst kind wins: a full disk, then a cut archive, then a damaged member.
                if (error != 50 && (r.error_code == 50 || error == 0 || r.error_code == 51))
                    error = r.error_code;
                break;
            case Outcome::kStop:
                if (r.error_code != 80) error = r.error_code;
                break;
        }
        if (r.outcome == Outcome::kStop) break;
    }
    // Folder times last, deepest first: writing files into a folder moves its time.
    for (auto it = folder_times_.rbegin(); it != folder_times_.rend(); ++it) {
        try {
            fsys.set_times(it->first, it->second, it->second);
        } catch (const Error& err) {
            say(1, "warning: cannot set the time of " + it->first.string() + ": " + err.what());
            ++late_warnings_;
        }
    }
    warnings += late_warnings_;
    if (error == 50) return 50;
    if (aborted_) return 80;
    if (error) return error;
    // Folders made along the way do not count as extracted when every file was refused.
    if (files == 0 && (unsupported || bad_password)) return unsupported ? 81 : 82;
    if (done == 0) {
        // Members refused for their names are a damaged archive when nothing else could be had.
        if (unsafe) return 2;
        return warnings ? 1 : 0;
    }
    return (unsupported || bad_password || unsafe || warnings) ? 1 : 0;
}

}  // namespace

int unpack_main(int argc, const char* const* argv, const UnpackCallbacks& cb) {
    if (g_running.exchange(true)) return 5;
    struct Release {
        ~Release() { g_running = false; }
    } release;
    try {
        Options o;
        std::string why;
        if (!parse_options(argc, argv, o, why)) {
            if (cb.message) cb.message("error: " + why);
            return 10;
        }
        Run run(o, cb);
        return run.execute();
    } catch (const std::bad_alloc&) {
        return 4;
    } catch (const Error& err) {
        if (cb.message) cb.message(std::string("error: ") + err.what());
        return is_disk_full(err.os_error()) ? 50 : 2;
    } catch (const std::exception& ex) {
        if (cb.message) cb.message(std::string("error: ") + ex.what());
        return 3;
    }
}

const char* unpack_result_text(int result) {
    switch (result) {
        case 0:
            return "No errors";
        case 1:
            return "One or more warnings were issued, but processing completed successfully "
                   "anyway.";
        case 2:
            return "A generic error in the zipfile format was detected. Processing may have "
                   "completed "
                   "successfully anyway; some broken zipfiles created by other archivers have "
                   "simple "
                   "workarounds.";
        case 3:
            return "A severe error in the zipfile format was detected. Processing probably failed "
                   "immediately.";
        case 4:
            return "Unable to allocate memory for one or more buffers during initialization.";
        case 5:
            return "Unable to allocate memory or unable to obtain a tty to read the decryption "
                   "password(s).";
        case 6:
            return "Unable to allocate memory during decompression to disk.";
        case 7:
            return "Unable to allocate memory during in-memory decompression.";
        case 9:
            return "Specified zipfiles were not found.";
        case 10:
            return "Invalid options were specified.";
        case 11:
            return "No matching files were found.";
        case 50:
            return "The disk is (or was) full during extraction.";
        case 51:
            return "The end of the ZIP archive was encountered prematurely.";
        case 80:
            return "The user aborted the run.";
        case 81:
            return "Testing or extraction of one or more files failed due to unsupported "
                   "compression "
                   "methods or unsupported decryption.";
        case 82:
            return "No files were found due to bad decryption password(s). (If even one file is "
                   "successfully processed, however, the exit status is 1.)";
        default:
            return "";
    }
}

}  // namespace pavo::zip
