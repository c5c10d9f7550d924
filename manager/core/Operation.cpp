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

}  // namespace manager::core
