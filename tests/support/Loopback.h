#pragma once
// A one-client TCP server on 127.0.0.1 with an ephemeral port, for tests.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // Waits up to ms for the client; true when one was accepted.
    bool accept(int ms);
    void send(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> receive(int ms, std::size_t atLeast = SIZE_MAX);
    void closeClient();
    // The accepted connection's descriptor (-1 when none).
    int clientFd() const { return client_; }
    void closeListener();

private:
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
int UnusedLoopbackPort();

}  // namespace testsupport
