// Reading a checked old table with the Paradox library, and doing so in a child process with time
// and memory limits that hands the values back through a pipe.
//
// The library is never given the memo file (opening one aborts the process in the version Debian
// ships) nor a target encoding (a byte the code page lacks would empty the whole field); its null
// numbers and dates are told apart by their bytes here, and its messages go to our handler, never
// to the program's output.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/error.h"
#include "platform/file_system.h"
#include "records/src/migrate_internal.h"

// The library's header declares C functions without saying so.
extern "C" {
#include <paradox.h>
}

namespace pavo::records::migrate {

namespace {

ByteSource file_source(File& f) {
    ByteSource s;
    s.size = f.size();
    s.read_at = [&f](void* buf, std::size_t n, std::uint64_t offset) {
        return f.read_at(buf, n, offset);
    };
    return s;
}

struct LibraryMessages {
    std::string first;
};

void on_library_message(pxdoc_t*, int, const char* msg, void* data) {
    auto* m = static_cast<LibraryMessages*>(data);
    if (m->first.empty() && msg) m->first = msg;
}

bool all_zero(const char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

struct DocCloser {
    void operator()(pxdoc_t* d) const {
        PX_close(d);
        PX_delete(d);
    }
};

OldValue decode_field(pxdoc_t* doc, const OldField& f, char* p, const ByteSource* mb,
                      bool skip_memos) {
    OldValue v;
    // A field of zero bytes is empty whatever its type (the library reads a null number as 0).
    if (all_zero(p, f.size)) return v;
    switch (f.type) {
        case kAlpha: {
            int n = 0;
            while (n < f.size && p[n] != 0) ++n;
            v.kind = OldValue::kText;
            v.text.assign(p, static_cast<std::size_t>(n));
            break;
        }
        case kDate:
        case kLong:
        case kAutoInc: {
            long x = 0;
            if (PX_get_data_long(doc, p, 4, &x) > 0) {
                v.kind = f.type == kDate ? OldValue::kDate : OldValue::kInteger;
                v.integer = x;
            }
            break;
        }
        case kShort: {
            short x = 0;
            if (PX_get_data_short(doc, p, 2, &x) > 0) {
                v.kind = OldValue::kInteger;
                v.integer = x;
            }
            break;
        }
        case kNumber:
        case kCurrency: {
            double x = 0;
            if (PX_get_data_double(doc, p, 8, &x) > 0) {
                v.kind = OldValue::kNumber;
                v.number = x;
            }
            break;
        }
        case kLogical: {
            char x = 0;
            if (PX_get_data_byte(doc, p, 1, &x) > 0) {
                v.kind = OldValue::kBool;
                v.flag = x != 0;
            }
            break;
        }
        case kMemo: {
            bool in_record = true;
            try {
                v.text =
                    read_memo(mb, std::string_view(p, static_cast<std::size_t>(f.size)), in_record);
                v.kind = OldValue::kText;
            } catch (const OldFileError& e) {
                if (e.kind() != "memo_missing" || !skip_memos) throw;
                v.kind = OldValue::kSkippedMemo;
            }
            break;
        }
        default:
            break;  // types the new tables have no place for: listed and left empty
    }
    return v;
}

// --- The pipe format: 'R' and the values of a row, 'E' kind and message, 'D' at the end.

void put_u32(std::string& out, std::uint32_t x) {
    char b[4];
    std::memcpy(b, &x, 4);
    out.append(b, 4);
}
void put_u64(std::string& out, std::uint64_t x) {
    char b[8];
    std::memcpy(b, &x, 8);
    out.append(b, 8);
}
void put_text(std::string& out, const std::string& s) {
    put_u32(out, static_cast<std::uint32_t>(s.size()));
    out += s;
}

void write_all(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(3);
        done += static_cast<std::size_t>(n);
    }
}

class Input {
  public:
    explicit Input(const std::string& data) : data_(data) {}
    bool done() const { return pos_ >= data_.size(); }
    char byte() {
        need(1);
        return data_[pos_++];
    }
    std::uint32_t u32() {
        need(4);
        std::uint32_t x;
        std::memcpy(&x, data_.data() + pos_, 4);
        pos_ += 4;
        return x;
    }
    std::uint64_t u64() {
        need(8);
        std::uint64_t x;
        std::memcpy(&x, data_.data() + pos_, 8);
        pos_ += 8;
        return x;
    }
    std::string text() {
        std::uint32_t n = u32();
        need(n);
        std::string s = data_.substr(pos_, n);
        pos_ += n;
        return s;
    }

  private:
    void need(std::size_t n) {
        if (data_.size() - pos_ < n)
            throw OldFileError("reader_failed", "the reader's answer is cut off");
    }
    const std::string& data_;
    std::size_t pos_ = 0;
};

void set_limits(const ReaderLimits& limits) {
    rlimit cpu{static_cast<rlim_t>(limits.seconds) + 1, static_cast<rlim_t>(limits.seconds) + 2};
    setrlimit(RLIMIT_CPU, &cpu);
#if defined(__SANITIZE_ADDRESS__)
#define PAVO_NO_MEMORY_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAVO_NO_MEMORY_LIMIT 1
#endif
#endif
#ifndef PAVO_NO_MEMORY_LIMIT
    // The sanitizers reserve terabytes of address space up front; the limit is for real builds.
    rlimit mem{limits.memory, limits.memory};
    setrlimit(RLIMIT_AS, &mem);
#endif
}

}  // namespace

OldTable read_table(const fs::path& db, const fs::path* mb, bool skip_memos) {
    std::unique_ptr<File> file = file_system().open(db, OpenMode::kRead);
    OldTable table;
    table.header = check_table_file(file_source(*file));
    std::unique_ptr<File> memo_file;
    ByteSource memo;
    if (mb) {
        memo_file = file_system().open(*mb, OpenMode::kRead);
        memo = file_source(*memo_file);
        check_memo_file(memo);
    }

    // PX_open_file would open the file for writing; the library gets a read-only stream.
    int fd = ::dup(file->native_handle());
    FILE* fp = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!fp) {
        if (fd >= 0) ::close(fd);
        throw OldFileError("reader_failed", "the file cannot be handed to the reader");
    }
    std::unique_ptr<FILE, int (*)(FILE*)> fp_guard(fp, &std::fclose);
    LibraryMessages messages;
    std::unique_ptr<pxdoc_t, DocCloser> doc(
        PX_new3(&on_library_message, nullptr, nullptr, nullptr, &messages));
    if (!doc) throw OldFileError("reader_failed", "the Paradox library could not start");
    if (PX_open_fp(doc.get(), fp) < 0)
        throw OldFileError("bad_header", "the Paradox library refuses the file: " + messages.first);
    const int count = PX_get_num_records(doc.get());
    if (count != table.header.records || PX_get_recordsize(doc.get()) != table.header.record_size)
        throw OldFileError("bad_blocks", "the Paradox library reads " + std::to_string(count) +
                                             " records, the header counts " +
                                             std::to_string(table.header.records));
    std::vector<char> record(static_cast<std::size_t>(table.header.record_size));
    table.rows.reserve(static_cast<std::size_t>(count));
    const OldHeader& h = table.header;
    if (!h.encrypted) {
        // The records straight from the checked chain, a block at a time: the library looks each
        // record up from the first block again, which takes minutes on a large table. The library
        // still decodes every value.
        std::vector<char> block(static_cast<std::size_t>(h.block_size));
        for (const OldHeader::Block& b : h.chain) {
            const std::size_t bytes = 6 + static_cast<std::size_t>(b.records) * h.record_size;
            const std::uint64_t at =
                h.header_size + static_cast<std::uint64_t>(b.number - 1) * h.block_size;
            if (file->read_at(block.data(), bytes, at) != bytes)
                throw OldFileError("truncated",
                                   "block " + std::to_string(b.number) + " is cut off");
            for (int k = 0; k < b.records; ++k) {
                char* rec = block.data() + 6 + static_cast<std::size_t>(k) * h.record_size;
                std::vector<OldValue> row;
                row.reserve(h.fields.size());
                for (const OldField& f : h.fields)
                    row.push_back(decode_field(doc.get(), f, rec + f.offset, mb ? &memo : nullptr,
                                               skip_memos));
                table.rows.push_back(std::move(row));
            }
        }
        return table;
    }
    for (int i = 0; i < count; ++i) {
        int deleted = 0;
        pxdatablockinfo_t info{};
        if (!PX_get_record2(doc.get(), i, record.data(), &deleted, &info))
            throw OldFileError("bad_blocks", "record " + std::to_string(i + 1) +
                                                 " cannot be read: " + messages.first);
        std::vector<OldValue> row;
        row.reserve(table.header.fields.size());
        for (const OldField& f : table.header.fields)
            row.push_back(decode_field(doc.get(), f, record.data() + f.offset, mb ? &memo : nullptr,
                                       skip_memos));
        table.rows.push_back(std::move(row));
    }
    return table;
}

OldTable read_table_in_child(const fs::path& db, const fs::path* mb, bool skip_memos,
                             const ReaderLimits& limits) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw OldFileError("reader_failed", "no pipe for the reader: " + os_error_text(errno));
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw OldFileError("reader_failed", "no reader process: " + os_error_text(err));
    }
    if (pid == 0) {
        // The child: its messages stay off the program's output.
        ::close(fds[0]);
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        set_limits(limits);
        std::string out;
        try {
            if (limits.start_hook) limits.start_hook();
            OldTable t = read_table(db, mb, skip_memos);
            for (const auto& row : t.rows) {
                out.push_back('R');
                for (const OldValue& v : row) {
                    out.push_back(static_cast<char>(v.kind));
                    switch (v.kind) {
                        case OldValue::kText:
                            put_text(out, v.text);
                            break;
                        case OldValue::kNumber: {
                            std::uint64_t bits;
                            std::memcpy(&bits, &v.number, 8);
                            put_u64(out, bits);
                            break;
                        }
                        case OldValue::kInteger:
                        case OldValue::kDate:
                            put_u64(out, static_cast<std::uint64_t>(v.integer));
                            break;
                        case OldValue::kBool:
                            out.push_back(v.flag ? 1 : 0);
                            break;
                        default:
                            break;
                    }
                }
                if (out.size() > (1u << 20)) {
                    write_all(fds[1], out);
                    out.clear();
                }
            }
            out.push_back('D');
        } catch (const OldFileError& e) {
            out.push_back('E');
            put_text(out, e.kind());
            put_text(out, e.what());
        } catch (const std::exception& e) {
            out.push_back('E');
            put_text(out, "reader_failed");
            put_text(out, e.what());
        }
        write_all(fds[1], out);
        _exit(0);
    }

    ::close(fds[1]);
    std::string data;
    bool timed_out = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
    char buf[1 << 16];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            timed_out = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timed_out) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timed_out)
        throw OldFileError("reader_failed", "the reader took longer than " +
                                                std::to_string(limits.seconds) + " seconds");
    if (WIFSIGNALED(status))
        throw OldFileError("reader_failed",
                           std::string("the reader stopped: ") + strsignal(WTERMSIG(status)));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw OldFileError("reader_failed",
                           "the reader failed with status " + std::to_string(WEXITSTATUS(status)));

    // The header is checked again here, in this process, from our own reading of it.
    std::unique_ptr<File> file = file_system().open(db, OpenMode::kRead);
    OldTable table;
    table.header = check_table_file(file_source(*file));
    const std::size_t nfields = table.header.fields.size();
    Input in(data);
    for (;;) {
        if (in.done()) throw OldFileError("reader_failed", "the reader stopped half way");
        char tag = in.byte();
        if (tag == 'D') break;
        if (tag == 'E') {
            std::string kind = in.text();
            throw OldFileError(kind, in.text());
        }
        if (tag != 'R') throw OldFileError("reader_failed", "the reader's answer is garbled");
        std::vector<OldValue> row(nfields);
        for (OldValue& v : row) {
            auto kind = static_cast<std::uint8_t>(in.byte());
            if (kind > OldValue::kSkippedMemo)
                throw OldFileError("reader_failed", "the reader's answer is garbled");
            v.kind = static_cast<OldValue::Kind>(kind);
            switch (v.kind) {
                case OldValue::kText:
                    v.text = in.text();
                    break;
                case OldValue::kNumber: {
                    std::uint64_t bits = in.u64();
                    std::memcpy(&v.number, &bits, 8);
                    break;
                }
                case OldValue::kInteger:
                case OldValue::kDate:
                    v.integer = static_cast<std::int64_t>(in.u64());
                    break;
                case OldValue::kBool:
                    v.flag = in.byte() != 0;
                    break;
                default:
                    break;
            }
        }
        table.rows.push_back(std::move(row));
    }
    if (static_cast<int>(table.rows.size()) != table.header.records)
        throw OldFileError("reader_failed", "the reader returned " +
                                                std::to_string(table.rows.size()) + " of " +
                                                std::to_string(table.header.records) + " records");
    return table;
}

}  // namespace pavo::records::migrate
