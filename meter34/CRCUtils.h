#pragma once
// Payload sum, structure check and session cipher of the version 3/4 protocol.

#include <cstddef>
#include <cstdint>

#include "common/core/Crc16.h"

namespace meter34 {

// Sum of the bytes modulo 256.
std::uint8_t Sum8(const std::uint8_t* data, std::size_t count);

// CRC-16/XMODEM; callers store it low byte first after the bytes it covers.
using common::Crc16Xmodem;

// Appends Crc16Xmodem of data[0..count) at data[count], low byte first.
inline void PutCrc16Xmodem(std::uint8_t* data, std::size_t count) {
    const std::uint16_t c = Crc16Xmodem(data, count);
    data[count] = static_cast<std::uint8_t>(c & 0xFF);
    data[count + 1] = static_cast<std::uint8_t>(c >> 8);
}

// A 4-byte key: the little-endian bytes of a 32-bit key number.
struct Key4 {
    std::uint8_t b[4] = {0, 0, 0, 0};
    static Key4 FromNumber(std::uint32_t v) {
        return Key4{{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
    }
    std::uint32_t ToNumber() const {
        return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    friend bool operator==(const Key4&, const Key4&) = default;
};

// Symmetric XOR keystream of period 4: the same call enciphers and deciphers.
// Keystream position 0 is at data[0].
void Cipher(std::uint8_t* data, std::size_t count, const Key4& key);

}  // namespace meter34
