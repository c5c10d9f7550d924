// Frame building and the two byte-at-a-time frame assemblers (serial line and
// TCP chunks), checked against hand-made frames: every prefix, every damaged
// byte, every split point.
#include <gtest/gtest.h>

#include <vector>

#include "console/link/FrameAssembly.h"
#include "console/link/Structures.h"
#include "tests/console/link/Frames.h"

using common::Push;
using console::FrameAssembler;
using console::SerialFrameAssembler;
using console::TcpFrameAssembler;
using testframes::Bytes;
using testframes::Frame;

namespace {

// A valid frame built by hand from the wire layout.
Bytes Filled(std::size_t n) {
    Bytes d(n);
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return d;
}

// Feeds bytes until the assembler has a frame or gives up; returns its
// answer to the last byte fed and how many were fed.
Push Feed(FrameAssembler& a, const Bytes& bytes, std::size_t& fed) {
    auto step = Push::NeedMore;
    for (fed = 0; fed < bytes.size();) {
        step = a.push(bytes[fed++]);
        if (step != Push::NeedMore) break;
    }
    return step;
}

// A chunk as the TCP link feeds it: up to the first frame or reset; what
// follows in the chunk is dropped.
Push FeedChunk(FrameAssembler& a, const std::uint8_t* data, std::size_t count) {
    std::size_t fed = 0;
    return Feed(a, Bytes(data, data + count), fed);
}

}  // namespace

TEST(BuildFrame, EndOfSessionAndDataFrames) {
    std::uint8_t out[256];
    ASSERT_EQ(console::BuildFrame(2, nullptr, 0, out), 4);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x7E, 0x00, 0x02, 0xBC}));

    const Bytes data = Filled(251);
    ASSERT_EQ(console::BuildFrame(6, data.data(), 251, out), 255);
    EXPECT_EQ(Bytes(out, out + 255), Frame(6, data));

    EXPECT_EQ(console::BuildFrame(6, data.data(), 252, out), 0);
    EXPECT_EQ(console::BuildFrame(6, data.data(), -1, out), 0);
}

TEST(SerialFrameAssembler, CompletesExactlyAtTheCheckByte) {
    for (std::size_t n : {0u, 1u, 8u, 250u, 251u}) {
        const Bytes f = Frame(6, Filled(n));
        SerialFrameAssembler a;
        for (std::size_t i = 0; i + 1 < f.size(); ++i) {
            ASSERT_EQ(a.push(f[i]), Push::NeedMore) << "L=" << n << " byte " << i;
            // Never asks for more than the frame still needs.
            ASSERT_LE(a.Wanted(), static_cast<int>(f.size() - i - 1)) << "L=" << n << " byte " << i;
        }
        ASSERT_EQ(a.push(f.back()), Push::Frame) << "L=" << n;
        EXPECT_EQ(a.Count(), static_cast<int>(f.size()));
        EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Count()), f);
    }
}

TEST(SerialFrameAssembler, RejectsDamage) {
    using Fault = FrameAssembler::Fault;
    const Bytes good = Frame(4, Filled(12));
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t rejectedAt;  // 1-based byte at which the frame is dropped
        Fault fault;
    };
    std::vector<Case> cases = {
        {"wrong start byte", {0x7F, 0x00, 0x02, 0xBC}, 1, Fault::StartByte},
        {"garbage before the start byte", {0x00, 0x7E, 0x00, 0x02, 0xBC}, 1, Fault::StartByte},
        {"length 252", {0x7E, 252, 0, 0, 0}, 2, Fault::Length},
        {"length 253", {0x7E, 253, 0, 0, 0}, 2, Fault::Length},
        {"length 254", {0x7E, 254, 0, 0, 0}, 2, Fault::Length},
        {"length 255", {0x7E, 255, console::FrameCRC8(Bytes{255}.data(), 1), 0}, 2, Fault::Length},
    };
    // Every byte after the start byte, damaged, breaks the check code (a
    // damaged length byte changes where the frame ends, but never makes it valid).
    for (std::size_t pos = 1; pos < good.size(); ++pos) {
        Bytes bad = good;
        bad[pos] ^= 0x01;
        cases.push_back({"damaged byte", bad, pos == 1 ? bad[1] + 4u : good.size(), Fault::CheckCode});
    }
    for (const auto& c : cases) {
        SerialFrameAssembler a;
        Bytes bytes = c.bytes;
        bytes.resize(std::max(bytes.size(), c.rejectedAt), 0x00);
        std::size_t fed = 0;
        EXPECT_EQ(Feed(a, bytes, fed), Push::Reset) << c.what;
        EXPECT_EQ(fed, c.rejectedAt) << c.what;
        EXPECT_EQ(a.LastFault(), c.fault) << c.what;
        EXPECT_EQ(a.Count(), 0) << c.what;
    }
}

TEST(SerialFrameAssembler, EveryPrefixNeedsMoreAndTheNextFrameStartsClean) {
    const Bytes f = Frame(7, Filled(8));
    SerialFrameAssembler a;
    // A rejected frame, then a valid one on the same assembler.
    EXPECT_EQ(a.push(0x55), Push::Reset);
    std::size_t fed = 0;
    EXPECT_EQ(Feed(a, f, fed), Push::Frame);
    // After a frame, the next byte starts a new one.
    EXPECT_EQ(Feed(a, f, fed), Push::Frame);
    EXPECT_EQ(fed, f.size());
}

TEST(SerialFrameAssembler, FaultsOfAReceive) {
    using console::ExchangeFault;
    using common::Received;
    SerialFrameAssembler quiet;
    EXPECT_EQ(console::FaultOf(Received::TimedOut, quiet), ExchangeFault::NoReply);
    SerialFrameAssembler cut;
    cut.push(0x7E);
    cut.push(0x05);
    EXPECT_EQ(console::FaultOf(Received::TimedOut, cut), ExchangeFault::Damaged);
    Bytes bad = Frame(7, Filled(3));
    bad.back() ^= 0x01;
    SerialFrameAssembler spoiled;
    std::size_t fed = 0;
    ASSERT_EQ(Feed(spoiled, bad, fed), Push::Reset);
    EXPECT_EQ(console::FaultOf(Received::Reset, spoiled), ExchangeFault::BadCheck);
    SerialFrameAssembler stray;
    stray.push(0x00);
    EXPECT_EQ(console::FaultOf(Received::Reset, stray), ExchangeFault::Damaged);
    EXPECT_EQ(console::FaultOf(Received::Lost, stray), ExchangeFault::LinkLost);
}

TEST(TcpFrameAssembler, AssemblesAFrameSplitAtEveryPoint) {
    const Bytes f = Frame(6, Filled(20));
    for (std::size_t cut = 1; cut < f.size(); ++cut) {
        TcpFrameAssembler a;
        EXPECT_EQ(FeedChunk(a, f.data(), cut), Push::NeedMore) << cut;
        ASSERT_EQ(FeedChunk(a, f.data() + cut, f.size() - cut), Push::Frame) << cut;
        EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Count()), f);
    }
    // One byte per chunk.
    TcpFrameAssembler a;
    for (std::size_t i = 0; i + 1 < f.size(); ++i) ASSERT_EQ(FeedChunk(a, &f[i], 1), Push::NeedMore);
    EXPECT_EQ(FeedChunk(a, &f.back(), 1), Push::Frame);
}

TEST(TcpFrameAssembler, DropsWhatFollowsAFrameInTheSameChunk) {
    const Bytes first = Frame(6, Filled(5));
    const Bytes second = Frame(7, Filled(8));
    const Bytes chunk = testframes::Concat(first, second);
    TcpFrameAssembler a;
    ASSERT_EQ(FeedChunk(a, chunk.data(), chunk.size()), Push::Frame);
    EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Count()), first);
    // The next chunk starts a new frame.
    ASSERT_EQ(FeedChunk(a, second.data(), second.size()), Push::Frame);
    EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Count()), second);
}

TEST(TcpFrameAssembler, BadCheckAndImpossibleLengths) {
    Bytes bad = Frame(6, Filled(5));
    bad.back() ^= 0xFF;
    TcpFrameAssembler a;
    EXPECT_EQ(FeedChunk(a, bad.data(), bad.size()), Push::Reset);
    EXPECT_EQ(a.LastFault(), FrameAssembler::Fault::CheckCode);
    EXPECT_EQ(a.Count(), 0);

    for (int length = 252; length <= 255; ++length) {
        // A long run of bytes after the length must not be stored anywhere.
        Bytes chunk(600, 0xAA);
        chunk[0] = 0x7E;
        chunk[1] = static_cast<std::uint8_t>(length);
        TcpFrameAssembler b;
        EXPECT_EQ(FeedChunk(b, chunk.data(), chunk.size()), Push::Reset) << length;
        EXPECT_EQ(b.LastFault(), FrameAssembler::Fault::Length) << length;
        EXPECT_EQ(b.Count(), 0);
        const Bytes f = Frame(4, Filled(3));
        EXPECT_EQ(FeedChunk(b, f.data(), f.size()), Push::Frame);
    }
}

TEST(TcpFrameAssembler, StartByteIsNotChecked) {
    // The meter-side device forwards what it got; the start byte is taken as is.
    Bytes f = Frame(0, {});
    f[0] = 0x00;
    TcpFrameAssembler a;
    EXPECT_EQ(FeedChunk(a, f.data(), f.size()), Push::Frame);
}
