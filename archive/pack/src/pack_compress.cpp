// Worker side of packing: reads a piece of a file, checksums it and deflates it.
#include "archive/pack/src/pack_compress.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <limits>
#include <new>

#include "archive/zipcore/crc32.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace pavo::zip::detail {

namespace {

// In-flight input held by the pipeline at most (a job always starts when it is the oldest).
constexpr std::uint64_t kMaxInFlightBytes = 96ull << 20;
constexpr std::size_t kDictionary = 32768;
constexpr std::uint64_t kDefaultWholeLimit = 32ull << 20;
constexpr std::uint64_t kDefaultBlock = 4ull << 20;
std::atomic<std::uint64_t> g_whole_limit{kDefaultWholeLimit};
std::atomic<std::uint64_t> g_block{kDefaultBlock};

int libdeflate_level_for(int level) {
    static const int kMap[] = {0, 1, 2, 3, 4, 6, 7};
    return level >= 1 && level <= 6 ? kMap[level] : 0;
}

// One compressor per thread and level: allocating one costs more than compressing a small file.
libdeflate_compressor* thread_compressor(int level) {
    struct Cache {
        libdeflate_compressor* c[13] = {};
        ~Cache() {
            for (auto* p : c)
                if (p) libdeflate_free_compressor(p);
        }
    };
    thread_local Cache cache;
    if (!cache.c[level]) cache.c[level] = libdeflate_alloc_compressor(level);
    if (!cache.c[level]) throw std::bad_alloc();
    return cache.c[level];
}

// Deflates in[0..n) with zlib into out; finish closes the stream, otherwise a sync flush leaves it
// open and byte-aligned. dict primes the window. Returns false when limit bytes would be passed.
bool zlib_deflate(const std::uint8_t* in, std::size_t n, const std::uint8_t* dict,
                  std::size_t dict_len, int level, bool finish, std::size_t limit,
                  std::vector<std::uint8_t>& out) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    if (dict_len > 0) deflateSetDictionary(&zs, dict, static_cast<uInt>(dict_len));
    std::size_t cap = std::min<std::size_t>(deflateBound(&zs, n) + 16, limit);
    out.resize(cap);
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(n);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(cap);
    int rc = deflate(&zs, finish ? Z_FINISH : Z_SYNC_FLUSH);
    bool ok = finish ? rc == Z_STREAM_END : (rc == Z_OK && zs.avail_in == 0 && zs.avail_out > 0);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return ok;
}

bool read_fully(File& f, std::uint8_t* buf, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        std::size_t got = f.read_at(buf + done, n - done, offset + done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

}  // namespace

std::uint64_t whole_member_limit() {
    return g_whole_limit;
}
std::uint64_t block_size() {
    return g_block;
}
void set_block_sizes_for_tests(std::uint64_t whole_limit, std::uint64_t block) {
    g_whole_limit = whole_limit ? whole_limit : kDefaultWholeLimit;
    g_block = block ? block : kDefaultBlock;
}

void run_compress_job(CompressJob& job) {
    try {
        std::unique_ptr<File> f;
        try {
            f = file_system().open(job.host, OpenMode::kRead);
        } catch (const Error& e) {
            job.error = 18;
            job.error_text = e.what();
            return;
        }
        std::size_t dict =
            (!job.whole && job.level > 0)
                ? static_cast<std::size_t>(std::min<std::uint64_t>(job.offset, kDictionary))
                : 0;
        // Input and deflate output go through buffers each worker keeps: fresh large buffers per
        // member cost page faults that showed up as a tenth of the packing time.
        thread_local std::vector<std::uint8_t> in_buf, out_buf;
        const std::size_t in_size = dict + static_cast<std::size_t>(job.length);
        std::uint8_t* in = nullptr;
        if (job.level == 0) {
            job.data.resize(in_size);
            in = job.data.data();
        } else {
            if (in_buf.size() < in_size) in_buf.resize(in_size);
            in = in_buf.data();
        }
        try {
            if (!read_fully(*f, in, in_size, job.offset - dict)) {
                job.error = 11;
                job.error_text =
                    "file ended early (changed while being packed?): " + job.host.string();
                return;
            }
        } catch (const Error& e) {
            job.error = 11;
            job.error_text = e.what();
            return;
        }
        const std::uint8_t* piece = in + dict;
        job.crc = crc32_update(0, piece, job.length);
        if (job.level == 0) {
            job.stored = job.whole;
            return;
        }
        if (job.whole) {
            // Deflated output must be smaller than the input, or the member is stored.
            std::size_t limit = job.length == 0 ? 0 : static_cast<std::size_t>(job.length - 1);
            std::size_t n = 0;
            if (limit > 0) {
                if (int ll = libdeflate_level_for(job.level)) {
                    if (out_buf.size() < limit) out_buf.resize(limit);
                    n = libdeflate_deflate_compress(thread_compressor(ll), piece, job.length,
                                                    out_buf.data(), limit);
                    if (n > 0) job.data.assign(out_buf.data(), out_buf.data() + n);
                } else if (zlib_deflate(piece, job.length, nullptr, 0, job.level, true, limit,
                                        job.data)) {
                    n = job.data.size();
                }
            }
            if (n == 0) {
                job.data.assign(piece, piece + job.length);
                job.stored = true;
            }
            return;
        }
        if (!zlib_deflate(piece, job.length, in, dict, job.level, job.last,
                          std::numeric_limits<std::size_t>::max(), job.data)) {
            job.error = 5;
            job.error_text = "deflate failed";
        }
    } catch (const std::bad_alloc&) {
        job.data.clear();
        job.error = 4;
        job.error_text = "out of memory";
    } catch (const std::exception& e) {
        // Nothing may leave a worker thread: it would end the process.
        job.error = 5;
        job.error_text = e.what();
    }
}

CompressPipeline::CompressPipeline(int workers) {
    for (int i = 0; i < std::max(1, workers); ++i) threads_.emplace_back([this] { work(); });
}

CompressPipeline::~CompressPipeline() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
    }
    work_cv_.notify_all();
    for (auto& t : threads_) t.join();
}

std::size_t CompressPipeline::submit(std::unique_ptr<CompressJob> job) {
    std::size_t seq;
    {
        std::lock_guard<std::mutex> lock(mu_);
        seq = taken_ + jobs_.size();
        jobs_.push_back(std::move(job));
        finished_.push_back(false);
    }
    work_cv_.notify_one();
    return seq;
}

std::size_t CompressPipeline::pending() const {
    std::lock_guard<std::mutex> lock(mu_);
    return jobs_.size();
}

bool CompressPipeline::can_start_locked() const {
    std::size_t idx = next_start_ - taken_;
    if (idx >= jobs_.size()) return false;
    if (idx == 0) return true;
    // Bound the memory held by results waiting to be written: count input bytes from the oldest.
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i <= idx; ++i) bytes += jobs_[i]->length;
    return bytes <= kMaxInFlightBytes && idx < 2 * threads_.size() + 2;
}

void CompressPipeline::work() {
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
        work_cv_.wait(lock, [this] { return stop_ || can_start_locked(); });
        if (stop_) return;
        std::size_t seq = next_start_++;
        CompressJob* job = jobs_[seq - taken_].get();
        lock.unlock();
        run_compress_job(*job);
        lock.lock();
        finished_[seq - taken_] = true;
        done_cv_.notify_all();
        work_cv_.notify_all();
    }
}

std::unique_ptr<CompressJob> CompressPipeline::next_done(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mu_);
    if (jobs_.empty()) return nullptr;
    if (!done_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [this] { return finished_.front(); }))
        return nullptr;
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    finished_.pop_front();
    ++taken_;
    lock.unlock();
    work_cv_.notify_all();
    return job;
}

}  // namespace pavo::zip::detail
