#pragma once
// Frame check of version 3/4 meter frames and radio route envelopes:
// the FCS-16 of HDLC/PPP (CRC-16/X-25). Sent high byte first.

#include <cstddef>
#include <cstdint>

namespace meter34 {

// Check over count bytes of data starting at data[first]; already complemented.
std::uint16_t Fcs16(const std::uint8_t* data, std::size_t first, std::size_t count);

// Appends the check of data[1..end) at data[end], data[end+1] (high byte first).
inline void PutFcs16(std::uint8_t* data, std::size_t end) {
    const std::uint16_t c = Fcs16(data, 1, end - 1);
    data[end] = static_cast<std::uint8_t>(c >> 8);
    data[end + 1] = static_cast<std::uint8_t>(c & 0xFF);
}

// True when data[end], data[end+1] hold the check of data[1..end).
inline bool CheckFcs16(const std::uint8_t* data, std::size_t end) {
    const std::uint16_t c = Fcs16(data, 1, end - 1);
    return data[end] == static_cast<std::uint8_t>(c >> 8) &&
           data[end + 1] == static_cast<std::uint8_t>(c & 0xFF);
}

}  // namespace meter34
