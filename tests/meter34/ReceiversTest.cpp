// The frame receivers on a real serial link (pseudo-terminal): time-outs
// restarted by slow bytes, per-envelope time-outs, PLC station queries.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/RS232Communication.h"
#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "meter34/MeterExchange.h"
#include "tests/support/MeterFrames.h"
#include "tests/support/Pty.h"

using namespace meter34;
using frames34::Bytes;
using namespace std::chrono_literals;

namespace {

struct SerialFixture : ::testing::Test {
    testsupport::PtyPair pty;
    links::TRS232_Communication serial;
    void SetUp() override {
        serial.DevicePath = pty.slavePath();
        // A slow line: a try may last twice its time-out plus the line time
        // of the longest frame, which leaves room for the dribbled replies
        // below (a pseudo-terminal itself has no speed).
        serial.BaudRate = 1200;
        ASSERT_TRUE(serial.Open()) << serial.LastError();
    }
    // Writes the bytes one by one with a gap, from another thread.
    std::thread Dribble(Bytes bytes, std::chrono::milliseconds gap, std::chrono::milliseconds first = 0ms) {
        return std::thread([this, bytes, gap, first] {
            std::this_thread::sleep_for(first);
            for (auto b : bytes) {
                pty.write(Bytes{b});
                std::this_thread::sleep_for(gap);
            }
        });
    }
};

Bytes Reply(std::uint32_t number, const Bytes& payload) { return frames34::MeterFrame(number, 4, 0x81, 0x03, payload); }

using frames34::PLCFrame;

}  // namespace

TEST_F(SerialFixture, SlowBytesRestartTheTimeout) {
    serial.Timeout = 400;
    const Bytes reply = Reply(12345, {0x00, 0x01});
    // 14 bytes, 150 ms apart: two seconds in all, far beyond one time-out.
    auto writer = Dribble(Bytes{0x00, 0x55}, 150ms);
    writer.join();
    auto writer2 = Dribble(reply, 150ms);
    std::uint8_t buf[kFrameBufferSize];
    int len = 0;
    EXPECT_TRUE(ReceiveDirectFrame(serial, buf, len));
    writer2.join();
    EXPECT_EQ(Bytes(buf, buf + len), reply);
}

TEST_F(SerialFixture, SilenceEndsTheDirectReceive) {
    serial.Timeout = 150;
    std::uint8_t buf[kFrameBufferSize];
    int len = -1;
    // The reply starts too late for one time-out.
    auto writer = Dribble(Reply(1, {0x00}), 0ms, 600ms);
    EXPECT_FALSE(ReceiveDirectFrame(serial, buf, len));
    writer.join();
}

TEST_F(SerialFixture, RouteTimeoutGrowsWithTheNumberOfAddresses) {
    // A reply envelope that starts 350 ms after the request.
    const Bytes raw = frames34::RFReply({1, 2, 12345}, {});
    serial.Timeout = 150;
    for (const char* route : {"1;2;12345", "12345"}) {
        TRF_Route_MeterExchange rf(&serial);
        ASSERT_TRUE(rf.SetRoute(route));
        auto writer = Dribble(raw, 0ms, 350ms);
        std::uint8_t buf[kFrameBufferSize];
        int len = -1;
        const bool got = rf.ReceiveFrame(buf, len);
        writer.join();
        // Three addresses wait 3 x 150 ms; one address only 150 ms.
        EXPECT_EQ(got, std::string(route) == "1;2;12345") << route;
        if (got) {
            EXPECT_EQ(len, 0);
        }
        pty.read(50);
        serial.PurgeInput();
    }
}

TEST_F(SerialFixture, PLCStationQueries) {
    TPLC_MeterExchange plc(&serial);
    serial.ExtraTimeout = -9000;  // keep the 10 s query time-out short here
    auto station = std::thread([this] {
        const Bytes q1 = pty.read(2000, 7);
        EXPECT_EQ(q1, (Bytes{0xCA, 0x03, 0x00, 0x00, 0x65, 0x01, 0x69}));
        pty.write(Bytes{0x33});  // noise
        pty.write(PLCFrame(0x65, {0x01, 0x00, 0x00, 0x03, 0x00}));
        const Bytes q2 = pty.read(2000, 9);
        EXPECT_EQ(q2, (Bytes{0xCA, 0x05, 0x00, 0x00, 0x69, 0x00, 0x02, 0x00, 0x70}));
        Bytes rec = {0x00};
        for (int i = 0; i < 21; ++i) rec.push_back(static_cast<std::uint8_t>(0xA0 + i));
        pty.write(PLCFrame(0x69, rec));
    });
    EXPECT_EQ(plc.GetModemCount(), 3);
    std::uint8_t record[21] = {};
    EXPECT_TRUE(plc.GetNodeInfo(2, record));
    station.join();
    for (int i = 0; i < 21; ++i) EXPECT_EQ(record[i], 0xA0 + i);
    // Silence: the count query gives 0.
    EXPECT_EQ(plc.GetModemCount(), 0);
}
