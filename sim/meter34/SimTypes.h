#pragma once
// Settings, fault switches, log entries and counters of the version 3/4
// meter emulator.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim34 {

// How the computer reaches the meters.
enum class Front {
    Direct,  // meter frames on the line
    PLC,     // through a PLC base station (0xCA frames)
    RF,      // along a route of radio retransmitters (0x7A envelopes)
};

// One slot of the PLC base station's modem table.
struct PlcSlot {
    bool registered = true;        // false: a free slot
    std::uint16_t modemId = 0;
    std::uint32_t meterNumber = 0; // the meter behind this modem; 0 = the main meter
};

// Misbehaviour on request. Counts are "the next N" and run down as they
// fire; the other switches stay until changed.
struct Faults {
    int silence = 0;       // requests that get no answer at all (not even executed)
    int badCheck = 0;      // replies with a corrupted check code
    int wrongPacket = 0;   // replies carrying another packet number
    int otherMeter = 0;    // replies from another meter number
    int staleReply = 0;    // replies preceded by a reply to an earlier packet
    std::map<std::uint8_t, std::uint8_t> forcedResults;  // command code -> result code
    int baud = 0;          // > 0: bytes leave at this line speed (10 bits a byte)
    int splitChunk = 0;    // > 0: replies leave in pieces of this many bytes...
    int splitGapMs = 20;   // ...with this pause between them
    int carrierLossAfter = 0;  // > 0: the carrier drops after this many more replies
    int replyDelayMs = 0;  // pause before every reply
};

struct LogEntry {
    enum class Dir { In, Out };
    enum class Kind {
        Request,     // a meter frame, or an envelope carrying one, as received
        Reply,       // what a meter (through its front) sent back
        Query,       // a PLC base-station query (0x65, 0x69)
        Answer,      // the station's answer to it
        Modem,       // a modem command line, or the modem's answer
        Controller,  // a controller line, or its answer
        Event,       // something that produced no bytes (see note)
    };
    Dir dir = Dir::In;
    Kind kind = Kind::Request;
    std::vector<std::uint8_t> bytes;
    std::string note;  // why a request was not answered, which fault fired, ...
};

struct Counters {
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    std::uint64_t requests = 0;        // frames taken by one of the meters
    std::uint64_t replies = 0;         // meter replies sent
    std::uint64_t ignored = 0;         // frames no meter answered (bad check, other number, ...)
    std::uint64_t silenced = 0;        // requests swallowed by the silence fault
    std::uint64_t sessionsOpened = 0;  // AUTH_2 accepted
    std::uint64_t authFailures = 0;    // AUTH_1 or AUTH_2 refused
    std::uint64_t plcQueries = 0;
    std::uint64_t modemCalls = 0;
    std::uint64_t controllerLogins = 0;
    std::uint64_t connections = 0;     // TCP clients accepted
    std::uint64_t stateSaves = 0;
};

struct Config {
    std::uint32_t meterNumber = 12345;
    std::uint16_t version = 4;
    std::uint32_t keyA = 1;
    std::uint32_t keyB = 1;
    std::uint32_t password1 = 1;
    std::uint32_t password2 = 2;

    Front front = Front::Direct;
    bool modem = false;                // a Hayes modem in front of the line
    bool controller = false;           // a network controller in front of the station or route
    std::string controllerPassword = "580274613";
    std::vector<PlcSlot> plcSlots;     // empty: one modem 300 carrying the main meter

    // Meter state kept in this file (read by start, written after changes
    // and at stop). Empty: in memory only.
    std::string stateFile;

    Faults faults;
    int modemGuardMs = 1000;   // silence the modem needs before "+++"
    int calibrationMs = 2000;  // how long calibration keeps the meter busy

    // Called for every log entry (for --trace), with the emulator's lock
    // held: it must not call back into the emulator.
    std::function<void(const LogEntry&)> trace;
};

}  // namespace sim34
