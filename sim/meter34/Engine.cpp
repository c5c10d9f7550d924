#include "sim/meter34/Engine.h"

#include <algorithm>

#include "meter34/CRCUtils.h"
#include "meter34/MeterFrames.h"

namespace sim34 {

using common::DateTime;

namespace {

constexpr std::size_t kMaxLogEntries = 20000;
constexpr std::size_t kMaxRawIn = 1 << 20;
// A half-received frame is forgotten after this much silence.
constexpr auto kIdleReset = std::chrono::milliseconds(1000);

bool IsStars(const Bytes& b) { return b.size() == 5 && std::all_of(b.begin(), b.end(), [](std::uint8_t c) { return c == '*'; }); }

Bytes TextBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace

Engine::Engine(const Config& config) : front_(config.front), trace_(config.trace) {
    faults = config.faults;
    if (config.modem) modem_.emplace(config.modemGuardMs);
    if (config.controller) controller_.emplace(config.controllerPassword);

    const DateTime now = DateTime::now();
    MeterState s = DefaultMeterState(config.meterNumber, config.version, now);
    s.keyA = config.keyA;
    s.keyB = config.keyB;
    s.password = {config.password1, config.password2};
    meters_.push_back(std::make_unique<MeterModel>(std::move(s)));

    slots_ = config.plcSlots;
    if (slots_.empty()) slots_.push_back(PlcSlot{true, 300, 0});
    for (auto& slot : slots_) {
        MeterModel* m = nullptr;
        if (slot.registered) {
            const std::uint32_t number = slot.meterNumber == 0 ? config.meterNumber : slot.meterNumber;
            m = meter(number);
            if (m == nullptr) {
                meters_.push_back(std::make_unique<MeterModel>(DefaultMeterState(number, config.version, now)));
                m = meters_.back().get();
            }
        }
        slotMeters_.push_back(m);
    }
    for (auto& m : meters_) m->calibrationMs = config.calibrationMs;
}

MeterModel* Engine::meter(std::uint32_t number) {
    for (auto& m : meters_)
        if (m->state().number == number) return m.get();
    return nullptr;
}

Counters Engine::counters() const {
    Counters c = counters_;
    for (const auto& m : meters_) {
        c.sessionsOpened += m->sessionsOpened;
        c.authFailures += m->authFailures;
    }
    if (modem_) c.modemCalls = modem_->calls();
    if (controller_) c.controllerLogins = controller_->logins();
    return c;
}

bool Engine::takeStateChanged() {
    for (auto& m : meters_)
        if (m->takeDirty()) stateChanged_ = true;
    const bool c = stateChanged_;
    stateChanged_ = false;
    return c;
}

void Engine::record(LogEntry e) {
    if (trace_) trace_(e);
    log_.push_back(std::move(e));
    if (log_.size() > kMaxLogEntries) log_.pop_front();
}

void Engine::ignore(const Bytes& raw, LogEntry::Kind kind, const std::string& why) {
    ++counters_.ignored;
    record(LogEntry{LogEntry::Dir::In, kind, raw, "not answered: " + why});
}

void Engine::emit(std::vector<Action>& out, Action::Kind kind, Bytes bytes, LogEntry::Kind logKind, const std::string& note) {
    record(LogEntry{LogEntry::Dir::Out, logKind, bytes, note});
    counters_.bytesOut += bytes.size();
    out.push_back(Action{kind, std::move(bytes), 0});
}

void Engine::connected() {
    if (modem_) modem_->reset();
    if (controller_) controller_->reset();
    direct_.reset();
    rf_.reset();
    plc_.reset();
}

void Engine::feed(const std::uint8_t* data, std::size_t n, Clock::time_point now, const DateTime& hostNow,
                  std::vector<Action>& out) {
    hostNow_ = hostNow;
    if (n > 0 && now - lastByte_ >= kIdleReset) {
        direct_.reset();
        rf_.reset();
        plc_.reset();
    }
    if (n > 0) lastByte_ = now;
    counters_.bytesIn += n;
    if (rawIn_.size() + n > kMaxRawIn) rawIn_.erase(rawIn_.begin(), rawIn_.begin() + static_cast<std::ptrdiff_t>(std::min(rawIn_.size(), n)));
    rawIn_.insert(rawIn_.end(), data, data + n);
    for (std::size_t i = 0; i < n; ++i) lineByte(data[i], now, out);
}

void Engine::lineByte(std::uint8_t b, Clock::time_point now, std::vector<Action>& out) {
    if (!modem_) {
        controllerByte(b, now, out);
        return;
    }
    modemData_.clear();
    answer_.clear();
    lines_.clear();
    modem_->push(b, now, modemData_, answer_, lines_);
    for (const auto& l : lines_) record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Modem, TextBytes(l), {}});
    if (!answer_.empty()) emit(out, Action::Write, answer_, LogEntry::Kind::Modem);
    for (std::uint8_t c : modemData_) controllerByte(c, now, out);
}

void Engine::controllerByte(std::uint8_t b, Clock::time_point now, std::vector<Action>& out) {
    if (!controller_) {
        frontByte(b, out);
        return;
    }
    controllerData_.clear();
    answer_.clear();
    lines_.clear();
    controller_->push(b, now, controllerData_, answer_, lines_);
    for (const auto& l : lines_) record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Controller, TextBytes(l), {}});
    if (!answer_.empty()) emit(out, Action::Write, answer_, LogEntry::Kind::Controller);
    for (std::uint8_t d : controllerData_) frontByte(d, out);
}

void Engine::tick(Clock::time_point now, std::vector<Action>& out) {
    if (modem_) {
        Bytes answer;
        modem_->tick(now, answer);
        if (!answer.empty()) {
            record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Modem, TextBytes("+++"), {}});
            emit(out, Action::Write, std::move(answer), LogEntry::Kind::Modem);
        }
    }
    if (controller_) {
        Bytes data;
        controller_->tick(now, data);
        for (std::uint8_t d : data) frontByte(d, out);
    }
}

std::optional<Clock::time_point> Engine::nextTimer() const {
    std::optional<Clock::time_point> t;
    if (modem_) t = modem_->nextTimer();
    if (controller_) {
        const auto c = controller_->nextTimer();
        if (c && (!t || *c < *t)) t = c;
    }
    return t;
}

void Engine::dropCarrier(std::vector<Action>& out) {
    if (modem_) {
        Bytes answer;
        modem_->carrierLost(answer);
        emit(out, Action::Write, std::move(answer), LogEntry::Kind::Modem, "carrier lost");
    } else {
        emit(out, Action::Hangup, TextBytes("\r\nNO CARRIER\r\n"), LogEntry::Kind::Event, "carrier lost");
    }
    if (controller_) controller_->reset();
}

void Engine::frontByte(std::uint8_t b, std::vector<Action>& out) {
    switch (front_) {
        case Front::Direct:
            switch (direct_.push(b)) {
                case DirectParser::Frame:
                    directFrame(out);
                    break;
                case DirectParser::Stars:
                    for (auto& m : meters_) {
                        if (m->transparent()) {
                            m->setTransparent(false);
                            record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Event, TextBytes("*****"),
                                            "meter " + std::to_string(m->state().number) + " leaves transparent mode"});
                        }
                    }
                    break;
                case DirectParser::None:
                    break;
            }
            break;
        case Front::RF:
            if (rf_.push(b) == RFParser::Envelope) rfEnvelope(out);
            break;
        case Front::PLC:
            if (plc_.push(b) == PLCParser::Frame) plcFrame(out);
            break;
    }
}

bool Engine::silenced(const Bytes& raw, LogEntry::Kind kind) {
    if (faults.silence <= 0) return false;
    --faults.silence;
    ++counters_.silenced;
    record(LogEntry{LogEntry::Dir::In, kind, raw, "fault: silence"});
    return true;
}

void Engine::directFrame(std::vector<Action>& out) {
    const Bytes& raw = direct_.raw();
    MeterFrame f;
    switch (ParseMeterFrame(direct_.frame().data(), direct_.frame().size(), f)) {
        case FrameCheck::Malformed:
            ignore(raw, LogEntry::Kind::Request, "malformed frame");
            return;
        case FrameCheck::BadCheck:
            ignore(raw, LogEntry::Kind::Request, "bad check code");
            return;
        case FrameCheck::Ok:
            break;
    }
    if (f.reply) {
        ignore(raw, LogEntry::Kind::Request, "a reply, not a request");
        return;
    }
    MeterModel* m = f.number == 0 ? &main() : meter(f.number);
    if (m == nullptr) {
        ignore(raw, LogEntry::Kind::Request, "no meter " + std::to_string(f.number));
        return;
    }
    if (silenced(raw, LogEntry::Kind::Request)) return;
    record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Request, raw, {}});
    respond(*m, f, [](const Bytes& stuffed) { return stuffed; }, out);
}

void Engine::carried(MeterModel& m, const Bytes& stuffed, const Bytes& raw, const Wrap& wrap, std::vector<Action>& out) {
    if (IsStars(stuffed)) {
        record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Request, raw,
                        m.transparent() ? "meter leaves transparent mode" : "\"*****\" outside transparent mode"});
        m.setTransparent(false);
        return;
    }
    std::uint8_t buf[meter34::kFrameBufferSize];
    if (stuffed.empty() || stuffed.size() > sizeof buf) {
        ignore(raw, LogEntry::Kind::Request, "no meter frame inside");
        return;
    }
    std::copy(stuffed.begin(), stuffed.end(), buf);
    int length = static_cast<int>(stuffed.size());
    meter34::UnstuffFrame(buf, length);
    MeterFrame f;
    const FrameCheck check = ParseMeterFrame(buf, static_cast<std::size_t>(length), f);
    if (check != FrameCheck::Ok) {
        ignore(raw, LogEntry::Kind::Request, check == FrameCheck::BadCheck ? "bad check code" : "malformed frame");
        return;
    }
    if (f.reply) {
        ignore(raw, LogEntry::Kind::Request, "a reply, not a request");
        return;
    }
    if (f.number != 0 && f.number != m.state().number) {
        ignore(raw, LogEntry::Kind::Request, "frame for meter " + std::to_string(f.number));
        return;
    }
    if (silenced(raw, LogEntry::Kind::Request)) return;
    record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Request, raw, {}});
    respond(m, f, wrap, out);
}

void Engine::rfEnvelope(std::vector<Action>& out) {
    const Bytes& raw = rf_.raw();
    if (rf_.badCheck()) {
        ignore(raw, LogEntry::Kind::Request, "bad route envelope check");
        return;
    }
    // The route ends with the radio address of the meter: its number's low 16 bits.
    const std::vector<std::uint16_t> route = rf_.route();
    MeterModel* m = nullptr;
    for (auto& candidate : meters_)
        if ((candidate->state().number & 0xFFFF) == route.back()) {
            m = candidate.get();
            break;
        }
    if (m == nullptr) {
        ignore(raw, LogEntry::Kind::Request, "no meter at radio address " + std::to_string(route.back()));
        return;
    }
    carried(*m, rf_.carried(), raw, [route](const Bytes& stuffed) { return BuildRFReply(route, stuffed); }, out);
}

void Engine::plcFrame(std::vector<Action>& out) {
    const Bytes f = plc_.frame();
    if (f.size() < 5) {
        ignore(f, LogEntry::Kind::Query, "station frame without a function");
        return;
    }
    const std::uint8_t letter = f[4];
    const std::size_t k = f[1];
    if (letter == 0x60) {
        if (k < 13) {
            ignore(f, LogEntry::Kind::Request, "short station frame");
            return;
        }
        const std::uint16_t dest = static_cast<std::uint16_t>(f[14] | (f[15] << 8));
        MeterModel* m = nullptr;
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].registered && slots_[i].modemId == dest) m = slotMeters_[i];
        if (m == nullptr) {
            ignore(f, LogEntry::Kind::Request, "no modem " + std::to_string(dest) + " in the station");
            return;
        }
        const Bytes stuffed(f.begin() + 16, f.begin() + static_cast<std::ptrdiff_t>(k + 3));
        carried(*m, stuffed, f, [dest](const Bytes& s) { return BuildPLCMeterReply(dest, s); }, out);
        return;
    }
    if (letter != 0x65 && letter != 0x69) {
        ignore(f, LogEntry::Kind::Query, "unknown station function");
        return;
    }
    if (silenced(f, LogEntry::Kind::Query)) return;
    record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Query, f, {}});
    ++counters_.plcQueries;
    Bytes answer;
    if (letter == 0x65) {
        answer = BuildPLCModemCountAnswer(static_cast<std::uint16_t>(slots_.size()));
    } else {
        if (k < 5) {
            ignore(f, LogEntry::Kind::Query, "short node query");
            return;
        }
        const std::size_t index = static_cast<std::size_t>(f[6] | (f[7] << 8));
        std::uint8_t rec[21] = {};
        if (index < slots_.size()) {
            const PlcSlot& s = slots_[index];
            rec[0] = static_cast<std::uint8_t>(s.modemId);
            rec[1] = static_cast<std::uint8_t>(s.modemId >> 8);
            if (s.registered && slotMeters_[index] != nullptr) {
                // Modem address, signal level and hops: shown by no program, but plausible.
                const std::uint32_t number = slotMeters_[index]->state().number;
                rec[2] = 0x02;
                rec[3] = 0x11;
                for (int i = 0; i < 4; ++i) rec[4 + i] = static_cast<std::uint8_t>(number >> (8 * i));
                rec[8] = static_cast<std::uint8_t>(0x48 + index % 16);
                rec[9] = 1;
                rec[20] = 1;
            }
        }
        answer = BuildPLCNodeAnswer(rec);
    }
    std::string note;
    if (faults.badCheck > 0) {
        --faults.badCheck;
        answer.back() ^= 0x5A;
        note = "fault: bad check";
    }
    emit(out, Action::Reply, std::move(answer), LogEntry::Kind::Answer, note);
}

void Engine::respond(MeterModel& m, const MeterFrame& f, const Wrap& wrap, std::vector<Action>& out) {
    ++counters_.requests;
    MeterRequest req{f.type, f.enciphered, f.payload};
    const auto reply = m.handle(req, hostNow_, faults.forcedResults.empty() ? nullptr : &faults.forcedResults);
    if (!reply) {
        ++counters_.ignored;
        record(LogEntry{LogEntry::Dir::In, LogEntry::Kind::Event, {}, "meter in transparent mode: no answer"});
        return;
    }
    Bytes payload = reply->payload;
    payload.push_back(meter34::Sum8(payload.data(), payload.size()));
    if (reply->encipher && payload.size() > 1) meter34::Cipher(payload.data() + 1, payload.size() - 1, reply->key);

    ReplyShape shape{m.state().number, m.state().version, f.packet, f.type, false};
    std::string note;
    if (faults.staleReply > 0) {
        --faults.staleReply;
        ReplyShape stale = shape;
        stale.packet = static_cast<std::uint8_t>((f.packet + 15) & 0x0F);
        emit(out, Action::Reply, wrap(BuildReplyFrame(stale, reply->encipher, payload)), LogEntry::Kind::Reply,
             "fault: stale reply");
    }
    if (faults.badCheck > 0) {
        --faults.badCheck;
        shape.corruptCheck = true;
        note = "fault: bad check";
    }
    if (faults.wrongPacket > 0) {
        --faults.wrongPacket;
        shape.packet = static_cast<std::uint8_t>((f.packet + 1) & 0x0F);
        note = "fault: wrong packet";
    }
    if (faults.otherMeter > 0) {
        --faults.otherMeter;
        shape.number = shape.number == 0xFFFFFFFFU ? shape.number - 1 : shape.number + 1;
        note = "fault: other meter";
    }
    if (reply->busyMs > 0) out.push_back(Action{Action::Busy, {}, reply->busyMs});
    Bytes wire = wrap(BuildReplyFrame(shape, reply->encipher, payload));
    if (wire.empty()) {
        record(LogEntry{LogEntry::Dir::Out, LogEntry::Kind::Event, {}, "reply too long for the envelope"});
        return;
    }
    emit(out, Action::Reply, std::move(wire), LogEntry::Kind::Reply, note);
    ++counters_.replies;
    if (faults.carrierLossAfter > 0 && --faults.carrierLossAfter == 0) dropCarrier(out);
}

}  // namespace sim34
