// The commands of the menu "Команда" that fit the command line (from the
// core's table), and the tool's own: the clock set to a given time, any
// area record, the currency identifier.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "Cli.h"
#include "console/core/MeterCommands.h"

namespace ostrilon_cli {

namespace {

namespace core = console::core;
using core::OperationContext;

// --- the commands of the window's menu that fit the command line -------------------

std::vector<std::string> SplitWords(const char* text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// One command of the tool over the rows of the core's table that share its
// name; the words after it choose the row ("contactor off", "channel 2 on").
struct TableCommand {
    std::string name;
    std::vector<const core::CommandRow*> rows;
    std::size_t wordCount = 0;

    // "on|off|release", "1|2 on|off": the choices of each word in turn.
    std::string Arguments() const {
        std::string out;
        for (std::size_t i = 0; i < wordCount; ++i) {
            std::vector<std::string> seen;
            for (const core::CommandRow* r : rows) {
                const std::string w = SplitWords(r->cliWords)[i];
                if (std::find(seen.begin(), seen.end(), w) == seen.end()) seen.push_back(w);
            }
            if (i > 0) out += " ";
            for (std::size_t k = 0; k < seen.size(); ++k) out += (k > 0 ? "|" : "") + seen[k];
        }
        return out;
    }

    void Bind(Words& words, Call& call) const {
        call.args = words.Take(call.name, wordCount);
        std::string typed;
        for (const auto& a : call.args) typed += (typed.empty() ? "" : " ") + a;
        const core::CommandRow* row = nullptr;
        for (const core::CommandRow* r : rows)
            if (typed == r->cliWords) row = r;
        if (!row) {
            std::vector<std::string> choices;
            for (const core::CommandRow* r : rows) choices.emplace_back(r->cliWords);
            const std::string wanted = wordCount == 1 ? Alternatives(choices) : Arguments();
            throw UsageError{call.name + ": ожидается " + wanted + ", получено \"" + typed + "\""};
        }
        call.run = [row, call](OperationContext& ctx, Result& r) {
            core::CommandResult result;
            const bool ok = row->operation(ctx, result);
            if (row->reply != core::CommandReply::Clock) return Confirm(call, ok, r);
            if (!ok) return false;
            r.text = call.name + ": " + result.Clock.toIsoString() + "\n";
            r.fields["datetime"] = result.Clock.toIsoString();
            return true;
        };
    }
};

std::vector<TableCommand> TableCommands() {
    std::vector<TableCommand> out;
    for (const core::CommandRow& row : core::MeterCommandRows()) {
        if (!row.cliName) continue;
        auto it = std::find_if(out.begin(), out.end(), [&](const TableCommand& c) { return c.name == row.cliName; });
        if (it == out.end()) {
            out.push_back({row.cliName, {}, SplitWords(row.cliWords).size()});
            it = out.end() - 1;
        }
        it->rows.push_back(&row);
    }
    return out;
}

// --- the tool's own commands ------------------------------------------------------------

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
    call.run = [when](OperationContext& ctx, Result& r) {
        const auto t = when.isEmpty() ? common::DateTime::now() : when;
        const auto whole = common::DateTime::makeOrEmpty(t.year(), t.month(), t.day(), t.hour(), t.minute(), t.second());
        if (!core::WriteClock(ctx, whole)) return false;
        r.text = "set-datetime: " + whole.toIsoString() + "\n";
        r.fields["datetime"] = whole.toIsoString();
        return true;
    };
}

void BindReadArea(Words& words, Call& call) {
    call.args = words.Take(call.name, 2);
    const auto area = static_cast<std::uint8_t>(NumberArg("read-area CODE", call.args[0], 0, 255));
    const auto index = static_cast<std::uint16_t>(NumberArg("read-area INDEX", call.args[1], 0, 65535));
    call.run = [area, index](OperationContext& ctx, Result& r) {
        console::TCounterCommunication& meter = ctx.Link;
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

void BindCurrency(Words& words, Call& call) {
    call.args = words.Take(call.name, 1);
    const std::string code = call.args[0];
    const bool printable = code.size() == 3 && std::all_of(code.begin(), code.end(), [](unsigned char c) {
                               return c >= 0x20 && c < 0x7F;
                           });
    if (!printable) throw UsageError{"currency: нужны ровно три латинских символа или цифры, получено \"" + code + "\""};
    call.run = [code, call](OperationContext& ctx, Result& r) { return Confirm(call, core::WriteCurrency(ctx, code), r); };
}

// Each after the command it follows in --help.
struct OwnCommand {
    const char* after;
    CommandEntry entry;
};

const OwnCommand kOwnCommands[] = {
    {"datetime",
     {"set-datetime", "[YYYY-MM-DDTHH:MM:SS]", "set the meter clock (default: this computer's time)", BindSetDateTime}},
    {"set-datetime",
     {"read-area", "CODE INDEX",
      "read one area record (hex dump of its bytes);\nCODE 0..255 and INDEX 0..65535, decimal or 0x...", BindReadArea}},
    {"range", {"currency", "ABC", "set the three-character currency identifier", BindCurrency}},
};

}  // namespace

std::span<const CommandEntry> MeterCommands() {
    static const std::vector<CommandEntry> all = [] {
        std::vector<CommandEntry> out;
        for (const TableCommand& c : TableCommands()) {
            out.push_back({c.name, c.Arguments(), c.rows.front()->cliHelp,
                           [c](Words& words, Call& call) { c.Bind(words, call); }});
        }
        for (const OwnCommand& own : kOwnCommands) {
            auto at = std::find_if(out.begin(), out.end(), [&](const CommandEntry& e) { return e.name == own.after; });
            out.insert(at == out.end() ? at : at + 1, own.entry);
        }
        return out;
    }();
    return all;
}

}  // namespace ostrilon_cli
