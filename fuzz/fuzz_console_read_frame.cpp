#include "console/link/FrameAssembly.h"
#include "console/link/Structures.h"

// Whatever arrives on the serial line, a delivered frame starts with 7E, is
// exactly L + 4 bytes with L <= 251, and carries a valid check code.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    console::SerialFrameAssembler a;
    for (std::size_t i = 0; i < size; ++i) {
        if (a.push(data[i]) != common::Push::Frame) continue;
        const std::uint8_t* f = a.Data();
        if (f[0] != 0x7E || f[1] > console::kMaxFrameData || a.Count() != f[1] + 4) __builtin_trap();
        if (console::FrameCRC8(f + 1, f[1] + 2u) != f[a.Count() - 1]) __builtin_trap();
    }
    return 0;
}
