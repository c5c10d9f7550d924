#pragma once
// Everything behind the line, without I/O: modem and controller fronts, the
// direct / radio route / PLC station front, the meters, the fault switches,
// the log and the counters. The emulator's thread feeds it the bytes it
// reads and carries out the actions it returns.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "sim/meter34/LineFronts.h"
#include "sim/meter34/MeterModel.h"
#include "sim/meter34/SimTypes.h"
#include "sim/meter34/Wire.h"
#include "common/core/DateTime.h"

namespace sim34 {

struct Action {
    enum Kind {
        Write,   // bytes as they are (modem and controller answers)
        Reply,   // a reply: paced, split and delayed as the faults say
        Busy,    // the meter works ms before it answers
        Hangup,  // the line drops: a TCP client is disconnected, a serial line hears bytes
    };
    Kind kind = Write;
    Bytes bytes;
    int ms = 0;
};

class Engine {
public:
    explicit Engine(const Config& config);

    // A new connection (a TCP client, or the start on a pseudo-terminal).
    void connected();
    void feed(const std::uint8_t* data, std::size_t n, Clock::time_point now, const common::DateTime& hostNow,
              std::vector<Action>& out);
    void tick(Clock::time_point now, std::vector<Action>& out);
    std::optional<Clock::time_point> nextTimer() const;
    // The carrier drops now (modem: "NO CARRIER"; otherwise the line hangs up).
    void dropCarrier(std::vector<Action>& out);

    // Meters: the main one first. Their states are what the state file holds.
    MeterModel& main() { return *meters_.front(); }
    const MeterModel& main() const { return *meters_.front(); }
    MeterModel* meter(std::uint32_t number);
    std::vector<std::unique_ptr<MeterModel>>& meters() { return meters_; }

    Faults faults;
    Counters counters() const;

    const std::deque<LogEntry>& log() const { return log_; }
    void clearLog() {
        log_.clear();
        rawIn_.clear();
    }
    const Bytes& rawIn() const { return rawIn_; }

    // True once after a meter's stored state changed.
    bool takeStateChanged();
    void markStateChanged() { stateChanged_ = true; }
    // A line in the log about the emulator itself.
    void note(const std::string& text) { record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Event, {}, text}); }

private:
    void lineByte(std::uint8_t b, Clock::time_point now, std::vector<Action>& out);
    void controllerByte(std::uint8_t b, Clock::time_point now, std::vector<Action>& out);
    void frontByte(std::uint8_t b, std::vector<Action>& out);
    void directFrame(std::vector<Action>& out);
    void rfEnvelope(std::vector<Action>& out);
    void plcFrame(std::vector<Action>& out);
    using Wrap = std::function<Bytes(const Bytes&)>;
    void carried(MeterModel& m, const Bytes& stuffed, const Bytes& raw, const Wrap& wrap, std::vector<Action>& out);
    void respond(MeterModel& m, const MeterFrame& f, const Wrap& wrap, std::vector<Action>& out);
    bool silenced(const Bytes& raw, LogEntry::Kind kind);
    void emit(std::vector<Action>& out, Action::Kind kind, Bytes bytes, LogEntry::Kind logKind, const std::string& note = {});
    void record(LogEntry e);
    void ignore(const Bytes& raw, LogEntry::Kind kind, const std::string& why);

    Front front_;
    std::optional<HayesModem> modem_;
    std::optional<Controller> controller_;
    DirectParser direct_;
    RFParser rf_;
    PLCParser plc_;
    std::vector<std::unique_ptr<MeterModel>> meters_;
    std::vector<PlcSlot> slots_;       // meterNumber resolved: 0 never stays
    std::vector<MeterModel*> slotMeters_;
    std::function<void(const LogEntry&)> trace_;
    common::DateTime hostNow_;
    Clock::time_point lastByte_{};
    Counters counters_;
    std::deque<LogEntry> log_;
    Bytes rawIn_;
    bool stateChanged_ = false;
    // Scratch buffers of the byte path, kept to spare an allocation per byte.
    Bytes modemData_, controllerData_, answer_;
    std::vector<std::string> lines_;
};

}  // namespace sim34
