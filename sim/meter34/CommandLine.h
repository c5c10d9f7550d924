#pragma once
// Options of the meter34-sim program.

#include <string>
#include <vector>

#include "sim/meter34/SimTypes.h"

namespace sim34 {

struct CommandLine {
    Config config;
    bool pty = false;
    int listenPort = -1;  // -1: not given
    bool trace = false;
    bool help = false;
};

// Parses the arguments after the program name. False with a message on a
// bad option (the program then exits with code 2).
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

std::string HelpText();

// One log entry as a line of text for --trace.
std::string FormatLogEntry(const LogEntry& e);

}  // namespace sim34
