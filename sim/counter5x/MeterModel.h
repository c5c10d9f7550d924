#pragma once
// The meter itself, without any line: its memory areas, clock, session and
// the answer to each request frame. Not thread-safe; the Emulator guards it.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "sim/counter5x/Protocol.h"

namespace sim5x {

struct MeterSettings {
    int version = 53;                    // 51..54
    std::uint32_t meterNumber = 1234567;  // serial number, asked by the authorization
    std::uint32_t ident = 1;             // identifier, asked by the authorization (area 3, offset 0)
    std::uint16_t password = 0;          // write password (entry 0 of the password area)
    bool kopecks = false;                // money kept in kopecks; rubles when false
    int profilePoints = 2976;            // load-profile points recorded (31 days of quarter hours), 0..65535
    std::int64_t clockOffsetMs = 0;      // meter clock minus the computer's clock
};

enum class Contactor : std::uint8_t { On, Off, Released };

class MeterModel {
public:
    explicit MeterModel(const MeterSettings& settings = {});

    // One reply frame's code and data (data already scrambled with the key).
    struct Reply {
        bool send = false;     // false: the meter stays silent
        std::uint8_t code = 0;
        std::uint8_t len = 0;
        std::array<std::uint8_t, kMaxData> data{};
        bool changed = false;  // something worth keeping in a state file changed
        bool refused() const { return send && code == kRefused; }
    };

    // Answers one check-code-valid request. With forcedRefusal >= 0 a request
    // the meter would answer is refused with that reason instead of acted on.
    Reply handle(std::uint8_t code, const std::uint8_t* data, std::size_t len, int forcedRefusal = -1);

    // --- identity and settings -------------------------------------------
    int version() const { return version_; }
    // Rebuilds the memory for another version: configuration back to the
    // factory defaults, statistics regenerated; identity, passwords, money
    // mode and clock are kept.
    void setVersion(int version);
    std::uint32_t meterNumber() const { return meterNumber_; }
    void setMeterNumber(std::uint32_t n);
    std::uint32_t ident() const;
    void setIdent(std::uint32_t ident);
    std::uint16_t password() const;
    void setPassword(std::uint16_t password);  // every entry of the password area
    bool kopecks() const { return kopecks_; }
    void setKopecks(bool kopecks);
    int profilePoints() const { return profilePoints_; }

    // --- clock -------------------------------------------------------------
    std::int64_t clockOffsetMs() const { return clockOffsetMs_; }
    void setClockOffsetMs(std::int64_t ms) { clockOffsetMs_ = ms; }
    common::DateTime clock() const;
    void setClock(const common::DateTime& t);

    // --- switches the one-byte commands drive ---------------------------------
    bool cardMode() const { return cardMode_; }
    void setCardMode(bool on);
    Contactor contactor() const { return contactor_; }
    void setContactor(Contactor c) { contactor_ = c; }
    bool channel(int n) const { return n == 1 ? channel1_ : channel2_; }
    void setChannel(int n, bool on) { (n == 1 ? channel1_ : channel2_) = on; }
    std::string currency() const;
    void setCurrency(const std::string& three);  // exactly three characters

    // --- session -------------------------------------------------------------
    bool sessionOpen() const { return session_; }
    std::array<std::uint8_t, 4> sessionKey() const { return key_; }
    // Every session gets a fresh random key unless a fixed one is set.
    void setFixedSessionKey(std::optional<std::array<std::uint8_t, 4>> key) { fixedKey_ = key; }
    // Version reported by the authorization reply (0 = the real one).
    void setReportedVersion(int v) { reportedVersion_ = v; }

    // --- memory ----------------------------------------------------------------
    const std::vector<AreaSpec>& layout() const { return layout_; }
    const AreaSpec* layoutOf(std::uint8_t code) const;
    // One record with its seal; empty when there is no such record.
    std::vector<std::uint8_t> record(std::uint8_t code, std::uint16_t index) const;
    // Replaces a record (size bytes, or size - 2 without the seal); reseals
    // when asked. false when the record does not exist or the size is wrong.
    bool setRecord(std::uint8_t code, std::uint16_t index, const std::vector<std::uint8_t>& bytes, bool reseal = true);

private:
    Reply refuse(std::uint8_t reason) const;
    Reply accept() const;
    Reply readArea(const std::uint8_t* d, std::size_t len);
    Reply writeArea(const std::uint8_t* d, std::size_t len);
    Reply readClock() const;
    Reply writeClock(const std::uint8_t* d, std::size_t len);
    Reply oneByte(const std::uint8_t* d, std::size_t len);
    Reply rangeMode(const std::uint8_t* d, std::size_t len);
    Reply currencyCommand(const std::uint8_t* d, std::size_t len);
    Reply authorize(const std::uint8_t* d, std::size_t len);

    std::uint8_t* at(std::uint8_t code, std::uint16_t index);
    void seal(std::uint8_t code, std::uint16_t index);
    void noteEvent(int event);

    // MeterData.cpp: factory configuration and generated statistics.
    void buildMemory();
    void writeDefaults();
    void generateStatistics();
    void renderMoney();
    void renderDebit();

    int version_;
    std::uint32_t meterNumber_;
    bool kopecks_;
    int profilePoints_;
    std::int64_t clockOffsetMs_;
    bool cardMode_ = true;
    Contactor contactor_ = Contactor::On;
    bool channel1_ = false, channel2_ = false;
    std::array<std::uint8_t, 3> currency_{{'R', 'U', 'B'}};

    bool session_ = false;
    std::array<std::uint8_t, 4> key_{};
    std::optional<std::array<std::uint8_t, 4>> fixedKey_;
    int reportedVersion_ = 0;
    std::mt19937 rng_;

    std::vector<AreaSpec> layout_;
    std::array<int, kAreaCodeLimit> specOf_{};  // code -> index into layout_, -1 when absent
    std::array<std::vector<std::uint8_t>, kAreaCodeLimit> mem_;
    common::DateTime made_;  // meter time the statistics were generated for
    std::uint16_t pendingPassword_ = 0;  // written into the password area by buildMemory
    std::uint32_t pendingIdent_ = 0;
};

}  // namespace sim5x
