#pragma once
// Meter frames of versions 3 and 4 and the three ways they travel:
// directly on the link, along a route of radio retransmitting meters, or
// through a power-line (PLC) base station.
//
// Frame assembly is done by small byte-at-a-time state machines (the
// *Assembler classes) that own no I/O; the shared receive loop
// (common/core/FrameReceive.h) only feeds them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "MeterFrames.h"
#include "common/core/FrameReceive.h"
#include "link/Communication.h"

namespace meter34 {

// NeedMore (a damaged frame is dropped quietly), Frame, or Reset: the
// announced length wrapped below what arrived, so the receive ends.
using common::Push;

// Direct meter frames as they arrive on the line, unstuffed on the fly.
class DirectFrameAssembler {
public:
    Push push(std::uint8_t b);
    void reset() { p_ = 0; escape_ = false; expected_ = 0xFF + kFrameOverhead; }
    const std::uint8_t* data() const { return buf_; }
    int length() const { return p_; }

private:
    std::uint8_t buf_[kMaxFrame + 1] = {};
    int p_ = 0;
    bool escape_ = false;
    int expected_ = 0xFF + kFrameOverhead;
};

// Radio route envelopes (0x7A ... FCS); the carried frame stays stuffed.
class RFFrameAssembler {
public:
    Push push(std::uint8_t b);
    void reset() { p_ = 0; escape_ = false; expected_ = 0xFF; hops_ = 0; lengthSeen_ = false; }
    // The carried (stuffed) meter frame of the last Frame result.
    const std::uint8_t* carried() const { return buf_ + 2 * (hops_ + 1) + 5; }
    int carriedLength() const { return expected_ - 2 * (hops_ + 1) - 7; }

private:
    std::uint8_t buf_[256] = {};
    int p_ = 0;
    bool escape_ = false;
    int expected_ = 0xFF;
    int hops_ = 0;
    bool lengthSeen_ = false;
};

// PLC base-station frames (0xCA, K, 0, 0, letter, data, Sum8); no stuffing.
class PLCFrameAssembler {
public:
    explicit PLCFrameAssembler(std::uint8_t letter) : letter_(letter) {}
    Push push(std::uint8_t b);
    void reset() { p_ = 0; expected_ = 0xFF; }
    const std::uint8_t* data() const { return buf_; }
    int length() const { return expected_; }

private:
    bool acceptable() const;
    std::uint8_t letter_;
    std::uint8_t buf_[256] = {};
    int p_ = 0;
    int expected_ = 0xFF;
};

// Waits for one direct frame on the link: time-out Timeout + ExtraTimeout,
// restarted by every byte, within the bound of one try. On success buffer
// holds the unstuffed frame.
bool ReceiveDirectFrame(links::TCommunication& link, std::uint8_t* buffer, int& length);

// The latest end of a receive whose time-out T restarts with every byte:
// twice T plus the line time of the longest frame it may have to take in.
// Real replies fit well inside; a line that chatters without ever forming
// an acceptable frame (noise, a wrong speed) cannot hold the wait longer.
long long ReceiveBoundMs(const links::TCommunication& link, long long timeoutMs, int longestBytes);

class TMeterExchange {
public:
    explicit TMeterExchange(links::TCommunication* l = nullptr) : Link(l) {}
    virtual ~TMeterExchange() = default;
    TMeterExchange(const TMeterExchange&) = delete;
    TMeterExchange& operator=(const TMeterExchange&) = delete;

    links::TCommunication* Link;  // not owned

    // Wraps the already stuffed meter frame and writes it in one call.
    virtual bool SendFrame(const std::uint8_t* frame, int length) = 0;
    // Waits for one reply and delivers the meter frame it carries, unstuffed
    // (buffer: kFrameBufferSize). The time-out restarts with every byte; the
    // receive ends by notAfter whatever arrives.
    virtual bool ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) = 0;
    // The same, within the bound of one try from now.
    bool ReceiveFrame(std::uint8_t* buffer, int& length) { return ReceiveFrame(buffer, length, TryEnd()); }

    // Reply time-out, restarted by every received byte, ms.
    virtual long long ReplyTimeoutMs() const = 0;
    // The longest reply this exchange takes in, in bytes on the line.
    virtual int LongestReplyBytes() const = 0;
    // A try ends by then at the latest (ReceiveBoundMs of the reply time-out).
    long long TryBoundMs() const;
    common::Clock::time_point TryEnd() const;
};

class TDirect_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    using TMeterExchange::ReceiveFrame;
    bool SendFrame(const std::uint8_t* frame, int length) override;
    // The direct frame receiver: meter frames on the line, unstuffed on the fly.
    bool ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) override;
    long long ReplyTimeoutMs() const override;
    int LongestReplyBytes() const override { return kMaxStuffedFrame; }
};

class TRF_Route_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    using TMeterExchange::ReceiveFrame;
    std::uint16_t Route[kMaxRoute] = {};
    std::uint8_t RouteLast = 0;  // addresses in use - 1; the last one is the meter

    // "a;b;c" decimal addresses (each taken modulo 65536); false on an entry
    // that is not an integer or on more than 16 entries.
    bool SetRoute(const std::string& text);
    bool SendFrame(const std::uint8_t* frame, int length) override;
    bool ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) override;
    // Every address of the route adds one Timeout.
    long long ReplyTimeoutMs() const override;
    int LongestReplyBytes() const override { return MaxStuffedRFEnvelope(RouteLast + 1); }
};

class TPLC_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    using TMeterExchange::ReceiveFrame;
    std::uint16_t Destination = 0;  // PLC modem of the meter

    bool SendFrame(const std::uint8_t* frame, int length) override;
    bool ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) override;
    // The station's own 5 s on top of Timeout.
    long long ReplyTimeoutMs() const override;
    int LongestReplyBytes() const override { return kMaxPLCFrame; }
    // Number of modems registered in the station (query 0x65); 0 on failure.
    std::uint16_t GetModemCount();
    // The 21-byte node record of node index (query 0x69).
    bool GetNodeInfo(std::uint16_t index, std::uint8_t record[21]);

private:
    // Sends a station query and waits for its answer (time-out ExtraTimeout + 10000).
    bool Query(const std::uint8_t* query, int length, PLCFrameAssembler& answer);
};

}  // namespace meter34
