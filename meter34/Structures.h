#pragma once
// Packed date formats of the version 3/4 protocol.
//
// The empty date-time ("no date") packs to 0 and 0 unpacks to it. A packed
// value whose fields the calendar rejects (month 13, day 0, hour 24, ...)
// also unpacks to the empty value: nothing is clamped.

#include <cstdint>

#include "common/core/DateTime.h"

namespace meter34 {

using common::DateTime;

// 32-bit time stamp of journals and ratio changes, most significant bit first:
// year-2000 (7) | month (4) | day (5) | hour (5) | minute (6) | second/2 (5).
DateTime UnpackDateTime32(std::uint32_t v);

// Day selector: day | month << 5 | (year mod 100) << 9. The decoder reads six
// year bits (2000..2063); the encoder writes seven.
std::uint16_t PackDate16(const DateTime& d);
DateTime UnpackDate16(std::uint16_t v);

// Month-day-hour moment without a year: hour | day << 5 | month << 10; it
// unpacks into the year 2000 (a leap year, so 29 February exists).
std::uint16_t PackDayHour16(const DateTime& d);
DateTime UnpackDayHour16(std::uint16_t v);

// Little-endian helpers for reply payloads.
inline std::uint16_t GetU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32LE(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16LE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32LE(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace meter34
