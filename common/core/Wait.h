#pragma once
// Waiting primitives shared by the protocol layers.
//
// The protocol layers run on the thread that owns the window. While they wait
// for bytes they hand control to one process-wide hook so the window keeps
// painting and its "Отмена" button keeps working; command-line tools and tests
// leave the hook empty. Waits sleep in the kernel (poll) instead of spinning.

#include <chrono>
#include <functional>

namespace common {

using Clock = std::chrono::steady_clock;

// Installs the hook that processes the window's pending events (empty = none).
void SetProcessEventsHook(std::function<void()> hook);
bool HasProcessEventsHook();
// Runs the hook once, if set.
void ProcessPendingEvents();

// Longest stretch a wait sleeps before it runs the hook again.
constexpr std::chrono::milliseconds kEventSlice{25};

// Deadline helpers; all deadlines are on the monotonic clock.
inline Clock::time_point DeadlineAfter(long long ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}
inline bool Passed(Clock::time_point deadline) { return Clock::now() >= deadline; }

// Waits until fd has data to read or the deadline passes; true when fd is
// readable. A descriptor that reports a hang-up or error with nothing to
// read is waited out to the deadline (false). The hook runs between slices.
bool WaitReadable(int fd, Clock::time_point deadline);

// Sleeps ms milliseconds; the hook runs between slices.
void SleepMs(long long ms);

}  // namespace common
