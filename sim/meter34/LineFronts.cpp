#include "sim/meter34/LineFronts.h"

#include <cctype>

namespace sim34 {

namespace {

// The modem waits this long after "+++" before it takes it as an escape;
// the computer expects the answer within a few hundred milliseconds.
constexpr auto kAfterEscape = std::chrono::milliseconds(50);
// Asterisks in transparent mode that nothing follows go on to the far side.
constexpr auto kStarHold = std::chrono::milliseconds(100);
constexpr std::size_t kMaxLine = 256;

void Text(Bytes& out, const char* s) {
    for (; *s; ++s) out.push_back(static_cast<std::uint8_t>(*s));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
    return s.substr(a, b - a);
}

}  // namespace

// ---- Hayes modem ----

void HayesModem::reset() {
    commandMode_ = true;
    inCall_ = false;
    echo_ = true;
    line_.clear();
    plus_ = 0;
}

void HayesModem::flushPluses(Bytes& data) {
    for (; plus_ > 0; --plus_) data.push_back('+');
}

void HayesModem::push(std::uint8_t b, Clock::time_point now, Bytes& data, Bytes& answer, std::vector<std::string>& lines) {
    const Clock::time_point before = lastByte_;
    lastByte_ = now;
    if (!commandMode_) {
        // Data mode: "+++" between two silences is the escape to command mode.
        if (b == '+') {
            if (plus_ == 0 && now - before < std::chrono::milliseconds(guard_)) {
                data.push_back(b);
                return;
            }
            if (plus_ < 3) {
                ++plus_;
                plusAt_ = now;
                return;
            }
        }
        flushPluses(data);
        data.push_back(b);
        return;
    }
    if (echo_) answer.push_back(b);
    if (b == '\r') {
        const std::string line = line_;
        line_.clear();
        // Anything before "AT" (a "+++" the modem did not take, noise) is not part of the command.
        const std::string up = Upper(line);
        const auto at = up.find("AT");
        if (at == std::string::npos) {
            if (!Trim(line).empty()) Text(answer, "\r\nERROR\r\n");
            return;
        }
        lines.push_back(line.substr(at));
        execute(up.substr(at + 2), answer);
        return;
    }
    if (b == '\n') return;
    if (line_.size() < kMaxLine) line_ += static_cast<char>(b);
}

void HayesModem::execute(const std::string& cmd, Bytes& answer) {
    std::size_t i = 0;
    while (i < cmd.size()) {
        const char c = cmd[i++];
        const auto digits = [&] {
            std::string d;
            while (i < cmd.size() && std::isdigit(static_cast<unsigned char>(cmd[i]))) d += cmd[i++];
            return d;
        };
        switch (c) {
            case 'D':
                // The rest of the line is the number; the far end answers at once.
                inCall_ = true;
                commandMode_ = false;
                plus_ = 0;
                ++calls_;
                Text(answer, "\r\nCONNECT 9600\r\n");
                return;
            case 'E':
                echo_ = digits() != "0";
                break;
            case 'H':
                digits();
                inCall_ = false;
                break;
            case 'O':
                digits();
                if (!inCall_) {
                    Text(answer, "\r\nNO CARRIER\r\n");
                    return;
                }
                commandMode_ = false;
                plus_ = 0;
                Text(answer, "\r\nCONNECT 9600\r\n");
                return;
            case 'Z':
                digits();
                inCall_ = false;
                echo_ = true;
                break;
            case '&':
                if (i < cmd.size()) ++i;
                digits();
                break;
            case '+':
            case '#':
                i = cmd.size();  // extended commands: accepted as they are
                break;
            case ' ':
                break;
            default:
                digits();
                break;
        }
    }
    Text(answer, "\r\nOK\r\n");
}

void HayesModem::tick(Clock::time_point now, Bytes& answer) {
    if (!commandMode_ && plus_ == 3 && now - lastByte_ >= kAfterEscape) {
        plus_ = 0;
        commandMode_ = true;
        line_.clear();
        Text(answer, "\r\nOK\r\n");
    }
}

std::optional<Clock::time_point> HayesModem::nextTimer() const {
    if (!commandMode_ && plus_ == 3) return lastByte_ + kAfterEscape;
    return std::nullopt;
}

void HayesModem::carrierLost(Bytes& answer) {
    inCall_ = false;
    commandMode_ = true;
    plus_ = 0;
    line_.clear();
    Text(answer, "\r\nNO CARRIER\r\n");
}

// ---- controller ----

void Controller::reset() {
    transparent_ = false;
    line_.clear();
    stars_ = 0;
}

void Controller::push(std::uint8_t b, Clock::time_point now, Bytes& data, Bytes& answer, std::vector<std::string>& lines) {
    if (transparent_) {
        // "*****" and a line end leave transparent mode; five asterisks inside
        // a frame are followed by other bytes and pass through.
        if (b == '*') {
            if (stars_ == 5) data.push_back('*');
            else ++stars_;
            lastStar_ = now;
            return;
        }
        if (stars_ == 5 && (b == '\r' || b == '\n')) {
            stars_ = 0;
            transparent_ = false;
            line_.clear();
            lines.push_back("*****");
            Text(answer, "\r\nDONE\r\n");
            return;
        }
        for (; stars_ > 0; --stars_) data.push_back('*');
        data.push_back(b);
        return;
    }
    if (b == '\r' || b == '\n') {
        const std::string line = Trim(line_);
        line_.clear();
        if (line.empty()) return;
        lines.push_back(line);
        command(line, answer);
        return;
    }
    // Frames sent before a login are no text: the controller drops what it has.
    if (b < 0x20 || b > 0x7E) {
        line_.clear();
        return;
    }
    if (line_.size() < kMaxLine) line_ += static_cast<char>(b);
}

void Controller::command(const std::string& line, Bytes& answer) {
    static const std::string kLogin = "SETTRANSPARENTMODE;";
    if (line.compare(0, kLogin.size(), kLogin) == 0) {
        if (line.substr(kLogin.size()) == password_) {
            transparent_ = true;
            stars_ = 0;
            ++logins_;
            Text(answer, "\r\nDONE\r\n");
        } else {
            Text(answer, "\r\nERROR\r\n");
        }
        return;
    }
    if (line.compare(0, 5, "*****") == 0) {
        Text(answer, "\r\nDONE\r\n");  // already out of transparent mode
        return;
    }
    Text(answer, "\r\nERROR\r\n");
}

void Controller::tick(Clock::time_point now, Bytes& data) {
    if (transparent_ && stars_ > 0 && now - lastStar_ >= kStarHold)
        for (; stars_ > 0; --stars_) data.push_back('*');
}

std::optional<Clock::time_point> Controller::nextTimer() const {
    if (transparent_ && stars_ > 0) return lastStar_ + kStarHold;
    return std::nullopt;
}

}  // namespace sim34
