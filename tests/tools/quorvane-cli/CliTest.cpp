// quorvane-cli as a user runs it: readable lines and JSON, the exit codes and
// the Russian reasons of failures, against the in-process emulator.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/core/AtomicFile.h"
#include "sim/meter34/Emulator.h"
#include "tests/support/Child.h"
#include "tests/support/Loopback.h"

using testchild::Child;

namespace {

struct Cli : ::testing::Test {
    sim34::Emulator emu;
    void SetUp() override { ASSERT_TRUE(emu.startPty()); }
    Child Run(std::vector<std::string> args, bool serial = true) {
        std::vector<std::string> argv = {QUORVANE_CLI};
        if (serial) argv.insert(argv.end(), {"--serial", emu.slavePath(), "--baud", "9600", "--timeout", "800"});
        // A direct serial line needs the meter's number (the last --meter wins).
        if (serial) argv.insert(argv.end(), {"--meter", "12345"});
        argv.insert(argv.end(), args.begin(), args.end());
        return Child(argv);
    }
    static int Finish(Child& c) {
        const int rc = c.Wait(60000);
        EXPECT_NE(rc, Child::kStillRunning) << c.out << c.err;
        return rc;
    }
};

}  // namespace

TEST_F(Cli, ReadsAndSetsTheClockAndReadsRecords) {
    auto c = Run({"--meter", "12345", "set-datetime", "2031-07-04T15:42:10", "datetime", "state", "get-struct", "9",
                  "0", "contactor", "off", "correct-time"});
    ASSERT_EQ(Finish(c), 0) << c.err;
    EXPECT_NE(c.out.find("datetime: 2031-07-04 15:42:10\nresult: Время установлено\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("datetime: 2031-07-04 15:42:1"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Версия: 4\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("length: 50\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("result: Контактор выключен\n"), std::string::npos) << c.out;
    EXPECT_TRUE(c.err.empty()) << c.err;
}

TEST_F(Cli, JsonGivesOneObjectPerCommand) {
    auto c = Run({"--json", "phase-values", "ratios", "set-struct", "16", "2", "A100"});
    ASSERT_EQ(Finish(c), 0) << c.err;
    std::vector<std::string> lines;
    for (std::size_t p = 0, n; (n = c.out.find('\n', p)) != std::string::npos; p = n + 1) lines.push_back(c.out.substr(p, n - p));
    ASSERT_EQ(lines.size(), 3u) << c.out;
    EXPECT_EQ(lines[0].rfind("{\"command\":\"phase-values\",\"ok\":true,\"table\":[[\"Параметр\"", 0), 0u) << lines[0];
    EXPECT_NE(lines[1].find("\"current_ratio\":"), std::string::npos);
    // The check code is appended: A1 00 and its CRC-16/XMODEM, low byte first.
    EXPECT_NE(lines[2].find("\"written\":\"A1 00 "), std::string::npos) << lines[2];
    emu.withMeter([](sim34::MeterModel& m) { EXPECT_EQ(m.state().holidays[2][0], 0xA1); });
}

TEST_F(Cli, FailuresExitWithOneAndTheReason) {
    struct Case { std::vector<std::string> args; const char* reason; } cases[] = {
        {{"--key-a", "5", "contactor", "on"}, "Ошибка открытия доступа: Ошибка доступа\n"},
        {{"--meter", "999", "--tries", "1", "datetime"}, "Ошибка чтения даты и времени: Устройство не ответило на запрос\n"},
        {{"energy", "12", "0", "2001-01-01", "1"}, "Ошибка: Нет данных\n"},
    };
    for (const auto& k : cases) {
        auto c = Run(k.args);
        EXPECT_EQ(Finish(c), 1) << c.out;
        EXPECT_EQ(c.err, k.reason);
    }
    Child refused({QUORVANE_CLI, "--tcp", "127.0.0.1:1", "datetime"});
    EXPECT_EQ(Finish(refused), 1);
    EXPECT_EQ(refused.err.rfind("Произошла ошибка! Проверьте параметры подключения", 0), 0u) << refused.err;
}

TEST_F(Cli, WrongUsageExitsWithTwoBeforeTouchingTheLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"datetime"},                                                   // no connection
        {"--serial", "x", "--tcp", "1.2.3.4:5", "datetime"},           // two connections
        {"--serial", "x"},                                              // no command
        {"--serial", "x", "frobnicate"},
        {"--serial", "x", "energy", "12", "0", "yesterday", "1"},
        {"--serial", "x", "set-struct", "16", "0", "A1X"},
        {"--serial", "x", "--via", "plc", "--controller", "p", "contactor", "maybe"},
        {"--serial", "x", "--controller", "p", "datetime"},            // a controller needs plc or rf
        {"--tcp", "1.2.3.4", "datetime"},
        {"--serial", "x", "plc-list"},
        {"--serial", "x", "--meter", "1", "--tries", "0", "datetime"},  // no try would send nothing
        {"--serial", "x", "--meter", "1", "--extra-timeout", "-1", "datetime"},
        {"--serial", "x", "--meter", "1", "--extra-timeout", "soon", "datetime"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv = {QUORVANE_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        Child c(argv);
        EXPECT_EQ(Finish(c), 2) << c.err;
        EXPECT_FALSE(c.err.empty());
    }
    EXPECT_EQ(emu.counters().bytesIn, 0u);
}

TEST_F(Cli, MeterNumberZeroIsRefusedBeforeThePortOpensWhereANumberIsNeeded) {
    testsupport::LoopbackServer server;
    const std::string tcp = "127.0.0.1:" + std::to_string(server.port());
    // "RS485/ОПТО/RF", "RF-Маршрутизация" and "TCP->RF-Маршрутизация" address the meter by its number.
    const std::vector<std::vector<std::string>> cases = {
        {"--serial", emu.slavePath(), "--meter", "0", "datetime"},
        {"--serial", emu.slavePath(), "datetime"},
        {"--serial", emu.slavePath(), "--via", "rf", "--route", "7", "state"},
        {"--tcp", tcp, "--via", "rf", "contactor", "on"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv = {QUORVANE_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        Child c(argv);
        EXPECT_EQ(Finish(c), 2) << c.err;
        EXPECT_NE(c.err.find("Не указан номер счетчика"), std::string::npos) << c.err;
    }
    EXPECT_EQ(emu.counters().bytesIn, 0u);
    EXPECT_FALSE(server.accept(100));  // nobody connected
}

TEST(CliTcp, ExtraTimeoutReplacesTheTwentySecondsOfATcpLink) {
    // A peer that takes the connection and never answers.
    testsupport::LoopbackServer server;
    const auto t0 = std::chrono::steady_clock::now();
    Child c({QUORVANE_CLI, "--tcp", "127.0.0.1:" + std::to_string(server.port()), "--meter", "12345", "--timeout",
             "300", "--tries", "1", "--extra-timeout", "0", "datetime"});
    EXPECT_EQ(c.Wait(60000), 1);
    EXPECT_EQ(c.err, "Ошибка чтения даты и времени: Устройство не ответило на запрос\n");
    // Without the option the wait alone would be 20.3 s.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

TEST(CliTcp, APeerThatHangsUpIsALostConnection) {
    testsupport::LoopbackServer server;
    std::thread peer([&server] {
        ASSERT_TRUE(server.accept(10000));
        EXPECT_FALSE(server.receive(10000, 1).empty());  // the request
        server.closeClient();
    });
    const auto t0 = std::chrono::steady_clock::now();
    Child c({QUORVANE_CLI, "--tcp", "127.0.0.1:" + std::to_string(server.port()), "--meter", "12345", "datetime"});
    EXPECT_EQ(c.Wait(60000), 1);
    peer.join();
    EXPECT_EQ(c.err, "Потеряно подключение! Необходимо переподключиться\n");
    // Not the 24 s of a reply wait (4000 ms and the 20 s of a TCP link), twice.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

TEST(CliPlc, ListsTheMetersBehindTheStation) {
    sim34::Config cfg;
    cfg.front = sim34::Front::PLC;
    cfg.plcSlots = {{true, 300, 12345}, {true, 301, 777}};
    sim34::Emulator emu(cfg);
    ASSERT_TRUE(emu.startTcp());
    Child c({QUORVANE_CLI, "--tcp", "127.0.0.1:" + std::to_string(emu.port()), "--via", "plc", "--timeout", "800",
             "plc-list", "--plc-id", "301", "datetime"});
    ASSERT_EQ(c.Wait(60000), 0) << c.err;
    EXPECT_NE(c.out.find("ID/ZNum: 300/12345\nID/ZNum: 301/777\nВыполнено!\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("datetime: "), std::string::npos) << c.out;
}

TEST_F(Cli, TablePrintsEachViewAsCsv) {
    struct Case {
        std::vector<std::string> view;
        const char* firstLine;
        int lines;
    } cases[] = {
        {{"current-values"}, "Параметр;Фаза A;Фаза B;Фаза C;\r\n", 7},
        {{"status"}, "Параметр;Значение;\r\n", 11},
        {{"status2"}, "Параметр;Значение;\r\n", 18},
        {{"journal", "6"}, "Дата и время;Тип события;\r\n", 17},
        {{"time-history"}, "Код оператора;До смены;Установлено;\r\n", 6},
        {{"ratio-history"}, "Дата время смены;KI;KU;T1;T2;T3;T4;\r\n", 17},
    };
    for (const auto& k : cases) {
        std::vector<std::string> args = {"table"};
        args.insert(args.end(), k.view.begin(), k.view.end());
        auto c = Run(args);
        ASSERT_EQ(Finish(c), 0) << k.view[0] << c.err;
        EXPECT_EQ(c.out.rfind(k.firstLine, 0), 0u) << c.out;
        int lines = 0;
        for (std::size_t p = 0; (p = c.out.find(";\r\n", p)) != std::string::npos; p += 3) ++lines;
        EXPECT_EQ(lines, k.lines) << k.view[0] << "\n" << c.out;
        EXPECT_TRUE(c.err.empty()) << c.err;
    }
    // Russian numbers: a decimal comma in every measured value.
    auto c = Run({"table", "current-values"});
    ASSERT_EQ(Finish(c), 0);
    const auto f = c.out.find("\r\nF (Hz);");
    ASSERT_NE(f, std::string::npos) << c.out;
    EXPECT_EQ(c.out.substr(f + 9, 6).find(','), 2u) << c.out;
}

TEST_F(Cli, TableWritesTheCsvFileAndRepeatsLiveViews) {
    char dir[] = "/tmp/qcli-table-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    const std::string path = std::string(dir) + "/status2.csv";
    auto c = Run({"table", "status2", "--csv", path});
    ASSERT_EQ(Finish(c), 0) << c.err;
    EXPECT_TRUE(c.out.empty()) << c.out;
    std::string bytes, error;
    ASSERT_TRUE(common::ReadWholeFile(path, bytes, error)) << error;
    // "Параметр;Значение;" CR LF "LCD mode 2;" in Windows-1251.
    const std::string head = "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0;\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5;\r\nLCD mode 2;";
    EXPECT_EQ(bytes.rfind(head, 0), 0u);
    std::remove(path.c_str());
    ::rmdir(dir);

    const auto before = emu.counters().requests;
    auto r = Run({"table", "status", "--repeat", "3"});
    ASSERT_EQ(Finish(r), 0) << r.err;
    EXPECT_EQ(r.err, "Выполнено\n");
    EXPECT_EQ(emu.counters().requests - before, 3u);
    EXPECT_EQ(r.out.rfind("Параметр;Значение;\r\nВерсия;4;\r\n", 0), 0u) << r.out;

    auto j = Run({"--json", "table", "status2", "--repeat=2"});
    ASSERT_EQ(Finish(j), 0) << j.err;
    EXPECT_EQ(j.out.rfind("{\"command\":\"table\",\"ok\":true,\"status\":\"Выполнено\",\"table\":[[\"Параметр\",\"Значение\"],", 0),
              0u)
        << j.out;

    emu.setSilence(1);
    auto f = Run({"--tries", "1", "--timeout", "300", "table", "current-values", "--repeat", "5"});
    EXPECT_EQ(Finish(f), 1);
    EXPECT_EQ(f.err, "Ошибка: Устройство не ответило на запрос\r\nУспешных запросов: 0\n");
    EXPECT_TRUE(f.out.empty());
}

TEST_F(Cli, TableUsageIsCheckedBeforeThePortOpens) {
    const std::vector<std::vector<std::string>> cases = {
        {"table"},
        {"table", "everything"},
        {"table", "journal"},
        {"table", "journal", "9"},
        {"table", "status", "3"},
        {"table", "journal", "2", "--repeat", "2"},
        {"table", "status", "--repeat", "0"},
        {"table", "status", "--csv"},
        {"table", "status", "--csv="},
        {"--repeat", "2", "table", "status"},
    };
    for (const auto& args : cases) {
        auto c = Run(args);
        EXPECT_EQ(Finish(c), 2) << args.back() << c.err;
        EXPECT_FALSE(c.err.empty());
    }
    EXPECT_EQ(emu.counters().bytesIn, 0u);
}
