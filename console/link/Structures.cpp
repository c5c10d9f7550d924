#include "Structures.h"

#include "common/core/Crc16.h"

#include <cmath>

namespace console {

namespace {

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint8_t c = static_cast<std::uint8_t>(i);
        for (int b = 0; b < 8; ++b) c = (c & 1) ? static_cast<std::uint8_t>((c >> 1) ^ 0x8C) : static_cast<std::uint8_t>(c >> 1);
        t[i] = c;
    }
    return t;
}
constexpr auto kCrc8 = MakeCrc8Table();
static_assert(kCrc8[1] == 0x5E && kCrc8[0x80] == 0x8C);

}  // namespace

std::uint16_t AreaCRC16(const std::uint8_t* data, std::size_t count) { return common::Crc16Xmodem(data, count); }

void SealArea(std::uint8_t* buffer, std::size_t n) {
    if (n < 2) return;
    PutUInt16BE(buffer + n - 2, AreaCRC16(buffer, n - 2));
}

std::uint8_t FrameCRC8(const std::uint8_t* data, std::size_t count, std::uint8_t start) {
    std::uint8_t crc = start;
    for (std::size_t i = 0; i < count; ++i) crc = kCrc8[crc ^ data[i]];
    return crc;
}

void EncodeDecimal6(double value, std::uint8_t out[6]) {
    for (int i = 0; i < 6; ++i) out[i] = 0;
    long double x = value;
    std::uint8_t sign = 0;
    if (x < 0) {
        sign = 0x80;
        x = -x;
    }
    if (!(x > 0) || std::isnan(value)) return;  // zero is six zero bytes
    int n = 1;
    if (x >= 1) {
        while (x >= 10) {
            x /= 10;
            ++n;
        }
    } else {
        while (x < 1) {
            x *= 10;
            --n;
        }
    }
    if (n < -64) return;  // too small to represent: zero
    if (n > 63) {         // too large: the largest representable magnitude
        for (int i = 0; i < 5; ++i) out[i] = 0x99;
        out[5] = static_cast<std::uint8_t>(sign | 127);
        return;
    }
    x += 1e-13L;
    for (int i = 0; i < 10; ++i) {
        int d = static_cast<int>(x);
        if (d > 9) d = 9;
        out[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? d << 4 : d);
        x = (x - d) * 10;
    }
    out[5] = static_cast<std::uint8_t>(sign | (n + 64));
    if (out[0] == 0)
        for (int i = 0; i < 6; ++i) out[i] = 0;
}

Decimal6 EncodeDecimal6(double x) {
    Decimal6 d{};
    EncodeDecimal6(x, d.data());
    return d;
}

double DecodeDecimal6(const std::uint8_t b[6]) {
    bool zero = true;
    for (int i = 0; i < 6; ++i) zero = zero && b[i] == 0;
    if (zero) return 0;
    long double m = 0;
    for (int i = 0; i < 10; ++i) {
        const int d = i % 2 == 0 ? b[i / 2] >> 4 : b[i / 2] & 0x0F;
        m = m * 10 + d;
    }
    if (m == 0) return 0;
    if (b[5] & 0x80) m = -m;
    const int e = (b[5] & 0x7F) - 64;
    return static_cast<double>(std::pow(10.0L, e - 10) * (m + 1e-13L));
}

std::uint16_t TimeToHMWord(const DateTime& t) {
    if (t.isEmpty()) return 0;
    return static_cast<std::uint16_t>((t.hour() << 8) | t.minute());
}

DateTime HMWordToTime(std::uint16_t w) {
    if (w == 0) return {};
    const int h = w >> 8, m = w & 0xFF;
    if (!DateTime::isValidTime(h, m, 0)) return {};
    // A time of day alone: the day part is the date-time type's day zero.
    return DateTime::makeOrEmpty(1899, 12, 30, h, m);
}

std::uint16_t DateToMDWord(const DateTime& d) {
    if (d.isEmpty()) return 0;
    return static_cast<std::uint16_t>((d.month() << 8) | d.day());
}

DateTime MDWordToDate(std::uint16_t w) {
    if (w == 0) return {};
    return DateTime::makeOrEmpty(2000, w >> 8, w & 0xFF);
}

std::uint16_t DateTimeToMDHWord(const DateTime& t) {
    if (t.isEmpty()) return 0;
    return static_cast<std::uint16_t>(t.hour() | (t.day() << 5) | (t.month() << 10));
}

DateTime MDHWordToDateTime(std::uint16_t w) {
    if (w == 0) return {};
    return DateTime::makeOrEmpty(2000, (w >> 10) & 0x0F, (w >> 5) & 0x1F, w & 0x1F);
}

DateTime ProfileStampToDateTime(std::uint16_t w, const DateTime& today) {
    if (w == 0) return {};
    const int month = w >> 12, day = (w >> 7) & 0x1F, hour = (w >> 2) & 0x1F, quarter = w & 0x03;
    int year = today.year();
    if (month > today.month() || (month == today.month() && day > today.day())) --year;
    return DateTime::makeOrEmpty(year, month, day, hour, quarter * 15);
}

DateTime ProfileStampToDateTime(std::uint16_t w) { return ProfileStampToDateTime(w, DateTime::now()); }

std::uint32_t DateTimeToStamp32(const DateTime& t) {
    if (t.isEmpty()) return 0;
    return static_cast<std::uint32_t>(t.second() / 2) | (static_cast<std::uint32_t>(t.minute()) << 5) |
           (static_cast<std::uint32_t>(t.hour()) << 11) | (static_cast<std::uint32_t>(t.day()) << 16) |
           (static_cast<std::uint32_t>(t.month()) << 21) | (static_cast<std::uint32_t>(t.year() % 100) << 25);
}

DateTime Stamp32ToDateTime(std::uint32_t v) {
    if (v == 0) return {};
    return DateTime::makeOrEmpty(2000 + static_cast<int>(v >> 25), (v >> 21) & 0x0F, (v >> 16) & 0x1F,
                                 (v >> 11) & 0x1F, (v >> 5) & 0x3F, static_cast<int>(v & 0x1F) * 2);
}

int YearOfDate(const DateTime& d) { return d.isEmpty() ? 0 : d.year(); }

}  // namespace console
