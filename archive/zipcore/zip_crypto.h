// The traditional PKWARE stream cipher of ZIP members (weak by design, kept for compatibility).
//
// A member is encrypted by a 12-byte header followed by the compressed data, both run through one
// cipher keyed with the password. The header's last byte carries a check value (the high byte of
// the member's CRC, or of its DOS time when the CRC follows in a data descriptor), which is how a
// wrong password is noticed before any data is decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace pavo::zip {

class TraditionalCipher {
  public:
    explicit TraditionalCipher(std::string_view password);

    // In place; both advance the key state, so a member must be processed in order, once.
    void encrypt(std::uint8_t* data, std::size_t n);
    void decrypt(std::uint8_t* data, std::size_t n);

  private:
    void update_keys(std::uint8_t plain);
    std::uint8_t stream_byte() const;

    std::uint32_t key0_, key1_, key2_;
};

inline constexpr std::size_t kEncryptionHeaderSize = 12;
using EncryptionHeader = std::array<std::uint8_t, kEncryptionHeaderSize>;

// Source of the header's eleven random bytes; tests pass a fixed one for repeatable archives.
using RandomByteSource = std::function<std::uint8_t()>;
// A source seeded from the system's random device.
RandomByteSource system_random_bytes();

// Builds the encrypted header for a fresh cipher (the cipher then continues with the data).
EncryptionHeader make_encryption_header(TraditionalCipher& cipher, std::uint8_t check_byte,
                                        const RandomByteSource& random);

// Decrypts header with a fresh cipher (which then continues with the data) and tells whether its
// last byte equals check_byte. A false answer means a wrong password (or a damaged member); a true
// answer is right by chance once in 256 wrong passwords, so the CRC must still be checked.
bool check_encryption_header(TraditionalCipher& cipher, const std::uint8_t* header,
                             std::uint8_t check_byte);

// The check byte a member's header carries: the top byte of its DOS time when general-purpose
// bit 3 (sizes and CRC in a trailing data descriptor) is set, else the top byte of its CRC.
std::uint8_t encryption_check_byte(std::uint16_t flags, std::uint32_t crc32,
                                   std::uint16_t dos_time);

}  // namespace pavo::zip
