#include "sim/counter5x/StateFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/core/AtomicFile.h"

namespace sim5x {

namespace {

constexpr const char* kMagic = "counter5x-state";

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    std::size_t pos = 0;
    try {
        out = std::stoll(text, &pos, 10);
    } catch (...) {
        return false;
    }
    return pos == text.size() && out >= lo && out <= hi;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int h = nib(text[i]), l = nib(text[i + 1]);
        if (h < 0 || l < 0) return false;
        out.push_back(static_cast<std::uint8_t>(h * 16 + l));
    }
    return true;
}

}  // namespace

StateData ParseState(const std::string& text, const std::string& name) {
    StateData s;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool magic = false;
    auto error = [&](const std::string& what) { return StateError(name + ":" + std::to_string(number) + ": " + what); };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#') continue;
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        if (!magic) {
            if (key != kMagic || args.size() != 1 || args[0] != "1")
                throw error("not a counter5x-sim state file (the first line must be \"counter5x-state 1\")");
            magic = true;
            continue;
        }
        long long v = 0;
        auto one = [&](long long lo, long long hi) {
            if (args.size() != 1 || !ParseInt(args[0], lo, hi, v))
                throw error("\"" + key + "\" needs one number in " + std::to_string(lo) + ".." + std::to_string(hi));
            return v;
        };
        auto flag = [&]() { return one(0, 1) != 0; };
        if (key == "version") s.version = static_cast<int>(one(51, 54));
        else if (key == "meter") s.meter = static_cast<std::uint32_t>(one(0, 0xFFFFFFFFll));
        else if (key == "ident") s.ident = static_cast<std::uint32_t>(one(0, 0xFFFFFFFFll));
        else if (key == "password") s.password = static_cast<std::uint16_t>(one(0, 0xFFFF));
        else if (key == "kopecks") s.kopecks = flag();
        else if (key == "clock-offset-ms") s.clockOffsetMs = one(-(1ll << 50), 1ll << 50);
        else if (key == "card-mode") s.cardMode = flag();
        else if (key == "channel1") s.channel1 = flag();
        else if (key == "channel2") s.channel2 = flag();
        else if (key == "contactor") {
            if (args.size() == 1 && args[0] == "on") s.contactor = Contactor::On;
            else if (args.size() == 1 && args[0] == "off") s.contactor = Contactor::Off;
            else if (args.size() == 1 && args[0] == "released") s.contactor = Contactor::Released;
            else throw error("\"contactor\" is on, off or released");
        } else if (key == "currency") {
            if (args.size() != 1 || args[0].size() != 3) throw error("\"currency\" needs three characters");
            s.currency = args[0];
        } else if (key == "area") {
            long long code = 0, index = 0;
            StateData::Record r;
            if (args.size() != 3 || !ParseInt(args[0], 0, 255, code) || !ParseInt(args[1], 0, 65535, index) || !ParseHex(args[2], r.data))
                throw error("\"area\" needs an area code, an index and the record in hex digits");
            r.area = static_cast<std::uint8_t>(code);
            r.index = static_cast<std::uint16_t>(index);
            r.line = number;
            s.records.push_back(std::move(r));
        } else {
            throw error("unknown key \"" + key + "\"");
        }
    }
    if (!magic) throw StateError(name + ": empty, not a counter5x-sim state file");
    return s;
}

std::string FormatState(const StateData& s) {
    std::ostringstream o;
    o << kMagic << " 1\n";
    o << "# counter5x-sim: what the meter keeps between runs. Records are hex without their seal.\n";
    if (s.version) o << "version " << s.version << '\n';
    if (s.meter) o << "meter " << *s.meter << '\n';
    if (s.ident) o << "ident " << *s.ident << '\n';
    if (s.password) o << "password " << *s.password << '\n';
    if (s.kopecks) o << "kopecks " << (*s.kopecks ? 1 : 0) << '\n';
    if (s.clockOffsetMs) o << "clock-offset-ms " << *s.clockOffsetMs << '\n';
    if (s.cardMode) o << "card-mode " << (*s.cardMode ? 1 : 0) << '\n';
    if (s.contactor)
        o << "contactor " << (*s.contactor == Contactor::On ? "on" : *s.contactor == Contactor::Off ? "off" : "released") << '\n';
    if (s.channel1) o << "channel1 " << (*s.channel1 ? 1 : 0) << '\n';
    if (s.channel2) o << "channel2 " << (*s.channel2 ? 1 : 0) << '\n';
    if (s.currency) o << "currency " << *s.currency << '\n';
    static const char* digits = "0123456789ABCDEF";
    for (const auto& r : s.records) {
        o << "area " << static_cast<int>(r.area) << ' ' << r.index << ' ';
        for (std::uint8_t b : r.data) o << digits[b >> 4] << digits[b & 15];
        o << '\n';
    }
    return o.str();
}

StateData ReadStateFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw StateError(path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << f.rdbuf();
    if (f.bad()) throw StateError(path + ": read error");
    return ParseState(text.str(), path);
}

void WriteStateFile(const std::string& path, const StateData& state) {
    std::string error;
    if (!common::WriteFileAtomically(path, FormatState(state), error)) throw StateError(error);
}

}  // namespace sim5x
