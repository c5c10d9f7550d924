// The emulator on a real pseudo-terminal and as a TCP client of a loopback server.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/counter5x/Emulator.h"
#include "tests/sim/counter5x/Wire.h"
#include "tests/support/Loopback.h"

using namespace sim5x;
using wire::Bytes;

namespace {

constexpr wire::Key kKey = {0xA5, 0x5A, 0x0F, 0xF0};

MeterSettings Small() {
    MeterSettings s;
    s.profilePoints = 100;
    return s;
}

// Opens the emulator's terminal as the console opens a serial port. A client
// that set exclusive use may need a moment before it can open it again.
int OpenLine(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
            ::ioctl(fd, TIOCEXCL);
            ::tcflush(fd, TCIFLUSH);
            return fd;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::optional<wire::Reply> Ask(int fd, const Bytes& request, const wire::Key& key = {}) {
    wire::WriteAll(fd, request);
    return wire::Parse(wire::ReadFrame(fd, 5000), key);
}

// A listening socket on a chosen loopback port (the console's server).
struct Listener {
    int fd = -1;
    explicit Listener(int port) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    int accept(int ms) const {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return -1;
        return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
};

}  // namespace

TEST(Sim5xPty, AnswersOnAPseudoTerminalAcrossReopens) {
    Emulator meter(Small());
    meter.setFixedSessionKey(kKey);
    const std::string path = meter.startPty();
    EXPECT_EQ(meter.ptyPath(), path);
    EXPECT_THROW(meter.startPty(), std::runtime_error);

    for (int round = 0; round < 2; ++round) {
        const int fd = OpenLine(path);
        ASSERT_GE(fd, 0) << path;
        wire::WriteAll(fd, {0x7E, 0x00, 0x02, 0xBC});  // end of session: no reply
        EXPECT_TRUE(meter.waitUntil([round](const Counters& c) { return c.sessionsEnded > static_cast<unsigned>(round); }, 10000));
        const auto auth = Ask(fd, wire::Auth(1234567, 1));
        ASSERT_TRUE(auth) << "round " << round;
        EXPECT_EQ(auth->code, 4);
        EXPECT_EQ(wire::KeyOf(*auth), kKey);
        // Paced like a slow line, still the same bytes.
        meter.updateFaults([round](Faults& f) { f.paceBaud = round ? 0 : 9600; });
        const auto clock = Ask(fd, wire::Frame(7, {}, kKey), kKey);
        ASSERT_TRUE(clock);
        EXPECT_EQ(clock->code, 7);
        EXPECT_EQ(clock->data.size(), 8u);
        ::close(fd);
    }
    const auto log = meter.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().front, Front::Pty);
    EXPECT_EQ(log.front().bytes, (Bytes{0x7E, 0x00, 0x02, 0xBC}));
    EXPECT_EQ(meter.counters().answered, 4u);
    meter.stop();
    EXPECT_EQ(meter.ptyPath(), "");
}

TEST(Sim5xPty, SplitReplyAndTrailingBytesArriveAsSent) {
    Emulator meter(Small());
    const std::string path = meter.startPty();
    const int fd = OpenLine(path);
    ASSERT_GE(fd, 0);
    meter.updateFaults([](Faults& f) {
        f.splitChunk = 5;
        f.splitGapMs = 20;
        f.trailing = {0xEE};
    });
    wire::WriteAll(fd, wire::Auth(1234567, 1));
    Bytes got = wire::ReadFrame(fd, 5000);
    const Bytes rest = wire::ReadFrame(fd, 500);  // the trailing byte, if it came apart
    got.insert(got.end(), rest.begin(), rest.end());
    ASSERT_EQ(got.size(), 13u);
    EXPECT_TRUE(wire::Parse(got));
    EXPECT_EQ(got.back(), 0xEE);
    ::close(fd);
}

TEST(Sim5xTcp, ConnectsWhenTheServerComesAndReconnectsAfterARestart) {
    LinkSettings link;
    link.reconnectMinMs = 20;
    link.reconnectMaxMs = 200;
    Emulator meter(Small(), link);
    meter.setFixedSessionKey(kKey);
    const int port = testsupport::UnusedLoopbackPort();
    meter.startTcpClient("127.0.0.1", port);
    EXPECT_FALSE(meter.waitTcpConnected(300));  // nobody listens yet: refused, retried

    for (int round = 0; round < 2; ++round) {
        Listener server(port);
        ASSERT_GE(server.fd, 0);
        const int client = server.accept(10000);
        ASSERT_GE(client, 0) << "round " << round;
        EXPECT_TRUE(meter.waitTcpConnected(10000));
        const auto auth = Ask(client, wire::Auth(1234567, 1));
        ASSERT_TRUE(auth) << "round " << round;
        EXPECT_EQ(auth->code, 4);
        const auto area = Ask(client, wire::ReadArea(8, 0, kKey), kKey);
        ASSERT_TRUE(area);
        EXPECT_EQ(area->data.size(), 18u);
        ::close(client);  // the server goes away; the listener closes with it
    }
    EXPECT_GE(meter.counters().tcpConnects, 2u);
    meter.stop();
    EXPECT_FALSE(meter.tcpConnected());
}

TEST(Sim5xTcp, HangsUpInPlaceOfAReplyOnceAndConnectsAgain) {
    LinkSettings link;
    link.reconnectMinMs = 20;
    Emulator meter(Small(), link);
    meter.setFixedSessionKey(kKey);
    const int port = testsupport::UnusedLoopbackPort();
    Listener server(port);
    ASSERT_GE(server.fd, 0);
    meter.startTcpClient("127.0.0.1", port);
    const int first = server.accept(10000);
    ASSERT_GE(first, 0);
    meter.updateFaults([](Faults& f) { f.hangUpAfter = 1; });
    ASSERT_TRUE(Ask(first, wire::Auth(1234567, 1)));  // the one reply still sent
    wire::WriteAll(first, wire::ReadArea(8, 0, kKey));
    // In place of the second reply the connection ends.
    pollfd p{first, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    std::uint8_t b;
    EXPECT_EQ(::recv(first, &b, 1, 0), 0);
    ::close(first);
    // Then the meter is back, and the fault has worn off.
    const int second = server.accept(10000);
    ASSERT_GE(second, 0);
    const auto auth = Ask(second, wire::Auth(1234567, 1));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->code, 4);
    EXPECT_TRUE(Ask(second, wire::ReadArea(8, 0, kKey), kKey));
    ::close(second);
}

TEST(Sim5xTcp, SplitFramesLeaveInPieces) {
    testsupport::LoopbackServer server;
    Emulator meter(Small());
    meter.startTcpClient("localhost", server.port());
    ASSERT_TRUE(server.accept(10000));
    meter.updateFaults([](Faults& f) {
        f.splitChunk = 4;
        f.splitGapMs = 300;
    });
    server.send(wire::Auth(1234567, 1));
    Bytes got = server.receive(10000, 1);
    EXPECT_LE(got.size(), 4u);  // the first piece alone
    const Bytes rest = server.receive(10000, 12 - got.size());
    got.insert(got.end(), rest.begin(), rest.end());
    ASSERT_EQ(got.size(), 12u);
    EXPECT_TRUE(wire::Parse(got));
}

TEST(Sim5xTcp, StopsPromptlyInTheMiddleOfASlowReply) {
    testsupport::LoopbackServer server;
    Emulator meter(Small());
    meter.startTcpClient("127.0.0.1", server.port());
    ASSERT_TRUE(server.accept(10000));
    meter.updateFaults([](Faults& f) { f.byteGapMs = 60000; });
    server.send(wire::Auth(1234567, 1));
    EXPECT_EQ(server.receive(10000, 1).size(), 1u);
    meter.stop();  // would hang for minutes if the pause ignored it
}
