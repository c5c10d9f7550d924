#pragma once
// The serial line to an emulated meter of versions 3 and 4 (its
// pseudo-terminal at 9600 bit/s), with the exchange parameters a test wants.

#include <string>

#include "meter34/MeterConnection.h"

namespace testsupport {

inline meter34::ConnectionSettings EmulatorSerial(const std::string& device, int timeoutMs, int tries, int pauseMs) {
    meter34::ConnectionSettings s;
    s.ConnectionType = meter34::kSerial;
    s.DevicePath = device;
    s.BaudRateText = "9600";
    s.Timeout = timeoutMs;
    s.TryCount = tries;
    s.RetryPause = pauseMs;
    return s;
}

}  // namespace testsupport
