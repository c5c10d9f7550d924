// The counter5x-sim program: prints its terminal on a line of its own,
// answers there, keeps its state file, and refuses bad starts.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/sim/counter5x/Wire.h"
#include "tests/support/Loopback.h"

extern char** environ;

namespace {

// The program as a child process with its stdout and stderr on pipes; killed
// and reaped when the test ends, whatever happens.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        args.insert(args.begin(), COUNTER5X_SIM_PROGRAM);
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }
    bool started() const { return pid_ > 0; }

    // One line of stdout (without its end), or what came before ms passed.
    std::string readLine(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (outText_.find('\n') == std::string::npos && pump(out_, outText_, deadline)) {
        }
        const auto nl = outText_.find('\n');
        std::string line = outText_.substr(0, nl);
        outText_.erase(0, nl == std::string::npos ? outText_.size() : nl + 1);
        return line;
    }
    // Sends a signal and waits for the exit status (-1 when it does not end in ms).
    int stop(int sig, int ms) {
        ::kill(pid_, sig);
        return wait(ms);
    }
    int wait(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (pump(out_, outText_, end) || pump(err_, errText_, end)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() > deadline) return -1;
            ::usleep(10000);
        }
    }
    const std::string& out() const { return outText_; }
    const std::string& err() const { return errText_; }

private:
    static bool pump(int fd, std::string& to, std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        to.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::string outText_, errText_;
};

struct TempDir {
    std::string path;
    TempDir() {
        char t[] = "/tmp/sim5x-prog-XXXXXX";
        path = ::mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

std::string ReadFile(const std::string& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

TEST(Sim5xProgram, PtyPrintsItsPathAndAnswers) {
    TempDir dir;
    const std::string state = dir.path + "/m.state";
    Child sim({"--pty", "--version", "51", "--meter", "42", "--ident", "7", "--password", "5", "--state", state});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine(20000);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "stdout: " << path;
    EXPECT_EQ(path.find(' '), std::string::npos);

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    wire::WriteAll(fd, wire::Auth(42, 7));
    const auto auth = wire::Parse(wire::ReadFrame(fd, 10000));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->code, 4);
    EXPECT_EQ(auth->data.at(0), '3');
    const wire::Key key = wire::KeyOf(*auth);
    wire::WriteAll(fd, wire::WriteArea(29, 0, 5, {12, 0, 0}, key));
    const auto written = wire::Parse(wire::ReadFrame(fd, 10000), key);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->code, 0);
    ::close(fd);

    EXPECT_EQ(sim.stop(SIGTERM, 20000), 0) << sim.err();
    const std::string saved = ReadFile(state);
    EXPECT_NE(saved.find("version 51\n"), std::string::npos);
    EXPECT_NE(saved.find("password 5\n"), std::string::npos);
    EXPECT_NE(saved.find("area 29 0 0C\n"), std::string::npos) << saved;

    // Started again on the same file, the meter still has it.
    Child again({"--pty", "--state", state});
    ASSERT_TRUE(again.started());
    EXPECT_EQ(again.readLine(20000).rfind("/dev/", 0), 0u);
    EXPECT_EQ(again.stop(SIGINT, 20000), 0) << again.err();
    EXPECT_NE(again.err().find("meter 42, identifier 7, version 51, write password 5"), std::string::npos) << again.err();
}

TEST(Sim5xProgram, ConnectAnswersTheServer) {
    testsupport::LoopbackServer server;
    Child sim({"--connect", "127.0.0.1:" + std::to_string(server.port()), "--fault-version", "55", "--kopecks"});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(server.accept(20000));
    server.send(wire::Auth(1234567, 1));
    const auto auth = wire::Parse(server.receive(10000, 12));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->code, 4);
    EXPECT_EQ(auth->data.at(0), 55);
    EXPECT_EQ(auth->data.at(7) & 0x02, 0x02);
    EXPECT_EQ(sim.stop(SIGTERM, 20000), 0) << sim.err();
    EXPECT_EQ(sim.out(), "");
}

TEST(Sim5xProgram, BadStartsEndWithAMessage) {
    TempDir dir;
    const std::string damaged = dir.path + "/bad.state";
    std::ofstream(damaged) << "counter5x-state 1\nvoltage 230\n";
    const std::string other = dir.path + "/v54.state";
    std::ofstream(other) << "counter5x-state 1\nversion 54\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--pty", "--version", "50"}, "--version"},
        {{"--meter", "1"}, "nothing to answer on"},
        {{"--pty", "--state", damaged}, damaged + ":2: unknown key \"voltage\""},
        {{"--pty", "--version", "53", "--state", other}, "version 54"},
    };
    for (const auto& [args, message] : cases) {
        Child sim(args);
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.wait(20000), 2) << message;
        EXPECT_NE(sim.err().find(message), std::string::npos) << sim.err();
        EXPECT_EQ(sim.out(), "");
    }
    EXPECT_EQ(ReadFile(damaged), "counter5x-state 1\nvoltage 230\n");  // left as it was
}

TEST(Sim5xProgram, HelpNamesEveryOptionAndDefault) {
    Child sim({"--help"});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.wait(20000), 0);
    for (const char* word : {"--pty", "--connect HOST:PORT", "--version N", "default 53", "--meter N", "default 1234567",
                             "--ident I", "(default 1)", "--password P", "(default 0)", "--kopecks", "--state FILE",
                             "--fault-silent", "--fault-bad-crc", "--fault-split", "--fault-trailing", "--fault-refuse",
                             "--fault-slow-baud", "--fault-slow-gap", "--fault-delay", "--fault-version", "--fault-hangup-after"})
        EXPECT_NE(sim.out().find(word), std::string::npos) << word;
}
