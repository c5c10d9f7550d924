#pragma once
// Command line of counter5x-sim.

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/counter5x/Emulator.h"

namespace sim5x {

struct OptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ProgramOptions {
    MeterSettings meter;
    // Which meter settings the command line named (they win over a state file).
    bool versionGiven = false, meterGiven = false, identGiven = false, passwordGiven = false, kopecksGiven = false;
    LinkSettings link;
    Faults faults;
    bool pty = false;
    std::string host;  // --connect, empty when not given
    int port = 0;
    std::string stateFile;
    bool log = false;
    bool help = false;
};

// Parses the arguments after the program name; throws OptionError.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string HelpText();

}  // namespace sim5x
