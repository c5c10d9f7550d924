#include "MeterExchange.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "CRCUtils.h"
#include "FCS16.h"

namespace meter34 {

namespace {

// Feeds bytes from the link to the assembler until it reports a frame or
// gives up, the time-out (restarted by every byte) passes, notAfter passes,
// or the link is lost.
template <class Assembler>
common::Received Receive(links::TCommunication& link, long long timeoutMs, common::Clock::time_point notAfter,
                         Assembler& a) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(notAfter - common::Clock::now()).count();
    if (left <= 0) return common::Received::TimedOut;
    links::LinkSource source{link};
    return common::ReceiveFrame(source, a, common::RestartedTimeout(timeoutMs, left));
}

// A bound of its own for a receive that is not part of a try.
common::Clock::time_point BoundFromNow(const links::TCommunication& link, long long timeoutMs, int longestBytes) {
    return common::Clock::now() + std::chrono::milliseconds(ReceiveBoundMs(link, timeoutMs, longestBytes));
}

}  // namespace

long long ReceiveBoundMs(const links::TCommunication& link, long long timeoutMs, int longestBytes) {
    return 2 * std::max<long long>(timeoutMs, 0) + link.LineTimeMs(longestBytes);
}

long long TMeterExchange::TryBoundMs() const {
    return Link == nullptr ? 0 : ReceiveBoundMs(*Link, ReplyTimeoutMs(), LongestReplyBytes());
}

common::Clock::time_point TMeterExchange::TryEnd() const {
    return common::Clock::now() + std::chrono::milliseconds(TryBoundMs());
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
    TDirect_MeterExchange direct(&link);
    return direct.ReceiveFrame(buffer, length);
}

bool TDirect_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    return Link != nullptr && Link->Write(frame, length);
}

long long TDirect_MeterExchange::ReplyTimeoutMs() const {
    return Link == nullptr ? 0 : static_cast<long long>(Link->Timeout) + Link->ExtraTimeout;
}

bool TDirect_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) {
    if (Link == nullptr) return false;
    DirectFrameAssembler a;
    if (Receive(*Link, ReplyTimeoutMs(), notAfter, a) != common::Received::Frame) return false;
    std::memcpy(buffer, a.data(), static_cast<std::size_t>(a.length()));
    length = a.length();
    return true;
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

bool TRF_Route_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    if (Link == nullptr) return false;
    std::uint8_t out[kFrameBufferSize];
    const int n = BuildRFEnvelope(Route, RouteLast + 1, frame, length, out);
    if (n == 0) return false;
    return Link->Write(out, n);
}

long long TRF_Route_MeterExchange::ReplyTimeoutMs() const {
    return Link == nullptr ? 0 : static_cast<long long>(RouteLast + 1) * Link->Timeout + Link->ExtraTimeout;
}

bool TRF_Route_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) {
    if (Link == nullptr) return false;
    RFFrameAssembler a;
    const auto r = Receive(*Link, ReplyTimeoutMs(), notAfter, a);
    if (r != common::Received::Frame) {
        if (r == common::Received::Reset) length = 0;
        return false;
    }
    length = a.carriedLength();
    std::memcpy(buffer, a.carried(), static_cast<std::size_t>(length));
    UnstuffFrame(buffer, length);
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

bool TPLC_MeterExchange::SendFrame(const std::uint8_t* frame, int length) {
    if (Link == nullptr) return false;
    std::uint8_t out[kFrameBufferSize];
    const int n = BuildPLCEnvelope(Destination, frame, length, out);
    if (n == 0) return false;
    return Link->Write(out, n);
}

long long TPLC_MeterExchange::ReplyTimeoutMs() const {
    return Link == nullptr ? 0 : static_cast<long long>(Link->ExtraTimeout) + Link->Timeout + 5000;
}

bool TPLC_MeterExchange::ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) {
    if (Link == nullptr) return false;
    PLCFrameAssembler a(0x68);
    const auto r = Receive(*Link, ReplyTimeoutMs(), notAfter, a);
    if (r != common::Received::Frame) {
        if (r == common::Received::Reset) length = 0;
        return false;
    }
    length = a.length() - 27;  // K - 23
    std::memcpy(buffer, a.data() + 26, static_cast<std::size_t>(length));
    UnstuffFrame(buffer, length);
    return true;
}

bool TPLC_MeterExchange::Query(const std::uint8_t* query, int length, PLCFrameAssembler& answer) {
    if (Link == nullptr || !Link->Write(query, length)) return false;
    const long long t = static_cast<long long>(Link->ExtraTimeout) + 10000;
    return Receive(*Link, t, BoundFromNow(*Link, t, kMaxPLCFrame), answer) == common::Received::Frame;
}

std::uint16_t TPLC_MeterExchange::GetModemCount() {
    std::uint8_t q[kPLCModemCountQueryLength];
    BuildPLCModemCountQuery(q);
    PLCFrameAssembler a(0x65);
    if (!Query(q, sizeof q, a)) return 0;
    return static_cast<std::uint16_t>(a.data()[8] | (a.data()[9] << 8));
}

bool TPLC_MeterExchange::GetNodeInfo(std::uint16_t index, std::uint8_t record[21]) {
    std::uint8_t q[kPLCNodeQueryLength];
    BuildPLCNodeQuery(index, q);
    PLCFrameAssembler a(0x69);
    if (!Query(q, sizeof q, a)) return false;
    std::memcpy(record, a.data() + 6, 21);
    return true;
}

}  // namespace meter34
