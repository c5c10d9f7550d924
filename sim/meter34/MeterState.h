#pragma once
// What a version 3/4 meter keeps in its non-volatile memory: identity, access
// keys and passwords, parameter records, structures, journals and histories,
// and the offset of its clock to the host clock. The session, the transparent
// mode and everything computed (energies, load profiles, phase values) are not
// part of it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/core/DateTime.h"

namespace sim34 {

// Fixed record sizes on the wire.
constexpr int kMainRecordSize = 14;
constexpr int kAdditionalRecordSize = 8;
constexpr int kSecondRecordSize = 26;
constexpr int kCalibrationSize = 42;
constexpr int kMonths = 12;
constexpr int kTariffRecordSize = 50;
constexpr int kHolidaySlots = 30;
constexpr int kHolidayRecordSize = 4;
constexpr int kJournals = 9;
constexpr int kMaxJournalRecords = 50;  // the ring of version 100 meters; others use 16
constexpr int kClockHistoryEntries = 5;
constexpr int kRatioHistoryEntries = 16;
constexpr int kChannels = 3;

struct JournalEvent {
    std::uint8_t code = 0;
    std::uint32_t time = 0;  // packed 32-bit time stamp
};

struct ClockChange {
    std::uint8_t op = 0;  // 0 correction, 1 administrator, 2 user
    std::uint32_t before = 0;
    std::uint32_t set = 0;
};

struct RatioChange {
    std::uint16_t ki = 1;
    std::uint16_t ku = 1;
    std::uint32_t time = 0;
    std::array<std::uint32_t, 4> energy{};  // A+ per tariff at the change, W*h
};

struct Speed {
    std::uint8_t code = 3;  // 0 = 1200 .. 8 = 115200 bit/s
    std::uint8_t type = 0;  // channel type
};

struct MeterState {
    std::uint32_t number = 12345;
    std::uint16_t version = 4;
    std::uint32_t keyA = 1;
    std::uint32_t keyB = 1;
    std::array<std::uint32_t, 2> password{1, 2};  // levels 1 and 2

    // Meter clock = host clock + this offset.
    std::int64_t clockOffsetMs = 0;
    // Seed of the consumption model: the same seed gives the same history.
    std::uint32_t seed = 0;
    // Start of the stored history (meter calendar); nothing exists before it.
    common::DateTime historyStart;
    // Outages up to this moment are already in the power journal.
    common::DateTime powerSynced;

    std::array<std::uint8_t, kMainRecordSize> main{};
    std::array<std::uint8_t, kAdditionalRecordSize> additional{};
    std::array<std::uint8_t, kSecondRecordSize> second{};
    std::array<Speed, kChannels> speeds{};
    std::uint8_t contactor = 1;  // 0 off, 1 on
    bool magnetFlag = false;
    std::uint8_t loraPower = 0;
    std::uint8_t aMinusAllowance = 3;
    std::uint8_t backlight = 1;
    std::uint8_t checkMode = 0;  // 0 none, 4 time check, 5 indicator check
    std::array<std::uint8_t, kCalibrationSize> calibration{};

    std::uint16_t ratioI = 1;
    std::uint16_t ratioU = 1;
    std::uint16_t ratioCount = 0;               // changes ever made
    std::vector<RatioChange> ratioHistory;      // newest last, at most 16

    std::array<std::array<std::uint8_t, kTariffRecordSize>, kMonths> tariffs{};
    std::array<std::array<std::uint8_t, kHolidayRecordSize>, kHolidaySlots> holidays{};
    std::array<std::uint8_t, 8> pulses{};        // structure 18
    std::array<std::uint8_t, 6> voltage{};       // structure 23
    std::array<std::uint8_t, 32> apn{};          // structure 25
    std::array<std::uint8_t, 26> tcp{};          // structure 26
    std::array<std::uint8_t, 6> contactorByTariff{};  // structure 27
    std::array<std::uint8_t, 6> functions{};     // structure 28

    std::uint16_t clockChangeCount = 0;
    std::vector<ClockChange> clockChanges;  // newest first, at most 5

    std::array<std::vector<JournalEvent>, kJournals> journals;  // newest last, at most 50 each
    std::array<std::uint32_t, kJournals> journalCounts{};      // events ever written
};

// A factory-fresh meter installed about two years before meterNow, with
// plausible history. Deterministic for a given number and meterNow's day.
MeterState DefaultMeterState(std::uint32_t number, std::uint16_t version, const common::DateTime& meterNow);

// State file: a text file of "[meter]" sections with key=value lines, one
// section per emulated meter. Load fails with a message naming the line.
bool LoadStateFile(const std::string& path, std::vector<MeterState>& meters, std::string& error);
// Written whole (temporary file + rename) or not at all.
bool SaveStateFile(const std::string& path, const std::vector<MeterState>& meters, std::string& error);
std::string FormatState(const std::vector<MeterState>& meters);
bool ParseState(const std::string& text, std::vector<MeterState>& meters, std::string& error);

// 32-bit packed time stamp of journals and histories (year 2000..2127).
std::uint32_t PackDateTime32(const common::DateTime& d);

}  // namespace sim34
