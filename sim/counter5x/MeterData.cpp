// Factory configuration and the statistics a meter collects in service.
//
// Statistics are made up once, when the memory is built, for the meter clock
// of that moment and the meter number (the same number always gives the same
// figures). Money is kept in hundredths of a kopeck and shown in the unit of
// the money mode: in rubles a money field holds whole rubles and its 16-bit
// remainder the kopecks; in kopecks whole kopecks and hundredths of a kopeck.
// Energy is in watt-hours, power in watts.
//
// Billing-period slices: slice 0 is the last closed month, slice 12 the month
// a year before it. Power maxima: index 0 is the current month.
#include <cmath>
#include <cstring>

#include "console/link/Structures.h"
#include "sim/counter5x/MeterModel.h"

namespace sim5x {

using common::DateTime;
using console::PutUInt16BE;
using console::PutUInt32BE;

namespace {

// Small deterministic generator (SplitMix64).
class Rng {
public:
    Rng(std::uint32_t meter, int area) : s_((static_cast<std::uint64_t>(meter) << 8) ^ static_cast<std::uint64_t>(area) ^ 0x5DEECE66Dull) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t s_;
};

constexpr double kTariffShare[4] = {0.52, 0.31, 0.11, 0.06};
constexpr double kLimitShare[3] = {0.78, 0.16, 0.06};
// Prices per kWh in kopecks: tariff x (outside the limits, band 1, band 2).
constexpr int kPriceKop[4][3] = {{548, 612, 735}, {296, 330, 395}, {658, 720, 860}, {410, 455, 540}};

// Month and year n months before (year, month).
void MonthsBack(int& year, int& month, int n) {
    int m = year * 12 + (month - 1) - n;
    year = m / 12;
    month = m % 12 + 1;
}

void PutMonthYear(std::uint8_t* p, int year, int month) {
    p[0] = static_cast<std::uint8_t>(month);
    p[1] = static_cast<std::uint8_t>(year - 2000);
}

DateTime At(const DateTime& day, int hour, int minute) {
    return DateTime::makeOrEmpty(day.year(), day.month(), day.day(), hour, minute);
}

}  // namespace

void MeterModel::buildMemory() {
    layout_ = AreaLayout(version_, profilePoints_);
    specOf_.fill(-1);
    for (auto& m : mem_) m.clear();
    for (std::size_t i = 0; i < layout_.size(); ++i) {
        const AreaSpec& a = layout_[i];
        specOf_[a.code] = static_cast<int>(i);
        mem_[a.code].assign(static_cast<std::size_t>(a.count) * a.size, 0);
    }
    made_ = clock();
    writeDefaults();
    generateStatistics();
    for (const AreaSpec& a : layout_)
        for (std::uint16_t i = 0; i < a.count; ++i) seal(a.code, i);
}

void MeterModel::writeDefaults() {
    setPassword(pendingPassword_);

    // Identification: identifier, initialisation moment, hardware revision.
    {
        std::uint8_t* r = at(kAreaIdent, 0);
        PutUInt32BE(r, pendingIdent_);
        PutUInt32BE(r + 4, console::DateTimeToStamp32(At(made_.addDays(-400), 10, 24)));
        r[8] = 0x01;
    }
    // Parameters: clock change allowed, automatic, two decimals, 30-minute
    // integration; summer time on the last Sunday of March at 02:00 (+1 h),
    // winter time on the last Sunday of October at 03:00 (-1 h), dated in 2000.
    {
        std::uint8_t* r = at(kAreaParams, 0);
        r[0] = 0x1B;
        PutUInt16BE(r + 1, console::DateTimeToMDHWord(DateTime::makeOrEmpty(2000, 3, 26, 2)));
        r[3] = 1;
        PutUInt16BE(r + 4, console::DateTimeToMDHWord(DateTime::makeOrEmpty(2000, 10, 29, 3)));
        r[6] = static_cast<std::uint8_t>(-1);
    }
    // Prepayment: warning debit, disconnection debit, credit power, single load.
    {
        const int unit = kopecks_ ? 100 : 1;
        std::uint8_t* r = at(kAreaParams2, 0);
        PutUInt32BE(r, static_cast<std::uint32_t>(100 * unit));
        PutUInt32BE(r + 4, 0);
        PutUInt32BE(r + 8, 1000);
        PutUInt32BE(r + 12, static_cast<std::uint32_t>(5000 * unit));
    }
    // Future schedule from 1 January next year.
    {
        std::uint8_t* r = at(kAreaSeason, 0);
        PutUInt16BE(r, 0x0101);
        PutUInt16BE(r + 2, static_cast<std::uint16_t>(made_.year() + 1));
    }
    // Limit thresholds, W.
    {
        std::uint8_t* r = at(kAreaLimits, 0);
        const std::uint32_t th[4] = {3000, 6000, 3500, 7000};
        for (int i = 0; i < 4; ++i) PutUInt32BE(r + 4 * i, th[i]);
    }
    // Prices: the future schedule 5 % dearer.
    for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 4; ++t) {
            std::uint8_t* r = at(kAreaTariffs, static_cast<std::uint16_t>(s * 4 + t));
            for (int k = 0; k < 3; ++k) {
                const double kop = kPriceKop[t][k] * (s ? 1.05 : 1.0);
                PutUInt32BE(r + 4 * k, static_cast<std::uint32_t>(std::lround(kopecks_ ? kop : kop / 100.0)));
            }
        }
    for (int t = 0; t < 4; ++t) {
        PutUInt32BE(at(kAreaPowerMax, static_cast<std::uint16_t>(t)), t < 2 ? 7000 : 5000);
        at(kAreaExcessTime, static_cast<std::uint16_t>(t))[0] = static_cast<std::uint8_t>(t < 2 ? 30 : 60);
    }
    // Two zones in both schedules: day 07:00-23:00 (T1, holidays T2), night 23:00-07:00 (T2).
    for (int s = 0; s < 2; ++s) {
        std::uint8_t* day = at(kAreaZones, static_cast<std::uint16_t>(s * 6));
        PutUInt16BE(day, 0x0700);
        PutUInt16BE(day + 2, 0x1700);
        day[4] = 0, day[5] = 0, day[6] = 0, day[7] = 1;
        std::uint8_t* night = at(kAreaZones, static_cast<std::uint16_t>(s * 6 + 1));
        PutUInt16BE(night, 0x1700);
        PutUInt16BE(night + 2, 0x0700);
        night[4] = 1, night[5] = 1, night[6] = 1, night[7] = 1;
    }
    // Public holidays as month-day words.
    const std::uint16_t holidays[] = {0x0101, 0x0102, 0x0107, 0x0217, 0x0308, 0x0501, 0x0509, 0x060C, 0x0B04};
    for (std::size_t i = 0; i < std::size(holidays); ++i)
        PutUInt16BE(at(kAreaHolidays, static_cast<std::uint16_t>(i)), holidays[i]);
    at(kAreaBillingDay, 0)[0] = 1;
    // Contactor: days 1..1, 00:00..00:00, switch on again after a top-up.
    {
        std::uint8_t* r = at(kAreaContactor, 0);
        r[0] = 1;
        r[1] = 1;
        PutUInt16BE(r + 6, 0x0080);
    }
    if (layoutOf(kAreaRatio)) console::EncodeDecimal6(1.0, at(kAreaRatio, 0));
}

void MeterModel::generateStatistics() {
    const DateTime init = console::Stamp32ToDateTime(console::GetUInt32BE(at(kAreaIdent, 0) + 4));

    // Energy by tariff and limit: total, this month, last month.
    {
        Rng g(meterNumber_, kAreaEnergy);
        const double total = 18.0e6 + 9.0e6 * g.unit();
        const double month = 260.0e3 * made_.day() / 30.0;
        const double last = 240.0e3 + 60.0e3 * g.unit();
        for (int t = 0; t < 4; ++t)
            for (int l = 0; l < 3; ++l) {
                std::uint8_t* r = at(kAreaEnergy, static_cast<std::uint16_t>(t * 3 + l));
                const double share = kTariffShare[t] * kLimitShare[l];
                PutUInt32BE(r, static_cast<std::uint32_t>(total * share * (0.9 + 0.2 * g.unit())));
                PutUInt32BE(r + 4, static_cast<std::uint32_t>(month * share * (0.9 + 0.2 * g.unit())));
                PutUInt32BE(r + 8, static_cast<std::uint32_t>(last * share * (0.9 + 0.2 * g.unit())));
            }
    }
    // Data counters: power failures and hours of operation since initialisation.
    {
        Rng g(meterNumber_, kAreaCounters);
        const std::uint32_t offs = static_cast<std::uint32_t>(10 + g.below(40));
        const std::int64_t hours = init.isEmpty() ? 9000 : init.msecsTo(made_) / 3600000;
        PutUInt32BE(at(kAreaCounters, 0), offs);
        PutUInt32BE(at(kAreaCounters, 0) + 4, static_cast<std::uint32_t>(hours > offs * 3 ? hours - offs * 3 : hours));
    }
    // Load profile: one point per quarter hour up to the last complete one.
    const int points = profilePoints_;
    const DateTime last = DateTime::makeOrEmpty(made_.year(), made_.month(), made_.day(), made_.hour(), made_.minute() / 15 * 15)
                              .addSecs(-15 * 60);
    const DateTime first = last.addSecs(-15LL * 60 * (points > 0 ? points - 1 : 0));
    {
        std::uint8_t* r = at(kAreaPointers, 0);
        PutUInt16BE(r, static_cast<std::uint16_t>(points > 0 ? points - 1 : 0));
        PutUInt16BE(r + 2, static_cast<std::uint16_t>(points));
        r[4] = 8;
        r[5] = 7;
    }
    {
        Rng g(meterNumber_, kAreaProfile);
        const bool wide = version_ != 54;
        const double base = 180.0 + 60.0 * g.unit();
        for (int k = 0; k < points; ++k) {
            const DateTime t = first.addSecs(15LL * 60 * k);
            const double h = t.hour() + t.minute() / 60.0;
            double w = base + 900.0 * std::exp(-(h - 7.5) * (h - 7.5) / 2.0) + 1600.0 * std::exp(-(h - 19.5) * (h - 19.5) / 3.0);
            if (t.dayOfWeek() >= 6) w *= 1.15;
            w *= 0.85 + 0.3 * g.unit();
            const auto watts = static_cast<std::uint32_t>(w);
            std::uint8_t* r = at(kAreaProfile, static_cast<std::uint16_t>(k));
            PutUInt16BE(r, static_cast<std::uint16_t>((t.month() << 12) | (t.day() << 7) | (t.hour() << 2) | (t.minute() / 15)));
            if (wide) {
                r[2] = static_cast<std::uint8_t>(watts >> 16);
                PutUInt16BE(r + 3, static_cast<std::uint16_t>(watts));
            } else {
                PutUInt16BE(r + 2, static_cast<std::uint16_t>(watts > 0xFFFF ? 0xFFFF : watts));
            }
        }
    }
    // Events: access, case opened, contactor forced on, forced off, released.
    {
        const DateTime when[5] = {made_.addDays(-3), init.isEmpty() ? made_.addDays(-399) : init.addDays(1), made_.addDays(-40),
                                  made_.addDays(-41), made_.addDays(-40).addSecs(3600)};
        const std::uint32_t counts[5] = {57, 1, 3, 3, 2};
        for (int e = 0; e < 5; ++e) {
            std::uint8_t* r = at(kAreaEvents, static_cast<std::uint16_t>(e));
            PutUInt32BE(r, console::DateTimeToStamp32(when[e]));
            PutUInt32BE(r + 4, counts[e]);
        }
    }
    // Load cards issued for this meter.
    {
        Rng g(meterNumber_, kAreaCards);
        const std::uint32_t firstCard = 510000 + static_cast<std::uint32_t>(g.below(9000)) * 10;
        for (int i = 0; i < 8; ++i) {
            std::uint8_t* r = at(kAreaCards, static_cast<std::uint16_t>(i));
            const DateTime issued = At(made_.addDays(-45LL * (8 - i)), 9 + i, 5 * i);
            PutUInt32BE(r, firstCard + static_cast<std::uint32_t>(i) * 37);
            PutUInt32BE(r + 4, console::DateTimeToStamp32(issued));
            PutUInt32BE(r + 8, console::DateTimeToStamp32(issued.addDays(5 * 365)));
            PutUInt32BE(r + 12, meterNumber_);
            r[16] = static_cast<std::uint8_t>(version_);
            r[17] = static_cast<std::uint8_t>(i < 6 ? 1 : 2);
        }
    }
    // Power maxima per month, W.
    {
        Rng g(meterNumber_, kAreaPeriodPowerMax);
        for (int i = 0; i < 13; ++i) {
            std::uint8_t* r = at(kAreaPeriodPowerMax, static_cast<std::uint16_t>(i));
            int y = made_.year(), m = made_.month();
            MonthsBack(y, m, i);
            PutUInt32BE(r, static_cast<std::uint32_t>(4000 + g.below(3000)));
            PutMonthYear(r + 4, y, m);
        }
    }
    renderMoney();
}

// Rewrites every record that carries money, in the unit of the money mode.
void MeterModel::renderMoney() {
    const bool kop = kopecks_;
    // Money in hundredths of a kopeck -> (whole units, remainder).
    auto split = [kop](std::int64_t m, std::uint8_t* whole, std::uint8_t* rest) {
        const std::int64_t w = kop ? m / 100 : m / 10000;
        const std::int64_t r = kop ? m % 100 : (m % 10000) / 100;
        PutUInt32BE(whole, static_cast<std::uint32_t>(static_cast<std::int32_t>(w)));
        if (rest) PutUInt16BE(rest, static_cast<std::uint16_t>(static_cast<std::int16_t>(r)));
    };
    auto rubles = [](std::int64_t rub) { return rub * 10000; };

    // Money spent by tariff and limit: this month's and last month's energy at the prices.
    for (int t = 0; t < 4; ++t)
        for (int l = 0; l < 3; ++l) {
            const std::uint8_t* e = at(kAreaEnergy, static_cast<std::uint16_t>(t * 3 + l));
            std::uint8_t* r = at(kAreaMoneySpent, static_cast<std::uint16_t>(t * 3 + l));
            const std::int64_t price = kPriceKop[t][l] * 100;  // hundredths of a kopeck per kWh
            split(static_cast<std::int64_t>(console::GetUInt32BE(e + 4)) * price / 1000, r, r + 4);
            split(static_cast<std::int64_t>(console::GetUInt32BE(e + 8)) * price / 1000, r + 6, r + 10);
            seal(kAreaMoneySpent, static_cast<std::uint16_t>(t * 3 + l));
        }
    // Loads from cards, a month apart.
    for (int i = 0; i < 8; ++i) {
        std::uint8_t* r = at(kAreaLoads, static_cast<std::uint16_t>(i));
        const DateTime when = At(made_.addDays(-30LL * (8 - i) + 1), 14, 3 * i + 7);
        PutUInt32BE(r, console::DateTimeToStamp32(when));
        PutUInt32BE(r + 4, static_cast<std::uint32_t>(7001 + i % 3));
        split(rubles(500 + 500 * (i % 3)), r + 8, nullptr);
        PutUInt32BE(r + 12, console::DateTimeToStamp32(when.addSecs(90)));
        seal(kAreaLoads, static_cast<std::uint16_t>(i));
    }
    // Billing-period slices.
    const int points = profilePoints_;
    const DateTime lastPoint = DateTime::makeOrEmpty(made_.year(), made_.month(), made_.day(), made_.hour(), made_.minute() / 15 * 15)
                                   .addSecs(-15 * 60);
    const DateTime firstPoint = lastPoint.addSecs(-15LL * 60 * (points > 0 ? points - 1 : 0));
    Rng g(meterNumber_, kAreaPeriodEnergy);
    for (int a = 0; a < 13; ++a) {
        int y = made_.year(), m = made_.month();
        MonthsBack(y, m, a + 1);
        // Balance at the end of the slice, hundredths of a kopeck.
        const std::int64_t balance = rubles(900 + 80 * ((a * 7) % 11)) + 4700 + 100 * a;
        const double season = 1.0 + 0.35 * std::cos((m - 1) * 3.14159265 / 6.0);
        for (int t = 0; t < 4; ++t)
            for (int l = 0; l < 3; ++l) {
                std::uint8_t* r = at(kAreaPeriodEnergy, static_cast<std::uint16_t>(a * 12 + t * 3 + l));
                PutUInt32BE(r, static_cast<std::uint32_t>(250.0e3 * season * kTariffShare[t] * kLimitShare[l] * (0.9 + 0.2 * g.unit())));
                split(balance, r + 4, r + 8);
                PutMonthYear(r + 10, y, m);
                seal(kAreaPeriodEnergy, static_cast<std::uint16_t>(a * 12 + t * 3 + l));
            }
        std::uint8_t* r = at(kAreaPeriodMoney, static_cast<std::uint16_t>(a));
        split(balance, r, r + 4);
        // The profile point recorded when the slice was taken (0 when that is
        // older than the profile).
        int ny = y, nm = m;
        MonthsBack(ny, nm, -1);
        const DateTime closed = DateTime::makeOrEmpty(ny, nm, 1);
        std::int64_t k = points > 0 && !firstPoint.isEmpty() && closed >= firstPoint ? firstPoint.msecsTo(closed) / (15 * 60000) : 0;
        if (k >= points) k = 0;
        PutUInt16BE(r + 6, static_cast<std::uint16_t>(k));
        PutMonthYear(r + 8, y, m);
        seal(kAreaPeriodMoney, static_cast<std::uint16_t>(a));
    }
    renderDebit();
}

void MeterModel::renderDebit() {
    std::uint8_t* r = at(kAreaDebit, 0);
    const std::int64_t balance = 1523 * 10000 + 4700;  // 1523.47 rubles
    const std::int64_t whole = kopecks_ ? balance / 100 : balance / 10000;
    const std::int64_t rest = kopecks_ ? balance % 100 : (balance % 10000) / 100;
    PutUInt32BE(r, static_cast<std::uint32_t>(static_cast<std::int32_t>(whole)));
    PutUInt16BE(r + 4, static_cast<std::uint16_t>(static_cast<std::int16_t>(rest)));
    PutUInt32BE(r + 6, static_cast<std::uint32_t>(kopecks_ ? 200000 : 2000));
    std::memcpy(r + 10, currency_.data(), 3);
    r[13] = cardMode_ ? 1 : 0;
    seal(kAreaDebit, 0);
}

}  // namespace sim5x
