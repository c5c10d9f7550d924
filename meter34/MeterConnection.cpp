#include "MeterConnection.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "common/core/Timings.h"
#include "link/RS232Communication.h"
#include "link/TCPClientCommunication.h"

namespace meter34 {

const char* ConnectionTypeCaption(int type) {
    static constexpr const char* kCaptions[kConnectionTypeCount] = {
        "RS485/ОПТО/RF", "GSM-CSD", "PLC", "RF-Маршрутизация", "TCP-клиент", "TCP->PLC", "TCP->RF-Маршрутизация"};
    return type >= 0 && type < kConnectionTypeCount ? kCaptions[type] : "";
}

bool ParseInteger(const std::string& text, long long& out) {
    std::size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    if (b == e) return false;
    bool negative = false;
    if (text[b] == '-' || text[b] == '+') {
        negative = text[b] == '-';
        ++b;
    }
    if (b == e) return false;
    long long v = 0;
    for (std::size_t i = b; i < e; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        if (v > (LLONG_MAX - 9) / 10) return false;
        v = v * 10 + (text[i] - '0');
    }
    out = negative ? -v : v;
    return true;
}

bool EnterControllerMode(links::TCommunication& link, const std::string& password) {
    const std::string line = "SETTRANSPARENTMODE;" + password + "\r\n";
    link.Write(reinterpret_cast<const std::uint8_t*>(line.data()), static_cast<int>(line.size()));
    char answer[links::kLineBufferSize];
    int len = 0;
    if (!links::ReceiveLine(link, answer, len, common::timings().controllerLineMs)) return false;
    return std::strstr(answer, "DONE") != nullptr;
}

bool ExitControllerMode(links::TCommunication& link) {
    common::SleepMs(common::timings().controllerLogoutPauseMs);
    static constexpr char kLogout[] = "*****\r\n";
    link.Write(reinterpret_cast<const std::uint8_t*>(kLogout), 7);
    char answer[links::kLineBufferSize];
    // "ERROR" lines are skipped; a bounded number, so a chattering peer cannot hold us forever.
    for (int lines = 0; lines < 16; ++lines) {
        int len = 0;
        if (!links::ReceiveLine(link, answer, len, common::timings().controllerLineMs)) return false;
        if (std::strstr(answer, "DONE") != nullptr) return true;
        if (std::strstr(answer, "ERROR") == nullptr) return false;
    }
    return false;
}

bool TMeterConnection::Open(const ConnectionSettings& s) {
    Close();
    settings_ = s;
    ErrorText.clear();
    ControllerFailed = false;
    const int type = s.ConnectionType;
    if (type < 0 || type >= kConnectionTypeCount) {
        ErrorText = "Неизвестный тип подключения " + std::to_string(type);
        return false;
    }
    if (IsTcpType(type)) {
        auto tcp = std::make_unique<links::TTCPClient_Communication>();
        tcp->Port = s.PortSetting;
        tcp->Host = s.PhoneOrHost;
        Link = std::move(tcp);
    } else {
        long long baud = 0;
        // A hand-edited settings file may hold anything here: refuse before the port is touched.
        if (!ParseInteger(s.BaudRateText, baud) || baud <= 0 || baud > INT_MAX) {
            ErrorText = s.BaudRateText.empty() ? "Не указана скорость обмена"
                                               : "Скорость обмена «" + s.BaudRateText + "» не является числом";
            return false;
        }
        auto serial = std::make_unique<links::TRS232_Communication>();
        serial->PortNumber = s.PortSetting;
        serial->DevicePath = s.DevicePath;
        serial->BaudRate = static_cast<int>(baud);
        serial->PhoneNumber = type == kSerial ? std::string() : s.PhoneOrHost;
        Link = std::move(serial);
    }
    const bool ok = Link->Open();
    if (!ok) ErrorText = Link->LastError();

    if (IsPlcType(type)) Exchange = std::make_unique<TPLC_MeterExchange>(Link.get());
    else if (IsRouteType(type)) Exchange = std::make_unique<TRF_Route_MeterExchange>(Link.get());
    else Exchange = std::make_unique<TDirect_MeterExchange>(Link.get());

    if (ControllerPossible(type) && s.UseController) {
        ExitControllerMode(*Link);
        ControllerFailed = !EnterControllerMode(*Link, s.ControllerPassword);
        if (ControllerFailed && OnControllerFailed) OnControllerFailed();
        common::SleepMs(common::timings().controllerAfterLoginMs);
    }

    Meter = std::make_unique<TMeter>(Exchange.get());
    Link->TryCount = static_cast<std::uint32_t>(s.TryCount);
    Link->Timeout = s.Timeout;
    Link->RetryPause = static_cast<std::uint32_t>(s.RetryPause);
    if (!ok) {
        const std::string reason = ErrorText;
        Close();
        ErrorText = reason;
    }
    return ok;
}

bool TMeterConnection::Close() {
    if (!Meter) {
        // A half-built connection (link without meter) is still released.
        Exchange.reset();
        if (Link) Link->Close();
        Link.reset();
        return true;
    }
    if (Meter->SessionOpen) Meter->CloseSession();
    if (settings_.UseController && ControllerPossible(settings_.ConnectionType) && Link) ExitControllerMode(*Link);
    Meter.reset();
    Exchange.reset();
    Link->Close();
    Link.reset();
    return true;
}

bool TMeterConnection::PrepareAddressing(std::uint32_t meterNumber, std::uint16_t meterVersion,
                                         const std::string& addrParameters, std::string& statusText) {
    if (!Meter) return false;
    const int type = settings_.ConnectionType;
    if (NeedsMeterNumber(type) && meterNumber == 0) {
        statusText = "Не указан номер счетчика";
        return false;
    }
    Meter->MeterNumber = meterNumber;
    Meter->MeterVersion = meterVersion;
    if (IsPlcType(type)) {
        long long id = 0;
        if (!ParseInteger(addrParameters, id)) {
            statusText = "Укажите ID модема, к которому подключен прибор учета";
            return false;
        }
        static_cast<TPLC_MeterExchange*>(Exchange.get())->Destination = static_cast<std::uint16_t>(id & 0xFFFF);
    }
    if (IsRouteType(type)) {
        std::string route = addrParameters;
        const bool blank = route.find_first_not_of(" \t") == std::string::npos;
        route = blank ? std::to_string(meterNumber) : route + ";" + std::to_string(meterNumber);
        if (!static_cast<TRF_Route_MeterExchange*>(Exchange.get())->SetRoute(route)) {
            statusText = "Укажите маршрут из адресов счетчиков-ретрансляторов через разделитель ;";
            return false;
        }
    }
    return true;
}

}  // namespace meter34

namespace meter34 {

bool TMeterConnection::ListPlcMeters(const std::function<void(const std::string&)>& addLogLine) {
    if (!Meter || !IsPlcType(settings_.ConnectionType)) return false;
    auto* plc = static_cast<TPLC_MeterExchange*>(Exchange.get());
    Meter.reset();
    addLogLine("Получаем список счетчиков, подключенных к базовой станции");
    const std::uint16_t n = plc->GetModemCount();
    addLogLine("Зарегистрировано модемов в БС: " + std::to_string(n));
    for (std::uint16_t i = 0; i < n; ++i) {
        PLCNodeRecord record{};
        if (!plc->GetNodeInfo(i, record.data()) || record[20] == 0) continue;
        const std::uint16_t id = static_cast<std::uint16_t>(record[0] | (record[1] << 8));
        plc->Destination = id;
        TMeter probe(plc);
        MeterState state{};
        probe.GetState(state);
        addLogLine("ID/ZNum: " + std::to_string(id) + "/" + std::to_string(probe.MeterNumber));
    }
    Meter = std::make_unique<TMeter>(plc);
    addLogLine("Выполнено!");
    return true;
}

}  // namespace meter34
