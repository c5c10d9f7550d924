#pragma once
// Field codecs of the meters of versions 51..54: check codes, big-endian
// words, the six-byte decimal number and the packed date and time words.
//
// No codec fails: decoders give 0 (the empty date-time or the number zero)
// for a zero field and for a field the calendar rejects; encoders give a
// zero field for the empty date-time.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/core/DateTime.h"

namespace console {

using common::DateTime;

// CRC-16/XMODEM over at most 255 bytes (the count is a byte on the wire side).
std::uint16_t AreaCRC16(const std::uint8_t* data, std::size_t count);
// Writes AreaCRC16 of buffer[0..n-2) into buffer[n-2], buffer[n-1], high byte first.
void SealArea(std::uint8_t* buffer, std::size_t n);
// CRC-8/MAXIM (Dallas 1-Wire), table driven, start value normally 0.
std::uint8_t FrameCRC8(const std::uint8_t* data, std::size_t count, std::uint8_t start = 0);

constexpr std::uint16_t SwapWord(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
constexpr std::uint32_t SwapLongWord(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline std::uint16_t GetUInt16BE(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint32_t GetUInt24BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
}
inline std::uint32_t GetUInt32BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
inline void PutUInt16BE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void PutUInt32BE(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Six-byte decimal: ten BCD digits 0.D1..D10 and a byte of sign (bit 7) and
// exponent + 64. Exponents outside -64..63 cannot be represented: larger
// magnitudes saturate to the largest value, smaller ones give zero.
using Decimal6 = std::array<std::uint8_t, 6>;
Decimal6 EncodeDecimal6(double x);
void EncodeDecimal6(double x, std::uint8_t out[6]);
double DecodeDecimal6(const std::uint8_t b[6]);

// Every word below is the big-endian reading of its two (or four) wire bytes:
// read it with GetUInt16BE / GetUInt32BE, store it with PutUInt16BE / PutUInt32BE.

// Hour-minute word: byte 0 hour, byte 1 minute (plain numbers, not BCD).
std::uint16_t TimeToHMWord(const DateTime& t);
DateTime HMWordToTime(std::uint16_t w);
// Month-day word: byte 0 month, byte 1 day; decodes into the year 2000.
std::uint16_t DateToMDWord(const DateTime& d);
DateTime MDWordToDate(std::uint16_t w);
// Month-day-hour word: bits 10..13 month, 5..9 day, 0..4 hour; year 2000.
std::uint16_t DateTimeToMDHWord(const DateTime& t);
DateTime MDHWordToDateTime(std::uint16_t w);
// Load-profile stamp: bits 12..15 month, 7..11 day, 2..6 hour, 0..1 quarter.
// The year is today's, or last year's when the stamp lies after today.
DateTime ProfileStampToDateTime(std::uint16_t w);
DateTime ProfileStampToDateTime(std::uint16_t w, const DateTime& today);
// 32-bit stamp: year-2000 (7) | month (4) | day (5) | hour (5) | minute (6) | second/2 (5).
std::uint32_t DateTimeToStamp32(const DateTime& t);
DateTime Stamp32ToDateTime(std::uint32_t v);
int YearOfDate(const DateTime& d);

}  // namespace console
