#include "MeterExchange.h"

#include <cctype>
#include <cstring>

#include "CRCUtils.h"
#include "FCS16.h"

namespace meter34 {

namespace {

// Feeds bytes from the link to the assembler until it reports a frame or
// gives up, the time-out (restarted by every byte) passes, or the link is lost.
template <class Assembler>
common::Received Receive(links::TCommunication& link, long long timeoutMs, Assembler& a) {
    links::LinkSource source{link};
    return common::ReceiveFrame(source, a, common::RestartedTimeout(timeoutMs));
}

void PutLE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

int BuildMeterFrame(std::uint32_t meterNumber, std::uint16_t version, std::uint8_t packetByte,
                    std::uint8_t typeByte, const std::uint8_t* payload, int count, std::uint8_t* out) {
    if (count < 0 || count > 255) return 0;
    out[0] = kFrameStart;
    out[1] = static_cast<std::uint8_t>(count);
    out[2] = static_cast<std::uint8_t>(meterNumber);
    out[3] = static_cast<std::uint8_t>(meterNumber >> 8);
    out[4] = static_cast<std::uint8_t>(meterNumber >> 16);
    out[5] = static_cast<std::uint8_t>(meterNumber >> 24);
    out[6] = static_cast<std::uint8_t>(version);
    out[7] = static_cast<std::uint8_t>(version >> 8);
    out[8] = packetByte;
    out[9] = typeByte;
    std::memcpy(out + 10, payload, static_cast<std::size_t>(count));
    PutFcs16(out, static_cast<std::size_t>(10 + count));
    return count + kFrameOverhead;
}

int StuffFrame(const std::uint8_t* frame, int length, std::uint8_t* out) {
    if (length <= 0) return 0;
    int k = 0;
    out[k++] = frame[0];
    for (int i = 1; i < length; ++i) {
        const std::uint8_t b = frame[i];
        if (b == 0x7E) {
            out[k++] = 0x7D;
            out[k++] = 0x5E;
        } else if (b == 0x7D) {
            out[k++] = 0x7D;
            out[k++] = 0x5D;
        } else {
            out[k++] = b;
        }
    }
    return k;
}

void UnstuffFrame(std::uint8_t* buffer, int& length) {
    if (length <= 0) {
        length = 0;
        return;
    }
    int k = 1;
    for (int i = 1; i < length; ++i) {
        std::uint8_t b = buffer[i];
        if (b == 0x7D && i + 1 < length) {
            const std::uint8_t n = buffer[++i];
            b = n == 0x5E ? 0x7E : n == 0x5D ? 0x7D : n;
        }
        buffer[k++] = b;
    }
    length = k;
}

// ---- direct frames ----

Push DirectFrameAssembler::push(std::uint8_t b) {
    if (p_ == expected_) reset();  // the previous frame was delivered
    if (b == kFrameStart) {
        reset();
    } else if (b == 0x7D) {
        escape_ = true;
        return Push::NeedMore;
    } else if (escape_) {
        escape_ = false;
        if (b == 0x5E) b = 0x7E;
        else if (b == 0x5D) b = 0x7D;
        else {
            reset();
            return Push::NeedMore;
        }
    }
    if (p_ == 0 && b != kFrameStart) return Push::NeedMore;  // waiting for the start
    if (p_ == 1) expected_ = b + kFrameOverhead;
    buf_[p_++] = b;
    return p_ == expected_ ? Push::Frame : Push::NeedMore;
}

bool ReceiveDirectFrame(links::TCommunication& link, std::uint8_t* buffer, int& length) {
    DirectFrameAssembler a;
    if (Receive(link, static_cast<long long>(link.Timeout) + link.ExtraTimeout, a) != common::Received::Frame)
        return false;
    std::memcpy(buffer, a.data(), static_cast<std::size_t>(a.length()));
    length = a.length();
    return true;
}

bool TDirect_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    return Link != nullptr && Link->Write(frame, length);
}

bool TDirect_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length) {
    if (Link == nullptr) return false;
    return Link->Read(buffer, length);
}

// ---- radio route ----

Push RFFrameAssembler::push(std::uint8_t b) {
    if (p_ == expected_) reset();
    if (p_ == 0 && b != kRFStart) return Push::NeedMore;
    if (b == kRFStart) {
        reset();
    } else if (b == 0x73) {
        escape_ = true;
        return Push::NeedMore;
    } else if (escape_) {
        escape_ = false;
        if (b == 0x11) b = 0x7A;
        else if (b == 0x22) b = 0x73;
        else {
            reset();
            return Push::NeedMore;
        }
    }
    if (p_ == 1) {
        hops_ = b >> 4;
        expected_ = 2 * (hops_ + 1) + 5;
    }
    if (p_ == expected_ - 2 && !lengthSeen_) {
        expected_ = (expected_ + b + 2) % 256;  // the M byte
        lengthSeen_ = true;
    }
    buf_[p_++] = b;
    if (p_ == expected_) {
        const int dir = 2 * (hops_ + 1) + 2;
        const bool ok = expected_ >= 2 * (hops_ + 1) + 7 && CheckFcs16(buf_, static_cast<std::size_t>(expected_ - 2)) &&
                        (buf_[1] & 0x0F) == 0 && (buf_[dir] & 0x80) != 0;
        if (ok) return Push::Frame;
        reset();
        return Push::NeedMore;
    }
    if (p_ > expected_) return Push::Reset;  // the announced length wrapped
    return Push::NeedMore;
}

bool TRF_Route_MeterExchange::SetRoute(const std::string& text) {
    std::uint16_t route[kMaxRoute];
    int count = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = text.find(';', pos);
        std::string entry = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        std::size_t b = 0, e = entry.size();
        while (b < e && std::isspace(static_cast<unsigned char>(entry[b]))) ++b;
        while (e > b && std::isspace(static_cast<unsigned char>(entry[e - 1]))) --e;
        entry = entry.substr(b, e - b);
        std::size_t i = 0;
        if (i < entry.size() && (entry[i] == '-' || entry[i] == '+')) ++i;
        if (i == entry.size()) return false;
        long long v = 0;
        for (; i < entry.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(entry[i]))) return false;
            v = (v * 10 + (entry[i] - '0')) % 65536;
        }
        if (entry[0] == '-') v = (65536 - v) % 65536;
        if (count == kMaxRoute) return false;
        route[count++] = static_cast<std::uint16_t>(v);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    std::memcpy(Route, route, sizeof(std::uint16_t) * static_cast<std::size_t>(count));
    RouteLast = static_cast<std::uint8_t>(count - 1);
    return true;
}

int BuildRFEnvelope(const std::uint16_t* route, int count, const std::uint8_t* frame, int length,
                    std::uint8_t* out) {
    if (count < 1 || count > kMaxRoute || length < 0 || length > 255) return 0;
    std::uint8_t raw[2 * kMaxRoute + 7 + 255];
    int k = 0;
    raw[k++] = kRFStart;
    raw[k++] = static_cast<std::uint8_t>(((count - 1) << 4) | (count - 1));
    for (int i = 0; i < count; ++i, k += 2) PutLE16(raw + k, route[i]);
    raw[k++] = 0x00;  // direction: request
    raw[k++] = static_cast<std::uint8_t>(length);
    raw[k++] = 0x08;
    std::memcpy(raw + k, frame, static_cast<std::size_t>(length));
    k += length;
    PutFcs16(raw, static_cast<std::size_t>(k));
    k += 2;
    int n = 0;
    out[n++] = raw[0];
    for (int i = 1; i < k; ++i) {
        if (raw[i] == 0x7A) {
            out[n++] = 0x73;
            out[n++] = 0x11;
        } else if (raw[i] == 0x73) {
            out[n++] = 0x73;
            out[n++] = 0x22;
        } else {
            out[n++] = raw[i];
        }
    }
    return n;
}

bool TRF_Route_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    if (Link == nullptr) return false;
    std::uint8_t out[kFrameBufferSize];
    const int n = BuildRFEnvelope(Route, RouteLast + 1, frame, length, out);
    if (n == 0) return false;
    return Link->Write(out, n);
}

bool TRF_Route_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length) {
    if (Link == nullptr) return false;
    RFFrameAssembler a;
    const long long t = static_cast<long long>(RouteLast + 1) * Link->Timeout + Link->ExtraTimeout;
    const auto r = Receive(*Link, t, a);
    if (r != common::Received::Frame) {
        if (r == common::Received::Reset) length = 0;
        return false;
    }
    length = a.carriedLength();
    std::memcpy(buffer, a.carried(), static_cast<std::size_t>(length));
    return true;
}

// ---- PLC base station ----

bool PLCFrameAssembler::acceptable() const {
    if (expected_ < 6 || buf_[4] != letter_) return false;
    switch (letter_) {
        case 0x68: return expected_ >= 27;  // 21 bytes before the carried frame
        case 0x65: return expected_ >= 11;  // count at offsets 8..9
        case 0x69: return expected_ >= 28;  // record at offsets 6..26
        default: return true;
    }
}

Push PLCFrameAssembler::push(std::uint8_t b) {
    if (p_ == expected_) reset();
    if (p_ == 0 && b != kPLCStart) return Push::NeedMore;
    if (p_ == 1) expected_ = (b + 4) % 256;
    buf_[p_++] = b;
    if (p_ == expected_) {
        if (expected_ >= 2 && buf_[expected_ - 1] == Sum8(buf_ + 1, static_cast<std::size_t>(expected_ - 2)) &&
            acceptable())
            return Push::Frame;
        reset();
        return Push::NeedMore;
    }
    if (p_ > expected_) return Push::Reset;
    return Push::NeedMore;
}

int BuildPLCEnvelope(std::uint16_t destination, const std::uint8_t* frame, int length, std::uint8_t* out) {
    if (length < 0 || length > kMaxPLCCarried) return 0;
    static constexpr std::uint8_t kHead[9] = {0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00};
    const int k = length + 13;
    out[0] = kPLCStart;
    out[1] = static_cast<std::uint8_t>(k);
    out[2] = 0x00;
    out[3] = 0x00;
    out[4] = 0x60;
    std::memcpy(out + 5, kHead, sizeof kHead);
    PutLE16(out + 14, destination);
    std::memcpy(out + 16, frame, static_cast<std::size_t>(length));
    out[k + 3] = Sum8(out + 1, static_cast<std::size_t>(k + 2));
    return k + 4;
}

void BuildPLCModemCountQuery(std::uint8_t out[7]) {
    out[0] = kPLCStart;
    out[1] = 0x03;
    out[2] = 0x00;
    out[3] = 0x00;
    out[4] = 0x65;
    out[5] = 0x01;
    out[6] = Sum8(out + 1, 5);
}

void BuildPLCNodeQuery(std::uint16_t index, std::uint8_t out[9]) {
    out[0] = kPLCStart;
    out[1] = 0x05;
    out[2] = 0x00;
    out[3] = 0x00;
    out[4] = 0x69;
    out[5] = 0x00;
    PutLE16(out + 6, index);
    out[8] = Sum8(out + 1, 7);
}

bool TPLC_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    if (Link == nullptr) return false;
    std::uint8_t out[kFrameBufferSize];
    const int n = BuildPLCEnvelope(Destination, frame, length, out);
    if (n == 0) return false;
    return Link->Write(out, n);
}

bool TPLC_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length) {
    if (Link == nullptr) return false;
    PLCFrameAssembler a(0x68);
    const auto r = Receive(*Link, static_cast<long long>(Link->ExtraTimeout) + Link->Timeout + 5000, a);
    if (r != common::Received::Frame) {
        if (r == common::Received::Reset) length = 0;
        return false;
    }
    length = a.length() - 27;  // K - 23
    std::memcpy(buffer, a.data() + 26, static_cast<std::size_t>(length));
    return true;
}

std::uint16_t TPLC_MeterExchange::GetModemCount() {
    if (Link == nullptr) return 0;
    std::uint8_t q[kPLCModemCountQueryLength];
    BuildPLCModemCountQuery(q);
    if (!Link->Write(q, sizeof q)) return 0;
    PLCFrameAssembler a(0x65);
    if (Receive(*Link, static_cast<long long>(Link->ExtraTimeout) + 10000, a) != common::Received::Frame) return 0;
    return static_cast<std::uint16_t>(a.data()[8] | (a.data()[9] << 8));
}

bool TPLC_MeterExchange::GetNodeInfo(std::uint16_t index, std::uint8_t record[21]) {
    if (Link == nullptr) return false;
    std::uint8_t q[kPLCNodeQueryLength];
    BuildPLCNodeQuery(index, q);
    if (!Link->Write(q, sizeof q)) return false;
    PLCFrameAssembler a(0x69);
    if (Receive(*Link, static_cast<long long>(Link->ExtraTimeout) + 10000, a) != common::Received::Frame)
        return false;
    std::memcpy(record, a.data() + 6, 21);
    return true;
}

}  // namespace meter34
