// Frame building and the two byte-at-a-time frame assemblers (serial line and
// TCP chunks), checked against hand-made frames: every prefix, every damaged
// byte, every split point.
#include <gtest/gtest.h>

#include <vector>

#include "console/link/FrameAssembly.h"
#include "console/link/Structures.h"
#include "tests/console/link/Frames.h"

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

// Feeds bytes; returns the step of the last byte fed and how many were fed.
SerialFrameAssembler::Step FeedSerial(SerialFrameAssembler& a, const Bytes& bytes, std::size_t& fed) {
    auto step = SerialFrameAssembler::Step::NeedMore;
    for (fed = 0; fed < bytes.size();) {
        step = a.Push(bytes[fed++]);
        if (step != SerialFrameAssembler::Step::NeedMore) break;
    }
    return step;
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
        for (std::size_t i = 0; i + 1 < f.size(); ++i)
            ASSERT_EQ(a.Push(f[i]), SerialFrameAssembler::Step::NeedMore) << "L=" << n << " byte " << i;
        ASSERT_EQ(a.Push(f.back()), SerialFrameAssembler::Step::Frame) << "L=" << n;
        EXPECT_EQ(a.Count(), static_cast<int>(f.size()));
        EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Count()), f);
    }
}

TEST(SerialFrameAssembler, RejectsDamage) {
    const Bytes good = Frame(4, Filled(12));
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t rejectedAt;  // 1-based byte at which the frame is dropped
    };
    std::vector<Case> cases = {
        {"wrong start byte", {0x7F, 0x00, 0x02, 0xBC}, 1},
        {"garbage before the start byte", {0x00, 0x7E, 0x00, 0x02, 0xBC}, 1},
        {"length 252", {0x7E, 252, 0, 0, 0}, 2},
        {"length 253", {0x7E, 253, 0, 0, 0}, 2},
        {"length 254", {0x7E, 254, 0, 0, 0}, 2},
        {"length 255", {0x7E, 255, console::FrameCRC8(Bytes{255}.data(), 1), 0}, 2},
    };
    // Every byte after the start byte, damaged, breaks the check code (a
    // damaged length byte changes where the frame ends, but never makes it valid).
    for (std::size_t pos = 1; pos < good.size(); ++pos) {
        Bytes bad = good;
        bad[pos] ^= 0x01;
        cases.push_back({"damaged byte", bad, pos == 1 ? bad[1] + 4u : good.size()});
    }
    for (const auto& c : cases) {
        SerialFrameAssembler a;
        Bytes bytes = c.bytes;
        bytes.resize(std::max(bytes.size(), c.rejectedAt), 0x00);
        std::size_t fed = 0;
        EXPECT_EQ(FeedSerial(a, bytes, fed), SerialFrameAssembler::Step::Reject) << c.what;
        EXPECT_EQ(fed, c.rejectedAt) << c.what;
    }
}

TEST(SerialFrameAssembler, EveryPrefixNeedsMoreAndTheNextFrameStartsClean) {
    const Bytes f = Frame(7, Filled(8));
    SerialFrameAssembler a;
    // A rejected frame, then a valid one on the same assembler.
    EXPECT_EQ(a.Push(0x55), SerialFrameAssembler::Step::Reject);
    std::size_t fed = 0;
    EXPECT_EQ(FeedSerial(a, f, fed), SerialFrameAssembler::Step::Frame);
    // After a frame, the next byte starts a new one.
    EXPECT_EQ(FeedSerial(a, f, fed), SerialFrameAssembler::Step::Frame);
    EXPECT_EQ(fed, f.size());
}

TEST(TcpFrameAssembler, AssemblesAFrameSplitAtEveryPoint) {
    const Bytes f = Frame(6, Filled(20));
    for (std::size_t cut = 1; cut < f.size(); ++cut) {
        TcpFrameAssembler a;
        EXPECT_EQ(a.PushChunk(f.data(), cut), TcpFrameAssembler::Outcome::NeedMore) << cut;
        ASSERT_EQ(a.PushChunk(f.data() + cut, f.size() - cut), TcpFrameAssembler::Outcome::Frame) << cut;
        EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Length()), f);
    }
    // One byte per chunk.
    TcpFrameAssembler a;
    for (std::size_t i = 0; i + 1 < f.size(); ++i) ASSERT_EQ(a.PushChunk(&f[i], 1), TcpFrameAssembler::Outcome::NeedMore);
    EXPECT_EQ(a.PushChunk(&f.back(), 1), TcpFrameAssembler::Outcome::Frame);
}

TEST(TcpFrameAssembler, DropsWhatFollowsAFrameInTheSameChunk) {
    const Bytes first = Frame(6, Filled(5));
    const Bytes second = Frame(7, Filled(8));
    const Bytes chunk = testframes::Concat(first, second);
    TcpFrameAssembler a;
    ASSERT_EQ(a.PushChunk(chunk.data(), chunk.size()), TcpFrameAssembler::Outcome::Frame);
    EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Length()), first);
    // The next chunk starts a new frame.
    ASSERT_EQ(a.PushChunk(second.data(), second.size()), TcpFrameAssembler::Outcome::Frame);
    EXPECT_EQ(Bytes(a.Data(), a.Data() + a.Length()), second);
}

TEST(TcpFrameAssembler, BadCheckAndImpossibleLengths) {
    Bytes bad = Frame(6, Filled(5));
    bad.back() ^= 0xFF;
    TcpFrameAssembler a;
    EXPECT_EQ(a.PushChunk(bad.data(), bad.size()), TcpFrameAssembler::Outcome::BadCheck);
    EXPECT_EQ(a.Length(), 0);

    for (int length = 252; length <= 255; ++length) {
        // A long run of bytes after the length must not be stored anywhere.
        Bytes chunk(600, 0xAA);
        chunk[0] = 0x7E;
        chunk[1] = static_cast<std::uint8_t>(length);
        TcpFrameAssembler b;
        EXPECT_EQ(b.PushChunk(chunk.data(), chunk.size()), TcpFrameAssembler::Outcome::Reset) << length;
        EXPECT_EQ(b.Position(), 0);
        const Bytes f = Frame(4, Filled(3));
        EXPECT_EQ(b.PushChunk(f.data(), f.size()), TcpFrameAssembler::Outcome::Frame);
    }
}

TEST(TcpFrameAssembler, StartByteIsNotChecked) {
    // The meter-side device forwards what it got; the start byte is taken as is.
    Bytes f = Frame(0, {});
    f[0] = 0x00;
    TcpFrameAssembler a;
    EXPECT_EQ(a.PushChunk(f.data(), f.size()), TcpFrameAssembler::Outcome::Frame);
}
