#include "Operation.h"

namespace manager::core {

std::string ResultText(const meter34::TMeter& meter) {
    std::uint8_t code = 0;
    std::string text;
    meter.GetResultText(code, text);
    return text;
}

bool OperationContext::Fail(const std::string& prefix) {
    StatusText = prefix + ResultText(Meter());
    return false;
}

bool OperationContext::Succeed(std::string text) {
    StatusText = std::move(text);
    return true;
}

bool OperationContext::ReadStructure(std::uint8_t number, std::uint16_t index, int size, std::uint8_t* data,
                                     const std::string& prefix) {
    int length = 0;
    if (!Meter().GetStruct(number, index, length, data)) return Fail(prefix);
    if (length < size) {
        StatusText = prefix + "неверная длина ответа (" + std::to_string(length) + " байт вместо " +
                     std::to_string(size) + ")";
        return false;
    }
    return true;
}

}  // namespace manager::core
