// Imploded-method decoder: Shannon-Fano trees rebuilt from bit-length lists, then LZ77 copying.
#include "archive/unpack/explode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace pavo::zip {

namespace {

// Bits come least significant first, as in deflate.
class BitReader {
  public:
    explicit BitReader(const ExplodeInput& in) : in_(in) {}

    // Returns false when the input ends before n bits could be had.
    bool bits(unsigned n, std::uint32_t& value) {
        while (count_ < n) {
            if (pos_ == len_) {
                len_ = in_(buf_.data(), buf_.size());
                pos_ = 0;
                if (len_ == 0) return false;
            }
            hold_ |= static_cast<std::uint64_t>(buf_[pos_++]) << count_;
            count_ += 8;
        }
        value = static_cast<std::uint32_t>(hold_ & ((1ull << n) - 1));
        hold_ >>= n;
        count_ -= n;
        return true;
    }

  private:
    const ExplodeInput& in_;
    std::array<std::uint8_t, 16384> buf_{};
    std::size_t pos_ = 0, len_ = 0;
    std::uint64_t hold_ = 0;
    unsigned count_ = 0;
};

// A Shannon-Fano code: per bit length, the codes of that length in ascending order with their
// symbols. Codes are read one bit at a time, most significant bit of the code first.
class SfTree {
  public:
    // Reads the tree description (a byte count, then one byte per run of equal bit lengths) and
    // builds the codes by the application note's procedure.
    bool read(BitReader& br, unsigned symbols) {
        std::uint32_t nbytes;
        if (!br.bits(8, nbytes)) return false;
        std::vector<std::uint8_t> lengths;
        lengths.reserve(symbols);
        for (std::uint32_t i = 0; i <= nbytes; ++i) {
            std::uint32_t b;
            if (!br.bits(8, b)) return false;
            unsigned len = (b & 0x0f) + 1, count = (b >> 4) + 1;
            if (lengths.size() + count > symbols) return false;
            lengths.insert(lengths.end(), count, static_cast<std::uint8_t>(len));
        }
        if (lengths.size() != symbols) return false;

        std::vector<std::uint16_t> order(symbols);
        for (unsigned i = 0; i < symbols; ++i) order[i] = static_cast<std::uint16_t>(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint16_t a, std::uint16_t b) { return lengths[a] < lengths[b]; });
        // Longest codes get the smallest values; each code is the top `length` bits of a 16-bit
        // counter stepped by 2^(16 - length).
        for (auto& v : by_length_) v.clear();
        std::uint32_t code = 0, increment = 0;
        unsigned last_length = 0;
        for (unsigned i = symbols; i-- > 0;) {
            code += increment;
            unsigned len = lengths[order[i]];
            if (len != last_length) {
                last_length = len;
                increment = 1u << (16 - len);
            }
            if (code > 0xffff) return false;  // over-full: no prefix code has these lengths
            by_length_[len].push_back({static_cast<std::uint16_t>(code >> (16 - len)), order[i]});
        }
        for (auto& v : by_length_)
            std::sort(v.begin(), v.end(),
                      [](const Code& a, const Code& b) { return a.code < b.code; });
        return true;
    }

    // -1 when the input ends, -2 when no symbol has the code read.
    int decode(BitReader& br) const {
        std::uint32_t code = 0;
        for (unsigned len = 1; len <= 16; ++len) {
            std::uint32_t bit;
            if (!br.bits(1, bit)) return -1;
            code = (code << 1) | bit;
            const auto& v = by_length_[len];
            if (v.empty()) continue;
            auto it = std::lower_bound(v.begin(), v.end(), code,
                                       [](const Code& c, std::uint32_t k) { return c.code < k; });
            if (it != v.end() && it->code == code) return it->symbol;
        }
        return -2;
    }

  private:
    struct Code {
        std::uint16_t code, symbol;
    };
    std::array<std::vector<Code>, 17> by_length_;
};

constexpr std::size_t kWindow = 1 << 16;  // a power of two above the 8K dictionary

}  // namespace

ExplodeStatus explode(std::uint16_t flags, std::uint64_t uncompressed_size, const ExplodeInput& in,
                      const ExplodeOutput& out) {
    const bool big_dictionary = (flags & 0x02) != 0;
    const bool literal_tree = (flags & 0x04) != 0;
    const unsigned low_distance_bits = big_dictionary ? 7 : 6;
    const unsigned min_match = literal_tree ? 3 : 2;

    BitReader br(in);
    SfTree literals, lengths, distances;
    if (uncompressed_size == 0) return ExplodeStatus::kOk;
    if (literal_tree && !literals.read(br, 256)) return ExplodeStatus::kBadTrees;
    if (!lengths.read(br, 64) || !distances.read(br, 64)) return ExplodeStatus::kBadTrees;

    // Zero-filled: a distance reaching before the start of the member copies zeros, as PKZIP did.
    std::vector<std::uint8_t> window(kWindow, 0);
    std::uint64_t total = 0;  // bytes produced
    std::size_t flushed = 0;  // window index up to which bytes were handed out
    auto flush = [&](std::size_t upto) {
        bool ok = out(window.data() + flushed, upto - flushed);
        flushed = upto % kWindow;
        return ok;
    };
    auto put = [&](std::uint8_t b) {
        std::size_t at = static_cast<std::size_t>(total % kWindow);
        window[at] = b;
        ++total;
        if (at + 1 == kWindow) return flush(kWindow);
        return true;
    };

    while (total < uncompressed_size) {
        std::uint32_t flag;
        if (!br.bits(1, flag)) return ExplodeStatus::kInputEnded;
        if (flag) {
            std::uint32_t lit;
            if (literal_tree) {
                int s = literals.decode(br);
                if (s < 0) return s == -1 ? ExplodeStatus::kInputEnded : ExplodeStatus::kBadData;
                lit = static_cast<std::uint32_t>(s);
            } else if (!br.bits(8, lit)) {
                return ExplodeStatus::kInputEnded;
            }
            if (!put(static_cast<std::uint8_t>(lit))) return ExplodeStatus::kStopped;
            continue;
        }
        std::uint32_t low;
        if (!br.bits(low_distance_bits, low)) return ExplodeStatus::kInputEnded;
        int high = distances.decode(br);
        if (high < 0) return high == -1 ? ExplodeStatus::kInputEnded : ExplodeStatus::kBadData;
        std::uint32_t distance =
            ((static_cast<std::uint32_t>(high) << low_distance_bits) | low) + 1;
        int len_sym = lengths.decode(br);
        if (len_sym < 0)
            return len_sym == -1 ? ExplodeStatus::kInputEnded : ExplodeStatus::kBadData;
        std::uint32_t length = static_cast<std::uint32_t>(len_sym);
        if (length == 63) {
            std::uint32_t more;
            if (!br.bits(8, more)) return ExplodeStatus::kInputEnded;
            length += more;
        }
        length += min_match;
        for (std::uint32_t i = 0; i < length && total < uncompressed_size; ++i) {
            std::uint8_t b = window[static_cast<std::size_t>((total - distance) % kWindow)];
            if (!put(b)) return ExplodeStatus::kStopped;
        }
    }
    std::size_t end = static_cast<std::size_t>(total % kWindow);
    if (end != flushed && !flush(end == 0 ? kWindow : end)) return ExplodeStatus::kStopped;
    return ExplodeStatus::kOk;
}

ExplodeStatus explode_buffer(std::uint16_t flags, const std::string& compressed,
                             std::uint64_t uncompressed_size, std::string& result) {
    std::size_t pos = 0;
    ExplodeInput in = [&](std::uint8_t* buf, std::size_t cap) {
        std::size_t n = std::min(cap, compressed.size() - pos);
        std::memcpy(buf, compressed.data() + pos, n);
        pos += n;
        return n;
    };
    result.clear();
    ExplodeOutput out = [&](const std::uint8_t* data, std::size_t n) {
        result.append(reinterpret_cast<const char*>(data), n);
        return true;
    };
    return explode(flags, uncompressed_size, in, out);
}

}  // namespace pavo::zip
