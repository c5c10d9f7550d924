#pragma once
// A meter played by a test over a pseudo-terminal, for replies the emulator
// never gives (a clock that is no date, a record too short).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Pty.h"

namespace testmeter {

// A meter played by the test on a pseudo-terminal: answers each request
// frame with what answer() returns (nothing: silence). The session key it
// hands out is zero, so nothing is scrambled.
class ScriptedMeter {
public:
    using Bytes = std::vector<std::uint8_t>;
    explicit ScriptedMeter(std::function<Bytes(std::uint8_t code)> answer) : answer_(std::move(answer)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedMeter() {
        stop_ = true;
        thread_.join();
    }
    const std::string& path() const { return pty_.slavePath(); }

private:
    void Run() {
        Bytes in;
        while (!stop_) {
            for (std::uint8_t b : pty_.read(20, 1)) in.push_back(b);
            while (!in.empty() && in[0] != 0x7E) in.erase(in.begin());
            if (in.size() < 2 || in.size() < static_cast<std::size_t>(in[1]) + 4) continue;
            const std::uint8_t code = in[2];
            in.erase(in.begin(), in.begin() + in[1] + 4);
            const Bytes reply = answer_(code);
            if (!reply.empty()) pty_.write(reply);
        }
    }
    testsupport::PtyPair pty_;
    std::function<Bytes(std::uint8_t)> answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace testmeter
