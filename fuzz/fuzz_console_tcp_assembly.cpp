#include "console/link/FrameAssembly.h"
#include "console/link/Structures.h"

// Chunks as a client socket delivers them: the first input byte of each
// chunk gives its length, and what follows a frame or a reset in a chunk is
// dropped, as the TCP link does. A delivered frame is exactly L + 4 bytes
// with L <= 251 and a valid check code, and the assembly never runs past its
// buffer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    console::TcpFrameAssembler a;
    std::size_t i = 0;
    while (i < size) {
        const std::size_t want = static_cast<std::size_t>(data[i++]) * 5 + 1;
        const std::size_t n = want < size - i ? want : size - i;
        for (std::size_t k = 0; k < n; ++k) {
            const common::Push step = a.push(data[i + k]);
            if (a.Count() < 0 || a.Count() > console::kMaxFrameLength) __builtin_trap();
            if (step == common::Push::NeedMore) continue;
            if (step == common::Push::Frame) {
                const std::uint8_t* f = a.Data();
                if (f[1] > console::kMaxFrameData || a.Count() != f[1] + 4) __builtin_trap();
                if (console::FrameCRC8(f + 1, f[1] + 2u) != f[a.Count() - 1]) __builtin_trap();
            }
            break;
        }
        i += n;
    }
    return 0;
}
