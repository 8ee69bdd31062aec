// libFuzzer target: the archive reader (end record, central directory, local headers) over any
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "archive/zipcore/zip_format.h"

namespace {

// A read-only file over the fuzzer's buffer, so no disk is touched.
class MemoryFile : public pavo::File {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read(void* buf, std::size_t n) override {
        std::size_t got = read_at(buf, n, pos_);
        pos_ += got;
        return got;
    }
    std::size_t read_at(void* buf, std::size_t n, std::uint64_t offset) override {
        if (offset >= size_) return 0;
        std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
        std::memcpy(buf, data_ + offset, k);
        return k;
    }
    void write(const void*, std::size_t) override {}
    void write_at(const void*, std::size_t, std::uint64_t) override {}
    void seek(std::uint64_t offset) override { pos_ = offset; }
    std::uint64_t tell() override { return pos_; }
    std::uint64_t size() override { return size_; }
    void truncate(std::uint64_t) override {}
    void sync() override {}
    void close() override {}

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFile file(data, size);
    pavo::zip::ArchiveDirectory dir;
    std::string message;
    if (pavo::zip::read_directory(file, dir, &message) != pavo::zip::ReadStatus::kOk) return 0;
    std::uint64_t total = 0;
    for (const auto& e : dir.entries) {
        std::uint64_t offset = 0;
        if (pavo::zip::locate_member_data(file, dir, e, offset) == pavo::zip::ReadStatus::kOk) {
            // What the reader vouched for must really be inside the buffer.
            if (offset + e.compressed_size > size) __builtin_trap();
            total += e.compressed_size;
        }
        (void)pavo::zip::parse_ut_mtime(e.extra);
        (void)e.mtime();
        (void)e.unix_mode();
    }
    (void)total;
    return 0;
}
