// The command line of quorvane-cli: options anywhere (CLI11), then the
// commands with their arguments in the order given, from the command table.

#include <CLI/CLI.hpp>
#include <algorithm>

#include "Cli.h"
#include "Records.h"

namespace qcli {

using namespace meter34;

namespace {

const char kOptionsHelp[] = R"(Usage: quorvane-cli CONNECTION [OPTIONS] COMMAND [ARGS] [COMMAND [ARGS] ...]

Connection (one of):
  --serial DEVICE|NUMBER   serial port: a device path (/dev/ttyUSB0, a pty) or a
                           port number n (= /dev/ttyS<n-1>)
  --baud N                 line speed, bit/s (default 9600)
  --phone NUMBER           dial NUMBER through a Hayes modem on the serial port
  --tcp A.B.C.D:PORT       TCP client connection to a meter-side device
  --via direct|plc|rf      how the frame travels (default direct)
  --controller PASSWORD    log in to the network controller first (plc, rf)

Addressing:
  --meter N                meter number (default 0); required (not 0) on a
                           direct serial line and on radio routes (--via rf);
                           elsewhere 0 lets the first meter that answers
                           teach its number
  --version V              meter version byte (default 0)
  --plc-id ID              PLC modem ID of the meter (--via plc)
  --route "a;b"            retransmitting meters before it (--via rf); the
                           meter number is appended

Exchange:
  --timeout MS             reply time-out (default 4000)
  --tries N                tries per request, 1..255 (default 2)
  --pause MS               pause between tries (default 500)
  --extra-timeout MS       added to every reply wait (default 20000 over --tcp
                           and --phone, 0 otherwise)
  Every received byte restarts the reply wait, but a try ends after twice its
  reply wait plus the line time of the longest frame, whatever arrives.

Access (for changing commands; a session is opened and closed around each):
  --level L --password P --key-a A --key-b B     (defaults 1, 1, 1, 1)

Output:
  --json                   one JSON object per command

)";

// A whole decimal number in lo..hi, checked while CLI11 reads the option.
CLI::Validator Decimal(long long lo, long long hi) {
    return CLI::Validator(
        [lo, hi](std::string& text) {
            long long v = 0;
            if (ParseInteger(text, v) && v >= lo && v <= hi) return std::string();
            return "\"" + text + "\" is not an integer in " + std::to_string(lo) + ".." + std::to_string(hi);
        },
        "INTEGER");
}

// Options as CLI11 reads them; their meaning is worked out afterwards.
struct Raw {
    std::string serial, tcp, phone, via = "direct", controller, addr;
    bool help = false;
    long long baud = 9600, meter = 0, version = 0, timeout = 4000, tries = 2, pause = 500, extraTimeout = -1;
    long long level = 1, password = 1, keyA = 1, keyB = 1;
    bool json = false;
};

// Commands and their arguments from what the options left, in order.
std::vector<PlannedCommand> PlanCommands(const std::vector<std::string>& words) {
    const CommandTable& table = Commands();
    std::vector<PlannedCommand> out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.rfind("-", 0) == 0) Bad("unknown option " + w);
        const CommandRow* row = table.Find(w);
        if (row == nullptr) Bad("unknown command " + w);
        PlannedCommand c{row, {}, {}};
        for (int k = 0; k < row->maxArgs; ++k) {
            const bool more = i + 1 < words.size();
            // Optional arguments stop at the next command or option.
            if (k >= row->minArgs && (!more || table.Find(words[i + 1]) != nullptr || words[i + 1].rfind("-", 0) == 0))
                break;
            if (!more) Bad(w + " needs " + std::to_string(row->minArgs) + " argument(s)");
            c.args.push_back(words[++i]);
        }
        // Then the command's own options, each with its value.
        while (i + 1 < words.size()) {
            const std::string& o = words[i + 1];
            const std::string name = o.substr(0, o.find('='));
            if (std::find(row->ownOptions.begin(), row->ownOptions.end(), name) == row->ownOptions.end()) break;
            ++i;
            c.args.push_back(name);
            if (name.size() < o.size()) {
                c.args.push_back(o.substr(name.size() + 1));
            } else {
                if (i + 1 >= words.size()) Bad(name + " needs a value");
                c.args.push_back(words[++i]);
            }
        }
        c.action = row->prepare(c.args);
        out.push_back(std::move(c));
    }
    return out;
}

}  // namespace

std::string UsageText() { return kOptionsHelp + Commands().Help() + Records().Help(); }

CommandLine ParseCommandLine(int argc, char** argv) {
    Raw r;
    CLI::App app{"quorvane-cli"};
    app.set_help_flag();  // the help is ours: see UsageText
    app.allow_extras();   // the commands, in order
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("-h,--help", r.help);
    app.add_option("--serial", r.serial);
    app.add_option("--baud", r.baud)->check(Decimal(50, 4000000));
    app.add_option("--phone", r.phone);
    app.add_option("--tcp", r.tcp);
    app.add_option("--via", r.via)->check(CLI::IsMember({"direct", "plc", "rf"}));
    app.add_option("--controller", r.controller);
    app.add_option("--meter", r.meter)->check(Decimal(0, 4294967295LL));
    app.add_option("--version", r.version)->check(Decimal(0, 65535));
    auto* plcId = app.add_option("--plc-id", r.addr);
    auto* route = app.add_option("--route", r.addr);
    app.add_option("--timeout", r.timeout)->check(Decimal(1, 600000));
    // No tries would send nothing at all and report nothing useful.
    app.add_option("--tries", r.tries)->check(Decimal(1, 255));
    app.add_option("--pause", r.pause)->check(Decimal(0, 600000));
    app.add_option("--extra-timeout", r.extraTimeout)->check(Decimal(0, 600000));
    app.add_option("--level", r.level)->check(Decimal(0, 255));
    app.add_option("--password", r.password)->check(Decimal(-2147483648LL, 4294967295LL));
    app.add_option("--key-a", r.keyA)->check(Decimal(-2147483648LL, 4294967295LL));
    app.add_option("--key-b", r.keyB)->check(Decimal(-2147483648LL, 4294967295LL));
    app.add_flag("--json", r.json);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        Bad(e.what());
    }
    CommandLine cl;
    if (r.help) {
        cl.help = true;
        return cl;
    }
    Options& o = cl.options;
    o.conn.BaudRateText = std::to_string(r.baud);
    const bool serial = app.count("--serial") > 0, tcp = app.count("--tcp") > 0;
    if (serial) {
        long long n = 0;
        if (ParseInteger(r.serial, n)) {
            if (n < 1 || n > 65534) Bad("--serial: port number out of range");
            o.conn.PortSetting = static_cast<int>(n);
        } else {
            o.conn.DevicePath = r.serial;
        }
    }
    if (tcp) {
        const auto colon = r.tcp.rfind(':');
        if (colon == std::string::npos) Bad("--tcp needs A.B.C.D:PORT");
        o.conn.PhoneOrHost = r.tcp.substr(0, colon);
        o.conn.PortSetting = static_cast<int>(Integer(r.tcp.substr(colon + 1), "--tcp port", 1, 65535));
    }
    o.meter = static_cast<std::uint32_t>(r.meter);
    o.version = static_cast<std::uint16_t>(r.version);
    o.addr = r.addr;
    o.haveAddr = plcId->count() + route->count() > 0;
    o.conn.Timeout = static_cast<int>(r.timeout);
    o.conn.TryCount = static_cast<int>(r.tries);
    o.conn.RetryPause = static_cast<int>(r.pause);
    o.extraTimeout = static_cast<int>(r.extraTimeout);
    o.level = static_cast<int>(r.level);
    o.password = static_cast<std::int32_t>(r.password);
    o.keyA = static_cast<std::int32_t>(r.keyA);
    o.keyB = static_cast<std::int32_t>(r.keyB);
    o.json = r.json;
    cl.commands = PlanCommands(app.remaining());

    if (serial == tcp) Bad("give exactly one of --serial and --tcp");
    if (cl.commands.empty()) Bad("no command given");
    const int base = r.via == "direct" ? 0 : r.via == "plc" ? kPlc : kRfRoute;
    if (tcp) {
        if (app.count("--phone") > 0) Bad("--phone is for serial connections");
        o.conn.ConnectionType = base == 0 ? kTcpClient : base == kPlc ? kTcpPlc : kTcpRfRoute;
    } else {
        o.conn.ConnectionType = base == 0 ? (r.phone.empty() ? kSerial : kGsmCsd) : base;
        o.conn.PhoneOrHost = r.phone;
    }
    const bool controller = app.count("--controller") > 0;
    if (controller) o.conn.ControllerPassword = r.controller;
    if (controller && !ControllerPossible(o.conn.ConnectionType)) Bad("--controller needs --via plc or rf");
    o.conn.UseController = controller;
    if (o.haveAddr && !ControllerPossible(o.conn.ConnectionType)) Bad("--plc-id and --route need --via plc or rf");
    for (const auto& c : cl.commands) {
        if (c.row->refuse) {
            const std::string why = c.row->refuse(o);
            if (!why.empty()) Bad(why);
        }
        if (c.row->addressed && o.meter == 0 && NeedsMeterNumber(o.conn.ConnectionType))
            Bad(std::string("Не указан номер счетчика: --meter must not be 0 on a \"") +
                ConnectionTypeCaption(o.conn.ConnectionType) + "\" connection");
    }
    return cl;
}

}  // namespace qcli
