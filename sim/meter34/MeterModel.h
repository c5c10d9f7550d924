#pragma once
// One emulated meter of versions 3 and 4 above the frame layer: the access
// session with its cipher, every command of the command layer and the
// numbered structures, on top of the stored state and the consumption model.

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "sim/meter34/EnergyModel.h"
#include "sim/meter34/MeterState.h"
#include "common/core/DateTime.h"
#include "meter34/CRCUtils.h"

namespace sim34 {

// Result codes a meter answers with.
enum Result : std::uint8_t {
    kOk = 0,
    kAccessError = 1,
    kUnsupported = 2,
    kDataError = 4,
    kNoRights = 7,
    kNoSuchUser = 8,
    kBadParameters = 9,
    kBadStructure = 10,
    kBadIndex = 11,
    kStructureAccess = 12,
    kBlockCrc = 13,
    kNoData = 15,
};

// Packet types (frame offset 9, bits 0-6).
enum PacketType : std::uint8_t { kSessionStep = 1, kSessionClose = 2, kRead = 3, kWrite = 4 };

struct MeterRequest {
    std::uint8_t type = kRead;
    bool enciphered = false;
    std::vector<std::uint8_t> payload;  // as received: command, arguments, sum (enciphered if flagged)
};

struct MeterReply {
    std::vector<std::uint8_t> payload;  // result code and data in clear, without the sum
    bool encipher = false;              // data and sum go out enciphered with key
    meter34::Key4 key;
    int busyMs = 0;                     // the meter works this long before it answers
};

class MeterModel {
public:
    explicit MeterModel(MeterState state);

    MeterState& state() { return state_; }
    const MeterState& state() const { return state_; }
    EnergyModel& energy() { return energy_; }

    // The meter's clock at a host moment, and setting it.
    common::DateTime clock(const common::DateTime& hostNow) const;
    void setClock(const common::DateTime& meterTime, const common::DateTime& hostNow);

    // Handles one request addressed to this meter. No value: the meter stays
    // silent (it is in transparent mode). forced: command code -> result code
    // answered instead of executing the command.
    std::optional<MeterReply> handle(const MeterRequest& request, const common::DateTime& hostNow,
                                     const std::map<std::uint8_t, std::uint8_t>* forced = nullptr);

    // Access session.
    bool sessionOpen() const { return auth_ == Auth::Open; }
    int sessionLevel() const { return auth_ == Auth::Open ? level_ : 0; }
    void closeSession() { auth_ = Auth::None; }

    // Transparent mode: entered by service function 7, left by "*****".
    bool transparent() const { return transparent_; }
    void setTransparent(bool on) { transparent_ = on; }

    // Power journal catch-up with the outages up to the meter's present.
    void syncPowerJournal(const common::DateTime& hostNow);

    // Records a journal event (newest last) and marks the state changed.
    void addEvent(int journal, std::uint8_t code, const common::DateTime& meterTime);

    // True once after the stored state changed.
    bool takeDirty() {
        const bool d = dirty_;
        dirty_ = false;
        return d;
    }
    void markDirty() { dirty_ = true; }

    // How long calibration keeps the meter busy, ms.
    int calibrationMs = 2000;

    // Session counters of this meter.
    std::uint64_t sessionsOpened = 0;
    std::uint64_t authFailures = 0;

    // Journal records per journal for this meter's version.
    int journalRecords() const { return state_.version == 100 ? 50 : 16; }

private:
    enum class Auth { None, Challenged, KeysOk, Open };

    using Bytes = std::vector<std::uint8_t>;
    void answer(const MeterRequest& request, const Bytes& p, MeterReply& reply, const common::DateTime& hostNow,
                const std::map<std::uint8_t, std::uint8_t>* forced);
    std::uint8_t sessionStep(const Bytes& p, bool enciphered, Bytes& out, const common::DateTime& hostNow);
    std::uint8_t read(std::uint8_t cmd, const std::uint8_t* a, std::size_t n, Bytes& out, const common::DateTime& hostNow);
    std::uint8_t write(std::uint8_t cmd, const std::uint8_t* a, std::size_t n, Bytes& out, MeterReply& reply,
                       const common::DateTime& hostNow);
    std::uint8_t service(std::uint8_t function, Bytes& out, MeterReply& reply, const common::DateTime& hostNow);
    std::uint8_t getStruct(int number, int index, Bytes& out);
    std::uint8_t setStruct(int number, int index, const std::uint8_t* data, std::size_t n);
    std::uint8_t powerProfile(const std::uint8_t* a, Bytes& out, const common::DateTime& hostNow);
    std::uint8_t energyValue(const std::uint8_t* a, Bytes& out, const common::DateTime& hostNow);
    void stateRecord(Bytes& out, const common::DateTime& hostNow);
    void statusRecord(Bytes& out, const common::DateTime& hostNow);
    bool needsSession(std::uint8_t cmd, const std::uint8_t* a, std::size_t n) const;

    MeterState state_;
    EnergyModel energy_;
    Auth auth_ = Auth::None;
    int level_ = 0;
    meter34::Key4 sessionKey_;
    meter34::Key4 expected_;
    bool transparent_ = false;
    bool dirty_ = false;
    std::mt19937 rng_;
};

}  // namespace sim34
