// counter5x-sim: a prepayment meter of version 51..54 on a pseudo-terminal
// or as a TCP client of the console's server.
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/counter5x/Emulator.h"
#include "sim/counter5x/Options.h"

using namespace sim5x;

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty()) s += ' ';
        s += d[b >> 4];
        s += d[b & 15];
    }
    return s;
}

int Fail(const std::string& text) {
    std::cerr << "counter5x-sim: " << text << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions o;
    try {
        o = ParseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const OptionError& e) {
        std::cerr << "counter5x-sim: " << e.what() << "\nTry counter5x-sim --help\n";
        return 2;
    }
    if (o.help) {
        std::cout << HelpText();
        return 0;
    }

    StateData state;
    bool haveState = false;
    struct stat st {};
    if (!o.stateFile.empty() && ::stat(o.stateFile.c_str(), &st) == 0) {
        try {
            state = ReadStateFile(o.stateFile);
        } catch (const StateError& e) {
            return Fail(e.what());
        }
        haveState = true;
        if (state.version && !o.versionGiven) o.meter.version = state.version;
        if (state.version && state.version != o.meter.version)
            return Fail(o.stateFile + " keeps a version " + std::to_string(state.version) + " meter; --version " +
                        std::to_string(o.meter.version) + " does not fit it");
        if (state.clockOffsetMs) o.meter.clockOffsetMs = *state.clockOffsetMs;
        if (state.meter && !o.meterGiven) o.meter.meterNumber = *state.meter;
        // The command line wins over the file.
        if (o.meterGiven) state.meter.reset();
        if (o.identGiven) state.ident.reset();
        if (o.passwordGiven) state.password.reset();
        if (o.kopecksGiven) state.kopecks.reset();
    }

    // SIGINT and SIGTERM are taken by sigwait below; the fronts' threads
    // inherit the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    try {
        Emulator meter(o.meter, o.link);
        if (haveState) meter.applyState(state);
        // A password given here sets every entry of the password area.
        if (haveState && o.passwordGiven) meter.setPassword(o.meter.password);
        meter.setFaults(o.faults);
        if (!o.stateFile.empty()) {
            meter.setAutosave(o.stateFile);
            if (!meter.saveNow()) return Fail(meter.lastSaveError());
        }
        if (o.log)
            meter.setTrace([](const LogEntry& e) {
                const char* what = e.kind == LogEntry::Kind::Request ? "<- " : e.kind == LogEntry::Kind::Reply ? "-> " : "<- bad ";
                const char* where = e.front == Front::Pty ? "pty " : e.front == Front::Tcp ? "tcp " : "";
                std::cerr << where << what << Hex(e.bytes) << std::endl;
            });
        std::cerr << "counter5x-sim: meter " << meter.meterNumber() << ", identifier " << meter.ident() << ", version "
                  << meter.version() << ", write password " << meter.password() << ", money in "
                  << (meter.kopecks() ? "kopecks" : "rubles") << std::endl;
        if (o.pty) {
            const std::string path = meter.startPty();
            std::cout << path << std::endl;
        }
        if (!o.host.empty()) {
            meter.startTcpClient(o.host, o.port);
            std::cerr << "counter5x-sim: answering the server at " << o.host << ":" << o.port << std::endl;
        }
        int sig = 0;
        sigwait(&stopSignals, &sig);
        meter.stop();
        if (!o.stateFile.empty() && !meter.saveNow()) return Fail(meter.lastSaveError());
    } catch (const StateError& e) {
        return Fail(e.what());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
