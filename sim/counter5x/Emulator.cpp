#include "sim/counter5x/Emulator.h"

#include <stdexcept>

#include "console/link/Structures.h"

namespace sim5x {

// --- in-process exchange ------------------------------------------------------------

std::vector<std::uint8_t> Emulator::exchange(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> sent;
    std::lock_guard<std::mutex> directLock(directMu_);
    for (std::uint8_t b : bytes) {
        switch (direct_.push(b)) {
            case RequestAssembler::Result::NeedMore: break;
            case RequestAssembler::Result::Bad: onBadFrame(Front::Direct, direct_.bytes(), direct_.size()); break;
            case RequestAssembler::Result::Frame: {
                Outgoing out = onFrame(Front::Direct, direct_.bytes(), direct_.size());
                sent.insert(sent.end(), out.bytes.begin(), out.bytes.end());
                if (out.save) saveNow();
                break;
            }
        }
    }
    return sent;
}

// --- one request ------------------------------------------------------------------------

void Emulator::append(LogEntry::Kind kind, Front front, const std::uint8_t* p, std::size_t n) {
    if (logLimit_ == 0) return;
    while (log_.size() >= logLimit_) log_.pop_front();
    log_.push_back(LogEntry{kind, front, std::vector<std::uint8_t>(p, p + n)});
}

Emulator::Outgoing Emulator::onFrame(Front front, const std::uint8_t* frame, std::size_t size) {
    Outgoing out;
    std::function<void(const LogEntry&)> trace;
    LogEntry tracedRequest, tracedReply;
    bool replied = false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        trace = trace_;
        if (trace) tracedRequest = LogEntry{LogEntry::Kind::Request, front, std::vector<std::uint8_t>(frame, frame + size)};
        ++counters_.requests;
        append(LogEntry::Kind::Request, front, frame, size);
        const std::uint8_t code = frame[2];
        const std::uint8_t* data = frame + 3;
        const std::size_t len = frame[1];

        if (faults_.silence != 0) {
            if (faults_.silence > 0) --faults_.silence;
            ++counters_.unanswered;
        } else {
            // The first data byte as the meter reads it: the area of a read or
            // write, the letter of a one-byte command.
            int selector = -1;
            if (len > 0) {
                const bool plain = code == kAuthorize || !model_.sessionOpen();
                selector = data[0] ^ (plain ? 0 : model_.sessionKey()[0]);
            }
            int forced = -1;
            for (const Refusal& r : faults_.refusals)
                if ((r.command < 0 || r.command == code) && (r.selector < 0 || r.selector == selector)) forced = r.reason;
            model_.setReportedVersion(faults_.reportVersion);

            const MeterModel::Reply reply = model_.handle(code, data, len, forced);
            if (code == kEndSession) ++counters_.sessionsEnded;
            const bool hangUp = reply.send && front == Front::Tcp && faults_.hangUpAfter == 0;
            if (reply.send && front == Front::Tcp && faults_.hangUpAfter >= 0) --faults_.hangUpAfter;
            if (hangUp) out.hangUp = true;
            if (!reply.send || hangUp) {
                ++counters_.unanswered;
            } else {
                if (reply.code == kAuthorized) ++counters_.authorizations;
                if (reply.code == kRefused) ++counters_.refusals;
                ++counters_.answered;
                out.bytes.resize(static_cast<std::size_t>(reply.len) + 4);
                BuildFrame(reply.code, reply.data.data(), reply.len, out.bytes.data());
                if (faults_.corruptCheck != 0) {
                    out.bytes.back() ^= 0xFF;
                    if (faults_.corruptCheck > 0) --faults_.corruptCheck;
                }
                out.bytes.insert(out.bytes.end(), faults_.trailing.begin(), faults_.trailing.end());
                out.delayMs = faults_.replyDelayMs;
                out.splitChunk = faults_.splitChunk;
                out.splitGapMs = faults_.splitGapMs;
                out.byteGapMs = faults_.byteGapMs;
                out.paceBaud = faults_.paceBaud;
                append(LogEntry::Kind::Reply, front, out.bytes.data(), out.bytes.size());
                if (trace) tracedReply = LogEntry{LogEntry::Kind::Reply, front, out.bytes};
                replied = true;
            }
            out.save = reply.changed && !autosave_.empty();
        }
    }
    changed_.notify_all();
    if (trace) {
        trace(tracedRequest);
        if (replied) trace(tracedReply);
    }
    return out;
}

void Emulator::onBadFrame(Front front, const std::uint8_t* bytes, std::size_t size) {
    std::function<void(const LogEntry&)> trace;
    {
        std::lock_guard<std::mutex> lock(mu_);
        ++counters_.badFrames;
        append(LogEntry::Kind::BadRequest, front, bytes, size);
        trace = trace_;
    }
    changed_.notify_all();
    if (trace) trace(LogEntry{LogEntry::Kind::BadRequest, front, std::vector<std::uint8_t>(bytes, bytes + size)});
}

void Emulator::noteTcpConnected(bool connected) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        tcpUp_ = connected;
        if (connected) ++counters_.tcpConnects;
    }
    changed_.notify_all();
}

bool Emulator::tcpConnected() const {
    std::lock_guard<std::mutex> lock(mu_);
    return tcpUp_;
}

bool Emulator::waitTcpConnected(int ms) const {
    std::unique_lock<std::mutex> lock(mu_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return tcpUp_; });
}

bool Emulator::waitUntil(const std::function<bool(const Counters&)>& pred, int ms) const {
    std::unique_lock<std::mutex> lock(mu_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return pred(counters_); });
}

// --- meter state -------------------------------------------------------------------------

int Emulator::version() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.version();
}

void Emulator::setVersion(int v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setVersion(v);
}

std::uint32_t Emulator::meterNumber() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.meterNumber();
}

void Emulator::setMeterNumber(std::uint32_t v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setMeterNumber(v);
}

std::uint32_t Emulator::ident() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.ident();
}

void Emulator::setIdent(std::uint32_t v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setIdent(v);
}

std::uint16_t Emulator::password() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.password();
}

void Emulator::setPassword(std::uint16_t v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setPassword(v);
}

bool Emulator::kopecks() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.kopecks();
}

void Emulator::setKopecks(bool v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setKopecks(v);
}

std::int64_t Emulator::clockOffsetMs() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.clockOffsetMs();
}

void Emulator::setClockOffsetMs(std::int64_t v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setClockOffsetMs(v);
}

common::DateTime Emulator::clock() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.clock();
}

void Emulator::setClock(const common::DateTime& v) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setClock(v);
}

bool Emulator::cardMode() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.cardMode();
}

Contactor Emulator::contactor() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.contactor();
}

std::string Emulator::currency() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.currency();
}

bool Emulator::sessionOpen() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.sessionOpen();
}

std::array<std::uint8_t, 4> Emulator::sessionKey() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.sessionKey();
}

std::vector<AreaSpec> Emulator::layout() const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.layout();
}

Faults Emulator::faults() const {
    std::lock_guard<std::mutex> l(mu_);
    return faults_;
}

void Emulator::setFaults(const Faults& v) {
    std::lock_guard<std::mutex> l(mu_);
    faults_ = v;
}

Counters Emulator::counters() const {
    std::lock_guard<std::mutex> l(mu_);
    return counters_;
}

bool Emulator::channel(int n) const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.channel(n);
}

void Emulator::setFixedSessionKey(std::optional<std::array<std::uint8_t, 4>> key) {
    std::lock_guard<std::mutex> l(mu_);
    model_.setFixedSessionKey(key);
}

std::vector<std::uint8_t> Emulator::record(std::uint8_t area, std::uint16_t index) const {
    std::lock_guard<std::mutex> l(mu_);
    return model_.record(area, index);
}

bool Emulator::setRecord(std::uint8_t area, std::uint16_t index, const std::vector<std::uint8_t>& bytes, bool reseal) {
    std::lock_guard<std::mutex> l(mu_);
    return model_.setRecord(area, index, bytes, reseal);
}

void Emulator::withMeter(const std::function<void(MeterModel&)>& f) {
    std::lock_guard<std::mutex> l(mu_);
    f(model_);
}

void Emulator::updateFaults(const std::function<void(Faults&)>& f) {
    std::lock_guard<std::mutex> l(mu_);
    f(faults_);
}

// --- observation ----------------------------------------------------------------------------

std::vector<LogEntry> Emulator::log() const {
    std::lock_guard<std::mutex> l(mu_);
    return {log_.begin(), log_.end()};
}

void Emulator::clearLog() {
    std::lock_guard<std::mutex> l(mu_);
    log_.clear();
}

void Emulator::setLogLimit(std::size_t entries) {
    std::lock_guard<std::mutex> l(mu_);
    logLimit_ = entries;
    while (log_.size() > logLimit_) log_.pop_front();
}

void Emulator::setTrace(std::function<void(const LogEntry&)> trace) {
    std::lock_guard<std::mutex> l(mu_);
    trace_ = std::move(trace);
}

// --- state file --------------------------------------------------------------------------------

void Emulator::applyState(const StateData& s) {
    std::lock_guard<std::mutex> l(mu_);
    MeterModel& m = model_;
    auto where = [](const StateData::Record& r) {
        return r.line ? "line " + std::to_string(r.line) + ": " : std::string();
    };
    if (s.version && s.version != m.version())
        throw StateError("the state is of a version " + std::to_string(s.version) + " meter, this one is version " +
                         std::to_string(m.version()));
    // Check everything first, so that a bad state changes nothing.
    for (const auto& r : s.records) {
        const AreaSpec* a = m.layoutOf(r.area);
        const std::string what = "area " + std::to_string(r.area) + " index " + std::to_string(r.index);
        if (!a) throw StateError(where(r) + "a version " + std::to_string(m.version()) + " meter has no area " + std::to_string(r.area));
        if (a->access == Access::ReadOnly)
            throw StateError(where(r) + "area " + std::to_string(r.area) + " holds statistics, which are not kept");
        if (r.index >= a->count)
            throw StateError(where(r) + what + ": the area has " + std::to_string(a->count) + " records");
        if (r.data.size() + 2 != a->size)
            throw StateError(where(r) + what + ": " + std::to_string(r.data.size()) + " bytes, the record has " +
                             std::to_string(a->size - 2) + " (without its seal)");
    }
    for (const auto& r : s.records) m.setRecord(r.area, r.index, r.data, true);
    if (s.meter) m.setMeterNumber(*s.meter);
    if (s.ident) m.setIdent(*s.ident);
    if (s.password) {
        std::vector<std::uint8_t> entry = {static_cast<std::uint8_t>(*s.password >> 8), static_cast<std::uint8_t>(*s.password)};
        m.setRecord(kAreaPasswords, 0, entry, true);
    }
    if (s.kopecks) m.setKopecks(*s.kopecks);
    if (s.clockOffsetMs) m.setClockOffsetMs(*s.clockOffsetMs);
    if (s.cardMode) m.setCardMode(*s.cardMode);
    if (s.contactor) m.setContactor(*s.contactor);
    if (s.channel1) m.setChannel(1, *s.channel1);
    if (s.channel2) m.setChannel(2, *s.channel2);
    if (s.currency) m.setCurrency(*s.currency);
}

StateData Emulator::captureState() const {
    std::lock_guard<std::mutex> l(mu_);
    const MeterModel& m = model_;
    StateData s;
    s.version = m.version();
    s.meter = m.meterNumber();
    s.ident = m.ident();
    s.password = m.password();
    s.kopecks = m.kopecks();
    s.clockOffsetMs = m.clockOffsetMs();
    s.cardMode = m.cardMode();
    s.contactor = m.contactor();
    s.channel1 = m.channel(1);
    s.channel2 = m.channel(2);
    s.currency = m.currency();
    for (const AreaSpec& a : m.layout()) {
        if (a.access == Access::ReadOnly) continue;
        for (std::uint16_t i = a.code == kAreaPasswords ? 1 : 0; i < a.count; ++i) {
            auto rec = m.record(a.code, i);
            rec.resize(rec.size() - 2);
            s.records.push_back({a.code, i, std::move(rec), 0});
        }
    }
    return s;
}

void Emulator::setAutosave(const std::string& path) {
    std::lock_guard<std::mutex> l(mu_);
    autosave_ = path;
}

bool Emulator::saveNow() {
    std::string path;
    {
        std::lock_guard<std::mutex> l(mu_);
        path = autosave_;
    }
    if (path.empty()) return true;
    std::lock_guard<std::mutex> s(saveMu_);  // both fronts may save
    std::string error;
    try {
        WriteStateFile(path, captureState());
    } catch (const StateError& e) {
        error = e.what();
    }
    std::lock_guard<std::mutex> l(mu_);
    saveError_ = error;
    return error.empty();
}

std::string Emulator::lastSaveError() const {
    std::lock_guard<std::mutex> l(mu_);
    return saveError_;
}

}  // namespace sim5x
