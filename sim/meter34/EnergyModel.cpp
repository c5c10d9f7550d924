#include "sim/meter34/EnergyModel.h"

#include <algorithm>
#include <cmath>

#include "meter34/Structures.h"

namespace sim34 {

using common::DateTime;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Average active power of phase A per hour of a working day, W.
constexpr double kShape[24] = {90, 80, 75, 75, 80, 110, 220, 380, 350, 240, 200, 190,
                               210, 200, 190, 200, 260, 420, 520, 560, 500, 380, 220, 130};
constexpr double kPhaseShare[3] = {1.0, 0.85, 0.65};

std::uint64_t Hash(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    std::uint64_t x = a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL) * 0xBF58476D1CE4E5B9ULL ^
                      (c + 0x85EBCA77C2B2AE63ULL) * 0x94D049BB133111EBULL;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

double Unit(std::uint64_t h) { return static_cast<double>(h >> 11) / 9007199254740992.0; }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

struct DayInfo {
    int dayOfWeek = 1;  // 1 Monday .. 7 Sunday
    int dayOfYear = 1;
    int month = 1;
    int column = 3;     // tariff day type: 0 holiday, 1 Sunday, 2 Saturday, 3 working day
};

bool IsHoliday(const MeterState& s, int day, int month) {
    for (const auto& h : s.holidays) {
        const int v = h[0] | (h[1] << 8);
        if (v != 0 && (v & 31) == day && ((v >> 5) & 15) == month) return true;
    }
    return false;
}

DayInfo Info(const MeterState& s, std::int64_t day) {
    DayInfo d;
    const DateTime t = DateTime::fromMSecsSinceEpoch(day * kDayMs);
    d.dayOfWeek = t.dayOfWeek();
    d.month = t.month();
    const DateTime jan1 = DateTime::makeOrEmpty(t.year(), 1, 1);
    d.dayOfYear = static_cast<int>(jan1.msecsTo(t) / kDayMs) + 1;
    if (IsHoliday(s, t.day(), t.month())) d.column = 0;
    else if (d.dayOfWeek == 7) d.column = 1;
    else if (d.dayOfWeek == 6) d.column = 2;
    else d.column = 3;
    return d;
}

int SlotTariff(const MeterState& s, const DayInfo& d, int slotInDay) {
    const std::uint8_t b = s.tariffs[static_cast<std::size_t>(d.month - 1)][static_cast<std::size_t>(slotInDay)];
    return (b >> (6 - 2 * d.column)) & 3;
}

bool OutageSlot(std::uint32_t seed, std::int64_t slot) {
    const std::int64_t day = FloorDiv(slot, 48);
    const std::uint64_t h = Hash(seed, static_cast<std::uint64_t>(day), 0xA5);
    if (h % 23 != 0) return false;
    const std::int64_t start = 4 + static_cast<std::int64_t>((h >> 8) % 40);
    const std::int64_t length = 1 + static_cast<std::int64_t>((h >> 16) % 3);
    const std::int64_t k = slot - day * 48;
    return k >= start && k < start + length;
}

double ActiveWatts(std::uint32_t seed, std::int64_t slot, int phase, const DayInfo& d) {
    const int hour = static_cast<int>((slot - FloorDiv(slot, 48) * 48) / 2);
    const double restDay = (d.column != 3) ? 1.15 : 1.0;
    const double season = 1.0 + 0.25 * std::cos(2 * kPi * (d.dayOfYear - 15) / 365.25);
    const double noise = 0.75 + 0.5 * Unit(Hash(seed, static_cast<std::uint64_t>(slot), static_cast<std::uint64_t>(phase)));
    return kShape[hour] * kPhaseShare[phase] * restDay * season * noise;
}

// Energy of one slot per kind, W*h.
std::array<std::uint32_t, 4> SlotEnergy(std::uint32_t seed, std::int64_t slot, int phase, const DayInfo& d) {
    std::array<std::uint32_t, 4> e{};
    if (OutageSlot(seed, slot)) return e;
    const double wh = ActiveWatts(seed, slot, phase, d) * 0.5;
    const std::uint64_t h = Hash(seed, static_cast<std::uint64_t>(slot), 100 + static_cast<std::uint64_t>(phase));
    e[0] = static_cast<std::uint32_t>(std::lround(wh));
    e[1] = (h % 61 == 0) ? static_cast<std::uint32_t>(1 + (h >> 8) % 3) : 0;  // a little export now and then
    e[2] = static_cast<std::uint32_t>(std::lround(wh * (0.25 + 0.1 * Unit(h))));
    e[3] = static_cast<std::uint32_t>(std::lround(wh * 0.03));
    return e;
}

// The part of a slot's energy consumed within [hs, t]: a whole slot counts
// fully, a cut one in proportion (rounded down, so sums never overshoot).
std::uint64_t Term(std::uint32_t v, std::int64_t slotStart, std::int64_t hs, std::int64_t t) {
    const std::int64_t from = std::max(hs, slotStart);
    const std::int64_t to = std::min(t, slotStart + kSlotMs);
    if (to <= from) return 0;
    return static_cast<std::uint64_t>(v) * static_cast<std::uint64_t>(to - from) / static_cast<std::uint64_t>(kSlotMs);
}

void PhasesOf(int type, int& first, int& last, int& kind) {
    if (type < 12) {
        first = last = type / 4;
        kind = type % 4;
    } else {
        first = 0;
        last = 2;
        kind = type - 12;
    }
}

}  // namespace

int EnergyModel::TariffAt(const MeterState& s, std::int64_t t) {
    const std::int64_t day = FloorDiv(t, kDayMs);
    const DayInfo d = Info(s, day);
    return SlotTariff(s, d, static_cast<int>((t - day * kDayMs) / kSlotMs));
}

std::vector<std::pair<std::int64_t, std::int64_t>> EnergyModel::Outages(std::uint32_t seed, std::int64_t from,
                                                                          std::int64_t to) {
    std::vector<std::pair<std::int64_t, std::int64_t>> out;
    if (to <= from) return out;
    // An outage is at most three slots long and lies within one day.
    for (std::int64_t day = FloorDiv(from, kDayMs); day <= FloorDiv(to, kDayMs); ++day) {
        std::int64_t start = -1;
        for (std::int64_t k = 0; k <= 48; ++k) {
            const std::int64_t slot = day * 48 + k;
            const bool off = k < 48 && OutageSlot(seed, slot);
            if (off && start < 0) start = slot;
            if (!off && start >= 0) {
                const std::int64_t a = start * kSlotMs, b = slot * kSlotMs;
                if (b > from && b <= to) out.emplace_back(a, b);
                start = -1;
            }
        }
    }
    return out;
}

const EnergyModel::DayTotals& EnergyModel::dayTotals(const MeterState& s, std::int64_t day) {
    auto it = cache_.find(day);
    if (it != cache_.end()) return it->second;
    if (cache_.size() > 50000) cache_.clear();  // the calendar of 2000..2127 fits
    DayTotals t;
    const DayInfo d = Info(s, day);
    for (int k = 0; k < 48; ++k) {
        const int tariff = SlotTariff(s, d, k);
        for (int phase = 0; phase < 3; ++phase) {
            const auto e = SlotEnergy(s.seed, day * 48 + k, phase, d);
            for (int kind = 0; kind < 4; ++kind) t.v[static_cast<std::size_t>((phase * 4 + kind) * 4 + tariff)] += e[static_cast<std::size_t>(kind)];
        }
    }
    return cache_.emplace(day, t).first->second;
}

std::uint64_t EnergyModel::partial(const MeterState& s, int type, int tariff, std::int64_t from, std::int64_t to,
                                   std::int64_t hs, std::int64_t t) const {
    int first = 0, last = 0, kind = 0;
    PhasesOf(type, first, last, kind);
    std::uint64_t sum = 0;
    if (to <= from) return 0;
    const std::int64_t day = FloorDiv(from, kDayMs);
    const DayInfo d = Info(s, day);
    for (std::int64_t slot = FloorDiv(from, kSlotMs); slot * kSlotMs < to; ++slot) {
        const int k = static_cast<int>(slot - day * 48);
        if (k < 0 || k >= 48) break;
        if (tariff >= 0 && SlotTariff(s, d, k) != tariff) continue;
        for (int phase = first; phase <= last; ++phase) {
            const auto e = SlotEnergy(s.seed, slot, phase, d);
            sum += Term(e[static_cast<std::size_t>(kind)], slot * kSlotMs, hs, t);
        }
    }
    return sum;
}

std::uint64_t EnergyModel::accumulated(const MeterState& s, int type, int tariff, std::int64_t t) {
    if (s.historyStart.isEmpty() || !ValidType(type)) return 0;
    const std::int64_t hs = s.historyStart.toMSecsSinceEpoch();
    if (t <= hs) return 0;
    int first = 0, last = 0, kind = 0;
    PhasesOf(type, first, last, kind);
    std::uint64_t sum = 0;
    for (std::int64_t day = FloorDiv(hs, kDayMs); day * kDayMs < t; ++day) {
        const std::int64_t ds = day * kDayMs, de = ds + kDayMs;
        if (ds >= hs && de <= t) {
            const DayTotals& dt = dayTotals(s, day);
            for (int phase = first; phase <= last; ++phase)
                for (int tr = 0; tr < 4; ++tr)
                    if (tariff < 0 || tr == tariff) sum += dt.v[static_cast<std::size_t>((phase * 4 + kind) * 4 + tr)];
        } else {
            sum += partial(s, type, tariff, std::max(ds, hs), std::min(de, t), hs, t);
        }
    }
    return sum;
}

EnergyModel::Interval EnergyModel::interval(const MeterState& s, int type, std::int64_t a, std::int64_t b) {
    Interval r;
    if (s.historyStart.isEmpty() || !ValidType(type) || b <= a) return r;
    const std::int64_t hs = s.historyStart.toMSecsSinceEpoch();
    if (a < hs) return r;
    for (std::int64_t slot = FloorDiv(a, kSlotMs); slot * kSlotMs < b; ++slot)
        if (OutageSlot(s.seed, slot)) return r;
    r.stored = true;
    const std::int64_t firstSlot = FloorDiv(a, kSlotMs);
    r.restored = a == firstSlot * kSlotMs && OutageSlot(s.seed, firstSlot - 1);
    // E(b) - E(a): only the slots overlapping [a, b) differ between the two.
    const std::uint64_t v = partial(s, type, -1, a, b, hs, b) - partial(s, type, -1, a, b, hs, a);
    r.wh = static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFULL));
    return r;
}

std::array<PhaseSample, 3> EnergyModel::phases(const MeterState& s, std::int64_t t) const {
    std::array<PhaseSample, 3> out{};
    const std::int64_t slot = FloorDiv(t, kSlotMs);
    const DayInfo d = Info(s, FloorDiv(t, kDayMs));
    const double sec = static_cast<double>(t) / 1000.0;
    const double f = 50.0 + 0.04 * std::sin(2 * kPi * sec / 120.0);
    for (int ph = 0; ph < 3; ++ph) {
        PhaseSample& o = out[static_cast<std::size_t>(ph)];
        const double jitter = Unit(Hash(s.seed, static_cast<std::uint64_t>(t / 1000), 200 + static_cast<std::uint64_t>(ph)));
        const double u = 230.0 + 3.5 * std::sin(2 * kPi * sec / 600.0 + ph * 2.1) + 0.4 * (jitter - 0.5);
        double k = 0.95 + 0.03 * std::sin(2 * kPi * sec / 900.0 + ph);
        double p = ActiveWatts(s.seed, slot, ph, d) * (1.0 + 0.06 * std::sin(2 * kPi * sec / 47.0 + ph));
        if (s.contactor == 0) {
            p = 0;
            k = 1.0;
        }
        const double q = p * std::tan(std::acos(k));
        const double i = p / (u * k);
        o.p = static_cast<std::int32_t>(std::lround(p * 100));
        o.q = static_cast<std::int32_t>(std::lround(q * 100));
        o.u = static_cast<std::int32_t>(std::lround(u * 100));
        o.i = static_cast<std::int32_t>(std::lround(i * 1000));
        o.f = static_cast<std::uint16_t>(std::lround(f * 100));
        o.k = static_cast<std::int16_t>(std::lround(k * 10000));
    }
    return out;
}

}  // namespace sim34
