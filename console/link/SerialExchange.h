#pragma once
// The exchange of both serial links (Ostrilon's and Ostrilon_serial's): up
// to two attempts of sending the frame and receiving one reply. Where the
// two differ is the port's Send (discarding pending input first or not) and
// the rules below. Used by the link classes only.

#include <cstdint>
#include <cstring>

#include "Frame.h"
#include "FrameAssembly.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace console::serial_exchange {

constexpr int kAttempts = 2;

struct Rules {
    bool pauseAfterSend;      // a consoleSendPauseMs pause after every request
    bool replyAlwaysAwaited;  // also requests that want no reply wait for one
};

// Returns true with the reply frame copied into buffer (or, when no reply is
// wanted, once sent); false with the reason in fault.
template <class Port>
bool Exchange(Port& port, const Rules& rules, ExchangeFault& fault, std::uint8_t code, int length, std::uint8_t* buffer,
              bool replyWanted) {
    std::uint8_t frame[kFrameBufferSize];
    const int frameLength = BuildFrame(code, buffer, length, frame);
    if (frameLength == 0) return false;
    std::uint8_t reply[kFrameBufferSize];
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        port.Send(frame, frameLength);
        if (rules.pauseAfterSend) common::SleepMs(common::timings().consoleSendPauseMs);
        if (!replyWanted && !rules.replyAlwaysAwaited) return true;
        int count = 0;
        if (port.ReadFrame(reply, count)) {
            std::memcpy(buffer, reply, static_cast<std::size_t>(count));
            return true;
        }
        fault = port.LastFrameFault();
    }
    return false;
}

}  // namespace console::serial_exchange
