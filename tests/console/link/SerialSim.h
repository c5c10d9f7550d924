#pragma once
// The emulator on a pseudo-terminal with the serial link connected to it.

#include <gtest/gtest.h>

#include <string>

#include "common/core/Timings.h"
#include "console/link/RS232Communication.h"
#include "sim/counter5x/Emulator.h"

namespace testmeter {

struct SerialSim : ::testing::Test {
    sim5x::Emulator meter;
    console::TRS232Communication link;
    void SetUp() override {
        common::ResetTimings();
        const std::string path = meter.startPty();
        ASSERT_TRUE(link.Connect(path, 9600)) << link.SerialPort.OpenError();
    }
    void TearDown() override {
        link.Disconnect();
        meter.stop();
        common::ResetTimings();
    }
};

}  // namespace testmeter
