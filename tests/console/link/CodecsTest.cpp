// Check codes, decimal numbers and packed dates of the version 51..54 protocol.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "console/link/Structures.h"

using namespace console;
using common::DateTime;

namespace {
std::vector<std::uint8_t> Bytes(const char* s) { return {s, s + std::strlen(s)}; }
}  // namespace

TEST(ConsoleChecks, PublishedCheckValues) {
    const auto abc = Bytes("abc");
    const auto digits = Bytes("123456789");
    EXPECT_EQ(AreaCRC16(abc.data(), 3), 0x9DD6);
    EXPECT_EQ(AreaCRC16(digits.data(), 9), 0x31C3);
    EXPECT_EQ(AreaCRC16(abc.data(), 0), 0);
    EXPECT_EQ(FrameCRC8(abc.data(), 3), 0x42);
    EXPECT_EQ(FrameCRC8(digits.data(), 9), 0xA1);  // CRC-8/MAXIM
    EXPECT_EQ(FrameCRC8(abc.data(), 0), 0);
    // End of session: 7E 00 02 BC, the check over length and code.
    const std::uint8_t endSession[] = {0x00, 0x02};
    EXPECT_EQ(FrameCRC8(endSession, 2), 0xBC);

    std::uint8_t rec[5] = {'a', 'b', 'c', 0xEE, 0xEE};
    SealArea(rec, 5);
    EXPECT_EQ(rec[3], 0x9D);
    EXPECT_EQ(rec[4], 0xD6);
    std::uint8_t zeros[8] = {0, 0, 0, 0, 0, 0, 0xEE, 0xEE};
    SealArea(zeros, 8);
    EXPECT_EQ(zeros[6], 0);
    EXPECT_EQ(zeros[7], 0);
}

TEST(ConsoleChecks, ByteOrder) {
    const std::uint8_t b[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(GetUInt24BE(b), 0x123456u);
    EXPECT_EQ(GetUInt32BE(b), 0x12345678u);
    EXPECT_EQ(SwapWord(0x1234), 0x3412);
    EXPECT_EQ(SwapLongWord(0x12345678u), 0x78563412u);
}

TEST(Decimal6, Examples) {
    struct Case { double x; Decimal6 bytes; } cases[] = {
        {1, {0x10, 0, 0, 0, 0, 0x41}},
        {1.5, {0x15, 0, 0, 0, 0, 0x41}},
        {100, {0x10, 0, 0, 0, 0, 0x43}},
        {0.02, {0x20, 0, 0, 0, 0, 0x3F}},
        {-3.25, {0x32, 0x50, 0, 0, 0, 0xC1}},
        {12345.678, {0x12, 0x34, 0x56, 0x78, 0x00, 0x45}},
        {0, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDecimal6(c.x), c.bytes) << c.x;
        EXPECT_DOUBLE_EQ(DecodeDecimal6(c.bytes.data()), c.x + (c.x == 0 ? 0 : 0)) << c.x;
    }
    const std::uint8_t zeroMantissa[6] = {0, 0, 0, 0, 0, 0x41};
    EXPECT_EQ(DecodeDecimal6(zeroMantissa), 0);
}

TEST(Decimal6, RoundTripsTenDigitsAtEveryExponent) {
    for (int e = -64; e <= 63; ++e) {
        for (double mant : {0.1234567891, 0.9999999999, 0.5, 0.1000000001}) {
            for (double sign : {1.0, -1.0}) {
                const double x = sign * mant * std::pow(10.0, e);
                const auto enc = EncodeDecimal6(x);
                ASSERT_EQ(enc[5] & 0x7F, e + 64) << x;
                const double back = DecodeDecimal6(enc.data());
                EXPECT_NEAR(back / x, 1.0, 1e-9) << "e=" << e << " x=" << x;
            }
        }
    }
    // Beyond the exponent range: saturate or vanish, never wrap.
    EXPECT_EQ(EncodeDecimal6(1e70)[5], 0x7F);
    EXPECT_EQ(EncodeDecimal6(-1e70)[5], 0xFF);
    EXPECT_EQ(EncodeDecimal6(1e-70), (Decimal6{0, 0, 0, 0, 0, 0}));
}

TEST(PackedWords, DatesAndTimes) {
    EXPECT_EQ(MDWordToDate(0x021D), *DateTime::make(2000, 2, 29));
    EXPECT_TRUE(MDWordToDate(0x021E).isEmpty());
    EXPECT_TRUE(MDWordToDate(0).isEmpty());
    EXPECT_EQ(DateToMDWord(*DateTime::make(2031, 12, 5)), 0x0C05);

    const auto hm = HMWordToTime(0x0D05);
    EXPECT_EQ(hm.hour(), 13);
    EXPECT_EQ(hm.minute(), 5);
    EXPECT_TRUE(HMWordToTime(0x1800).isEmpty());
    EXPECT_EQ(TimeToHMWord(*DateTime::make(2024, 1, 1, 23, 59)), 0x173B);
    EXPECT_EQ(TimeToHMWord(DateTime{}), 0);

    const std::uint16_t mdh = static_cast<std::uint16_t>(7 | (29 << 5) | (2 << 10));
    EXPECT_EQ(MDHWordToDateTime(mdh), *DateTime::make(2000, 2, 29, 7));
    EXPECT_EQ(DateTimeToMDHWord(*DateTime::make(2024, 2, 29, 7, 45)), mdh);
    EXPECT_TRUE(MDHWordToDateTime(static_cast<std::uint16_t>(1 | (31 << 5) | (4 << 10))).isEmpty());

    const auto t = *DateTime::make(2024, 2, 29, 13, 5, 7);
    const std::uint32_t s = DateTimeToStamp32(t);
    EXPECT_EQ(s, (24u << 25) | (2u << 21) | (29u << 16) | (13u << 11) | (5u << 5) | 3u);
    EXPECT_EQ(Stamp32ToDateTime(s), *DateTime::make(2024, 2, 29, 13, 5, 6));  // odd second lost
    EXPECT_TRUE(Stamp32ToDateTime(0).isEmpty());
    EXPECT_EQ(YearOfDate(t), 2024);
}

TEST(PackedWords, ProfileStampYearFollowsToday) {
    const auto newYear = *DateTime::make(2025, 1, 1, 10);
    const std::uint16_t dec31 = static_cast<std::uint16_t>((12 << 12) | (31 << 7) | (23 << 2) | 3);
    EXPECT_EQ(ProfileStampToDateTime(dec31, newYear), *DateTime::make(2024, 12, 31, 23, 45));
    const std::uint16_t jan1 = static_cast<std::uint16_t>((1 << 12) | (1 << 7) | (9 << 2) | 1);
    EXPECT_EQ(ProfileStampToDateTime(jan1, newYear), *DateTime::make(2025, 1, 1, 9, 15));
    const std::uint16_t jan2 = static_cast<std::uint16_t>((1 << 12) | (2 << 7));
    EXPECT_EQ(ProfileStampToDateTime(jan2, newYear).year(), 2024);
    EXPECT_TRUE(ProfileStampToDateTime(0, newYear).isEmpty());
}
