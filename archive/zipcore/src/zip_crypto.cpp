// The traditional PKWARE cipher: three 32-bit keys stirred by every plain byte.
#include "archive/zipcore/zip_crypto.h"

#include <algorithm>
#include <memory>
#include <random>

#include "archive/zipcore/crc32.h"

namespace pavo::zip {

namespace {

// One step of the CRC-32 register, which the cipher uses to stir keys 0 and 2.
std::uint32_t crc_step(std::uint32_t crc, std::uint8_t b) {
    // crc32_update works on the post-inverted value; invert around it to get the raw register step.
    return ~crc32_update(~crc, &b, 1);
}

}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password)
    : key0_(305419896u), key1_(591751049u), key2_(878082192u) {
    for (char c : password) update_keys(static_cast<std::uint8_t>(c));
}

void TraditionalCipher::update_keys(std::uint8_t plain) {
    key0_ = crc_step(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xffu)) * 134775813u + 1u;
    key2_ = crc_step(key2_, static_cast<std::uint8_t>(key1_ >> 24));
}

std::uint8_t TraditionalCipher::stream_byte() const {
    std::uint16_t temp = static_cast<std::uint16_t>((key2_ & 0xffffu) | 2u);
    return static_cast<std::uint8_t>((temp * (temp ^ 1u)) >> 8);
}

void TraditionalCipher::encrypt(std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t plain = data[i];
        data[i] = static_cast<std::uint8_t>(plain ^ stream_byte());
        update_keys(plain);
    }
}

void TraditionalCipher::decrypt(std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t plain = static_cast<std::uint8_t>(data[i] ^ stream_byte());
        data[i] = plain;
        update_keys(plain);
    }
}

RandomByteSource system_random_bytes() {
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine]() { return static_cast<std::uint8_t>((*engine)() >> 24); };
}

EncryptionHeader make_encryption_header(TraditionalCipher& cipher, std::uint8_t check_byte,
                                        const RandomByteSource& random) {
    EncryptionHeader header{};
    for (std::size_t i = 0; i + 1 < header.size(); ++i) header[i] = random();
    header[header.size() - 1] = check_byte;
    cipher.encrypt(header.data(), header.size());
    return header;
}

bool check_encryption_header(TraditionalCipher& cipher, const std::uint8_t* header,
                             std::uint8_t check_byte) {
    EncryptionHeader plain;
    std::copy(header, header + plain.size(), plain.begin());
    cipher.decrypt(plain.data(), plain.size());
    return plain[plain.size() - 1] == check_byte;
}

std::uint8_t encryption_check_byte(std::uint16_t flags, std::uint32_t crc32,
                                   std::uint16_t dos_time) {
    if (flags & 0x0008u) return static_cast<std::uint8_t>(dos_time >> 8);
    return static_cast<std::uint8_t>(crc32 >> 24);
}

}  // namespace pavo::zip
