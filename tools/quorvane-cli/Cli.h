#pragma once
// What every command of quorvane-cli shares: the two kinds of failure and
// their exit codes, argument parsing, output as lines or JSON, the session
// a command runs in, and the command table that features add their rows to
// (one Commands_<Feature>.cpp per feature, listed in Commands()).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "manager/core/Access.h"
#include "meter34/MeterConnection.h"

namespace qcli {

using common::DateTime;
using Args = std::vector<std::string>;

// Wrong options or arguments: exit code 2, found before the line is touched.
struct Usage {
    std::string text;
};
// A meter or link failure: exit code 1, the Russian reason on stderr.
struct Failure {
    std::string text;
};
[[noreturn]] void Bad(const std::string& text);

// ---- arguments ----

// A whole decimal number in lo..hi, or Usage naming what.
long long Integer(const std::string& text, const char* what, long long lo, long long hi);
// YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS, or Usage.
DateTime Date(const std::string& text);
// Hexadecimal bytes (blanks, ':' and '-' between them allowed), at most maxBytes.
std::vector<std::uint8_t> ParseHex(const std::string& text, std::size_t maxBytes);

// ---- output ----

std::string Hex(const std::uint8_t* p, int n);
// "YYYY-MM-DD HH:MM:SS".
std::string Text(const DateTime& t);

// One command's output: ordered fields and an optional table, printed as
// "key: value" lines and tab-separated rows, or as one JSON object.
class Output {
public:
    using Rows = std::vector<std::vector<std::string>>;
    Output(bool json, std::string command) : json_(json), command_(std::move(command)) {}
    void Field(const std::string& key, const std::string& value);
    void Number(const std::string& key, long long value);
    void Table(const std::string& key, Rows rows);
    // In the JSON object only (records: which record the NAME=VALUE lines are).
    void JsonField(const std::string& key, const std::string& value);
    // Lines as NAME=VALUE instead of "key: value".
    void Assignments() { separator_ = "="; }
    void Print() const;
    // The JSON line of a failed command (nothing in line mode: the reason goes to stderr).
    static void PrintFailure(bool json, const std::string& command, const std::string& text);

private:
    struct Item {
        std::string key, text;
        long long number;
        bool isNumber;
        bool jsonOnly = false;
    };
    bool json_;
    std::string command_;
    std::string separator_ = ": ";
    std::vector<Item> fields_;
    std::string tableKey_;
    Rows table_;
};

// ---- options and the session ----

struct Options {
    meter34::ConnectionSettings conn;
    std::uint32_t meter = 0;
    std::uint16_t version = 0;
    std::string addr;  // PLC modem ID or route
    bool haveAddr = false;
    int level = 1;
    std::int32_t password = 1, keyA = 1, keyB = 1;
    int extraTimeout = -1;  // -1: the link's own (20000 over TCP and dial-up)
    bool json = false;
};

// The open connection a command runs against.
class Session {
public:
    Session(const Options& options, meter34::TMeterConnection& connection) : options_(options), c_(connection) {}
    const Options& options() const { return options_; }
    meter34::TMeterConnection& connection() { return c_; }
    meter34::TMeter& meter() { return *c_.Meter; }

    // Throws the failure of the last request: prefix and the meter layer's
    // reason, or the lost-connection text when the link is gone.
    [[noreturn]] void Fail(const std::string& prefix);
    // Runs an operation of the window's core, inside an access session
    // (opened with --level --password --key-a --key-b, always closed again)
    // when withAccess; returns its result text, throws its failure.
    std::string Run(const manager::core::MeterOperation& operation, bool withAccess = false);
    // Runs a changing command inside an access session that is always closed
    // again; a failure throws with prefix.
    void WithAccess(const std::function<bool()>& op, const std::string& prefix);
    // The access fields the options give.
    manager::core::AccessValues Access() const;

private:
    const Options& options_;
    meter34::TMeterConnection& c_;
};

// ---- the command table ----

// What a command does against the meter, its arguments already checked.
using Action = std::function<void(Session&, Output&)>;

struct CommandRow {
    std::string name;
    int minArgs = 0;
    int maxArgs = 0;
    // Left column of --help ("energy TYPE TARIFF DATE SLICE"); empty when
    // another row's usage names this command too ("state | status").
    std::string usage;
    std::string help;
    // Checks the arguments (Usage on bad ones) and returns what runs later.
    std::function<Action(const Args&)> prepare;
    // Applies the meter's addressing (number, PLC modem or route) first.
    bool addressed = true;
    // Refuses a connection the command cannot run on (the usage error text), or "".
    std::function<std::string(const Options&)> refuse;
    // Options of this command alone, each with a value ("--csv FILE" or
    // "--csv=FILE"), taken after its arguments and handed to prepare as the
    // two words "--csv", "FILE" behind them.
    std::vector<std::string> ownOptions;

    // A row reads as one line of the table:
    //   Row("energy").Takes(4).Shown("energy TYPE TARIFF DATE SLICE", "one energy value (W*h)").Does(Energy)
    CommandRow& Takes(int min, int max = -1) {
        minArgs = min;
        maxArgs = max < 0 ? min : max;
        return *this;
    }
    CommandRow& Shown(std::string usageText, std::string helpText) {
        usage = std::move(usageText);
        help = std::move(helpText);
        return *this;
    }
    CommandRow& Does(std::function<Action(const Args&)> prepareStep) {
        prepare = std::move(prepareStep);
        return *this;
    }
    // A command without arguments: always the same action.
    CommandRow& Runs(Action action);
    CommandRow& Unaddressed() {
        addressed = false;
        return *this;
    }
    CommandRow& Refuses(std::function<std::string(const Options&)> check) {
        refuse = std::move(check);
        return *this;
    }
    CommandRow& Owns(std::vector<std::string> options) {
        ownOptions = std::move(options);
        return *this;
    }
};

inline CommandRow Row(std::string name) {
    CommandRow r;
    r.name = std::move(name);
    return r;
}


class CommandTable {
public:
    void Add(CommandRow row) { rows_.push_back(std::move(row)); }
    const CommandRow* Find(const std::string& name) const;
    const std::vector<CommandRow>& rows() const { return rows_; }
    // The "Commands:" lines of --help.
    std::string Help() const;

private:
    std::vector<CommandRow> rows_;
};

// Every command, in the order of --help.
const CommandTable& Commands();

// The rows of each feature (Commands_<Feature>.cpp).
void AddClockCommands(CommandTable& t);
void AddViewCommands(CommandTable& t);
void AddRecordCommands(CommandTable& t);
void AddParameterCommands(CommandTable& t);
void AddReadingCommands(CommandTable& t);
void AddStructureCommands(CommandTable& t);
void AddAdminCommands(CommandTable& t);
void AddPlcCommands(CommandTable& t);

// `get RECORD` of a record of the record table (Records.h), for commands
// that are older names of it.
Action GetRecord(const std::string& record);

// ---- the command line ----

struct PlannedCommand {
    const CommandRow* row;
    Args args;
    Action action;
};

struct CommandLine {
    Options options;
    std::vector<PlannedCommand> commands;
    bool help = false;  // --help: print Usage() and nothing else
};

// Parses everything (Usage on any error); nothing is opened.
CommandLine ParseCommandLine(int argc, char** argv);
// The text of --help.
std::string UsageText();

}  // namespace qcli
