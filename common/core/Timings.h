#pragma once
// The fixed pauses of the programs, in milliseconds, gathered in one place.
//
// Real modems, controllers and meters need these pauses; the programs always
// use the values below. Tests may shorten them through timings() so that a
// dial-up or controller login does not take seconds, and nothing else may.

namespace common {

struct Timings {
    // Hayes modem on the serial link of the version 3/4 program.
    int modemSettleMs = 2000;       // before the first command of a dial-up
    int modemAfterHangupMs = 2000;  // after hanging up a call left over from before
    int modemCloseGuardMs = 1500;   // silence before "+++" when closing a call
    int modemCommandMs = 300;       // answer time of AT, ATE0, +++, ATH
    int modemConnectMs = 70000;     // answer time of ATD
    // Network controller in front of PLC and radio networks.
    int controllerLogoutPauseMs = 2000;
    int controllerAfterLoginMs = 3000;
    int controllerLineMs = 3000;
    // Operation runner: the operation starts this long after the dialog shows.
    int runnerStartMs = 1000;
    // Console (versions 51..54) links.
    int consoleSendPauseMs = 100;    // after sending a request
    int consolePollMs = 100;         // one poll of the serial frame receiver
    int consoleHangupGuardMs = 1500; // silence before "+++"
    int consoleTcpReplyMs = 5000;    // reply time of the TCP-server link
    int consoleModemPollMs = 100;    // one poll while a modem answer line is awaited
};

Timings& timings();

// Restores the defaults (for tests).
void ResetTimings();

}  // namespace common
