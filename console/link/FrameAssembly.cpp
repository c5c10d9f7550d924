#include "FrameAssembly.h"

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

SerialFrameAssembler::Step SerialFrameAssembler::Push(std::uint8_t byte) {
    if (complete_) Reset();
    if (count_ == 0 && byte != kFrameStart) return Step::Reject;
    if (count_ == 1) {
        // Lengths above 251 cannot occur; taken at face value they would make
        // the expected length wrap below the bytes already stored.
        if (byte > kMaxFrameData) {
            Reset();
            return Step::Reject;
        }
        expected_ = byte + 4;
    }
    buffer_[static_cast<std::size_t>(count_++)] = byte;
    if (count_ < expected_) return Step::NeedMore;
    const std::size_t checked = static_cast<std::size_t>(buffer_[1]) + 2;
    const bool valid = FrameCRC8(buffer_.data() + 1, checked) == buffer_[static_cast<std::size_t>(count_ - 1)];
    if (valid) {
        complete_ = true;  // Count() and Data() keep the frame until the next byte
        return Step::Frame;
    }
    Reset();
    return Step::Reject;
}

TcpFrameAssembler::Outcome TcpFrameAssembler::PushChunk(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = data[i];
        if (position_ == 1) {
            if (byte > kMaxFrameData) {
                Reset();
                return Outcome::Reset;
            }
            expected_ = byte + 4;
        }
        buffer_[static_cast<std::size_t>(position_++)] = byte;
        if (position_ == expected_) {
            const std::size_t checked = static_cast<std::size_t>(buffer_[1]) + 2;
            const bool valid = FrameCRC8(buffer_.data() + 1, checked) == buffer_[static_cast<std::size_t>(position_ - 1)];
            length_ = valid ? position_ : 0;
            Reset();
            return valid ? Outcome::Frame : Outcome::BadCheck;
        }
    }
    return Outcome::NeedMore;
}

}  // namespace console
