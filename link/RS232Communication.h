#pragma once
// Serial link, optionally through a Hayes modem that dials PhoneNumber.
//
// PortNumber maps to a device by common::SerialDevicePath; DevicePath, when
// set, names any device directly (a USB adapter, a pseudo-terminal).

#include <string>

#include "Communication.h"
#include "common/core/SerialPort.h"

namespace links {

using common::SerialDevicePath;

class TRS232_Communication : public TCommunication {
public:
    TRS232_Communication() = default;
    ~TRS232_Communication() override;

    int Handle = -1;             // file descriptor, -1 while closed
    std::int32_t PortNumber = 0;
    std::int32_t BaudRate = 9600;
    std::string PhoneNumber;     // empty: direct line; else Open dials it
    std::int32_t WatchCount = 0; // bytes of "NO CARRIER" seen in a row
    bool WatchArmed = false;
    std::string DevicePath;      // overrides PortNumber when not empty

    bool Open() override;
    bool Close() override;
    bool Write(const std::uint8_t* data, int count) override;
    bool Read(std::uint8_t* buffer, int& count) override;
    std::int32_t InQueue() override;
    void PurgeInput() override;
    void WaitReadable(common::Clock::time_point deadline) override;
    // Ten bits a byte (8N1) at BaudRate, rounded up.
    long long LineTimeMs(int count) const override;

    std::string Device() const { return DevicePath.empty() ? SerialDevicePath(PortNumber) : DevicePath; }

private:
    void Watch(std::uint8_t b);
};

}  // namespace links
