#include "sim/counter5x/MeterModel.h"

#include <cstring>
#include <stdexcept>

#include "console/link/Structures.h"

namespace sim5x {

using common::DateTime;
using console::GetUInt16BE;
using console::GetUInt32BE;
using console::PutUInt16BE;
using console::PutUInt32BE;

MeterModel::MeterModel(const MeterSettings& s)
    : version_(s.version),
      meterNumber_(s.meterNumber),
      kopecks_(s.kopecks),
      profilePoints_(s.profilePoints),
      clockOffsetMs_(s.clockOffsetMs),
      rng_(std::random_device{}()),
      pendingPassword_(s.password),
      pendingIdent_(s.ident) {
    if (version_ < 51 || version_ > 54) throw std::invalid_argument("meter version must be 51..54");
    if (profilePoints_ < 0 || profilePoints_ > 65535) throw std::invalid_argument("load-profile points must be 0..65535");
    buildMemory();
}

// --- identity and settings ---------------------------------------------------

void MeterModel::setVersion(int version) {
    if (version < 51 || version > 54) throw std::invalid_argument("meter version must be 51..54");
    pendingPassword_ = password();
    pendingIdent_ = ident();
    version_ = version;
    session_ = false;
    buildMemory();
}

void MeterModel::setMeterNumber(std::uint32_t n) {
    meterNumber_ = n;
    // The load cards were issued for this meter.
    if (const AreaSpec* a = layoutOf(kAreaCards)) {
        for (std::uint16_t i = 0; i < a->count; ++i) {
            PutUInt32BE(at(kAreaCards, i) + 12, n);
            seal(kAreaCards, i);
        }
    }
}

std::uint32_t MeterModel::ident() const { return GetUInt32BE(mem_[kAreaIdent].data()); }

void MeterModel::setIdent(std::uint32_t ident) {
    PutUInt32BE(at(kAreaIdent, 0), ident);
    seal(kAreaIdent, 0);
}

std::uint16_t MeterModel::password() const { return GetUInt16BE(mem_[kAreaPasswords].data()); }

void MeterModel::setPassword(std::uint16_t password) {
    const AreaSpec* a = layoutOf(kAreaPasswords);
    for (std::uint16_t i = 0; i < a->count; ++i) {
        PutUInt16BE(at(kAreaPasswords, i), password);
        seal(kAreaPasswords, i);
    }
}

void MeterModel::setKopecks(bool kopecks) {
    if (kopecks == kopecks_) return;
    kopecks_ = kopecks;
    renderMoney();
}

DateTime MeterModel::clock() const { return DateTime::now().addMSecs(clockOffsetMs_); }

void MeterModel::setClock(const DateTime& t) {
    if (t.isEmpty()) return;
    clockOffsetMs_ = DateTime::now().msecsTo(t);
}

void MeterModel::setCardMode(bool on) {
    cardMode_ = on;
    renderDebit();
}

std::string MeterModel::currency() const { return std::string(currency_.begin(), currency_.end()); }

void MeterModel::setCurrency(const std::string& three) {
    if (three.size() != 3) throw std::invalid_argument("a currency identifier has three characters");
    std::memcpy(currency_.data(), three.data(), 3);
    renderDebit();
}

// --- memory -------------------------------------------------------------------

const AreaSpec* MeterModel::layoutOf(std::uint8_t code) const {
    if (code >= kAreaCodeLimit || specOf_[code] < 0) return nullptr;
    return &layout_[static_cast<std::size_t>(specOf_[code])];
}

std::uint8_t* MeterModel::at(std::uint8_t code, std::uint16_t index) {
    const AreaSpec* a = layoutOf(code);
    return mem_[code].data() + static_cast<std::size_t>(index) * a->size;
}

void MeterModel::seal(std::uint8_t code, std::uint16_t index) { console::SealArea(at(code, index), layoutOf(code)->size); }

std::vector<std::uint8_t> MeterModel::record(std::uint8_t code, std::uint16_t index) const {
    const AreaSpec* a = layoutOf(code);
    if (!a || index >= a->count) return {};
    const auto* p = mem_[code].data() + static_cast<std::size_t>(index) * a->size;
    return {p, p + a->size};
}

bool MeterModel::setRecord(std::uint8_t code, std::uint16_t index, const std::vector<std::uint8_t>& bytes, bool reseal) {
    const AreaSpec* a = layoutOf(code);
    if (!a || index >= a->count) return false;
    const bool withSeal = bytes.size() == a->size;
    if (!withSeal && !(reseal && bytes.size() + 2 == a->size)) return false;
    std::memcpy(at(code, index), bytes.data(), bytes.size());
    if (reseal) seal(code, index);
    return true;
}

void MeterModel::noteEvent(int event) {
    std::uint8_t* r = at(kAreaEvents, static_cast<std::uint16_t>(event));
    PutUInt32BE(r, console::DateTimeToStamp32(clock()));
    PutUInt32BE(r + 4, GetUInt32BE(r + 4) + 1);
    seal(kAreaEvents, static_cast<std::uint16_t>(event));
}

// --- requests -------------------------------------------------------------------

MeterModel::Reply MeterModel::refuse(std::uint8_t reason) const {
    Reply r;
    r.send = true;
    r.code = kRefused;
    r.len = 1;
    r.data[0] = static_cast<std::uint8_t>(reason ^ key_[0]);
    return r;
}

MeterModel::Reply MeterModel::accept() const {
    Reply r;
    r.send = true;
    r.code = kAccepted;
    return r;
}

MeterModel::Reply MeterModel::handle(std::uint8_t code, const std::uint8_t* data, std::size_t len, int forcedRefusal) {
    if (code == kAuthorize) {
        if (forcedRefusal >= 0 && len == 8 && GetUInt32BE(data) == meterNumber_ && GetUInt32BE(data + 4) == ident()) {
            session_ = false;
            key_ = {};
            return refuse(static_cast<std::uint8_t>(forcedRefusal));
        }
        return authorize(data, len);
    }
    if (code == kEndSession) {
        session_ = false;
        return {};
    }
    // Outside a session the frame is for another meter on the line.
    if (!session_) return {};
    if (len > kMaxData) return refuse(kBadRequest);
    std::uint8_t d[kMaxData];
    if (len) std::memcpy(d, data, len);
    Scramble(d, len, key_);
    if (forcedRefusal >= 0) return refuse(static_cast<std::uint8_t>(forcedRefusal));
    switch (code) {
        case kReadArea: return readArea(d, len);
        case kWriteArea: return writeArea(d, len);
        case kReadClock: return readClock();
        case kWriteClock: return writeClock(d, len);
        case kOneByte: return oneByte(d, len);
        case kRangeMode: return rangeMode(d, len);
        case kCurrency: return currencyCommand(d, len);
        default: return refuse(kNoSuchThing);
    }
}

MeterModel::Reply MeterModel::authorize(const std::uint8_t* d, std::size_t len) {
    if (len != 8) return {};
    if (GetUInt32BE(d) != meterNumber_ || GetUInt32BE(d + 4) != ident()) {
        // Another meter is being addressed: whatever session this one had is over.
        session_ = false;
        return {};
    }
    if (fixedKey_) {
        key_ = *fixedKey_;
    } else {
        const std::uint32_t k = rng_();
        PutUInt32BE(key_.data(), k);
    }
    session_ = true;
    noteEvent(0);  // access date
    Reply r;
    r.send = true;
    r.code = kAuthorized;
    r.len = 8;
    r.data[0] = static_cast<std::uint8_t>(reportedVersion_ ? reportedVersion_ : version_);
    std::memcpy(&r.data[1], key_.data(), 4);
    r.data[5] = 0x01;  // firmware build, not interpreted by the console
    r.data[6] = 0x00;
    std::uint8_t flags = 0;
    if (cardMode_) flags |= kFlagCardMode;
    if (kopecks_) flags |= kFlagKopecks;
    if (contactor_ == Contactor::Off) flags |= kFlagContactorOff;
    if (channel1_) flags |= kFlagChannel1On;
    if (channel2_) flags |= kFlagChannel2On;
    r.data[7] = flags;
    return r;  // sent unscrambled: the console holds no key yet
}

MeterModel::Reply MeterModel::readArea(const std::uint8_t* d, std::size_t len) {
    if (len != 3) return refuse(kBadRequest);
    const AreaSpec* a = layoutOf(d[0]);
    const std::uint16_t index = GetUInt16BE(d + 1);
    if (!a || index >= a->count) return refuse(kNoSuchThing);
    if (a->access == Access::WriteOnly) return refuse(kNotAllowed);
    Reply r;
    r.send = true;
    r.code = kReadArea;
    r.len = a->size;
    std::memcpy(r.data.data(), mem_[a->code].data() + static_cast<std::size_t>(index) * a->size, a->size);
    Scramble(r.data.data(), r.len, key_);
    return r;
}

MeterModel::Reply MeterModel::writeArea(const std::uint8_t* d, std::size_t len) {
    if (len < 5) return refuse(kBadRequest);
    const AreaSpec* a = layoutOf(d[0]);
    const std::uint16_t index = GetUInt16BE(d + 1);
    if (!a || index >= a->count) return refuse(kNoSuchThing);
    if (a->access == Access::ReadOnly) return refuse(kNotAllowed);
    if (GetUInt16BE(d + 3) != password()) return refuse(kWrongPassword);
    const std::uint8_t* rec = d + 5;
    const std::size_t size = len - 5;
    if (size != a->size) return refuse(kBadRequest);
    if (console::AreaCRC16(rec, size - 2) != GetUInt16BE(rec + size - 2)) return refuse(kBadRequest);
    std::memcpy(at(a->code, index), rec, size);
    // Entry 0 of the password area is the write password from now on; area 3
    // holds the identifier the next authorization asks for.
    Reply r = accept();
    r.changed = true;
    return r;
}

MeterModel::Reply MeterModel::readClock() const {
    const DateTime t = clock();
    Reply r;
    r.send = true;
    r.code = kReadClock;
    r.len = 8;
    r.data[0] = static_cast<std::uint8_t>(t.second());
    r.data[1] = static_cast<std::uint8_t>(t.minute());
    r.data[2] = static_cast<std::uint8_t>(t.hour());
    r.data[3] = static_cast<std::uint8_t>(t.dayOfWeek());  // the clock chip's weekday, 1 = Monday
    r.data[4] = static_cast<std::uint8_t>(t.day());
    r.data[5] = static_cast<std::uint8_t>(t.month());
    r.data[6] = static_cast<std::uint8_t>(t.year() % 100);
    r.data[7] = static_cast<std::uint8_t>(t.year() / 100);
    Scramble(r.data.data(), r.len, key_);
    return r;
}

MeterModel::Reply MeterModel::writeClock(const std::uint8_t* d, std::size_t len) {
    if (len != 8) return refuse(kBadRequest);
    // The weekday byte (d[3]) is ignored: the clock works it out from the date.
    if (d[6] > 99) return refuse(kBadRequest);
    const auto t = DateTime::make(d[7] * 100 + d[6], d[5], d[4], d[2], d[1], d[0]);
    if (!t) return refuse(kBadRequest);
    setClock(*t);
    Reply r = accept();
    r.changed = true;
    return r;
}

MeterModel::Reply MeterModel::oneByte(const std::uint8_t* d, std::size_t len) {
    if (len != 1) return refuse(kBadRequest);
    switch (d[0]) {
        case 'D': setCardMode(true); break;
        case '1': contactor_ = Contactor::On; noteEvent(2); break;
        case '0': contactor_ = Contactor::Off; noteEvent(3); break;
        case 'F': contactor_ = Contactor::Released; noteEvent(4); break;
        case 'A': channel1_ = true; break;
        case 'a': channel1_ = false; break;
        case 'B': channel2_ = true; break;
        case 'b': channel2_ = false; break;
        default: return refuse(kNoSuchThing);
    }
    Reply r = accept();
    r.changed = true;
    return r;
}

MeterModel::Reply MeterModel::rangeMode(const std::uint8_t* d, std::size_t len) {
    if (len != 1) return refuse(kBadRequest);
    bool wantKopecks;
    if (d[0] == 'D') wantKopecks = false;
    else if (d[0] == 'S') wantKopecks = true;
    else return refuse(kNoSuchThing);
    if (wantKopecks == kopecks_) return refuse(kAlreadyInMode);
    setKopecks(wantKopecks);
    Reply r = accept();
    r.changed = true;
    return r;
}

MeterModel::Reply MeterModel::currencyCommand(const std::uint8_t* d, std::size_t len) {
    if (len != 3) return refuse(kBadRequest);
    for (std::size_t i = 0; i < 3; ++i)
        if (d[i] < 0x21 || d[i] > 0x7E) return refuse(kBadRequest);
    setCurrency(std::string(reinterpret_cast<const char*>(d), 3));
    Reply r = accept();
    r.changed = true;
    return r;
}

}  // namespace sim5x
