#pragma once
// Calls handed from other threads to one owner thread (the thread of a
// window, or the main thread of a command-line tool): the caller waits
// until the owner has run its call. The owner runs queued calls whenever it
// waits (RunPending from its event hook, or RunUntil).

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "Wait.h"

namespace common {

class CallQueue {
public:
    // Any thread: runs call on the owner thread; returns when it has run.
    void Call(std::function<void()> call) {
        Item item{std::move(call), false};
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(&item);
        changed_.notify_all();
        changed_.wait(lock, [&] { return item.done; });
    }
    // Owner thread: runs what is queued.
    void RunPending() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            Item* item = queue_.front();
            queue_.pop_front();
            lock.unlock();
            item->call();
            lock.lock();
            item->done = true;
            changed_.notify_all();
        }
    }
    // Owner thread: runs queued calls until done() holds (true) or the
    // deadline passes (false); no deadline waits as long as it takes.
    bool RunUntil(const std::function<bool()>& done, std::optional<Clock::time_point> deadline) {
        for (;;) {
            RunPending();
            if (done()) return true;
            if (deadline && Passed(*deadline)) return false;
            std::unique_lock<std::mutex> lock(mutex_);
            const auto slice = Clock::now() + std::chrono::milliseconds(20);
            changed_.wait_until(lock, deadline ? std::min(*deadline, slice) : slice, [&] { return !queue_.empty(); });
        }
    }
    bool HasQueued() {
        std::lock_guard<std::mutex> lock(mutex_);
        return !queue_.empty();
    }

private:
    struct Item {
        std::function<void()> call;
        bool done;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item*> queue_;
};

}  // namespace common
