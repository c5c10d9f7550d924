#include "FCS16.h"

#include <array>

namespace meter34 {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t v = static_cast<std::uint16_t>(i);
        for (int b = 0; b < 8; ++b) v = (v & 1) ? static_cast<std::uint16_t>((v >> 1) ^ 0x8408) : static_cast<std::uint16_t>(v >> 1);
        t[i] = v;
    }
    return t;
}

constexpr auto kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[2] == 0x2312);

}  // namespace

std::uint16_t Fcs16(const std::uint8_t* data, std::size_t first, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    const std::uint8_t* p = data + first;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ p[i]) & 0xFF]);
    return static_cast<std::uint16_t>(~crc);
}

}  // namespace meter34
