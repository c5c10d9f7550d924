#pragma once
// The state file of the emulator: what an engineer can change over the wire
// (configuration areas, passwords, identity, money mode, clock, switches),
// as text that survives hand editing:
//
//   counter5x-state 1
//   version 53
//   meter 1234567
//   ident 1
//   password 0
//   kopecks 0
//   clock-offset-ms -3600000
//   card-mode 1
//   contactor on            (on, off, released)
//   channel1 0
//   channel2 0
//   currency RUB
//   area 5 0 1B0D....       (area code, index, record without its seal in hex)
//
// Lines starting with # are comments. Records are resealed on loading. The
// "ident" and "password" lines win over area 3 and entry 0 of area 0.
// Statistics are not kept: they are made up again at every start.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/counter5x/MeterModel.h"

namespace sim5x {

struct StateError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct StateData {
    int version = 0;  // 0 = not given
    std::optional<std::uint32_t> meter, ident;
    std::optional<std::uint16_t> password;
    std::optional<bool> kopecks;
    std::optional<std::int64_t> clockOffsetMs;
    std::optional<bool> cardMode;
    std::optional<Contactor> contactor;
    std::optional<bool> channel1, channel2;
    std::optional<std::string> currency;
    struct Record {
        std::uint8_t area = 0;
        std::uint16_t index = 0;
        std::vector<std::uint8_t> data;  // without the seal
        int line = 0;                    // where it was read (0 = not read from a file)
    };
    std::vector<Record> records;
};

// Parses the text of a state file; name is used in messages. Throws StateError.
StateData ParseState(const std::string& text, const std::string& name);
std::string FormatState(const StateData& state);

// Reads a file (StateError when it cannot be read or parsed).
StateData ReadStateFile(const std::string& path);
// Writes a file whole or not at all (temporary file, then rename).
void WriteStateFile(const std::string& path, const StateData& state);

}  // namespace sim5x
