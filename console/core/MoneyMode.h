#pragma once
// The money unit of the labels that name amounts and prices. Prepayment
// amounts and tariff prices are kept by the meter in rubles or in kopecks
// (the money mode it reports at login, TCounterCommunication::RublesMode);
// the labels say which.

#include <array>
#include <string>

namespace console::core {

struct MoneyCaptionTexts {
    std::string MaxSum;      // maximum single load sum
    std::string AlarmDebit;  // warning debit
    std::string OffDebit;    // disconnection debit
    std::array<std::string, 4> Tariffs;  // "Тариф 1 (...)" .. "Тариф 4 (...)", the rows of both tariff groups
};

MoneyCaptionTexts MoneyCaptions(bool rubles);

}  // namespace console::core
