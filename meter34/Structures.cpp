#include "Structures.h"

namespace meter34 {

DateTime UnpackDateTime32(std::uint32_t v) {
    if (v == 0) return {};
    const int year = 2000 + static_cast<int>(v >> 25);
    const int month = static_cast<int>((v >> 21) & 0x0F);
    const int day = static_cast<int>((v >> 16) & 0x1F);
    const int hour = static_cast<int>((v >> 11) & 0x1F);
    const int minute = static_cast<int>((v >> 5) & 0x3F);
    const int second = static_cast<int>(v & 0x1F) * 2;
    return DateTime::makeOrEmpty(year, month, day, hour, minute, second);
}

std::uint16_t PackDate16(const DateTime& d) {
    if (d.isEmpty()) return 0;
    const auto c = d.date();
    return static_cast<std::uint16_t>(c.day | (c.month << 5) | ((c.year % 100) << 9));
}

DateTime UnpackDate16(std::uint16_t v) {
    if (v == 0) return {};
    return DateTime::makeOrEmpty(2000 + ((v >> 9) & 0x3F), (v >> 5) & 0x0F, v & 0x1F);
}

std::uint16_t PackDayHour16(const DateTime& d) {
    if (d.isEmpty()) return 0;
    const auto c = d.date();
    return static_cast<std::uint16_t>(d.hour() | (c.day << 5) | (c.month << 10));
}

DateTime UnpackDayHour16(std::uint16_t v) {
    if (v == 0) return {};
    return DateTime::makeOrEmpty(2000, (v >> 10) & 0x0F, (v >> 5) & 0x1F, v & 0x1F);
}

}  // namespace meter34
