#include "sim/meter34/Wire.h"

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "meter34/MeterFrames.h"

namespace sim34 {

using meter34::CheckFcs16;
using meter34::Sum8;

namespace {
constexpr std::uint8_t kFlag = 0x7E;
constexpr std::uint8_t kEscape = 0x7D;
constexpr std::uint8_t kRFStart = 0x7A;
constexpr std::uint8_t kRFEscape = 0x73;
constexpr std::uint8_t kPLCStart = 0xCA;

void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Bytes 5..25 of a reply through the station: the routing header of the
// request echoed, the modem, and link quality bytes the computer ignores.
void PLCHeader(Bytes& out, std::uint16_t modemId) {
    static constexpr std::uint8_t kHead[9] = {0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00};
    out.insert(out.end(), kHead, kHead + 9);
    Put16(out, modemId);
    static constexpr std::uint8_t kQuality[10] = {0x00, 0x01, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    out.insert(out.end(), kQuality, kQuality + 10);
}

Bytes PLCFrame(std::uint8_t letter, const Bytes& data) {
    Bytes out(data.size() + 6);
    out.resize(static_cast<std::size_t>(
        meter34::BuildPLCFrame(letter, data.data(), static_cast<int>(data.size()), out.data())));
    return out;
}
}  // namespace

FrameCheck ParseMeterFrame(const std::uint8_t* f, std::size_t length, MeterFrame& out) {
    if (length < 12 || f[0] != kFlag || length != static_cast<std::size_t>(f[1]) + 12) return FrameCheck::Malformed;
    if (!CheckFcs16(f, length - 2)) return FrameCheck::BadCheck;
    out.number = f[2] | (f[3] << 8) | (f[4] << 16) | (static_cast<std::uint32_t>(f[5]) << 24);
    out.version = f[6];
    out.packet = f[8] & 0x0F;
    out.reply = (f[8] & 0x80) != 0;
    out.type = f[9] & 0x7F;
    out.enciphered = (f[9] & 0x80) != 0;
    out.payload.assign(f + 10, f + 10 + f[1]);
    return FrameCheck::Ok;
}

Bytes BuildReplyFrame(const ReplyShape& shape, bool enciphered, const Bytes& payload) {
    std::uint8_t frame[meter34::kMaxFrame];
    const int n = meter34::BuildMeterFrame(shape.number, shape.version, static_cast<std::uint8_t>(0x80 | (shape.packet & 0x0F)),
                                           static_cast<std::uint8_t>((shape.type & 0x7F) | (enciphered ? 0x80 : 0)),
                                           payload.data(), static_cast<int>(payload.size()), frame);
    if (n == 0) return {};
    if (shape.corruptCheck) frame[n - 1] ^= 0x5A;
    Bytes out(static_cast<std::size_t>(2 * n));
    out.resize(static_cast<std::size_t>(meter34::StuffFrame(frame, n, out.data())));
    return out;
}

Bytes BuildRFReply(const std::vector<std::uint16_t>& route, const Bytes& carried) {
    if (route.empty() || route.size() > 16 || carried.size() > 255) return {};
    const int count = static_cast<int>(route.size());
    Bytes out(static_cast<std::size_t>(meter34::MaxStuffedRFEnvelope(count)));
    // Hop byte: the remaining-hops nibble at 0; direction: reply.
    out.resize(static_cast<std::size_t>(meter34::BuildRFFrame(static_cast<std::uint8_t>((count - 1) << 4), 0x80,
                                                              route.data(), count, carried.data(),
                                                              static_cast<int>(carried.size()), out.data())));
    return out;
}

Bytes BuildPLCMeterReply(std::uint16_t modemId, const Bytes& carried) {
    Bytes data;
    PLCHeader(data, modemId);
    data.insert(data.end(), carried.begin(), carried.end());
    return PLCFrame(0x68, data);
}

Bytes BuildPLCModemCountAnswer(std::uint16_t count) {
    Bytes data = {0x01, 0x00, 0x00};
    Put16(data, count);
    return PLCFrame(0x65, data);
}

Bytes BuildPLCNodeAnswer(const std::uint8_t record[21]) {
    Bytes data = {0x00};
    data.insert(data.end(), record, record + 21);
    return PLCFrame(0x69, data);
}

// ---- direct frames ----

void DirectParser::reset() {
    cur_.clear();
    curRaw_.clear();
    escape_ = false;
    expected_ = 0;
}

DirectParser::Event DirectParser::push(std::uint8_t b) {
    if (b == kFlag) {
        // A flag never occurs inside a stuffed frame: whatever came before is lost.
        reset();
        stars_ = 0;
        cur_.push_back(b);
        curRaw_.push_back(b);
        return None;
    }
    if (curRaw_.empty()) {
        // Outside a frame only the five asterisks that end transparent mode matter.
        stars_ = b == '*' ? stars_ + 1 : 0;
        if (stars_ == 5) {
            stars_ = 0;
            return Stars;
        }
        return None;
    }
    curRaw_.push_back(b);
    if (curRaw_.size() > 2 * (255 + 12)) {
        reset();
        return None;
    }
    if (b == kEscape) {
        escape_ = true;
        return None;
    }
    if (escape_) {
        escape_ = false;
        if (b == 0x5E) {
            b = kFlag;
        } else if (b == 0x5D) {
            b = kEscape;
        } else {
            reset();  // not a valid escape: the frame is broken
            return None;
        }
    }
    cur_.push_back(b);
    if (cur_.size() == 2) expected_ = static_cast<std::size_t>(b) + 12;
    if (expected_ != 0 && cur_.size() == expected_) {
        frame_ = cur_;
        raw_ = curRaw_;
        reset();
        return Frame;
    }
    return None;
}

// ---- radio route envelopes ----

void RFParser::reset() {
    buf_.clear();
    curRaw_.clear();
    escape_ = false;
    expected_ = 0;
}

RFParser::Event RFParser::push(std::uint8_t b) {
    if (b == kRFStart) {
        reset();
        buf_.push_back(b);
        curRaw_.push_back(b);
        return None;
    }
    if (curRaw_.empty()) return None;
    curRaw_.push_back(b);
    if (b == kRFEscape) {
        escape_ = true;
        return None;
    }
    if (escape_) {
        escape_ = false;
        if (b == 0x11) {
            b = kRFStart;
        } else if (b == 0x22) {
            b = kRFEscape;
        } else {
            reset();
            return None;
        }
    }
    buf_.push_back(b);
    const std::size_t p = buf_.size();
    if (p < 2) return None;
    const std::size_t n = static_cast<std::size_t>(buf_[1] >> 4) + 1;
    // The M byte sits at offset 2N+3; once it is in, the length is known.
    if (p == 2 * n + 4) expected_ = 2 * n + 7 + buf_[2 * n + 3];
    if (expected_ == 0 || p != expected_) return None;
    const std::size_t e = expected_;
    route_.clear();
    for (std::size_t i = 0; i < n; ++i) route_.push_back(static_cast<std::uint16_t>(buf_[2 + 2 * i] | (buf_[3 + 2 * i] << 8)));
    badCheck_ = !CheckFcs16(buf_.data(), e - 2);
    const bool request = (buf_[2 * n + 2] & 0x80) == 0;
    carried_.assign(buf_.begin() + static_cast<std::ptrdiff_t>(2 * n + 5), buf_.begin() + static_cast<std::ptrdiff_t>(e - 2));
    raw_ = curRaw_;
    reset();
    return request ? Envelope : None;  // a reply is another retransmitter's answer
}

// ---- PLC base station ----

PLCParser::Event PLCParser::push(std::uint8_t b) {
    if (buf_.empty() && b != kPLCStart) return None;
    buf_.push_back(b);
    return tryFrame() ? Frame : None;
}

bool PLCParser::tryFrame() {
    while (buf_.size() >= 2) {
        const std::size_t e = static_cast<std::size_t>(buf_[1]) + 4;
        if (buf_.size() < e) return false;
        const bool sumOk = buf_[e - 1] == Sum8(buf_.data() + 1, e - 2);
        if (sumOk) {
            frame_.assign(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(e));
            buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(e));
            // Bytes after the frame wait for their own start byte.
            while (!buf_.empty() && buf_[0] != kPLCStart) buf_.erase(buf_.begin());
            return true;
        }
        // Not a frame after all: look for the next start byte inside it.
        ++rejected_;
        std::size_t next = 1;
        while (next < buf_.size() && buf_[next] != kPLCStart) ++next;
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(next));
    }
    return false;
}

}  // namespace sim34
