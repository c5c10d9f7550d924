#pragma once
// The byte pipe between the version 3/4 program and a meter (or the modem,
// PLC base station, radio router or controller in front of it).
//
// All operations are synchronous and run on the calling thread. Waiting loops
// poll InQueue and, instead of sleeping a fixed millisecond, wait in the
// kernel until bytes arrive (WaitReadable); the time-outs stay as specified.

#include <cstdint>
#include <string>

#include "common/core/Wait.h"

namespace links {

class TCommunication {
public:
    TCommunication() = default;
    virtual ~TCommunication() = default;
    TCommunication(const TCommunication&) = delete;
    TCommunication& operator=(const TCommunication&) = delete;

    // Added to every reply time-out; a dial-up or TCP Open adds 20000.
    std::int32_t ExtraTimeout = 0;
    // Base reply time-out, ms.
    std::int32_t Timeout = 1000;
    // Tries of one request (the command layer uses the low 8 bits).
    std::uint32_t TryCount = 1;
    // Pause between two tries, ms.
    std::uint32_t RetryPause = 1;
    // The port or socket is open and must be released by Close.
    bool Opened = false;
    // The link can carry data; false once a transport error or a carrier loss was seen.
    bool Connected = false;

    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool Write(const std::uint8_t* data, int count) = 0;
    // Reads up to count bytes; callers ask for 1 byte after InQueue reported data.
    virtual bool Read(std::uint8_t* buffer, int& count) = 0;
    virtual std::int32_t InQueue() = 0;
    virtual void PurgeInput() = 0;

    // Blocks until bytes may be waiting or the deadline passes. Receive loops
    // call it where they would otherwise sleep; the event hook runs meanwhile.
    virtual void WaitReadable(common::Clock::time_point deadline);

    // How long count bytes take on the line at the link's speed, ms; 0 for a
    // link without a line speed of its own (TCP).
    virtual long long LineTimeMs(int count) const {
        (void)count;
        return 0;
    }

    // Human-readable reason of the last failed Open (empty when none).
    const std::string& LastError() const { return lastError_; }

protected:
    std::string lastError_;
};

// A link as the byte source of the shared receive loop
// (common/core/FrameReceive.h): one byte per Read, after InQueue reported
// data. A Read that reveals a lost link (the carrier watcher fires on the
// byte after "NO CARRIER") ends a frame receive without handing on its byte;
// a line receive still takes it, so the line "NO CARRIER" completes.
struct LinkSource {
    TCommunication& link;
    bool handOnLastByte = false;
    bool Alive() const { return link.Connected; }
    int Take(std::uint8_t* out, int /*max*/) {
        if (link.InQueue() <= 0) return 0;
        int n = 1;
        if (!link.Read(out, n) || n != 1) return 0;
        return link.Connected || handOnLastByte ? 1 : -1;
    }
    void Wait(common::Clock::time_point until) { link.WaitReadable(until); }
};

// A buffer for ReceiveLine: the longest line plus its terminating zero.
constexpr int kLineBufferSize = 2049;

// Receives one text line (ended by CR) within timeoutMs, restarted by every
// byte. On success buffer holds the line and a zero byte, length = line + 1.
bool ReceiveLine(TCommunication& link, char* buffer, int& length, int timeoutMs);

// Sends command as is and reports whether an answer line containing expected
// (upper case) arrived within timeoutMs; one echo of the command is skipped.
bool ModemCommand(TCommunication& link, const std::string& command, const std::string& expected,
                  int timeoutMs);

}  // namespace links
