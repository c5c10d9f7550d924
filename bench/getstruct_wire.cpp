// 100 reads of structure 9 from the emulator pacing its bytes at 9600 bit/s
// over a pseudo-terminal: how much the client adds to the line's own time.
#include <chrono>
#include <cstdio>

#include "meter34/MeterConnection.h"
#include "sim/meter34/Emulator.h"

int main() {
    sim34::Emulator emu;
    std::string error;
    if (!emu.startPty(&error)) {
        std::fprintf(stderr, "emulator: %s\n", error.c_str());
        return 1;
    }
    emu.setBaud(9600);
    meter34::ConnectionSettings s;
    s.DevicePath = emu.slavePath();
    s.BaudRateText = "9600";
    meter34::TMeterConnection conn;
    std::string status;
    if (!conn.Open(s) || !conn.PrepareAddressing(12345, 4, "", status)) {
        std::fprintf(stderr, "connection: %s%s\n", conn.ErrorText.c_str(), status.c_str());
        return 1;
    }
    emu.clearLog();
    const auto in0 = emu.counters().bytesIn, out0 = emu.counters().bytesOut;
    constexpr int kReads = 100;
    std::uint8_t data[256];
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kReads; ++i) {
        int len = 0;
        if (!conn.Meter->GetStruct(9, static_cast<std::uint16_t>(i % 12), len, data) || len != 50) {
            std::fprintf(stderr, "read %d failed: %s\n", i, meter34::TMeter::ResultText(conn.Meter->ResultCode).c_str());
            return 1;
        }
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const auto c = emu.counters();
    const double in = static_cast<double>(c.bytesIn - in0), out = static_cast<double>(c.bytesOut - out0);
    const double wireBoth = (in + out) * 10.0 / 9600.0, wireReplies = out * 10.0 / 9600.0;
    std::printf("%d GetStruct(9) reads: %.0f request bytes, %.0f reply bytes, %.3f s in all\n", kReads, in, out, total);
    std::printf("wire time of all bytes at 9600 bit/s: %.3f s -> ratio %.3f (goal < 1.10)\n", wireBoth, total / wireBoth);
    std::printf("wire time of the replies alone (the pseudo-terminal carries requests instantly): %.3f s -> ratio %.3f\n",
                wireReplies, total / wireReplies);
    return 0;
}
