// The TCP-server link and the protocol bytes, against a scripted meter-side
// client on loopback: every request is compared byte by byte with the frame
// built by hand, and replies are sent whole, split, damaged or not at all.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "console/link/TCPIPCommunication.h"
#include "tests/console/link/Frames.h"
#include "tests/console/link/MeterSide.h"

using namespace std::chrono_literals;
using console::TTCPIPCommunication;
using testframes::Bytes;
using testframes::Frame;
using testmeter::MeterSideClient;

namespace {

long long MsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

const std::array<std::uint8_t, 4> kKey = {0x11, 0x22, 0x33, 0x44};

Bytes Scrambled(Bytes data, const std::array<std::uint8_t, 4>& key = kKey) {
    for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= key[i % 4];
    return data;
}

// Reply data of an authorization: version, key, two bytes, flags (bit 1 = kopecks).
Bytes AuthReply(std::uint8_t version, const std::array<std::uint8_t, 4>& key, std::uint8_t flags) {
    return Frame(4, {version, key[0], key[1], key[2], key[3], 0, 0, flags});
}

// One exchange of the scripted meter: the request it must get and what it
// answers (nothing when empty; chunks are sent with a pause between them).
struct Step {
    Bytes expect;
    std::vector<Bytes> reply;
};

class ScriptedMeter {
public:
    ScriptedMeter(MeterSideClient& client, std::vector<Step> steps)
        : thread_([&client, steps = std::move(steps)] {
              for (const auto& s : steps) {
                  const Bytes got = client.ReadFrame(10000);
                  EXPECT_EQ(got, s.expect);
                  for (std::size_t i = 0; i < s.reply.size(); ++i) {
                      if (i > 0) std::this_thread::sleep_for(80ms);
                      client.Send(s.reply[i]);
                  }
              }
          }) {}
    ~ScriptedMeter() { thread_.join(); }

private:
    std::thread thread_;
};

struct TcpLink : ::testing::Test {
    testmeter::WindowThread window;
    std::unique_ptr<TTCPIPCommunication> link;
    std::thread::id connectedOn;
    int connectedCount = 0;
    int disconnectedCount = 0;

    void SetUp() override {
        common::ResetTimings();
        common::timings().consoleSendPauseMs = 10;
        common::SetProcessEventsHook([this] { window.RunPending(); });
        link = std::make_unique<TTCPIPCommunication>([this](std::function<void()> f) { window.Call(std::move(f)); });
        link->OnConnected = [this](console::TCounterCommunication&, bool& flag) {
            EXPECT_TRUE(flag);
            connectedOn = std::this_thread::get_id();
            ++connectedCount;
        };
        link->OnDisconnected = [this](console::TCounterCommunication&) { ++disconnectedCount; };
        ASSERT_TRUE(link->StartListening(0, "127.0.0.1")) << link->LastError();
    }
    void TearDown() override {
        link.reset();
        common::SetProcessEventsHook({});
        common::ResetTimings();
    }
    std::unique_ptr<MeterSideClient> Connect(int expectedCount = 1) {
        auto c = std::make_unique<MeterSideClient>(link->ListeningPort());
        EXPECT_TRUE(window.RunUntil([&] { return connectedCount >= expectedCount; }, common::DeadlineAfter(10000)));
        return c;
    }
    // Authorizes with the scripted meter handing out key.
    void Authorize(MeterSideClient& c, const std::array<std::uint8_t, 4>& key = kKey) {
        ScriptedMeter meter(c, {{Frame(3, {0x00, 0x12, 0xD6, 0x87, 0, 0, 0, 1}), {AuthReply(53, key, 0)}}});
        ASSERT_TRUE(link->Authorize(1234567, 1));
    }
};

}  // namespace

TEST_F(TcpLink, OnConnectedRunsOnTheWindowThread) {
    auto c = Connect();
    EXPECT_EQ(connectedOn, std::this_thread::get_id());
    EXPECT_TRUE(link->HasClient());
}

TEST_F(TcpLink, AuthorizationAndScrambledRequestsByteByByte) {
    auto c = Connect();
    {
        // The authorization goes unscrambled; its reply sets version, key and money mode.
        ScriptedMeter meter(*c, {{Frame(3, {0x00, 0x12, 0xD6, 0x87, 0x00, 0x00, 0x00, 0x01}), {AuthReply(54, kKey, 0x02)}}});
        ASSERT_TRUE(link->Authorize(1234567, 1));
    }
    EXPECT_EQ(link->CounterVersion, 54);
    EXPECT_EQ(link->ScrambleKey, kKey);
    EXPECT_FALSE(link->RublesMode);

    const Bytes record = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
    const auto monday = common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7);  // a Thursday
    {
        ScriptedMeter meter(*c, {
            // ReadArea(3, 0x0102): both the request and the reply data are scrambled from key byte 0.
            {Frame(6, Scrambled({3, 0x01, 0x02})), {Frame(6, Scrambled(record))}},
            // Clock reply: seconds, minutes, hours, weekday, day, month, year, century.
            {Frame(7, {}), {Frame(7, Scrambled({7, 5, 13, 4, 29, 2, 24, 20}))}},
            {Frame(8, Scrambled({7, 5, 13, 4, 29, 2, 24, 20})), {Frame(0, {})}},
            // WriteArea: area, index, password (big-endian), then the record as given.
            {Frame(9, Scrambled({30, 0x00, 0x02, 0x12, 0x34, 0xAA, 0xBB, 0xCC, 0xDD})), {Frame(0, {})}},
            {Frame(14, Scrambled({'D'})), {Frame(0, {})}},
            {Frame(14, Scrambled({'F'})), {Frame(0, {})}},
            {Frame(14, Scrambled({'b'})), {Frame(0, {})}},
            {Frame(18, Scrambled({'B', 'Y', 'N'})), {Frame(0, {})}},
            {Frame(2, {}), {}},
        });
        ASSERT_TRUE(link->ReadArea(3, 0x0102));
        EXPECT_EQ(link->AreaDataLength, 9);
        EXPECT_EQ(Bytes(link->AreaData.begin(), link->AreaData.begin() + 9), record);
        EXPECT_EQ(link->AreaData[9], 0);
        EXPECT_EQ(link->ReadDateTime(), monday);
        EXPECT_TRUE(link->WriteDateTime(monday));
        const std::uint8_t sealed[] = {0xAA, 0xBB, 0xCC, 0xDD};
        EXPECT_TRUE(link->WriteArea(30, 2, 0x1234, sealed, 4));
        EXPECT_TRUE(link->SetCardMode());
        EXPECT_TRUE(link->ContactorCommand(console::ContactorKind::Release));
        EXPECT_TRUE(link->ExtraChannelCommand(console::ExtraChannelKind::Channel2Off));
        EXPECT_TRUE(link->SetCurrency("BYN"));
        EXPECT_TRUE(link->EndSession());
    }
}

TEST_F(TcpLink, ZeroKeyLeavesDataAsIs) {
    auto c = Connect();
    Authorize(*c, {0, 0, 0, 0});
    ScriptedMeter meter(*c, {{Frame(6, {5, 0, 0}), {Frame(6, {1, 2, 3})}}});
    ASSERT_TRUE(link->ReadArea(5, 0));
    EXPECT_EQ(Bytes(link->AreaData.begin(), link->AreaData.begin() + 3), (Bytes{1, 2, 3}));
}

TEST_F(TcpLink, RefusalsAndReplyCodes) {
    auto c = Connect();
    Authorize(*c);
    const Bytes refused3 = Frame(1, Scrambled({3}));
    const Bytes refused2 = Frame(1, Scrambled({2}));
    ScriptedMeter meter(*c, {
        {Frame(17, Scrambled({'D'})), {refused3}},  // already in rubles: success
        {Frame(17, Scrambled({'S'})), {refused2}},  // other reasons: failure
        {Frame(17, Scrambled({'S'})), {Frame(0, {})}},
        {Frame(6, Scrambled({4, 0, 1})), {Frame(1, Scrambled({2, 9, 9, 9}))}},  // refused read carrying data
        {Frame(14, Scrambled({'1'})), {Frame(6, {})}},                          // wrong reply code
        {Frame(7, {}), {Frame(7, Scrambled({7, 5, 13, 4, 30, 2, 24, 20}))}},    // 30 February
        {Frame(7, {}), {Frame(7, Scrambled({7, 5, 13}))}},                      // too short
    });
    EXPECT_TRUE(link->SetRangeMode(console::RangeKind::Rubles));
    EXPECT_FALSE(link->SetRangeMode(console::RangeKind::Kopecks));
    EXPECT_EQ(link->LastRefusalReason, 2);
    EXPECT_NE(link->LastFailureText().find("причина 2"), std::string::npos);
    EXPECT_TRUE(link->SetRangeMode(console::RangeKind::Kopecks));
    EXPECT_FALSE(link->ReadArea(4, 1));
    EXPECT_FALSE(link->ContactorCommand(console::ContactorKind::On));
    EXPECT_EQ(link->LastReplyCode, 6);
    EXPECT_TRUE(link->ReadDateTime().isEmpty());
    EXPECT_TRUE(link->ReadDateTime().isEmpty());
}

TEST_F(TcpLink, RequestsThatCannotBeFramedAreRefusedLocally) {
    auto c = Connect();
    std::vector<std::uint8_t> big(247, 0);
    EXPECT_FALSE(link->WriteArea(5, 0, 0, big.data(), 247));  // L would be 252
    EXPECT_FALSE(link->SetCurrency("RU"));
    EXPECT_FALSE(link->WriteDateTime(common::DateTime{}));
    EXPECT_TRUE(c->ReadFrame(200).empty());  // nothing was sent
}

TEST_F(TcpLink, EndSessionReturnsAfterSendingWithoutAReply) {
    auto c = Connect();
    EXPECT_TRUE(link->EndSession());
    EXPECT_EQ(c->ReadFrame(5000), (Bytes{0x7E, 0x00, 0x02, 0xBC}));
}

TEST_F(TcpLink, SplitReplyIsAssembledAndBytesAfterAFrameDropped) {
    auto c = Connect();
    Authorize(*c);
    const Bytes reply = Frame(6, Scrambled({9, 8, 7, 6, 5, 4, 3}));
    const Bytes second = Frame(6, Scrambled({1, 1}));
    ScriptedMeter meter(*c, {
        {Frame(6, Scrambled({3, 0, 0})), {Bytes(reply.begin(), reply.begin() + 2), Bytes(reply.begin() + 2, reply.end())}},
        {Frame(6, Scrambled({3, 0, 1})), {testframes::Concat(second, {0x7E, 0x05, 0x06})}},
        {Frame(6, Scrambled({3, 0, 2})), {reply}},
    });
    ASSERT_TRUE(link->ReadArea(3, 0));
    EXPECT_EQ(link->AreaDataLength, 7);
    ASSERT_TRUE(link->ReadArea(3, 1));
    EXPECT_EQ(link->AreaDataLength, 2);
    // The dropped bytes did not start a frame that would swallow the next reply.
    ASSERT_TRUE(link->ReadArea(3, 2));
    EXPECT_EQ(link->AreaDataLength, 7);
}

TEST_F(TcpLink, BadCheckFailsAtOnceAndSilenceAfterTheReplyTime) {
    common::timings().consoleTcpReplyMs = 4000;
    auto c = Connect();
    Bytes bad = Frame(7, {1, 2, 3, 4, 5, 6, 7, 8});
    bad.back() ^= 0x5A;
    {
        ScriptedMeter meter(*c, {{Frame(7, {}), {bad}}});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(link->ReadDateTime().isEmpty());
        EXPECT_LT(MsSince(start), 3500);
    }
    common::timings().consoleTcpReplyMs = 300;
    {
        ScriptedMeter meter(*c, {{Frame(7, {}), {}}});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(link->ReadDateTime().isEmpty());
        EXPECT_GE(MsSince(start), 280);
    }
}

TEST_F(TcpLink, LengthAboveTheLimitResetsTheAssembly) {
    common::timings().consoleTcpReplyMs = 300;
    auto c = Connect();
    Bytes huge(600, 0x41);
    huge[0] = 0x7E;
    huge[1] = 253;
    {
        ScriptedMeter meter(*c, {{Frame(7, {}), {huge}}});
        EXPECT_TRUE(link->ReadDateTime().isEmpty());
    }
    common::timings().consoleTcpReplyMs = 5000;
    ScriptedMeter meter(*c, {{Frame(7, {}), {Frame(7, {7, 5, 13, 4, 29, 2, 24, 20})}}});
    EXPECT_FALSE(link->ReadDateTime().isEmpty());
}

TEST_F(TcpLink, NoClientFailsAtOnce) {
    common::timings().consoleTcpReplyMs = 5000;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->ReadArea(3, 0));
    EXPECT_FALSE(link->Authorize(1, 1));
    EXPECT_LT(MsSince(start), 4000);
}

TEST_F(TcpLink, SecondClientIsRefusedWhileTheFirstIsServed) {
    auto first = Connect();
    MeterSideClient second(link->ListeningPort());
    EXPECT_TRUE(second.ClosedByServer(5000));
    EXPECT_FALSE(window.RunUntil([&] { return connectedCount > 1; }, common::DeadlineAfter(200)));
    Authorize(*first);
    EXPECT_EQ(link->CounterVersion, 53);
}

TEST_F(TcpLink, ClientThatLeftIsNotServedAndTheNextOneIs) {
    auto first = Connect();
    first->Close();
    ASSERT_TRUE(window.RunUntil([&] { return !link->HasClient(); }, common::DeadlineAfter(5000)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->ReadArea(3, 0));
    EXPECT_LT(MsSince(start), 4000);
    auto next = Connect(2);
    Authorize(*next);
}

TEST_F(TcpLink, StopWhileTheClientThreadWaitsForTheWindow) {
    common::SetProcessEventsHook({});
    MeterSideClient c(link->ListeningPort());
    // The client thread is now blocked handing OnConnected to the window thread.
    for (int i = 0; i < 1000 && !window.HasQueued(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(window.HasQueued());
    common::SetProcessEventsHook([this] { window.RunPending(); });
    EXPECT_TRUE(link->StopListening());
    EXPECT_EQ(connectedCount, 0);  // skipped: the server was going away
    EXPECT_EQ(disconnectedCount, 1);
    EXPECT_FALSE(link->IsListening());
    EXPECT_TRUE(c.ClosedByServer(5000));
}

TEST_F(TcpLink, DisconnectedHandlerMayFreeTheLink) {
    auto c = Connect();
    link->OnDisconnected = [this](console::TCounterCommunication&) { link.reset(); };
    link->StopListening();
    EXPECT_EQ(link, nullptr);
}

TEST_F(TcpLink, ListeningFailuresSayWhy) {
    TTCPIPCommunication other;
    EXPECT_FALSE(other.StartListening(link->ListeningPort(), "127.0.0.1"));
    EXPECT_NE(other.LastError().find("занят"), std::string::npos) << other.LastError();
    EXPECT_FALSE(other.StartListening(0, "300.1.2.3"));
    EXPECT_NE(other.LastError().find("300.1.2.3"), std::string::npos);
    EXPECT_FALSE(link->StartListening(0, "127.0.0.1"));  // already listening

    // A restarted server gets its port back at once, even after a client was served.
    const auto port = link->ListeningPort();
    {
        auto c = Connect();
        Authorize(*c);
    }
    link->StopListening();
    EXPECT_TRUE(link->StartListening(port, "127.0.0.1")) << link->LastError();
}

TEST_F(TcpLink, ClientLeavingDuringTheWaitEndsItEarly) {
    common::timings().consoleTcpReplyMs = 5000;
    auto c = Connect();
    std::thread meter([&] {
        EXPECT_FALSE(c->ReadFrame(5000).empty());
        c->Close();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->ReadArea(3, 0));
    EXPECT_LT(MsSince(start), 4500);
    meter.join();
}

namespace {

// Sends requests that want no reply to a meter side that never reads, until
// one cannot be sent; how long that one took (-1: every one went out).
long long SendUntilRefused(TTCPIPCommunication& link, std::chrono::steady_clock::time_point& lastStart) {
    const auto start = std::chrono::steady_clock::now();
    while (MsSince(start) < 60000) {
        std::uint8_t buffer[256] = {};
        lastStart = std::chrono::steady_clock::now();
        if (!link.ExchangeFrame(9, console::kMaxFrameData, buffer, false)) return MsSince(lastStart);
    }
    return -1;
}

}  // namespace

TEST_F(TcpLink, AMeterSideThatStopsReadingMakesTheSendGiveUp) {
    common::timings().consoleTcpReplyMs = 300;
    common::timings().consoleSendPauseMs = 0;
    auto c = Connect();  // reads nothing from now on
    // Events processed while a send has waited for room a while.
    int waitingCalls = 0;
    std::chrono::steady_clock::time_point lastStart = std::chrono::steady_clock::now();
    common::SetProcessEventsHook([&] {
        if (MsSince(lastStart) > 50) ++waitingCalls;
        window.RunPending();
    });
    const long long refusedMs = SendUntilRefused(*link, lastStart);
    ASSERT_GE(refusedMs, 0) << "the buffers never filled";
    EXPECT_GE(refusedMs, 250);   // it waited for room the whole reply time
    EXPECT_LT(refusedMs, 5000);  // and no longer
    EXPECT_EQ(link->LastExchangeFault, console::ExchangeFault::NotSent);
    EXPECT_GT(waitingCalls, 3);  // the window kept processing its events
    EXPECT_TRUE(link->HasClient());

    const auto stop = std::chrono::steady_clock::now();
    EXPECT_TRUE(link->StopListening());
    EXPECT_LT(MsSince(stop), 3000);
    EXPECT_EQ(disconnectedCount, 1);
    EXPECT_TRUE(c->ReadsToTheEnd(10000));
}

TEST_F(TcpLink, TheServerStopsWhileASendWaitsForRoom) {
    common::timings().consoleTcpReplyMs = 60000;
    common::timings().consoleSendPauseMs = 0;
    auto c = Connect();  // reads nothing from now on
    // A handler run by the waiting send stops the server (as closing the
    // window does) once that send has waited a while.
    std::chrono::steady_clock::time_point lastStart = std::chrono::steady_clock::now();
    common::SetProcessEventsHook([&] {
        window.RunPending();
        if (link->IsListening() && MsSince(lastStart) > 300) link->StopListening();
    });
    const long long refusedMs = SendUntilRefused(*link, lastStart);
    ASSERT_GE(refusedMs, 0);
    EXPECT_LT(refusedMs, 5000);  // not the minute of the reply time
    EXPECT_EQ(link->LastExchangeFault, console::ExchangeFault::LinkLost);
    EXPECT_FALSE(link->IsListening());
    EXPECT_EQ(disconnectedCount, 1);
    EXPECT_TRUE(c->ReadsToTheEnd(10000));
}
