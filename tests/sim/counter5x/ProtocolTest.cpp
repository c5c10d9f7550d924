// The meter's answers, byte by byte, through the emulator's in-process line.
#include <gtest/gtest.h>

#include <set>

#include "console/link/Structures.h"
#include "sim/counter5x/Emulator.h"
#include "tests/sim/counter5x/Wire.h"

using namespace sim5x;
using wire::Bytes;
using wire::Key;

namespace {

constexpr Key kKey = {0x11, 0x22, 0x33, 0x44};

MeterSettings Small(int version = 53) {
    MeterSettings s;
    s.version = version;
    s.profilePoints = 300;
    return s;
}

// A meter with a known session key and an open session.
struct Sim5xSession : ::testing::Test {
    Emulator meter{Small()};
    Key key = kKey;

    void open() {
        meter.setFixedSessionKey(kKey);
        const auto r = wire::Parse(meter.exchange(wire::Auth(1234567, 1)));
        ASSERT_TRUE(r);
        ASSERT_EQ(r->code, 4);
    }
    std::optional<wire::Reply> ask(const Bytes& request) { return wire::Parse(meter.exchange(request), key); }
    std::optional<wire::Reply> read(std::uint8_t area, std::uint16_t index) { return ask(wire::ReadArea(area, index, key)); }
    std::optional<wire::Reply> write(std::uint8_t area, std::uint16_t index, std::uint16_t pw, const Bytes& rec) {
        return ask(wire::WriteArea(area, index, pw, rec, key));
    }
    std::optional<wire::Reply> command(std::uint8_t code, const std::string& text) {
        return ask(wire::Frame(code, Bytes(text.begin(), text.end()), key));
    }
};

void ExpectRefused(const std::optional<wire::Reply>& r, int reason) {
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 1);
    ASSERT_EQ(r->data.size(), 1u);
    EXPECT_EQ(r->data[0], reason);
}

void ExpectAccepted(const std::optional<wire::Reply>& r) {
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 0);
    EXPECT_TRUE(r->data.empty());
}

}  // namespace

TEST(Sim5xWire, EndOfSessionIsNotAnswered) {
    Emulator meter(Small());
    EXPECT_TRUE(meter.exchange({0x7E, 0x00, 0x02, 0xBC}).empty());
    EXPECT_EQ(meter.counters().sessionsEnded, 1u);
    EXPECT_EQ(meter.counters().requests, 1u);
}

TEST(Sim5xWire, AuthorizationReplyByteExact) {
    struct Case {
        int version;
        bool kopecks;
        std::uint8_t versionByte, flags;
    };
    const Case cases[] = {{51, false, '3', 0x01}, {52, false, '4', 0x01}, {53, true, '5', 0x03}, {54, false, '6', 0x01}};
    for (const Case& c : cases) {
        MeterSettings s = Small(c.version);
        s.kopecks = c.kopecks;
        Emulator meter(s);
        meter.setFixedSessionKey(kKey);
        // Meter 1234567 = 00 12 D6 87, identifier 1, both big-endian, not scrambled.
        const Bytes request = {0x7E, 0x08, 0x03, 0x00, 0x12, 0xD6, 0x87, 0x00, 0x00, 0x00, 0x01, 0x00};
        Bytes req = request;
        req.back() = console::FrameCRC8(req.data() + 1, 10);
        EXPECT_EQ(req, wire::Auth(1234567, 1));
        Bytes expected = {0x7E, 0x08, 0x04, c.versionByte, 0x11, 0x22, 0x33, 0x44, 0x01, 0x00, c.flags, 0x00};
        expected.back() = console::FrameCRC8(expected.data() + 1, 10);
        EXPECT_EQ(meter.exchange(req), expected) << "version " << c.version;
        EXPECT_TRUE(meter.sessionOpen());
        EXPECT_EQ(meter.counters().authorizations, 1u);
    }
}

TEST(Sim5xWire, EverySessionGetsAFreshKey) {
    Emulator meter(Small());
    std::set<std::uint32_t> keys;
    for (int i = 0; i < 8; ++i) {
        const auto r = wire::Parse(meter.exchange(wire::Auth(1234567, 1)));
        ASSERT_TRUE(r);
        keys.insert(console::GetUInt32BE(r->data.data() + 1));
    }
    EXPECT_GT(keys.size(), 4u);
}

TEST(Sim5xWire, WrongNumberOrIdentifierGetsNoReplyAndEndsTheSession) {
    Emulator meter(Small());
    ASSERT_TRUE(wire::Parse(meter.exchange(wire::Auth(1234567, 1))));
    EXPECT_TRUE(meter.sessionOpen());
    EXPECT_TRUE(meter.exchange(wire::Auth(1234567, 2)).empty());
    EXPECT_FALSE(meter.sessionOpen());
    EXPECT_TRUE(meter.exchange(wire::Auth(1234568, 1)).empty());
    // Without a session nothing is answered: the frame is for another meter.
    EXPECT_TRUE(meter.exchange(wire::ReadArea(3, 0, {})).empty());
    EXPECT_EQ(meter.counters().unanswered, 3u);
}

TEST_F(Sim5xSession, RepliesAreScrambledFromKeyByteZeroInEveryFrame) {
    open();
    const Bytes record = meter.record(3, 0);
    ASSERT_EQ(record.size(), 11u);
    for (int i = 0; i < 2; ++i) {
        const Bytes raw = meter.exchange(wire::ReadArea(3, 0, key));
        ASSERT_EQ(raw.size(), 15u);
        EXPECT_EQ(raw[1], 11);
        EXPECT_EQ(raw[2], 6);
        for (std::size_t k = 0; k < 11; ++k) EXPECT_EQ(raw[3 + k], record[k] ^ kKey[k % 4]) << k;
        EXPECT_EQ(raw[14], console::FrameCRC8(raw.data() + 1, 13));
    }
    // The record holds the identifier and is sealed.
    EXPECT_EQ(console::GetUInt32BE(record.data()), 1u);
    EXPECT_EQ(console::AreaCRC16(record.data(), 9), console::GetUInt16BE(record.data() + 9));
}

TEST(Sim5xWire, AreaRecordSizesByVersion) {
    // Area, record size on versions 51..53, on version 54 (0 = no such area).
    const int sizes[][3] = {{3, 11, 11},  {4, 14, 14},  {5, 9, 9},    {6, 6, 6},    {7, 10, 10},  {8, 18, 18},  {9, 10, 10},
                            {10, 8, 8},   {11, 7, 6},   {13, 14, 14}, {14, 16, 16}, {16, 10, 10}, {17, 20, 20}, {18, 18, 18},
                            {19, 6, 6},   {21, 3, 3},   {22, 3, 3},   {23, 4, 4},   {26, 11, 7},  {27, 14, 14}, {28, 12, 12},
                            {29, 3, 3},   {30, 10, 10}, {31, 14, 14}, {32, 18, 18}, {33, 3, 0},   {34, 8, 8},   {36, 8, 0}};
    for (int version : {51, 53, 54}) {
        Emulator meter(Small(version));
        meter.setFixedSessionKey(kKey);
        ASSERT_TRUE(wire::Parse(meter.exchange(wire::Auth(1234567, 1))));
        for (const auto& row : sizes) {
            const int size = version == 54 ? row[2] : row[1];
            const auto r = wire::Parse(meter.exchange(wire::ReadArea(static_cast<std::uint8_t>(row[0]), 0, kKey)), kKey);
            ASSERT_TRUE(r) << "area " << row[0];
            if (size == 0) {
                ExpectRefused(r, 2);
                continue;
            }
            ASSERT_EQ(r->code, 6) << "area " << row[0] << " version " << version;
            ASSERT_EQ(r->data.size(), static_cast<std::size_t>(size)) << "area " << row[0] << " version " << version;
            EXPECT_EQ(console::AreaCRC16(r->data.data(), r->data.size() - 2), console::GetUInt16BE(r->data.data() + size - 2))
                << "area " << row[0];
        }
    }
}

TEST_F(Sim5xSession, IndexRangesAndAccessRules) {
    open();
    struct Case {
        std::uint8_t area;
        std::uint16_t lastIndex;
    };
    // Tariff x 3 + limit, season x 4 + tariff, season x 6 + zone, 20 holidays, 13 slices of 12.
    for (const Case& c : {Case{4, 11}, Case{13, 7}, Case{7, 11}, Case{23, 19}, Case{27, 155}, Case{28, 12}, Case{34, 12},
                          Case{16, 4}, Case{17, 7}, Case{18, 7}, Case{19, 3}, Case{22, 3}, Case{31, 11}, Case{11, 299}}) {
        const auto last = read(c.area, c.lastIndex);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->code, 6) << "area " << int(c.area);
        ExpectRefused(read(c.area, static_cast<std::uint16_t>(c.lastIndex + 1)), 2);
    }
    ExpectRefused(read(0, 0), 4);   // passwords are written only
    ExpectRefused(read(12, 0), 2);  // no such area
    ExpectRefused(write(4, 0, 0, Bytes(14)), 4);  // statistics are read-only
    ExpectRefused(command(40, ""), 2);            // unknown command
    ExpectRefused(ask(wire::Frame(6, {3, 0}, key)), 5);
}

TEST_F(Sim5xSession, WriteNeedsTheCurrentPasswordAndIsStored) {
    open();
    // Billing-period day 15.
    ExpectRefused(write(29, 0, 7, {15, 0, 0}), 1);
    EXPECT_EQ(meter.record(29, 0)[0], 1);
    ExpectAccepted(write(29, 0, 0, {15, 0, 0}));
    const auto r = read(29, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->data, meter.record(29, 0));
    EXPECT_EQ(r->data[0], 15);
    // A record with a wrong seal or of the wrong size is refused.
    Bytes bad = wire::WriteArea(29, 0, 0, {16, 0, 0}, key);
    bad[9] ^= 0x5A;  // seal byte (scrambled), then fix the frame check
    bad.back() = console::FrameCRC8(bad.data() + 1, bad.size() - 2);
    ExpectRefused(ask(bad), 5);
    ExpectRefused(write(29, 0, 0, {16, 0, 0, 0}), 5);
    EXPECT_EQ(meter.record(29, 0)[0], 15);
}

TEST_F(Sim5xSession, PasswordAreaChangesThePasswordFromEntryZeroOn) {
    open();
    const std::uint16_t p = 0x1234;
    const Bytes entry = {0x12, 0x34, 0, 0};
    ExpectAccepted(write(0, 0, 0, entry));
    EXPECT_EQ(meter.password(), p);
    ExpectRefused(write(0, 1, 0, entry), 1);
    for (std::uint16_t i = 1; i < 37; ++i) ExpectAccepted(write(0, i, p, entry));
    ExpectRefused(write(0, 37, p, entry), 2);
    ExpectAccepted(write(29, 0, p, {3, 0, 0}));
}

TEST_F(Sim5xSession, IdentificationAreaCarriesTheIdentifier) {
    open();
    Bytes rec = meter.record(3, 0);
    rec[3] = 9;  // identifier 9
    ExpectAccepted(write(3, 0, 0, rec));
    EXPECT_EQ(meter.ident(), 9u);
    EXPECT_TRUE(meter.exchange(wire::Auth(1234567, 1)).empty());
    EXPECT_TRUE(wire::Parse(meter.exchange(wire::Auth(1234567, 9))));
}

TEST_F(Sim5xSession, ClockRoundTrip) {
    open();
    // 29.02.2024 13:05:07: seconds, minutes, hours, weekday (ignored), day, month, year in century, century.
    ExpectAccepted(ask(wire::Frame(8, {7, 5, 13, 0, 29, 2, 24, 20}, key)));
    const auto r = ask(wire::Frame(7, {}, key));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->code, 7);
    ASSERT_EQ(r->data.size(), 8u);
    const auto t = common::DateTime::make(r->data[7] * 100 + r->data[6], r->data[5], r->data[4], r->data[2], r->data[1], r->data[0]);
    ASSERT_TRUE(t);
    const auto set = *common::DateTime::make(2024, 2, 29, 13, 5, 7);
    EXPECT_GE(set.msecsTo(*t), 0);
    EXPECT_LT(set.msecsTo(*t), 60000);  // the clock runs from the time set
    EXPECT_EQ(r->data[3], 4);            // a Thursday
    ExpectRefused(ask(wire::Frame(8, {0, 0, 0, 0, 30, 2, 24, 20}, key)), 5);
    ExpectRefused(ask(wire::Frame(8, {0, 0, 24, 0, 1, 1, 24, 20}, key)), 5);
}

TEST_F(Sim5xSession, OneByteCommands) {
    open();
    ExpectAccepted(command(14, "0"));
    EXPECT_EQ(meter.contactor(), Contactor::Off);
    ExpectAccepted(command(14, "F"));
    EXPECT_EQ(meter.contactor(), Contactor::Released);
    ExpectAccepted(command(14, "1"));
    EXPECT_EQ(meter.contactor(), Contactor::On);
    ExpectAccepted(command(14, "A"));
    ExpectAccepted(command(14, "B"));
    EXPECT_TRUE(meter.channel(1) && meter.channel(2));
    ExpectAccepted(command(14, "a"));
    EXPECT_FALSE(meter.channel(1));
    ExpectAccepted(command(14, "b"));
    EXPECT_FALSE(meter.channel(2));
    ExpectAccepted(command(14, "D"));
    EXPECT_TRUE(meter.cardMode());
    ExpectRefused(command(14, "X"), 2);
    ExpectRefused(command(14, "AB"), 5);
    // The forced switching shows among the events (index 2: forced on).
    const auto ev = read(16, 2);
    ASSERT_TRUE(ev);
    EXPECT_GT(console::GetUInt32BE(ev->data.data() + 4), 3u);
}

TEST_F(Sim5xSession, RangeModeAndCurrency) {
    open();
    ExpectRefused(command(17, "D"), 3);  // already in rubles
    auto debit = read(14, 0);
    ASSERT_TRUE(debit);
    EXPECT_EQ(console::GetUInt32BE(debit->data.data()), 1523u);
    EXPECT_EQ(console::GetUInt16BE(debit->data.data() + 4), 47u);
    ExpectAccepted(command(17, "S"));
    EXPECT_TRUE(meter.kopecks());
    ExpectRefused(command(17, "S"), 3);
    debit = read(14, 0);
    ASSERT_TRUE(debit);
    EXPECT_EQ(console::GetUInt32BE(debit->data.data()), 152347u);
    ExpectRefused(command(17, "X"), 2);

    ExpectAccepted(command(18, "USD"));
    debit = read(14, 0);
    ASSERT_TRUE(debit);
    EXPECT_EQ(std::string(debit->data.begin() + 10, debit->data.begin() + 13), "USD");
    ExpectRefused(command(18, "US"), 5);
    // The next authorization reports kopecks.
    const auto auth = wire::Parse(meter.exchange(wire::Auth(1234567, 1)));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->data[7] & 0x02, 0x02);
}

TEST(Sim5xWire, LoadProfileMatchesThePointers) {
    for (int version : {53, 54}) {
        Emulator meter(Small(version));
        meter.setFixedSessionKey(kKey);
        ASSERT_TRUE(wire::Parse(meter.exchange(wire::Auth(1234567, 1))));
        const auto ptr = wire::Parse(meter.exchange(wire::ReadArea(10, 0, kKey)), kKey);
        ASSERT_TRUE(ptr);
        const std::uint16_t points = console::GetUInt16BE(ptr->data.data() + 2);
        EXPECT_EQ(points, 300);
        const auto last = wire::Parse(meter.exchange(wire::ReadArea(11, static_cast<std::uint16_t>(points - 1), kKey)), kKey);
        ASSERT_TRUE(last);
        ASSERT_EQ(last->data.size(), version == 54 ? 6u : 7u);
        const auto now = meter.clock();
        const auto stamp = console::ProfileStampToDateTime(console::GetUInt16BE(last->data.data()), now);
        ASSERT_FALSE(stamp.isEmpty());
        EXPECT_LE(stamp, now);
        EXPECT_GT(stamp, now.addSecs(-3600));
        const std::uint32_t watts = version == 54 ? console::GetUInt16BE(last->data.data() + 2) : console::GetUInt24BE(last->data.data() + 2);
        EXPECT_GT(watts, 0u);
        EXPECT_LT(watts, 20000u);
    }
}

TEST_F(Sim5xSession, FaultSwitches) {
    open();
    // Refusal of chosen areas, with a reason; other areas still answer.
    meter.updateFaults([](Faults& f) { f.refusals = {Refusal{6, 13, 7}}; });
    ExpectRefused(read(13, 0), 7);
    EXPECT_EQ(read(8, 0)->code, 6);
    meter.updateFaults([](Faults& f) { f.refusals.clear(); });

    // A spoiled check code, once.
    meter.updateFaults([](Faults& f) { f.corruptCheck = 1; });
    Bytes raw = meter.exchange(wire::ReadArea(8, 0, key));
    ASSERT_EQ(raw.size(), 22u);
    EXPECT_FALSE(wire::Parse(raw));
    EXPECT_TRUE(read(8, 0));

    // Silence for two requests, which are not acted on.
    meter.updateFaults([](Faults& f) { f.silence = 2; });
    EXPECT_TRUE(meter.exchange(wire::Frame(14, {'0'}, key)).empty());
    EXPECT_TRUE(meter.exchange(wire::ReadArea(8, 0, key)).empty());
    EXPECT_EQ(meter.contactor(), Contactor::On);
    EXPECT_TRUE(read(8, 0));

    // Trailing bytes after the frame.
    meter.updateFaults([](Faults& f) { f.trailing = {0x00, 0xFF}; });
    raw = meter.exchange(wire::ReadArea(21, 0, key));
    ASSERT_EQ(raw.size(), 9u);
    EXPECT_EQ(raw[7], 0x00);
    EXPECT_EQ(raw[8], 0xFF);
    EXPECT_TRUE(wire::Parse(raw, key));
    meter.updateFaults([](Faults& f) { f.trailing.clear(); });

    // Another version in the authorization reply.
    meter.updateFaults([](Faults& f) { f.reportVersion = 55; });
    const auto auth = wire::Parse(meter.exchange(wire::Auth(1234567, 1)));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->data[0], 55);
}

TEST(Sim5xWire, ReceiverDropsDamagedFramesAndResynchronises) {
    Emulator meter(Small());
    Bytes auth = wire::Auth(1234567, 1);
    // Every corrupted byte position after the start byte: no reply.
    for (std::size_t i = 1; i < auth.size(); ++i) {
        Bytes bad = auth;
        bad[i] ^= 0x01;
        EXPECT_TRUE(meter.exchange(bad).empty()) << i;
        meter.exchange(Bytes(300, 0x00));  // flush a frame still waiting for bytes after a length change
    }
    // Garbage before a frame, and an impossible length byte.
    Bytes line = {0x00, 0x55, 0x7E, 0xFF, 0x13};
    line.insert(line.end(), auth.begin(), auth.end());
    const auto r = wire::Parse(meter.exchange(line));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 4);
    EXPECT_GE(meter.counters().badFrames, 1u);
}
