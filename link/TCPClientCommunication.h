#pragma once
// TCP client link to a meter-side device (GSM/Ethernet modem, controller):
// the same bytes as on a serial line, over a blocking IPv4 stream socket. A
// peer that closes the connection makes the link lost at once.

#include <string>

#include "Communication.h"

namespace links {

class TTCPClient_Communication : public TCommunication {
public:
    TTCPClient_Communication() = default;
    ~TTCPClient_Communication() override;

    int Socket = -1;
    std::string Host;        // dotted IPv4 address; host names are not resolved
    std::int32_t Port = 0;   // low 16 bits used

    bool Open() override;
    bool Close() override;
    bool Write(const std::uint8_t* data, int count) override;
    bool Read(std::uint8_t* buffer, int& count) override;
    std::int32_t InQueue() override;
    void PurgeInput() override {}  // bytes already received stay queued
    void WaitReadable(common::Clock::time_point deadline) override;

    // How long Open waits for the server to accept, ms.
    int ConnectTimeoutMs = 21000;

private:
    // The peer closed the connection: bytes already received can still be
    // read, nothing more will come, and the link counts as lost.
    void PeerClosed();
    bool peerClosed_ = false;
};

}  // namespace links
