#include "MeterFrames.h"

#include <cstddef>
#include <cstring>

#include "CRCUtils.h"
#include "FCS16.h"

namespace meter34 {

namespace {

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
    if (count > 0) std::memcpy(out + 10, payload, static_cast<std::size_t>(count));
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

int BuildRFFrame(std::uint8_t hopByte, std::uint8_t direction, const std::uint16_t* route, int count,
                 const std::uint8_t* carried, int length, std::uint8_t* out) {
    if (count < 1 || count > kMaxRoute || length < 0 || length > 255) return 0;
    std::uint8_t raw[RFEnvelopeLength(kMaxRoute, 255)];
    int k = 0;
    raw[k++] = kRFStart;
    raw[k++] = hopByte;
    for (int i = 0; i < count; ++i, k += 2) PutLE16(raw + k, route[i]);
    raw[k++] = direction;
    raw[k++] = static_cast<std::uint8_t>(length);
    raw[k++] = 0x08;
    if (length > 0) std::memcpy(raw + k, carried, static_cast<std::size_t>(length));
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

int BuildRFEnvelope(const std::uint16_t* route, int count, const std::uint8_t* frame, int length,
                    std::uint8_t* out) {
    const auto hops = static_cast<std::uint8_t>(((count - 1) << 4) | (count - 1));
    return BuildRFFrame(hops, 0x00, route, count, frame, length, out);
}

int BuildPLCFrame(std::uint8_t letter, const std::uint8_t* data, int count, std::uint8_t* out) {
    const int k = count + 2;
    if (count < 0 || k > 255) return 0;
    out[0] = kPLCStart;
    out[1] = static_cast<std::uint8_t>(k);
    out[2] = 0x00;
    out[3] = 0x00;
    out[4] = letter;
    if (count > 0) std::memcpy(out + 5, data, static_cast<std::size_t>(count));
    out[k + 3] = Sum8(out + 1, static_cast<std::size_t>(k + 2));
    return k + 4;
}

int BuildPLCEnvelope(std::uint16_t destination, const std::uint8_t* frame, int length, std::uint8_t* out) {
    if (length < 0 || length > kMaxPLCCarried) return 0;
    static constexpr std::uint8_t kHead[9] = {0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00};
    std::uint8_t data[sizeof kHead + 2 + kMaxPLCCarried];
    std::memcpy(data, kHead, sizeof kHead);
    PutLE16(data + sizeof kHead, destination);
    if (length > 0) std::memcpy(data + sizeof kHead + 2, frame, static_cast<std::size_t>(length));
    return BuildPLCFrame(0x60, data, static_cast<int>(sizeof kHead) + 2 + length, out);
}

void BuildPLCModemCountQuery(std::uint8_t out[7]) {
    static constexpr std::uint8_t kData[1] = {0x01};
    BuildPLCFrame(0x65, kData, 1, out);
}

void BuildPLCNodeQuery(std::uint16_t index, std::uint8_t out[9]) {
    std::uint8_t data[3] = {0x00, 0, 0};
    PutLE16(data + 1, index);
    BuildPLCFrame(0x69, data, 3, out);
}

}  // namespace meter34
