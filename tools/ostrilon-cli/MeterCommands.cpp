// The commands of the meter's clock, its areas and its one-byte commands.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "Cli.h"

namespace ostrilon_cli {

namespace {

using console::TCounterCommunication;

void BindDateTime(Words&, Call& call) {
    call.run = [](TCounterCommunication& meter, Result& r) {
        const auto t = meter.ReadDateTime();
        if (t.isEmpty()) return false;
        r.text = "datetime: " + t.toIsoString() + "\n";
        r.fields["datetime"] = t.toIsoString();
        return true;
    };
}

void BindSetDateTime(Words& words, Call& call) {
    common::DateTime when;  // empty: this computer's time when it runs
    // The time is optional: a following word that looks like a date is it.
    if (const std::string* next = words.Peek(); next && !next->empty() && std::isdigit(static_cast<unsigned char>((*next)[0]))) {
        const auto t = common::DateTime::fromIsoString(*next);
        if (!t) throw UsageError{"set-datetime: неверная дата и время \"" + *next + "\" (нужно YYYY-MM-DDTHH:MM:SS)"};
        if (t->year() < 2000 || t->year() > 2099) throw UsageError{"set-datetime: часы счетчика хранят годы 2000..2099"};
        when = *t;
        call.args.push_back(words.Next());
    }
    call.run = [when](TCounterCommunication& meter, Result& r) {
        const auto t = when.isEmpty() ? common::DateTime::now() : when;
        const auto whole = common::DateTime::makeOrEmpty(t.year(), t.month(), t.day(), t.hour(), t.minute(), t.second());
        if (!meter.WriteDateTime(whole)) return false;
        r.text = "set-datetime: " + whole.toIsoString() + "\n";
        r.fields["datetime"] = whole.toIsoString();
        return true;
    };
}

void BindReadArea(Words& words, Call& call) {
    call.args = words.Take(call.name, 2);
    const auto area = static_cast<std::uint8_t>(NumberArg("read-area CODE", call.args[0], 0, 255));
    const auto index = static_cast<std::uint16_t>(NumberArg("read-area INDEX", call.args[1], 0, 65535));
    call.run = [area, index](TCounterCommunication& meter, Result& r) {
        if (!meter.ReadArea(area, index)) return false;
        const int n = meter.AreaDataLength;
        const std::uint8_t* d = meter.AreaData.data();
        std::ostringstream dump;
        dump << "read-area " << static_cast<int>(area) << " " << index << ": " << n << " bytes\n";
        for (int off = 0; off < n; off += 16) {
            char addr[16];
            std::snprintf(addr, sizeof addr, "%04X:", off);
            dump << addr << ' ' << Hex(d + off, std::min(16, n - off), " ") << "\n";
        }
        r.text = dump.str();
        r.fields["area"] = area;
        r.fields["index"] = index;
        r.fields["length"] = n;
        r.fields["data"] = Hex(d, n, "");
        return true;
    };
}

// A command that only has to succeed, with what it sends fixed when parsed.
template <class Send>
void Confirmed(Call& call, Send send) {
    call.run = [send, call](TCounterCommunication& meter, Result& r) { return Confirm(call, send(meter), r); };
}

void BindCardMode(Words&, Call& call) {
    Confirmed(call, [](TCounterCommunication& m) { return m.SetCardMode(); });
}

void BindContactor(Words& words, Call& call) {
    call.args = words.Take(call.name, 1);
    using K = console::ContactorKind;
    const K kind = Choice<K>(call.name, call.args[0], {{"on", K::On}, {"off", K::Off}, {"release", K::Release}});
    Confirmed(call, [kind](TCounterCommunication& m) { return m.ContactorCommand(kind); });
}

void BindRange(Words& words, Call& call) {
    call.args = words.Take(call.name, 1);
    using K = console::RangeKind;
    const K kind = Choice<K>(call.name, call.args[0], {{"rubles", K::Rubles}, {"kopecks", K::Kopecks}});
    Confirmed(call, [kind](TCounterCommunication& m) { return m.SetRangeMode(kind); });
}

void BindCurrency(Words& words, Call& call) {
    call.args = words.Take(call.name, 1);
    const std::string code = call.args[0];
    const bool printable = code.size() == 3 && std::all_of(code.begin(), code.end(), [](unsigned char c) {
                               return c >= 0x20 && c < 0x7F;
                           });
    if (!printable) throw UsageError{"currency: нужны ровно три латинских символа или цифры, получено \"" + code + "\""};
    Confirmed(call, [code](TCounterCommunication& m) { return m.SetCurrency(code); });
}

void BindChannel(Words& words, Call& call) {
    call.args = words.Take(call.name, 2);
    const std::string& n = call.args[0];
    const std::string& s = call.args[1];
    if ((n != "1" && n != "2") || (s != "on" && s != "off"))
        throw UsageError{"channel: ожидается 1|2 on|off, получено \"" + n + " " + s + "\""};
    using K = console::ExtraChannelKind;
    const bool on = s == "on";
    const K kind = n == "1" ? (on ? K::Channel1On : K::Channel1Off) : (on ? K::Channel2On : K::Channel2Off);
    Confirmed(call, [kind](TCounterCommunication& m) { return m.ExtraChannelCommand(kind); });
}

constexpr CommandEntry kCommands[] = {
    {"datetime", "", "read the meter clock", BindDateTime},
    {"set-datetime", "[YYYY-MM-DDTHH:MM:SS]", "set the meter clock (default: this computer's time)", BindSetDateTime},
    {"read-area", "CODE INDEX",
     "read one area record (hex dump of its bytes);\nCODE 0..255 and INDEX 0..65535, decimal or 0x...", BindReadArea},
    {"card-mode", "", "switch the meter to card mode", BindCardMode},
    {"contactor", "on|off|release", "switch the contactor on or off, or release it", BindContactor},
    {"range", "rubles|kopecks", "keep money in rubles or in kopecks", BindRange},
    {"currency", "ABC", "set the three-character currency identifier", BindCurrency},
    {"channel", "1|2 on|off", "switch an extra output channel", BindChannel},
};

}  // namespace

std::span<const CommandEntry> MeterCommands() { return kCommands; }

}  // namespace ostrilon_cli
