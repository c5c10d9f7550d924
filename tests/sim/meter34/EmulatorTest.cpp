// The version 3/4 meter emulator from the wire: the request vectors of the
// three fronts, the PLC station queries, the access session, the fault
// switches, the modem and controller fronts, TCP, the state file and the
// program itself.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "meter34/Structures.h"
#include "sim/meter34/Emulator.h"
#include "tests/sim/meter34/SimClient.h"

using namespace simtest;
using sim34::Config;
using sim34::Emulator;
using sim34::Front;

namespace {

// The state request of meter 12345, version 4, packet 1, in clear, and the
// same request along the route 12;34;12345 and through the PLC modem 300.
const Bytes kStateRequest = {0x7E, 0x02, 0x39, 0x30, 0x00, 0x00, 0x04, 0x00, 0x01, 0x03, 0x09, 0x09, 0x3E, 0x18};
const Bytes kRFStateRequest = Concat({{0x7A, 0x22, 0x0C, 0x00, 0x22, 0x00, 0x39, 0x30, 0x00, 0x0E, 0x08}, kStateRequest, {0x63, 0xC6}});
const Bytes kPLCStateRequest = Concat({{0xCA, 0x1B, 0x00, 0x00, 0x60, 0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x01},
                                      kStateRequest, {0x13}});
const Bytes kModemCountQuery = {0xCA, 0x03, 0x00, 0x00, 0x65, 0x01, 0x69};

Bytes RFUnstuff(const Bytes& raw) {
    Bytes out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i > 0 && raw[i] == 0x73 && i + 1 < raw.size()) {
            out.push_back(raw[++i] == 0x11 ? 0x7A : 0x73);
        } else {
            out.push_back(raw[i]);
        }
    }
    return out;
}

std::size_t RFLength(const Bytes& raw) {
    const Bytes u = RFUnstuff(raw);
    if (u.size() < 2) return 0;
    const std::size_t n = static_cast<std::size_t>(u[1] >> 4) + 1;
    if (u.size() < 2 * n + 4) return 0;
    return u.size() >= 2 * n + 7 + u[2 * n + 3] ? raw.size() : raw.size() + 1;
}

std::size_t PLCLength(const Bytes& b) { return b.size() < 2 ? 0 : static_cast<std::size_t>(b[1]) + 4; }

// The meter frame carried by a reply envelope of the given front, checked.
Bytes Carried(Front front, const Bytes& wire) {
    if (front == Front::Direct || wire.size() < 8) return wire;
    if (front == Front::RF) {
        const Bytes u = RFUnstuff(wire);
        const std::size_t n = static_cast<std::size_t>(u[1] >> 4) + 1;
        EXPECT_EQ(u[0], 0x7A);
        EXPECT_EQ(u[1] & 0x0F, 0) << "a reply has no hops left";
        EXPECT_EQ(u[2 * n + 2] & 0x80, 0x80) << "direction: reply";
        EXPECT_TRUE(meter34::CheckFcs16(u.data(), u.size() - 2));
        return Bytes(u.begin() + static_cast<std::ptrdiff_t>(2 * n + 5), u.end() - 2);
    }
    EXPECT_EQ(wire[0], 0xCA);
    EXPECT_EQ(wire[4], 0x68);
    if (wire.size() < 27) return {};
    EXPECT_EQ(wire.back(), meter34::Sum8(wire.data() + 1, wire.size() - 2));
    return Bytes(wire.begin() + 26, wire.end() - 1);
}

Bytes ReadReply(Line& line, Front front) {
    if (front == Front::Direct) return line.readFrames(1);
    if (front == Front::RF) return line.readEnvelope(RFLength);
    return line.readEnvelope(PLCLength);
}

Bytes NodeQuery(std::uint16_t index) {
    return frames34::PLCFrame(0x69, {0x00, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8)});
}

Bytes PLCWrap(std::uint16_t modem, const Bytes& frame) { return frames34::PLCRequest(modem, frame); }

struct Started {
    explicit Started(Config c) : emu(std::move(c)) {
        std::string error;
        EXPECT_TRUE(emu.startPty(&error)) << error;
        line = Line::Serial(emu.slavePath());
        EXPECT_TRUE(line.ok());
    }
    Emulator emu;
    Line line;
};

Config WithFront(Front f) {
    Config c;
    c.front = f;
    return c;
}

}  // namespace

TEST(Meter34Sim, FirstRequestOfEachFrontIsAnswered) {
    const struct {
        Front front;
        Bytes request;
    } cases[] = {{Front::Direct, kStateRequest}, {Front::RF, kRFStateRequest}, {Front::PLC, kPLCStateRequest}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.front));
        Started s(WithFront(c.front));
        s.line.write(c.request);
        const Bytes wire = ReadReply(s.line, c.front);
        ASSERT_FALSE(wire.empty());
        const auto r = DecodeFrame(Carried(c.front, wire));
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->checkOk);
        EXPECT_TRUE(r->sumOk);
        EXPECT_TRUE(r->replyBit);
        EXPECT_EQ(r->number, 12345u);
        EXPECT_EQ(r->version, 4);
        EXPECT_EQ(r->packet, 1);
        EXPECT_EQ(r->type, 3);
        EXPECT_FALSE(r->enciphered);
        ASSERT_EQ(r->payload.size(), 14u);  // result, command, 12-byte state record
        EXPECT_EQ(r->result(), 0);
        EXPECT_EQ(r->payload[1], 0x09);
        EXPECT_EQ(s.emu.requests(), std::vector<Bytes>{c.request});
        EXPECT_EQ(s.emu.replies(), std::vector<Bytes>{wire});
    }
}

TEST(Meter34Sim, RequestsArrivingInPiecesAmongNoiseAreAnswered) {
    Started s(WithFront(Front::Direct));
    // Noise, half a frame cut off by the client's purge, then the request in three writes.
    s.line.write(Bytes{0x00, 0xFF, 0x7D, 0x41, 0x7E, 0x02, 0x39});
    s.line.write(Bytes(kStateRequest.begin(), kStateRequest.begin() + 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s.line.write(Bytes(kStateRequest.begin() + 5, kStateRequest.begin() + 9));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s.line.write(Bytes(kStateRequest.begin() + 9, kStateRequest.end()));
    const auto frames = SplitFrames(s.line.readFrames(1));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(DecodeFrame(frames[0])->result(), 0);
    // A frame with a bad check, or for another meter, goes unanswered.
    Bytes damaged = kStateRequest;
    damaged[10] = 0x0F;
    s.line.write(damaged);
    s.line.write(Request(999, 4, 2, 3, {0x09}));
    EXPECT_TRUE(s.line.read(300).empty());
    EXPECT_EQ(s.emu.counters().ignored, 2u);
}

TEST(Meter34Sim, PlcStationListsRegisteredAndFreeSlots) {
    Config c = WithFront(Front::PLC);
    c.plcSlots = {{true, 300, 12345}, {false, 0, 0}, {true, 301, 777}};
    Started s(c);
    s.line.write(kModemCountQuery);
    const Bytes count = s.line.readEnvelope(PLCLength);
    ASSERT_GE(count.size(), 11u);
    EXPECT_EQ(count[4], 0x65);
    EXPECT_EQ(count[8] | (count[9] << 8), 3);
    EXPECT_EQ(count.back(), meter34::Sum8(count.data() + 1, count.size() - 2));

    const struct {
        std::uint16_t id;
        std::uint8_t flag;
    } slots[] = {{300, 1}, {0, 0}, {301, 1}};
    for (std::uint16_t i = 0; i < 3; ++i) {
        s.line.write(NodeQuery(i));
        const Bytes a = s.line.readEnvelope(PLCLength);
        ASSERT_EQ(a.size(), 28u) << i;
        EXPECT_EQ(a[4], 0x69);
        EXPECT_EQ(a[6] | (a[7] << 8), slots[i].id);
        EXPECT_EQ(a[26], slots[i].flag);
        EXPECT_EQ(a.back(), meter34::Sum8(a.data() + 1, a.size() - 2));
    }
    // The meter behind modem 301, asked with number 0, tells its number.
    s.line.write(PLCWrap(301, Request(0, 0, 1, 3, {0x09})));
    const auto r = DecodeFrame(Carried(Front::PLC, s.line.readEnvelope(PLCLength)));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->number, 777u);
    // No modem 302 in the station: nothing comes back.
    s.line.write(PLCWrap(302, Request(0, 0, 2, 3, {0x09})));
    EXPECT_TRUE(s.line.read(300).empty());
}

TEST(Meter34Sim, AccessSessionChecksKeysPasswordsAndRights) {
    const struct {
        const char* name;
        std::uint32_t keyA, keyB;
        int level;
        std::uint32_t password;
        std::uint8_t open, contactor, keys;
    } cases[] = {
        {"administrator", 1, 1, 1, 1, 0, 0, 0},
        {"user", 1, 1, 2, 2, 0, 0, 7},   // level 2 may not change keys
        {"wrong key A", 5, 1, 1, 1, 1, 7, 7},
        {"wrong key B", 1, 5, 1, 1, 1, 7, 7},
        {"wrong password", 1, 1, 1, 2, 1, 7, 7},
        {"no such level", 1, 1, 3, 1, 8, 7, 7},
    };
    Started s(WithFront(Front::Direct));
    Client meter(s.line, 12345);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(meter.open(c.level, c.password, c.keyA, c.keyB), c.open);
        EXPECT_EQ(meter.write({0x05, 0x00}), c.contactor);
        EXPECT_EQ(meter.write({0x04, 0x00, 1, 0, 0, 0, 1, 0, 0, 0}), c.keys);  // the same keys again
        EXPECT_EQ(meter.close(), 0);
    }
    // Outside a session: changes are refused, the clock correction is not.
    EXPECT_EQ(meter.write({0x05, 0x01}), 7);
    // A refusal reads in clear, whatever key the computer enciphered with.
    const Key4 stale = Key4::FromNumber(0xDEADBEEF);
    s.line.write(Request(12345, 4, 0, 4, {0x05, 0x01}, &stale));
    const auto refused = DecodeFrame(SplitFrames(s.line.readFrames(1)).at(0));
    EXPECT_FALSE(refused->enciphered);
    EXPECT_TRUE(refused->sumOk);
    EXPECT_EQ(refused->result(), 7);
    EXPECT_EQ(meter.write({0x0B, 12, 30, 0, 0, 15, 6, 24, 20}), 0);
    EXPECT_EQ(meter.read({0x0B}), 0);
    EXPECT_EQ(meter.last()[2], 12);  // hour
    EXPECT_EQ(meter.last()[8], 24);  // year mod 100
    EXPECT_EQ(meter.last()[9], 20);  // century
    EXPECT_EQ(s.emu.counters().sessionsOpened, 2u);
}

TEST(Meter34Sim, NewPasswordsAndKeysHoldForLaterSessions) {
    Started s(WithFront(Front::Direct));
    Client meter(s.line, 12345);
    ASSERT_EQ(meter.open(1, 1, 1, 1), 0);
    EXPECT_EQ(meter.write({0x04, 0x02, 0x39, 0x30, 0x00, 0x00}), 0);            // password 2 := 12345
    EXPECT_EQ(meter.write({0x04, 0x00, 0x07, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), 0);  // keys 7 and 4294967295
    // Structures are written with their check; a wrong one is refused.
    Bytes thresholds = {0x14, 23, 0, 0, 0x4C, 0x44, 0x84, 0x67, 0, 0};  // 175.80 V, 265.00 V
    meter34::PutCrc16Xmodem(thresholds.data() + 4, 4);
    Bytes broken = thresholds;
    broken.back() ^= 1;
    EXPECT_EQ(meter.write(broken), 13);
    EXPECT_EQ(meter.write(thresholds), 0);
    EXPECT_EQ(meter.read({0x14, 23, 0, 0}), 0);
    EXPECT_EQ(Bytes(meter.last().begin() + 5, meter.last().end()), Bytes(thresholds.begin() + 4, thresholds.end()));
    meter.close();
    EXPECT_EQ(meter.open(2, 2, 7, 0xFFFFFFFF), 1);
    meter.close();
    EXPECT_EQ(meter.open(2, 12345, 1, 1), 1);
    meter.close();
    EXPECT_EQ(meter.open(2, 12345, 7, 0xFFFFFFFF), 0);
    meter.close();
    EXPECT_EQ(s.emu.keyA(), 7u);
    EXPECT_EQ(s.emu.password(2), 12345u);

    // The access journal's newest record is that last session, at level 2.
    ASSERT_EQ(meter.read({0x14, 11, 6, 0}), 0);
    const int k = meter.last()[5 + 2];
    ASSERT_GT(k, 0);
    ASSERT_EQ(meter.read({0x14, 12, static_cast<std::uint8_t>(95 + k), 0}), 0);
    EXPECT_EQ(meter.last()[5], 2);
    const auto when = meter34::UnpackDateTime32(meter34::GetU32LE(meter.last().data() + 6));
    EXPECT_LT(std::llabs(when.msecsTo(s.emu.meterTime())), 60000);
}

TEST(Meter34Sim, FaultSwitchesBendTheNextReply) {
    const struct {
        const char* name;
        std::function<void(Emulator&)> set;
        std::function<void(const std::vector<Bytes>&, std::uint8_t packet)> check;
        std::size_t frames = 1;
    } cases[] = {
        {"silence", [](Emulator& e) { e.setSilence(1); },
         [](const std::vector<Bytes>& f, std::uint8_t) { EXPECT_TRUE(f.empty()); }, 0},
        {"bad check", [](Emulator& e) { e.setBadCheck(1); },
         [](const std::vector<Bytes>& f, std::uint8_t) {
             ASSERT_EQ(f.size(), 1u);
             EXPECT_FALSE(DecodeFrame(f[0])->checkOk);
         }},
        {"wrong packet", [](Emulator& e) { e.setWrongPacket(1); },
         [](const std::vector<Bytes>& f, std::uint8_t p) {
             ASSERT_EQ(f.size(), 1u);
             EXPECT_NE(DecodeFrame(f[0])->packet, p);
             EXPECT_TRUE(DecodeFrame(f[0])->checkOk);
         }},
        {"other meter", [](Emulator& e) { e.setOtherMeter(1); },
         [](const std::vector<Bytes>& f, std::uint8_t) {
             ASSERT_EQ(f.size(), 1u);
             EXPECT_NE(DecodeFrame(f[0])->number, 12345u);
         }},
        {"stale reply", [](Emulator& e) { e.setStaleReply(1); },
         [](const std::vector<Bytes>& f, std::uint8_t p) {
             ASSERT_EQ(f.size(), 2u);
             EXPECT_EQ(DecodeFrame(f[0])->packet, (p + 15) & 15);
             EXPECT_EQ(DecodeFrame(f[1])->packet, p);
         }, 2},
        {"forced result", [](Emulator& e) { e.forceResult(0x09, 15); },
         [](const std::vector<Bytes>& f, std::uint8_t) {
             ASSERT_EQ(f.size(), 1u);
             EXPECT_EQ(DecodeFrame(f[0])->result(), 15);
         }},
        {"paced and split", [](Emulator& e) {
             e.setBaud(19200);
             e.setSplit(3, 5);
         },
         [](const std::vector<Bytes>& f, std::uint8_t) {
             ASSERT_EQ(f.size(), 1u);
             EXPECT_TRUE(DecodeFrame(f[0])->checkOk);
             EXPECT_EQ(DecodeFrame(f[0])->result(), 0);
         }},
    };
    Started s(WithFront(Front::Direct));
    std::uint8_t packet = 0;
    const auto ask = [&](std::size_t expected) {
        packet = static_cast<std::uint8_t>((packet + 1) & 15);
        s.line.write(Request(12345, 4, packet, 3, {0x09}));
        // The frames expected, and whatever else comes shortly after them.
        Bytes got = expected == 0 ? Bytes{} : s.line.readFrames(expected);
        const Bytes more = s.line.read(300);
        got.insert(got.end(), more.begin(), more.end());
        return SplitFrames(got);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(s.emu);
        const auto frames = ask(c.frames);
        c.check(frames, packet);
        // Counted faults have run out; the switches go back to normal.
        s.emu.setFaults(sim34::Faults{});
        const auto normal = ask(1);
        ASSERT_EQ(normal.size(), 1u);
        EXPECT_EQ(DecodeFrame(normal[0])->packet, packet);
        EXPECT_EQ(DecodeFrame(normal[0])->result(), 0);
    }
}

TEST(Meter34Sim, TransparentModeLastsUntilFiveAsterisks) {
    Started s(WithFront(Front::Direct));
    Client meter(s.line, 12345);
    ASSERT_EQ(meter.open(1, 1, 1, 1), 0);
    EXPECT_EQ(meter.write({0x00, 0x07}), 0);
    meter.replyMs = 300;
    EXPECT_EQ(meter.close(), 0xFF);  // the meter no longer answers
    meter.replyMs = kReplyMs;
    EXPECT_TRUE(s.emu.transparentMode());
    s.line.write(std::string("*****"));
    EXPECT_EQ(meter.read({0x09}), 0);
    EXPECT_FALSE(s.emu.transparentMode());
}

TEST(Meter34Sim, HayesModemDialsEscapesAndLosesTheCarrier) {
    Config c = WithFront(Front::Direct);
    c.modem = true;
    c.modemGuardMs = 100;
    Started s(c);
    s.line.write(std::string("AT\r\n"));
    EXPECT_NE(s.line.readText("OK\r\n").find("AT\r"), std::string::npos);  // echo on at first
    s.line.write(std::string("ATE0\r\n"));
    EXPECT_NE(s.line.readText("OK\r\n").find("OK"), std::string::npos);
    s.line.write(std::string("ATD5551234\r\n"));
    EXPECT_NE(s.line.readText("CONNECT 9600\r\n").find("CONNECT 9600\r\n"), std::string::npos);
    Client meter(s.line, 12345);
    EXPECT_EQ(meter.read({0x09}), 0);

    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the guard silence
    s.line.write(std::string("+++"));
    EXPECT_NE(s.line.readText("OK").find("OK"), std::string::npos);
    s.line.write(std::string("ATH\r\n"));
    const std::string hangup = s.line.readText("OK");
    EXPECT_EQ(hangup.find("ATH"), std::string::npos) << "echo is off";
    EXPECT_NE(hangup.find("OK"), std::string::npos);

    s.line.write(std::string("ATD5551234\r\n"));
    EXPECT_NE(s.line.readText("CONNECT 9600").find("CONNECT 9600"), std::string::npos);
    s.emu.setCarrierLossAfter(1);
    s.line.write(Request(12345, 4, 9, 3, {0x09}));
    const std::string after = s.line.readText("NO CARRIER");
    EXPECT_EQ(SplitFrames(Bytes(after.begin(), after.end())).size(), 1u);
    EXPECT_NE(after.find("NO CARRIER"), std::string::npos);
    EXPECT_EQ(s.emu.counters().modemCalls, 2u);
}

TEST(Meter34Sim, ControllerPassesFramesOnlyInTransparentMode) {
    Config c = WithFront(Front::PLC);
    c.controller = true;
    c.controllerPassword = "580274613";
    Started s(c);
    s.line.write(std::string("*****\r\n"));
    EXPECT_NE(s.line.readText("DONE").find("DONE"), std::string::npos);
    s.line.write(std::string("SETTRANSPARENTMODE;123\r\n"));
    EXPECT_NE(s.line.readText("ERROR").find("ERROR"), std::string::npos);
    s.line.write(kPLCStateRequest);
    EXPECT_TRUE(s.line.read(300).empty());

    s.line.write(std::string("SETTRANSPARENTMODE;580274613\r\n"));
    EXPECT_NE(s.line.readText("DONE").find("DONE"), std::string::npos);
    s.line.write(kPLCStateRequest);
    EXPECT_EQ(DecodeFrame(Carried(Front::PLC, s.line.readEnvelope(PLCLength)))->result(), 0);
    s.line.write(std::string("*****\r\n"));
    EXPECT_NE(s.line.readText("DONE").find("DONE"), std::string::npos);
    s.line.write(kPLCStateRequest);
    EXPECT_TRUE(s.line.read(300).empty());
    EXPECT_EQ(s.emu.counters().controllerLogins, 1u);
}

TEST(Meter34Sim, TcpServesOneClientAfterAnother) {
    Emulator emu;
    std::string error;
    ASSERT_TRUE(emu.startTcp(0, &error)) << error;
    ASSERT_GT(emu.port(), 0);
    for (int round = 0; round < 2; ++round) {
        Line line = Line::Tcp(emu.port());
        ASSERT_TRUE(line.ok());
        line.write(kStateRequest);
        const auto frames = SplitFrames(line.readFrames(1));
        ASSERT_EQ(frames.size(), 1u) << round;
        EXPECT_EQ(DecodeFrame(frames[0])->result(), 0);
    }
    EXPECT_TRUE(emu.waitFor([](const sim34::Counters& c) { return c.connections == 2; }, kReplyMs));
}

TEST(Meter34Sim, StateFileKeepsTheMeterAndRefusesDamage) {
    const auto dir = std::filesystem::temp_directory_path() / ("sim34-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "meter.state").string();
    Config c;
    c.stateFile = file;
    {
        Started s(c);
        Client meter(s.line, 12345);
        ASSERT_EQ(meter.open(1, 1, 1, 1), 0);
        EXPECT_EQ(meter.write({0x04, 0x00, 7, 0, 0, 0, 8, 0, 0, 0}), 0);
        EXPECT_EQ(meter.write({0x05, 0x00}), 0);
        meter.close();
    }
    {
        Started s(c);
        Client meter(s.line, 12345);
        EXPECT_EQ(meter.open(1, 1, 7, 8), 0);
        meter.close();
        ASSERT_EQ(meter.read({0x09}), 0);
        EXPECT_EQ(meter.last()[3], 0) << "the contactor stayed off";
    }
    const struct {
        const char* text;
        const char* where;
    } damaged[] = {
        {"hello\n", "format"},
        {"format=1\n[meter]\nnumber=12345\nkey_a=x\n", "line 4"},
        {"format=1\n[meter]\nmain=00\n", "line 3"},
        {"format=1\n[meter]\nfrobnicate=1\n", "line 3"},
    };
    for (const auto& d : damaged) {
        std::ofstream(file, std::ios::trunc) << d.text;
        Emulator emu(c);
        std::string error;
        EXPECT_FALSE(emu.startPty(&error));
        EXPECT_NE(error.find(d.where), std::string::npos) << error;
        std::ifstream in(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), d.text) << "the damaged file stays as it was";
    }
    std::filesystem::remove_all(dir);
}

namespace {

// The program, started with arguments; its first line of output is read.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        args.insert(args.begin(), METER34_SIM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, METER34_SIM, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    std::string firstLine(int ms) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd p{out_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char c[64];
            const ssize_t n = ::read(out_, c, sizeof c);
            if (n <= 0) break;
            line.append(c, static_cast<std::size_t>(n));
        }
        return line.substr(0, line.find('\n'));
    }
    // Sends a signal (0: none) and returns the exit code, -1 if it did not end normally.
    int finish(int sig) {
        if (sig) ::kill(pid_, sig);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

}  // namespace

TEST(Meter34Sim, ProgramPrintsWhereItListensAndAnswers) {
    const struct {
        std::vector<std::string> args;
        bool tcp;
    } cases[] = {{{"--pty", "--meter", "777"}, false}, {{"--listen", "0", "--meter", "777"}, true}};
    for (const auto& c : cases) {
        Program p(c.args);
        const std::string where = p.firstLine(10000);
        ASSERT_FALSE(where.empty());
        Line line = c.tcp ? Line::Tcp(std::stoi(where.substr(where.find(':') + 1))) : Line::Serial(where);
        ASSERT_TRUE(line.ok()) << where;
        line.write(Request(777, 4, 1, 3, {0x09}));
        const auto frames = SplitFrames(line.readFrames(1));
        ASSERT_EQ(frames.size(), 1u) << where;
        EXPECT_EQ(DecodeFrame(frames[0])->number, 777u);
        EXPECT_EQ(p.finish(SIGTERM), 0);
    }
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--pty", "--meter", "0"}, {"--pty", "--listen", "1"},
                                                                  {"--pty", "--front", "bus"}, {"--nonsense"}}) {
        Program p(bad);
        EXPECT_EQ(p.finish(0), 2) << bad.back();
    }
}

TEST(Meter34Sim, GarbageOnTheLineBreaksNothing) {
    const struct {
        Front front;
        Bytes request;
    } cases[] = {{Front::Direct, kStateRequest}, {Front::RF, kRFStateRequest}, {Front::PLC, kPLCStateRequest}};
    for (const auto& c : cases) {
        for (unsigned seed = 1; seed <= 16; ++seed) {
            const bool controller = seed % 2 == 0;
            const bool modem = seed % 3 == 0;
            SCOPED_TRACE(static_cast<int>(c.front) * 100 + static_cast<int>(seed));
            Config cfg = WithFront(c.front);
            cfg.controller = controller;
            cfg.modem = modem;
            sim34::Engine engine(cfg);
            std::mt19937 rng(seed);
            std::vector<sim34::Action> actions;
            auto now = std::chrono::steady_clock::now();
            const auto feed = [&](const Bytes& b) { engine.feed(b.data(), b.size(), now, common::DateTime::now(), actions); };
            const std::string login = "*****\r\nSETTRANSPARENTMODE;580274613\r\n";
            const std::string dial = "\rATD1\r\n";
            if (modem) feed(Bytes(dial.begin(), dial.end()));
            if (controller) feed(Bytes(login.begin() + 7, login.end()));
            // Noise made of the bytes that matter most to the parsers.
            const std::uint8_t special[] = {0x7E, 0x7D, 0x7A, 0x73, 0xCA, 0x2A, 0x0D, 0x0A, 0x00, 0xFF};
            for (int chunk = 0; chunk < 200; ++chunk) {
                Bytes b(static_cast<std::size_t>(rng() % 300));
                for (auto& x : b) x = (rng() % 3 == 0) ? special[rng() % sizeof special] : static_cast<std::uint8_t>(rng());
                feed(b);
                engine.tick(now, actions);
            }
            // After a pause the line is quiet and a real request is answered.
            actions.clear();
            now += std::chrono::seconds(2);
            engine.tick(now, actions);
            // Whatever the noise did to the modem and the controller: dial, log out and in again.
            if (modem) {
                feed(Bytes(dial.begin(), dial.end()));
                now += std::chrono::seconds(2);
            }
            if (controller) feed(Bytes(login.begin(), login.end()));
            actions.clear();
            feed(c.request);
            ASSERT_FALSE(actions.empty());
            EXPECT_EQ(actions.back().kind, sim34::Action::Reply);
            const auto r = DecodeFrame(Carried(c.front, actions.back().bytes));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->result(), 0);
        }
    }
}
