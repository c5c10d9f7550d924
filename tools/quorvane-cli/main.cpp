// quorvane-cli: reads and sets meters of versions 3 and 4 from scripts.
//
// Exit codes: 0 success, 1 a meter or link failure (the Russian reason on
// stderr), 2 bad usage.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/core/Json.h"
#include "meter34/MeterConnection.h"
#include "meter34/MeterReadings.h"
#include "meter34/Structures.h"

using namespace meter34;

namespace {

const char kUsage[] = R"(Usage: quorvane-cli CONNECTION [OPTIONS] COMMAND [ARGS] [COMMAND [ARGS] ...]

Connection (one of):
  --serial DEVICE|NUMBER   serial port: a device path (/dev/ttyUSB0, a pty) or a
                           port number n (= /dev/ttyS<n-1>)
  --baud N                 line speed, bit/s (default 9600)
  --phone NUMBER           dial NUMBER through a Hayes modem on the serial port
  --tcp A.B.C.D:PORT       TCP client connection to a meter-side device
  --via direct|plc|rf      how the frame travels (default direct)
  --controller PASSWORD    log in to the network controller first (plc, rf)

Addressing:
  --meter N                meter number (default 0: any meter answers)
  --version V              meter version byte (default 0)
  --plc-id ID              PLC modem ID of the meter (--via plc)
  --route "a;b"            retransmitting meters before it (--via rf); the
                           meter number is appended

Exchange:
  --timeout MS             reply time-out (default 4000)
  --tries N                tries per request (default 2)
  --pause MS               pause between tries (default 500)

Access (for changing commands; a session is opened and closed around each):
  --level L --password P --key-a A --key-b B     (defaults 1, 1, 1, 1)

Output:
  --json                   one JSON object per command

Commands:
  datetime                 read the meter clock
  set-datetime [YYYY-MM-DDTHH:MM:SS]   set the clock (access; default: now)
  correct-time             set the clock to now without access
  state | status           state and status records
  phase-values             per-phase P, Q, U, I, F, K
  params | params2 | dop-params        parameter records (hex)
  ratios                   transformation ratios and their last change
  energy TYPE TARIFF DATE SLICE        one energy value (W*h)
  profile TYPE DATE        the load profile of one day
  get-struct N INDEX       read structure N (hex dump)
  set-struct N INDEX HEX   write structure N (access; check code appended)
  contactor on|off         switch the contactor (access)
  plc-list                 meters behind the PLC base station (--via plc)
)";

struct Usage {
    std::string text;
};

[[noreturn]] void Bad(const std::string& text) { throw Usage{text}; }

long long Integer(const std::string& text, const char* what, long long lo, long long hi) {
    long long v = 0;
    if (!ParseInteger(text, v) || v < lo || v > hi)
        Bad(std::string(what) + ": \"" + text + "\" is not an integer in " + std::to_string(lo) + ".." +
            std::to_string(hi));
    return v;
}

DateTime Date(const std::string& text) {
    auto d = DateTime::fromIsoString(text);
    if (!d) Bad("\"" + text + "\" is not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS)");
    return *d;
}

using common::JsonEscape;

std::string Hex(const std::uint8_t* p, int n) {
    std::string out;
    char b[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
        out += b;
    }
    return out;
}

std::string Text(const DateTime& t) {
    std::string s = t.toIsoString();
    if (s.size() >= 19) s[10] = ' ';
    return s.substr(0, 19);
}

// One command's output: ordered fields, printed as lines or as one JSON object.
class Output {
public:
    Output(bool json, std::string command) : json_(json), command_(std::move(command)) {}
    void Field(const std::string& key, const std::string& value, bool quoted = true) {
        fields_.push_back({key, value, quoted});
    }
    void Number(const std::string& key, long long v) { Field(key, std::to_string(v), false); }
    void Rows(const std::string& key, const std::vector<std::vector<std::string>>& rows) {
        rows_ = rows;
        rowsKey_ = key;
    }
    void Print() const {
        if (json_) {
            std::string s = "{\"command\":\"" + JsonEscape(command_) + "\",\"ok\":true";
            for (const auto& f : fields_)
                s += ",\"" + JsonEscape(f.key) + "\":" + (f.quoted ? "\"" + JsonEscape(f.value) + "\"" : f.value);
            if (!rowsKey_.empty()) {
                s += ",\"" + rowsKey_ + "\":[";
                for (std::size_t i = 0; i < rows_.size(); ++i) {
                    s += i ? ",[" : "[";
                    for (std::size_t k = 0; k < rows_[i].size(); ++k)
                        s += (k ? ",\"" : "\"") + JsonEscape(rows_[i][k]) + "\"";
                    s += "]";
                }
                s += "]";
            }
            std::cout << s << "}\n";
        } else {
            for (const auto& f : fields_) std::cout << f.key << ": " << f.value << "\n";
            for (const auto& r : rows_) {
                for (std::size_t k = 0; k < r.size(); ++k) std::cout << (k ? "\t" : "") << r[k];
                std::cout << "\n";
            }
        }
        std::cout.flush();
    }

private:
    struct F {
        std::string key, value;
        bool quoted;
    };
    bool json_;
    std::string command_;
    std::vector<F> fields_;
    std::vector<std::vector<std::string>> rows_;
    std::string rowsKey_;
};

std::vector<std::uint8_t> ParseHex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char ch : text)
        if (!std::isspace(static_cast<unsigned char>(ch)) && ch != ':' && ch != '-') digits += ch;
    if (digits.size() % 2 != 0) Bad("HEX must have an even number of digits");
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned v = 0;
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) || !std::isxdigit(static_cast<unsigned char>(digits[i + 1])) ||
            std::sscanf(digits.c_str() + i, "%2x", &v) != 1)
            Bad("HEX: \"" + text + "\" is not hexadecimal");
        out.push_back(static_cast<std::uint8_t>(v));
    }
    if (out.size() > 248) Bad("HEX: at most 248 bytes");
    return out;
}

struct Command {
    std::string name;
    std::vector<std::string> args;
};

struct Options {
    ConnectionSettings conn;
    bool haveLink = false;
    std::uint32_t meter = 0;
    std::uint16_t version = 0;
    std::string addr;  // PLC modem ID or route
    bool haveAddr = false;
    int level = 1;
    std::int32_t password = 1, keyA = 1, keyB = 1;
    bool json = false;
    std::vector<Command> commands;
};

// Arity of each command: fixed argument count; set-datetime takes 0 or 1.
const std::map<std::string, int> kArity = {
    {"datetime", 0}, {"set-datetime", -1}, {"correct-time", 0}, {"state", 0},     {"status", 0},
    {"phase-values", 0}, {"params", 0},   {"params2", 0},      {"dop-params", 0}, {"ratios", 0},
    {"energy", 4},   {"profile", 2},      {"get-struct", 2},   {"set-struct", 3}, {"contactor", 1},
    {"plc-list", 0},
};

// Argument errors are usage errors, found before the line is touched.
void CheckArgs(const Command& c) {
    const auto& a = c.args;
    if (c.name == "set-datetime" && !a.empty()) Date(a[0]);
    if (c.name == "energy") {
        Integer(a[0], "TYPE", 0, 15);
        Integer(a[1], "TARIFF", 0, 255);
        Date(a[2]);
        Integer(a[3], "SLICE", 0, 6);
    }
    if (c.name == "profile") {
        Integer(a[0], "TYPE", 0, 15);
        Date(a[1]);
    }
    if (c.name == "get-struct" || c.name == "set-struct") {
        Integer(a[0], "N", 0, 255);
        Integer(a[1], "INDEX", 0, 65535);
    }
    if (c.name == "set-struct") ParseHex(a[2]);
    if (c.name == "contactor" && a[0] != "on" && a[0] != "off") Bad("contactor takes on or off");
}

Options Parse(int argc, char** argv) {
    Options o;
    o.conn.BaudRateText = "9600";
    std::string via = "direct";
    bool serial = false, tcp = false, controller = false;
    std::string phone;
    int i = 1;
    auto value = [&](const char* opt) -> std::string {
        if (i + 1 >= argc) Bad(std::string(opt) + " needs a value");
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--serial") {
            const std::string v = value("--serial");
            long long n = 0;
            if (ParseInteger(v, n)) {
                if (n < 1 || n > 65534) Bad("--serial: port number out of range");
                o.conn.PortSetting = static_cast<int>(n);
            } else {
                o.conn.DevicePath = v;
            }
            serial = true;
        } else if (a == "--baud") {
            o.conn.BaudRateText = std::to_string(Integer(value("--baud"), "--baud", 50, 4000000));
        } else if (a == "--phone") {
            phone = value("--phone");
        } else if (a == "--tcp") {
            const std::string v = value("--tcp");
            const auto colon = v.rfind(':');
            if (colon == std::string::npos) Bad("--tcp needs A.B.C.D:PORT");
            o.conn.PhoneOrHost = v.substr(0, colon);
            o.conn.PortSetting = static_cast<int>(Integer(v.substr(colon + 1), "--tcp port", 1, 65535));
            tcp = true;
        } else if (a == "--via") {
            via = value("--via");
            if (via != "direct" && via != "plc" && via != "rf") Bad("--via must be direct, plc or rf");
        } else if (a == "--controller") {
            o.conn.ControllerPassword = value("--controller");
            controller = true;
        } else if (a == "--meter") {
            o.meter = static_cast<std::uint32_t>(Integer(value("--meter"), "--meter", 0, 4294967295LL));
        } else if (a == "--version") {
            o.version = static_cast<std::uint16_t>(Integer(value("--version"), "--version", 0, 65535));
        } else if (a == "--plc-id" || a == "--route") {
            o.addr = value(a.c_str());
            o.haveAddr = true;
        } else if (a == "--timeout") {
            o.conn.Timeout = static_cast<int>(Integer(value("--timeout"), "--timeout", 1, 600000));
        } else if (a == "--tries") {
            o.conn.TryCount = static_cast<int>(Integer(value("--tries"), "--tries", 0, 255));
        } else if (a == "--pause") {
            o.conn.RetryPause = static_cast<int>(Integer(value("--pause"), "--pause", 0, 600000));
        } else if (a == "--level") {
            o.level = static_cast<int>(Integer(value("--level"), "--level", 0, 255));
        } else if (a == "--password") {
            o.password = static_cast<std::int32_t>(Integer(value("--password"), "--password", -2147483648LL, 4294967295LL));
        } else if (a == "--key-a") {
            o.keyA = static_cast<std::int32_t>(Integer(value("--key-a"), "--key-a", -2147483648LL, 4294967295LL));
        } else if (a == "--key-b") {
            o.keyB = static_cast<std::int32_t>(Integer(value("--key-b"), "--key-b", -2147483648LL, 4294967295LL));
        } else if (a == "--json") {
            o.json = true;
        } else if (a.rfind("--", 0) == 0) {
            Bad("unknown option " + a);
        } else {
            auto it = kArity.find(a);
            if (it == kArity.end()) Bad("unknown command " + a);
            Command c{a, {}};
            int n = it->second;
            if (n < 0) n = (i + 1 < argc && kArity.count(argv[i + 1]) == 0 && argv[i + 1][0] != '-') ? 1 : 0;
            for (int k = 0; k < n; ++k) {
                if (i + 1 >= argc) Bad(a + " needs " + std::to_string(n) + " argument(s)");
                c.args.push_back(argv[++i]);
            }
            CheckArgs(c);
            o.commands.push_back(c);
        }
    }
    if (serial == tcp) Bad("give exactly one of --serial and --tcp");
    if (o.commands.empty()) Bad("no command given");
    const int base = via == "direct" ? 0 : via == "plc" ? 2 : 3;
    if (tcp) {
        if (!phone.empty()) Bad("--phone is for serial connections");
        o.conn.ConnectionType = base == 0 ? kTcpClient : base == 2 ? kTcpPlc : kTcpRfRoute;
    } else {
        o.conn.ConnectionType = base == 0 ? (phone.empty() ? kSerial : kGsmCsd) : base;
        o.conn.PhoneOrHost = phone;
    }
    if (controller && !ControllerPossible(o.conn.ConnectionType)) Bad("--controller needs --via plc or rf");
    o.conn.UseController = controller;
    if (o.haveAddr && !ControllerPossible(o.conn.ConnectionType)) Bad("--plc-id and --route need --via plc or rf");
    for (const auto& c : o.commands)
        if (c.name == "plc-list" && !IsPlcType(o.conn.ConnectionType)) Bad("plc-list needs --via plc");
    return o;
}

struct Failure {
    std::string text;
};

class Runner {
public:
    Runner(Options& o, TMeterConnection& c) : o_(o), c_(c) {}

    void Run(const Command& cmd) {
        std::string status;
        if (cmd.name != "plc-list" && !c_.PrepareAddressing(o_.meter, o_.version, o_.addr, status)) throw Failure{status};
        Output out(o_.json, cmd.name);
        TMeter& m = *c_.Meter;
        const auto& a = cmd.args;
        if (cmd.name == "datetime") {
            DateTime t;
            if (!m.GetDateTime(t)) Fail("Ошибка чтения даты и времени: ");
            out.Field("datetime", Text(t));
        } else if (cmd.name == "set-datetime") {
            const DateTime t = a.empty() ? DateTime::now() : Date(a[0]);
            WithAccess([&] { return m.SetDateTime(t); }, "Ошибка записи даты и времени: ");
            out.Field("datetime", Text(t));
            out.Field("result", "Время установлено");
        } else if (cmd.name == "correct-time") {
            const DateTime t = DateTime::now();
            if (!m.SetDateTime(t)) Fail("Ошибка корректировки даты и времени: ");
            out.Field("datetime", Text(t));
            out.Field("result", "Время установлено");
        } else if (cmd.name == "state" || cmd.name == "status") {
            std::array<std::uint8_t, 12> rec{};
            const bool ok = cmd.name == "state" ? m.GetState(rec) : m.GetStatus(rec);
            if (!ok) Fail("Ошибка: ");
            for (const auto& [k, v] : cmd.name == "state" ? StateRows(rec, m.MeterVersion) : StatusRows(rec))
                out.Field(k, v);
            out.Field("raw", Hex(rec.data(), 12));
        } else if (cmd.name == "phase-values") {
            PhaseValues pv;
            if (!m.GetPhaseValues(255, 255, 255, pv)) Fail("Ошибка: ");
            std::vector<std::vector<std::string>> rows = {{"Параметр", "Фаза A", "Фаза B", "Фаза C"}};
            const char* names[6] = {"P (W)", "Q (Var)", "U (V)", "I (A)", "F (Hz)", "K"};
            for (int q = 0; q < 6; ++q) {
                std::vector<std::string> row = {names[q]};
                for (const auto& ph : pv.Phase) {
                    char b[32];
                    switch (q) {
                        case 0: std::snprintf(b, sizeof b, "%.2f", ph.P * 0.01); break;
                        case 1: std::snprintf(b, sizeof b, "%.2f", ph.Q * 0.01); break;
                        case 2: std::snprintf(b, sizeof b, "%.2f", ph.U * 0.01); break;
                        case 3: std::snprintf(b, sizeof b, "%.3f", ph.I * 0.001); break;
                        case 4: std::snprintf(b, sizeof b, "%.2f", ph.F * 0.01); break;
                        default: std::snprintf(b, sizeof b, "%.4f", ph.K * 0.0001); break;
                    }
                    row.push_back(b);
                }
                rows.push_back(row);
            }
            out.Rows("table", rows);
        } else if (cmd.name == "params") {
            MainParameterRecord r{};
            if (!m.GetParameters(r)) Fail("Ошибка чтения параметров: ");
            out.Field("record", Hex(r.data(), static_cast<int>(r.size())));
        } else if (cmd.name == "params2") {
            SecondGroupParameterRecord r{};
            if (!m.GetParameters2(r)) Fail("Ошибка чтения параметров: ");
            out.Field("record", Hex(r.data(), static_cast<int>(r.size())));
        } else if (cmd.name == "dop-params") {
            AdditionalParameterRecord r{};
            if (!m.GetAdditionalParameters(r)) Fail("Ошибка чтения параметров: ");
            out.Field("record", Hex(r.data(), static_cast<int>(r.size())));
        } else if (cmd.name == "ratios") {
            std::uint16_t ci = 0, cu = 0, count = 0;
            DateTime last;
            if (!m.GetIUCoefficients(ci, cu, last, count)) Fail("Ошибка чтения коэффициентов: ");
            out.Number("current_ratio", ci);
            out.Number("voltage_ratio", cu);
            out.Field("last_change", Text(last));
            out.Number("changes", count);
        } else if (cmd.name == "energy") {
            const auto type = static_cast<std::uint8_t>(Integer(a[0], "TYPE", 0, 15));
            const auto tariff = static_cast<std::uint8_t>(Integer(a[1], "TARIFF", 0, 255));
            const DateTime d = Date(a[2]);
            const auto slice = static_cast<std::uint8_t>(Integer(a[3], "SLICE", 0, 6));
            std::uint32_t v = 0;
            if (!m.GetEnergy(type, tariff, d, slice, v)) Fail("Ошибка: ");
            out.Number("value_wh", v);
        } else if (cmd.name == "profile") {
            const auto type = static_cast<std::uint8_t>(Integer(a[0], "TYPE", 0, 15));
            const DateTime d = Date(a[1]);
            std::vector<std::vector<std::string>> rows;
            const auto r = ReadLoadProfileDay(m, type, d, [&](const ProfileRow& row) {
                rows.push_back({Text(row.End), row.HasValue ? std::to_string(row.Value) : "Нет данных"});
            });
            if (r == ProfileDayResult::Failed) Fail("Ошибка: ");
            if (r == ProfileDayResult::BadData) throw Failure{"Ошибка: счетчик сообщил недопустимый интервал графика"};
            out.Field("result", r == ProfileDayResult::NoData ? "Нет данных" : "Выполнено");
            out.Rows("rows", rows);
        } else if (cmd.name == "get-struct") {
            const auto n = static_cast<std::uint8_t>(Integer(a[0], "N", 0, 255));
            const auto index = static_cast<std::uint16_t>(Integer(a[1], "INDEX", 0, 65535));
            std::uint8_t data[256];
            int len = 0;
            if (!m.GetStruct(n, index, len, data)) Fail("Ошибка чтения структуры: ");
            out.Number("length", len);
            out.Field("data", Hex(data, len));
        } else if (cmd.name == "set-struct") {
            const auto n = static_cast<std::uint8_t>(Integer(a[0], "N", 0, 255));
            const auto index = static_cast<std::uint16_t>(Integer(a[1], "INDEX", 0, 65535));
            std::vector<std::uint8_t> data = ParseHex(a[2]);
            data.resize(data.size() + 2);
            PutCrc16Xmodem(data.data(), data.size() - 2);
            WithAccess([&] { return m.SetStruct(n, index, data.data(), static_cast<int>(data.size())); },
                       "Ошибка записи структуры: ");
            out.Field("written", Hex(data.data(), static_cast<int>(data.size())));
        } else if (cmd.name == "contactor") {
            if (a[0] != "on" && a[0] != "off") Bad("contactor takes on or off");
            const bool on = a[0] == "on";
            WithAccess([&] { return m.SetContactor(on ? 1 : 0); },
                       on ? "Ошибка включения контактора: " : "Ошибка выключения контактора: ");
            out.Field("result", on ? "Контактор включен" : "Контактор выключен");
        } else if (cmd.name == "plc-list") {
            std::vector<std::vector<std::string>> lines;
            c_.ListPlcMeters([&](const std::string& line) { lines.push_back({line}); });
            out.Rows("log", lines);
        }
        out.Print();
    }

private:
    [[noreturn]] void Fail(const std::string& prefix) {
        std::uint8_t code = 0;
        std::string text;
        c_.Meter->GetResultText(code, text);
        if (!c_.Link->Connected) throw Failure{"Потеряно подключение! Необходимо переподключиться"};
        throw Failure{prefix + text};
    }

    // Changing commands run inside an access session that is always closed again.
    template <class F>
    void WithAccess(F&& op, const std::string& prefix) {
        TMeter& m = *c_.Meter;
        if (!m.OpenSession(static_cast<std::uint8_t>(o_.level), o_.password, o_.keyA, o_.keyB)) {
            std::uint8_t code = 0;
            std::string text;
            m.GetResultText(code, text);
            m.CloseSession();
            throw Failure{"Ошибка открытия доступа: " + text};
        }
        const bool ok = op();
        std::uint8_t code = 0;
        std::string text;
        m.GetResultText(code, text);
        m.CloseSession();
        if (!ok) {
            if (!c_.Link->Connected) throw Failure{"Потеряно подключение! Необходимо переподключиться"};
            throw Failure{prefix + text};
        }
    }

    Options& o_;
    TMeterConnection& c_;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = Parse(argc, argv);
    } catch (const Usage& u) {
        std::cerr << "quorvane-cli: " << u.text << "\n(see quorvane-cli --help)\n";
        return 2;
    }
    TMeterConnection c;
    if (!c.Open(o.conn)) {
        std::cerr << "Произошла ошибка! Проверьте параметры подключения";
        if (!c.ErrorText.empty()) std::cerr << " (" << c.ErrorText << ")";
        std::cerr << "\n";
        return 1;
    }
    if (c.ControllerFailed) std::cerr << "Не удалось открыть прозрачный режим!\n";
    Runner runner(o, c);
    int rc = 0;
    for (const auto& cmd : o.commands) {
        try {
            runner.Run(cmd);
        } catch (const Failure& f) {
            if (o.json)
                std::cout << "{\"command\":\"" << JsonEscape(cmd.name) << "\",\"ok\":false,\"error\":\""
                          << JsonEscape(f.text) << "\"}\n";
            std::cerr << f.text << "\n";
            rc = 1;
            break;
        } catch (const Usage& u) {
            std::cerr << "quorvane-cli: " << u.text << "\n";
            rc = 2;
            break;
        }
    }
    c.Close();
    return rc;
}
