#include <cstring>

#include "meter34/MeterExchange.h"

// Whatever arrives on the line, a delivered frame is exactly L + 12 bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    meter34::DirectFrameAssembler a;
    for (std::size_t i = 0; i < size; ++i)
        if (a.push(data[i]) == meter34::Push::Frame && a.length() != a.data()[1] + meter34::kFrameOverhead)
            __builtin_trap();
    return 0;
}
