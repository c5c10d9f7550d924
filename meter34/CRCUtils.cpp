#include "CRCUtils.h"

namespace meter34 {

namespace {
// The fixed mask, the same in every installation.
constexpr std::uint8_t kMask[4] = {0xC3, 0x0E, 0x97, 0x4B};
}  // namespace

std::uint8_t Sum8(const std::uint8_t* data, std::size_t count) {
    unsigned s = 0;
    for (std::size_t i = 0; i < count; ++i) s += data[i];
    return static_cast<std::uint8_t>(s);
}

void Cipher(std::uint8_t* data, std::size_t count, const Key4& key) {
    std::uint8_t stream[4];
    for (int j = 0; j < 4; ++j)
        stream[j] = static_cast<std::uint8_t>(key.b[j] ^ (key.b[j] >> 3) ^ kMask[j] ^
                                              ((kMask[j] << 1) & 0xFF));
    for (std::size_t i = 0; i < count; ++i) data[i] ^= stream[i & 3];
}

}  // namespace meter34
