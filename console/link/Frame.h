#pragma once
// The frame of meters of versions 51..54, the same in both directions, and
// the scrambling of its data inside a session:
//
//   7E | L | code | L data bytes | FrameCRC8 over L, code and data
//
// A frame is L + 4 bytes and L is at most 251, so the whole frame fits in
// 255 bytes. Part of the codecs: the emulator builds its replies with it too.

#include <array>
#include <cstddef>
#include <cstdint>

namespace console {

constexpr std::uint8_t kFrameStart = 0x7E;
constexpr int kMaxFrameData = 251;
constexpr int kMaxFrameLength = kMaxFrameData + 4;
constexpr int kFrameBufferSize = 256;

// Builds a frame from code and the (already scrambled) data into out, which
// must hold length + 4 bytes; returns the frame length, or 0 when length is
// outside 0..251.
int BuildFrame(std::uint8_t code, const std::uint8_t* data, int length, std::uint8_t* out);

// Combines data byte i with key byte i mod 4, both ways (scrambling restarts
// at key byte 0 in every frame). A zero key leaves the data as they are.
void Scramble(std::uint8_t* data, std::size_t length, const std::array<std::uint8_t, 4>& key);

}  // namespace console
