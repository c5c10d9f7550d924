#include "Session.h"

#include "console/link/COMPort.h"

namespace console::core {

SessionOutcome WithSession(TCounterCommunication& link, std::uint32_t meterNumber, std::uint32_t identifier,
                           const std::function<bool()>& operation) {
    link.EndSession();
    SessionOutcome outcome;
    try {
        if (!link.Authorize(meterNumber, identifier)) {
            outcome = SessionOutcome::AuthorizationFailed;
        } else if (!TCounterCommunication::IsSupportedVersion(link.CounterVersion)) {
            outcome = SessionOutcome::UnsupportedVersion;
        } else {
            outcome = operation() ? SessionOutcome::Done : SessionOutcome::OperationFailed;
        }
    } catch (const ComPortError&) {
        // Close the session if the port still works; the first error is the one to report.
        try {
            link.EndSession();
        } catch (const ComPortError&) {
        }
        throw;
    }
    link.EndSession();
    return outcome;
}

std::string SessionFailureText(SessionOutcome outcome, std::uint32_t meterNumber, std::uint32_t identifier,
                               const TCounterCommunication& link) {
    switch (outcome) {
        case SessionOutcome::AuthorizationFailed:
            // Both numbers unsigned: an identifier above 2147483647 is shown as the meter has it.
            return "Ошибка подключения к счетчику зав.номер: " + std::to_string(meterNumber) +
                   "; идентификатор: " + std::to_string(identifier);
        case SessionOutcome::UnsupportedVersion:
            return "Текущая версия счетчика [v." + std::to_string(link.CounterVersion) +
                   "] не поддерживается программой";
        case SessionOutcome::Done:
        case SessionOutcome::OperationFailed:
            break;
    }
    return {};
}

}  // namespace console::core
