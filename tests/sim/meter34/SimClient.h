#pragma once
// A bare-bones client of a version 3/4 meter for the emulator's tests, built
// by hand over the codecs' checks (tests/support/MeterFrames.h), so the tests
// do not lean on the program's own receivers.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "meter34/CRCUtils.h"
#include "meter34/FCS16.h"
#include "tests/support/MeterFrames.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using meter34::Key4;

// Generous: the tests run on a loaded two-core machine.
constexpr int kReplyMs = 5000;

using frames34::Concat;

// A request frame, stuffed: payload = command bytes; the sum is appended and
// the whole payload enciphered when key is given.
inline Bytes Request(std::uint32_t number, std::uint16_t version, std::uint8_t packet, std::uint8_t type, Bytes payload,
                     const Key4* key = nullptr) {
    return frames34::Stuff(frames34::RequestFrame(number, version, packet, type, std::move(payload), key));
}

struct Reply {
    std::uint32_t number = 0;
    std::uint16_t version = 0;
    std::uint8_t packet = 0;
    bool replyBit = false;
    std::uint8_t type = 0;
    bool enciphered = false;
    bool checkOk = false;
    bool sumOk = false;
    Bytes payload;  // result code and data, deciphered, without the sum
    std::uint8_t result() const { return payload.empty() ? 0xFF : payload[0]; }
};

// Decodes one stuffed meter frame (start flag first).
inline std::optional<Reply> DecodeFrame(Bytes stuffed, const Key4* key = nullptr) {
    if (stuffed.empty() || stuffed[0] != 0x7E) return std::nullopt;
    stuffed = frames34::Unstuff(stuffed);
    const int n = static_cast<int>(stuffed.size());
    if (n < 12 || n != stuffed[1] + 12) return std::nullopt;
    Reply r;
    r.checkOk = meter34::CheckFcs16(stuffed.data(), static_cast<std::size_t>(n - 2));
    r.number = stuffed[2] | (stuffed[3] << 8) | (stuffed[4] << 16) | (static_cast<std::uint32_t>(stuffed[5]) << 24);
    r.version = static_cast<std::uint16_t>(stuffed[6] | (stuffed[7] << 8));
    r.packet = stuffed[8] & 0x0F;
    r.replyBit = (stuffed[8] & 0x80) != 0;
    r.type = stuffed[9] & 0x7F;
    r.enciphered = (stuffed[9] & 0x80) != 0;
    Bytes p(stuffed.begin() + 10, stuffed.begin() + 10 + stuffed[1]);
    if (r.enciphered && key && p.size() > 1) meter34::Cipher(p.data() + 1, p.size() - 1, *key);
    if (!p.empty()) {
        r.sumOk = meter34::Sum8(p.data(), p.size() - 1) == p.back();
        p.pop_back();
    }
    r.payload = p;
    return r;
}

// Splits a byte stream into the stuffed meter frames it holds.
inline std::vector<Bytes> SplitFrames(const Bytes& stream) {
    std::vector<Bytes> frames;
    std::size_t i = 0;
    while (i < stream.size()) {
        if (stream[i] != 0x7E) {
            ++i;
            continue;
        }
        // Unstuffed length L + 12; walk the stuffed bytes until it is reached.
        std::size_t j = i + 1, got = 1, want = 0;
        while (j < stream.size() && (want == 0 || got < want)) {
            std::uint8_t b = stream[j++];
            if (b == 0x7E) break;
            if (b == 0x7D) {
                if (j >= stream.size()) break;
                b = stream[j++] == 0x5E ? 0x7E : 0x7D;
            }
            if (got == 1) want = static_cast<std::size_t>(b) + 12;
            ++got;
        }
        if (want != 0 && got == want) frames.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(i),
                                                          stream.begin() + static_cast<std::ptrdiff_t>(j));
        i = j;
    }
    return frames;
}

// The session key and the AUTH_1 response for a challenge, as a client
// computes them.
inline Key4 SessionKey(const Bytes& challenge, std::uint32_t keyA) {
    Key4 k;
    for (int i = 0; i < 4; ++i) k.b[i] = challenge[static_cast<std::size_t>(i)];
    meter34::Cipher(k.b, 4, Key4::FromNumber(keyA));
    return k;
}

inline Bytes Response(const Key4& session, std::uint32_t keyB) {
    Key4 r = session;
    meter34::Cipher(r.b, 4, Key4::FromNumber(keyB));
    return Bytes(r.b, r.b + 4);
}

// The computer's end of the line: the emulator's pseudo-terminal or a TCP
// connection to it.
class Line {
public:
    static Line Serial(const std::string& path) {
        Line l;
        l.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (l.fd_ >= 0) {
            termios t{};
            ::tcgetattr(l.fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(l.fd_, TCSANOW, &t);
        }
        return l;
    }
    static Line Tcp(int port) {
        Line l;
        l.fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::connect(l.fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(l.fd_);
            l.fd_ = -1;
        }
        return l;
    }
    Line() = default;
    Line(Line&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Line& operator=(Line&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void write(const Bytes& b) {
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n = ::write(fd_, b.data() + done, b.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    void write(const std::string& s) { write(Bytes(s.begin(), s.end())); }

    // What arrives within ms; stops early once `until` says the bytes are enough.
    template <class Until>
    Bytes readUntil(int ms, Until until) {
        Bytes out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!until(out)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            std::uint8_t buf[512];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    Bytes read(int ms) {
        return readUntil(ms, [](const Bytes&) { return false; });
    }
    std::string readText(const std::string& needle, int ms = kReplyMs) {
        const Bytes b = readUntil(ms, [&](const Bytes& got) { return std::string(got.begin(), got.end()).find(needle) != std::string::npos; });
        return std::string(b.begin(), b.end());
    }
    // The bytes of `frames` complete meter frames (direct line).
    Bytes readFrames(std::size_t frames, int ms = kReplyMs) {
        return readUntil(ms, [&](const Bytes& got) { return SplitFrames(got).size() >= frames; });
    }
    // One envelope whose length the given function can tell from its first bytes.
    template <class Length>
    Bytes readEnvelope(Length length, int ms = kReplyMs) {
        return readUntil(ms, [&](const Bytes& got) {
            const std::size_t n = length(got);
            return n != 0 && got.size() >= n;
        });
    }

private:
    int fd_ = -1;
};

// A meter client on a direct line: packet numbers, session key, one request
// and its reply at a time.
class Client {
public:
    Client(Line& line, std::uint32_t number, std::uint16_t version = 4) : line_(line), number_(number), version_(version) {}

    std::optional<Reply> call(std::uint8_t type, const Bytes& command, bool encipher = false) {
        packet_ = static_cast<std::uint8_t>((packet_ + 1) & 0x0F);
        line_.write(Request(number_, version_, packet_, type, command, encipher ? &session_ : nullptr));
        const Bytes got = line_.readFrames(1, replyMs);
        const auto frames = SplitFrames(got);
        if (frames.empty()) return std::nullopt;
        return DecodeFrame(frames.front(), &session_);
    }
    std::uint8_t read(const Bytes& command) {
        const auto r = call(3, command, open_);
        last_ = r ? r->payload : Bytes{};
        return r ? r->result() : 0xFF;
    }
    std::uint8_t write(const Bytes& command) {
        const auto r = call(4, command, open_);
        last_ = r ? r->payload : Bytes{};
        return r ? r->result() : 0xFF;
    }
    const Bytes& last() const { return last_; }

    // The three session steps; the result code of the first step that fails
    // (0xFF: no answer), or 0.
    std::uint8_t open(int level, std::uint32_t password, std::uint32_t keyA, std::uint32_t keyB) {
        auto r = call(1, {0x00});
        if (!r) return 0xFF;
        if (r->result() != 0) return r->result();
        session_ = SessionKey(Bytes(r->payload.begin() + 2, r->payload.end()), keyA);
        r = call(1, Concat({{0x01}, Response(session_, keyB)}));
        if (!r) return 0xFF;
        if (r->result() != 0) return r->result();
        open_ = true;
        Bytes step = {0x02, static_cast<std::uint8_t>(level)};
        for (int i = 0; i < 4; ++i) step.push_back(static_cast<std::uint8_t>(password >> (8 * i)));
        r = call(1, step, true);
        if (!r) return 0xFF;
        return r->result();
    }
    std::uint8_t close() {
        open_ = false;
        // The close packet carries no command: its payload is the sum of nothing.
        packet_ = static_cast<std::uint8_t>((packet_ + 1) & 0x0F);
        line_.write(frames34::Stuff(frames34::MeterFrame(number_, version_, packet_, 2, {0x00})));
        const auto frames = SplitFrames(line_.readFrames(1, replyMs));
        if (frames.empty()) return 0xFF;
        const auto r = DecodeFrame(frames.front());
        return r ? r->result() : 0xFF;
    }
    std::uint8_t packet() const { return packet_; }
    int replyMs = kReplyMs;  // how long to wait for a reply

private:
    Line& line_;
    std::uint32_t number_;
    std::uint16_t version_;
    std::uint8_t packet_ = 0;
    Key4 session_;
    bool open_ = false;
    Bytes last_;
};

}  // namespace simtest
