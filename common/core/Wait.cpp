#include "Wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace common {
namespace {
std::function<void()>& hookRef() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void SetProcessEventsHook(std::function<void()> hook) { hookRef() = std::move(hook); }
bool HasProcessEventsHook() { return static_cast<bool>(hookRef()); }
void ProcessPendingEvents() {
    if (auto& h = hookRef()) h();
}

bool WaitReadable(int fd, Clock::time_point deadline) {
    const bool slices = HasProcessEventsHook();
    for (;;) {
        auto now = Clock::now();
        if (now >= deadline) return false;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (slices) left = std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(kEventSlice));
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 1)));
        if (r > 0 && (p.revents & POLLIN)) return true;
        if (r > 0) {
            // Hang-up or error with nothing to read (the far end of a
            // pseudo-terminal closed): poll would report it at once forever.
            // Nothing will come, so sleep the wait out rather than spin.
            const auto now2 = Clock::now();
            if (now2 < deadline) SleepMs(std::chrono::ceil<std::chrono::milliseconds>(deadline - now2).count());
            return false;
        }
        if (r < 0 && errno != EINTR) return true;  // let the caller's read report the error
        if (slices) ProcessPendingEvents();
    }
}

void SleepMs(long long ms) {
    const auto deadline = DeadlineAfter(ms);
    if (!HasProcessEventsHook()) {
        std::this_thread::sleep_until(deadline);
        return;
    }
    for (;;) {
        ProcessPendingEvents();
        const auto now = Clock::now();
        if (now >= deadline) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(deadline - now, kEventSlice));
    }
}

}  // namespace common
