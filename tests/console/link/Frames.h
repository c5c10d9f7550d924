#pragma once
// Frames of meters of versions 51..54 built by hand from the wire layout,
// for tests: 7E, L, code, data, CRC-8/MAXIM over L, code and data.

#include <cstdint>
#include <vector>

#include "console/link/Structures.h"

namespace testframes {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Frame(std::uint8_t code, const Bytes& data) {
    Bytes f{0x7E, static_cast<std::uint8_t>(data.size()), code};
    for (std::uint8_t b : data) f.push_back(b);
    f.push_back(console::FrameCRC8(f.data() + 1, f.size() - 1));
    return f;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    for (std::uint8_t x : b) a.push_back(x);
    return a;
}

}  // namespace testframes
