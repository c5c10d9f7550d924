#pragma once
// A version 3/4 meter (or a PLC station / radio route with meters behind it,
// optionally behind a Hayes modem and a network controller) served on its
// own thread over a pseudo-terminal or a loopback TCP port.
//
//   sim34::Config cfg;                 // meter 12345, version 4, keys 1/1, passwords 1/2
//   sim34::Emulator emu(cfg);
//   std::string error;
//   emu.startPty(&error);              // or emu.startTcp(0, &error)
//   ... open emu.slavePath() (or 127.0.0.1:emu.port()) like a meter's line ...
//   emu.requests();                    // what the client sent, byte for byte
//   emu.stop();                        // also done by the destructor
//
// Every public function is safe to call from any thread while the emulator runs.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/meter34/Engine.h"
#include "sim/meter34/MeterModel.h"
#include "sim/meter34/SimTypes.h"
#include "common/core/DateTime.h"

namespace sim34 {

class Emulator {
public:
    explicit Emulator(Config config = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Serves a new pseudo-terminal; the client opens slavePath() as its port.
    bool startPty(std::string* error = nullptr);
    // Serves TCP on 127.0.0.1:port, one client at a time (0: any free port).
    bool startTcp(int port = 0, std::string* error = nullptr);
    // Joins the thread, closes every descriptor, saves the state file.
    void stop();
    bool running() const { return thread_.joinable(); }

    std::string slavePath() const { return slavePath_; }
    int port() const { return port_; }

    // ---- the main meter (the one of Config::meterNumber) ----
    void setMeterNumber(std::uint32_t number);
    std::uint32_t meterNumber() const;
    void setVersion(std::uint16_t version);
    void setKeys(std::uint32_t keyA, std::uint32_t keyB);
    void setPassword(int level, std::uint32_t password);  // level 1 or 2
    std::uint32_t keyA() const;
    std::uint32_t keyB() const;
    std::uint32_t password(int level) const;
    void setClockOffsetMs(std::int64_t ms);
    std::int64_t clockOffsetMs() const;
    void setMeterTime(const common::DateTime& meterTime);
    common::DateTime meterTime() const;
    bool sessionOpen() const;
    bool transparentMode() const;

    // Anything else, under the emulator's lock: records, structures,
    // journals, the session... number 0 = the main meter. False when no
    // meter has that number. Changes made here are saved like the meter's own.
    bool withMeter(const std::function<void(MeterModel&)>& f, std::uint32_t number = 0);

    // ---- fault switches ----
    void setFaults(const Faults& faults);
    Faults faults() const;
    void setSilence(int requests);
    void setBadCheck(int replies);
    void setWrongPacket(int replies);
    void setOtherMeter(int replies);
    void setStaleReply(int replies);
    void forceResult(std::uint8_t command, std::uint8_t result);
    void clearForcedResults();
    void setBaud(int baud);                     // 0: no pacing
    void setSplit(int chunkBytes, int gapMs);   // 0: replies in one piece
    void setCarrierLossAfter(int replies);
    void setReplyDelayMs(int ms);
    // The carrier drops now: "NO CARRIER" from the modem, or the line hangs up.
    void dropCarrier();

    // ---- what happened ----
    std::vector<LogEntry> log() const;
    // Bytes of every request frame (or envelope carrying one) and station
    // query received, as on the wire, in order, answered or not.
    std::vector<std::vector<std::uint8_t>> requests() const;
    // Bytes of every meter reply and station answer sent, as on the wire.
    std::vector<std::vector<std::uint8_t>> replies() const;
    // Every byte received, in order.
    std::vector<std::uint8_t> rawInput() const;
    void clearLog();
    Counters counters() const;
    // Waits until pred holds for the counters (true) or ms pass (false).
    bool waitFor(const std::function<bool(const Counters&)>& pred, int ms) const;

private:
    bool startCommon(std::string* error);
    void run();
    void perform(std::vector<Action>& actions);
    bool writeAll(const std::uint8_t* data, std::size_t n);
    bool pause(int ms);  // false when stopping
    void closeClient();
    void saveState();
    Counters countersLocked() const;

    Config config_;
    mutable std::mutex mu_;
    mutable std::condition_variable changed_;
    Engine engine_;                 // guarded by mu_
    std::vector<Action> pending_;   // guarded by mu_: actions asked for by other threads
    std::vector<MeterState> foreign_;  // guarded by mu_: state-file sections of meters not emulated now
    std::uint64_t connections_ = 0; // guarded by mu_
    std::uint64_t saves_ = 0;       // guarded by mu_
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int wake_ = -1;
    int master_ = -1;
    int slaveKeep_ = -1;
    int listener_ = -1;
    int client_ = -1;
    bool tcp_ = false;
    std::string slavePath_;
    int port_ = 0;
};

}  // namespace sim34
