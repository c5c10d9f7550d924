#pragma once
// Misbehaviour on request: what the meter does wrong, and how often.

#include <cstdint>
#include <vector>

namespace sim5x {

// Count of a fault that wears off: 0 = off, n > 0 = the next n frames,
// kAlways = every frame until switched off.
inline constexpr int kAlways = -1;

// A refusal (reply code 1) of chosen requests instead of acting on them.
struct Refusal {
    int command = -1;   // request code (6 read area, 9 write area, 14, 17, ...); -1 = any
    int selector = -1;  // first request data byte: the area code of 6 and 9, the letter of 14 and 17; -1 = any
    std::uint8_t reason = 2;
};

struct Faults {
    // Requests dropped unheard (neither acted on nor answered).
    int silence = 0;
    // Replies whose check code is spoiled (inverted).
    int corruptCheck = 0;
    // Replies sent in chunks of splitChunk bytes with splitGapMs between them (0 = whole).
    int splitChunk = 0;
    int splitGapMs = 0;
    // Bytes sent right after every reply frame.
    std::vector<std::uint8_t> trailing;
    // Requests refused with a reason instead of being acted on.
    std::vector<Refusal> refusals;
    // Slow bytes: a pause of byteGapMs after every byte, or the time of a byte
    // at paceBaud bit/s (10 bits a byte); byteGapMs wins when both are set.
    int byteGapMs = 0;
    int paceBaud = 0;
    // Pause before a reply starts.
    int replyDelayMs = 0;
    // Version byte of the authorization reply (0 = the meter's own).
    int reportVersion = 0;
    // TCP only: after this many more replies the connection is closed in
    // place of the next one, once (-1 = off); the emulator then reconnects.
    int hangUpAfter = -1;
};

}  // namespace sim5x
