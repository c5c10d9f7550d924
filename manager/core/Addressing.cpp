#include "Addressing.h"

#include "common/core/IniFile.h"

namespace manager::core {

bool PrepareAddressing(meter34::TMeterConnection& connection, const AddressingValues& values,
                       std::string& statusText) {
    if (!connection.IsOpen()) {
        statusText = "Подключение не установлено";
        return false;
    }
    long long number = 0;
    const bool blank = values.MeterNumEdit.find_first_not_of(" \t") == std::string::npos;
    if (!blank && !common::ParseDecimal(values.MeterNumEdit, number, 0, 0xFFFFFFFFLL)) {
        statusText = "Не указан номер счетчика";
        return false;
    }
    return connection.PrepareAddressing(static_cast<std::uint32_t>(number),
                                        static_cast<std::uint16_t>(values.MeterVersionEdit),
                                        values.AddrParametersEdit, statusText);
}

void ApplyExchange(meter34::TMeterConnection& connection, const ExchangeValues& values) {
    if (!connection.Link) return;
    connection.Link->TryCount = static_cast<std::uint32_t>(values.MaxTryCountEdit);
    connection.Link->Timeout = values.MaxTimeoutEdit;
    connection.Link->RetryPause = static_cast<std::uint32_t>(values.RetryIntervalEdit);
}

}  // namespace manager::core
