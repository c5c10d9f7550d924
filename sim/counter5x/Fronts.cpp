// The line fronts of the emulator: a pseudo-terminal, and a TCP client of
// the console's server. Each runs on a thread of its own and sleeps in poll()
// on its line and a wake-up descriptor that stop() signals.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "sim/counter5x/Emulator.h"

namespace sim5x {

namespace {

using Clock = std::chrono::steady_clock;

std::string SysError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

class Emulator::FrontThread {
public:
    // A pseudo-terminal front; throws std::runtime_error.
    explicit FrontThread(Emulator& emu) : emu_(emu), front_(Front::Pty) {
        openWake();
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) fail(SysError("pseudo-terminal"));
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) fail(SysError("pseudo-terminal name"));
        path_ = name;
        // Holding the slave open keeps the line alive between the client's
        // opens (no hang-up on the master) and lets the raw mode stick.
        keep_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (keep_ < 0) fail(SysError(path_));
        termios t{};
        if (::tcgetattr(keep_, &t) != 0) fail(SysError("tcgetattr"));
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        if (::tcsetattr(keep_, TCSANOW, &t) != 0) fail(SysError("tcsetattr"));
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { runPty(); });
    }

    // A TCP client front.
    FrontThread(Emulator& emu, std::string host, int port) : emu_(emu), front_(Front::Tcp), host_(std::move(host)), port_(port) {
        openWake();
        thread_ = std::thread([this] { runTcp(); });
    }

    ~FrontThread() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
            thread_.join();
        }
        closeAll();
    }

    const std::string& path() const { return path_; }

private:
    enum class Sent { Ok, Stop, Broken };

    [[noreturn]] void fail(const std::string& text) {
        closeAll();
        throw std::runtime_error(text);
    }
    void closeAll() {
        for (int* fd : {&keep_, &master_, &wake_})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }
    void openWake() {
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) throw std::runtime_error(SysError("eventfd"));
    }
    bool stopping() const {
        pollfd p{wake_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    // Sleeps us microseconds; false when stop() came first.
    bool pause(long long us) {
        if (us <= 0) return !stopping();
        pollfd p{wake_, POLLIN, 0};
        timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
        for (;;) {
            const int r = ::ppoll(&p, 1, &ts, nullptr);
            if (r < 0 && errno == EINTR) continue;  // ts is not updated by Linux ppoll; close enough
            return r == 0;
        }
    }

    // The request loop on one line. Returns false when stopped, true when the
    // line went away (TCP peer closed).
    bool serve(int fd) {
        const bool pty = front_ == Front::Pty;
        RequestAssembler rx;
        Clock::time_point lastByte{};
        const auto gap = std::chrono::milliseconds(emu_.linkSettings().frameGapMs);
        std::uint8_t buf[512];
        for (;;) {
            int timeout = -1;
            if (!rx.idle()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(lastByte + gap - Clock::now()).count();
                timeout = static_cast<int>(std::max<long long>(left, 1));
            }
            // A client that set exclusive use on the pseudo-terminal could not
            // open it again after closing it (the flag outlives its close while
            // the line exists); clear it now and then.
            if (pty) timeout = timeout < 0 ? 100 : std::min(timeout, 100);
            pollfd p[2] = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
            const int r = ::poll(p, 2, timeout);
            if (r < 0 && errno != EINTR) return true;
            if (p[1].revents) return false;
            if (pty) ::ioctl(keep_, TIOCNXCL);
            if (!rx.idle() && Clock::now() - lastByte >= gap) rx.reset();
            if (r <= 0 || !(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n == 0) return true;
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                if (pty && errno == EIO) {  // no slave open; should not happen while keep_ is held
                    if (!pause(50000)) return false;
                    continue;
                }
                return true;
            }
            lastByte = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                switch (rx.push(buf[i])) {
                    case RequestAssembler::Result::NeedMore: break;
                    case RequestAssembler::Result::Bad: emu_.onBadFrame(front_, rx.bytes(), rx.size()); break;
                    case RequestAssembler::Result::Frame: {
                        const Outgoing out = emu_.onFrame(front_, rx.bytes(), rx.size());
                        if (out.hangUp) return true;
                        if (!out.bytes.empty()) {
                            const Sent s = send(fd, out);
                            if (s == Sent::Stop) return false;
                            if (s == Sent::Broken && !pty) return true;
                        }
                        if (out.save) emu_.saveNow();
                        break;
                    }
                }
            }
        }
    }

    Sent writeAll(int fd, const std::uint8_t* p, std::size_t n) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(emu_.linkSettings().writeTimeoutMs);
        while (n > 0) {
            const ssize_t w = front_ == Front::Tcp ? ::send(fd, p, n, MSG_NOSIGNAL) : ::write(fd, p, n);
            if (w > 0) {
                p += w;
                n -= static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR) continue;
            if (w < 0 && errno != EAGAIN) return Sent::Broken;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                // Nobody takes the reply (no client on the pseudo-terminal): drop it.
                if (front_ == Front::Pty) ::tcflush(keep_, TCIFLUSH);
                return Sent::Broken;
            }
            pollfd q[2] = {{fd, POLLOUT, 0}, {wake_, POLLIN, 0}};
            if (::poll(q, 2, static_cast<int>(left)) < 0 && errno != EINTR) return Sent::Broken;
            if (q[1].revents) return Sent::Stop;
        }
        return Sent::Ok;
    }

    Sent send(int fd, const Outgoing& out) {
        if (out.delayMs > 0 && !pause(out.delayMs * 1000LL)) return Sent::Stop;
        const std::uint8_t* p = out.bytes.data();
        const std::size_t n = out.bytes.size();
        long long byteUs = 0;
        if (out.byteGapMs > 0) byteUs = out.byteGapMs * 1000LL;
        else if (out.paceBaud > 0) byteUs = 10000000LL / out.paceBaud;  // 10 bits a byte
        std::size_t chunk = n;
        long long chunkGapUs = 0;
        if (byteUs > 0) {
            chunk = 1;
            chunkGapUs = byteUs;
        } else if (out.splitChunk > 0) {
            chunk = static_cast<std::size_t>(out.splitChunk);
            chunkGapUs = out.splitGapMs * 1000LL;
        }
        for (std::size_t done = 0; done < n; done += chunk) {
            if (done > 0 && !pause(chunkGapUs)) return Sent::Stop;
            const Sent s = writeAll(fd, p + done, std::min(chunk, n - done));
            if (s != Sent::Ok) return s;
        }
        return Sent::Ok;
    }

    void runPty() { serve(master_); }

    // One connection attempt: the socket, -1 on failure, -2 when stopped.
    int connectOnce() {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const std::string port = std::to_string(port_);
        if (::getaddrinfo(host_.c_str(), port.c_str(), &hints, &list) != 0 || !list) return -1;
        int result = -1;
        for (addrinfo* a = list; a && result == -1; a = a->ai_next) {
            const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            if (s < 0) continue;
            int ok = ::connect(s, a->ai_addr, a->ai_addrlen) == 0 ? 1 : 0;
            if (!ok && errno == EINPROGRESS) {
                pollfd p[2] = {{s, POLLOUT, 0}, {wake_, POLLIN, 0}};
                const int r = ::poll(p, 2, emu_.linkSettings().connectTimeoutMs);
                if (r > 0 && p[1].revents) {
                    ::close(s);
                    result = -2;
                    break;
                }
                int err = 0;
                socklen_t len = sizeof err;
                if (r > 0 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) ok = 1;
            }
            if (!ok) {
                ::close(s);
                continue;
            }
            // Split replies must leave as separate segments.
            int one = 1;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            result = s;
        }
        ::freeaddrinfo(list);
        return result;
    }

    void runTcp() {
        const auto& ls = emu_.linkSettings();
        int backoff = std::max(ls.reconnectMinMs, 1);
        for (;;) {
            const int s = connectOnce();
            if (s == -2) return;
            if (s < 0) {
                if (!pause(backoff * 1000LL)) return;
                backoff = std::min(backoff * 2, std::max(ls.reconnectMaxMs, ls.reconnectMinMs));
                continue;
            }
            backoff = std::max(ls.reconnectMinMs, 1);
            emu_.noteTcpConnected(true);
            const bool dropped = serve(s);
            ::close(s);
            emu_.noteTcpConnected(false);
            if (!dropped || !pause(backoff * 1000LL)) return;
        }
    }

    Emulator& emu_;
    const Front front_;
    std::string host_;
    int port_ = 0;
    std::string path_;
    int wake_ = -1, master_ = -1, keep_ = -1;
    std::thread thread_;
};

// Here, where the fronts are complete types.
Emulator::Emulator(const MeterSettings& meter, const LinkSettings& link) : link_(link), model_(meter) {}

Emulator::~Emulator() { stop(); }

std::string Emulator::startPty() {
    std::lock_guard<std::mutex> l(frontsMu_);
    if (pty_) throw std::runtime_error("the pseudo-terminal front is already running");
    pty_ = std::make_unique<FrontThread>(*this);
    return pty_->path();
}

std::string Emulator::ptyPath() const {
    std::lock_guard<std::mutex> l(frontsMu_);
    return pty_ ? pty_->path() : std::string();
}

void Emulator::startTcpClient(const std::string& host, int port) {
    std::lock_guard<std::mutex> l(frontsMu_);
    if (tcp_) throw std::runtime_error("the TCP front is already running");
    if (port <= 0 || port > 65535) throw std::runtime_error("TCP port must be 1..65535");
    tcp_ = std::make_unique<FrontThread>(*this, host, port);
}

void Emulator::stop() {
    std::unique_ptr<FrontThread> pty, tcp;
    {
        std::lock_guard<std::mutex> l(frontsMu_);
        pty = std::move(pty_);
        tcp = std::move(tcp_);
    }
    pty.reset();
    tcp.reset();
}

}  // namespace sim5x
