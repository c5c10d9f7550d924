#pragma once
// The meter's side of the wire: request frames as a meter, a radio
// retransmitter or a PLC base station hears them, and the replies they send.
//
// The parsers are byte-at-a-time state machines without I/O, so requests
// split across reads, noise between them and half frames cut off by the
// client's purge are all the same to them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim34 {

using Bytes = std::vector<std::uint8_t>;

// A meter frame after unstuffing.
struct MeterFrame {
    std::uint32_t number = 0;
    std::uint8_t version = 0;
    std::uint8_t packet = 0;     // 0..15
    bool reply = false;          // the reply bit (another meter's answer on a shared line)
    std::uint8_t type = 0;       // packet type, bits 0-6
    bool enciphered = false;
    Bytes payload;
};

enum class FrameCheck { Ok, Malformed, BadCheck };

// Checks and splits an unstuffed meter frame (start flag included).
FrameCheck ParseMeterFrame(const std::uint8_t* frame, std::size_t length, MeterFrame& out);

struct ReplyShape {
    std::uint32_t number = 0;
    std::uint16_t version = 0;
    std::uint8_t packet = 0;
    std::uint8_t type = 0;
    bool corruptCheck = false;
};
// The stuffed reply frame around a reply payload that already carries its
// sum (and is enciphered as it should be).
Bytes BuildReplyFrame(const ReplyShape& shape, bool enciphered, const Bytes& payload);

// Radio route reply: hop byte with the remaining-hops nibble at 0, reply
// direction, the same route, the stuffed meter frame; route stuffing applied.
Bytes BuildRFReply(const std::vector<std::uint16_t>& route, const Bytes& carried);
// PLC base-station frames sent to the computer. An empty result: does not fit.
Bytes BuildPLCMeterReply(std::uint16_t modemId, const Bytes& carried);
Bytes BuildPLCModemCountAnswer(std::uint16_t count);
Bytes BuildPLCNodeAnswer(const std::uint8_t record[21]);

// Direct meter frames: 0x7E starts a frame, 0x7D escapes, L gives the end.
class DirectParser {
public:
    enum Event { None, Frame, Stars };
    Event push(std::uint8_t b);
    void reset();
    const Bytes& frame() const { return frame_; }  // unstuffed
    const Bytes& raw() const { return raw_; }      // as on the wire
    bool inFrame() const { return !raw_.empty(); }

private:
    Bytes cur_, curRaw_;   // the frame being assembled
    Bytes frame_, raw_;    // the last complete one
    bool escape_ = false;
    std::size_t expected_ = 0;
    int stars_ = 0;
};

// Radio route envelopes: 0x7A, hops, route, direction, M, 0x08, frame, FCS.
class RFParser {
public:
    enum Event { None, Envelope };
    Event push(std::uint8_t b);
    void reset();
    bool inFrame() const { return !curRaw_.empty(); }
    // The last complete envelope:
    const Bytes& raw() const { return raw_; }
    const std::vector<std::uint16_t>& route() const { return route_; }
    const Bytes& carried() const { return carried_; }  // still stuffed
    bool badCheck() const { return badCheck_; }

private:
    Bytes buf_;      // unstuffed envelope being assembled
    Bytes curRaw_;   // its wire bytes
    Bytes raw_;
    std::vector<std::uint16_t> route_;
    Bytes carried_;
    bool escape_ = false;
    std::size_t expected_ = 0;
    bool badCheck_ = false;
};

// PLC base-station frames: 0xCA, K, 0, 0, letter, data, Sum8 (no stuffing).
// A frame whose sum fails is searched again for a start byte after its own.
class PLCParser {
public:
    enum Event { None, Frame };
    Event push(std::uint8_t b);
    void reset() { buf_.clear(); }
    bool inFrame() const { return !buf_.empty(); }
    const Bytes& frame() const { return frame_; }
    std::size_t rejected() const { return rejected_; }

private:
    bool tryFrame();
    Bytes buf_;
    Bytes frame_;
    std::size_t rejected_ = 0;
};

}  // namespace sim34
