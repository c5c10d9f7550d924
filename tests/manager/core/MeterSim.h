#pragma once
// The emulated meter on a pseudo-terminal with an open connection to it,
// addressed as meter 12345: short time-outs and one try, so that a silent
// meter fails fast.
#include <gtest/gtest.h>

#include <memory>

#include "manager/core/Addressing.h"
#include "sim/meter34/Emulator.h"

struct MeterSim : ::testing::Test {
    std::unique_ptr<sim34::Emulator> emu;
    meter34::TMeterConnection conn;

    void SetUp() override {
        emu = std::make_unique<sim34::Emulator>(sim34::Config{});
        std::string error;
        ASSERT_TRUE(emu->startPty(&error)) << error;
        meter34::ConnectionSettings s;
        s.DevicePath = emu->slavePath();
        s.BaudRateText = "9600";
        s.Timeout = 300;
        s.TryCount = 1;
        s.RetryPause = 10;
        ASSERT_TRUE(conn.Open(s)) << conn.ErrorText;
        std::string status;
        ASSERT_TRUE(manager::core::PrepareAddressing(conn, manager::core::AddressingValues{"12345", 0, ""}, status))
            << status;
    }
    // Packet types of the frames the meter received (offset 9, cipher bit
    // dropped): 1 session steps, 2 closing, 3 read, 4 write.
    std::vector<int> Types() const {
        std::vector<int> out;
        for (const auto& r : emu->requests())
            if (r.size() > 9 && r[0] == 0x7E) out.push_back(r[9] & 0x7F);
        return out;
    }
};
