// The TCP-server link; not part of the serial-only build.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>

#include "CounterCommunication.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace console {

namespace {

// The last reply received over TCP, one pair for the whole program. The
// client thread assembles a frame privately, then copies it here and
// publishes its length (release); the window's thread sees the length
// (acquire) before it copies the bytes out. The lock keeps a frame arriving
// right behind the first from overwriting it while it is copied.
struct TcpReply {
    std::mutex mutex;
    std::condition_variable arrived;
    std::uint8_t buffer[kFrameBufferSize] = {};
    // -1: no reply yet, 0: a frame with a wrong check code, n: n valid bytes.
    std::atomic<int> length{-1};
};

TcpReply& Reply() {
    static TcpReply reply;
    return reply;
}

void PublishReply(const std::uint8_t* frame, int length) {
    auto& r = Reply();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (length > 0) std::memcpy(r.buffer, frame, static_cast<std::size_t>(length));
        r.length.store(length, std::memory_order_release);
    }
    r.arrived.notify_all();
}

// Bytes read from a client at once.
constexpr std::size_t kChunkSize = 1024;
// Longest wait for client data before the thread looks round again.
constexpr int kClientPollMs = 5000;

std::string ListenError(int error, std::uint16_t port) {
    const std::string p = std::to_string(port);
    if (error == EADDRINUSE) return "порт " + p + " уже занят другой программой";
    if (error == EACCES)
        return "нет прав открыть порт " + p + " (порты ниже 1024 доступны только администратору)";
    return "не удалось открыть порт " + p + ": " + std::strerror(error);
}

}  // namespace

TTCPIPCommunication::TTCPIPCommunication(Dispatcher runOnWindowThread) : dispatch_(std::move(runOnWindowThread)) {}

TTCPIPCommunication::~TTCPIPCommunication() { Shutdown(); }

bool TTCPIPCommunication::HasClient() const {
    std::lock_guard<std::mutex> lock(clientMutex_);
    return clientFd_ >= 0;
}

bool TTCPIPCommunication::StartListening(std::uint16_t port, const std::string& address) {
    lastError_.clear();
    if (IsListening()) {
        lastError_ = "сервер уже запущен на порту " + std::to_string(port_);
        return false;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        lastError_ = "неверный адрес " + address;
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError_ = ListenError(errno, port);
        return false;
    }
    // A restarted server may take its port back at once (connections of the
    // previous run may still linger); a second listener is still refused.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0) {
        lastError_ = ListenError(errno, port);
        ::close(fd);
        return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        lastError_ = ListenError(errno, port);
        ::close(fd);
        return false;
    }
    port_ = ntohs(sa.sin_port);
    listenFd_ = fd;
    wakeFd_ = wake;
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void TTCPIPCommunication::Shutdown() {
    if (listenFd_ < 0) return;
    stopping_ = true;
    const std::uint64_t one = 1;
    // The event counter stays readable, so every thread polling it wakes.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    if (acceptThread_.joinable()) acceptThread_.join();
    // A client thread may be waiting in the dispatcher for this very thread:
    // let the window run what it queued (OnConnected is skipped while
    // stopping) until the client thread has finished.
    while (clientActive_.load(std::memory_order_acquire)) {
        common::ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (clientThread_.joinable()) clientThread_.join();
    ::close(listenFd_);
    ::close(wakeFd_);
    listenFd_ = -1;
    wakeFd_ = -1;
}

bool TTCPIPCommunication::StopListening() {
    Shutdown();
    // The handler may free this link: nothing of it is touched afterwards.
    if (auto handler = OnDisconnected) handler(*this);
    return true;
}

void TTCPIPCommunication::AcceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors and the like: do not spin on the pending connection.
            if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (clientActive_.load(std::memory_order_acquire)) {
            // One meter-side client at a time: a second one could write into
            // the reply of the first.
            ::close(fd);
            continue;
        }
        if (clientThread_.joinable()) clientThread_.join();  // the previous client's, finished
        {
            std::lock_guard<std::mutex> lock(clientMutex_);
            clientFd_ = fd;
        }
        clientActive_.store(true, std::memory_order_release);
        clientThread_ = std::thread([this, fd] { ServeClient(fd); });
    }
}

void TTCPIPCommunication::ServeClient(int fd) {
    bool connected = true;
    if (!stopping_) {
        auto fire = [this, &connected] {
            if (stopping_) return;  // the server is going away
            if (auto handler = OnConnected) handler(*this, connected);
        };
        if (dispatch_) dispatch_(fire);
        else fire();
    }
    TcpFrameAssembler assembly;
    std::uint8_t chunk[kChunkSize];
    while (!stopping_) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(fds, 2, kClientPollMs);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) continue;
        if (fds[1].revents != 0) break;
        if (fds[0].revents == 0) continue;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the client left, or the connection failed: errors are not reported
        switch (assembly.PushChunk(chunk, static_cast<std::size_t>(n))) {
            case TcpFrameAssembler::Outcome::Frame: PublishReply(assembly.Data(), assembly.Length()); break;
            case TcpFrameAssembler::Outcome::BadCheck: PublishReply(nullptr, 0); break;
            case TcpFrameAssembler::Outcome::Reset:
            case TcpFrameAssembler::Outcome::NeedMore: break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(clientMutex_);
        ::close(fd);
        clientFd_ = -1;
    }
    clientActive_.store(false, std::memory_order_release);
}

bool TTCPIPCommunication::ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) {
    std::uint8_t frame[kFrameBufferSize];
    const int frameLength = BuildFrame(code, buffer, length, frame);
    if (frameLength == 0) return false;
    auto& reply = Reply();
    {
        std::lock_guard<std::mutex> lock(clientMutex_);
        if (clientFd_ < 0) return false;
        // Cleared before sending: a fast reply must not be wiped out.
        reply.length.store(-1, std::memory_order_release);
        int done = 0;
        while (done < frameLength) {
            const ssize_t n = ::send(clientFd_, frame + done, static_cast<std::size_t>(frameLength - done), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<int>(n);
        }
    }
    if (!replyWanted) {
        common::SleepMs(common::timings().consoleSendPauseMs);
        return true;
    }
    const auto deadline = common::DeadlineAfter(common::timings().consoleTcpReplyMs);
    const bool slices = common::HasProcessEventsHook();
    int got = -1;
    for (;;) {
        got = reply.length.load(std::memory_order_acquire);
        if (got != -1 || common::Passed(deadline)) break;
        if (!HasClient()) break;  // the meter side left: no reply can come
        common::ProcessPendingEvents();
        std::unique_lock<std::mutex> lock(reply.mutex);
        const auto until = slices ? std::min(deadline, common::Clock::now() + common::kEventSlice) : deadline;
        reply.arrived.wait_until(lock, until, [&] { return reply.length.load(std::memory_order_acquire) != -1; });
    }
    if (got <= 0) return false;
    std::lock_guard<std::mutex> lock(reply.mutex);
    got = reply.length.load(std::memory_order_acquire);
    if (got <= 0 || got > kMaxFrameLength) return false;
    std::memcpy(buffer, reply.buffer, static_cast<std::size_t>(got));
    return true;
}

}  // namespace console
