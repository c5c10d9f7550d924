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

#include "common/core/FrameReceive.h"
#include "link/Communication.h"

namespace meter34 {

// Meter frame: 0x7E, L, number (4), version, 0, packet, type, payload (L), FCS (2).
constexpr int kFrameOverhead = 12;
constexpr int kMaxFrame = 255 + kFrameOverhead;       // unstuffed
constexpr int kMaxStuffedFrame = 1 + 2 * (kMaxFrame - 1);
// Every buffer handed to a receiver or to UnstuffFrame must hold this much.
constexpr int kFrameBufferSize = 1024;

constexpr std::uint8_t kFrameStart = 0x7E;
constexpr std::uint8_t kRFStart = 0x7A;
constexpr std::uint8_t kPLCStart = 0xCA;
constexpr int kMaxRoute = 16;
constexpr int kMaxPLCCarried = 242;  // K = frame + 13 must fit one byte

// Builds an unstuffed meter frame around payload (length L = count <= 255):
// header, payload and FCS. Returns the frame length L + 12. The caller
// enciphers the payload beforehand when the frame carries the cipher bit.
int BuildMeterFrame(std::uint32_t meterNumber, std::uint16_t version, std::uint8_t packetByte,
                    std::uint8_t typeByte, const std::uint8_t* payload, int count, std::uint8_t* out);

// Stuffs a meter frame (all bytes but the first); returns the stuffed length.
// out must hold 2 * length bytes.
int StuffFrame(const std::uint8_t* frame, int length, std::uint8_t* out);
// Inverse of StuffFrame, in place; length becomes the number of bytes produced.
void UnstuffFrame(std::uint8_t* buffer, int& length);

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
// restarted by every byte. On success buffer holds the unstuffed frame.
bool ReceiveDirectFrame(links::TCommunication& link, std::uint8_t* buffer, int& length);

class TMeterExchange {
public:
    explicit TMeterExchange(links::TCommunication* l = nullptr) : Link(l) {}
    virtual ~TMeterExchange() = default;
    TMeterExchange(const TMeterExchange&) = delete;
    TMeterExchange& operator=(const TMeterExchange&) = delete;

    links::TCommunication* Link;  // not owned

    // Wraps the already stuffed meter frame and writes it in one call.
    virtual bool SendFrame(const std::uint8_t* frame, int length) = 0;
    // Waits for one reply envelope; delivers the carried, still stuffed frame.
    virtual bool ReceiveFrame(std::uint8_t* buffer, int& length) = 0;
    virtual bool IsDirect() const { return false; }
};

class TDirect_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    bool SendFrame(const std::uint8_t* frame, int length) override;
    // A plain read of what the link holds (meter replies use ReceiveDirectFrame).
    bool ReceiveFrame(std::uint8_t* buffer, int& length) override;
    bool IsDirect() const override { return true; }
};

class TRF_Route_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    std::uint16_t Route[kMaxRoute] = {};
    std::uint8_t RouteLast = 0;  // addresses in use - 1; the last one is the meter

    // "a;b;c" decimal addresses (each taken modulo 65536); false on an entry
    // that is not an integer or on more than 16 entries.
    bool SetRoute(const std::string& text);
    bool SendFrame(const std::uint8_t* frame, int length) override;
    bool ReceiveFrame(std::uint8_t* buffer, int& length) override;
};

class TPLC_MeterExchange : public TMeterExchange {
public:
    using TMeterExchange::TMeterExchange;
    std::uint16_t Destination = 0;  // PLC modem of the meter

    bool SendFrame(const std::uint8_t* frame, int length) override;
    bool ReceiveFrame(std::uint8_t* buffer, int& length) override;
    // Number of modems registered in the station (query 0x65); 0 on failure.
    std::uint16_t GetModemCount();
    // The 21-byte node record of node index (query 0x69).
    bool GetNodeInfo(std::uint16_t index, std::uint8_t record[21]);
};

// Envelope builders, shared by the exchanges, the tests and the benchmarks.
// Each returns the number of bytes written to out (0 when the payload does not
// fit the envelope). out must hold kFrameBufferSize bytes.
int BuildRFEnvelope(const std::uint16_t* route, int count, const std::uint8_t* frame, int length,
                    std::uint8_t* out);
int BuildPLCEnvelope(std::uint16_t destination, const std::uint8_t* frame, int length, std::uint8_t* out);
constexpr int kPLCModemCountQueryLength = 7;
void BuildPLCModemCountQuery(std::uint8_t out[7]);
constexpr int kPLCNodeQueryLength = 9;
void BuildPLCNodeQuery(std::uint16_t index, std::uint8_t out[9]);

}  // namespace meter34
