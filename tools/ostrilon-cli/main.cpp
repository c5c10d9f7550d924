// ostrilon-cli: commands to a prepayment meter of versions 51..54 over a
// serial port, or as the TCP server the meter-side device connects to.
// Every command runs in a session of its own: end session, authorize, check
// the version, the command, end session.
//
// Exit codes: 0 every command succeeded, 1 a command or the connection
// failed, 2 wrong options.

#include <arpa/inet.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Cli.h"
#include "common/core/CallQueue.h"
#include "common/core/FormatSettings.h"
#include "common/core/Wait.h"
#include "console/core/Session.h"
#include "console/link/COMPort.h"
#include "console/link/RS232Communication.h"
#include "console/link/TCPIPCommunication.h"

namespace {

using namespace ostrilon_cli;

const char kUsageHead[] = R"(usage: ostrilon-cli (--serial DEVICE [--baud N] | --listen PORT [--address ADDR] [--wait S])
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
)";

const char kUsageTail[] = R"(
Exit codes: 0 all commands succeeded, 1 a command or the connection failed,
2 wrong options.
)";

// --- options ---------------------------------------------------------------------

struct Options {
    std::string serial;
    int baud = 1200;
    std::optional<std::uint16_t> listenPort;
    std::string address;
    int waitSeconds = 60;
    std::uint32_t meter = 0;
    std::uint32_t ident = 0;
    bool json = false;
    std::vector<Call> calls;
};

// Options and words in any order; values are checked here so that every
// complaint says which option and what it wants.
Options ParseOptions(int argc, char** argv) {
    CLI::App app("ostrilon-cli", "ostrilon-cli");
    app.set_help_flag("-h,--help");
    app.allow_extras();  // unknown options are reported below, in this tool's words
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    std::string serial, baud, listen, address, wait, meter, ident;
    std::vector<std::string> words;
    Options o;
    app.add_option("--serial", serial);
    app.add_option("--baud", baud);
    app.add_option("--listen", listen);
    app.add_option("--address", address);
    app.add_option("--wait", wait);
    app.add_option("--meter", meter);
    app.add_option("--ident", ident);
    app.add_flag("--json", o.json);
    app.add_option("words", words);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        throw UsageError{};
    } catch (const CLI::ArgumentMismatch& e) {
        // "--serial: 1 required TEXT missing": an option at the end without its value.
        const std::string text = e.what();
        throw UsageError{text.substr(0, text.find(':')) + ": не задано значение"};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
    if (!app.remaining().empty()) throw UsageError{"неизвестный параметр " + app.remaining().front()};
    auto given = [&app](const char* name) { return app.count(name) > 0; };

    o.serial = serial;
    if (given("--baud")) o.baud = static_cast<int>(NumberArg("--baud", baud, 50, 4000000));
    if (given("--listen")) o.listenPort = static_cast<std::uint16_t>(NumberArg("--listen", listen, 1, 65535));
    if (given("--wait")) o.waitSeconds = static_cast<int>(NumberArg("--wait", wait, 0, 86400));
    if (given("--serial") == given("--listen")) throw UsageError{"нужен ровно один из параметров --serial и --listen"};
    if (given("--address")) {
        if (!o.listenPort) throw UsageError{"--address относится к --listen"};
        in_addr a{};
        if (::inet_pton(AF_INET, address.c_str(), &a) != 1)
            throw UsageError{"--address: ожидается IPv4-адрес вида 192.168.0.10, получено \"" + address + "\""};
        o.address = address;
    }
    if (!given("--meter")) throw UsageError{"не задан --meter (заводской номер счетчика)"};
    o.meter = static_cast<std::uint32_t>(NumberArg("--meter", meter, 1, 0xFFFFFFFFull));
    if (!given("--ident")) throw UsageError{"не задан --ident (идентификатор счетчика)"};
    o.ident = static_cast<std::uint32_t>(NumberArg("--ident", ident, 0, 0xFFFFFFFFull));
    o.calls = ParseCommands(words);
    return o;
}

// --- running -------------------------------------------------------------------------

// What one command in its session came to.
struct Outcome {
    bool ok = false;
    std::string error;
    Result result;
    // No valid frame came from the line at all (not even to the
    // authorization): over TCP the client may not be the meter side.
    bool unanswered = false;
};

class Runner {
public:
    Runner(const Options& o, console::TCounterCommunication& link) : o_(o), link_(link) {}

    // Runs the commands from first on, in order, printing each; false at the
    // first failure.
    bool RunFrom(std::size_t first) {
        for (std::size_t i = first; i < o_.calls.size(); ++i) {
            const Outcome out = Run(o_.calls[i]);
            Print(o_.calls[i], out);
            if (!out.ok) return false;
        }
        return true;
    }

    // One command in a session of its own, not printed.
    Outcome Run(const Call& c) {
        Outcome out;
        console::core::SessionOutcome session{};
        try {
            // Nobody watches the steps of a run from the command line.
            console::core::OperationContext ctx(link_, common::NoHooks(), common::Formats());
            session = console::core::WithSession(link_, o_.meter, o_.ident, [&] { return c.run(ctx, out.result); });
        } catch (const console::ComPortError& e) {
            out.error = e.what();
            return out;
        }
        using console::core::SessionOutcome;
        switch (session) {
            case SessionOutcome::Done: out.ok = true; break;
            case SessionOutcome::AuthorizationFailed:
                // The fixed text reads as a wrong number or identifier; the cause says what really happened.
                out.error = console::core::SessionFailureText(session, o_.meter, o_.ident, link_) + ": " +
                            link_.LastFailureText();
                out.unanswered = link_.LastReplyCode < 0;
                break;
            case SessionOutcome::UnsupportedVersion:
                out.error = console::core::SessionFailureText(session, o_.meter, o_.ident, link_);
                break;
            case SessionOutcome::OperationFailed: out.error = c.name + ": " + link_.LastFailureText(); break;
        }
        return out;
    }

    void Print(const Call& c, const Outcome& out) const {
        if (!out.ok) {
            ReportFailure(c, out.error);
            return;
        }
        if (!o_.json) {
            std::cout << out.result.text << std::flush;
            return;
        }
        Json line = Head(c);
        line["ok"] = true;
        line["meter"] = o_.meter;
        line["version"] = link_.CounterVersion;
        line["money"] = link_.RublesMode ? "rubles" : "kopecks";
        for (const auto& [key, value] : out.result.fields.items()) line[key] = value;
        Emit(line);
    }

    // A failure of c, or before it could run (the connection).
    void ReportFailure(const Call& c, const std::string& text) const {
        if (o_.json) {
            Json line = Head(c);
            line["ok"] = false;
            line["error"] = text;
            Emit(line);
        }
        std::cerr << "ostrilon-cli: " << text << std::endl;
    }

private:
    static Json Head(const Call& c) {
        Json line = Json::object();
        line["command"] = c.name;
        line["args"] = c.args;
        return line;
    }
    static void Emit(const Json& line) {
        // Device paths and the like need not be valid UTF-8.
        std::cout << line.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
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
        runner.ReportFailure(o.calls.front(), "не удалось открыть порт " + link.SerialPort.DevicePath() + ": " +
                                                  link.SerialPort.OpenError());
        return kExitFailed;
    }
    const bool ok = runner.RunFrom(0);
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
    // The TCP link fires its connected event on "the window's thread"; here
    // that is the main thread, which runs queued calls whenever it waits.
    common::CallQueue calls;
    const EventHook hook([&calls] { calls.RunPending(); });
    console::TTCPIPCommunication link([&calls](std::function<void()> f) { calls.Call(std::move(f)); });
    Runner runner(o, link);
    int connections = 0;
    link.OnConnected = [&connections](console::TCounterCommunication&, bool& flag) {
        if (flag) ++connections;
    };
    if (!link.StartListening(*o.listenPort, o.address)) {
        runner.ReportFailure(o.calls.front(), link.LastError());
        return kExitFailed;
    }
    std::cerr << "ostrilon-cli: ожидаю подключения на порту " << link.ListeningPort() << std::endl;
    std::optional<common::Clock::time_point> deadline;
    if (o.waitSeconds > 0) deadline = common::DeadlineAfter(static_cast<long long>(o.waitSeconds) * 1000);
    const Call& first = o.calls.front();
    std::string strayCause;  // why the last client was not taken for the meter side
    int seen = 0;
    int result = kExitFailed;
    for (;;) {
        if (!calls.RunUntil([&] { return connections > seen; }, deadline)) {
            const std::string within = "за " + std::to_string(o.waitSeconds) + " с ";
            runner.ReportFailure(first, strayCause.empty()
                                            ? within + "никто не подключился"
                                            : within + "не подключился счетчик (последний клиент: " + strayCause + ")");
            break;
        }
        seen = connections;
        std::cerr << "ostrilon-cli: клиент подключился" << std::endl;
        // A client that leaves or answers nothing before the first session
        // (a port scan, a stray program) is not the meter: drop it and go on
        // waiting for the meter side.
        const Outcome out = runner.Run(first);
        if (!out.ok && out.unanswered) {
            strayCause = link.LastFailureText();
            std::cerr << "ostrilon-cli: клиент отключен, он не ответил как счетчик (" << strayCause
                      << "); жду подключения счетчика" << std::endl;
            link.DropClient();
            continue;
        }
        runner.Print(first, out);
        result = out.ok && runner.RunFrom(1) ? kExitOk : kExitFailed;
        break;
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
            std::cout << kUsageHead << CommandsHelp() << kUsageTail;
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
