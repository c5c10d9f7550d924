// Faults of the line itself, on a real pseudo-terminal and a real loopback
// socket: a line that chatters without ever forming a valid reply, and a TCP
// peer that hangs up while a reply is awaited.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>


#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "link/RS232Communication.h"
#include "link/TCPClientCommunication.h"
#include "meter34/MeterNew.h"
#include "tests/support/Loopback.h"
#include "tests/support/Pty.h"

using namespace meter34;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

enum class Noise { Random, Flags };

// Bytes that never end: random ones (which now and then look like the start
// of a frame), or nothing but frame start flags.
class NoiseSource {
public:
    explicit NoiseSource(Noise kind) : kind_(kind) {}
    Bytes Next() {
        Bytes b(16, 0x7E);
        if (kind_ == Noise::Random)
            for (auto& x : b) x = static_cast<std::uint8_t>(rng_());
        return b;
    }

private:
    Noise kind_;
    std::mt19937 rng_{12345};
};

// Streams noise into a descriptor (pty master or accepted socket) until
// stopped, a chunk every few milliseconds, never blocking for long.
class Chatter {
public:
    Chatter(int fd, bool socket, Noise kind) : fd_(fd), socket_(socket), thread_([this, kind] { Run(kind); }) {}
    ~Chatter() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run(Noise kind) {
        NoiseSource noise(kind);
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLOUT)) {
                const Bytes b = noise.Next();
                if (socket_) (void)!::send(fd_, b.data(), b.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                else (void)!::write(fd_, b.data(), b.size());
            }
            std::this_thread::sleep_for(5ms);
        }
    }
    int fd_;
    bool socket_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct NoiseCase {
    const char* name;
    bool tcp;
    Noise noise;
};

class ChatteringLine : public ::testing::TestWithParam<NoiseCase> {};

}  // namespace

TEST_P(ChatteringLine, EachTryEndsWithinItsBound) {
    const NoiseCase& c = GetParam();
    testsupport::PtyPair pty;
    testsupport::LoopbackServer server;
    std::unique_ptr<links::TCommunication> link;
    int peer = -1;
    if (c.tcp) {
        auto tcp = std::make_unique<links::TTCPClient_Communication>();
        tcp->Host = "127.0.0.1";
        tcp->Port = server.port();
        ASSERT_TRUE(tcp->Open()) << tcp->LastError();
        ASSERT_TRUE(server.accept(2000));
        tcp->ExtraTimeout = 0;  // no 20 s allowance here
        link = std::move(tcp);
        // The accepted socket, for the chatter: the only descriptor the server has.
        peer = server.clientFd();
    } else {
        auto serial = std::make_unique<links::TRS232_Communication>();
        serial->DevicePath = pty.slavePath();
        serial->BaudRate = 9600;
        ASSERT_TRUE(serial->Open()) << serial->LastError();
        link = std::move(serial);
        peer = pty.master();
        ::fcntl(peer, F_SETFL, ::fcntl(peer, F_GETFL) | O_NONBLOCK);
    }
    link->Timeout = 300;
    link->TryCount = 2;
    link->RetryPause = 50;
    TDirect_MeterExchange exchange(link.get());
    TMeter meter(&exchange);
    meter.MeterNumber = 12345;
    meter.MeterVersion = 4;

    Chatter chatter(peer, c.tcp, c.noise);
    std::this_thread::sleep_for(50ms);  // the line is already busy when the request goes out
    const auto t0 = std::chrono::steady_clock::now();
    DateTime t;
    EXPECT_FALSE(meter.GetDateTime(t));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    // Twice the time-out plus, on the serial line, the line time of the
    // longest frame at 9600 bit/s; without the bound the noise would hold
    // the request for as long as it lasts (a minute).
    const long long bound = exchange.TryBoundMs();
    EXPECT_EQ(bound, c.tcp ? 600 : 600 + 556);
    EXPECT_LT(took.count(), 2 * bound + 50 + 3000) << c.name;
    EXPECT_GE(took.count(), 2 * 300) << c.name;  // both tries did wait
    // Silence or the last rejected frame: a local code, never the meter's.
    EXPECT_GE(meter.ResultCode, kResultNotReply) << c.name << ": " << int(meter.ResultCode);
    EXPECT_TRUE(link->Connected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Noise, ChatteringLine,
                         ::testing::Values(NoiseCase{"serial random", false, Noise::Random},
                                           NoiseCase{"serial flags", false, Noise::Flags},
                                           NoiseCase{"tcp random", true, Noise::Random},
                                           NoiseCase{"tcp flags", true, Noise::Flags}),
                         [](const auto& p) {
                             return std::string(p.param.tcp ? "Tcp" : "Serial") +
                                    (p.param.noise == Noise::Random ? "Random" : "Flags");
                         });

TEST(TcpPeer, HangingUpDuringTheWaitLosesTheLinkAtOnce) {
    testsupport::LoopbackServer server;
    links::TTCPClient_Communication tcp;
    tcp.Host = "127.0.0.1";
    tcp.Port = server.port();
    ASSERT_TRUE(tcp.Open()) << tcp.LastError();
    ASSERT_TRUE(server.accept(2000));
    tcp.Timeout = 4000;  // with the 20 s of a TCP link: 24 s for a reply
    tcp.TryCount = 2;
    tcp.RetryPause = 500;
    TDirect_MeterExchange exchange(&tcp);
    TMeter meter(&exchange);
    meter.MeterNumber = 12345;
    std::thread peer([&server] {
        // The state request of meter 12345 arrives; the peer hangs up without a word.
        EXPECT_EQ(server.receive(5000, 14).size(), 14u);
        std::this_thread::sleep_for(200ms);
        server.closeClient();
    });
    const auto t0 = std::chrono::steady_clock::now();
    MeterState state{};
    EXPECT_FALSE(meter.GetState(state));
    const auto took = std::chrono::steady_clock::now() - t0;
    peer.join();
    EXPECT_FALSE(tcp.Connected);  // the window and the CLI report a lost connection
    EXPECT_LT(took, 10s);
    EXPECT_EQ(meter.ResultCode, kResultNoAnswer);
}
