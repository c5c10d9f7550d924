// The emulated meter's data agree with each other the way a real meter's do:
// days add up to months, snapshots and consumptions fit together, load
// profiles add up to the day, and there is no data outside the history.
// Driven through the meter model's request handling at a fixed clock.
#include <gtest/gtest.h>

#include <random>

#include "meter34/CRCUtils.h"
#include "meter34/Structures.h"
#include "sim/meter34/MeterModel.h"

using common::DateTime;
using sim34::MeterModel;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The meter's present: 15 June 2024, 13:47:20; installed on 1 June 2022.
const DateTime kNow = *DateTime::make(2024, 6, 15, 13, 47, 20);

struct Meter {
    explicit Meter(std::uint16_t version = 4) : m(sim34::DefaultMeterState(12345, version, kNow)) {}

    // A read in clear; the reply payload without its sum.
    Bytes read(Bytes command) {
        command.push_back(meter34::Sum8(command.data(), command.size()));
        const auto r = m.handle(sim34::MeterRequest{3, false, command}, kNow);
        return r ? r->payload : Bytes{};
    }
    // Energy of type in tariff for a slice and date; -1 for "no data".
    long long energy(int type, int tariff, int slice, const DateTime& date) {
        const std::uint16_t d = meter34::PackDate16(date);
        const Bytes r = read({0x0C, static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(type),
                              static_cast<std::uint8_t>(tariff), static_cast<std::uint8_t>(slice)});
        if (r.at(0) == 15) return -1;
        EXPECT_EQ(r.at(0), 0);
        return meter34::GetU32LE(r.data() + 2);
    }
    Bytes profile(int type, int block, const DateTime& date) {
        const std::uint16_t d = meter34::PackDate16(date);
        return read({0x0A, static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(d >> 8), static_cast<std::uint8_t>(type),
                     static_cast<std::uint8_t>(block)});
    }
    void setPeriod(int code) {
        auto& a = m.state().additional;
        a[1] = static_cast<std::uint8_t>((a[1] & 0x1F) | (code << 5));
    }
    MeterModel m;
};

DateTime Day(int y, int mo, int d) { return *DateTime::make(y, mo, d); }

}  // namespace

TEST(Meter34SimData, DaysAddUpToMonthsAndSnapshotsFollowConsumption) {
    Meter meter;
    for (int type : {12, 2, 13}) {
        long long allTariffs = 0;
        for (int t = 0; t < 4; ++t) {
            SCOPED_TRACE(type * 10 + t);
            long long days = 0;
            for (int d = 1; d <= 30; ++d) days += meter.energy(type, t, 4, Day(2024, 4, d));
            const long long april = meter.energy(type, t, 5, Day(2024, 4, 1));
            EXPECT_EQ(days, april);
            EXPECT_EQ(meter.energy(type, t, 2, Day(2024, 4, 1)) + april, meter.energy(type, t, 2, Day(2024, 5, 1)));
            EXPECT_EQ(meter.energy(type, t, 1, Day(2024, 5, 1)), meter.energy(type, t, 2, Day(2024, 5, 1)));
            // The running month so far and the total now.
            EXPECT_EQ(meter.energy(type, t, 2, Day(2024, 6, 1)) + meter.energy(type, t, 5, Day(2024, 6, 1)),
                      meter.energy(type, t, 0, kNow));
            allTariffs += april;
        }
        if (type == 12) {
            EXPECT_GT(allTariffs, 100000) << "a household uses some hundred kW*h a month";
        }
    }
    // Totals over the phases are the sums of the phases.
    EXPECT_EQ(meter.energy(12, 0, 5, Day(2024, 4, 1)),
              meter.energy(0, 0, 5, Day(2024, 4, 1)) + meter.energy(4, 0, 5, Day(2024, 4, 1)) + meter.energy(8, 0, 5, Day(2024, 4, 1)));
}

TEST(Meter34SimData, NothingBeforeTheHistoryOrAheadOfTheClock) {
    Meter meter;
    EXPECT_EQ(meter.energy(12, 0, 1, Day(2022, 5, 31)), -1);
    EXPECT_EQ(meter.energy(12, 0, 1, Day(2022, 6, 1)), 0);
    EXPECT_EQ(meter.energy(12, 0, 4, Day(2024, 6, 16)), -1);
    EXPECT_EQ(meter.energy(12, 0, 3, Day(2022, 1, 1)), -1);
    EXPECT_EQ(meter.profile(12, 0, Day(2022, 5, 31)).at(0), 15);
    EXPECT_EQ(meter.profile(12, 0, Day(2024, 6, 16)).at(0), 15);
    // Today: the intervals still running or to come are empty.
    const Bytes today = meter.profile(12, 0, Day(2024, 6, 15));
    ASSERT_EQ(today.at(0), 0);
    ASSERT_EQ(today.size(), 5u + 96);
    for (int i = 0; i < 48; ++i) {
        const std::uint16_t v = meter34::GetU16LE(today.data() + 5 + 2 * i);
        if (i >= 27) {
            EXPECT_EQ(v, 0xFFFF) << i;  // 13:30-14:00 and later
        }
    }
}

TEST(Meter34SimData, LoadProfileAddsUpToTheDay) {
    const struct {
        std::uint16_t version;
        int period;  // integration period item
        int code;    // interval code the meter reports
        int blocks;
    } cases[] = {{4, 6, 0, 1}, {4, 7, 1, 1}, {4, 4, 0, 1}, {100, 6, 6, 1}, {100, 4, 4, 3}, {100, 0, 0, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version * 100 + c.period);
        Meter meter(c.version);
        meter.setPeriod(c.period);
        long long day = 0;
        for (int t = 0; t < 4; ++t) day += meter.energy(12, t, 4, Day(2024, 4, 10));
        long long sum = 0;
        for (int b = 0; b < c.blocks; ++b) {
            const Bytes r = meter.profile(12, b, Day(2024, 4, 10));
            ASSERT_EQ(r.at(0), 0);
            const int count = r[2];
            EXPECT_EQ(r[3], b);
            EXPECT_EQ(r[4], c.code);
            ASSERT_EQ(r.size(), 5u + 2 * static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                const std::uint16_t v = meter34::GetU16LE(r.data() + 5 + 2 * i);
                if (v != 0xFFFF) sum += v & 0x7FFF;
            }
        }
        EXPECT_EQ(meter.profile(12, c.blocks, Day(2024, 4, 10)).at(0), 11);
        EXPECT_EQ(sum, day);
    }
}

TEST(Meter34SimData, PhaseValuesFollowTheMasks) {
    Meter meter;
    Bytes r = meter.read({0x03, 0x01, 0x00, 0x04});
    ASSERT_EQ(r.size(), 5u + 8);
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 5), (Bytes{0x01, 0x00, 0x04}));
    const double u = static_cast<std::int32_t>(meter34::GetU32LE(r.data() + 9)) * 0.01;
    EXPECT_NEAR(u, 230.0, 10.0);
    r = meter.read({0x03, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(r.size(), 5u + 60);
    EXPECT_EQ(r[2], 0x3F);
    const double f = meter34::GetU16LE(r.data() + 5 + 16) * 0.01;
    EXPECT_NEAR(f, 50.0, 0.2);
}

TEST(Meter34SimData, RefusalsCarryTheirResultCodes) {
    Meter meter;
    const struct {
        Bytes command;
        std::uint8_t result;
    } cases[] = {
        {{0x55}, 2},                      // no such command
        {{0x09, 0x00}, 4},                // the state request takes no argument
        {{0x14, 99, 0, 0}, 10},           // no structure 99
        {{0x14, 9, 12, 0}, 11},           // months are 0..11
        {{0x14, 12, 144, 0}, 11},         // nine journals of 16 records
        {{0x0C, 0xCF, 0x30, 16, 0, 1}, 9},  // energy type 16
        {{0x08, 3}, 9},                   // channels 0..2
        {{0x14, 16, 29, 0}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(meter.read(c.command).at(0), c.result) << int(c.command[0]);
    // Changing commands outside a session.
    Bytes w = {0x29, 0x01};
    w.push_back(meter34::Sum8(w.data(), w.size()));
    EXPECT_EQ(meter.m.handle(sim34::MeterRequest{4, false, w}, kNow)->payload.at(0), 7);
}

TEST(Meter34SimData, JournalRingsFollowTheVersion) {
    for (std::uint16_t version : {4, 100}) {
        SCOPED_TRACE(version);
        Meter meter(version);
        const int records = version == 100 ? 50 : 16;
        // The power journal ends with the meter coming back after the latest outage.
        const Bytes head = meter.read({0x14, 11, 0, 0});
        ASSERT_EQ(head.at(0), 0);
        const int k = head[5 + 2];
        ASSERT_GT(k, 0);
        const Bytes last = meter.read({0x14, 12, static_cast<std::uint8_t>(k - 1), 0});
        ASSERT_EQ(last.at(0), 0);
        EXPECT_EQ(last[5], 1);
        const DateTime when = meter34::UnpackDateTime32(meter34::GetU32LE(last.data() + 6));
        EXPECT_FALSE(when.isEmpty());
        EXPECT_LT(when, kNow);
        // Journal 2 (magnet) lies at records 2R .. 3R-1: start and end of one event.
        const Bytes magnet = meter.read({0x14, 12, static_cast<std::uint8_t>(2 * records), 0});
        EXPECT_EQ(magnet.at(5), 1);
        EXPECT_EQ(meter.read({0x14, 12, static_cast<std::uint8_t>(2 * records + 1), 0}).at(5), 0);
        EXPECT_EQ(meter.read({0x14, 12, static_cast<std::uint8_t>(2 * records + 2), 0}).at(6), 0) << "empty: time 0";
    }
}

TEST(Meter34SimData, StateTextRoundTripsAndDamageIsRefusedCleanly) {
    Meter meter;
    meter.read({0x09});  // brings the power journal up to date
    const std::vector<sim34::MeterState> states{meter.m.state()};
    const std::string text = sim34::FormatState(states);
    std::vector<sim34::MeterState> back;
    std::string error;
    ASSERT_TRUE(sim34::ParseState(text, back, error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(sim34::FormatState(back), text);
    // Hand edits gone wrong: every outcome is a parse or a message, never a crash.
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        std::string damaged = text;
        for (int k = 0; k < 1 + i % 4; ++k) {
            const std::size_t at = rng() % damaged.size();
            switch (rng() % 3) {
                case 0: damaged[at] = static_cast<char>(rng()); break;
                case 1: damaged.erase(at, 1 + rng() % 40); break;
                default: damaged.insert(at, std::string(1 + rng() % 3, "=,:[]\n9-"[rng() % 8])); break;
            }
        }
        std::vector<sim34::MeterState> parsed;
        std::string why;
        if (!sim34::ParseState(damaged, parsed, why)) {
            EXPECT_FALSE(why.empty());
        }
    }
}
