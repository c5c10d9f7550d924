#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "meter34/Structures.h"

using namespace meter34;

namespace {
std::vector<std::uint8_t> Bytes(const char* s) { return {s, s + std::strlen(s)}; }
}  // namespace

TEST(Checks, PublishedCheckValues) {
    const auto abc = Bytes("abc");
    const auto digits = Bytes("123456789");
    // Frame check: abc is sent as 9E 25; CRC-16/X-25 catalogue value 0x906E.
    EXPECT_EQ(Fcs16(abc.data(), 0, abc.size()), 0x9E25);
    EXPECT_EQ(Fcs16(digits.data(), 0, digits.size()), 0x906E);
    std::vector<std::uint8_t> framed = {0x7E, 'a', 'b', 'c', 0, 0};
    PutFcs16(framed.data(), 4);
    EXPECT_EQ(framed[4], 0x9E);
    EXPECT_EQ(framed[5], 0x25);
    EXPECT_TRUE(CheckFcs16(framed.data(), 4));
    // Structure check: abc is 0x9DD6 stored D6 9D; CRC-16/XMODEM catalogue value 0x31C3.
    EXPECT_EQ(Crc16Xmodem(abc.data(), abc.size()), 0x9DD6);
    EXPECT_EQ(Crc16Xmodem(digits.data(), digits.size()), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(digits.data(), 0), 0);
    std::uint8_t rec[5] = {'a', 'b', 'c', 0, 0};
    PutCrc16Xmodem(rec, 3);
    EXPECT_EQ(rec[3], 0xD6);
    EXPECT_EQ(rec[4], 0x9D);
    EXPECT_EQ(Sum8(digits.data(), digits.size()), (0x31 + 0x32 + 0x33 + 0x34 + 0x35 + 0x36 + 0x37 + 0x38 + 0x39) & 0xFF);
}

TEST(Cipher, IsItsOwnInverseAndUsesTheFixedMask) {
    std::vector<std::uint8_t> data(11);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 5);
    const auto original = data;
    const auto key = Key4::FromNumber(0xA1B2C3D4);
    Cipher(data.data(), data.size(), key);
    EXPECT_NE(data, original);
    Cipher(data.data(), data.size(), key);
    EXPECT_EQ(data, original);

    // With K = 0 the keystream is M[j] xor (M[j] << 1) alone, period 4.
    const std::uint8_t m[4] = {0xC3, 0x0E, 0x97, 0x4B};
    std::vector<std::uint8_t> zeros(6, 0);
    Cipher(zeros.data(), zeros.size(), Key4{});
    for (std::size_t i = 0; i < zeros.size(); ++i)
        EXPECT_EQ(zeros[i], static_cast<std::uint8_t>(m[i % 4] ^ ((m[i % 4] << 1) & 0xFF))) << i;

    // Key bytes are little-endian and enter as K xor (K >> 3).
    std::uint8_t one = 0;
    Cipher(&one, 1, Key4::FromNumber(0x000000F0));
    EXPECT_EQ(one, static_cast<std::uint8_t>(0xF0 ^ (0xF0 >> 3) ^ 0xC3 ^ 0x86));
    std::uint8_t untouched = 0x55;
    Cipher(&untouched, 0, key);
    EXPECT_EQ(untouched, 0x55);
}

TEST(PackedDates, Date16) {
    const auto d = *DateTime::make(2024, 12, 31);
    EXPECT_EQ(PackDate16(d), 0x319F);
    EXPECT_EQ(UnpackDate16(0x319F), d);
    EXPECT_EQ(PackDate16(DateTime{}), 0);
    EXPECT_TRUE(UnpackDate16(0).isEmpty());
    // The decoder reads six year bits: 2070 comes back 64 years earlier.
    EXPECT_EQ(UnpackDate16(PackDate16(*DateTime::make(2070, 5, 17))), *DateTime::make(2006, 5, 17));
    // Out-of-range fields give no date rather than a clamped one.
    for (std::uint16_t bad : {std::uint16_t(0x3180 | 0), std::uint16_t(0x3000 | (13 << 5) | 1),
                              std::uint16_t((23 << 9) | (2 << 5) | 29)})
        EXPECT_TRUE(UnpackDate16(bad).isEmpty()) << std::hex << bad;
}

TEST(PackedDates, DayHour16AndDateTime32) {
    const std::uint16_t feb29 = static_cast<std::uint16_t>(23 | (29 << 5) | (2 << 10));
    EXPECT_EQ(UnpackDayHour16(feb29), *DateTime::make(2000, 2, 29, 23));
    EXPECT_EQ(PackDayHour16(*DateTime::make(2031, 7, 4, 15, 42, 9)), 15 | (4 << 5) | (7 << 10));
    EXPECT_TRUE(UnpackDayHour16(0).isEmpty());
    EXPECT_TRUE(UnpackDayHour16(24 | (1 << 5) | (1 << 10)).isEmpty());

    const std::uint32_t v = (24u << 25) | (2u << 21) | (29u << 16) | (13u << 11) | (5u << 5) | 3u;
    EXPECT_EQ(UnpackDateTime32(v), *DateTime::make(2024, 2, 29, 13, 5, 6));
    EXPECT_TRUE(UnpackDateTime32(0).isEmpty());
    EXPECT_TRUE(UnpackDateTime32((23u << 25) | (2u << 21) | (29u << 16)).isEmpty());
}
