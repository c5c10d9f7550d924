#pragma once
// A prepayment meter of version 51..54 that answers on a pseudo-terminal or
// as a TCP client of the console's TCP server, in-process on its own threads.
//
//   sim5x::Emulator meter;                      // meter 1234567, ident 1, password 0, version 53
//   std::string tty = meter.startPty();         // a client opens tty like a serial port
//   meter.startTcpClient("127.0.0.1", port);    // and/or connects to the console's server
//   meter.updateFaults([](sim5x::Faults& f) { f.silence = 1; });
//   ...
//   meter.stop();                               // joins the threads, closes the descriptors
//
// Every member function is thread-safe. The meter speaks only when spoken to.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "sim/counter5x/Faults.h"
#include "sim/counter5x/MeterModel.h"
#include "sim/counter5x/Protocol.h"
#include "sim/counter5x/StateFile.h"

namespace sim5x {

// How the line fronts behave (milliseconds).
struct LinkSettings {
    int frameGapMs = 1000;        // silence that drops a partly received request
    int reconnectMinMs = 100;     // TCP: first pause after a refused or dropped connection,
    int reconnectMaxMs = 1000;    //      doubled after each failure up to this
    int connectTimeoutMs = 3000;  // TCP: one connection attempt
    int writeTimeoutMs = 2000;    // a reply nobody takes is dropped after this
};

enum class Front : std::uint8_t { Direct, Pty, Tcp };

struct LogEntry {
    enum class Kind : std::uint8_t {
        Request,     // a check-code-valid request frame as received (scrambled)
        BadRequest,  // bytes dropped for a wrong check code or length
        Reply,       // bytes sent (spoiled check code and trailing bytes included)
    };
    Kind kind = Kind::Request;
    Front front = Front::Direct;
    std::vector<std::uint8_t> bytes;
};

struct Counters {
    std::uint64_t requests = 0;        // check-code-valid request frames
    std::uint64_t badFrames = 0;       // frames dropped for a wrong check code or length
    std::uint64_t authorizations = 0;  // sessions opened
    std::uint64_t sessionsEnded = 0;   // end-of-session requests
    std::uint64_t answered = 0;        // replies sent
    std::uint64_t refusals = 0;        // replies with code 1
    std::uint64_t unanswered = 0;      // valid requests left without a reply
    std::uint64_t tcpConnects = 0;     // connections made to the TCP server
};

class Emulator {
public:
    // Throws std::invalid_argument for a version outside 51..54.
    explicit Emulator(const MeterSettings& meter = {}, const LinkSettings& link = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // --- fronts ------------------------------------------------------------------
    // Opens a pseudo-terminal and answers on it; returns the path a client
    // opens like a serial port. Throws std::runtime_error (also when already started).
    std::string startPty();
    std::string ptyPath() const;
    // Connects to the console's TCP server at host:port (IPv4 address or
    // name) and answers there; reconnects whenever the server is away.
    // Throws std::runtime_error when already started.
    void startTcpClient(const std::string& host, int port);
    bool tcpConnected() const;
    // Waits until the TCP front is connected (true) or ms pass (false).
    bool waitTcpConnected(int ms) const;
    // Waits until pred holds for the counters (true) or ms pass (false); the
    // counters are looked at again after every frame, e.g. to see a request
    // that gets no reply arrive.
    bool waitUntil(const std::function<bool(const Counters&)>& pred, int ms) const;
    // Stops both fronts: joins their threads, closes their descriptors.
    void stop();

    // In-process exchange without a line: feeds bytes to a receiver of its
    // own and returns what the meter would send (faults applied, pauses skipped).
    std::vector<std::uint8_t> exchange(const std::vector<std::uint8_t>& bytes);

    // --- meter state -------------------------------------------------------------
    int version() const;
    void setVersion(int version);  // 51..54; configuration back to defaults (see MeterModel)
    std::uint32_t meterNumber() const;
    void setMeterNumber(std::uint32_t n);
    std::uint32_t ident() const;
    void setIdent(std::uint32_t ident);
    std::uint16_t password() const;
    void setPassword(std::uint16_t password);
    bool kopecks() const;
    void setKopecks(bool kopecks);
    std::int64_t clockOffsetMs() const;
    void setClockOffsetMs(std::int64_t ms);
    common::DateTime clock() const;
    void setClock(const common::DateTime& t);
    bool cardMode() const;
    Contactor contactor() const;
    bool channel(int n) const;  // 1 or 2
    std::string currency() const;
    bool sessionOpen() const;
    std::array<std::uint8_t, 4> sessionKey() const;
    void setFixedSessionKey(std::optional<std::array<std::uint8_t, 4>> key);
    // A record with its seal (empty when there is none).
    std::vector<std::uint8_t> record(std::uint8_t area, std::uint16_t index) const;
    bool setRecord(std::uint8_t area, std::uint16_t index, const std::vector<std::uint8_t>& bytes, bool reseal = true);
    std::vector<AreaSpec> layout() const;
    // Runs f on the meter under the lock, for anything not covered above.
    void withMeter(const std::function<void(MeterModel&)>& f);

    // --- faults -------------------------------------------------------------------
    Faults faults() const;
    void setFaults(const Faults& f);
    void updateFaults(const std::function<void(Faults&)>& f);

    // --- observation --------------------------------------------------------------
    std::vector<LogEntry> log() const;
    void clearLog();
    void setLogLimit(std::size_t entries);  // the oldest entries go first; default 100000
    Counters counters() const;
    // Called for every log entry, on the thread that made it, outside the lock.
    void setTrace(std::function<void(const LogEntry&)> trace);

    // --- state file ----------------------------------------------------------------
    // Applies a loaded state; throws StateError naming what does not fit this
    // meter (another version, unknown or read-only area, wrong record length).
    void applyState(const StateData& state);
    StateData captureState() const;
    // After every change made over the line (not by the setters above),
    // saves the state to path, atomically; an empty path switches it off.
    void setAutosave(const std::string& path);
    // Saves to the autosave path now; false (with lastSaveError) on failure.
    bool saveNow();
    std::string lastSaveError() const;

    // --- used by the fronts ------------------------------------------------------------
    // What a front sends for one request.
    struct Outgoing {
        std::vector<std::uint8_t> bytes;
        int delayMs = 0, splitChunk = 0, splitGapMs = 0, byteGapMs = 0, paceBaud = 0;
        bool save = false;    // the state changed: save after sending
        bool hangUp = false;  // close the TCP connection instead of replying
    };
    Outgoing onFrame(Front front, const std::uint8_t* frame, std::size_t size);
    void onBadFrame(Front front, const std::uint8_t* bytes, std::size_t size);
    void noteSent(Front front, const std::vector<std::uint8_t>& bytes);
    void noteTcpConnected(bool connected);
    const LinkSettings& linkSettings() const { return link_; }

    class FrontThread;  // one line front on a thread of its own (Fronts.cpp)

private:
    void append(LogEntry::Kind kind, Front front, const std::uint8_t* p, std::size_t n);

    const LinkSettings link_;
    mutable std::mutex mu_;
    MeterModel model_;
    Faults faults_;
    Counters counters_;
    std::deque<LogEntry> log_;
    std::size_t logLimit_ = 100000;
    std::function<void(const LogEntry&)> trace_;
    std::string autosave_;
    std::string saveError_;
    bool tcpUp_ = false;
    mutable std::condition_variable changed_;  // a frame came, or the TCP front connected or dropped
    std::mutex saveMu_;                        // one writer of the state file at a time
    RequestAssembler direct_;

    mutable std::mutex frontsMu_;  // start/stop of the fronts
    std::mutex directMu_;          // exchange() callers, one at a time
    std::unique_ptr<FrontThread> pty_;
    std::unique_ptr<FrontThread> tcp_;
};

}  // namespace sim5x
