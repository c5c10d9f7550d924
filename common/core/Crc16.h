#pragma once
// CRC-16/XMODEM (polynomial 0x1021, not reflected, initial 0, no final
// complement): the check of the parameter structures of version 3/4 meters
// (stored low byte first) and of the memory areas of version 51..54 meters
// (stored high byte first). One implementation for both protocols.

#include <cstddef>
#include <cstdint>

namespace common {

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t count);

}  // namespace common
