#pragma once
// The page "Адресация и параметры доступа": which meter an operation
// addresses ("Адресация прибора учета") and how requests are exchanged
// ("Параметры обмена"); the access fields are in Access.h.

#include <string>

#include "meter34/MeterConnection.h"

namespace manager::core {

struct AddressingValues {
    std::string MeterNumEdit = "0";  // decimal, 32 bits
    int MeterVersionEdit = 0;        // hidden; 0..65535
    std::string AddrParametersEdit;  // "Доп. параметры": PLC modem ID or the route before the meter
};

struct ExchangeValues {
    static constexpr int kMaxTryCountMin = 1, kMaxTryCountMax = 255;
    static constexpr int kMaxTimeoutMin = 100, kMaxTimeoutMax = 600000;
    static constexpr int kRetryIntervalMin = 0, kRetryIntervalMax = 600000;
    int MaxTryCountEdit = 2;      // "Повторов"
    int MaxTimeoutEdit = 4000;    // "Таймаут, мс"
    int RetryIntervalEdit = 500;  // "Пауза", ms
};

// Applies the addressing fields to the connection's command object and
// envelope before an operation. false with the text to show in statusText
// ("Не указан номер счетчика", the PLC modem and route texts, or
// "Подключение не установлено" without a connection).
bool PrepareAddressing(meter34::TMeterConnection& connection, const AddressingValues& values,
                       std::string& statusText);

// Copies the exchange parameters into the connection's link.
void ApplyExchange(meter34::TMeterConnection& connection, const ExchangeValues& values);

}  // namespace manager::core
