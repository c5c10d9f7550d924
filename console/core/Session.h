#pragma once
// The session the console runs around every user operation: end any open
// session, authorize with the meter number and identifier, check the version
// 51..54, run the operation, end the session - also after a failed
// authorization or version check, and (as far as the port still works) after
// an error of the port, which is then raised again.

#include <cstdint>
#include <functional>
#include <string>

#include "console/link/CounterCommunication.h"

namespace console::core {

enum class SessionOutcome {
    Done,                 // the operation returned true
    OperationFailed,      // the operation returned false
    AuthorizationFailed,  // the meter did not accept number and identifier
    UnsupportedVersion,   // CounterVersion outside 51..54; the operation did not run
};

SessionOutcome WithSession(TCounterCommunication& link, std::uint32_t meterNumber, std::uint32_t identifier,
                           const std::function<bool()>& operation);

// The message of an outcome the session itself gives (the window shows it in
// an error box): the refused login names number and identifier, the version
// check names the version. Empty for Done and OperationFailed, whose messages
// belong to the operation.
std::string SessionFailureText(SessionOutcome outcome, std::uint32_t meterNumber, std::uint32_t identifier,
                               const TCounterCommunication& link);

}  // namespace console::core
