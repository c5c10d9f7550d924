// The serial link of Ostrilon_serial: the port opens with the link, every
// request waits for a reply (two attempts, also the end of a session), no
// input is discarded before sending, and a failed open leaves the text the
// window shows. Checked against a scripted line and the emulator program.
#include <gtest/gtest.h>

#include <thread>

#include "common/core/Timings.h"
#include "console/core/Session.h"
#include "console/link/SerialOnlyCommunication.h"
#include "tests/support/Child.h"
#include "tests/console/link/Frames.h"
#include "tests/support/Pty.h"

using testframes::Bytes;
using testframes::Frame;

struct SerialOnly : ::testing::Test {
    void SetUp() override {
        common::ResetTimings();
        common::timings().consolePollMs = 20;
    }
    void TearDown() override { common::ResetTimings(); }
};

TEST_F(SerialOnly, PortOpensWithTheLinkAndAFailureLeavesTheMessage) {
    console::TSerialOnlyCommunication missing(std::string("/dev/no-such-port"), 1200);
    EXPECT_FALSE(missing.SerialPort.IsOpen());
    EXPECT_TRUE(missing.SerialPort.DeviceOpenFailed());
    EXPECT_EQ(missing.SerialPort.OpenFailureMessage(),
              "Не удалось открыть Ком-порт: /dev/no-such-port\r\nNo such file or directory");
    try {
        missing.ReadArea(3, 0);
        ADD_FAILURE() << "no error raised";
    } catch (const console::ComPortError& e) {
        EXPECT_STREQ(e.what(), "COM port not opened");
    }

    testsupport::PtyPair pty;
    {
        console::TSerialOnlyCommunication link(pty.slavePath(), 1200);
        EXPECT_TRUE(link.SerialPort.IsOpen());
        // Closed again with the link: another opener gets the port.
    }
    console::TSerialOnlyCommunication again(pty.slavePath(), 1200);
    EXPECT_TRUE(again.SerialPort.IsOpen());
}

TEST_F(SerialOnly, EndOfSessionWaitsForAReplyTwiceAndStaysTrue) {
    testsupport::PtyPair pty;
    console::TSerialOnlyCommunication link(pty.slavePath(), 1200);
    EXPECT_TRUE(link.EndSession());
    const Bytes endSession = {0x7E, 0x00, 0x02, 0xBC};
    EXPECT_EQ(pty.read(2000, 8), testframes::Concat(endSession, endSession));
}

TEST_F(SerialOnly, PendingInputIsNotDiscardedBeforeSending) {
    testsupport::PtyPair pty;
    console::TSerialOnlyCommunication link(pty.slavePath(), 1200);
    // A reply already waiting is taken as the reply to the next request.
    pty.write(Frame(7, {7, 5, 13, 4, 29, 2, 24, 20}));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(link.ReadDateTime(), common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7));
}

TEST_F(SerialOnly, SessionWithTheEmulatorProgram) {
    common::timings().consolePollMs = 50;  // the emulator is another process: give it time
    testchild::Child sim({COUNTER5X_SIM, "--pty", "--meter", "555", "--ident", "7", "--version", "52"});
    const std::string path = sim.ReadLine(20000);
    ASSERT_FALSE(path.empty()) << sim.err;
    console::TSerialOnlyCommunication link(path, 9600);
    ASSERT_TRUE(link.SerialPort.IsOpen()) << link.SerialPort.OpenError();
    common::DateTime clock;
    const auto outcome = console::core::WithSession(link, 555, 7, [&] {
        return link.ReadArea(console::Area::Identification, 0) && !(clock = link.ReadDateTime()).isEmpty() &&
               link.ContactorCommand(console::ContactorKind::Off) && link.SetCurrency("KZT");
    });
    EXPECT_EQ(outcome, console::core::SessionOutcome::Done);
    EXPECT_EQ(link.CounterVersion, 52);
    EXPECT_FALSE(clock.isEmpty());
}
