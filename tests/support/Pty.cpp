#include "Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace testsupport {

PtyPair::PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    slavePath_ = ::ptsname(master_);
    // Raw mode on the slave so bytes pass unchanged even before the program opens it.
    keepSlave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(keepSlave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(keepSlave_, TCSANOW, &t);
}

PtyPair::~PtyPair() {
    if (keepSlave_ >= 0) ::close(keepSlave_);
    if (master_ >= 0) ::close(master_);
}

void PtyPair::write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) throw std::runtime_error("pty write failed");
        done += static_cast<std::size_t>(n);
    }
}

void PtyPair::write(const std::string& text) { write(std::vector<std::uint8_t>(text.begin(), text.end())); }

std::vector<std::uint8_t> PtyPair::read(int ms, std::size_t atLeast) {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < atLeast) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        std::uint8_t buf[512];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

std::string PtyPair::readUntil(const std::string& needle, int ms) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.find(needle) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        auto chunk = read(static_cast<int>(left), 1);
        if (chunk.empty()) break;
        out.append(chunk.begin(), chunk.end());
    }
    return out;
}

}  // namespace testsupport
