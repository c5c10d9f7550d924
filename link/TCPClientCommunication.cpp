#include "TCPClientCommunication.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace links {

TTCPClient_Communication::~TTCPClient_Communication() { Close(); }

bool TTCPClient_Communication::Open() {
    lastError_.clear();
    peerClosed_ = false;
    Opened = true;
    in_addr addr{};
    // Dotted IPv4 only: a host name cannot be connected.
    if (::inet_pton(AF_INET, Host.c_str(), &addr) != 1) {
        lastError_ = "\"" + Host + "\" не является IPv4-адресом";
        return false;
    }
    Socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (Socket < 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    timeval tv{15, 0};
    ::setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(Port & 0xFFFF));
    sa.sin_addr = addr;
    // Connect without blocking the window: wait for the handshake in slices.
    const int flags = ::fcntl(Socket, F_GETFL);
    ::fcntl(Socket, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(Socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int err = rc == 0 ? 0 : errno;
    if (rc != 0 && err == EINPROGRESS) {
        const auto deadline = common::DeadlineAfter(ConnectTimeoutMs);
        err = ETIMEDOUT;
        while (!common::Passed(deadline)) {
            pollfd p{Socket, POLLOUT, 0};
            const int r = ::poll(&p, 1, static_cast<int>(common::kEventSlice.count()));
            if (r > 0) {
                socklen_t len = sizeof err;
                ::getsockopt(Socket, SOL_SOCKET, SO_ERROR, &err, &len);
                break;
            }
            common::ProcessPendingEvents();
        }
    }
    ::fcntl(Socket, F_SETFL, flags);
    if (err != 0) {
        lastError_ = std::strerror(err);
        ::close(Socket);
        Socket = -1;
        return false;
    }
    int one = 1;
    ::setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ExtraTimeout += 20000;
    Connected = true;
    return true;
}

bool TTCPClient_Communication::Close() {
    // The socket is released also when the link was lost before.
    if (Socket >= 0) ::close(Socket);
    Socket = -1;
    Connected = false;
    Opened = false;
    return true;
}

bool TTCPClient_Communication::Write(const std::uint8_t* data, int count) {
    if (Socket < 0) return false;
    int done = 0;
    while (done < count) {
        // MSG_NOSIGNAL: a closed peer must not end the process with SIGPIPE.
        const ssize_t n = ::send(Socket, data + done, static_cast<std::size_t>(count - done), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            Connected = false;
            return false;
        }
        done += static_cast<int>(n);
    }
    return true;
}

bool TTCPClient_Communication::Read(std::uint8_t* buffer, int& count) {
    if (Socket < 0) {
        count = 0;
        return false;
    }
    ssize_t n;
    do {
        n = ::recv(Socket, buffer, static_cast<std::size_t>(count), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        count = 0;
        Connected = false;
        return false;
    }
    if (n == 0) PeerClosed();
    count = static_cast<int>(n);
    return true;
}

std::int32_t TTCPClient_Communication::InQueue() {
    if (Socket < 0) return 0;
    int n = 0;
    if (::ioctl(Socket, FIONREAD, &n) != 0) {
        Connected = false;
        return 0;
    }
    return n;
}

void TTCPClient_Communication::PeerClosed() {
    peerClosed_ = true;
    Connected = false;
}

void TTCPClient_Communication::WaitReadable(common::Clock::time_point deadline) {
    // Without a window to keep alive the wait lasts to the deadline.
    const auto sliceEnd = common::HasProcessEventsHook() ? std::min(deadline, common::Clock::now() + common::kEventSlice) : deadline;
    if (Socket < 0 || peerClosed_ || !Connected) {
        // Nothing can arrive any more: a wait here is a wait on a dead line.
        std::this_thread::sleep_until(sliceEnd);
    } else {
        pollfd p{Socket, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(sliceEnd - common::Clock::now());
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (r > 0 && InQueue() == 0) {
            // Readable with nothing queued: the peer closed (or reset) the
            // connection. Nothing can arrive any more, so the link is lost
            // at once rather than waited out to the end of the time-out.
            std::uint8_t b;
            const ssize_t n = ::recv(Socket, &b, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n == 0) PeerClosed();
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Connected = false;
        }
    }
    common::ProcessPendingEvents();
}

}  // namespace links
