#include "Communication.h"

#include "common/core/FrameReceive.h"

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

namespace {

// A text line ended by CR: leading control and 8-bit bytes are skipped, LF
// after text stays in the line, and a line longer than the buffer gives up.
class LineAssembler {
public:
    explicit LineAssembler(char* buffer) : buffer_(buffer) {}
    common::Push push(std::uint8_t b) {
        if (count_ == 0 && (b < 0x20 || b > 0x7F)) return common::Push::NeedMore;
        if (count_ > 0 && b == 0x0D) {
            buffer_[count_] = 0;
            return common::Push::Frame;
        }
        buffer_[count_++] = static_cast<char>(b);
        return count_ > kLineBufferSize - 1 ? common::Push::Reset : common::Push::NeedMore;
    }
    int count() const { return count_; }

private:
    char* buffer_;
    int count_ = 0;
};

}  // namespace

bool ReceiveLine(TCommunication& link, char* buffer, int& length, int timeoutMs) {
    LineAssembler line(buffer);
    LinkSource source{link, true};
    switch (common::ReceiveFrame(source, line, common::RestartedTimeout(timeoutMs))) {
        case common::Received::Frame: length = line.count() + 1; return true;
        case common::Received::Reset: length = 0; return false;
        default: return false;
    }
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
