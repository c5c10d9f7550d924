#pragma once
// Byte-at-a-time assembly of the frames of meters of versions 51..54,
// kept apart from any waiting or I/O so it can be tested byte by byte and
// fuzzed:
//
//   7E | L | code | L data bytes | FrameCRC8 over L, code and data
//
// A frame is L + 4 bytes and L is at most 251 in either direction, so the
// whole frame fits in 255 bytes.

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

// Assembly of one reply on the serial line. The first byte must be the start
// byte; the length byte fixes the frame length; the last byte is checked.
class SerialFrameAssembler {
public:
    enum class Step {
        NeedMore,  // keep feeding
        Frame,     // Data()/Count() hold one complete, check-code-valid frame
        Reject,    // wrong start byte, impossible length or wrong check code
    };

    // After Frame or Reject the next byte starts a new frame.
    Step Push(std::uint8_t byte);
    void Reset() {
        count_ = 0;
        expected_ = kMaxFrameLength;
        complete_ = false;
    }

    // Bytes stored so far (0 = waiting for the start byte).
    int Count() const { return count_; }
    // Bytes the frame still needs (meaningful once the length byte arrived).
    int Missing() const { return expected_ - count_; }
    const std::uint8_t* Data() const { return buffer_.data(); }

private:
    std::array<std::uint8_t, kFrameBufferSize> buffer_{};
    int count_ = 0;
    int expected_ = kMaxFrameLength;
    bool complete_ = false;
};

// Assembly of replies arriving over TCP in chunks of any size. The position
// survives from one chunk to the next, so a frame may come in pieces; what
// follows a complete frame in the same chunk is dropped. The start byte is not
// checked on this path (the meter-side device forwards what the meter sent).
class TcpFrameAssembler {
public:
    enum class Outcome {
        NeedMore,  // the chunk was consumed, no frame completed
        Frame,     // Data()/Length() hold a complete, check-code-valid frame
        BadCheck,  // a complete frame with a wrong check code
        Reset,     // the length byte announced more than 251 data bytes
    };

    // Feeds one chunk; stops at the first completed (or rejected) frame and
    // drops the rest of the chunk. After Frame/BadCheck/Reset the next chunk
    // starts a new frame.
    Outcome PushChunk(const std::uint8_t* data, std::size_t count);
    void Reset() { position_ = 0; expected_ = kMaxFrameLength; }

    int Position() const { return position_; }
    const std::uint8_t* Data() const { return buffer_.data(); }
    int Length() const { return length_; }

private:
    std::array<std::uint8_t, kFrameBufferSize> buffer_{};
    int position_ = 0;
    int expected_ = kMaxFrameLength;
    int length_ = 0;
};

}  // namespace console
