// ostrilon-cli: commands to a prepayment meter of versions 51..54 over a
// serial port, or as the TCP server the meter-side device connects to.
// Every command runs in a session of its own: end session, authorize, check
// the version, the command, end session.
//
// Exit codes: 0 every command succeeded, 1 a command or the connection
// failed, 2 wrong options.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/core/CallQueue.h"
#include "common/core/DateTime.h"
#include "common/core/Json.h"
#include "common/core/Wait.h"
#include "console/link/CounterCommunication.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = R"(usage: ostrilon-cli (--serial DEVICE [--baud N] | --listen PORT [--address ADDR] [--wait S])
                   --meter N --ident I [--json] COMMAND [ARGS] [COMMAND [ARGS] ...]

Talks to a prepayment meter of versions 51..54. Each command runs in a
session of its own (end session, authorization, version check 51..54, the
command, end session); the commands run in order and the first failure stops.

Connection:
  --serial DEVICE   serial port: a number n (the device /dev/ttyS<n-1>) or a
                    device path (/dev/ttyUSB0, an emulator's pseudo-terminal)
  --baud N          line speed, bit/s (default 1200)
  --listen PORT     act as the TCP server the meter side connects to (the
                    program's port is 144; ports below 1024 need privileges)
  --address ADDR    IPv4 address to listen on (default: all addresses)
  --wait S          seconds to wait for the meter side to connect (default 60,
                    0 = no limit)

Meter:
  --meter N         serial number of the meter (1..4294967295)
  --ident I         identifier of the meter (0..4294967295)

Output:
  --json            one JSON object per command on standard output
  --help            this text

Commands:
  datetime                      read the meter clock
  set-datetime [YYYY-MM-DDTHH:MM:SS]
                                set the meter clock (default: this computer's time)
  read-area CODE INDEX          read one area record (hex dump of its bytes);
                                CODE 0..255 and INDEX 0..65535, decimal or 0x...
  card-mode                     switch the meter to card mode
  contactor on|off|release      switch the contactor on or off, or release it
  range rubles|kopecks          keep money in rubles or in kopecks
  currency ABC                  set the three-character currency identifier
  channel 1|2 on|off            switch an extra output channel

Exit codes: 0 all commands succeeded, 1 a command or the connection failed,
2 wrong options.
)";

struct UsageError {
    std::string text;
};

// --- small helpers -----------------------------------------------------------

std::optional<unsigned long long> ParseNumber(const std::string& s, unsigned long long max) {
    if (s.empty()) return std::nullopt;
    int base = 10;
    std::string digits = s;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        digits = s.substr(2);
    }
    for (char c : digits)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return std::nullopt;
    errno = 0;
    const unsigned long long v = std::strtoull(digits.c_str(), nullptr, base);
    if (errno != 0 || v > max) return std::nullopt;
    return v;
}

unsigned long long NumberArg(const std::string& what, const std::string& s, unsigned long long min,
                             unsigned long long max) {
    const auto v = ParseNumber(s, max);
    if (!v || *v < min)
        throw UsageError{what + ": ожидается число от " + std::to_string(min) + " до " + std::to_string(max) +
                         ", получено \"" + s + "\""};
    return *v;
}

using common::JsonString;

std::string Hex(const std::uint8_t* data, int n, const char* separator) {
    std::string out;
    char buf[4];
    for (int i = 0; i < n; ++i) {
        if (i > 0) out += separator;
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        out += buf;
    }
    return out;
}

// --- commands ------------------------------------------------------------------

enum class Kind { DateTime, SetDateTime, ReadArea, CardMode, Contactor, Range, Currency, Channel };

struct Command {
    Kind kind;
    std::string name;
    std::vector<std::string> args;
    common::DateTime when;  // set-datetime with a given time
    std::uint8_t area = 0;
    std::uint16_t index = 0;
    console::ContactorKind contactor = console::ContactorKind::On;
    console::RangeKind range = console::RangeKind::Rubles;
    console::ExtraChannelKind channel = console::ExtraChannelKind::Channel1On;
};

std::string JsonArgs(const Command& c) {
    std::string out = "[";
    for (std::size_t i = 0; i < c.args.size(); ++i) out += (i ? "," : "") + JsonString(c.args[i]);
    return out + "]";
}

std::vector<Command> ParseCommands(const std::vector<std::string>& words) {
    std::vector<Command> out;
    std::size_t i = 0;
    auto need = [&](const std::string& name, std::size_t n) {
        if (i + n > words.size()) throw UsageError{name + ": не хватает аргументов"};
        std::vector<std::string> a(words.begin() + static_cast<long>(i), words.begin() + static_cast<long>(i + n));
        i += n;
        return a;
    };
    while (i < words.size()) {
        Command c{};
        c.name = words[i++];
        if (c.name == "datetime") {
            c.kind = Kind::DateTime;
        } else if (c.name == "set-datetime") {
            c.kind = Kind::SetDateTime;
            // The time is optional: a following word that looks like a date is it.
            if (i < words.size() && !words[i].empty() && std::isdigit(static_cast<unsigned char>(words[i][0]))) {
                const auto t = common::DateTime::fromIsoString(words[i]);
                if (!t) throw UsageError{"set-datetime: неверная дата и время \"" + words[i] + "\" (нужно YYYY-MM-DDTHH:MM:SS)"};
                if (t->year() < 2000 || t->year() > 2099)
                    throw UsageError{"set-datetime: часы счетчика хранят годы 2000..2099"};
                c.when = *t;
                c.args.push_back(words[i++]);
            }
        } else if (c.name == "read-area") {
            c.args = need(c.name, 2);
            c.kind = Kind::ReadArea;
            c.area = static_cast<std::uint8_t>(NumberArg("read-area CODE", c.args[0], 0, 255));
            c.index = static_cast<std::uint16_t>(NumberArg("read-area INDEX", c.args[1], 0, 65535));
        } else if (c.name == "card-mode") {
            c.kind = Kind::CardMode;
        } else if (c.name == "contactor") {
            c.args = need(c.name, 1);
            c.kind = Kind::Contactor;
            const std::string& a = c.args[0];
            if (a == "on") c.contactor = console::ContactorKind::On;
            else if (a == "off") c.contactor = console::ContactorKind::Off;
            else if (a == "release") c.contactor = console::ContactorKind::Release;
            else throw UsageError{"contactor: ожидается on, off или release, получено \"" + a + "\""};
        } else if (c.name == "range") {
            c.args = need(c.name, 1);
            c.kind = Kind::Range;
            const std::string& a = c.args[0];
            if (a == "rubles") c.range = console::RangeKind::Rubles;
            else if (a == "kopecks") c.range = console::RangeKind::Kopecks;
            else throw UsageError{"range: ожидается rubles или kopecks, получено \"" + a + "\""};
        } else if (c.name == "currency") {
            c.args = need(c.name, 1);
            c.kind = Kind::Currency;
            const std::string& a = c.args[0];
            bool printable = a.size() == 3;
            for (unsigned char ch : a) printable = printable && ch >= 0x20 && ch < 0x7F;
            if (!printable) throw UsageError{"currency: нужны ровно три латинских символа или цифры, получено \"" + a + "\""};
        } else if (c.name == "channel") {
            c.args = need(c.name, 2);
            c.kind = Kind::Channel;
            const std::string& n = c.args[0];
            const std::string& s = c.args[1];
            if ((n != "1" && n != "2") || (s != "on" && s != "off"))
                throw UsageError{"channel: ожидается 1|2 on|off, получено \"" + n + " " + s + "\""};
            const bool on = s == "on";
            c.channel = n == "1" ? (on ? console::ExtraChannelKind::Channel1On : console::ExtraChannelKind::Channel1Off)
                                 : (on ? console::ExtraChannelKind::Channel2On : console::ExtraChannelKind::Channel2Off);
        } else {
            throw UsageError{"неизвестная команда \"" + c.name + "\""};
        }
        out.push_back(std::move(c));
    }
    if (out.empty()) throw UsageError{"не задана команда"};
    return out;
}

// --- calls handed to the main thread ----------------------------------------------

// The TCP link fires its connected event on "the window's thread"; here that
// is the main thread, which runs queued calls whenever it waits (the event
// hook of the protocol layers runs them too).
using MainThreadCalls = common::CallQueue;

// --- running ---------------------------------------------------------------------

struct Options {
    std::string serial;
    int baud = 1200;
    std::optional<std::uint16_t> listenPort;
    std::string address;
    int waitSeconds = 60;
    std::optional<std::uint32_t> meter;
    std::optional<std::uint32_t> ident;
    bool json = false;
    std::vector<Command> commands;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    std::vector<std::string> words;
    auto value = [&](int& i, const std::string& name) -> std::string {
        if (i + 1 >= argc) throw UsageError{name + ": не задано значение"};
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") throw UsageError{};
        if (a == "--serial") o.serial = value(i, a);
        else if (a == "--baud") o.baud = static_cast<int>(NumberArg(a, value(i, a), 50, 4000000));
        else if (a == "--listen") o.listenPort = static_cast<std::uint16_t>(NumberArg(a, value(i, a), 1, 65535));
        else if (a == "--address") o.address = value(i, a);
        else if (a == "--wait") o.waitSeconds = static_cast<int>(NumberArg(a, value(i, a), 0, 86400));
        else if (a == "--meter") o.meter = static_cast<std::uint32_t>(NumberArg(a, value(i, a), 1, 0xFFFFFFFFull));
        else if (a == "--ident") o.ident = static_cast<std::uint32_t>(NumberArg(a, value(i, a), 0, 0xFFFFFFFFull));
        else if (a == "--json") o.json = true;
        else if (a.rfind("--", 0) == 0) throw UsageError{"неизвестный параметр " + a};
        else words.push_back(a);
    }
    if (o.serial.empty() == !o.listenPort) throw UsageError{"нужен ровно один из параметров --serial и --listen"};
    if (!o.address.empty() && !o.listenPort) throw UsageError{"--address относится к --listen"};
    if (!o.meter) throw UsageError{"не задан --meter (заводской номер счетчика)"};
    if (!o.ident) throw UsageError{"не задан --ident (идентификатор счетчика)"};
    o.commands = ParseCommands(words);
    return o;
}

class Runner {
public:
    Runner(const Options& o, console::TCounterCommunication& link) : o_(o), link_(link) {}

    // Runs the commands in order; false at the first failure.
    bool RunAll() {
        for (const auto& c : o_.commands)
            if (!Run(c)) return false;
        return true;
    }

    // A failure before any command could run (the connection).
    void ReportConnectionFailure(const std::string& text) {
        if (o_.json)
            std::cout << "{\"command\":" << JsonString(o_.commands.front().name) << ",\"args\":"
                      << JsonArgs(o_.commands.front()) << ",\"ok\":false,\"error\":" << JsonString(text) << "}"
                      << std::endl;
        std::cerr << "ostrilon-cli: " << text << std::endl;
    }

private:
    bool Run(const Command& c) {
        std::string result;     // text output
        std::string jsonExtra;  // JSON fields of the result
        std::string error;
        console::SessionOutcome outcome{};
        try {
            outcome = console::WithSession(link_, *o_.meter, *o_.ident, [&] { return Execute(c, result, jsonExtra); });
        } catch (const console::ComPortError& e) {
            return Fail(c, e.what());
        }
        switch (outcome) {
            case console::SessionOutcome::Done: break;
            case console::SessionOutcome::AuthorizationFailed: {
                char text[160];
                std::snprintf(text, sizeof text, "Ошибка подключения к счетчику зав.номер: %u; идентификатор: %u",
                              *o_.meter, *o_.ident);
                return Fail(c, text);
            }
            case console::SessionOutcome::UnsupportedVersion:
                return Fail(c, "Текущая версия счетчика [v." + std::to_string(link_.CounterVersion) +
                                   "] не поддерживается программой");
            case console::SessionOutcome::OperationFailed:
                return Fail(c, c.name + ": " + link_.LastFailureText());
        }
        if (o_.json) {
            std::cout << "{\"command\":" << JsonString(c.name) << ",\"args\":" << JsonArgs(c) << ",\"ok\":true,\"meter\":" << *o_.meter
                      << ",\"version\":" << static_cast<int>(link_.CounterVersion)
                      << ",\"money\":" << JsonString(link_.RublesMode ? "rubles" : "kopecks") << jsonExtra << "}"
                      << std::endl;
        } else {
            std::cout << result << std::flush;
        }
        return true;
    }

    bool Execute(const Command& c, std::string& text, std::string& json) {
        switch (c.kind) {
            case Kind::DateTime: {
                const auto t = link_.ReadDateTime();
                if (t.isEmpty()) return false;
                text = "datetime: " + t.toIsoString() + "\n";
                json = ",\"datetime\":" + JsonString(t.toIsoString());
                return true;
            }
            case Kind::SetDateTime: {
                const auto t = c.when.isEmpty() ? common::DateTime::now() : c.when;
                const auto whole = common::DateTime::makeOrEmpty(t.year(), t.month(), t.day(), t.hour(), t.minute(), t.second());
                if (!link_.WriteDateTime(whole)) return false;
                text = "set-datetime: " + whole.toIsoString() + "\n";
                json = ",\"datetime\":" + JsonString(whole.toIsoString());
                return true;
            }
            case Kind::ReadArea: {
                if (!link_.ReadArea(c.area, c.index)) return false;
                const int n = link_.AreaDataLength;
                const std::uint8_t* d = link_.AreaData.data();
                std::ostringstream dump;
                dump << "read-area " << static_cast<int>(c.area) << " " << c.index << ": " << n << " bytes\n";
                for (int off = 0; off < n; off += 16) {
                    char addr[16];
                    std::snprintf(addr, sizeof addr, "%04X:", off);
                    dump << addr << ' ' << Hex(d + off, std::min(16, n - off), " ") << "\n";
                }
                text = dump.str();
                json = ",\"area\":" + std::to_string(c.area) + ",\"index\":" + std::to_string(c.index) +
                       ",\"length\":" + std::to_string(n) + ",\"data\":" + JsonString(Hex(d, n, ""));
                return true;
            }
            case Kind::CardMode: return Done(c, link_.SetCardMode(), text);
            case Kind::Contactor: return Done(c, link_.ContactorCommand(c.contactor), text);
            case Kind::Range: return Done(c, link_.SetRangeMode(c.range), text);
            case Kind::Currency: return Done(c, link_.SetCurrency(c.args[0]), text);
            case Kind::Channel: return Done(c, link_.ExtraChannelCommand(c.channel), text);
        }
        return false;
    }

    static bool Done(const Command& c, bool ok, std::string& text) {
        std::string line = c.name;
        for (const auto& a : c.args) line += " " + a;
        text = line + ": ok\n";
        return ok;
    }

    bool Fail(const Command& c, const std::string& text) {
        if (o_.json)
            std::cout << "{\"command\":" << JsonString(c.name) << ",\"args\":" << JsonArgs(c)
                      << ",\"ok\":false,\"error\":" << JsonString(text) << "}" << std::endl;
        std::cerr << "ostrilon-cli: " << text << std::endl;
        return false;
    }

    const Options& o_;
    console::TCounterCommunication& link_;
};

int RunSerial(const Options& o) {
    console::TRS232Communication link;
    Runner runner(o, link);
    bool opened;
    const bool isNumber = o.serial.find_first_not_of("0123456789") == std::string::npos;
    if (isNumber) {
        const auto n = ParseNumber(o.serial, 255);
        if (!n || *n == 0) throw UsageError{"--serial: номер порта 1..255 или путь к устройству"};
        opened = link.Connect(static_cast<std::uint8_t>(*n), o.baud);
    } else {
        opened = link.Connect(o.serial, o.baud);
    }
    if (!opened) {
        runner.ReportConnectionFailure("не удалось открыть порт " + link.SerialPort.DevicePath() + ": " +
                                       link.SerialPort.OpenError());
        return kExitFailed;
    }
    const bool ok = runner.RunAll();
    link.Disconnect();
    return ok ? kExitOk : kExitFailed;
}

// Installs the event hook for the life of the server run.
struct EventHook {
    explicit EventHook(std::function<void()> hook) { common::SetProcessEventsHook(std::move(hook)); }
    ~EventHook() { common::SetProcessEventsHook({}); }
    EventHook(const EventHook&) = delete;
    EventHook& operator=(const EventHook&) = delete;
};

int RunServer(const Options& o) {
    MainThreadCalls calls;
    const EventHook hook([&calls] { calls.RunPending(); });
    console::TTCPIPCommunication link([&calls](std::function<void()> f) { calls.Call(std::move(f)); });
    Runner runner(o, link);
    bool connected = false;
    link.OnConnected = [&connected](console::TCounterCommunication&, bool& flag) { connected = flag; };
    if (!link.StartListening(*o.listenPort, o.address)) {
        runner.ReportConnectionFailure(link.LastError());
        return kExitFailed;
    }
    std::cerr << "ostrilon-cli: ожидаю подключения на порту " << link.ListeningPort() << std::endl;
    std::optional<common::Clock::time_point> deadline;
    if (o.waitSeconds > 0) deadline = common::DeadlineAfter(static_cast<long long>(o.waitSeconds) * 1000);
    int result;
    if (!calls.RunUntil([&] { return connected; }, deadline)) {
        runner.ReportConnectionFailure("за " + std::to_string(o.waitSeconds) + " с никто не подключился");
        result = kExitFailed;
    } else {
        result = runner.RunAll() ? kExitOk : kExitFailed;
    }
    link.StopListening();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        if (e.text.empty()) {
            std::cout << kUsage;
            return kExitOk;
        }
        std::cerr << "ostrilon-cli: " << e.text << "\n(ostrilon-cli --help: all options and commands)\n";
        return kExitUsage;
    }
    try {
        return o.listenPort ? RunServer(o) : RunSerial(o);
    } catch (const UsageError& e) {
        std::cerr << "ostrilon-cli: " << e.text << "\n";
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "ostrilon-cli: " << e.what() << "\n";
        return kExitFailed;
    }
}
