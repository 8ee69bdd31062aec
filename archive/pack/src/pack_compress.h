// Deflating member data on worker threads, with results handed back in a fixed order.
//
// Members up to whole_member_limit() are read and compressed in one piece (several at once); larger
// ones are cut into blocks compressed independently, each primed with the 32 KiB before it and
// ended with a sync flush, so the blocks joined in order form one deflate stream. The bytes
// produced depend only on the data and the level, never on the number of threads.
//
// Which deflater: for levels 1 to 6, libdeflate at a level chosen so its output is no larger than
// zlib's at the requested level (1-4 -> 1-4, 5 -> 6, 6 -> 7) while running faster; for 7 to 9,
// and for blocks of large members (libdeflate cannot end a piece without closing the stream),
// zlib. Measured on a 27.8 MB SQLite table file: zlib 6 1.13 s / 7.48 MB, libdeflate 7 0.85 s /
// 7.48 MB, libdeflate 6 0.42 s / 7.72 MB (larger, so not used for 6).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pavo::zip::detail {

// Members up to this size are one job; larger ones are cut into blocks of block_size().
std::uint64_t whole_member_limit();
std::uint64_t block_size();
// Tests shrink both to reach the block path with small files; 0 restores the defaults.
void set_block_sizes_for_tests(std::uint64_t whole_limit, std::uint64_t block);

struct CompressJob {
    // Input, set by the caller.
    std::filesystem::path host;
    std::uint64_t offset = 0;  // first byte of this piece in the file
    std::uint64_t length = 0;  // bytes of this piece
    bool whole = false;        // the entire member in one piece (may fall back to stored)
    bool last = false;         // the member's final piece
    int level = 0;             // 0: copy only (stored)
    // Output, set by a worker.
    std::vector<std::uint8_t> data;  // compressed bytes (or the raw bytes when stored)
    std::uint32_t crc = 0;           // CRC-32 of this piece's input
    bool stored = false;             // whole piece: deflating did not shrink it, data is raw
    int error = 0;                   // 0, or 18 (cannot open), 11 (read failed), 4 (memory)
    std::string error_text;
};

// A pool of workers taking jobs in submission order, with a bound on the bytes held at once.
class CompressPipeline {
  public:
    explicit CompressPipeline(int workers);
    ~CompressPipeline();
    CompressPipeline(const CompressPipeline&) = delete;
    CompressPipeline& operator=(const CompressPipeline&) = delete;

    // Queues a job; returns its sequence number (0, 1, 2, ...).
    std::size_t submit(std::unique_ptr<CompressJob> job);
    // Waits up to timeout_ms for the oldest unfinished-by-the-caller job; returns it when done
    // (ownership moves to the caller) or nullptr on time-out, so the caller can poll its abort
    // flag.
    std::unique_ptr<CompressJob> next_done(int timeout_ms);
    // Jobs submitted but not yet taken back by next_done.
    std::size_t pending() const;

  private:
    void work();
    bool can_start_locked() const;

    mutable std::mutex mu_;
    std::condition_variable work_cv_, done_cv_;
    std::deque<std::unique_ptr<CompressJob>> jobs_;  // [taken_ .. ) by sequence
    std::deque<bool> finished_;
    std::size_t taken_ = 0;       // sequence of jobs_.front()
    std::size_t next_start_ = 0;  // sequence of the next job a worker starts
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// Compresses one job in the calling thread (what a worker does).
void run_compress_job(CompressJob& job);

}  // namespace pavo::zip::detail
