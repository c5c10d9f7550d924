// The serial link on a real pseudo-terminal: Hayes dialing against a
// scripted modem, the carrier-loss watcher, lines and modem commands.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <chrono>
#include <thread>

#include "common/core/Timings.h"
#include "link/RS232Communication.h"
#include "tests/support/Pty.h"

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A Hayes modem on the master side of the pty. It records every byte it got
// and answers commands the way real modems do (echo until ATE0).
class ScriptedModem {
public:
    explicit ScriptedModem(testsupport::PtyPair& pty, bool answerPlus = false, bool answerAT = true)
        : pty_(pty), answerPlus_(answerPlus), answerAT_(answerAT), thread_([this] { Run(); }) {}
    ~ScriptedModem() {
        stop_ = true;
        thread_.join();
    }
    std::string Received() {
        std::lock_guard<std::mutex> l(m_);
        return seen_;
    }

private:
    void Run() {
        std::string line;
        while (!stop_) {
            auto chunk = pty_.read(20);
            for (auto b : chunk) {
                {
                    std::lock_guard<std::mutex> l(m_);
                    seen_.push_back(static_cast<char>(b));
                }
                line.push_back(static_cast<char>(b));
                if (line == "+++") {
                    if (answerPlus_) pty_.write("\r\nOK\r\n");
                    line.clear();
                } else if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
                    Answer(line.substr(0, line.size() - 2));
                    line.clear();
                }
            }
        }
    }
    void Answer(const std::string& cmd) {
        if (!answerAT_) return;
        if (echo_) pty_.write(cmd + "\r");
        if (cmd == "ATE0") echo_ = false;
        if (cmd.rfind("ATD", 0) == 0) pty_.write("\r\nCONNECT 9600\r\n");
        else pty_.write("\r\nOK\r\n");
    }
    testsupport::PtyPair& pty_;
    bool answerPlus_, answerAT_;
    bool echo_ = true;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::string seen_;
    std::thread thread_;
};

struct Serial : ::testing::Test {
    testsupport::PtyPair pty;
    links::TRS232_Communication serial;
    void SetUp() override {
        auto& t = common::timings();
        t.modemSettleMs = 20;
        t.modemAfterHangupMs = 20;
        t.modemCloseGuardMs = 20;
        serial.DevicePath = pty.slavePath();
    }
    void TearDown() override { common::ResetTimings(); }
};

}  // namespace

TEST_F(Serial, DirectOpenSendsNothing) {
    ASSERT_TRUE(serial.Open());
    EXPECT_TRUE(serial.Opened);
    EXPECT_TRUE(serial.Connected);
    EXPECT_TRUE(serial.WatchArmed);
    EXPECT_EQ(serial.ExtraTimeout, 0);
    EXPECT_TRUE(pty.read(100).empty());
    const Bytes req = {0x7E, 0x01, 0x7D};
    EXPECT_TRUE(serial.Write(req.data(), 3));
    EXPECT_EQ(pty.read(500, 3), req);
    pty.write(Bytes{0x42});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(serial.InQueue(), 1);
    serial.PurgeInput();
    EXPECT_EQ(serial.InQueue(), 0);
    EXPECT_TRUE(serial.Close());
    EXPECT_FALSE(serial.Opened);
    EXPECT_EQ(serial.Handle, -1);
}

TEST_F(Serial, DialsThroughAModemThatIgnoresThePlusEscape) {
    serial.PhoneNumber = "89001234567";
    {
        ScriptedModem modem(pty);
        ASSERT_TRUE(serial.Open());
        EXPECT_EQ(serial.ExtraTimeout, 20000);
        EXPECT_TRUE(serial.Connected);
        // No answer to "+++": no ATH, straight on to AT.
        EXPECT_EQ(modem.Received(), "+++AT\r\nATE0\r\nATD89001234567\r\n");
        serial.Close();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(modem.Received(), "+++AT\r\nATE0\r\nATD89001234567\r\n+++ATH\r\n");
    }
}

TEST_F(Serial, HangsUpALeftoverCallBeforeDialing) {
    serial.PhoneNumber = "5";
    ScriptedModem modem(pty, /*answerPlus=*/true);
    ASSERT_TRUE(serial.Open());
    EXPECT_EQ(modem.Received(), "+++ATH\r\nAT\r\nATE0\r\nATD5\r\n");
}

TEST_F(Serial, SilentModemFailsOpenButCloseStillHangsUp) {
    serial.PhoneNumber = "5";
    ScriptedModem modem(pty, false, /*answerAT=*/false);
    EXPECT_FALSE(serial.Open());
    EXPECT_TRUE(serial.Connected);  // abandoned before the end of Open
    serial.Close();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(modem.Received(), "+++AT\r\n+++ATH\r\n");
}

TEST_F(Serial, OpenFailsForAMissingDeviceAndCloseIsHarmless) {
    serial.DevicePath = "/dev/does-not-exist-quorvane";
    EXPECT_FALSE(serial.Open());
    EXPECT_FALSE(serial.Opened);
    EXPECT_NE(serial.LastError().find("/dev/does-not-exist-quorvane"), std::string::npos);
    EXPECT_TRUE(serial.Close());
    EXPECT_EQ(links::SerialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(links::SerialDevicePath(4), "/dev/ttyS3");
}

TEST_F(Serial, ASecondOpenOfTheSamePortIsRefused) {
    ASSERT_TRUE(serial.Open());
    links::TRS232_Communication other;
    other.DevicePath = pty.slavePath();
    EXPECT_FALSE(other.Open());
}

TEST_F(Serial, CarrierLossWatcher) {
    struct Case { const char* name; std::string stream; bool lost; } cases[] = {
        {"NO CARRIER then CR", "NO CARRIER\r", true},
        {"the tenth byte alone does not fire", "NO CARRIER", false},
        {"a second N still starts the pattern", "NNO CARRIER\r", true},
        {"interrupted pattern", "NO CARRYER\r", false},
        {"data around it", "\x7E\x01NO CARRIER\r\n", true},
    };
    for (const auto& c : cases) {
        testsupport::PtyPair p;
        links::TRS232_Communication s;
        s.DevicePath = p.slavePath();
        ASSERT_TRUE(s.Open());
        p.write(c.stream);
        std::this_thread::sleep_for(50ms);
        while (s.InQueue() > 0) {
            std::uint8_t b;
            int n = 1;
            s.Read(&b, n);
        }
        EXPECT_EQ(!s.Connected, c.lost) << c.name;
    }
}

TEST_F(Serial, NoCarrierCutsALineWait) {
    ASSERT_TRUE(serial.Open());
    std::thread modem([this] {
        std::this_thread::sleep_for(100ms);
        pty.write("NO CARRIER\r\n");
    });
    char line[links::kLineBufferSize];
    int len = 0;
    const auto t0 = std::chrono::steady_clock::now();
    // The line "NO CARRIER" itself completes; the next wait ends at once.
    EXPECT_TRUE(links::ReceiveLine(serial, line, len, 10000));
    EXPECT_STREQ(line, "NO CARRIER");
    EXPECT_FALSE(links::ReceiveLine(serial, line, len, 10000));
    EXPECT_FALSE(serial.Connected);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
    modem.join();
}

TEST_F(Serial, ReceiveLineSkipsLeadingControlsAndKeepsInnerLF) {
    ASSERT_TRUE(serial.Open());
    char line[links::kLineBufferSize];
    int len = 0;
    pty.write(Bytes{0x0A, 0xFF, 0x0D, 'O', 'K', 0x0A, 'x', 0x0D});
    ASSERT_TRUE(links::ReceiveLine(serial, line, len, 1000));
    EXPECT_EQ(std::string(line), "OK\nx");
    EXPECT_EQ(len, 5);

    std::string longLine(2100, 'A');
    pty.write(longLine + "\r");
    len = 7;
    EXPECT_FALSE(links::ReceiveLine(serial, line, len, 1000));
    EXPECT_EQ(len, 0);
    serial.PurgeInput();
    len = 7;
    EXPECT_FALSE(links::ReceiveLine(serial, line, len, 100));  // time-out keeps length
    EXPECT_EQ(len, 7);
}

TEST_F(Serial, ModemCommandSkipsOneEcho) {
    ASSERT_TRUE(serial.Open());
    struct Case { std::string answer; const char* expected; bool ok; } cases[] = {
        {"AT\r\r\nOK\r\n", "OK", true},
        {"\r\nOK\r\n", "OK", true},
        {"AT\rAT\r\nOK\r\n", "OK", false},
        {"\r\nCONNECT 115200\r\n", "CONNECT", true},
        {"\r\nERROR\r\n", "OK", false},
        {"\r\nok\r\n", "OK", true},
    };
    for (const auto& c : cases) {
        std::thread modem([&] {
            pty.read(300, 4);
            pty.write(c.answer);
        });
        EXPECT_EQ(links::ModemCommand(serial, "AT\r\n", c.expected, 500), c.ok) << c.answer;
        modem.join();
        std::this_thread::sleep_for(20ms);
        serial.PurgeInput();
    }
}

TEST(SerialSpeeds, NonStandardRateOpens) {
    testsupport::PtyPair pty;
    for (int baud : {1200, 14400, 115200}) {
        links::TRS232_Communication s;
        s.DevicePath = pty.slavePath();
        s.BaudRate = baud;
        EXPECT_TRUE(s.Open()) << baud << ": " << s.LastError();
    }
    EXPECT_TRUE(common::IsStandardBaudRate(14400));
    EXPECT_FALSE(common::IsStandardBaudRate(1234));
}
