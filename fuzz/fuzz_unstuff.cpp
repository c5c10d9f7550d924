#include <cstring>
#include <vector>

#include "meter34/MeterExchange.h"

// Unstuffing never grows a buffer, and stuffing its output gives it back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 600) return 0;
    std::vector<std::uint8_t> buf(data, data + size);
    int n = static_cast<int>(size);
    meter34::UnstuffFrame(buf.data(), n);
    if (n > static_cast<int>(size)) __builtin_trap();
    std::vector<std::uint8_t> again(2 * static_cast<std::size_t>(n) + 1);
    const int s = meter34::StuffFrame(buf.data(), n, again.data());
    std::vector<std::uint8_t> round(again.begin(), again.begin() + s);
    int m = s;
    meter34::UnstuffFrame(round.data(), m);
    if (m != n || (n > 0 && std::memcmp(round.data(), buf.data(), static_cast<std::size_t>(n)) != 0)) __builtin_trap();
    return 0;
}
