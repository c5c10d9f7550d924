#pragma once
// What every command of ostrilon-cli shares: the command table and its
// entries, the words of the command line, argument checks and the result a
// command leaves for the output.
//
// The commands of the window's menu "Команда" that need no more than fixed
// words come from the core's command table (MeterCommands.cpp builds them);
// a feature adds its own commands as a table of its own, in a source file of
// its own, and one line in AllCommands(). The tables drive parsing, --help
// and the run.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "console/core/Operation.h"

namespace ostrilon_cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // a command or the connection failed
constexpr int kExitUsage = 2;   // wrong options or arguments

// Wrong options or arguments; an empty text asks for the usage (--help).
struct UsageError {
    std::string text;
};

// Insertion order kept: the fields come out in the order they were set.
using Json = nlohmann::ordered_json;

// What a command that ran leaves for the output.
struct Result {
    std::string text;              // its lines for the text output
    Json fields = Json::object();  // its fields of the JSON object
};

// A command as typed, checked and ready to run.
struct Call {
    std::string name;
    std::vector<std::string> args;  // as typed, for the output
    // Runs inside an open meter session; false when the meter did not do it
    // (the reason is the link's LastFailureText()).
    std::function<bool(console::core::OperationContext& ctx, Result& result)> run;
};

// The words after the options, taken by the commands one after another.
class Words {
public:
    explicit Words(std::vector<std::string> words) : words_(std::move(words)) {}
    bool Done() const { return next_ >= words_.size(); }
    // The next word, if any, without taking it.
    const std::string* Peek() const { return Done() ? nullptr : &words_[next_]; }
    std::string Next() { return words_[next_++]; }
    // The next n words as the arguments of command; UsageError when fewer are left.
    std::vector<std::string> Take(const std::string& command, std::size_t n);

private:
    std::vector<std::string> words_;
    std::size_t next_ = 0;
};

// An entry of the command table.
struct CommandEntry {
    std::string name;
    std::string arguments;  // as --help shows them ("" for none)
    std::string help;       // its lines in --help, '\n' between them
    // Takes the arguments from words into call.args, checks them and sets
    // call.run; UsageError for wrong ones.
    std::function<void(Words& words, Call& call)> bind;
};

// The tables of the features.
std::span<const CommandEntry> MeterCommands();

// Every command, in the order --help lists them.
const std::vector<const CommandEntry*>& AllCommands();
// The words as commands with their arguments, all checked; UsageError.
std::vector<Call> ParseCommands(const std::vector<std::string>& words);
// The lines of --help under "Commands:".
std::string CommandsHelp();

// --- argument helpers ---------------------------------------------------------

// A decimal or 0x-hexadecimal number up to max.
std::optional<unsigned long long> ParseNumber(const std::string& text, unsigned long long max);
// The number of text in min..max; UsageError "what: ожидается число от min до max, получено ...".
unsigned long long NumberArg(const std::string& what, const std::string& text, unsigned long long min,
                             unsigned long long max);
// "a, b или c", for the messages of a choice.
std::string Alternatives(const std::vector<std::string>& words);

// The value of word among choices; UsageError "what: ожидается a, b или c, получено ...".
template <class T>
T Choice(const std::string& what, const std::string& word, std::initializer_list<std::pair<const char*, T>> choices) {
    std::vector<std::string> names;
    for (const auto& [name, value] : choices) {
        if (word == name) return value;
        names.emplace_back(name);
    }
    throw UsageError{what + ": ожидается " + Alternatives(names) + ", получено \"" + word + "\""};
}

// --- output helpers ----------------------------------------------------------------

// Bytes in hexadecimal, two capitals each, separator between them.
std::string Hex(const std::uint8_t* data, int count, const char* separator);
// The line of a command that only has to succeed: "name args: ok".
bool Confirm(const Call& call, bool ok, Result& result);

}  // namespace ostrilon_cli
