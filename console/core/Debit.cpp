#include "Debit.h"

namespace console::core {

std::optional<std::string> CurrencyOfDebitRecord(std::span<const std::uint8_t> record) {
    using namespace DebitRecord;
    if (record.size() < kCurrencyOffset + kCurrencyLength) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(record.data()) + kCurrencyOffset, kCurrencyLength);
}

}  // namespace console::core
