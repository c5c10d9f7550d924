#pragma once
// Byte layouts of version 3/4 meter frames and of the two envelopes that
// carry them (radio route, PLC base station): building, stuffing and
// unstuffing. No I/O and no receive logic: the client's exchanges and the
// meter emulator share these.

#include <cstdint>

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
// A PLC frame: start, K, two zero bytes, K - 1 bytes of letter and data, sum.
constexpr int kMaxPLCFrame = 255 + 4;
// A route envelope of count addresses around carried bytes (at most 255),
// before its stuffing.
constexpr int RFEnvelopeLength(int count, int carried) { return 2 * count + 7 + carried; }
// The most a route envelope can take on the wire once stuffed.
constexpr int MaxStuffedRFEnvelope(int count) { return 1 + 2 * (RFEnvelopeLength(count, 255) - 1); }

// Builds an unstuffed meter frame around payload (length L = count <= 255):
// header, payload and FCS. Returns the frame length L + 12 (0 when count
// does not fit). The caller enciphers the payload beforehand when the frame
// carries the cipher bit.
int BuildMeterFrame(std::uint32_t meterNumber, std::uint16_t version, std::uint8_t packetByte,
                    std::uint8_t typeByte, const std::uint8_t* payload, int count, std::uint8_t* out);

// Stuffs a meter frame (all bytes but the first); returns the stuffed length.
// out must hold 2 * length bytes.
int StuffFrame(const std::uint8_t* frame, int length, std::uint8_t* out);
// Inverse of StuffFrame, in place; length becomes the number of bytes produced.
void UnstuffFrame(std::uint8_t* buffer, int& length);

// A route envelope with any hop byte and direction (0x00 request, bit 7 set
// in replies) around length carried bytes, check appended and the route
// stuffing applied. Returns the bytes written to out (0 when it does not
// fit); out must hold MaxStuffedRFEnvelope(count) bytes.
int BuildRFFrame(std::uint8_t hopByte, std::uint8_t direction, const std::uint16_t* route, int count,
                 const std::uint8_t* carried, int length, std::uint8_t* out);
// The request envelope: hop byte (N-1) in both nibbles, direction 0x00.
int BuildRFEnvelope(const std::uint16_t* route, int count, const std::uint8_t* frame, int length,
                    std::uint8_t* out);

// A PLC base-station frame of letter and count data bytes, sum appended.
// Returns its length count + 6 (0 when it does not fit); out must hold that many
// bytes.
int BuildPLCFrame(std::uint8_t letter, const std::uint8_t* data, int count, std::uint8_t* out);
// The 0x60 frame that carries a stuffed meter frame to the modem destination.
int BuildPLCEnvelope(std::uint16_t destination, const std::uint8_t* frame, int length, std::uint8_t* out);
constexpr int kPLCModemCountQueryLength = 7;
void BuildPLCModemCountQuery(std::uint8_t out[7]);
constexpr int kPLCNodeQueryLength = 9;
void BuildPLCNodeQuery(std::uint16_t index, std::uint8_t out[9]);

}  // namespace meter34
