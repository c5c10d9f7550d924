#pragma once
// Byte-at-a-time assembly of the replies of meters of versions 51..54 (frame
// layout in Frame.h), kept apart from any waiting or I/O so it can be tested
// byte by byte and fuzzed. It speaks the vocabulary of the shared receive
// loop (common/core/FrameReceive.h): every byte gives "need more", "frame"
// or "reset".
//
// The serial line and the TCP server assemble alike but for the start byte:
// on the serial line a first byte other than 7E ends the receive, while over
// TCP it is taken as it comes (the meter-side device forwards what the meter
// sent).

#include <array>
#include <cstdint>

#include "Frame.h"
#include "common/core/FrameReceive.h"

namespace console {

class FrameAssembler {
public:
    // Why the last Reset happened.
    enum class Fault {
        None,
        StartByte,  // the first byte was not 7E (serial line only)
        Length,     // the length byte announced more than 251 data bytes
        CheckCode,  // a complete frame whose check code is wrong
    };

    // Frame: Data()/Count() hold one complete, check-code-valid frame.
    // Reset: the bytes so far were dropped (LastFault() says why).
    // After either, the next byte starts a new frame.
    common::Push push(std::uint8_t byte);
    void Reset() {
        count_ = 0;
        expected_ = kMaxFrameLength;
        complete_ = false;
    }

    // Most bytes it may be given at once without reading past its frame.
    int Wanted() const { return complete_ || count_ < 2 ? 1 : expected_ - count_; }
    // Bytes stored so far (0 = waiting for the first byte); after Frame, the
    // frame's length.
    int Count() const { return count_; }
    const std::uint8_t* Data() const { return buffer_.data(); }
    Fault LastFault() const { return fault_; }

protected:
    explicit FrameAssembler(bool checkStartByte) : checkStart_(checkStartByte) {}

private:
    common::Push Drop(Fault why) {
        Reset();
        fault_ = why;
        return common::Push::Reset;
    }

    std::array<std::uint8_t, kFrameBufferSize> buffer_{};
    int count_ = 0;
    int expected_ = kMaxFrameLength;
    bool complete_ = false;
    bool checkStart_;
    Fault fault_ = Fault::None;
};

// A reply on the serial line: it must begin with the start byte.
class SerialFrameAssembler : public FrameAssembler {
public:
    SerialFrameAssembler() : FrameAssembler(true) {}
};

// A reply over TCP, arriving in chunks of any size: the position survives
// from one chunk to the next, so a frame may come in pieces.
class TcpFrameAssembler : public FrameAssembler {
public:
    TcpFrameAssembler() : FrameAssembler(false) {}
};

// Why an exchange brought no reply frame, for the messages of a failure.
enum class ExchangeFault {
    None,
    NoReply,   // nothing came in time
    BadCheck,  // a frame came with a wrong check code
    Damaged,   // bytes came that cannot be a frame: wrong start byte, impossible length, cut short
    LinkLost,  // the line went away (the meter side of the TCP server left)
    NotSent,   // the request could not be sent in time (the meter side takes nothing)
};

// The fault of one receive by the shared loop with assembler a.
ExchangeFault FaultOf(common::Received received, const FrameAssembler& a);

}  // namespace console
