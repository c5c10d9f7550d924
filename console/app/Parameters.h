#pragma once
// TFrmParameters: the settings dialog "Параметры" - serial port number and
// speed, optionally any serial device by its path, and the port the TCP
// server listens on.

#include <QDialog>
#include <string>

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
