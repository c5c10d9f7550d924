// The console's serial port on a real pseudo-terminal: frame reception with
// its time-outs, modem lines, hang-up, errors and opening rules. The test
// plays the meter (or modem) on the master side.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "console/link/COMPort.h"
#include "console/link/Structures.h"
#include "tests/console/link/Frames.h"
#include "tests/support/Pty.h"

using namespace std::chrono_literals;
using testframes::Bytes;
using testframes::Frame;
using console::ComPortError;
using console::TComPort;

namespace {

long long MsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

// Writes bytes to the pty master after a delay, on a thread of its own.
class Later {
public:
    Later(testsupport::PtyPair& pty, std::chrono::milliseconds after, Bytes bytes)
        : thread_([&pty, after, bytes] {
              std::this_thread::sleep_for(after);
              pty.write(bytes);
          }) {}
    ~Later() { thread_.join(); }

private:
    std::thread thread_;
};

struct ComPort : ::testing::Test {
    testsupport::PtyPair pty;
    TComPort port;
    std::uint8_t buffer[256] = {};
    int count = -1;

    void SetUp() override {
        common::ResetTimings();
        ASSERT_TRUE(port.OpenPort(pty.slavePath(), 9600)) << port.OpenError();
    }
    void TearDown() override {
        common::ResetTimings();
        common::SetProcessEventsHook({});
    }
    Bytes Received() const { return Bytes(buffer, buffer + count); }
};

}  // namespace

TEST_F(ComPort, ReadsOneFrameAndLeavesWhatFollowsQueued) {
    const Bytes f = Frame(6, {1, 2, 3, 4, 5});
    const Bytes bytes = testframes::Concat(f, {0x7E, 0x00});
    pty.write(bytes);
    ASSERT_TRUE(port.ReadFrame(buffer, count));
    EXPECT_EQ(Received(), f);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(port.InQueue(), 2);
}

TEST_F(ComPort, LengthZeroFrameIsCompleteAfterFourBytes) {
    pty.write(Frame(0, {}));
    ASSERT_TRUE(port.ReadFrame(buffer, count));
    EXPECT_EQ(count, 4);
}

TEST_F(ComPort, DamagedFramesAreDroppedWithoutWaitingForTheTimeOut) {
    Bytes badCheck = Frame(6, {9, 9});
    badCheck.back() ^= 0x40;
    using console::ExchangeFault;
    const std::vector<std::tuple<const char*, Bytes, ExchangeFault>> cases = {
        {"wrong start byte", {0x55, 0x00, 0x02, 0xBC}, ExchangeFault::Damaged},
        {"bad check code", badCheck, ExchangeFault::BadCheck},
        {"length 252", {0x7E, 252, 0x06, 0x00}, ExchangeFault::Damaged},
        {"length 255", {0x7E, 255, 0x06, 0x00}, ExchangeFault::Damaged},
    };
    for (const auto& [what, bytes, fault] : cases) {
        port.ClosePort();
        ASSERT_TRUE(port.OpenPort(pty.slavePath(), 9600));
        pty.write(bytes);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(port.ReadFrame(buffer, count)) << what;
        EXPECT_EQ(count, 0) << what;
        // The full time-out after a start byte is a minute.
        EXPECT_LT(MsSince(start), 900) << what;
        EXPECT_EQ(port.LastFrameFault(), fault) << what;
        port.PurgeReceive();
    }
}

TEST_F(ComPort, FirstByteMustComeWithinTenPolls) {
    common::timings().consolePollMs = 50;  // first byte within about 500 ms
    {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(port.ReadFrame(buffer, count));
        EXPECT_GE(MsSince(start), 450);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(port.LastFrameFault(), console::ExchangeFault::NoReply);
    }
    {
        Later late(pty, 1500ms, Frame(7, {}));
        EXPECT_FALSE(port.ReadFrame(buffer, count));
    }
    port.PurgeReceive();
    {
        Later soon(pty, 50ms, Frame(7, {}));
        EXPECT_TRUE(port.ReadFrame(buffer, count));
    }
}

TEST_F(ComPort, AfterTheStartByteBytesMayTakeMuchLonger) {
    common::timings().consolePollMs = 20;  // first byte within 200 ms, later ones within about 12 s
    const Bytes f = Frame(6, {1, 2, 3});
    pty.write(Bytes(f.begin(), f.begin() + 1));
    Later rest(pty, 700ms, Bytes(f.begin() + 1, f.end()));
    ASSERT_TRUE(port.ReadFrame(buffer, count));
    EXPECT_EQ(Received(), f);
}

TEST_F(ComPort, PollsLetTheWindowProcessItsEvents) {
    common::timings().consolePollMs = 20;
    int calls = 0;
    common::SetProcessEventsHook([&] { ++calls; });
    EXPECT_FALSE(port.ReadFrame(buffer, count));
    EXPECT_GE(calls, 10);
}

TEST_F(ComPort, SendDiscardsPendingInputFirst) {
    pty.write(Bytes{0x01, 0x02, 0x03});
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(port.InQueue(), 3);
    const Bytes request = Frame(2, {});
    EXPECT_EQ(port.Send(request.data(), 4), 4);
    EXPECT_EQ(port.InQueue(), 0);
    EXPECT_EQ(pty.read(2000, 4), request);
}

TEST_F(ComPort, ModemLines) {
    common::timings().consoleModemPollMs = 5;
    // A lone carriage return does not complete a line; the wait is a plain
    // sleep, without the window's events.
    int windowEvents = 0;
    common::SetProcessEventsHook([&] { ++windowEvents; });
    pty.write("\r");
    EXPECT_FALSE(port.ReadModemLine(buffer, count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(windowEvents, 0);
    common::SetProcessEventsHook({});
    port.PurgeReceive();

    pty.write("\r\nOK\r\n");
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(port.ReadModemLine(buffer, count));
    ASSERT_EQ(count, 7);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "\r\nOK\r\n");
    EXPECT_EQ(buffer[6], 0);

    // Completes at the second carriage return, even when it comes later.
    pty.write("\r\nOK");
    {
        Later cr(pty, 50ms, Bytes{'\r'});
        ASSERT_TRUE(port.ReadModemLine(buffer, count));
    }
    EXPECT_EQ(count, 6);
}

TEST_F(ComPort, ModemLineWaitsThreeHundredPollsInAllWhateverArrives) {
    common::timings().consoleModemPollMs = 5;  // 300 polls: 1.5 s
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        // A byte now and then, never a carriage return: no byte restarts the wait.
        for (int i = 0; i < 40 && !done; ++i) {
            pty.write("x");
            std::this_thread::sleep_for(100ms);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.ReadModemLine(buffer, count));
    const long long took = MsSince(start);
    done = true;
    trickle.join();
    EXPECT_GE(took, 1400);
    EXPECT_LT(took, 2500);
    EXPECT_EQ(count, 0);
}

TEST_F(ComPort, ModemLineNeverRunsPastItsBuffer) {
    common::timings().consoleModemPollMs = 5;
    std::uint8_t guarded[300];
    std::fill(std::begin(guarded), std::end(guarded), 0xA5);
    pty.write(std::string(280, 'x'));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(port.ReadModemLine(guarded, count));
    EXPECT_EQ(count, 0);
    for (int i = 256; i < 300; ++i) ASSERT_EQ(guarded[i], 0xA5) << i;
    port.PurgeReceive();

    // A line that does end, but longer than the buffer, is cut at 255 bytes.
    pty.write("\r" + std::string(270, 'y') + "\r");
    std::this_thread::sleep_for(50ms);
    std::fill(std::begin(guarded), std::end(guarded), 0xA5);
    EXPECT_FALSE(port.ReadModemLine(guarded, count));  // no carriage return among the first 255
    for (int i = 256; i < 300; ++i) ASSERT_EQ(guarded[i], 0xA5) << i;
}

namespace {
// A modem on the pty master that answers "+++" and "ATH" as told.
void AnswerModem(testsupport::PtyPair& pty, bool plusOK, bool athAnswers, bool athOK) {
    const std::string plus = pty.readUntil("+++", 5000);
    if (plusOK) pty.write("\r\nOK\r\n");
    const std::string ath = pty.readUntil("ATH\r\n", 5000);
    if (athAnswers) pty.write(athOK ? "\r\nOK\r\n" : "\r\nERROR\r\n");
}
}  // namespace

TEST_F(ComPort, HangUpTakesTheAnswerToATHOrElseTheOneToTheEscape) {
    auto& t = common::timings();
    t.consoleHangupGuardMs = 10;
    t.consoleModemPollMs = 3;  // 300 polls: about a second without an answer
    struct Case {
        bool plusOK, athAnswers, athOK, result;
    };
    for (const Case c : {Case{true, true, true, true}, Case{false, true, true, true}, Case{true, true, false, false},
                         Case{true, false, false, true}, Case{false, false, false, false}}) {
        std::thread modem([&] { AnswerModem(pty, c.plusOK, c.athAnswers, c.athOK); });
        EXPECT_EQ(port.HangUp(), c.result) << c.plusOK << c.athAnswers << c.athOK;
        modem.join();
        port.PurgeReceive();
    }
}

TEST(ComPortErrors, ClosedPortRaisesNotOpened) {
    TComPort port;
    std::uint8_t b[256];
    int count = 0;
    auto expectNotOpened = [](const auto& call) {
        try {
            call();
            ADD_FAILURE() << "no error raised";
        } catch (const ComPortError& e) {
            EXPECT_STREQ(e.what(), "COM port not opened");
        }
    };
    expectNotOpened([&] { port.ReadFrame(b, count); });
    expectNotOpened([&] { port.Send(b, 1); });
    expectNotOpened([&] { port.ReadBytes(b, 1); });
    expectNotOpened([&] { port.PurgeReceive(); });
    expectNotOpened([&] { port.SetDTR(true); });
    expectNotOpened([&] { port.SetRTS(false); });
    expectNotOpened([&] { port.ReadModemLine(b, count); });
    EXPECT_TRUE(port.ClosePort());
}

TEST(ComPortErrors, LostDeviceRaisesReceiveAndSendErrors) {
    // A pty whose master goes away behaves like an unplugged adapter.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    TComPort port;
    ASSERT_TRUE(port.OpenPort(std::string(::ptsname(master)), 9600));
    ::close(master);
    std::uint8_t b[256] = {0x7E, 0, 2, 0xBC};
    int count = -1;
    try {
        port.ReadFrame(b, count);
        ADD_FAILURE() << "no error raised";
    } catch (const ComPortError& e) {
        EXPECT_EQ(std::string(e.what()), "Error receive: " + std::to_string(EIO));
    }
    try {
        port.Send(b, 4);
        ADD_FAILURE() << "no error raised";
    } catch (const ComPortError& e) {
        EXPECT_EQ(std::string(e.what()), "Error send: " + std::to_string(EIO));
    }
}

TEST(ComPortOpen, FailuresKeepTheirReason) {
    TComPort port;
    EXPECT_FALSE(port.OpenPort(std::string("/dev/no-such-port"), 1200));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.DeviceOpenFailed());
    EXPECT_EQ(port.OpenFailureMessage(), "Не удалось открыть Ком-порт: /dev/no-such-port\r\nNo such file or directory");

    // Port numbers map to /dev/ttyS<n-1>.
    port.OpenPort(static_cast<std::uint8_t>(200), 1200);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS199");

    // Not shared: a second opener is refused while the first holds the port.
    testsupport::PtyPair pty;
    TComPort first, second;
    ASSERT_TRUE(first.OpenPort(pty.slavePath(), 1200));
    EXPECT_FALSE(second.OpenPort(pty.slavePath(), 1200));
    EXPECT_TRUE(second.DeviceOpenFailed());
    EXPECT_NE(second.OpenError().find("занят"), std::string::npos);
    first.ClosePort();
    EXPECT_TRUE(second.OpenPort(pty.slavePath(), 14400));

    // Settings refused: not a failure to open the device.
    TComPort null;
    EXPECT_FALSE(null.OpenPort(std::string("/dev/null"), 1200));
    EXPECT_FALSE(null.DeviceOpenFailed());
    EXPECT_FALSE(null.OpenError().empty());
}
