// The protocol and both links against the meter emulator: whole sessions,
// areas, clock, commands, refusals, the serial link's second attempt and the
// TCP link's reply assembly, time-out and single client.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "console/core/Session.h"
#include "console/link/RS232Communication.h"
#include "console/link/TCPIPCommunication.h"
#include "sim/counter5x/Emulator.h"
#include "tests/console/link/MeterSide.h"
#include "tests/console/link/SerialSim.h"

using namespace std::chrono_literals;
using console::core::SessionOutcome;
using console::TCounterCommunication;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kMeter = 1234567;
constexpr std::uint32_t kIdent = 1;

long long MsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

std::size_t CountRequests(const sim5x::Emulator& meter, std::uint8_t code) {
    std::size_t n = 0;
    for (const auto& e : meter.log())
        if (e.kind == sim5x::LogEntry::Kind::Request && e.bytes.size() > 2 && e.bytes[2] == code) ++n;
    return n;
}

// Everything a session can do, checked against the emulator's state.
void RunEveryOperation(TCounterCommunication& link, sim5x::Emulator& meter) {
    auto session = [&](const std::function<bool()>& op) { return console::core::WithSession(link, kMeter, kIdent, op); };

    ASSERT_EQ(session([&] {
                  EXPECT_EQ(link.CounterVersion, 53);
                  EXPECT_TRUE(link.RublesMode);
                  EXPECT_EQ(link.ScrambleKey, meter.sessionKey());
                  if (!link.ReadArea(console::Area::Identification, 0)) return false;
                  const Bytes record = meter.record(console::Area::Identification, 0);
                  EXPECT_FALSE(record.empty());
                  EXPECT_EQ(Bytes(link.AreaData.begin(), link.AreaData.begin() + static_cast<long>(record.size())), record);
                  return true;
              }),
              SessionOutcome::Done);
    EXPECT_FALSE(meter.sessionOpen());

    // Clock both ways.
    const auto when = common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7);
    ASSERT_EQ(session([&] { return link.WriteDateTime(when); }), SessionOutcome::Done);
    common::DateTime read;
    ASSERT_EQ(session([&] { return !(read = link.ReadDateTime()).isEmpty(); }), SessionOutcome::Done);
    EXPECT_GE(read, when);
    EXPECT_LT(read, when.addSecs(60));

    // An area write with the right and a wrong password.
    Bytes record = meter.record(console::Area::BillingDay, 0);
    ASSERT_GE(record.size(), 3u);
    record[0] = static_cast<std::uint8_t>(record[0] == 15 ? 16 : 15);
    console::SealArea(record.data(), record.size());
    ASSERT_EQ(session([&] {
                  return link.WriteArea(console::Area::BillingDay, 0, meter.password(), record.data(),
                                        static_cast<int>(record.size()));
              }),
              SessionOutcome::Done);
    EXPECT_EQ(meter.record(console::Area::BillingDay, 0), record);
    EXPECT_EQ(session([&] {
                  return link.WriteArea(console::Area::BillingDay, 0, static_cast<std::uint16_t>(meter.password() + 1),
                                        record.data(), static_cast<int>(record.size()));
              }),
              SessionOutcome::OperationFailed);
    EXPECT_EQ(link.LastReplyCode, console::Code::Refused);

    // One-byte commands, currency and money mode.
    ASSERT_EQ(session([&] { return link.ContactorCommand(console::ContactorKind::Off); }), SessionOutcome::Done);
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::Off);
    ASSERT_EQ(session([&] { return link.ContactorCommand(console::ContactorKind::Release); }), SessionOutcome::Done);
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::Released);
    ASSERT_EQ(session([&] { return link.ExtraChannelCommand(console::ExtraChannelKind::Channel2On); }), SessionOutcome::Done);
    EXPECT_TRUE(meter.channel(2));
    ASSERT_EQ(session([&] { return link.SetCurrency("BYN"); }), SessionOutcome::Done);
    EXPECT_EQ(meter.currency(), "BYN");
    ASSERT_EQ(session([&] { return link.SetRangeMode(console::RangeKind::Kopecks); }), SessionOutcome::Done);
    EXPECT_TRUE(meter.kopecks());
    // Already in kopecks: refused with reason 3, which counts as success.
    ASSERT_EQ(session([&] { return link.SetRangeMode(console::RangeKind::Kopecks); }), SessionOutcome::Done);
    EXPECT_FALSE(link.RublesMode);
    ASSERT_EQ(session([&] { return link.SetCardMode(); }), SessionOutcome::Done);
    EXPECT_TRUE(meter.cardMode());
}

using SerialSim = testmeter::SerialSim;

}  // namespace

TEST_F(SerialSim, EveryOperation) { RunEveryOperation(link, meter); }

TEST_F(SerialSim, SecondAttemptAfterSilenceOrDamage) {
    ASSERT_TRUE(link.Authorize(kMeter, kIdent));
    meter.clearLog();
    meter.updateFaults([](sim5x::Faults& f) { f.silence = 1; });
    EXPECT_TRUE(link.ReadArea(console::Area::Parameters, 0));
    EXPECT_EQ(CountRequests(meter, console::Code::ReadArea), 2u);

    meter.updateFaults([](sim5x::Faults& f) { f.corruptCheck = 1; });
    EXPECT_TRUE(link.ReadArea(console::Area::Parameters, 0));

    // Silence on both attempts: two complete sends, then failure.
    common::timings().consolePollMs = 30;
    meter.clearLog();
    meter.updateFaults([](sim5x::Faults& f) { f.silence = 2; });
    EXPECT_FALSE(link.ReadArea(console::Area::Parameters, 0));
    EXPECT_EQ(CountRequests(meter, console::Code::ReadArea), 2u);
    EXPECT_EQ(link.LastReplyCode, -1);
}

TEST_F(SerialSim, SlowBytesOrTrailingBytes) {
    auto readSome = [&] {
        return link.ReadArea(console::Area::Identification, 0) && !link.ReadDateTime().isEmpty();
    };
    meter.updateFaults([](sim5x::Faults& f) { f.paceBaud = 1200; });
    EXPECT_EQ(console::core::WithSession(link, kMeter, kIdent, readSome), SessionOutcome::Done);
    // Bytes after a reply stay queued until the next request discards them.
    meter.updateFaults([](sim5x::Faults& f) {
        f.paceBaud = 0;
        f.trailing = {0x00, 0xFF};
    });
    EXPECT_EQ(console::core::WithSession(link, kMeter, kIdent, readSome), SessionOutcome::Done);
}

TEST_F(SerialSim, RefusalsAndSessionFailures) {
    meter.updateFaults([](sim5x::Faults& f) { f.refusals.push_back({console::Code::ReadArea, console::Area::Tariffs, 2}); });
    EXPECT_EQ(console::core::WithSession(link, kMeter, kIdent, [&] { return link.ReadArea(console::Area::Tariffs, 0); }),
              SessionOutcome::OperationFailed);
    EXPECT_EQ(link.LastRefusalReason, 2);

    // A version the program does not serve: the session is still ended.
    meter.updateFaults([](sim5x::Faults& f) { f.reportVersion = 55; });
    const auto ended = meter.counters().sessionsEnded;
    bool ran = false;
    EXPECT_EQ(console::core::WithSession(link, kMeter, kIdent, [&] { return ran = true; }), SessionOutcome::UnsupportedVersion);
    EXPECT_FALSE(ran);
    EXPECT_EQ(link.CounterVersion, 55);
    EXPECT_EQ(meter.counters().sessionsEnded, ended + 2);  // before and after

    // A wrong identifier gets no answer.
    common::timings().consolePollMs = 30;
    EXPECT_EQ(console::core::WithSession(link, kMeter, kIdent + 1, [&] { return ran = true; }),
              SessionOutcome::AuthorizationFailed);
    EXPECT_EQ(link.CounterVersion, 0);
}

TEST_F(SerialSim, PortErrorsEndTheOperation) {
    link.SerialPort.ClosePort();
    try {
        console::core::WithSession(link, kMeter, kIdent, [] { return true; });
        ADD_FAILURE() << "no error raised";
    } catch (const console::ComPortError& e) {
        EXPECT_STREQ(e.what(), "COM port not opened");
    }
}

TEST(SerialSimEvents, ConnectAndDisconnectEvents) {
    sim5x::Emulator meter;
    const std::string path = meter.startPty();
    console::TRS232Communication link;
    std::vector<std::string> events;
    link.OnConnected = [&](TCounterCommunication&, bool& ok) { events.push_back(ok ? "connected" : "failed"); };
    link.OnDisconnected = [&](TCounterCommunication&) { events.push_back("disconnected"); };
    EXPECT_FALSE(link.Connect(std::string("/dev/no-such-port"), 1200));
    EXPECT_TRUE(link.Connect(path, 1200));
    EXPECT_TRUE(link.Disconnect());
    EXPECT_EQ(events, (std::vector<std::string>{"failed", "connected", "disconnected"}));
    meter.stop();
}

namespace {

struct TcpSim : ::testing::Test {
    testmeter::WindowThread window;
    sim5x::Emulator meter;
    std::unique_ptr<console::TTCPIPCommunication> link;
    int connected = 0;

    void SetUp() override {
        common::ResetTimings();
        common::SetProcessEventsHook([this] { window.RunPending(); });
        link = std::make_unique<console::TTCPIPCommunication>([this](std::function<void()> f) { window.Call(std::move(f)); });
        link->OnConnected = [this](TCounterCommunication&, bool&) { ++connected; };
        ASSERT_TRUE(link->StartListening(0, "127.0.0.1")) << link->LastError();
        meter.startTcpClient("127.0.0.1", link->ListeningPort());
        ASSERT_TRUE(window.RunUntil([&] { return connected == 1; }, common::DeadlineAfter(20000)));
    }
    void TearDown() override {
        meter.stop();
        link.reset();
        common::SetProcessEventsHook({});
        common::ResetTimings();
    }
};

}  // namespace

TEST_F(TcpSim, EveryOperation) { RunEveryOperation(*link, meter); }

TEST_F(TcpSim, SplitFramesAndTrailingBytes) {
    meter.updateFaults([](sim5x::Faults& f) {
        f.splitChunk = 3;
        f.splitGapMs = 20;
    });
    EXPECT_EQ(console::core::WithSession(*link, kMeter, kIdent, [&] { return link->ReadArea(console::Area::Parameters, 0); }),
              SessionOutcome::Done);
    meter.updateFaults([](sim5x::Faults& f) {
        f.splitChunk = 0;
        f.trailing = {0x7E, 0x10, 0x06};
    });
    EXPECT_EQ(console::core::WithSession(*link, kMeter, kIdent,
                                   [&] {
                                       return link->ReadArea(console::Area::Parameters, 0) &&
                                              link->ReadArea(console::Area::Identification, 0);
                                   }),
              SessionOutcome::Done);
}

TEST_F(TcpSim, NoReplyWithinTheReplyTimeAndBadCheck) {
    common::timings().consoleTcpReplyMs = 400;
    ASSERT_TRUE(link->Authorize(kMeter, kIdent));
    meter.updateFaults([](sim5x::Faults& f) { f.silence = 1; });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->ReadArea(console::Area::Parameters, 0));  // one attempt only over TCP
    EXPECT_GE(MsSince(start), 380);

    common::timings().consoleTcpReplyMs = 5000;
    meter.updateFaults([](sim5x::Faults& f) { f.corruptCheck = 1; });
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->ReadArea(console::Area::Parameters, 0));
    EXPECT_LT(MsSince(start), 4500);
    EXPECT_TRUE(link->ReadArea(console::Area::Parameters, 0));
}

TEST_F(TcpSim, SecondMeterIsRefusedUntilTheFirstLeaves) {
    sim5x::MeterSettings other;
    other.meterNumber = 7654321;
    sim5x::Emulator second(other);
    second.startTcpClient("127.0.0.1", link->ListeningPort());
    // It keeps trying; every attempt is closed at once.
    std::this_thread::sleep_for(300ms);
    window.RunPending();
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(console::core::WithSession(*link, kMeter, kIdent, [] { return true; }), SessionOutcome::Done);

    meter.stop();
    ASSERT_TRUE(window.RunUntil([&] { return connected == 2; }, common::DeadlineAfter(20000)));
    EXPECT_EQ(console::core::WithSession(*link, other.meterNumber, kIdent, [] { return true; }), SessionOutcome::Done);
    second.stop();
}
