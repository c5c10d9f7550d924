#include "Frame.h"

#include <cstring>

#include "Structures.h"

namespace console {

int BuildFrame(std::uint8_t code, const std::uint8_t* data, int length, std::uint8_t* out) {
    if (length < 0 || length > kMaxFrameData) return 0;
    out[0] = kFrameStart;
    out[1] = static_cast<std::uint8_t>(length);
    out[2] = code;
    if (length > 0) std::memcpy(out + 3, data, static_cast<std::size_t>(length));
    out[3 + length] = FrameCRC8(out + 1, static_cast<std::size_t>(length) + 2);
    return length + 4;
}

void Scramble(std::uint8_t* data, std::size_t length, const std::array<std::uint8_t, 4>& key) {
    for (std::size_t i = 0; i < length; ++i) data[i] ^= key[i % 4];
}

}  // namespace console
