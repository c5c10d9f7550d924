#pragma once
// A program started by a test (an emulator, a command-line tool), with its
// standard output and error read through pipes. The destructor ends it
// (SIGTERM, then SIGKILL) and reaps it, so no process outlives the test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testchild {

class Child {
public:
    explicit Child(const std::vector<std::string>& argv) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, args[0], &fa, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (Wait(5000) == kStillRunning) {
                ::kill(pid_, SIGKILL);
                Wait(-1);
            }
        }
        ::close(out_);
        ::close(err_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    static constexpr int kStillRunning = -1000;
    pid_t Pid() const { return pid_; }

    // Waits up to ms (-1: no limit) for the exit; the exit code, or
    // kStillRunning. Output is collected meanwhile.
    int Wait(int ms) {
        if (pid_ <= 0) return status_;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 1000000000 : ms);
        for (;;) {
            int st = 0;
            const pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                DrainToEnd();
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return status_;
            }
            if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
            Drain(20);
        }
    }
    // Reads standard output until it holds a complete line; the line (without
    // its end), or empty after ms.
    std::string ReadLine(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto nl = out.find('\n', taken_);
            if (nl != std::string::npos) {
                std::string line = out.substr(taken_, nl - taken_);
                taken_ = nl + 1;
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return {};
            Drain(static_cast<int>(std::min<long long>(left, 50)));
        }
    }

    std::string out;  // all standard output read so far
    std::string err;  // all standard error read so far

private:
    void Drain(int ms) {
        pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (::poll(p, 2, ms) <= 0) return;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
            if (n > 0) (i == 0 ? out : err).append(buf, static_cast<std::size_t>(n));
        }
    }

    // After the exit: everything still in the pipes (a grandchild holding
    // them open cannot keep this waiting for long).
    void DrainToEnd() {
        bool open[2] = {true, true};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        char buf[4096];
        while ((open[0] || open[1]) && std::chrono::steady_clock::now() < deadline) {
            pollfd p[2] = {{open[0] ? out_ : -1, POLLIN, 0}, {open[1] ? err_ : -1, POLLIN, 0}};
            if (::poll(p, 2, 100) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!open[i] || !(p[i].revents & (POLLIN | POLLHUP))) continue;
                const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
                if (n > 0) (i == 0 ? out : err).append(buf, static_cast<std::size_t>(n));
                else open[i] = false;
            }
        }
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = kStillRunning;
    std::size_t taken_ = 0;
};

}  // namespace testchild
