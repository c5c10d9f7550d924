#include "sim/meter34/Emulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sim34 {

using common::DateTime;

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

Emulator::Emulator(Config config) : config_(std::move(config)), engine_(config_) {}

Emulator::~Emulator() { stop(); }

bool Emulator::startCommon(std::string* error) {
    if (running()) return Fail(error, "the emulator is already running");
    stop_ = false;
    if (!config_.stateFile.empty()) {
        struct stat st {};
        if (::stat(config_.stateFile.c_str(), &st) == 0) {
            std::vector<MeterState> loaded;
            std::string why;
            if (!LoadStateFile(config_.stateFile, loaded, why)) return Fail(error, "state file " + why);
            std::lock_guard<std::mutex> lock(mu_);
            foreign_.clear();
            for (auto& s : loaded) {
                MeterModel* m = engine_.meter(s.number);
                if (m == nullptr) {
                    foreign_.push_back(std::move(s));
                    continue;
                }
                // The version is the device's identity: the command line says which it is.
                s.version = m->state().version;
                m->state() = std::move(s);
                m->energy().invalidate();
            }
        } else if (errno != ENOENT) {
            return Fail(error, Errno("state file " + config_.stateFile));
        }
    }
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) return Fail(error, Errno("eventfd"));
    return true;
}

bool Emulator::startPty(std::string* error) {
    if (!startCommon(error)) return false;
    tcp_ = false;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        const std::string e = Errno("pseudo-terminal");
        stop();
        return Fail(error, e);
    }
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        const std::string e = Errno("ptsname");
        stop();
        return Fail(error, e);
    }
    slavePath_ = name;
    // One descriptor of the slave stays open here: without it the master sees
    // a hang-up between two client connections, and the line settings would
    // be lost. Raw mode, so bytes pass unchanged before the client sets it.
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) {
        const std::string e = Errno(slavePath_);
        stop();
        return Fail(error, e);
    }
    termios t{};
    ::tcgetattr(slaveKeep_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slaveKeep_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard<std::mutex> lock(mu_);
        engine_.connected();
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

bool Emulator::startTcp(int port, std::string* error) {
    if (!startCommon(error)) return false;
    tcp_ = true;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0) {
        const std::string e = Errno("socket");
        stop();
        return Fail(error, e);
    }
    int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 4) != 0) {
        const std::string e = Errno("127.0.0.1:" + std::to_string(port));
        stop();
        return Fail(error, e);
    }
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void Emulator::stop() {
    if (thread_.joinable()) {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto r = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (!config_.stateFile.empty() && wake_ >= 0) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            engine_.markStateChanged();
        }
        saveState();
    }
    closeClient();
    CloseFd(listener_);
    CloseFd(slaveKeep_);
    CloseFd(master_);
    CloseFd(wake_);
}

void Emulator::closeClient() { CloseFd(client_); }

void Emulator::saveState() {
    if (config_.stateFile.empty()) return;
    std::vector<MeterState> states;
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!engine_.takeStateChanged()) return;
        for (const auto& m : engine_.meters()) states.push_back(m->state());
        states.insert(states.end(), foreign_.begin(), foreign_.end());
    }
    std::string why;
    const bool ok = SaveStateFile(config_.stateFile, states, why);
    std::lock_guard<std::mutex> lock(mu_);
    if (ok) {
        ++saves_;
    } else {
        engine_.note("state file not saved: " + why);
        engine_.markStateChanged();  // try again after the next change
    }
}

void Emulator::run() {
    std::vector<Action> actions;
    std::uint8_t buf[4096];
    while (!stop_) {
        pollfd fds[2];
        fds[0] = pollfd{wake_, POLLIN, 0};
        const int io = tcp_ ? (client_ >= 0 ? client_ : listener_) : master_;
        fds[1] = pollfd{io, POLLIN, 0};
        int timeout = -1;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (const auto next = engine_.nextTimer()) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
                timeout = static_cast<int>(std::clamp<long long>(left, 0, 60000));
            }
        }
        // A pseudo-terminal is looked after twice a second (see below).
        if (!tcp_ && (timeout < 0 || timeout > 500)) timeout = 500;
        const int r = ::poll(fds, 2, timeout);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            std::uint64_t v;
            [[maybe_unused]] const auto n = ::read(wake_, &v, sizeof v);
        }
        if (stop_) break;
        if (r > 0 && fds[1].revents != 0) {
            if (tcp_ && client_ < 0) {
                const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (c >= 0) {
                    client_ = c;
                    std::lock_guard<std::mutex> lock(mu_);
                    ++connections_;
                    engine_.connected();
                } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
                    pause(20);  // out of descriptors, say: try again shortly rather than spin
                }
            } else {
                const ssize_t n = tcp_ ? ::recv(io, buf, sizeof buf, 0) : ::read(io, buf, sizeof buf);
                if (n > 0) {
                    std::lock_guard<std::mutex> lock(mu_);
                    engine_.feed(buf, static_cast<std::size_t>(n), Clock::now(), DateTime::now(), actions);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    if (tcp_) {
                        closeClient();  // the next client may come
                    } else {
                        pause(20);  // a pseudo-terminal without its slave side: nothing to read yet
                    }
                }
            }
        }
        perform(actions);
        {
            std::lock_guard<std::mutex> lock(mu_);
            engine_.tick(Clock::now(), actions);
            actions.insert(actions.end(), pending_.begin(), pending_.end());
            pending_.clear();
        }
        perform(actions);
        // The client's serial link locks the port (TIOCEXCL); on a pseudo-
        // terminal that lock outlives the client and would keep the next
        // connection out, so the emulator lifts it again.
        if (!tcp_) ::ioctl(slaveKeep_, TIOCNXCL);
        saveState();
        changed_.notify_all();
    }
}

bool Emulator::pause(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 20)));
    }
    return false;
}

bool Emulator::writeAll(const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const int io = tcp_ ? client_ : master_;
        if (io < 0 || stop_) return false;
        const ssize_t r = tcp_ ? ::send(io, data + done, n - done, MSG_NOSIGNAL) : ::write(io, data + done, n - done);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody reads (a pseudo-terminal without a client): give up after a while.
            pollfd p{io, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return false;
            continue;
        }
        if (tcp_) closeClient();
        return false;
    }
    return true;
}

void Emulator::perform(std::vector<Action>& actions) {
    if (actions.empty()) return;
    Faults f;
    {
        std::lock_guard<std::mutex> lock(mu_);
        f = engine_.faults;
    }
    // At a line speed each byte takes 10 bit times on the wire.
    const auto send = [&](const std::uint8_t* data, std::size_t n) {
        if (f.baud <= 0) return writeAll(data, n);
        const double perByte = 10.0 / f.baud;
        const auto start = Clock::now();
        std::size_t i = 0;
        while (i < n) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const std::size_t due = std::min(n, static_cast<std::size_t>(elapsed / perByte) + 1);
            if (due > i) {
                if (!writeAll(data + i, due - i)) return false;
                i = due;
                continue;
            }
            const auto next = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(i * perByte));
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
            if (!pause(static_cast<int>(std::max<long long>(wait, 1)))) return false;
        }
        return true;
    };
    for (auto& a : actions) {
        if (stop_) break;
        switch (a.kind) {
            case Action::Write:
                send(a.bytes.data(), a.bytes.size());
                break;
            case Action::Busy:
                pause(a.ms);
                break;
            case Action::Hangup:
                if (tcp_) closeClient();
                else send(a.bytes.data(), a.bytes.size());
                break;
            case Action::Reply: {
                if (f.replyDelayMs > 0 && !pause(f.replyDelayMs)) break;
                const std::size_t chunk = f.splitChunk > 0 ? static_cast<std::size_t>(f.splitChunk) : a.bytes.size();
                for (std::size_t i = 0; i < a.bytes.size(); i += chunk) {
                    if (i > 0 && !pause(f.splitGapMs)) break;
                    if (!send(a.bytes.data() + i, std::min(chunk, a.bytes.size() - i))) break;
                }
                break;
            }
        }
    }
    actions.clear();
}

// ---- meter state ----

void Emulator::setMeterNumber(std::uint32_t number) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().state().number = number;
    engine_.main().markDirty();
}

std::uint32_t Emulator::meterNumber() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().state().number;
}

void Emulator::setVersion(std::uint16_t version) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().state().version = version;
}

void Emulator::setKeys(std::uint32_t keyA, std::uint32_t keyB) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().state().keyA = keyA;
    engine_.main().state().keyB = keyB;
    engine_.main().markDirty();
}

void Emulator::setPassword(int level, std::uint32_t password) {
    if (level != 1 && level != 2) return;
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().state().password[static_cast<std::size_t>(level - 1)] = password;
    engine_.main().markDirty();
}

std::uint32_t Emulator::keyA() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().state().keyA;
}

std::uint32_t Emulator::keyB() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().state().keyB;
}

std::uint32_t Emulator::password(int level) const {
    if (level != 1 && level != 2) return 0;
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().state().password[static_cast<std::size_t>(level - 1)];
}

void Emulator::setClockOffsetMs(std::int64_t ms) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().state().clockOffsetMs = ms;
    engine_.main().markDirty();
}

std::int64_t Emulator::clockOffsetMs() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().state().clockOffsetMs;
}

void Emulator::setMeterTime(const DateTime& meterTime) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.main().setClock(meterTime, DateTime::now());
}

DateTime Emulator::meterTime() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().clock(DateTime::now());
}

bool Emulator::sessionOpen() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().sessionOpen();
}

bool Emulator::transparentMode() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.main().transparent();
}

bool Emulator::withMeter(const std::function<void(MeterModel&)>& f, std::uint32_t number) {
    std::lock_guard<std::mutex> lock(mu_);
    MeterModel* m = number == 0 ? &engine_.main() : engine_.meter(number);
    if (m == nullptr) return false;
    f(*m);
    // Whatever the caller changed may touch the schedule or the history.
    m->energy().invalidate();
    m->markDirty();
    return true;
}

// ---- faults ----

void Emulator::setFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults = faults;
}

Faults Emulator::faults() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.faults;
}

void Emulator::setSilence(int requests) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.silence = requests;
}

void Emulator::setBadCheck(int replies) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.badCheck = replies;
}

void Emulator::setWrongPacket(int replies) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.wrongPacket = replies;
}

void Emulator::setOtherMeter(int replies) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.otherMeter = replies;
}

void Emulator::setStaleReply(int replies) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.staleReply = replies;
}

void Emulator::forceResult(std::uint8_t command, std::uint8_t result) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.forcedResults[command] = result;
}

void Emulator::clearForcedResults() {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.forcedResults.clear();
}

void Emulator::setBaud(int baud) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.baud = std::max(0, baud);
}

void Emulator::setSplit(int chunkBytes, int gapMs) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.splitChunk = std::max(0, chunkBytes);
    engine_.faults.splitGapMs = std::max(0, gapMs);
}

void Emulator::setCarrierLossAfter(int replies) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.carrierLossAfter = std::max(0, replies);
}

void Emulator::setReplyDelayMs(int ms) {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.faults.replyDelayMs = std::max(0, ms);
}

void Emulator::dropCarrier() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        engine_.dropCarrier(pending_);
    }
    if (wake_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto r = ::write(wake_, &one, sizeof one);
    }
}

// ---- log and counters ----

std::vector<LogEntry> Emulator::log() const {
    std::lock_guard<std::mutex> lock(mu_);
    return std::vector<LogEntry>(engine_.log().begin(), engine_.log().end());
}

std::vector<std::vector<std::uint8_t>> Emulator::requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& e : engine_.log())
        if (e.dir == LogEntry::Dir::In && (e.kind == LogEntry::Kind::Request || e.kind == LogEntry::Kind::Query))
            out.push_back(e.bytes);
    return out;
}

std::vector<std::vector<std::uint8_t>> Emulator::replies() const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& e : engine_.log())
        if (e.dir == LogEntry::Dir::Out && (e.kind == LogEntry::Kind::Reply || e.kind == LogEntry::Kind::Answer))
            out.push_back(e.bytes);
    return out;
}

std::vector<std::uint8_t> Emulator::rawInput() const {
    std::lock_guard<std::mutex> lock(mu_);
    return engine_.rawIn();
}

void Emulator::clearLog() {
    std::lock_guard<std::mutex> lock(mu_);
    engine_.clearLog();
}

Counters Emulator::countersLocked() const {
    Counters c = engine_.counters();
    c.connections = connections_;
    c.stateSaves = saves_;
    return c;
}

Counters Emulator::counters() const {
    std::lock_guard<std::mutex> lock(mu_);
    return countersLocked();
}

bool Emulator::waitFor(const std::function<bool(const Counters&)>& pred, int ms) const {
    std::unique_lock<std::mutex> lock(mu_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return pred(countersLocked()); });
}

}  // namespace sim34
