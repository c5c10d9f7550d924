// Build + stuff + receive (assemble) of one million meter frames of 64
// payload bytes, the way a reply travels through the frame layer.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "meter34/MeterExchange.h"

int main() {
    using namespace meter34;
    constexpr int kFrames = 1000000;
    std::uint8_t payload[64];
    std::uint8_t frame[kFrameBufferSize], stuffed[kFrameBufferSize];
    DirectFrameAssembler a;
    long long delivered = 0;
    unsigned checksum = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) {
        for (int k = 0; k < 64; ++k) payload[k] = static_cast<std::uint8_t>(i + k * 7);  // some 7E/7D too
        const int n = BuildMeterFrame(12345, 4, static_cast<std::uint8_t>(0x80 | (i & 15)), 3, payload, 64, frame);
        const int s = StuffFrame(frame, n, stuffed);
        for (int k = 0; k < s; ++k) {
            if (a.push(stuffed[k]) == Push::Frame) {
                ++delivered;
                checksum += a.data()[10] + static_cast<unsigned>(CheckFcs16(a.data(), static_cast<std::size_t>(a.length() - 2)));
            }
        }
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%lld frames of 64 payload bytes in %.3f s: %.0f frames/s (check %u)\n", delivered, secs,
                static_cast<double>(delivered) / secs, checksum);
    return delivered == kFrames ? 0 : 1;
}
