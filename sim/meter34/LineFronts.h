#pragma once
// Devices that may sit on the line in front of the meters: a Hayes modem
// (dial-up data call) and a network controller with a transparent mode.
// Each takes the bytes from the computer one at a time, answers some of them
// itself and hands the rest on towards the meters.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim34 {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

class HayesModem {
public:
    explicit HayesModem(int guardMs) : guard_(guardMs) {}

    // One byte from the computer. Bytes for the far end go to data, the
    // modem's own answers (echo, result codes) to answer; lines holds the
    // command lines it executed, for the log.
    void push(std::uint8_t b, Clock::time_point now, Bytes& data, Bytes& answer, std::vector<std::string>& lines);
    // The escape completes after a short silence following "+++".
    void tick(Clock::time_point now, Bytes& answer);
    std::optional<Clock::time_point> nextTimer() const;

    // The call ends from the far side (or the line drops): "NO CARRIER".
    void carrierLost(Bytes& answer);
    void reset();

    bool inCall() const { return inCall_; }
    bool online() const { return inCall_ && !commandMode_; }
    std::uint64_t calls() const { return calls_; }

private:
    void execute(const std::string& line, Bytes& answer);
    void flushPluses(Bytes& data);

    int guard_;
    bool commandMode_ = true;
    bool inCall_ = false;
    bool echo_ = true;
    std::string line_;
    int plus_ = 0;                 // '+' of a possible escape held back
    Clock::time_point lastByte_{};
    Clock::time_point plusAt_{};
    std::uint64_t calls_ = 0;
};

class Controller {
public:
    explicit Controller(std::string password) : password_(std::move(password)) {}

    void push(std::uint8_t b, Clock::time_point now, Bytes& data, Bytes& answer, std::vector<std::string>& lines);
    // Asterisks held back in transparent mode go on when nothing follows them.
    void tick(Clock::time_point now, Bytes& data);
    std::optional<Clock::time_point> nextTimer() const;
    void reset();

    bool transparent() const { return transparent_; }
    std::uint64_t logins() const { return logins_; }

private:
    void command(const std::string& line, Bytes& answer);

    std::string password_;
    bool transparent_ = false;
    std::string line_;
    int stars_ = 0;
    Clock::time_point lastStar_{};
    std::uint64_t logins_ = 0;
};

}  // namespace sim34
