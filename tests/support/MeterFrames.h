#pragma once
// Wire frames of meters of versions 3 and 4 built by hand from the byte
// layouts, for tests: the meter frame (7E, L, number, version, packet,
// type, payload, FCS high byte first), its stuffing, the radio route and
// PLC base-station envelopes, and enciphered payloads. Only the checks and
// the cipher come from the codecs (pinned by published check values).

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"

namespace frames34 {

using Bytes = std::vector<std::uint8_t>;
using meter34::Key4;

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline std::uint8_t Sum(const Bytes& b) { return meter34::Sum8(b.data(), b.size()); }

// Appends the FCS of bytes 1..end, high byte first.
inline void AppendFcs(Bytes& f) {
    const std::uint16_t c = meter34::Fcs16(f.data(), 1, f.size() - 1);
    f.push_back(static_cast<std::uint8_t>(c >> 8));
    f.push_back(static_cast<std::uint8_t>(c));
}

// An unstuffed meter frame around payload, exactly as given.
inline Bytes MeterFrame(std::uint32_t number, std::uint16_t version, std::uint8_t packetByte, std::uint8_t typeByte,
                        const Bytes& payload) {
    Bytes f = {0x7E, static_cast<std::uint8_t>(payload.size())};
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    Put16(f, version);
    f.push_back(packetByte);
    f.push_back(typeByte);
    f.insert(f.end(), payload.begin(), payload.end());
    AppendFcs(f);
    return f;
}

// A request (unstuffed): command bytes and their sum; with a key the whole
// payload is enciphered and the type carries the cipher bit.
inline Bytes RequestFrame(std::uint32_t number, std::uint16_t version, std::uint8_t packet, std::uint8_t type,
                          Bytes command, const Key4* key = nullptr) {
    command.push_back(Sum(command));
    if (key) meter34::Cipher(command.data(), command.size(), *key);
    return MeterFrame(number, version, packet, static_cast<std::uint8_t>(type | (key ? 0x80 : 0)), command);
}

// A reply (unstuffed): reply bit set, result code and data and their sum;
// with a key everything after the result code is enciphered.
inline Bytes ReplyFrame(std::uint32_t number, std::uint16_t version, std::uint8_t packet, std::uint8_t type,
                        Bytes resultAndData, const Key4* key = nullptr) {
    resultAndData.push_back(Sum(resultAndData));
    if (key) meter34::Cipher(resultAndData.data() + 1, resultAndData.size() - 1, *key);
    return MeterFrame(number, version, static_cast<std::uint8_t>(0x80 | packet),
                      static_cast<std::uint8_t>(type | (key ? 0x80 : 0)), resultAndData);
}

// Meter frame stuffing: every byte but the first, 7E as 7D 5E and 7D as 7D 5D.
inline Bytes Stuff(const Bytes& frame) {
    Bytes out;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const std::uint8_t b = frame[i];
        if (i > 0 && b == 0x7E) out.insert(out.end(), {0x7D, 0x5E});
        else if (i > 0 && b == 0x7D) out.insert(out.end(), {0x7D, 0x5D});
        else out.push_back(b);
    }
    return out;
}

inline Bytes Unstuff(const Bytes& stuffed) {
    Bytes out;
    for (std::size_t i = 0; i < stuffed.size(); ++i) {
        std::uint8_t b = stuffed[i];
        if (i > 0 && b == 0x7D && i + 1 < stuffed.size()) {
            const std::uint8_t n = stuffed[++i];
            b = n == 0x5E ? 0x7E : n == 0x5D ? 0x7D : n;
        }
        out.push_back(b);
    }
    return out;
}

// The payload of an unstuffed request (command bytes and sum), deciphered
// when the frame carries the cipher bit.
inline Bytes RequestPayload(const Bytes& frame, const Key4* key = nullptr) {
    Bytes p(frame.begin() + 10, frame.end() - 2);
    if ((frame[9] & 0x80) && key) meter34::Cipher(p.data(), p.size(), *key);
    return p;
}

// A radio route envelope around carried bytes (a stuffed meter frame), its
// check appended, then 7A sent as 73 11 and 73 as 73 22.
inline Bytes RFEnvelope(std::uint8_t hopByte, const std::vector<std::uint16_t>& route, std::uint8_t direction,
                        const Bytes& carried) {
    Bytes raw = {0x7A, hopByte};
    for (auto a : route) Put16(raw, a);
    raw.push_back(direction);
    raw.push_back(static_cast<std::uint8_t>(carried.size()));
    raw.push_back(0x08);
    raw.insert(raw.end(), carried.begin(), carried.end());
    AppendFcs(raw);
    Bytes out = {raw[0]};
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] == 0x7A) out.insert(out.end(), {0x73, 0x11});
        else if (raw[i] == 0x73) out.insert(out.end(), {0x73, 0x22});
        else out.push_back(raw[i]);
    }
    return out;
}

// As the computer sends it: N-1 in both nibbles of the hop byte, direction 0.
inline Bytes RFRequest(const std::vector<std::uint16_t>& route, const Bytes& carried) {
    const auto n = static_cast<std::uint8_t>(route.size() - 1);
    return RFEnvelope(static_cast<std::uint8_t>(n << 4 | n), route, 0x00, carried);
}

// As the last retransmitter sends it back: no hops left, reply direction.
inline Bytes RFReply(const std::vector<std::uint16_t>& route, const Bytes& carried) {
    return RFEnvelope(static_cast<std::uint8_t>((route.size() - 1) << 4), route, 0x80, carried);
}

// A PLC base-station frame: CA, K, 00, 00, letter, data, Sum8 of bytes 1..K+2.
inline Bytes PLCFrame(std::uint8_t letter, const Bytes& data) {
    Bytes f = {0xCA, static_cast<std::uint8_t>(data.size() + 2), 0x00, 0x00, letter};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(meter34::Sum8(f.data() + 1, f.size() - 1));
    return f;
}

// A stuffed meter frame on its way to PLC modem destination.
inline Bytes PLCRequest(std::uint16_t destination, const Bytes& carried) {
    Bytes data = {0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00};
    Put16(data, destination);
    data.insert(data.end(), carried.begin(), carried.end());
    return PLCFrame(0x60, data);
}

// A meter reply through the station: 21 bytes the computer does not read,
// then the stuffed meter frame.
inline Bytes PLCReply(const Bytes& carried, std::uint8_t filler = 0x11) {
    Bytes data(21, filler);
    data.insert(data.end(), carried.begin(), carried.end());
    return PLCFrame(0x68, data);
}

}  // namespace frames34
