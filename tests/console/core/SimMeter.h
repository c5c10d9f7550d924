#pragma once
// The emulator on a pseudo-terminal and the serial link to it, with short
// pauses, for the core's sequences.

#include "tests/console/link/SerialSim.h"

namespace testcore {

constexpr std::uint32_t kMeter = 1234567;  // the emulator's default meter
constexpr std::uint32_t kIdent = 1;

struct SimMeter : testmeter::SerialSim {
    void SetUp() override {
        SerialSim::SetUp();
        common::timings().consoleSendPauseMs = 2;
        // A reply's first byte may take several polls: generous for a loaded machine.
        common::timings().consolePollMs = 40;
    }
    // End-of-session requests the meter has received.
    std::uint64_t Ended() const { return meter.counters().sessionsEnded; }
};

}  // namespace testcore
