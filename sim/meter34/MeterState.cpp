#include "sim/meter34/MeterState.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/core/AtomicFile.h"
#include "meter34/CRCUtils.h"
#include "meter34/Structures.h"

namespace sim34 {

using common::DateTime;
using meter34::PutCrc16Xmodem;
using meter34::PutU16LE;
using meter34::PutU32LE;

std::uint32_t PackDateTime32(const DateTime& d) {
    if (d.isEmpty() || d.year() < 2000 || d.year() > 2127) return 0;
    return (static_cast<std::uint32_t>(d.year() - 2000) << 25) | (static_cast<std::uint32_t>(d.month()) << 21) |
           (static_cast<std::uint32_t>(d.day()) << 16) | (static_cast<std::uint32_t>(d.hour()) << 11) |
           (static_cast<std::uint32_t>(d.minute()) << 5) | static_cast<std::uint32_t>(d.second() / 2);
}

namespace {

// The tariff byte of one half-hour slot: day-type columns holiday, Sunday,
// Saturday, working day in bits 7-6, 5-4, 3-2, 1-0, each tariff - 1.
std::uint8_t SlotByte(int holiday, int sunday, int saturday, int workday) {
    return static_cast<std::uint8_t>(((holiday - 1) << 6) | ((sunday - 1) << 4) | ((saturday - 1) << 2) | (workday - 1));
}

// Night tariff 2 from 23:00 to 07:00, peak tariff 1 in the morning and the
// evening on working days (the evening peak an hour later from March to
// October), tariff 3 for the rest; weekends and holidays have no peak, and
// Sundays and holidays run on the night tariff all day.
void DefaultTariffs(MeterState& s) {
    for (int m = 0; m < kMonths; ++m) {
        const bool summer = m >= 2 && m <= 9;
        auto& rec = s.tariffs[static_cast<std::size_t>(m)];
        for (int k = 0; k < 48; ++k) {
            const bool night = k < 14 || k >= 46;
            const bool morningPeak = k >= 16 && k < 22;
            const bool eveningPeak = summer ? (k >= 36 && k < 44) : (k >= 34 && k < 42);
            const int work = night ? 2 : (morningPeak || eveningPeak) ? 1 : 3;
            const int saturday = night ? 2 : 3;
            rec[static_cast<std::size_t>(k)] = SlotByte(2, 2, saturday, work);
        }
        PutCrc16Xmodem(rec.data(), 48);
    }
}

void DefaultHolidays(MeterState& s) {
    static constexpr int kDays[][2] = {{1, 1}, {7, 1}, {23, 2}, {8, 3}, {1, 5}, {9, 5}, {12, 6}, {4, 11}};
    int slot = 0;
    for (const auto& dm : kDays) {
        auto& rec = s.holidays[static_cast<std::size_t>(slot++)];
        PutU16LE(rec.data(), static_cast<std::uint16_t>(dm[0] | (dm[1] << 5)));
        PutCrc16Xmodem(rec.data(), 2);
    }
}

void DefaultRecords(MeterState& s) {
    // Main parameters: P, U, I, time, date, active tariff, T1, T2 on the display.
    auto& m = s.main;
    PutU16LE(m.data(), 0x1AC7);
    m[2] = 5;                       // seconds per display page
    PutU32LE(m.data() + 3, 1500000);  // 15000 W
    m[7] = 30;
    PutU16LE(m.data() + 8, 60);
    m[10] = 0x03;  // contactor by interface and by power A+
    m[11] = 0x00;
    PutU16LE(m.data() + 12, 30);

    // Additional: no auto correction, daylight saving "by table", 30-minute
    // integration period, summer 31 March 2 h (+1), winter 27 October 3 h (-1).
    auto& a = s.additional;
    a[0] = 0;
    a[1] = static_cast<std::uint8_t>(1 | (6 << 5));
    PutU16LE(a.data() + 2, static_cast<std::uint16_t>(2 | (31 << 5) | (3 << 10)));
    a[4] = 1;
    PutU16LE(a.data() + 5, static_cast<std::uint16_t>(3 | (27 << 5) | (10 << 10)));
    a[7] = 0xFF;

    // Second group: three decimals in energies, 15000 W A-, 60 A, delays.
    auto& g = s.second;
    PutU16LE(g.data(), 0x0001);
    PutU32LE(g.data() + 2, 1500000);
    PutU32LE(g.data() + 6, 60000);
    g[10] = 30;
    PutU16LE(g.data() + 11, 60);
    g[13] = 30;
    PutU16LE(g.data() + 14, 60);
    g[16] = 0;
    PutU16LE(g.data() + 17, 30);
    g[19] = 0;

    s.speeds = {Speed{3, 0}, Speed{3, 1}, Speed{5, 2}};  // 9600 universal, 9600 PLC, 19200 GSM

    // Calibration: two channels of 20 bytes (I at +2, P at +8, V at +16).
    auto& c = s.calibration;
    const std::uint16_t coeff[2][3] = {{16507, 16297, 16429}, {16371, 16455, 16318}};
    for (int ch = 0; ch < 2; ++ch) {
        std::uint8_t* p = c.data() + 20 * ch;
        p[0] = static_cast<std::uint8_t>(ch + 1);
        PutU16LE(p + 2, coeff[ch][0]);
        PutU16LE(p + 8, coeff[ch][1]);
        PutU16LE(p + 16, coeff[ch][2]);
    }
    PutCrc16Xmodem(c.data(), 40);

    PutU32LE(s.pulses.data(), 737280000);  // 2000 pulses per kW*h
    PutCrc16Xmodem(s.pulses.data(), 6);
    PutU16LE(s.voltage.data(), 17500);
    PutU16LE(s.voltage.data() + 2, 26500);
    PutCrc16Xmodem(s.voltage.data(), 4);
    std::memcpy(s.apn.data(), "internet", 8);
    PutCrc16Xmodem(s.apn.data(), 30);
    std::memcpy(s.tcp.data(), "0.0.0.0", 7);
    std::memcpy(s.tcp.data() + 16, "1234", 4);
    PutCrc16Xmodem(s.tcp.data(), 24);
    PutCrc16Xmodem(s.contactorByTariff.data(), 4);
    PutCrc16Xmodem(s.functions.data(), 4);
}

void Event(MeterState& s, int journal, std::uint8_t code, const DateTime& t) {
    auto& j = s.journals[static_cast<std::size_t>(journal)];
    j.push_back(JournalEvent{code, PackDateTime32(t)});
    if (j.size() > static_cast<std::size_t>(kMaxJournalRecords)) j.erase(j.begin());
    ++s.journalCounts[static_cast<std::size_t>(journal)];
}

std::uint32_t Mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352DU;
    x ^= x >> 15;
    x *= 0x846CA68BU;
    x ^= x >> 16;
    return x;
}

// Installation at the history start, a few service visits and incidents
// since. The power journal is filled from the consumption model's outages.
void DefaultHistory(MeterState& s, const DateTime& meterNow) {
    const DateTime& h = s.historyStart;
    const auto at = [&](int days, int hour, int minute) {
        return h.addDays(days).addSecs(hour * 3600 + minute * 60 + 14);
    };
    // Commissioning: case and terminal cover opened and closed, administrator session.
    Event(s, 4, 1, at(0, 10, 5));
    Event(s, 4, 0, at(0, 10, 12));
    Event(s, 5, 1, at(0, 10, 14));
    Event(s, 5, 0, at(0, 10, 31));
    Event(s, 6, 1, at(0, 10, 20));
    const long long spanDays = std::max<long long>(1, h.msecsTo(meterNow) / 86400000LL);
    // Periodic readings by the utility (user level) and one re-parametrisation.
    for (int i = 1; i <= 6; ++i) {
        const int day = static_cast<int>(spanDays * i / 7);
        Event(s, 6, i == 4 ? 1 : 2, at(day, 9 + i % 5, 7 * i));
    }
    // A sag on phase B and its recovery, an overvoltage on phase C.
    const int sag = static_cast<int>(spanDays / 3) + static_cast<int>(Mix(s.seed) % 20);
    Event(s, 1, 0x10, at(sag, 18, 41));
    Event(s, 1, 0x11, at(sag, 18, 47));
    Event(s, 1, 0x22, at(sag + 90, 3, 12));
    Event(s, 1, 0x21, at(sag + 90, 3, 13));
    // A magnet held to the meter some months ago; its flag is still set.
    const int magnet = static_cast<int>(spanDays * 5 / 6);
    Event(s, 2, 1, at(magnet, 22, 3));
    Event(s, 2, 0, at(magnet, 22, 19));
    s.magnetFlag = true;
    // A memory error that went away.
    Event(s, 7, 0x04, at(static_cast<int>(spanDays / 2), 4, 0));
    Event(s, 7, 0x00, at(static_cast<int>(spanDays / 2), 4, 2));

    // Clock: set at commissioning by the administrator, corrected later.
    const auto change = [&](std::uint8_t op, const DateTime& when, int driftSec) {
        ClockChange c{op, PackDateTime32(when.addSecs(driftSec)), PackDateTime32(when)};
        s.clockChanges.insert(s.clockChanges.begin(), c);
        if (s.clockChanges.size() > static_cast<std::size_t>(kClockHistoryEntries)) s.clockChanges.pop_back();
        ++s.clockChangeCount;
    };
    change(1, at(0, 10, 18), -3600 * 24 * 40);
    change(0, at(static_cast<int>(spanDays / 2), 11, 3), 17);
    change(0, at(static_cast<int>(spanDays * 6 / 7), 12, 40), -9);

    // Transformation ratios 1/1 set at commissioning.
    s.ratioHistory.push_back(RatioChange{1, 1, PackDateTime32(at(0, 10, 25)), {0, 0, 0, 0}});
    s.ratioCount = 1;
}

}  // namespace

MeterState DefaultMeterState(std::uint32_t number, std::uint16_t version, const DateTime& meterNow) {
    MeterState s;
    s.number = number;
    s.version = version;
    s.seed = Mix(number ^ 0x5EED1234U);
    DateTime now = meterNow.isEmpty() ? DateTime::now() : meterNow;
    // Installed on the first of the month about two years ago.
    const DateTime twoYearsAgo = now.addDays(-730);
    s.historyStart = DateTime::makeOrEmpty(twoYearsAgo.year(), twoYearsAgo.month(), 1);
    s.powerSynced = s.historyStart;
    DefaultRecords(s);
    DefaultTariffs(s);
    DefaultHolidays(s);
    DefaultHistory(s, now);
    return s;
}

// ---- state file ----

namespace {

constexpr const char* kMagic = "# meter34-sim state";

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        out += d[p[i] >> 4];
        out += d[p[i] & 15];
    }
    return out;
}

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& a) {
    return Hex(a.data(), N);
}

// Whole seconds: the meter keeps no milliseconds.
std::string Iso(const DateTime& d) { return d.isEmpty() ? "-" : d.addMSecs(-d.msec()).toIsoString(); }

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& out) {
    if (text.empty() || text.size() > 20) return false;
    unsigned long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (v > (max - static_cast<unsigned>(c - '0')) / 10) return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = v;
    return true;
}

bool ParseSigned(const std::string& text, long long& out) {
    if (text.empty()) return false;
    const bool neg = text[0] == '-';
    unsigned long long v = 0;
    if (!ParseUnsigned(neg ? text.substr(1) : text, 9000000000000000000ULL, v)) return false;
    out = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
    return true;
}

bool ParseHex(const std::string& text, std::uint8_t* out, std::size_t n) {
    if (text.size() != 2 * n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = text[2 * i + static_cast<std::size_t>(k)];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else return false;
            v = v * 16 + d;
        }
        out[i] = static_cast<std::uint8_t>(v);
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

}  // namespace

std::string FormatState(const std::vector<MeterState>& meters) {
    std::ostringstream o;
    o << kMagic << " (written by the emulator; keep the format when editing)\n";
    o << "format=1\n";
    for (const auto& s : meters) {
        o << "\n[meter]\n";
        o << "number=" << s.number << "\n";
        o << "key_a=" << s.keyA << "\nkey_b=" << s.keyB << "\n";
        o << "password1=" << s.password[0] << "\npassword2=" << s.password[1] << "\n";
        o << "clock_offset_ms=" << s.clockOffsetMs << "\n";
        o << "seed=" << s.seed << "\n";
        o << "history_start=" << Iso(s.historyStart) << "\n";
        o << "power_synced=" << Iso(s.powerSynced) << "\n";
        o << "main=" << Hex(s.main) << "\nadditional=" << Hex(s.additional) << "\nsecond=" << Hex(s.second) << "\n";
        for (int c = 0; c < kChannels; ++c)
            o << "speed" << c << "=" << int(s.speeds[static_cast<std::size_t>(c)].code) << ","
              << int(s.speeds[static_cast<std::size_t>(c)].type) << "\n";
        o << "contactor=" << int(s.contactor) << "\nmagnet=" << (s.magnetFlag ? 1 : 0) << "\n";
        o << "lora=" << int(s.loraPower) << "\naminus=" << int(s.aMinusAllowance) << "\n";
        o << "backlight=" << int(s.backlight) << "\ncheck_mode=" << int(s.checkMode) << "\n";
        o << "calibration=" << Hex(s.calibration) << "\n";
        o << "ratio_i=" << s.ratioI << "\nratio_u=" << s.ratioU << "\nratio_count=" << s.ratioCount << "\n";
        for (const auto& r : s.ratioHistory)
            o << "ratio=" << r.ki << "," << r.ku << "," << r.time << "," << r.energy[0] << "," << r.energy[1] << ","
              << r.energy[2] << "," << r.energy[3] << "\n";
        for (int m = 0; m < kMonths; ++m) o << "tariff" << m << "=" << Hex(s.tariffs[static_cast<std::size_t>(m)]) << "\n";
        for (int h = 0; h < kHolidaySlots; ++h) o << "holiday" << h << "=" << Hex(s.holidays[static_cast<std::size_t>(h)]) << "\n";
        o << "s18=" << Hex(s.pulses) << "\ns23=" << Hex(s.voltage) << "\ns25=" << Hex(s.apn) << "\ns26=" << Hex(s.tcp)
          << "\ns27=" << Hex(s.contactorByTariff) << "\ns28=" << Hex(s.functions) << "\n";
        o << "clock_count=" << s.clockChangeCount << "\n";
        for (const auto& c : s.clockChanges) o << "clock=" << int(c.op) << "," << c.before << "," << c.set << "\n";
        for (int j = 0; j < kJournals; ++j) {
            o << "journal" << j << "_count=" << s.journalCounts[static_cast<std::size_t>(j)] << "\n";
            o << "journal" << j << "=";
            bool first = true;
            for (const auto& e : s.journals[static_cast<std::size_t>(j)]) {
                if (!first) o << ",";
                first = false;
                o << int(e.code) << ":" << e.time;
            }
            o << "\n";
        }
    }
    return o.str();
}

bool ParseState(const std::string& text, std::vector<MeterState>& meters, std::string& error) {
    meters.clear();
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool formatSeen = false;
    MeterState* cur = nullptr;
    bool ratioListStarted = false, clockListStarted = false;
    const auto fail = [&](const std::string& msg) {
        error = "line " + std::to_string(lineNo) + ": " + msg;
        meters.clear();
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!formatSeen && line.compare(0, 7, "format=") != 0)
            return fail("not a meter34-sim state file (it starts with format=1)");
        if (line == "[meter]") {
            meters.emplace_back();
            cur = &meters.back();
            // A section starts from empty lists; absent keys keep the defaults.
            cur->ratioHistory.clear();
            cur->clockChanges.clear();
            ratioListStarted = clockListStarted = false;
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) return fail("expected key=value");
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "format") {
            if (value != "1") return fail("unsupported format " + value);
            formatSeen = true;
            continue;
        }
        if (cur == nullptr) return fail("key " + key + " outside a [meter] section");
        MeterState& s = *cur;
        unsigned long long u = 0;
        long long sl = 0;
        const auto num = [&](unsigned long long max) {
            if (!ParseUnsigned(value, max, u)) return fail("bad number for " + key + ": " + value);
            return true;
        };
        const auto hex = [&](std::uint8_t* p, std::size_t n) {
            if (!ParseHex(value, p, n)) return fail(key + " must be " + std::to_string(n) + " bytes in hexadecimal");
            return true;
        };
        const auto date = [&](DateTime& d) {
            if (value == "-") {
                d = DateTime();
                return true;
            }
            const auto v = DateTime::fromIsoString(value);
            if (!v) return fail("bad date for " + key + ": " + value);
            d = *v;
            return true;
        };
        bool ok = true;
        if (key == "number") ok = num(0xFFFFFFFFULL) && ((s.number = static_cast<std::uint32_t>(u)), true);
        else if (key == "key_a") ok = num(0xFFFFFFFFULL) && ((s.keyA = static_cast<std::uint32_t>(u)), true);
        else if (key == "key_b") ok = num(0xFFFFFFFFULL) && ((s.keyB = static_cast<std::uint32_t>(u)), true);
        else if (key == "password1") ok = num(0xFFFFFFFFULL) && ((s.password[0] = static_cast<std::uint32_t>(u)), true);
        else if (key == "password2") ok = num(0xFFFFFFFFULL) && ((s.password[1] = static_cast<std::uint32_t>(u)), true);
        else if (key == "clock_offset_ms") {
            if (!ParseSigned(value, sl) || sl > 3153600000000LL || sl < -3153600000000LL)
                return fail("bad clock offset: " + value);
            s.clockOffsetMs = sl;
        } else if (key == "seed") ok = num(0xFFFFFFFFULL) && ((s.seed = static_cast<std::uint32_t>(u)), true);
        else if (key == "history_start") ok = date(s.historyStart);
        else if (key == "power_synced") ok = date(s.powerSynced);
        else if (key == "main") ok = hex(s.main.data(), s.main.size());
        else if (key == "additional") ok = hex(s.additional.data(), s.additional.size());
        else if (key == "second") ok = hex(s.second.data(), s.second.size());
        else if (key.size() == 6 && key.compare(0, 5, "speed") == 0 && key[5] >= '0' && key[5] < '0' + kChannels) {
            const auto parts = Split(value, ',');
            unsigned long long c = 0, t = 0;
            if (parts.size() != 2 || !ParseUnsigned(parts[0], 8, c) || !ParseUnsigned(parts[1], 255, t))
                return fail("speed must be code,type with a code 0..8");
            s.speeds[static_cast<std::size_t>(key[5] - '0')] = Speed{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(t)};
        } else if (key == "contactor") ok = num(1) && ((s.contactor = static_cast<std::uint8_t>(u)), true);
        else if (key == "magnet") ok = num(1) && ((s.magnetFlag = u != 0), true);
        else if (key == "lora") ok = num(3) && ((s.loraPower = static_cast<std::uint8_t>(u)), true);
        else if (key == "aminus") ok = num(255) && ((s.aMinusAllowance = static_cast<std::uint8_t>(u)), true);
        else if (key == "backlight") ok = num(1) && ((s.backlight = static_cast<std::uint8_t>(u)), true);
        else if (key == "check_mode") ok = num(255) && ((s.checkMode = static_cast<std::uint8_t>(u)), true);
        else if (key == "calibration") ok = hex(s.calibration.data(), s.calibration.size());
        else if (key == "ratio_i") ok = num(0xFFFF) && ((s.ratioI = static_cast<std::uint16_t>(u)), true);
        else if (key == "ratio_u") ok = num(0xFFFF) && ((s.ratioU = static_cast<std::uint16_t>(u)), true);
        else if (key == "ratio_count") ok = num(0xFFFF) && ((s.ratioCount = static_cast<std::uint16_t>(u)), true);
        else if (key == "ratio") {
            if (!ratioListStarted) s.ratioHistory.clear();
            ratioListStarted = true;
            const auto parts = Split(value, ',');
            RatioChange r;
            unsigned long long v[7] = {};
            if (parts.size() != 7) return fail("ratio must be ki,ku,time,e1,e2,e3,e4");
            for (int i = 0; i < 7; ++i)
                if (!ParseUnsigned(parts[static_cast<std::size_t>(i)], i < 2 ? 0xFFFF : 0xFFFFFFFFULL, v[i]))
                    return fail("bad number in ratio entry");
            r.ki = static_cast<std::uint16_t>(v[0]);
            r.ku = static_cast<std::uint16_t>(v[1]);
            r.time = static_cast<std::uint32_t>(v[2]);
            for (int i = 0; i < 4; ++i) r.energy[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(v[3 + i]);
            if (s.ratioHistory.size() >= static_cast<std::size_t>(kRatioHistoryEntries))
                return fail("more than 16 ratio entries");
            s.ratioHistory.push_back(r);
        } else if (key.size() >= 7 && key.compare(0, 6, "tariff") == 0) {
            unsigned long long m = 0;
            if (!ParseUnsigned(key.substr(6), kMonths - 1, m)) return fail("unknown key " + key);
            ok = hex(s.tariffs[m].data(), kTariffRecordSize);
        } else if (key.size() >= 8 && key.compare(0, 7, "holiday") == 0) {
            unsigned long long h = 0;
            if (!ParseUnsigned(key.substr(7), kHolidaySlots - 1, h)) return fail("unknown key " + key);
            ok = hex(s.holidays[h].data(), kHolidayRecordSize);
        } else if (key == "s18") ok = hex(s.pulses.data(), s.pulses.size());
        else if (key == "s23") ok = hex(s.voltage.data(), s.voltage.size());
        else if (key == "s25") ok = hex(s.apn.data(), s.apn.size());
        else if (key == "s26") ok = hex(s.tcp.data(), s.tcp.size());
        else if (key == "s27") ok = hex(s.contactorByTariff.data(), s.contactorByTariff.size());
        else if (key == "s28") ok = hex(s.functions.data(), s.functions.size());
        else if (key == "clock_count") ok = num(0xFFFF) && ((s.clockChangeCount = static_cast<std::uint16_t>(u)), true);
        else if (key == "clock") {
            if (!clockListStarted) s.clockChanges.clear();
            clockListStarted = true;
            const auto parts = Split(value, ',');
            unsigned long long op = 0, b = 0, t = 0;
            if (parts.size() != 3 || !ParseUnsigned(parts[0], 255, op) || !ParseUnsigned(parts[1], 0xFFFFFFFFULL, b) ||
                !ParseUnsigned(parts[2], 0xFFFFFFFFULL, t))
                return fail("clock must be op,before,set");
            if (s.clockChanges.size() >= static_cast<std::size_t>(kClockHistoryEntries))
                return fail("more than 5 clock entries");
            s.clockChanges.push_back(ClockChange{static_cast<std::uint8_t>(op), static_cast<std::uint32_t>(b),
                                                 static_cast<std::uint32_t>(t)});
        } else if (key.size() == 8 && key.compare(0, 7, "journal") == 0 && key[7] >= '0' && key[7] < '0' + kJournals) {
            auto& j = s.journals[static_cast<std::size_t>(key[7] - '0')];
            j.clear();
            if (!value.empty()) {
                for (const auto& item : Split(value, ',')) {
                    const auto parts = Split(item, ':');
                    unsigned long long c = 0, t = 0;
                    if (parts.size() != 2 || !ParseUnsigned(parts[0], 255, c) || !ParseUnsigned(parts[1], 0xFFFFFFFFULL, t))
                        return fail("journal entries must be code:time");
                    if (j.size() >= static_cast<std::size_t>(kMaxJournalRecords)) return fail("more than 50 journal entries");
                    j.push_back(JournalEvent{static_cast<std::uint8_t>(c), static_cast<std::uint32_t>(t)});
                }
            }
        } else if (key.size() == 14 && key.compare(0, 7, "journal") == 0 && key.compare(8, 6, "_count") == 0 &&
                   key[7] >= '0' && key[7] < '0' + kJournals) {
            ok = num(0xFFFFFFFFULL) && ((s.journalCounts[static_cast<std::size_t>(key[7] - '0')] = static_cast<std::uint32_t>(u)), true);
        } else {
            return fail("unknown key " + key);
        }
        if (!ok) return false;
    }
    if (!formatSeen) {
        error = "not a meter34-sim state file (no format=1 line)";
        return false;
    }
    for (auto& s : meters) {
        // The meter's packed dates cover 2000..2127 and nothing else.
        if (s.historyStart.isEmpty() || s.historyStart.year() < 2000 || s.historyStart.year() > 2127) {
            error = "meter " + std::to_string(s.number) + ": history_start is missing or outside 2000..2127";
            meters.clear();
            return false;
        }
        for (int j = 0; j < kJournals; ++j) {
            const auto n = s.journals[static_cast<std::size_t>(j)].size();
            if (s.journalCounts[static_cast<std::size_t>(j)] < n) s.journalCounts[static_cast<std::size_t>(j)] = static_cast<std::uint32_t>(n);
        }
        if (s.ratioCount < s.ratioHistory.size()) s.ratioCount = static_cast<std::uint16_t>(s.ratioHistory.size());
        if (s.clockChangeCount < s.clockChanges.size()) s.clockChangeCount = static_cast<std::uint16_t>(s.clockChanges.size());
        if (s.powerSynced.isEmpty()) s.powerSynced = s.historyStart;
    }
    return true;
}

bool LoadStateFile(const std::string& path, std::vector<MeterState>& meters, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream buf;
    buf << f.rdbuf();
    if (buf.str().size() > 4 * 1024 * 1024) {
        error = path + ": too large for a state file";
        return false;
    }
    std::string why;
    if (!ParseState(buf.str(), meters, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

bool SaveStateFile(const std::string& path, const std::vector<MeterState>& meters, std::string& error) {
    return common::WriteFileAtomically(path, FormatState(meters), error);
}

}  // namespace sim34
