#pragma once
// Catalogue of the records and numbered structures a version 3/4 meter keeps,
// and the decoding of per-phase values.
//
// Fixed records travel as raw little-endian bytes of the sizes below; the
// windows that show or edit them give their fields meaning. Structures that
// the program writes end with Crc16Xmodem of the bytes before, low byte
// first; nobody checks it when reading.

#include <array>
#include <cstdint>

namespace meter34 {

using MainParameterRecord = std::array<std::uint8_t, 14>;         // command 0x06
using SecondGroupParameterRecord = std::array<std::uint8_t, 26>;  // command 0x0E
using AdditionalParameterRecord = std::array<std::uint8_t, 8>;    // command 0x0D
using MeterState = std::array<std::uint8_t, 12>;                  // command 0x09
using MeterStatus = std::array<std::uint8_t, 12>;                 // command 0x0F
using CalibrationCoefficients = std::array<std::uint8_t, 42>;     // command 0x00, function 2
using PLCNodeRecord = std::array<std::uint8_t, 21>;               // base-station query 0x69

// One phase of the per-phase values (command 0x03). Units: P 0.01 W, Q 0.01 var,
// U 0.01 V, I 0.001 A, F 0.01 Hz, K 0.0001.
struct PhaseBlock {
    std::uint8_t Mask = 0;  // quantities present: bit 0 P, 1 Q, 2 U, 3 I, 4 F, 5 K
    std::int32_t P = 0;
    std::int32_t Q = 0;
    std::int32_t U = 0;
    std::int32_t I = 0;
    std::uint16_t F = 0;
    std::int16_t K = 0;
};

struct PhaseValues {
    PhaseBlock Phase[3];  // A, B, C
};

// Decodes the reply data of command 0x03 (result code at [0], masks at [2..4],
// values from [5]). false when the reply is shorter than its masks announce;
// the record is then left zeroed.
bool DecodePhaseValues(const std::uint8_t* reply, int length, PhaseValues& out);
// Number of value bytes a phase mask announces.
int PhaseValueBytes(std::uint8_t mask);

// Numbered structures (command 0x14).
struct StructureInfo {
    std::uint8_t Number;
    int Size;           // bytes delivered by a read, check bytes included
    bool Writable;      // written with SetStruct (check appended by the writer)
    int IndexCount;     // valid indexes 0..IndexCount-1 (0: the index is a record number)
    const char* Content;
};

const StructureInfo* FindStructure(std::uint8_t number);
const StructureInfo* StructureCatalogue(int& count);

}  // namespace meter34

#include <string>
#include <utility>
#include <vector>

namespace meter34 {

// Caption and value rows of the state and status records, as the views show them.
using CaptionRows = std::vector<std::pair<std::string, std::string>>;
CaptionRows StateRows(const MeterState& state, std::uint16_t meterVersion);
CaptionRows StatusRows(const MeterStatus& status);
// Upper-case hexadecimal with at least two digits, no prefix (5 -> "05", 256 -> "100").
std::string Hex2(unsigned value);
// The errors of a state record or of the error journal: "01h 04h " for bits
// 0 and 2 (each set bit b as the hexadecimal of 1 << b, "h" and a blank, in
// rising order), "Отсутствуют" for none.
std::string ErrorList(std::uint8_t bits);

// Load-profile interval codes 0..7 (after the adjustment for meters below
// version 100): period in minutes.
constexpr int kProfilePeriodMinutes[8] = {1, 2, 3, 5, 10, 15, 30, 60};

}  // namespace meter34
