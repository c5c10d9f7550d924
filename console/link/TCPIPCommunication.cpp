#include "TCPIPCommunication.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

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
// Longer than any dispatcher that only posts its call takes to return.
constexpr long long kPostingDispatchMs = 200;

std::string ListenError(int error, std::uint16_t port) {
    const std::string p = std::to_string(port);
    if (error == EADDRINUSE) return "порт " + p + " уже занят другой программой";
    if (error == EACCES)
        return "нет прав открыть порт " + p + " (порты ниже 1024 доступны только администратору)";
    return "не удалось открыть порт " + p + ": " + std::strerror(error);
}

// One accepted connection. Its descriptor is closed when the last holder
// lets go (the client thread, and an exchange sending on it), so a number
// the system hands out again is never written to by mistake.
struct Connection {
    explicit Connection(int descriptor) : fd(descriptor) {}
    ~Connection() { ::close(fd); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Ends the connection: wakes the client thread's wait and any send
    // blocked on it.
    void Drop() {
        gone.store(true, std::memory_order_release);
        ::shutdown(fd, SHUT_RDWR);
    }
    bool Gone() const { return gone.load(std::memory_order_acquire); }

    const int fd;
    std::atomic<bool> gone{false};
};

// Sends the whole frame before deadline; false when the connection failed,
// ended or took nothing for that long. The window processes its events
// while the meter side's buffers are full.
bool SendWithin(Connection& c, const std::uint8_t* data, int count, common::Clock::time_point deadline) {
    int done = 0;
    while (done < count) {
        if (c.Gone()) return false;
        const ssize_t n = ::send(c.fd, data + done, static_cast<std::size_t>(count - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        if (common::Passed(deadline)) return false;
        common::ProcessPendingEvents();
        auto until = deadline;
        if (common::HasProcessEventsHook()) until = std::min(until, common::Clock::now() + common::kEventSlice);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - common::Clock::now()).count();
        pollfd p{c.fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
    }
    return true;
}

// The connected event of one client, handed to the window's thread.
struct ConnectedCall {
    std::mutex mutex;
    std::condition_variable settled;
    bool done = false;       // it has run
    bool cancelled = false;  // the server stopped first: it must not run
};

}  // namespace

struct TTCPIPCommunication::Server {
    explicit Server(TTCPIPCommunication& link) : owner(link) {}

    void AcceptLoop();
    void Serve(const std::shared_ptr<Connection>& connection);
    // Fires OnConnected on the window's thread; returns once it has run or
    // the server stops.
    void AnnounceClient();
    void Stop();
    std::shared_ptr<Connection> Client() {
        std::lock_guard<std::mutex> lock(mutex);
        return client;
    }

    TTCPIPCommunication& owner;
    int listenFd = -1;
    int wakeFd = -1;  // readable once the server stops
    std::atomic<bool> stopping{false};
    std::thread acceptThread;
    std::thread clientThread;
    std::atomic<bool> clientActive{false};
    std::atomic<bool> inDispatch{false};  // the client thread is inside the dispatcher
    std::mutex mutex;                     // guards client and pending, held briefly
    std::shared_ptr<Connection> client;
    std::shared_ptr<ConnectedCall> pending;
};

void TTCPIPCommunication::Server::AcceptLoop() {
    while (!stopping) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors and the like: do not spin on the pending connection.
            if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (clientActive.load(std::memory_order_acquire)) {
            // One meter-side client at a time: a second one could write into
            // the reply of the first.
            ::close(fd);
            continue;
        }
        if (clientThread.joinable()) clientThread.join();  // the previous client's, finished
        auto connection = std::make_shared<Connection>(fd);
        {
            std::lock_guard<std::mutex> lock(mutex);
            client = connection;
        }
        clientActive.store(true, std::memory_order_release);
        clientThread = std::thread([this, connection] { Serve(connection); });
    }
}

void TTCPIPCommunication::Server::AnnounceClient() {
    auto call = std::make_shared<ConnectedCall>();
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = call;
    }
    if (stopping) return;  // Stop may have looked for it before it was there
    // Runs on the window's thread. Once cancelled it touches nothing but the
    // call: the server and the link may be gone by then.
    auto fire = [this, call] {
        {
            std::lock_guard<std::mutex> lock(call->mutex);
            if (call->cancelled) return;
        }
        bool connected = true;
        // The handler may stop the server or free the link: neither is touched afterwards.
        if (auto handler = owner.OnConnected) handler(owner, connected);
        {
            std::lock_guard<std::mutex> lock(call->mutex);
            call->done = true;
        }
        call->settled.notify_all();
    };
    inDispatch.store(true, std::memory_order_release);
    if (owner.dispatch_) owner.dispatch_(fire);
    else fire();
    inDispatch.store(false, std::memory_order_release);
    std::unique_lock<std::mutex> lock(call->mutex);
    call->settled.wait(lock, [&] { return call->done || call->cancelled; });
}

void TTCPIPCommunication::Server::Serve(const std::shared_ptr<Connection>& connection) {
    AnnounceClient();
    const int fd = connection->fd;
    TcpFrameAssembler assembly;
    std::uint8_t chunk[kChunkSize];
    while (!stopping) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
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
        // What follows a completed or dropped frame in the same chunk is dropped too.
        for (ssize_t i = 0; i < n; ++i) {
            const common::Push step = assembly.push(chunk[i]);
            if (step == common::Push::NeedMore) continue;
            if (step == common::Push::Frame) PublishReply(assembly.Data(), assembly.Count());
            else if (assembly.LastFault() == FrameAssembler::Fault::CheckCode) PublishReply(nullptr, 0);
            break;
        }
    }
    connection->Drop();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (client == connection) client.reset();
    }
    clientActive.store(false, std::memory_order_release);
}

void TTCPIPCommunication::Server::Stop() {
    stopping = true;
    const std::uint64_t one = 1;
    // The event counter stays readable, so every thread polling it wakes.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (pending) {
            std::lock_guard<std::mutex> callLock(pending->mutex);
            pending->cancelled = true;
            pending->settled.notify_all();
        }
        if (client) client->Drop();
    }
    if (acceptThread.joinable()) acceptThread.join();
    // A dispatcher that posts returns at once; one that returns once the call
    // has run keeps the client thread in it until this thread runs what it
    // queued (the call itself is skipped). Events are processed for that case
    // only, so a window being destroyed is never re-entered.
    const auto posted = common::DeadlineAfter(kPostingDispatchMs);
    while (inDispatch.load(std::memory_order_acquire)) {
        if (common::Passed(posted)) common::ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (clientThread.joinable()) clientThread.join();
    ::close(listenFd);
    ::close(wakeFd);
}

TTCPIPCommunication::TTCPIPCommunication(Dispatcher runOnWindowThread) : dispatch_(std::move(runOnWindowThread)) {}

TTCPIPCommunication::~TTCPIPCommunication() { Shutdown(); }

bool TTCPIPCommunication::HasClient() const {
    if (!server_) return false;
    const auto c = server_->Client();
    return c && !c->Gone();
}

void TTCPIPCommunication::DropClient() {
    if (!server_) return;
    if (const auto c = server_->Client()) c->Drop();
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
    server_ = std::make_unique<Server>(*this);
    server_->listenFd = fd;
    server_->wakeFd = wake;
    Server* server = server_.get();
    server->acceptThread = std::thread([server] { server->AcceptLoop(); });
    return true;
}

void TTCPIPCommunication::Shutdown() {
    if (!server_) return;
    server_->Stop();
    server_.reset();
}

bool TTCPIPCommunication::StopListening() {
    Shutdown();
    // The handler may free this link: nothing of it is touched afterwards.
    if (auto handler = OnDisconnected) handler(*this);
    return true;
}

bool TTCPIPCommunication::ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) {
    std::uint8_t frame[kFrameBufferSize];
    const int frameLength = BuildFrame(code, buffer, length, frame);
    if (frameLength == 0) return false;
    // Held for the whole exchange: it stays this client's, whoever connects later.
    const auto client = server_ ? server_->Client() : nullptr;
    if (!client || client->Gone()) {
        LastExchangeFault = ExchangeFault::LinkLost;
        return false;
    }
    auto& reply = Reply();
    const long long replyMs = common::timings().consoleTcpReplyMs;
    // Cleared before sending: a fast reply must not be wiped out.
    reply.length.store(-1, std::memory_order_release);
    if (!SendWithin(*client, frame, frameLength, common::DeadlineAfter(replyMs))) {
        LastExchangeFault = client->Gone() ? ExchangeFault::LinkLost : ExchangeFault::NotSent;
        return false;
    }
    if (!replyWanted) {
        common::SleepMs(common::timings().consoleSendPauseMs);
        return true;
    }
    const auto deadline = common::DeadlineAfter(replyMs);
    const bool slices = common::HasProcessEventsHook();
    int got = -1;
    for (;;) {
        got = reply.length.load(std::memory_order_acquire);
        if (got != -1 || common::Passed(deadline)) break;
        if (client->Gone()) break;  // the meter side left: no reply can come
        common::ProcessPendingEvents();
        std::unique_lock<std::mutex> lock(reply.mutex);
        const auto until = slices ? std::min(deadline, common::Clock::now() + common::kEventSlice) : deadline;
        reply.arrived.wait_until(lock, until, [&] { return reply.length.load(std::memory_order_acquire) != -1; });
    }
    if (got == 0) LastExchangeFault = ExchangeFault::BadCheck;
    if (got < 0) LastExchangeFault = client->Gone() ? ExchangeFault::LinkLost : ExchangeFault::NoReply;
    if (got <= 0) return false;
    std::lock_guard<std::mutex> lock(reply.mutex);
    got = reply.length.load(std::memory_order_acquire);
    if (got <= 0 || got > kMaxFrameLength) return false;
    std::memcpy(buffer, reply.buffer, static_cast<std::size_t>(got));
    return true;
}

}  // namespace console
