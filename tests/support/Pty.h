#pragma once
// A pseudo-terminal pair for tests: the program under test opens slavePath()
// like a serial port; the test plays the device on the master side.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }

    void write(const std::vector<std::uint8_t>& bytes);
    void write(const std::string& text);
    // Reads what arrives within ms (stops early once `atLeast` bytes came).
    std::vector<std::uint8_t> read(int ms, std::size_t atLeast = SIZE_MAX);
    // Reads until the text contains needle or ms pass; returns all read.
    std::string readUntil(const std::string& needle, int ms);

private:
    int master_ = -1;
    int keepSlave_ = -1;  // keeps the slave side configured between opens
    std::string slavePath_;
};

}  // namespace testsupport
