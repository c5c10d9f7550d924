#include "meter34/MeterExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    meter34::RFFrameAssembler a;
    for (std::size_t i = 0; i < size; ++i) {
        const auto r = a.push(data[i]);
        if (r == meter34::Push::Frame) {
            volatile std::uint8_t sink = 0;
            for (int k = 0; k < a.carriedLength(); ++k) sink = sink ^ a.carried()[k];
            if (a.carriedLength() < 0) __builtin_trap();
        }
        if (r == meter34::Push::Reset) a.reset();
    }
    return 0;
}
