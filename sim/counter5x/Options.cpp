#include "sim/counter5x/Options.h"

#include <cstdint>

namespace sim5x {

namespace {

long long Number(const std::string& option, const std::string& text, long long lo, long long hi) {
    std::size_t pos = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &pos, 10);
    } catch (...) {
        pos = 0;
    }
    if (text.empty() || pos != text.size() || v < lo || v > hi)
        throw OptionError(option + ": \"" + text + "\" is not a number in " + std::to_string(lo) + ".." + std::to_string(hi));
    return v;
}

int CountOrAlways(const std::string& option, const std::string& text) {
    if (text == "always") return kAlways;
    return static_cast<int>(Number(option, text, 0, 1000000));
}

std::vector<std::uint8_t> Hex(const std::string& option, const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != ':') digits += c;
    if (digits.empty() || digits.size() % 2) throw OptionError(option + ": \"" + text + "\" is not a byte string in hex");
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const std::string b = digits.substr(i, 2);
        std::size_t pos = 0;
        unsigned long v = 0;
        try {
            v = std::stoul(b, &pos, 16);
        } catch (...) {
            pos = 0;
        }
        if (pos != 2) throw OptionError(option + ": \"" + text + "\" is not a byte string in hex");
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

// CODE[:SELECTOR][=REASON]; the selector of commands 14 and 17 is a letter.
Refusal ParseRefusal(const std::string& option, const std::string& text) {
    Refusal r;
    std::string rule = text;
    const auto eq = rule.find('=');
    if (eq != std::string::npos) {
        r.reason = static_cast<std::uint8_t>(Number(option, rule.substr(eq + 1), 0, 255));
        rule.resize(eq);
    }
    const auto colon = rule.find(':');
    const std::string sel = colon == std::string::npos ? std::string() : rule.substr(colon + 1);
    if (colon != std::string::npos) rule.resize(colon);
    r.command = static_cast<int>(Number(option, rule, 0, 255));
    if (colon != std::string::npos) {
        if (r.command == kOneByte || r.command == kRangeMode) {
            if (sel.size() != 1) throw OptionError(option + ": the selector of command " + rule + " is one letter");
            r.selector = static_cast<unsigned char>(sel[0]);
        } else {
            r.selector = static_cast<int>(Number(option, sel, 0, 255));
        }
    }
    return r;
}

}  // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
    ProgramOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string opt = args[i];
        std::string value;
        bool hasValue = false;
        if (opt.rfind("--", 0) == 0) {
            const auto eq = opt.find('=');
            if (eq != std::string::npos) {
                value = opt.substr(eq + 1);
                opt.resize(eq);
                hasValue = true;
            }
        }
        auto arg = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= args.size()) throw OptionError(opt + " needs a value");
            return args[++i];
        };
        auto noValue = [&]() {
            if (hasValue) throw OptionError(opt + " takes no value");
        };
        if (opt == "--help" || opt == "-h") noValue(), o.help = true;
        else if (opt == "--pty") noValue(), o.pty = true;
        else if (opt == "--log") noValue(), o.log = true;
        else if (opt == "--kopecks") noValue(), o.meter.kopecks = true, o.kopecksGiven = true;
        else if (opt == "--connect") {
            const std::string v = arg();
            const auto colon = v.rfind(':');
            if (colon == std::string::npos || colon == 0) throw OptionError("--connect: give HOST:PORT, not \"" + v + "\"");
            o.host = v.substr(0, colon);
            o.port = static_cast<int>(Number("--connect", v.substr(colon + 1), 1, 65535));
        } else if (opt == "--version") {
            o.meter.version = static_cast<int>(Number(opt, arg(), 51, 54));
            o.versionGiven = true;
        } else if (opt == "--meter") {
            o.meter.meterNumber = static_cast<std::uint32_t>(Number(opt, arg(), 0, 0xFFFFFFFFll));
            o.meterGiven = true;
        } else if (opt == "--ident") {
            o.meter.ident = static_cast<std::uint32_t>(Number(opt, arg(), 0, 0xFFFFFFFFll));
            o.identGiven = true;
        } else if (opt == "--password") {
            o.meter.password = static_cast<std::uint16_t>(Number(opt, arg(), 0, 0xFFFF));
            o.passwordGiven = true;
        } else if (opt == "--state") {
            o.stateFile = arg();
            if (o.stateFile.empty()) throw OptionError("--state needs a file name");
        } else if (opt == "--profile-points") o.meter.profilePoints = static_cast<int>(Number(opt, arg(), 0, 65535));
        else if (opt == "--fault-silent") o.faults.silence = CountOrAlways(opt, arg());
        else if (opt == "--fault-bad-crc") o.faults.corruptCheck = CountOrAlways(opt, arg());
        else if (opt == "--fault-split") {
            const std::string v = arg();
            const auto colon = v.find(':');
            o.faults.splitChunk = static_cast<int>(Number(opt, v.substr(0, colon), 1, 255));
            o.faults.splitGapMs = colon == std::string::npos ? 0 : static_cast<int>(Number(opt, v.substr(colon + 1), 0, 600000));
        } else if (opt == "--fault-trailing") o.faults.trailing = Hex(opt, arg());
        else if (opt == "--fault-refuse") o.faults.refusals.push_back(ParseRefusal(opt, arg()));
        else if (opt == "--fault-slow-baud") o.faults.paceBaud = static_cast<int>(Number(opt, arg(), 1, 10000000));
        else if (opt == "--fault-slow-gap") o.faults.byteGapMs = static_cast<int>(Number(opt, arg(), 0, 600000));
        else if (opt == "--fault-delay") o.faults.replyDelayMs = static_cast<int>(Number(opt, arg(), 0, 600000));
        else if (opt == "--fault-version") o.faults.reportVersion = static_cast<int>(Number(opt, arg(), 0, 255));
        else if (opt == "--fault-hangup-after") o.faults.hangUpAfter = static_cast<int>(Number(opt, arg(), 0, 1000000));
        else throw OptionError("unknown option \"" + args[i] + "\"");
    }
    if (!o.help && !o.pty && o.host.empty()) throw OptionError("nothing to answer on: give --pty and/or --connect HOST:PORT");
    return o;
}

std::string HelpText() {
    return R"(Usage: counter5x-sim [--pty] [--connect HOST:PORT] [options]

Emulates a prepayment electricity meter of version 51..54: authorization,
scrambled session, every memory area (reads, writes with the write
password), clock, one-byte commands and realistic statistics. It speaks only
when spoken to. Stop it with Ctrl+C (SIGINT) or SIGTERM.

Lines (at least one):
  --pty                 open a pseudo-terminal and print its path on a line of
                        its own; open that path like a serial port
  --connect HOST:PORT   connect as the meter side to the console's TCP server
                        (port 144 in the console), reconnecting whenever it
                        is not there

Meter:
  --version N           meter version 51..54 (default 53)
  --meter N             serial number asked by the authorization (default 1234567)
  --ident I             identifier asked by the authorization (default 1)
  --password P          write password 0..65535 (default 0)
  --kopecks             keep money in kopecks (default: rubles)
  --profile-points N    load-profile points recorded, 0..65535 (default 2976,
                        31 days of quarter hours)
  --state FILE          keep the configuration areas, passwords, identity,
                        money mode, clock offset and switches in FILE: read
                        at start (a damaged file stops the start with an
                        error), written after every change (whole or not at
                        all). Options given here win over the file.
  --log                 print every request and reply in hex on stderr

Faults (for testing clients):
  --fault-silent N|always   drop the next N requests unheard (or all)
  --fault-bad-crc N|always  spoil the check code of the next N replies (or all)
  --fault-split SIZE:MS     send replies in chunks of SIZE bytes, MS apart
  --fault-trailing HEX      send these bytes right after every reply (e.g. 00FF)
  --fault-refuse CODE[:SEL][=REASON]
                            refuse (reply code 1) requests with code CODE
                            instead of acting; SEL narrows it to an area (codes
                            6, 9) or a letter (codes 14, 17); REASON defaults
                            to 2; may be repeated. Example: 6:13=2
  --fault-slow-baud BAUD    send reply bytes at the pace of BAUD bit/s
  --fault-slow-gap MS       pause MS after every reply byte
  --fault-delay MS          wait MS before every reply
  --fault-version N         report version N in the authorization reply
  --fault-hangup-after N    TCP: after N more replies, close the connection
                            instead of sending the next one (once); the
                            emulator then connects again

Refusal reasons the meter gives itself: 1 wrong write password, 2 no such
command, area, index or letter, 3 already in that money mode, 4 statistics
are read-only and passwords write-only, 5 malformed request (length, seal of
the record, impossible clock, currency characters).
)";
}

}  // namespace sim5x
