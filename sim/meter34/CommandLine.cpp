#include "sim/meter34/CommandLine.h"

#include <cstdint>
#include <set>

namespace sim34 {

namespace {

bool ParseU64(const std::string& text, unsigned long long max, unsigned long long& out, bool allowHex = false) {
    if (text.empty() || text.size() > 20) return false;
    int base = 10;
    std::size_t i = 0;
    if (allowHex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    unsigned long long v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        if (v > (max - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    out = v;
    return true;
}

// Keys and passwords are 32-bit numbers; the program's access fields hold
// them as signed values, so -1 means 4294967295.
bool ParseKey(const std::string& text, std::uint32_t& out) {
    unsigned long long v = 0;
    if (!text.empty() && text[0] == '-') {
        if (!ParseU64(text.substr(1), 2147483648ULL, v) || v == 0) return false;
        out = static_cast<std::uint32_t>(0x100000000ULL - v);
        return true;
    }
    if (!ParseU64(text, 0xFFFFFFFFULL, v)) return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool ParseInt(const std::string& text, int min, int max, int& out) {
    unsigned long long v = 0;
    if (!ParseU64(text, static_cast<unsigned long long>(max), v) || static_cast<long long>(v) < min) return false;
    out = static_cast<int>(v);
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    Config& c = out.config;
    bool plcGiven = false;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        const auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = opt + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        const auto bad = [&](const std::string& v, const std::string& what) {
            error = "bad value for " + opt + ": \"" + v + "\" (" + what + ")";
            return false;
        };
        if (opt != "--force-result" && !seen.insert(opt).second) {
            error = opt + " given twice";
            return false;
        }
        std::string v;
        int n = 0;
        if (opt == "--help" || opt == "-h") {
            out.help = true;
        } else if (opt == "--pty") {
            out.pty = true;
        } else if (opt == "--listen") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 65535, out.listenPort)) return bad(v, "a TCP port 0..65535");
        } else if (opt == "--meter") {
            if (!value(v)) return false;
            unsigned long long u = 0;
            if (!ParseU64(v, 0xFFFFFFFFULL, u) || u == 0) return bad(v, "a meter number 1..4294967295");
            c.meterNumber = static_cast<std::uint32_t>(u);
        } else if (opt == "--version") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 65535, n)) return bad(v, "a version 0..65535");
            c.version = static_cast<std::uint16_t>(n);
        } else if (opt == "--key-a" || opt == "--key-b" || opt == "--password1" || opt == "--password2") {
            if (!value(v)) return false;
            std::uint32_t k = 0;
            if (!ParseKey(v, k)) return bad(v, "a decimal 32-bit number");
            (opt == "--key-a" ? c.keyA : opt == "--key-b" ? c.keyB : opt == "--password1" ? c.password1 : c.password2) = k;
        } else if (opt == "--front") {
            if (!value(v)) return false;
            if (v == "direct") c.front = Front::Direct;
            else if (v == "plc") c.front = Front::PLC;
            else if (v == "rf") c.front = Front::RF;
            else return bad(v, "direct, plc or rf");
        } else if (opt == "--modem") {
            c.modem = true;
        } else if (opt == "--modem-guard") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 60000, c.modemGuardMs)) return bad(v, "milliseconds 0..60000");
        } else if (opt == "--controller") {
            if (!value(v)) return false;
            if (v.empty() || v.find_first_of("\r\n") != std::string::npos) return bad(v, "a non-empty password");
            c.controller = true;
            c.controllerPassword = v;
        } else if (opt == "--plc-modems") {
            if (!value(v)) return false;
            plcGiven = true;
            std::set<unsigned long long> ids;
            for (const auto& item : Split(v, ',')) {
                if (item == "-") {
                    c.plcSlots.push_back(PlcSlot{false, 0, 0});
                    continue;
                }
                const auto parts = Split(item, ':');
                unsigned long long id = 0, number = 0;
                if (parts.size() != 2 || !ParseU64(parts[0], 0xFFFF, id) || !ParseU64(parts[1], 0xFFFFFFFFULL, number) ||
                    number == 0)
                    return bad(v, "slots ID:NUMBER or - separated by commas, e.g. 300:12345,-,301:12346");
                if (!ids.insert(id).second) return bad(v, "modem " + parts[0] + " listed twice");
                c.plcSlots.push_back(PlcSlot{true, static_cast<std::uint16_t>(id), static_cast<std::uint32_t>(number)});
            }
            if (c.plcSlots.size() > 65535) return bad(v, "too many slots");
        } else if (opt == "--state") {
            if (!value(v)) return false;
            if (v.empty()) return bad(v, "a file name");
            c.stateFile = v;
        } else if (opt == "--calibration-ms") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 600000, c.calibrationMs)) return bad(v, "milliseconds 0..600000");
        } else if (opt == "--silence" || opt == "--bad-check" || opt == "--wrong-packet" || opt == "--other-meter" ||
                   opt == "--stale-reply" || opt == "--carrier-loss") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 1000000, n)) return bad(v, "a count 0..1000000");
            Faults& f = c.faults;
            (opt == "--silence" ? f.silence : opt == "--bad-check" ? f.badCheck : opt == "--wrong-packet" ? f.wrongPacket
             : opt == "--other-meter" ? f.otherMeter : opt == "--stale-reply" ? f.staleReply : f.carrierLossAfter) = n;
        } else if (opt == "--force-result") {
            if (!value(v)) return false;
            const auto parts = Split(v, ':');
            unsigned long long cmd = 0, code = 0;
            if (parts.size() != 2 || !ParseU64(parts[0], 255, cmd, true) || !ParseU64(parts[1], 255, code, true))
                return bad(v, "COMMAND:RESULT, e.g. 0x0C:15");
            c.faults.forcedResults[static_cast<std::uint8_t>(cmd)] = static_cast<std::uint8_t>(code);
        } else if (opt == "--baud") {
            if (!value(v)) return false;
            if (!ParseInt(v, 1, 10000000, c.faults.baud)) return bad(v, "bit/s 1..10000000");
        } else if (opt == "--split") {
            if (!value(v)) return false;
            const auto parts = Split(v, ':');
            if (parts.size() > 2 || !ParseInt(parts[0], 1, 65535, c.faults.splitChunk) ||
                (parts.size() == 2 && !ParseInt(parts[1], 0, 60000, c.faults.splitGapMs)))
                return bad(v, "BYTES or BYTES:GAP_MS");
        } else if (opt == "--reply-delay") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 600000, c.faults.replyDelayMs)) return bad(v, "milliseconds 0..600000");
        } else if (opt == "--trace") {
            out.trace = true;
        } else {
            error = "unknown option " + opt;
            return false;
        }
    }
    if (out.help) return true;
    if (out.pty == (out.listenPort >= 0)) {
        error = "give exactly one of --pty and --listen PORT";
        return false;
    }
    if (plcGiven && c.front != Front::PLC) {
        error = "--plc-modems needs --front plc";
        return false;
    }
    return true;
}

std::string HelpText() {
    return R"(Usage: meter34-sim (--pty | --listen PORT) [options]

Emulates an electricity meter of versions 3 and 4 (frames, access session,
every command and structure, realistic data), optionally behind a PLC base
station or a radio route, a Hayes modem and a network controller. It runs
until interrupted (Ctrl+C, SIGTERM).

Line:
  --pty                  serve a new pseudo-terminal; its path is the first
                         line of standard output: give it to the program as
                         the serial port
  --listen PORT          serve TCP on 127.0.0.1:PORT, one client at a time
                         (the next one after it closes); 0 = any free port;
                         "127.0.0.1:PORT" is printed on standard output

Meter:
  --meter N              meter number 1..4294967295 (default 12345)
  --version V            meter version 0..65535 (default 4); the load profile
                         of versions below 100 is half-hourly or hourly and its
                         interval codes are 0 and 1; version 100 keeps 50
                         records per event journal, the others 16
  --key-a A              access key A, decimal 32-bit (default 1)
  --key-b B              access key B, decimal 32-bit (default 1)
  --password1 P          password of access level 1, administrator (default 1)
  --password2 P          password of access level 2, user (default 2)
                         (negative values stand for their 32-bit two's complement)
  --state FILE           keep the meters' memory in FILE: read at start, written
                         after every change and at exit (whole or not at all);
                         keys, passwords, clock offset, records, structures and
                         journals found there win over the options above; a
                         missing file starts a fresh meter
  --calibration-ms MS    how long calibration keeps the meter busy (default 2000)

In front of the meter:
  --front direct|plc|rf  direct: meter frames on the line (default);
                         plc: a PLC base station, 0xCA frames, with the meters
                         behind its modems; it answers the modem count (0x65)
                         and node (0x69) queries;
                         rf: a route of radio retransmitters, 0x7A envelopes;
                         the route must end with the meter's radio address,
                         the low 16 bits of its number
  --plc-modems LIST      the station's modem table: slots ID:NUMBER (a modem and
                         the meter behind it) or - (a free slot), separated by
                         commas (default 300:<meter>); other numbers become
                         further meters with default data
  --modem                a Hayes modem on the line: AT commands answer OK, ATE0
                         and ATE1 switch the echo (on at start), ATD gives
                         "CONNECT 9600", "+++" after a silence returns to
                         command mode with OK, ATH hangs up, ATO goes back
                         on line; a dropped call says "NO CARRIER"
  --modem-guard MS       silence the modem needs before "+++" (default 1000)
  --controller PASSWORD  a network controller: the line
                         "SETTRANSPARENTMODE;PASSWORD" enters transparent mode
                         and answers "DONE" ("ERROR" for another password);
                         "*****" and a line end leave it with "DONE"

Faults (counts are "the next N" and run down):
  --silence N            N requests are not heard at all
  --bad-check N          N replies carry a corrupted check code
  --wrong-packet N       N replies carry another packet number
  --other-meter N        N replies come from another meter number
  --stale-reply N        N replies are preceded by a reply to the packet before
  --force-result CMD:RES command CMD is answered with result RES instead of
                         being executed (decimal or 0x hex; repeatable),
                         e.g. 0x0C:15 makes every energy reading "no data"
  --baud N               every byte sent takes its wire time at N bit/s
                         (10 bits a byte)
  --split BYTES[:GAP]    replies leave in pieces of BYTES bytes with GAP ms
                         between them (default 20)
  --carrier-loss N       the carrier drops after N replies: "NO CARRIER" from
                         the modem or on the serial line; a TCP client is
                         disconnected
  --reply-delay MS       every reply waits MS first

Other:
  --trace                print every frame, line and answer on standard error
  --help                 this text

Exit codes: 0 after an interrupt, 1 when the line or the state file cannot be
used, 2 for bad options.
)";
}

std::string FormatLogEntry(const LogEntry& e) {
    static const char* kKinds[] = {"request", "reply", "query", "answer", "modem", "controller", "event"};
    std::string s = e.dir == LogEntry::Dir::In ? "<- " : "-> ";
    s += kKinds[static_cast<int>(e.kind)];
    bool text = e.kind == LogEntry::Kind::Modem || e.kind == LogEntry::Kind::Controller;
    if (!e.bytes.empty()) {
        s += " ";
        if (text) {
            for (auto b : e.bytes) {
                if (b == '\r') s += "\\r";
                else if (b == '\n') s += "\\n";
                else if (b < 0x20 || b > 0x7E) s += '.';
                else s += static_cast<char>(b);
            }
        } else {
            static const char* d = "0123456789ABCDEF";
            for (std::size_t i = 0; i < e.bytes.size(); ++i) {
                if (i) s += ' ';
                s += d[e.bytes[i] >> 4];
                s += d[e.bytes[i] & 15];
            }
        }
    }
    if (!e.note.empty()) s += "  (" + e.note + ")";
    return s;
}

}  // namespace sim34
