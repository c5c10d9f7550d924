#pragma once
// The client's side of the wire, as these tests speak it: frames built and
// taken apart by hand from the codecs, scrambled with a session key.

#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "console/link/Structures.h"

namespace wire {

using Bytes = std::vector<std::uint8_t>;
using Key = std::array<std::uint8_t, 4>;

inline Bytes Frame(std::uint8_t code, Bytes data, const Key& key = {}) {
    for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= key[i % 4];
    Bytes f(data.size() + 4);
    f[0] = 0x7E;
    f[1] = static_cast<std::uint8_t>(data.size());
    f[2] = code;
    for (std::size_t i = 0; i < data.size(); ++i) f[3 + i] = data[i];
    f.back() = console::FrameCRC8(f.data() + 1, data.size() + 2);
    return f;
}

inline Bytes Auth(std::uint32_t meter, std::uint32_t ident) {
    Bytes d(8);
    console::PutUInt32BE(d.data(), meter);
    console::PutUInt32BE(d.data() + 4, ident);
    return Frame(3, d);
}

inline Bytes ReadArea(std::uint8_t area, std::uint16_t index, const Key& key) {
    return Frame(6, {area, static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)}, key);
}

// Record sealed, then wrapped in a write request with the password.
inline Bytes WriteArea(std::uint8_t area, std::uint16_t index, std::uint16_t password, Bytes record, const Key& key) {
    console::SealArea(record.data(), record.size());
    Bytes d = {area, static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index),
               static_cast<std::uint8_t>(password >> 8), static_cast<std::uint8_t>(password)};
    d.insert(d.end(), record.begin(), record.end());
    return Frame(9, d, key);
}

struct Reply {
    std::uint8_t code = 0;
    Bytes data;  // unscrambled
};

// One complete frame at the start of bytes with a right check code, or nothing.
inline std::optional<Reply> Parse(const Bytes& bytes, const Key& key = {}) {
    if (bytes.size() < 4 || bytes[0] != 0x7E) return std::nullopt;
    const std::size_t len = bytes[1];
    if (bytes.size() < len + 4) return std::nullopt;
    if (console::FrameCRC8(bytes.data() + 1, len + 2) != bytes[len + 3]) return std::nullopt;
    Reply r{bytes[2], Bytes(bytes.begin() + 3, bytes.begin() + 3 + static_cast<long>(len))};
    for (std::size_t i = 0; i < len; ++i) r.data[i] ^= key[i % 4];
    return r;
}

inline Key KeyOf(const Reply& auth) { return {auth.data.at(1), auth.data.at(2), auth.data.at(3), auth.data.at(4)}; }

// Reads from fd until one frame is complete (by its length byte) or ms pass.
inline Bytes ReadFrame(int fd, int ms) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (out.size() >= 2 && out.size() >= static_cast<std::size_t>(out[1]) + 4) return out;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return out;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        std::uint8_t b[300];
        const ssize_t n = ::read(fd, b, sizeof b);
        if (n <= 0) return out;
        out.insert(out.end(), b, b + n);
    }
}

inline void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace wire
