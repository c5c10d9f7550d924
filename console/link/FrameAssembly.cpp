#include "FrameAssembly.h"

#include "Structures.h"

namespace console {

common::Push FrameAssembler::push(std::uint8_t byte) {
    if (complete_) Reset();
    if (count_ == 0 && checkStart_ && byte != kFrameStart) return Drop(Fault::StartByte);
    if (count_ == 1) {
        // Lengths above 251 cannot occur; taken at face value they would make
        // the expected length wrap below the bytes already stored.
        if (byte > kMaxFrameData) return Drop(Fault::Length);
        expected_ = byte + 4;
    }
    buffer_[static_cast<std::size_t>(count_++)] = byte;
    if (count_ < expected_) return common::Push::NeedMore;
    const std::size_t checked = static_cast<std::size_t>(buffer_[1]) + 2;
    if (FrameCRC8(buffer_.data() + 1, checked) != buffer_[static_cast<std::size_t>(count_ - 1)])
        return Drop(Fault::CheckCode);
    complete_ = true;  // Count() and Data() keep the frame until the next byte
    fault_ = Fault::None;
    return common::Push::Frame;
}

ExchangeFault FaultOf(common::Received received, const FrameAssembler& a) {
    switch (received) {
        case common::Received::Frame: return ExchangeFault::None;
        case common::Received::TimedOut: return a.Count() == 0 ? ExchangeFault::NoReply : ExchangeFault::Damaged;
        case common::Received::Reset:
            return a.LastFault() == FrameAssembler::Fault::CheckCode ? ExchangeFault::BadCheck : ExchangeFault::Damaged;
        case common::Received::Lost: return ExchangeFault::LinkLost;
    }
    return ExchangeFault::NoReply;
}

}  // namespace console
