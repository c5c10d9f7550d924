#include "Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport {

namespace {
int BoundSocket(int& port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bind");
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return s;
}
}  // namespace

LoopbackServer::LoopbackServer() {
    listener_ = BoundSocket(port_);
    ::listen(listener_, 4);
}

LoopbackServer::~LoopbackServer() {
    closeClient();
    closeListener();
}

bool LoopbackServer::accept(int ms) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

void LoopbackServer::send(const std::vector<std::uint8_t>& bytes) {
    ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::vector<std::uint8_t> LoopbackServer::receive(int ms, std::size_t atLeast) {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < atLeast) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{client_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        std::uint8_t buf[512];
        const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

void LoopbackServer::closeClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
}

void LoopbackServer::closeListener() {
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

int UnusedLoopbackPort() {
    int port = 0;
    const int s = BoundSocket(port);
    ::close(s);
    return port;
}

}  // namespace testsupport
