#include "Cli.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

namespace qcli {

using namespace meter34;

void Bad(const std::string& text) { throw Usage{text}; }

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

std::vector<std::uint8_t> ParseHex(const std::string& text, std::size_t maxBytes) {
    std::string digits;
    for (char ch : text)
        if (!std::isspace(static_cast<unsigned char>(ch)) && ch != ':' && ch != '-') digits += ch;
    if (digits.size() % 2 != 0) Bad("HEX must have an even number of digits");
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned v = 0;
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) || !std::isxdigit(static_cast<unsigned char>(digits[i + 1])) ||
            std::sscanf(digits.c_str() + i, "%2x", &v) != 1)
            Bad("HEX: \"" + text + "\" is not hexadecimal");
        out.push_back(static_cast<std::uint8_t>(v));
    }
    if (out.size() > maxBytes) Bad("HEX: at most " + std::to_string(maxBytes) + " bytes");
    return out;
}

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

// ---- output ----

void Output::Field(const std::string& key, const std::string& value) { fields_.push_back({key, value, 0, false, false}); }

void Output::Number(const std::string& key, long long value) {
    fields_.push_back({key, std::to_string(value), value, true, false});
}

void Output::JsonField(const std::string& key, const std::string& value) {
    fields_.push_back({key, value, 0, false, true});
}

void Output::Table(const std::string& key, Rows rows) {
    tableKey_ = key;
    table_ = std::move(rows);
}

namespace {
// One JSON object per line; texts from a meter are never trusted to be UTF-8.
void PrintJson(const nlohmann::ordered_json& j) {
    std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    std::cout.flush();
}
}  // namespace

void Output::Print() const {
    if (json_) {
        nlohmann::ordered_json j;
        j["command"] = command_;
        j["ok"] = true;
        for (const auto& f : fields_) {
            if (f.isNumber) j[f.key] = f.number;
            else j[f.key] = f.text;
        }
        if (!tableKey_.empty()) j[tableKey_] = table_;
        PrintJson(j);
        return;
    }
    for (const auto& f : fields_)
        if (!f.jsonOnly) std::cout << f.key << separator_ << f.text << "\n";
    for (const auto& r : table_) {
        for (std::size_t k = 0; k < r.size(); ++k) std::cout << (k ? "\t" : "") << r[k];
        std::cout << "\n";
    }
    std::cout.flush();
}

void Output::PrintFailure(bool json, const std::string& command, const std::string& text) {
    if (!json) return;
    nlohmann::ordered_json j;
    j["command"] = command;
    j["ok"] = false;
    j["error"] = text;
    PrintJson(j);
}

// ---- the session ----

namespace {
constexpr char kLostLink[] = "Потеряно подключение! Необходимо переподключиться";
}

void Session::Fail(const std::string& prefix) {
    std::uint8_t code = 0;
    std::string text;
    c_.Meter->GetResultText(code, text);
    if (!c_.Link->Connected) throw Failure{kLostLink};
    throw Failure{prefix + text};
}

manager::core::AccessValues Session::Access() const {
    return {std::to_string(options_.level), std::to_string(options_.password), std::to_string(options_.keyA),
            std::to_string(options_.keyB)};
}

std::string Session::Run(const manager::core::MeterOperation& operation, bool withAccess) {
    // --tries, --timeout and --pause as the exchange values (a command that
    // changes the link's settings for one exchange restores them from here).
    const manager::core::ExchangeValues exchange{options_.conn.TryCount, options_.conn.Timeout,
                                                 options_.conn.RetryPause};
    manager::core::OperationContext ctx(c_, common::NoHooks(), common::Formats(), exchange);
    const bool ok = withAccess ? manager::core::WithAccess(ctx, Access(), operation) : operation(ctx);
    if (!ok) {
        if (!c_.Link->Connected) throw Failure{kLostLink};
        throw Failure{ctx.StatusText};
    }
    return ctx.StatusText;
}

void Session::WithAccess(const std::function<bool()>& op, const std::string& prefix) {
    Run([&](manager::core::OperationContext& ctx) { return op() || ctx.Fail(prefix); }, true);
}

// ---- the command table ----

CommandRow& CommandRow::Runs(Action action) {
    prepare = [action = std::move(action)](const Args&) { return action; };
    return *this;
}

const CommandRow* CommandTable::Find(const std::string& name) const {
    for (const auto& r : rows_)
        if (r.name == name) return &r;
    return nullptr;
}

std::string CommandTable::Help() const {
    std::string out = "Commands:\n";
    for (const auto& r : rows_) {
        if (r.usage.empty()) continue;
        // The help column starts after 25 characters, or after 37 for long usages.
        const std::size_t width = r.usage.size() < 25 ? 25 : 37;
        out += "  " + r.usage + std::string(width - std::min(width - 1, r.usage.size()), ' ') + r.help + "\n";
    }
    return out;
}

const CommandTable& Commands() {
    static const CommandTable table = [] {
        CommandTable t;
        AddClockCommands(t);
        AddViewCommands(t);
        AddRecordCommands(t);
        AddParameterCommands(t);
        AddReadingCommands(t);
        AddStructureCommands(t);
        AddAdminCommands(t);
        AddPlcCommands(t);
        return t;
    }();
    return table;
}

}  // namespace qcli
