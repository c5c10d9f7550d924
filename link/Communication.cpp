#include "Communication.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace links {

void TCommunication::WaitReadable(common::Clock::time_point deadline) {
    // Transports without a descriptor: the classic short sleep.
    const auto until = std::min(deadline, common::Clock::now() + std::chrono::milliseconds(1));
    std::this_thread::sleep_until(until);
    common::ProcessPendingEvents();
}

bool ReceiveLine(TCommunication& link, char* buffer, int& length, int timeoutMs) {
    auto deadline = common::DeadlineAfter(timeoutMs);
    int i = 0;
    while (!common::Passed(deadline)) {
        if (!link.Connected) return false;
        while (link.InQueue() > 0) {
            std::uint8_t b = 0;
            int n = 1;
            if (!link.Read(&b, n)) break;
            deadline = common::DeadlineAfter(timeoutMs);
            if (i == 0 && (b < 0x20 || b > 0x7F)) continue;  // leading CR, LF and 8-bit noise
            if (i > 0 && b == 0x0D) {
                buffer[i] = 0;
                length = i + 1;
                return true;
            }
            buffer[i++] = static_cast<char>(b);
            if (i > kLineBufferSize - 1) {
                length = 0;
                return false;
            }
        }
        link.WaitReadable(deadline);
    }
    return false;
}

namespace {
std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
std::string TrimControls(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}
}  // namespace

bool ModemCommand(TCommunication& link, const std::string& command, const std::string& expected,
                  int timeoutMs) {
    link.Write(reinterpret_cast<const std::uint8_t*>(command.data()), static_cast<int>(command.size()));
    const std::string echo = Upper(TrimControls(command));
    char line[kLineBufferSize];
    for (int k = 0; k < 2; ++k) {
        int len = 0;
        if (!ReceiveLine(link, line, len, timeoutMs)) return false;
        const std::string text = Upper(std::string(line, std::min(len - 1, 256)));
        if (text.find(expected) != std::string::npos) return true;
        if (text != echo) return false;
    }
    return false;
}

}  // namespace links
