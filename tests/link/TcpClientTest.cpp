// The TCP client link against a loopback server.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/TCPClientCommunication.h"
#include "tests/support/Loopback.h"

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes Drain(links::TTCPClient_Communication& tcp, int ms) {
    Bytes out;
    const auto deadline = common::DeadlineAfter(ms);
    while (!common::Passed(deadline)) {
        while (tcp.InQueue() > 0) {
            std::uint8_t b;
            int n = 1;
            if (!tcp.Read(&b, n) || n != 1) break;
            out.push_back(b);
        }
        tcp.WaitReadable(deadline);
    }
    return out;
}
}  // namespace

TEST(TcpClient, ConnectsExchangesAndLosesTheLinkWhenThePeerCloses) {
    testsupport::LoopbackServer server;
    links::TTCPClient_Communication tcp;
    tcp.Host = "127.0.0.1";
    tcp.Port = server.port() | 0x10000;  // only the low 16 bits count
    ASSERT_TRUE(tcp.Open()) << tcp.LastError();
    ASSERT_TRUE(server.accept(2000));
    EXPECT_TRUE(tcp.Connected);
    EXPECT_EQ(tcp.ExtraTimeout, 20000);

    const Bytes request = {0x7E, 0x02, 0x39, 0x30};
    EXPECT_TRUE(tcp.Write(request.data(), 4));
    EXPECT_EQ(server.receive(2000, 4), request);
    server.send({0x01, 0x02, 0x03});
    tcp.PurgeInput();  // keeps what arrived: the receivers skip stale bytes
    EXPECT_EQ(Drain(tcp, 300), (Bytes{0x01, 0x02, 0x03}));
    EXPECT_TRUE(tcp.Connected);

    // What the peer sent before closing is still read; then the link is lost.
    server.send({0x04, 0x05});
    server.closeClient();
    EXPECT_EQ(Drain(tcp, 300), (Bytes{0x04, 0x05}));
    EXPECT_FALSE(tcp.Connected);
    EXPECT_EQ(tcp.InQueue(), 0);

    // Writing into the closed connection must not kill the process.
    for (int i = 0; i < 5; ++i) {
        tcp.Write(request.data(), 4);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(tcp.Connected);
    EXPECT_TRUE(tcp.Close());
    EXPECT_FALSE(tcp.Opened);
    EXPECT_EQ(tcp.Socket, -1);
}

TEST(TcpClient, RefusedAndMalformedAddressesFail) {
    struct Case { std::string host; int port; } cases[] = {
        {"127.0.0.1", testsupport::UnusedLoopbackPort()},
        {"localhost", 80},
        {"127.0.0", 80},
        {"", 80},
        {"300.1.1.1", 80},
    };
    for (const auto& c : cases) {
        links::TTCPClient_Communication tcp;
        tcp.Host = c.host;
        tcp.Port = c.port;
        EXPECT_FALSE(tcp.Open()) << c.host;
        EXPECT_FALSE(tcp.Connected) << c.host;
        EXPECT_FALSE(tcp.LastError().empty()) << c.host;
        EXPECT_EQ(tcp.ExtraTimeout, 0) << c.host;
        EXPECT_TRUE(tcp.Close());
    }
}
