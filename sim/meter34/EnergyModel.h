#pragma once
// The consumption the emulated meter has measured since its history start.
//
// Everything is derived from one deterministic function: the energy of each
// half-hour slot per phase and kind (A+, A-, R+, R-), drawn from a daily load
// shape, the day of the week, the season and a seeded hash. Totals, day and
// month values, tariff splits and load-profile intervals are all differences
// of one accumulated function, so they always agree with each other. Whole
// half-hours of a few days are power outages: nothing is consumed and the
// load profile stores nothing for them.
//
// Times are milliseconds of the meter's calendar (DateTime::toMSecsSinceEpoch).

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/meter34/MeterState.h"

namespace sim34 {

constexpr std::int64_t kSlotMs = 30LL * 60 * 1000;
constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

struct PhaseSample {
    std::int32_t p = 0;  // 0.01 W
    std::int32_t q = 0;  // 0.01 var
    std::int32_t u = 0;  // 0.01 V
    std::int32_t i = 0;  // 0.001 A
    std::uint16_t f = 0; // 0.01 Hz
    std::int16_t k = 0;  // 0.0001
};

class EnergyModel {
public:
    // Energy type codes of the command layer: 0..11 are A+, A-, R+, R- of
    // phases A, B, C in that order; 12..15 the same kinds summed over phases.
    static bool ValidType(int type) { return type >= 0 && type <= 15; }

    // Energy of type in tariff (0..3, or -1 for all tariffs) consumed from the
    // history start up to t, W*h. 0 for t before the history start.
    std::uint64_t accumulated(const MeterState& s, int type, int tariff, std::int64_t t);

    struct Interval {
        bool stored = false;    // false: no value (power was off)
        bool restored = false;  // the first interval after an outage
        std::uint32_t wh = 0;
    };
    // Energy of type over [a, b) for the load profile (all tariffs).
    Interval interval(const MeterState& s, int type, std::int64_t a, std::int64_t b);

    // Instantaneous values per phase at meter time t.
    std::array<PhaseSample, 3> phases(const MeterState& s, std::int64_t t) const;

    // Tariff (0..3) in force at t by the schedule and the holiday list.
    static int TariffAt(const MeterState& s, std::int64_t t);
    // Power outages [start, end) that ended in (from, to].
    static std::vector<std::pair<std::int64_t, std::int64_t>> Outages(std::uint32_t seed, std::int64_t from,
                                                                       std::int64_t to);

    // Forget cached day totals (after the schedule or the holidays changed).
    void invalidate() { cache_.clear(); }

private:
    struct DayTotals {
        // [phase][kind][tariff], W*h
        std::array<std::uint32_t, 48> v{};
    };
    const DayTotals& dayTotals(const MeterState& s, std::int64_t day);
    std::uint64_t partial(const MeterState& s, int type, int tariff, std::int64_t from, std::int64_t to,
                          std::int64_t hs, std::int64_t t) const;

    std::unordered_map<std::int64_t, DayTotals> cache_;
};

}  // namespace sim34
