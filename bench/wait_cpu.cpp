// CPU time spent by a frame receiver while a meter stays silent for 2 s,
// against the naive loop that polls the port every millisecond.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "link/RS232Communication.h"
#include "meter34/MeterExchange.h"
#include "tests/support/Pty.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <class F>
void Measure(const char* name, F&& wait) {
    const double c0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    wait();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - c0;
    std::printf("%-40s wall %.3f s, cpu %.4f s = %.2f%% of one core\n", name, wall, cpu, 100.0 * cpu / wall);
}

}  // namespace

int main() {
    testsupport::PtyPair pty;
    links::TRS232_Communication serial;
    serial.DevicePath = pty.slavePath();
    if (!serial.Open()) {
        std::fprintf(stderr, "cannot open %s\n", pty.slavePath().c_str());
        return 1;
    }
    serial.Timeout = 2000;
    Measure("ReceiveDirectFrame, silent 2 s", [&] {
        std::uint8_t buf[meter34::kFrameBufferSize];
        int len = 0;
        meter34::ReceiveDirectFrame(serial, buf, len);
    });
    Measure("baseline: InQueue + 1 ms sleep, 2 s", [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (serial.InQueue() > 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::printf("goal: under 1%% of one core for the receiver\n");
    return 0;
}
