#pragma once
// Builds and tears down one connection to a meter of versions 3 and 4: the
// link (serial, dial-up or TCP client), the exchange envelope (direct, PLC,
// radio route) and the command object, with the optional login to a network
// controller in front of PLC and radio networks. Used by the main window and
// by the command-line tool alike.

#include <functional>
#include <memory>
#include <string>

#include "MeterExchange.h"
#include "MeterNew.h"
#include "link/Communication.h"

namespace meter34 {

// The connection types, in the order the connection dialog lists them.
enum ConnectionType : int {
    kSerial = 0,      // "RS485/ОПТО/RF"
    kGsmCsd = 1,      // "GSM-CSD"
    kPlc = 2,         // "PLC"
    kRfRoute = 3,     // "RF-Маршрутизация"
    kTcpClient = 4,   // "TCP-клиент"
    kTcpPlc = 5,      // "TCP->PLC"
    kTcpRfRoute = 6,  // "TCP->RF-Маршрутизация"
};
constexpr int kConnectionTypeCount = 7;
const char* ConnectionTypeCaption(int type);

inline bool IsTcpType(int t) { return t >= kTcpClient && t <= kTcpRfRoute; }
inline bool IsPlcType(int t) { return t == kPlc || t == kTcpPlc; }
inline bool IsRouteType(int t) { return t == kRfRoute || t == kTcpRfRoute; }
// Types on which a network controller may sit in front of the meters.
inline bool ControllerPossible(int t) { return IsPlcType(t) || IsRouteType(t); }
// Types whose meter number must not be 0.
inline bool NeedsMeterNumber(int t) { return t == kSerial || IsRouteType(t); }

struct ConnectionSettings {
    int ConnectionType = kSerial;
    int PortSetting = 1;              // serial port number, or TCP port
    std::string DevicePath;           // serial device by path; wins over PortSetting when set
    std::string BaudRateText = "1200";
    std::string PhoneOrHost;          // phone number (types 1..3) or IPv4 address (types 4..6)
    bool UseController = false;
    std::string ControllerPassword = "580274613";
    // Exchange parameters ("Повторов", "Таймаут, мс", "Пауза").
    int TryCount = 2;
    int Timeout = 4000;
    int RetryPause = 500;
};

// Controller login and logout over any link.
bool EnterControllerMode(links::TCommunication& link, const std::string& password);
bool ExitControllerMode(links::TCommunication& link);

class TMeterConnection {
public:
    TMeterConnection() = default;
    ~TMeterConnection() { Close(); }
    TMeterConnection(const TMeterConnection&) = delete;
    TMeterConnection& operator=(const TMeterConnection&) = delete;

    // Builds link, exchange and meter and opens the link. On failure
    // everything is freed again and ErrorText says why. ControllerFailed tells
    // whether the controller login was refused (the connection still proceeds).
    bool Open(const ConnectionSettings& settings);
    // Closes the session if open, logs out of the controller, frees meter,
    // exchange and link in that order. Always true.
    bool Close();

    bool IsOpen() const { return Meter != nullptr; }
    const ConnectionSettings& Settings() const { return settings_; }

    std::unique_ptr<links::TCommunication> Link;
    std::unique_ptr<TMeterExchange> Exchange;
    std::unique_ptr<TMeter> Meter;

    std::string ErrorText;
    bool ControllerFailed = false;
    // Called at once when the controller refuses the login (before the pause
    // that follows it), so a window can say so while the connection goes on.
    std::function<void()> OnControllerFailed;

    // Applies the addressing of one operation: meter number and version, and
    // the PLC modem ID or the radio route ("Доп. параметры"). false with the
    // text to show in statusText when the fields do not make an address.
    bool PrepareAddressing(std::uint32_t meterNumber, std::uint16_t meterVersion,
                           const std::string& addrParameters, std::string& statusText);

    // Lists the meters behind a PLC base station, one log line each; the
    // connection goes on with a fresh command object. PLC types only.
    bool ListPlcMeters(const std::function<void(const std::string&)>& addLogLine);

private:
    ConnectionSettings settings_;
};

// Parses a whole decimal integer (blanks around it allowed) into out.
bool ParseInteger(const std::string& text, long long& out);

}  // namespace meter34
