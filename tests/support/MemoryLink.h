#pragma once
// A link whose far end lives in the test: every Write is handed to a
// responder, which queues the bytes the far end sends back, each chunk
// readable from a given moment on. Nothing else ever arrives, so a wait for
// bytes lasts to its deadline as on a silent line, and every byte restarts
// a receiver's time-out as on a real one. For command-layer tests where the
// line itself is not what is tested: no pseudo-terminal, no thread.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/Communication.h"

namespace testsupport {

class MemoryLink : public links::TCommunication {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Called with every block written, in order.
    using Responder = std::function<void(const Bytes& written, MemoryLink& link)>;

    MemoryLink() { Open(); }

    Responder responder;
    // A serial line discards what arrived before a request; a TCP link keeps it.
    bool purgeOnWrite = true;
    // Line speed, bit/s, for the line time of frames (0: none, as over TCP).
    int baudRate = 0;

    // The far end sends bytes that arrive afterMs from now (and never before
    // bytes sent earlier).
    void Send(Bytes bytes, int afterMs = 0);
    // The far end is gone: the link is lost (as after a carrier loss).
    void Drop() { Connected = false; }
    // Everything written, one entry per Write.
    const std::vector<Bytes>& Written() const { return written_; }

    bool Open() override {
        Opened = Connected = true;
        return true;
    }
    bool Close() override {
        Opened = Connected = false;
        return true;
    }
    bool Write(const std::uint8_t* data, int count) override;
    bool Read(std::uint8_t* buffer, int& count) override;
    std::int32_t InQueue() override;
    void PurgeInput() override;
    void WaitReadable(common::Clock::time_point deadline) override;
    long long LineTimeMs(int count) const override {
        return baudRate > 0 ? (10000LL * count + baudRate - 1) / baudRate : 0;
    }

private:
    struct Chunk {
        common::Clock::time_point at;
        Bytes bytes;
        std::size_t taken = 0;
    };
    std::deque<Chunk> pending_;
    std::vector<Bytes> written_;
};

}  // namespace testsupport
