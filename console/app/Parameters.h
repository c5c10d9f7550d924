#pragma once
// TFrmParameters: the settings dialog "Параметры" - serial port number and
// speed, optionally any serial device by its path, and the port the TCP
// server listens on.

#include <QDialog>
#include <cstdint>
#include <string>

#include "common/core/SerialPort.h"
#include "console/link/TCPIPCommunication.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace console {

// Port settings kept in section "COMPORT" of the settings file.
struct PortSettings {
    static constexpr int kDefaultPortNumber = 1;
    static constexpr int kDefaultSpeed = 1200;

    int ComPortNumber = kDefaultPortNumber;  // "NUM": port n is the device common::SerialDevicePath(n)
    int ComPortSpeed = kDefaultSpeed;        // "SPEED", bit/s
    std::string ComPortDevice;               // "DEVICE": any device path; empty = by number
#ifndef OSTRILON_SERIAL_ONLY
    int TcpServerPort = TTCPIPCommunication::kDefaultPort;  // "TCPPORT", 1..65535
#endif
};

// Opens the port of the settings with open(number) or open(device path):
// the device when one is given, else the port number.
template <typename Open>
bool OpenConfiguredPort(const PortSettings& s, Open&& open) {
    if (!s.ComPortDevice.empty()) return open(s.ComPortDevice);
    // Numbers past 255 still follow the one rule for device names; 0 and
    // below are refused by the port with its own reason.
    if (s.ComPortNumber > 255) return open(common::SerialDevicePath(s.ComPortNumber));
    return open(static_cast<std::uint8_t>(s.ComPortNumber < 0 ? 0 : s.ComPortNumber));
}

class TFrmParameters : public QDialog {
    Q_OBJECT
public:
    explicit TFrmParameters(QWidget* parent = nullptr);

    // Fills the edits from the settings / stores their texts back; a text
    // that is not a number gives the setting's default.
    void LoadFrom(const PortSettings& s);
    void StoreTo(PortSettings& s) const;

    QGroupBox* ConnectionGroupBox;  // "Параметры подключения"
    QLineEdit* ComPortEdit;
    QLineEdit* COMPortSpeedEdit;
    QLineEdit* COMDeviceEdit;  // any serial device by path; overrides the number
#ifndef OSTRILON_SERIAL_ONLY
    QGroupBox* ModemGroupBox;
    QLineEdit* PhoneNumberEdit;  // dialing is not part of this program: shown disabled
    QGroupBox* ServerGroupBox;
    QLineEdit* TCPServerPortEdit;
#endif
    QPushButton* OKButton;
    QPushButton* CancelButton;
};

}  // namespace console
