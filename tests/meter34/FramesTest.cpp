// Byte layouts of the meter frame, its stuffing and the two envelopes, and
// the frame assemblers fed with realistic and damaged streams.
#include <gtest/gtest.h>

#include <vector>

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "meter34/MeterExchange.h"
#include "tests/support/MeterFrames.h"

using namespace meter34;
using frames34::Bytes;
using frames34::Concat;

namespace {

// State request (command 0x09) of meter 12345, version 4, packet 1, read, in clear.
const Bytes kStateRequest = {0x7E, 0x02, 0x39, 0x30, 0x00, 0x00, 0x04, 0x00,
                             0x01, 0x03, 0x09, 0x09, 0x3E, 0x18};

Bytes Frame(std::uint32_t number, std::uint8_t packet, std::uint8_t type, const Bytes& payload) {
    Bytes out(kFrameBufferSize);
    const int n = BuildMeterFrame(number, 4, packet, type, payload.data(), static_cast<int>(payload.size()), out.data());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// Stream inputs of the assemblers, built by hand (version 4).
Bytes Hand(std::uint32_t number, std::uint8_t packet, std::uint8_t type, const Bytes& payload) {
    return frames34::MeterFrame(number, 4, packet, type, payload);
}

Bytes Stuffed(const Bytes& frame) {
    Bytes out(2 * frame.size());
    out.resize(static_cast<std::size_t>(StuffFrame(frame.data(), static_cast<int>(frame.size()), out.data())));
    return out;
}

// Everything an assembler delivered while fed the stream, and whether it failed.
template <class A, class Get>
std::vector<Bytes> Feed(A& a, const Bytes& stream, Get get, bool* failed = nullptr) {
    std::vector<Bytes> frames;
    if (failed) *failed = false;
    for (auto b : stream) {
        const Push r = a.push(b);
        if (r == Push::Frame) frames.push_back(get(a));
        if (r == Push::Reset) {
            if (failed) *failed = true;
            break;
        }
    }
    return frames;
}

Bytes DirectOut(const DirectFrameAssembler& a) { return Bytes(a.data(), a.data() + a.length()); }
Bytes RFOut(const RFFrameAssembler& a) { return Bytes(a.carried(), a.carried() + a.carriedLength()); }
Bytes PLCOut(const PLCFrameAssembler& a) { return Bytes(a.data(), a.data() + a.length()); }

// A radio route reply with any hop byte and direction.
Bytes RFReply(const std::vector<std::uint16_t>& route, std::uint8_t hopByte, std::uint8_t direction, const Bytes& carried) {
    return frames34::RFEnvelope(hopByte, route, direction, carried);
}

using frames34::PLCFrame;
using frames34::PLCReply;

}  // namespace

TEST(Frames, RequestEnvelopesMatchTheWire) {
    EXPECT_EQ(Frame(12345, 0x01, 0x03, {0x09, 0x09}), kStateRequest);
    EXPECT_EQ(Stuffed(kStateRequest), kStateRequest);  // nothing to stuff

    // Along the route "12;34" + the meter's own address 12345.
    TRF_Route_MeterExchange rf;
    ASSERT_TRUE(rf.SetRoute("12;34;12345"));
    Bytes env(kFrameBufferSize);
    env.resize(static_cast<std::size_t>(BuildRFEnvelope(rf.Route, rf.RouteLast + 1, kStateRequest.data(), 14, env.data())));
    EXPECT_EQ(env, Concat({{0x7A, 0x22, 0x0C, 0x00, 0x22, 0x00, 0x39, 0x30, 0x00, 0x0E, 0x08}, kStateRequest, {0x63, 0xC6}}));

    // Through a PLC base station to modem 300.
    env.assign(kFrameBufferSize, 0);
    env.resize(static_cast<std::size_t>(BuildPLCEnvelope(300, kStateRequest.data(), 14, env.data())));
    EXPECT_EQ(env, Concat({{0xCA, 0x1B, 0x00, 0x00, 0x60, 0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x01},
                           kStateRequest, {0x13}}));

    std::uint8_t q[9];
    BuildPLCModemCountQuery(q);
    EXPECT_EQ(Bytes(q, q + 7), (Bytes{0xCA, 0x03, 0x00, 0x00, 0x65, 0x01, 0x69}));
    BuildPLCNodeQuery(0x0102, q);
    EXPECT_EQ(Bytes(q, q + 9), (Bytes{0xCA, 0x05, 0x00, 0x00, 0x69, 0x00, 0x02, 0x01, 0x71}));
}

TEST(Frames, OversizedPayloadsAreRefused) {
    Bytes big(600, 0x55), out(kFrameBufferSize);
    EXPECT_EQ(BuildPLCEnvelope(1, big.data(), kMaxPLCCarried + 1, out.data()), 0);
    EXPECT_EQ(BuildPLCEnvelope(1, big.data(), kMaxPLCCarried, out.data()), kMaxPLCCarried + 17);
    std::uint16_t route[kMaxRoute + 1] = {};
    EXPECT_EQ(BuildRFEnvelope(route, 1, big.data(), 256, out.data()), 0);
    EXPECT_EQ(BuildRFEnvelope(route, kMaxRoute + 1, big.data(), 10, out.data()), 0);
    EXPECT_EQ(BuildMeterFrame(1, 4, 1, 3, big.data(), 256, out.data()), 0);
}

TEST(Frames, StuffingRoundTripsAndLengthCountsUnstuffedBytes) {
    const Bytes payload = {0x14, 0x7E, 0x7D, 0x00, 0x7E, 0x7E, 0x5E, 0x5D, 0x7D};
    const Bytes frame = Frame(0x7D7E7D7E, 0x0F, 0x83, payload);
    EXPECT_EQ(frame[1], payload.size());
    const Bytes stuffed = Stuffed(frame);
    EXPECT_EQ(stuffed, frames34::Stuff(frame));
    EXPECT_EQ(frame, frames34::MeterFrame(0x7D7E7D7E, 4, 0x0F, 0x83, payload));
    for (std::size_t i = 1; i < stuffed.size(); ++i) EXPECT_NE(stuffed[i], 0x7E) << i;
    Bytes back = stuffed;
    back.resize(kFrameBufferSize);
    int n = static_cast<int>(stuffed.size());
    UnstuffFrame(back.data(), n);
    back.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(back, frame);

    DirectFrameAssembler a;
    EXPECT_EQ(Feed(a, stuffed, DirectOut), std::vector<Bytes>{frame});
}

TEST(Frames, SetRouteParsesDecimalEntries) {
    struct Case { const char* text; bool ok; std::vector<std::uint16_t> route; } cases[] = {
        {"12;34;70000", true, {12, 34, 4464}},
        {" 12 ; 34 ;12345", true, {12, 34, 12345}},
        {"5", true, {5}},
        {"12;;5", false, {}},
        {"12;x;5", false, {}},
        {"", false, {}},
        {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16", true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17", false, {}},
    };
    for (const auto& c : cases) {
        TRF_Route_MeterExchange rf;
        ASSERT_EQ(rf.SetRoute(c.text), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(std::vector<std::uint16_t>(rf.Route, rf.Route + rf.RouteLast + 1), c.route) << c.text;
    }
    // The route "12;34" with meter 70000 gives three addresses and hop byte 0x22.
    TRF_Route_MeterExchange rf;
    ASSERT_TRUE(rf.SetRoute("12;34;70000"));
    Bytes env(kFrameBufferSize);
    BuildRFEnvelope(rf.Route, rf.RouteLast + 1, kStateRequest.data(), 14, env.data());
    EXPECT_EQ(env[1], 0x22);
}

TEST(DirectAssembler, RealisticStreams) {
    const Bytes reply = Hand(12345, 0x81, 0x03, {0x00, 0x7E, 0x7D, 0x10, 0x23});
    const Bytes wire = frames34::Stuff(reply);
    const Bytes other = Hand(777, 0x82, 0x03, {0x00, 0x00});
    Bytes half(wire.begin(), wire.begin() + 7);
    Bytes broken = half;
    broken.insert(broken.end(), {0x7D, 0x41});  // an escape that means nothing
    broken.insert(broken.end(), wire.begin() + 7, wire.end());

    struct Case { const char* name; Bytes stream; std::vector<Bytes> frames; } cases[] = {
        {"noise before the start", Concat({{0x00, 0xFF, 0x13, 0x5E}, wire}), {reply}},
        {"raw 7E restarts the assembly", Concat({half, wire}), {reply}},
        {"7D 41 drops the frame being assembled", broken, {}},
        {"two frames back to back", Concat({wire, frames34::Stuff(other)}), {reply, other}},
        {"trailing garbage is ignored", Concat({wire, {0x01, 0x02}}), {reply}},
    };
    for (const auto& c : cases) {
        DirectFrameAssembler a;
        EXPECT_EQ(Feed(a, c.stream, DirectOut), c.frames) << c.name;
    }
    // No prefix of a frame is ever delivered.
    for (std::size_t k = 0; k < wire.size(); ++k) {
        DirectFrameAssembler a;
        EXPECT_TRUE(Feed(a, Bytes(wire.begin(), wire.begin() + static_cast<long>(k)), DirectOut).empty()) << k;
    }
}

TEST(RFAssembler, DeliversTheCarriedFrameOfAValidReply) {
    const Bytes carried = frames34::Stuff(Hand(12345, 0x81, 0x03, {0x00, 0x7A, 0x73, 0x05}));
    const std::vector<std::uint16_t> route = {12, 34, 12345};
    const Bytes good = RFReply(route, 0x20, 0x80, carried);
    Bytes corrupted = good;
    corrupted[corrupted.size() - 1] ^= 0x01;

    struct Case { const char* name; Bytes stream; std::vector<Bytes> frames; bool fails; } cases[] = {
        {"valid reply with stuffed 7A and 73", good, {carried}, false},
        {"noise before the start", Concat({{0x73, 0x11, 0x00}, good}), {carried}, false},
        {"bad check, then a good reply", Concat({corrupted, good}), {carried}, false},
        {"our own request (direction bit clear) is ignored", RFReply(route, 0x22, 0x00, carried), {}, false},
        {"hop nibble not zero", RFReply(route, 0x21, 0x80, carried), {}, false},
        {"empty carried frame", RFReply(route, 0x20, 0x80, {}), {Bytes{}}, false},
        {"73 41 drops the envelope", Concat({Bytes(good.begin(), good.begin() + 5), {0x73, 0x41}, Bytes(good.begin() + 5, good.end())}), {}, false},
    };
    for (const auto& c : cases) {
        RFFrameAssembler a;
        bool failed = false;
        EXPECT_EQ(Feed(a, c.stream, RFOut, &failed), c.frames) << c.name;
        EXPECT_EQ(failed, c.fails) << c.name;
    }
    for (std::size_t k = 0; k < good.size(); ++k) {
        RFFrameAssembler a;
        EXPECT_TRUE(Feed(a, Bytes(good.begin(), good.begin() + static_cast<long>(k)), RFOut).empty()) << k;
    }
}

TEST(RFAssembler, LengthThatWrapsEndsTheReceive) {
    // One address: E = 9 until the M byte; M = 250 makes it (9 + 250 + 2) mod 256 = 5.
    const Bytes stream = {0x7A, 0x00, 0x39, 0x30, 0x80, 250, 0x08, 0x7E, 0x01};
    RFFrameAssembler a;
    bool failed = false;
    EXPECT_TRUE(Feed(a, stream, RFOut, &failed).empty());
    EXPECT_TRUE(failed);
}

TEST(PLCAssembler, RepliesAndQueries) {
    const Bytes carried = frames34::Stuff(Hand(12345, 0x81, 0x03, {0x00, 0xCA, 0x01}));
    const Bytes good = PLCReply(carried);
    Bytes corrupted = good;
    corrupted.back() ^= 0xFF;

    struct Case { const char* name; std::uint8_t letter; Bytes stream; std::vector<Bytes> frames; bool fails; } cases[] = {
        {"reply carrying a frame (CA inside is data)", 0x68, good, {carried}, false},
        {"K = 23 carries an empty reply", 0x68, PLCReply({}), {Bytes{}}, false},
        {"bad sum, then a good reply", 0x68, Concat({corrupted, good}), {carried}, false},
        {"another letter is not the awaited one", 0x68, PLCFrame(0x65, {0x01, 0x00, 0x00, 0x05, 0x00}), {}, false},
        {"noise before the start", 0x68, Concat({{0x00, 0x7E}, good}), {carried}, false},
        {"length byte 252 wraps", 0x68, {0xCA, 0xFC, 0x00, 0x00}, {}, true},
        {"too short for the letter", 0x68, PLCFrame(0x68, {0x01, 0x02}), {}, false},
    };
    for (const auto& c : cases) {
        PLCFrameAssembler a(c.letter);
        bool failed = false;
        auto frames = Feed(a, c.stream, [](const PLCFrameAssembler& x) {
            return Bytes(x.data() + 26, x.data() + x.length() - 1);
        }, &failed);
        EXPECT_EQ(frames, c.frames) << c.name;
        EXPECT_EQ(failed, c.fails) << c.name;
    }
    // The modem count answer: 16-bit count at offsets 8..9.
    PLCFrameAssembler q(0x65);
    auto answers = Feed(q, PLCFrame(0x65, {0x01, 0x00, 0x00, 0x05, 0x01}), PLCOut);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0][8] | (answers[0][9] << 8), 0x0105);
}
