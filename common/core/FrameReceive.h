#pragma once
// The one receive loop of every link of both programs: wait for bytes, feed
// them to a byte-at-a-time assembler, stop when the assembler has a frame or
// gives up, when the time runs out, or when the link is lost.
//
// Assemblers own no I/O and never wait; sources never interpret bytes. That
// keeps each assembler testable byte by byte and fuzzable, and keeps the
// time-out rules (first byte, restart by every byte, an outer bound) in one
// place.

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "Wait.h"

namespace common {

// What an assembler says about the byte it was just given.
enum class Push {
    NeedMore,  // keep feeding; also after it quietly dropped a damaged frame and started over
    Frame,     // a complete frame is ready
    Reset,     // the bytes so far cannot become a frame: it started over, and the receive ends without one
};

// Time limits of one receive, in milliseconds.
struct ReceiveTimes {
    long long firstByteMs = 0;  // allowed until the first byte arrives
    long long nextByteMs = 0;   // allowed after every byte (each byte restarts the wait)
    long long boundMs = 0;      // the receive ends by then at the latest, whatever arrives (0: no bound)
};

// The same time-out from the start and after every byte, with an optional bound.
constexpr ReceiveTimes RestartedTimeout(long long ms, long long boundMs = 0) { return {ms, ms, boundMs}; }

enum class Received {
    Frame,     // the assembler holds a frame
    Reset,     // the assembler gave up on what came
    TimedOut,  // nothing (more) came in time, or the bound passed
    Lost,      // the source reported the link lost
};

// A Source provides
//   bool Alive();                           false once the link is lost
//   int Take(std::uint8_t* out, int max);   up to max bytes that wait now
//                                           (0: none, -1: the link is lost)
//   void Wait(Clock::time_point until);     returns when bytes may wait, or at until
// An Assembler provides
//   Push push(std::uint8_t byte);
// and optionally
//   int Wanted() const;                     most bytes it may be given at once
//                                           without reading past its frame
// (1 when absent: such sources are read a byte at a time).
template <class Source, class Assembler>
Received ReceiveFrame(Source& source, Assembler& assembler, const ReceiveTimes& times) {
    using std::chrono::milliseconds;
    const auto start = Clock::now();
    const auto bound = times.boundMs > 0 ? start + milliseconds(times.boundMs) : Clock::time_point::max();
    auto deadline = std::min(start + milliseconds(times.firstByteMs), bound);
    constexpr int kChunk = 256;
    std::uint8_t chunk[kChunk];
    for (;;) {
        if (!source.Alive()) return Received::Lost;
        int want = 1;
        if constexpr (requires { assembler.Wanted(); }) want = std::clamp(assembler.Wanted(), 1, kChunk);
        const int n = source.Take(chunk, want);
        if (n < 0) return Received::Lost;
        if (n > 0) {
            deadline = std::min(Clock::now() + milliseconds(times.nextByteMs), bound);
            for (int i = 0; i < n; ++i) {
                switch (assembler.push(chunk[i])) {
                    case Push::Frame: return Received::Frame;
                    case Push::Reset: return Received::Reset;
                    case Push::NeedMore: break;
                }
            }
            if (Clock::now() >= bound) return Received::TimedOut;
            continue;  // more may be waiting already
        }
        if (Clock::now() >= deadline) return Received::TimedOut;
        source.Wait(deadline);
    }
}

}  // namespace common
