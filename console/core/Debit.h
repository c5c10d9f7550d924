#pragma once
// The debit record (area 14, index 0, 16 bytes): current debit, remainder,
// the sum loaded from a card, the currency identifier and a flag, sealed.
// Here the part the menu "Команда" needs: the currency identifier.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace console::core {

namespace DebitRecord {
constexpr std::size_t kCurrencyOffset = 10;  // three characters
constexpr std::size_t kCurrencyLength = 3;
}  // namespace DebitRecord

// The three characters of the currency identifier, as the meter keeps them
// (bytes, not checked for letters); none when the record is too short to
// hold them - then it is no debit record.
std::optional<std::string> CurrencyOfDebitRecord(std::span<const std::uint8_t> record);

}  // namespace console::core
