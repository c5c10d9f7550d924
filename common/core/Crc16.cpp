#include "Crc16.h"

namespace common {

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint16_t x = static_cast<std::uint16_t>(((crc >> 8) ^ data[i]) & 0xFF);
        x ^= static_cast<std::uint16_t>(x >> 4);
        crc = static_cast<std::uint16_t>((crc << 8) ^ (x << 12) ^ (x << 5) ^ x);
    }
    return crc;
}

}  // namespace common
