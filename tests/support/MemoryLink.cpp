#include "MemoryLink.h"

#include <algorithm>
#include <thread>

namespace testsupport {

void MemoryLink::Send(Bytes bytes, int afterMs) {
    auto at = common::Clock::now() + std::chrono::milliseconds(afterMs);
    if (!pending_.empty()) at = std::max(at, pending_.back().at);
    if (!bytes.empty()) pending_.push_back(Chunk{at, std::move(bytes)});
}

bool MemoryLink::Write(const std::uint8_t* data, int count) {
    if (!Opened) return false;
    if (purgeOnWrite) PurgeInput();
    written_.emplace_back(data, data + count);
    if (responder) responder(written_.back(), *this);
    return true;
}

bool MemoryLink::Read(std::uint8_t* buffer, int& count) {
    int n = 0;
    const auto now = common::Clock::now();
    while (n < count && !pending_.empty() && pending_.front().at <= now) {
        Chunk& c = pending_.front();
        buffer[n++] = c.bytes[c.taken++];
        if (c.taken == c.bytes.size()) pending_.pop_front();
    }
    const bool all = n == count;
    count = n;
    return all;
}

std::int32_t MemoryLink::InQueue() {
    const auto now = common::Clock::now();
    std::int32_t n = 0;
    for (const auto& c : pending_) {
        if (c.at > now) break;
        n += static_cast<std::int32_t>(c.bytes.size() - c.taken);
    }
    return n;
}

void MemoryLink::PurgeInput() {
    const auto now = common::Clock::now();
    while (!pending_.empty() && pending_.front().at <= now) pending_.pop_front();
}

void MemoryLink::WaitReadable(common::Clock::time_point deadline) {
    const auto until = pending_.empty() ? deadline : std::min(deadline, pending_.front().at);
    std::this_thread::sleep_until(until);
}

}  // namespace testsupport
