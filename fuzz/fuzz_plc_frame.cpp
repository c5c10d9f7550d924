#include "meter34/MeterExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr std::uint8_t kLetters[3] = {0x68, 0x65, 0x69};
    meter34::PLCFrameAssembler a(kLetters[data[0] % 3]);
    for (std::size_t i = 1; i < size; ++i) {
        const auto r = a.push(data[i]);
        if (r == meter34::Push::Frame) {
            volatile std::uint8_t sink = 0;
            for (int k = 0; k < a.length(); ++k) sink = sink ^ a.data()[k];
        }
        if (r == meter34::Push::Reset) a.reset();
    }
    return 0;
}
