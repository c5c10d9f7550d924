#pragma once
// Test helpers for the console links: a scripted meter-side TCP client, and
// a queue that plays the window's thread for the TCP link's dispatcher.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "common/core/CallQueue.h"

namespace testmeter {

using Bytes = std::vector<std::uint8_t>;

// The meter-side device: connects to the console's server on 127.0.0.1.
class MeterSideClient {
public:
    explicit MeterSideClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("connect");
    }
    ~MeterSideClient() { Close(); }
    MeterSideClient(const MeterSideClient&) = delete;
    MeterSideClient& operator=(const MeterSideClient&) = delete;

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void Send(const Bytes& b) { ::send(fd_, b.data(), b.size(), MSG_NOSIGNAL); }
    // Reads one request frame (L + 4 bytes) within ms; empty when none came.
    Bytes ReadFrame(int ms) {
        Bytes out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < 2 || out.size() < static_cast<std::size_t>(out[1]) + 4) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return {};
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
            std::uint8_t b;
            if (::recv(fd_, &b, 1, 0) != 1) return {};
            out.push_back(b);
        }
        return out;
    }
    // True when the server closed this connection within ms.
    bool ClosedByServer(int ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return false;
        std::uint8_t b;
        return ::recv(fd_, &b, 1, 0) == 0;
    }
    // True when, reading away whatever the server sent, the connection ends within ms.
    bool ReadsToTheEnd(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        std::vector<std::uint8_t> chunk(65536);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
            const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), 0);
            if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
            if (n < 0 && errno != EINTR) return false;
        }
    }

private:
    int fd_ = -1;
};

// Plays the window's thread: calls handed over by other threads wait until
// the test thread runs them (through the event hook or RunUntil).
using WindowThread = common::CallQueue;

}  // namespace testmeter
