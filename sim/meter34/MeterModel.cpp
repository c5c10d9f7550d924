#include "sim/meter34/MeterModel.h"

#include <algorithm>
#include <cstring>

#include "meter34/Structures.h"

namespace sim34 {

using common::DateTime;
using meter34::Cipher;
using meter34::Crc16Xmodem;
using meter34::GetU16LE;
using meter34::GetU32LE;
using meter34::Key4;
using meter34::PutCrc16Xmodem;
using meter34::PutU16LE;
using meter34::PutU32LE;
using meter34::Sum8;

namespace {

// Command codes of the command layer.
enum : std::uint8_t {
    kService = 0x00,
    kPhaseValues = 0x03,
    kKeysPasswords = 0x04,
    kContactor = 0x05,
    kMainParameters = 0x06,
    kMagnetFlag = 0x07,
    kSpeed = 0x08,
    kState = 0x09,
    kPowerProfile = 0x0A,
    kDateTime = 0x0B,
    kEnergy = 0x0C,
    kAdditionalParameters = 0x0D,
    kSecondParameters = 0x0E,
    kStatus = 0x0F,
    kStruct = 0x14,
    kRatios = 0x1F,
    kLoraPower = 0x29,
};

// Journals the meter writes itself.
constexpr int kPowerJournal = 0;
constexpr int kAccessJournal = 6;
constexpr int kErasureJournal = 8;

constexpr int kPeriodMinutes[8] = {1, 2, 3, 5, 10, 15, 30, 60};

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

template <std::size_t N>
void Append(std::vector<std::uint8_t>& out, const std::array<std::uint8_t, N>& a) {
    out.insert(out.end(), a.begin(), a.end());
}

std::uint32_t Clamp32(std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFULL)); }

// A structure written with SetStruct ends with the CRC of the bytes before it.
bool CrcOk(const std::uint8_t* data, std::size_t n) {
    if (n < 2) return false;
    const std::uint16_t c = Crc16Xmodem(data, n - 2);
    return data[n - 2] == static_cast<std::uint8_t>(c & 0xFF) && data[n - 1] == static_cast<std::uint8_t>(c >> 8);
}

// The entry of a ring of `ring` positions at position pos, given the list of
// the newest entries (newest last) and how many were ever written. -1: empty.
long long RingEntry(std::size_t kept, std::uint64_t written, int ring, int pos) {
    if (written == 0) return -1;
    const std::uint64_t last = written - 1;
    const std::uint64_t back = (last + static_cast<std::uint64_t>(ring) - static_cast<std::uint64_t>(pos) % static_cast<std::uint64_t>(ring)) %
                               static_cast<std::uint64_t>(ring);
    if (back > last) return -1;
    const std::uint64_t seq = last - back;
    const std::uint64_t firstKept = written - kept;
    if (seq < firstKept) return -1;
    return static_cast<long long>(seq - firstKept);
}

}  // namespace

MeterModel::MeterModel(MeterState state) : state_(std::move(state)) {
    std::random_device rd;
    rng_.seed(rd() ^ (state_.number * 2654435761U));
}

DateTime MeterModel::clock(const DateTime& hostNow) const { return hostNow.addMSecs(state_.clockOffsetMs); }

void MeterModel::setClock(const DateTime& meterTime, const DateTime& hostNow) {
    state_.clockOffsetMs = hostNow.msecsTo(meterTime);
    dirty_ = true;
}

void MeterModel::addEvent(int journal, std::uint8_t code, const DateTime& meterTime) {
    auto& j = state_.journals[static_cast<std::size_t>(journal)];
    j.push_back(JournalEvent{code, PackDateTime32(meterTime)});
    if (j.size() > static_cast<std::size_t>(kMaxJournalRecords)) j.erase(j.begin());
    ++state_.journalCounts[static_cast<std::size_t>(journal)];
    dirty_ = true;
}

void MeterModel::syncPowerJournal(const DateTime& hostNow) {
    const DateTime now = clock(hostNow);
    if (state_.powerSynced.isEmpty() || state_.historyStart.isEmpty()) state_.powerSynced = state_.historyStart;
    if (state_.powerSynced.isEmpty() || !(state_.powerSynced < now)) return;
    const auto outages = EnergyModel::Outages(state_.seed, state_.powerSynced.toMSecsSinceEpoch(), now.toMSecsSinceEpoch());
    const std::int64_t hs = state_.historyStart.toMSecsSinceEpoch();
    for (const auto& [a, b] : outages) {
        if (a < hs) continue;
        // The meter notes the time it went dark and a little after it came back.
        addEvent(kPowerJournal, 0, DateTime::fromMSecsSinceEpoch(a + 4000));
        addEvent(kPowerJournal, 1, DateTime::fromMSecsSinceEpoch(b + 2000));
    }
    state_.powerSynced = now;
}

std::optional<MeterReply> MeterModel::handle(const MeterRequest& request, const DateTime& hostNow,
                                             const std::map<std::uint8_t, std::uint8_t>* forced) {
    if (transparent_) return std::nullopt;
    syncPowerJournal(hostNow);
    MeterReply reply;
    Bytes& out = reply.payload;
    // Closing needs nothing: whatever the session's state, it ends.
    if (request.type == kSessionClose) {
        auth_ = Auth::None;
        out = {kOk};
        return reply;
    }
    Bytes p = request.payload;
    if (request.enciphered) {
        // A command enciphered outside an open session is refused unread; a
        // session step needs at least the key of AUTH_0.
        if ((request.type == kRead || request.type == kWrite) && auth_ != Auth::Open) {
            out = {kNoRights};
            return reply;
        }
        if (auth_ == Auth::None) {
            out = {kAccessError};
            return reply;
        }
        Cipher(p.data(), p.size(), sessionKey_);
    }
    if (p.empty() || Sum8(p.data(), p.size() - 1) != p.back()) {
        out = {kDataError};
        return reply;
    }
    p.pop_back();  // the sum
    reply.key = sessionKey_;
    answer(request, p, reply, hostNow, forced);
    // Only a success to an enciphered request goes out enciphered: a refusal
    // reads in clear, whatever key the computer holds.
    reply.encipher = request.enciphered && !out.empty() && out[0] == kOk;
    return reply;
}

void MeterModel::answer(const MeterRequest& request, const Bytes& p, MeterReply& reply, const DateTime& hostNow,
                        const std::map<std::uint8_t, std::uint8_t>* forced) {
    Bytes& out = reply.payload;
    switch (request.type) {
        case kSessionStep: {
            Bytes data;
            const std::uint8_t r = sessionStep(p, request.enciphered, data, hostNow);
            out.push_back(r);
            if (!p.empty()) out.push_back(p[0]);
            if (r == kOk) out.insert(out.end(), data.begin(), data.end());
            return;
        }
        case kRead:
        case kWrite: {
            if (p.empty()) {
                out = {kDataError};
                return;
            }
            const std::uint8_t cmd = p[0];
            if (forced != nullptr) {
                const auto f = forced->find(cmd);
                if (f != forced->end()) {
                    out = {f->second, cmd};
                    return;
                }
            }
            const std::uint8_t* a = p.data() + 1;
            const std::size_t n = p.size() - 1;
            Bytes data;
            std::uint8_t r;
            if (request.type == kRead) {
                r = read(cmd, a, n, data, hostNow);
            } else if (needsSession(cmd, a, n) && auth_ != Auth::Open) {
                r = kNoRights;
            } else {
                r = write(cmd, a, n, data, reply, hostNow);
            }
            out.push_back(r);
            out.push_back(cmd);
            if (r == kOk) out.insert(out.end(), data.begin(), data.end());
            return;
        }
        default:
            out = {kUnsupported};
            return;
    }
}

bool MeterModel::needsSession(std::uint8_t cmd, const std::uint8_t* a, std::size_t n) const {
    // The clock correction, memory initialisation and calibration work
    // without a session (the service centre uses them on a fresh meter).
    if (cmd == kDateTime) return false;
    if (cmd == kService && n == 1 && (a[0] == 0 || a[0] == 1 || a[0] == 2)) return false;
    return true;
}

std::uint8_t MeterModel::sessionStep(const Bytes& p, bool enciphered, Bytes& out, const DateTime& hostNow) {
    if (p.empty()) return kDataError;
    switch (p[0]) {
        case 0: {  // AUTH_0: a fresh challenge
            if (p.size() != 1) return kDataError;
            Key4 c;
            const std::uint32_t v = rng_();
            c = Key4::FromNumber(v);
            sessionKey_ = c;
            Cipher(sessionKey_.b, 4, Key4::FromNumber(state_.keyA));
            expected_ = sessionKey_;
            Cipher(expected_.b, 4, Key4::FromNumber(state_.keyB));
            auth_ = Auth::Challenged;
            out.assign(c.b, c.b + 4);
            return kOk;
        }
        case 1: {  // AUTH_1: the response proves both keys
            if (p.size() != 5) return kDataError;
            if (auth_ != Auth::Challenged) {
                ++authFailures;
                return kAccessError;
            }
            if (std::memcmp(p.data() + 1, expected_.b, 4) != 0) {
                auth_ = Auth::None;
                ++authFailures;
                return kAccessError;
            }
            auth_ = Auth::KeysOk;
            return kOk;
        }
        case 2: {  // AUTH_2: level and password, enciphered
            if (p.size() != 6) return kDataError;
            if (!enciphered || (auth_ != Auth::KeysOk && auth_ != Auth::Open)) {
                ++authFailures;
                return kAccessError;
            }
            const int level = p[1];
            if (level != 1 && level != 2) {
                ++authFailures;
                return kNoSuchUser;
            }
            if (GetU32LE(p.data() + 2) != state_.password[static_cast<std::size_t>(level - 1)]) {
                auth_ = Auth::KeysOk;
                ++authFailures;
                return kAccessError;
            }
            auth_ = Auth::Open;
            level_ = level;
            ++sessionsOpened;
            addEvent(kAccessJournal, static_cast<std::uint8_t>(level), clock(hostNow));
            return kOk;
        }
        default:
            return kUnsupported;
    }
}

std::uint8_t MeterModel::read(std::uint8_t cmd, const std::uint8_t* a, std::size_t n, Bytes& out, const DateTime& hostNow) {
    switch (cmd) {
        case kPhaseValues: {
            if (n != 3) return kDataError;
            const auto ph = energy_.phases(state_, clock(hostNow).toMSecsSinceEpoch());
            std::uint8_t masks[3];
            for (int i = 0; i < 3; ++i) masks[i] = a[i] & 0x3F;  // bits 6 and 7 carry nothing
            out.insert(out.end(), masks, masks + 3);
            for (int i = 0; i < 3; ++i) {
                const PhaseSample& s = ph[static_cast<std::size_t>(i)];
                if (masks[i] & 0x01) Put32(out, static_cast<std::uint32_t>(s.p));
                if (masks[i] & 0x02) Put32(out, static_cast<std::uint32_t>(s.q));
                if (masks[i] & 0x04) Put32(out, static_cast<std::uint32_t>(s.u));
                if (masks[i] & 0x08) Put32(out, static_cast<std::uint32_t>(s.i));
                if (masks[i] & 0x10) Put16(out, s.f);
                if (masks[i] & 0x20) Put16(out, static_cast<std::uint16_t>(s.k));
            }
            return kOk;
        }
        case kMainParameters:
            if (n != 0) return kDataError;
            Append(out, state_.main);
            return kOk;
        case kSpeed: {
            if (n != 1) return kDataError;
            if (a[0] >= kChannels) return kBadParameters;
            const Speed& s = state_.speeds[a[0]];
            out = {a[0], s.code, s.type};
            return kOk;
        }
        case kState:
            if (n != 0) return kDataError;
            stateRecord(out, hostNow);
            return kOk;
        case kPowerProfile:
            if (n != 4) return kDataError;
            return powerProfile(a, out, hostNow);
        case kDateTime: {
            if (n != 0) return kDataError;
            const DateTime t = clock(hostNow);
            out = {static_cast<std::uint8_t>(t.hour()), static_cast<std::uint8_t>(t.minute()),
                   static_cast<std::uint8_t>(t.second()), static_cast<std::uint8_t>(t.dayOfWeek()),
                   static_cast<std::uint8_t>(t.day()), static_cast<std::uint8_t>(t.month()),
                   static_cast<std::uint8_t>(t.year() % 100), static_cast<std::uint8_t>(t.year() / 100)};
            return kOk;
        }
        case kEnergy:
            if (n != 5) return kDataError;
            return energyValue(a, out, hostNow);
        case kAdditionalParameters:
            if (n != 0) return kDataError;
            Append(out, state_.additional);
            return kOk;
        case kSecondParameters:
            if (n != 0) return kDataError;
            Append(out, state_.second);
            return kOk;
        case kStatus:
            if (n != 0) return kDataError;
            statusRecord(out, hostNow);
            return kOk;
        case kStruct: {
            if (n != 3) return kDataError;
            out = {a[0], a[1], a[2]};
            return getStruct(a[0], GetU16LE(a + 1), out);
        }
        case kRatios: {
            if (n != 0) return kDataError;
            Put16(out, state_.ratioI);
            Put16(out, state_.ratioU);
            Put32(out, state_.ratioHistory.empty() ? 0 : state_.ratioHistory.back().time);
            Put16(out, state_.ratioCount);
            return kOk;
        }
        case kLoraPower:
            if (n != 0) return kDataError;
            out = {state_.loraPower};
            return kOk;
        case kService:
            if (n != 1) return kDataError;
            if (a[0] != 2) return kUnsupported;
            out = {2};
            Append(out, state_.calibration);
            return kOk;
        default:
            return kUnsupported;
    }
}

std::uint8_t MeterModel::write(std::uint8_t cmd, const std::uint8_t* a, std::size_t n, Bytes& out, MeterReply& reply,
                               const DateTime& hostNow) {
    switch (cmd) {
        case kKeysPasswords: {
            if (n == 0) return kDataError;
            // Keys and passwords belong to the administrator (level 1).
            if (level_ != 1) return kNoRights;
            if (a[0] == 0) {
                if (n != 9) return kDataError;
                state_.keyA = GetU32LE(a + 1);
                state_.keyB = GetU32LE(a + 5);
            } else if (a[0] == 1 || a[0] == 2) {
                if (n != 5) return kDataError;
                state_.password[static_cast<std::size_t>(a[0] - 1)] = GetU32LE(a + 1);
            } else {
                return kNoSuchUser;
            }
            dirty_ = true;
            return kOk;
        }
        case kContactor:
            if (n != 1) return kDataError;
            if (a[0] > 1) return kBadParameters;
            state_.contactor = a[0];
            dirty_ = true;
            return kOk;
        case kMainParameters:
            if (n != kMainRecordSize) return kDataError;
            std::memcpy(state_.main.data(), a, n);
            dirty_ = true;
            return kOk;
        case kMagnetFlag:
            if (n != 0) return kDataError;
            state_.magnetFlag = false;
            addEvent(kErasureJournal, static_cast<std::uint8_t>(level_), clock(hostNow));
            return kOk;
        case kSpeed:
            if (n != 3) return kDataError;
            if (a[0] >= kChannels || a[1] > 8 || a[2] > 4) return kBadParameters;
            state_.speeds[a[0]] = Speed{a[1], a[2]};
            dirty_ = true;
            return kOk;
        case kDateTime: {
            if (n != 8) return kDataError;
            const auto t = DateTime::make(a[7] * 100 + a[6], a[5], a[4], a[0], a[1], a[2]);
            if (!t || t->year() < 2000 || t->year() > 2127) return kBadParameters;
            const DateTime before = clock(hostNow);
            ClockChange c{static_cast<std::uint8_t>(auth_ == Auth::Open ? level_ : 0), PackDateTime32(before),
                          PackDateTime32(*t)};
            state_.clockChanges.insert(state_.clockChanges.begin(), c);
            if (state_.clockChanges.size() > static_cast<std::size_t>(kClockHistoryEntries)) state_.clockChanges.pop_back();
            ++state_.clockChangeCount;
            setClock(*t, hostNow);
            return kOk;
        }
        case kAdditionalParameters:
            if (n != kAdditionalRecordSize) return kDataError;
            std::memcpy(state_.additional.data(), a, n);
            dirty_ = true;
            return kOk;
        case kSecondParameters:
            if (n != kSecondRecordSize) return kDataError;
            std::memcpy(state_.second.data(), a, n);
            dirty_ = true;
            return kOk;
        case kStruct:
            if (n < 3) return kDataError;
            return setStruct(a[0], GetU16LE(a + 1), a + 3, n - 3);
        case kRatios: {
            if (n != 4) return kDataError;
            const std::uint16_t ki = GetU16LE(a), ku = GetU16LE(a + 2);
            if (ki == 0 || ku == 0) return kBadParameters;
            const DateTime now = clock(hostNow);
            RatioChange r{ki, ku, PackDateTime32(now), {}};
            for (int t = 0; t < 4; ++t)
                r.energy[static_cast<std::size_t>(t)] = Clamp32(energy_.accumulated(state_, 12, t, now.toMSecsSinceEpoch()));
            state_.ratioHistory.push_back(r);
            if (state_.ratioHistory.size() > static_cast<std::size_t>(kRatioHistoryEntries))
                state_.ratioHistory.erase(state_.ratioHistory.begin());
            ++state_.ratioCount;
            state_.ratioI = ki;
            state_.ratioU = ku;
            dirty_ = true;
            return kOk;
        }
        case kLoraPower:
            if (n != 1) return kDataError;
            if (a[0] > 3) return kBadParameters;
            state_.loraPower = a[0];
            dirty_ = true;
            return kOk;
        case kService:
            if (n != 1) return kDataError;
            out.push_back(a[0]);
            return service(a[0], out, reply, hostNow);
        default:
            return kUnsupported;
    }
}

std::uint8_t MeterModel::service(std::uint8_t function, Bytes& out, MeterReply& reply, const DateTime& hostNow) {
    switch (function) {
        case 0: {  // memory initialisation: the archives start again from now
            const DateTime now = clock(hostNow);
            state_.historyStart = now;
            state_.powerSynced = now;
            for (auto& j : state_.journals) j.clear();
            state_.journalCounts.fill(0);
            state_.clockChanges.clear();
            state_.clockChangeCount = 0;
            state_.ratioHistory.clear();
            state_.ratioCount = 0;
            state_.magnetFlag = false;
            energy_.invalidate();
            dirty_ = true;
            return kOk;
        }
        case 1: {  // calibration: the coefficients settle a few units away
            for (int ch = 0; ch < 2; ++ch) {
                for (int off : {2, 8, 16}) {
                    std::uint8_t* p = state_.calibration.data() + 20 * ch + off;
                    const int delta = static_cast<int>(rng_() % 7) - 3;
                    PutU16LE(p, static_cast<std::uint16_t>(GetU16LE(p) + delta));
                }
            }
            PutCrc16Xmodem(state_.calibration.data(), 40);
            reply.busyMs = calibrationMs;
            dirty_ = true;
            return kOk;
        }
        case 2:
            Append(out, state_.calibration);
            return kOk;
        case 3:  // leave the PLC network: the modem forgets its station
            return kOk;
        case 4:
        case 5:
            state_.checkMode = function;
            dirty_ = true;
            return kOk;
        case 6:
            state_.checkMode = 0;
            dirty_ = true;
            return kOk;
        case 7:  // transparent mode starts once this reply has left; the session ends with it
            transparent_ = true;
            auth_ = Auth::None;
            return kOk;
        case 8: {  // A- verification mode for an hour, a limited number of times
            const std::uint8_t n = state_.aMinusAllowance;
            out.push_back(n);
            if (n > 0) {
                --state_.aMinusAllowance;
                dirty_ = true;
            }
            return kOk;
        }
        case 9:
        case 10:
            state_.backlight = function == 10 ? 1 : 0;
            dirty_ = true;
            return kOk;
        default:
            return kUnsupported;
    }
}

std::uint8_t MeterModel::powerProfile(const std::uint8_t* a, Bytes& out, const DateTime& hostNow) {
    const DateTime day = meter34::UnpackDate16(GetU16LE(a));
    const int type = a[2];
    const int block = a[3];
    if (day.isEmpty() || !EnergyModel::ValidType(type)) return kBadParameters;
    int period = (state_.additional[1] >> 5) & 7;
    // Meters before version 100 keep half-hour or hour profiles only and
    // number them 0 and 1.
    const bool early = state_.version < 100;
    if (early && period < 6) period = 6;
    const std::int64_t periodMs = kPeriodMinutes[period] * 60000LL;
    const int perDay = 1440 / kPeriodMinutes[period];
    const int count = perDay == 24 ? 24 : 48;
    const int blocks = perDay / count;
    const std::int64_t now = clock(hostNow).toMSecsSinceEpoch();
    const std::int64_t hs = state_.historyStart.toMSecsSinceEpoch();
    const std::int64_t dayStart = day.toMSecsSinceEpoch();
    if (block >= blocks) return kBadIndex;
    const std::int64_t first = dayStart + static_cast<std::int64_t>(block) * count * periodMs;
    // Nothing stored yet, or the day lies before the meter's history.
    if (first + periodMs > now || dayStart + kDayMs <= hs) return kNoData;
    out.push_back(static_cast<std::uint8_t>(count));
    out.push_back(static_cast<std::uint8_t>(block));
    out.push_back(static_cast<std::uint8_t>(early ? period - 6 : period));
    for (int i = 0; i < count; ++i) {
        const std::int64_t from = first + i * periodMs, to = from + periodMs;
        std::uint16_t v = 0xFFFF;
        if (to <= now) {
            const auto iv = energy_.interval(state_, type, from, to);
            if (iv.stored) v = static_cast<std::uint16_t>(std::min<std::uint32_t>(iv.wh, 0x7FFF) | (iv.restored ? 0x8000 : 0));
        }
        Put16(out, v);
    }
    return kOk;
}

std::uint8_t MeterModel::energyValue(const std::uint8_t* a, Bytes& out, const DateTime& hostNow) {
    const DateTime date = meter34::UnpackDate16(GetU16LE(a));
    const int type = a[2], tariff = a[3], slice = a[4];
    if (!EnergyModel::ValidType(type) || tariff > 3 || slice > 6) return kBadParameters;
    const DateTime nowDt = clock(hostNow);
    const std::int64_t now = nowDt.toMSecsSinceEpoch();
    const std::int64_t hs = state_.historyStart.toMSecsSinceEpoch();
    const auto at = [&](std::int64_t t) { return energy_.accumulated(state_, type, tariff, t); };
    std::uint64_t value = 0;
    if (slice == 0) {
        value = at(now);
    } else {
        if (date.isEmpty()) return kBadParameters;
        DateTime from;
        DateTime to;
        switch (slice) {
            case 1:
            case 4:
                from = date;
                to = from.addDays(1);
                break;
            case 2:
            case 5:
                from = DateTime::makeOrEmpty(date.year(), date.month(), 1);
                to = date.month() == 12 ? DateTime::makeOrEmpty(date.year() + 1, 1, 1)
                                        : DateTime::makeOrEmpty(date.year(), date.month() + 1, 1);
                break;
            default:
                from = DateTime::makeOrEmpty(date.year(), 1, 1);
                to = DateTime::makeOrEmpty(date.year() + 1, 1, 1);
                break;
        }
        const std::int64_t a0 = from.toMSecsSinceEpoch(), b0 = to.toMSecsSinceEpoch();
        if (slice <= 3) {
            // The value at the start of a day, month or year.
            if (a0 > now || a0 < hs) return kNoData;
            value = at(a0);
        } else {
            // Consumption within it (so far, for the running one).
            if (a0 > now || b0 <= hs) return kNoData;
            value = at(std::min(b0, now)) - at(a0);
        }
    }
    Put32(out, Clamp32(value));
    return kOk;
}

void MeterModel::stateRecord(Bytes& out, const DateTime& hostNow) {
    const std::int64_t now = clock(hostNow).toMSecsSinceEpoch();
    int maxTariff = 1;
    for (const auto& m : state_.tariffs)
        for (int k = 0; k < 48; ++k)
            for (int c = 0; c < 4; ++c) maxTariff = std::max(maxTariff, ((m[static_cast<std::size_t>(k)] >> (2 * c)) & 3) + 1);
    std::uint16_t errors = 0;
    if (state_.magnetFlag) errors |= 0x04;
    out.push_back(7);  // subversion
    out.push_back(state_.contactor);
    out.push_back(state_.speeds[0].code);
    out.push_back(state_.speeds[1].code);
    out.push_back(state_.main[0]);  // display mode
    out.push_back(state_.main[1]);
    out.push_back(static_cast<std::uint8_t>(EnergyModel::TariffAt(state_, now)));
    Put16(out, errors);
    out.push_back(static_cast<std::uint8_t>(maxTariff));
    Put16(out, 0x000F);  // A+, A-, R+, R- measured
}

void MeterModel::statusRecord(Bytes& out, const DateTime& hostNow) {
    const std::int64_t now = clock(hostNow).toMSecsSinceEpoch();
    const int tariff = EnergyModel::TariffAt(state_, now);
    const std::uint8_t ext = state_.second[19];
    std::uint8_t extState = 0xFF;  // no external contactor configured
    std::uint8_t extReasons = 0;
    if (ext & 0x10) {
        extState = (ext >> tariff) & 1;
        if (extState) extReasons = static_cast<std::uint8_t>(1 << tariff);
    } else if (ext & 0x20) {
        extState = 1;
        extReasons = 0x20;
    } else if (ext != 0) {
        extState = 0;
    }
    out.push_back(state_.second[0]);
    out.push_back(state_.second[1]);
    out.push_back(extState);
    out.push_back(state_.speeds[2].code);
    Put16(out, state_.contactor == 0 ? 0x0001 : 0x0000);  // switched off by the interface
    out.push_back(0x15);                                   // all three phases at normal voltage
    out.push_back(0x00);
    out.push_back(0x00);
    out.push_back(extReasons);
    out.push_back(0);
    out.push_back(0);
}

std::uint8_t MeterModel::getStruct(int number, int index, Bytes& out) {
    const auto one = [&](int count) { return index >= 0 && index < count; };
    switch (number) {
        case 9:
            if (!one(kMonths)) return kBadIndex;
            Append(out, state_.tariffs[static_cast<std::size_t>(index)]);
            return kOk;
        case 11: {
            if (!one(kJournals)) return kBadIndex;
            const std::uint32_t written = state_.journalCounts[static_cast<std::size_t>(index)];
            std::uint8_t h[5] = {};
            PutU16LE(h, static_cast<std::uint16_t>(std::min<std::uint32_t>(written, 0xFFFF)));
            h[2] = written == 0 ? 0 : static_cast<std::uint8_t>((written - 1) % static_cast<std::uint32_t>(journalRecords()) + 1);
            PutCrc16Xmodem(h, 3);
            out.insert(out.end(), h, h + 5);
            return kOk;
        }
        case 12: {
            const int r = journalRecords();
            if (!one(kJournals * r)) return kBadIndex;
            const int j = index / r, pos = index % r;
            const auto& events = state_.journals[static_cast<std::size_t>(j)];
            const long long at = RingEntry(events.size(), state_.journalCounts[static_cast<std::size_t>(j)], r, pos);
            std::uint8_t rec[7] = {};
            if (at >= 0) {
                rec[0] = events[static_cast<std::size_t>(at)].code;
                PutU32LE(rec + 1, events[static_cast<std::size_t>(at)].time);
                PutCrc16Xmodem(rec, 5);
            }
            out.insert(out.end(), rec, rec + 7);
            return kOk;
        }
        case 16:
            if (!one(kHolidaySlots)) return kBadIndex;
            Append(out, state_.holidays[static_cast<std::size_t>(index)]);
            return kOk;
        case 17: {
            if (!one(1)) return kBadIndex;
            std::uint8_t h[50] = {};
            PutU16LE(h, state_.clockChangeCount);
            h[2] = static_cast<std::uint8_t>(state_.clockChanges.size());
            for (std::size_t i = 0; i < state_.clockChanges.size() && i < 5; ++i) {
                std::uint8_t* e = h + 3 + 9 * i;
                e[0] = state_.clockChanges[i].op;
                PutU32LE(e + 1, state_.clockChanges[i].before);
                PutU32LE(e + 5, state_.clockChanges[i].set);
            }
            PutCrc16Xmodem(h, 48);
            out.insert(out.end(), h, h + 50);
            return kOk;
        }
        case 18:
            if (!one(1)) return kBadIndex;
            Append(out, state_.pulses);
            return kOk;
        case 23:
            if (!one(1)) return kBadIndex;
            Append(out, state_.voltage);
            return kOk;
        case 25:
            if (!one(1)) return kBadIndex;
            Append(out, state_.apn);
            return kOk;
        case 26:
            if (!one(1)) return kBadIndex;
            Append(out, state_.tcp);
            return kOk;
        case 27:
            if (!one(1)) return kBadIndex;
            Append(out, state_.contactorByTariff);
            return kOk;
        case 28:
            if (!one(1)) return kBadIndex;
            Append(out, state_.functions);
            return kOk;
        case 30:
        case 31: {
            if (!one(kRatioHistoryEntries)) return kBadIndex;
            const long long at = RingEntry(state_.ratioHistory.size(), state_.ratioCount, kRatioHistoryEntries, index);
            if (number == 30) {
                std::uint8_t e[10] = {};
                if (at >= 0) {
                    const RatioChange& r = state_.ratioHistory[static_cast<std::size_t>(at)];
                    PutU16LE(e, r.ki);
                    PutU16LE(e + 2, r.ku);
                    PutU32LE(e + 4, r.time);
                    PutCrc16Xmodem(e, 8);
                }
                out.insert(out.end(), e, e + 10);
            } else {
                std::uint8_t e[18] = {};
                if (at >= 0) {
                    const RatioChange& r = state_.ratioHistory[static_cast<std::size_t>(at)];
                    for (int t = 0; t < 4; ++t) PutU32LE(e + 4 * t, r.energy[static_cast<std::size_t>(t)]);
                    PutCrc16Xmodem(e, 16);
                }
                out.insert(out.end(), e, e + 18);
            }
            return kOk;
        }
        default:
            return kBadStructure;
    }
}

std::uint8_t MeterModel::setStruct(int number, int index, const std::uint8_t* data, std::size_t n) {
    std::uint8_t* target = nullptr;
    std::size_t size = 0;
    int indices = 1;
    switch (number) {
        case 9:
            indices = kMonths;
            size = kTariffRecordSize;
            if (index >= 0 && index < kMonths) target = state_.tariffs[static_cast<std::size_t>(index)].data();
            break;
        case 16:
            indices = kHolidaySlots;
            size = kHolidayRecordSize;
            if (index >= 0 && index < kHolidaySlots) target = state_.holidays[static_cast<std::size_t>(index)].data();
            break;
        case 18: size = state_.pulses.size(); target = state_.pulses.data(); break;
        case 23: size = state_.voltage.size(); target = state_.voltage.data(); break;
        case 25: size = state_.apn.size(); target = state_.apn.data(); break;
        case 26: size = state_.tcp.size(); target = state_.tcp.data(); break;
        case 27: size = state_.contactorByTariff.size(); target = state_.contactorByTariff.data(); break;
        case 28: size = state_.functions.size(); target = state_.functions.data(); break;
        case 11:
        case 12:
        case 17:
        case 30:
        case 31:
            return kStructureAccess;  // journals and histories are written by the meter only
        default:
            return kBadStructure;
    }
    if (index < 0 || index >= indices) return kBadIndex;
    if (n != size) return kDataError;
    if (!CrcOk(data, n)) return kBlockCrc;
    if (number == 16) {
        const int v = GetU16LE(data);
        const int day = v & 31, month = (v >> 5) & 15;
        if (v != 0 && (day < 1 || month < 1 || month > 12 || day > DateTime::daysInMonth(2000, month))) return kBadParameters;
    }
    std::memcpy(target, data, n);
    if (number == 9 || number == 16) energy_.invalidate();
    dirty_ = true;
    return kOk;
}

}  // namespace sim34
