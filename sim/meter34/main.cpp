// meter34-sim: a version 3/4 meter on a pseudo-terminal or a TCP port.
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <mutex>

#include "sim/meter34/CommandLine.h"
#include "sim/meter34/Emulator.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim34::CommandLine cl;
    std::string error;
    if (!sim34::ParseCommandLine(args, cl, error)) {
        std::cerr << "meter34-sim: " << error << "\nTry meter34-sim --help.\n";
        return 2;
    }
    if (cl.help) {
        std::cout << sim34::HelpText();
        return 0;
    }
    if (cl.trace) {
        static std::mutex traceMutex;
        cl.config.trace = [](const sim34::LogEntry& e) {
            std::lock_guard<std::mutex> lock(traceMutex);
            std::cerr << sim34::FormatLogEntry(e) << '\n';
        };
    }

    // The emulator's thread inherits this mask; the signals arrive in sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    sim34::Emulator emulator(cl.config);
    const bool started = cl.pty ? emulator.startPty(&error) : emulator.startTcp(cl.listenPort, &error);
    if (!started) {
        std::cerr << "meter34-sim: " << error << '\n';
        return 1;
    }
    if (cl.pty) std::cout << emulator.slavePath() << std::endl;
    else std::cout << "127.0.0.1:" << emulator.port() << std::endl;
    static const char* kFronts[] = {"direct", "PLC base station", "radio route"};
    std::cerr << "meter34-sim: meter " << cl.config.meterNumber << ", version " << cl.config.version << ", "
              << kFronts[static_cast<int>(cl.config.front)] << (cl.config.modem ? ", behind a modem" : "")
              << (cl.config.controller ? ", behind a controller" : "") << "; Ctrl+C stops it" << std::endl;

    int sig = 0;
    sigwait(&stopSignals, &sig);
    emulator.stop();
    return 0;
}
