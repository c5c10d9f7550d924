#pragma once
// The emulated meter on a pseudo-terminal and a connection to it, addressed
// to meter 12345, for the sequences of the version 3/4 program's cores.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "manager/core/Addressing.h"
#include "meter34/MeterConnection.h"
#include "sim/meter34/Emulator.h"

struct CoreSim : ::testing::Test {
    std::unique_ptr<sim34::Emulator> emu;
    meter34::TMeterConnection conn;

    void SetUp() override { Start({}); }
    void Start(const sim34::Config& config) {
        conn.Close();
        emu = std::make_unique<sim34::Emulator>(config);
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
    // Packet types of the frames the meter received (offset 9, cipher bit dropped).
    std::vector<int> Types() const {
        std::vector<int> out;
        for (const auto& r : emu->requests())
            if (r.size() > 9 && r[0] == 0x7E) out.push_back(r[9] & 0x7F);
        return out;
    }
};
