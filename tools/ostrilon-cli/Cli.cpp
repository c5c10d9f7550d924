#include "Cli.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ostrilon_cli {

std::vector<std::string> Words::Take(const std::string& command, std::size_t n) {
    if (words_.size() - next_ < n) throw UsageError{command + ": не хватает аргументов"};
    std::vector<std::string> taken(words_.begin() + static_cast<long>(next_), words_.begin() + static_cast<long>(next_ + n));
    next_ += n;
    return taken;
}

const std::vector<const CommandEntry*>& AllCommands() {
    static const std::vector<const CommandEntry*> all = [] {
        std::vector<const CommandEntry*> out;
        for (const auto table : {MeterCommands()})
            for (const CommandEntry& c : table) out.push_back(&c);
        return out;
    }();
    return all;
}

std::vector<Call> ParseCommands(const std::vector<std::string>& words) {
    std::vector<Call> calls;
    Words w(words);
    while (!w.Done()) {
        Call call;
        call.name = w.Next();
        const CommandEntry* entry = nullptr;
        for (const CommandEntry* c : AllCommands())
            if (call.name == c->name) entry = c;
        if (!entry) throw UsageError{"неизвестная команда \"" + call.name + "\""};
        entry->bind(w, call);
        calls.push_back(std::move(call));
    }
    if (calls.empty()) throw UsageError{"не задана команда"};
    return calls;
}

std::string CommandsHelp() {
    // Name and arguments in the first 30 columns, the help from column 33.
    constexpr std::size_t kHelpColumn = 32;
    const std::string indent(kHelpColumn, ' ');
    std::string out;
    for (const CommandEntry* c : AllCommands()) {
        std::string head = "  " + c->name;
        if (!c->arguments.empty()) head += " " + c->arguments;
        if (head.size() + 2 <= kHelpColumn) head.resize(kHelpColumn, ' ');
        else head += "\n" + indent;
        out += head;
        for (char ch : c->help) {
            out += ch;
            if (ch == '\n') out += indent;
        }
        out += "\n";
    }
    return out;
}

std::optional<unsigned long long> ParseNumber(const std::string& text, unsigned long long max) {
    if (text.empty()) return std::nullopt;
    int base = 10;
    std::string digits = text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text.substr(2);
    }
    for (char c : digits)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return std::nullopt;
    errno = 0;
    const unsigned long long v = std::strtoull(digits.c_str(), nullptr, base);
    if (errno != 0 || v > max) return std::nullopt;
    return v;
}

unsigned long long NumberArg(const std::string& what, const std::string& text, unsigned long long min,
                             unsigned long long max) {
    const auto v = ParseNumber(text, max);
    if (!v || *v < min)
        throw UsageError{what + ": ожидается число от " + std::to_string(min) + " до " + std::to_string(max) +
                         ", получено \"" + text + "\""};
    return *v;
}

std::string Alternatives(const std::vector<std::string>& words) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) out += i + 1 == words.size() ? " или " : ", ";
        out += words[i];
    }
    return out;
}

std::string Hex(const std::uint8_t* data, int count, const char* separator) {
    std::string out;
    char buf[4];
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += separator;
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        out += buf;
    }
    return out;
}

bool Confirm(const Call& call, bool ok, Result& result) {
    std::string line = call.name;
    for (const auto& a : call.args) line += " " + a;
    result.text = line + ": ok\n";
    return ok;
}

}  // namespace ostrilon_cli
