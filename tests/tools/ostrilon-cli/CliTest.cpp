// ostrilon-cli as a user runs it, against the emulator program: every
// command over a pseudo-terminal and over TCP, text and JSON output, exit
// codes of failures and of wrong options.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>

#include "tests/console/link/MeterSide.h"
#include "tests/support/Child.h"
#include "tests/support/Loopback.h"

using testchild::Child;

namespace {

const std::vector<std::string> kEveryCommand = {
    "set-datetime", "2024-02-29T13:05:07", "datetime", "read-area", "3", "0", "card-mode", "contactor", "off",
    "contactor", "on", "contactor", "release", "range", "kopecks", "range", "rubles", "range", "rubles",
    "currency", "BYN", "channel", "1", "on", "channel", "1", "off", "channel", "2", "on", "channel", "2", "off",
};
constexpr int kCommandCount = 15;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), OSTRILON_CLI);
    return args;
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The emulator program on a pseudo-terminal; its path is Path().
struct PtySim {
    explicit PtySim(std::vector<std::string> extra = {}) : sim(With({COUNTER5X_SIM, "--pty"}, extra)) {
        path = sim.ReadLine(20000);
        EXPECT_FALSE(path.empty()) << sim.err;
    }
    Child sim;
    std::string path;
};

int RunToEnd(Child& c) {
    const int rc = c.Wait(120000);
    EXPECT_NE(rc, Child::kStillRunning) << c.out << c.err;
    return rc;
}

// Waits until the program has written text to its standard error.
bool SaidOnErr(Child& c, const std::string& text, int ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (c.err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || c.Wait(50) != Child::kStillRunning) return false;
    }
    return true;
}

// ostrilon-cli as the TCP server on a free loopback port, waiting for the
// meter side; Connect() starts the emulator program as that meter side.
struct Server {
    explicit Server(const std::vector<std::string>& commands, const std::string& wait = "60")
        : port(testsupport::UnusedLoopbackPort()),
          cli(Cli(With({"--listen", std::to_string(port), "--address", "127.0.0.1", "--wait", wait, "--meter", "1234567",
                        "--ident", "1", "--json"},
                       commands))) {
        EXPECT_TRUE(SaidOnErr(cli, "ожидаю подключения")) << cli.err;
    }
    void Connect(std::vector<std::string> simArgs = {}) {
        sim = std::make_unique<Child>(With({COUNTER5X_SIM, "--connect", "127.0.0.1:" + std::to_string(port)}, simArgs));
    }
    int port;
    Child cli;
    std::unique_ptr<Child> sim;
};

}  // namespace

TEST(OstrilonCli, EveryCommandOverASerialLine) {
    PtySim sim;
    Child cli(Cli(With({"--serial", sim.path, "--baud", "9600", "--meter", "1234567", "--ident", "1"}, kEveryCommand)));
    ASSERT_EQ(RunToEnd(cli), 0) << cli.out << cli.err;
    const auto lines = Lines(cli.out);
    ASSERT_GE(lines.size(), static_cast<std::size_t>(kCommandCount));
    EXPECT_EQ(lines[0], "set-datetime: 2024-02-29T13:05:07");
    EXPECT_EQ(lines[1].rfind("datetime: 2024-02-29T13:05:", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("read-area 3 0: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("0000: ", 0), 0u) << lines[3];
    EXPECT_NE(cli.out.find("card-mode: ok\n"), std::string::npos);
    EXPECT_NE(cli.out.find("contactor release: ok\n"), std::string::npos);
    EXPECT_NE(cli.out.find("currency BYN: ok\n"), std::string::npos);
    EXPECT_NE(cli.out.find("channel 2 off: ok\n"), std::string::npos);
}

TEST(OstrilonCli, EveryCommandAsTheTcpServerWithJson) {
    const int port = testsupport::UnusedLoopbackPort();
    Child cli(Cli(With({"--listen", std::to_string(port), "--address", "127.0.0.1", "--wait", "60", "--meter", "7654321",
                        "--ident", "9", "--json"},
                       kEveryCommand)));
    Child sim({COUNTER5X_SIM, "--connect", "127.0.0.1:" + std::to_string(port), "--meter", "7654321", "--ident", "9",
               "--version", "54", "--kopecks"});
    ASSERT_EQ(RunToEnd(cli), 0) << cli.out << cli.err << sim.err;
    const auto lines = Lines(cli.out);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kCommandCount)) << cli.out;
    for (const auto& l : lines) {
        EXPECT_NE(l.find("\"ok\":true,\"meter\":7654321,\"version\":54"), std::string::npos) << l;
        EXPECT_EQ(l.front(), '{');
        EXPECT_EQ(l.back(), '}');
    }
    EXPECT_NE(lines[0].find("\"money\":\"kopecks\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\"datetime\":\"2024-02-29T13:05:"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"command\":\"read-area\",\"args\":[\"3\",\"0\"]"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("\"area\":3,\"index\":0,\"length\":"), std::string::npos) << lines[2];
}

TEST(OstrilonCli, MeterFailuresExitWithOne) {
    struct Case {
        std::vector<std::string> simArgs;
        std::vector<std::string> cliArgs;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--fault-version", "55"}, {"--ident", "1", "datetime"}, "Текущая версия счетчика [v.55] не поддерживается программой"},
        {{"--fault-refuse", "6:3=2"}, {"--ident", "1", "read-area", "3", "0"}, "read-area: счетчик отказал в выполнении (причина 2)"},
        // Another identifier: the meter keeps silent, as for another meter on the line.
        {{}, {"--ident", "2", "card-mode"}, "Ошибка подключения к счетчику зав.номер: 1234567; идентификатор: 2: счетчик не ответил"},
    };
    for (const auto& c : cases) {
        PtySim sim(c.simArgs);
        Child cli(Cli(With({"--serial", sim.path, "--meter", "1234567", "--json"}, c.cliArgs)));
        EXPECT_EQ(RunToEnd(cli), 1) << cli.out << cli.err;
        EXPECT_NE(cli.err.find(c.message), std::string::npos) << cli.err;
        EXPECT_NE(cli.out.find("\"ok\":false,\"error\":\"" + c.message + "\""), std::string::npos) << cli.out;
    }
    // The first failure stops the rest.
    PtySim sim({"--fault-refuse", "14"});
    Child cli(Cli({"--serial", sim.path, "--meter", "1234567", "--ident", "1", "datetime", "card-mode", "datetime"}));
    EXPECT_EQ(RunToEnd(cli), 1);
    EXPECT_EQ(Lines(cli.out).size(), 1u) << cli.out;
}

TEST(OstrilonCli, ConnectionFailuresExitWithOne) {
    Child missing(Cli({"--serial", "/dev/no-such-port", "--meter", "1", "--ident", "1", "datetime"}));
    EXPECT_EQ(RunToEnd(missing), 1);
    EXPECT_NE(missing.err.find("/dev/no-such-port"), std::string::npos) << missing.err;

    Child nobody(Cli({"--listen", std::to_string(testsupport::UnusedLoopbackPort()), "--address", "127.0.0.1", "--wait",
                      "1", "--meter", "1", "--ident", "1", "datetime"}));
    EXPECT_EQ(RunToEnd(nobody), 1);
    EXPECT_NE(nobody.err.find("никто не подключился"), std::string::npos) << nobody.err;
}

TEST(OstrilonCli, WrongOptionsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--meter", "1", "--ident", "1", "datetime"},                                   // no line
        {"--serial", "1", "--listen", "144", "--meter", "1", "--ident", "1", "datetime"},  // two lines
        {"--serial", "/dev/x", "--ident", "1", "datetime"},                             // no meter
        {"--serial", "/dev/x", "--meter", "0", "--ident", "1", "datetime"},             // meter 0
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1"},                         // no command
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "reboot"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "read-area", "3"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "read-area", "256", "0"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "contactor", "maybe"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "range", "dollars"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "currency", "EURO"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "channel", "3", "on"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "set-datetime", "2024-02-30T00:00:00"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "--baud", "fast", "datetime"},
        {"--serial", "0", "--meter", "1", "--ident", "1", "datetime"},
        {"--serial", "/dev/x", "--meter", "1", "--ident", "1", "--frobnicate", "datetime"},
        {"--serial", "/dev/x", "--meter", "1", "datetime", "--ident"},  // no value
        {"--listen", "1444", "--address", "300.1.2.3", "--meter", "1", "--ident", "1", "datetime"},
        {"--listen", "1444", "--address", "localhost", "--meter", "1", "--ident", "1", "datetime"},
        {"--serial", "/dev/x", "--address", "127.0.0.1", "--meter", "1", "--ident", "1", "datetime"},
    };
    for (const auto& args : cases) {
        Child cli(Cli(args));
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(RunToEnd(cli), 2) << joined << "\n" << cli.err;
        EXPECT_FALSE(cli.err.empty()) << joined;
    }
    Child help(Cli({"--help"}));
    EXPECT_EQ(RunToEnd(help), 0);
    EXPECT_NE(help.out.find("set-datetime"), std::string::npos);
}

TEST(OstrilonCli, FailureTextsNameTheCause) {
    const std::string noSession = "Ошибка подключения к счетчику зав.номер: 1234567; идентификатор: 1: ";
    struct Case {
        bool tcp;
        std::vector<std::string> simArgs;
        std::vector<std::string> commands;
        std::string message;
    };
    const std::vector<Case> cases = {
        {false, {"--fault-silent", "always"}, {"datetime"}, noSession + "счетчик не ответил"},
        {false, {"--fault-bad-crc", "always"}, {"datetime"}, noSession + "ответ счетчика с неверной контрольной суммой"},
        {false, {"--fault-refuse", "3"}, {"datetime"}, noSession + "счетчик отказал в выполнении (причина 2)"},
        // The meter side goes away after the authorization.
        {true, {"--fault-hangup-after", "1"}, {"datetime"}, "datetime: связь со счетчиком потеряна"},
        // Over TCP a client whose every reply is damaged is not taken for
        // the meter side; the wait ends with what the last one did.
        {true, {"--fault-bad-crc", "always"}, {"card-mode"},
         "за 3 с не подключился счетчик (последний клиент: ответ счетчика с неверной контрольной суммой)"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<PtySim> pty;
        std::unique_ptr<Server> server;
        std::unique_ptr<Child> serialCli;
        if (c.tcp) {
            server = std::make_unique<Server>(c.commands, "3");
            server->Connect(c.simArgs);
        } else {
            pty = std::make_unique<PtySim>(c.simArgs);
            serialCli = std::make_unique<Child>(
                Cli(With({"--serial", pty->path, "--meter", "1234567", "--ident", "1", "--json"}, c.commands)));
        }
        Child& cli = c.tcp ? server->cli : *serialCli;
        EXPECT_EQ(RunToEnd(cli), 1) << c.message << "\n" << cli.out << cli.err;
        EXPECT_NE(cli.err.find("ostrilon-cli: " + c.message + "\n"), std::string::npos) << cli.err;
        EXPECT_NE(cli.out.find("\"ok\":false,\"error\":\"" + c.message + "\"}"), std::string::npos) << cli.out;
    }
}

TEST(OstrilonCli, StrayClientsDoNotEndTheRun) {
    struct Case {
        const char* what;
        std::function<void(int port)> stray;  // before the meter side connects
        std::vector<std::string> simArgs;
        bool surelyDropped;  // one that left at once may be gone before the first request
    };
    const std::vector<Case> cases = {
        {"connects and leaves", [](int port) { testmeter::MeterSideClient(port).Close(); }, {}, false},
        {"sends what is no frame and stays",
         [](int port) {
             testmeter::MeterSideClient probe(port);
             const std::string get = "GET / HTTP/1.0\r\n\r\n";
             probe.Send(testmeter::Bytes(get.begin(), get.end()));
             EXPECT_TRUE(probe.ReadsToTheEnd(30000));  // dropped after the reply time
         },
         {},
         true},
        {"the emulator hangs up before its first reply", [](int) {}, {"--fault-hangup-after", "0"}, true},
    };
    for (const auto& c : cases) {
        Server server({"datetime", "card-mode"});
        c.stray(server.port);
        server.Connect(c.simArgs);
        ASSERT_EQ(RunToEnd(server.cli), 0) << c.what << "\n" << server.cli.out << server.cli.err;
        if (c.surelyDropped) {
            EXPECT_NE(server.cli.err.find("клиент отключен"), std::string::npos) << c.what << "\n" << server.cli.err;
        }
        const auto lines = Lines(server.cli.out);
        ASSERT_EQ(lines.size(), 2u) << c.what << "\n" << server.cli.out;
        EXPECT_NE(lines[0].find("\"command\":\"datetime\",\"args\":[],\"ok\":true"), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find("\"command\":\"card-mode\",\"args\":[],\"ok\":true"), std::string::npos) << lines[1];
    }
}
