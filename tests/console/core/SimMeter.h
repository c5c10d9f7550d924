#pragma once
// The emulator on a pseudo-terminal and the serial link to it, with short
// pauses, for the core's sequences.

#include <gtest/gtest.h>

#include "common/core/Timings.h"
#include "console/link/RS232Communication.h"
#include "sim/counter5x/Emulator.h"

namespace testcore {

constexpr std::uint32_t kMeter = 1234567;  // the emulator's default meter
constexpr std::uint32_t kIdent = 1;

struct SimMeter : ::testing::Test {
    sim5x::Emulator meter;
    console::TRS232Communication link;

    void SetUp() override {
        common::ResetTimings();
        common::timings().consoleSendPauseMs = 2;
        // A reply's first byte may take several polls: generous for a loaded machine.
        common::timings().consolePollMs = 40;
        const std::string path = meter.startPty();
        ASSERT_TRUE(link.Connect(path, 9600)) << link.SerialPort.OpenError();
    }
    void TearDown() override {
        link.Disconnect();
        meter.stop();
        common::ResetTimings();
    }
    // End-of-session requests the meter has received.
    std::uint64_t Ended() const { return meter.counters().sessionsEnded; }
};

}  // namespace testcore
