// CRC-32 and the traditional cipher: known check value, piecewise use, round trips, header check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/zipcore/crc32.h"
#include "archive/zipcore/zip_crypto.h"

namespace pavo::zip {
namespace {

std::vector<std::uint8_t> sample(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = 12345;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return v;
}

TEST(Crc32, PublishedCheckValueAndPieces) {
    // 0xCBF43926 is the published check value of CRC-32 over "123456789".
    EXPECT_EQ(crc32_update(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32_update(0, nullptr, 0), 0u);
    auto data = sample(100000);
    std::uint32_t whole = crc32_update(0, data.data(), data.size());
    std::uint32_t a = crc32_update(0, data.data(), 777);
    std::uint32_t piecewise = crc32_update(a, data.data() + 777, data.size() - 777);
    EXPECT_EQ(piecewise, whole);
    std::uint32_t b = crc32_update(0, data.data() + 777, data.size() - 777);
    EXPECT_EQ(crc32_combine(a, b, data.size() - 777), whole);
}

TEST(TraditionalCipher, RoundTripInPiecesAndWrongPassword) {
    auto plain = sample(5000);
    std::uint8_t next = 0;
    RandomByteSource counter = [&next]() { return next++; };

    TraditionalCipher enc("geheim");
    std::uint32_t crc = crc32_update(0, plain.data(), plain.size());
    std::uint8_t check = encryption_check_byte(0, crc, 0x1234);
    EncryptionHeader header = make_encryption_header(enc, check, counter);
    auto cipher_text = plain;
    enc.encrypt(cipher_text.data(), 1000);
    enc.encrypt(cipher_text.data() + 1000, cipher_text.size() - 1000);
    EXPECT_NE(cipher_text, plain);

    TraditionalCipher dec("geheim");
    ASSERT_TRUE(check_encryption_header(dec, header.data(), check));
    auto back = cipher_text;
    dec.decrypt(back.data(), 3);
    dec.decrypt(back.data() + 3, back.size() - 3);
    EXPECT_EQ(back, plain);

    // Most wrong passwords fail the header check; all of them garble the data.
    int header_passes = 0;
    for (int i = 0; i < 50; ++i) {
        TraditionalCipher wrong("geheim" + std::to_string(i));
        if (check_encryption_header(wrong, header.data(), check)) ++header_passes;
        auto garbled = cipher_text;
        wrong.decrypt(garbled.data(), garbled.size());
        EXPECT_NE(garbled, plain);
    }
    EXPECT_LT(header_passes, 5);
}

TEST(TraditionalCipher, CheckByteFollowsDataDescriptorFlag) {
    EXPECT_EQ(encryption_check_byte(0, 0xAB000000u, 0xCD00), 0xAB);
    EXPECT_EQ(encryption_check_byte(0x0008, 0xAB000000u, 0xCD00), 0xCD);
}

TEST(TraditionalCipher, EmptyPasswordStillCiphers) {
    auto plain = sample(64);
    auto data = plain;
    TraditionalCipher a("");
    a.encrypt(data.data(), data.size());
    EXPECT_NE(data, plain);
    TraditionalCipher b("");
    b.decrypt(data.data(), data.size());
    EXPECT_EQ(data, plain);
}

}  // namespace
}  // namespace pavo::zip
