// quorvane-cli as a user runs it: readable lines and JSON, the exit codes and
// the Russian reasons of failures, against the in-process emulator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

TEST_F(Cli, ServiceCommandsPrintTheTextOfTheirMenuItems) {
    emu.withMeter([](sim34::MeterModel& m) {
        m.state().aMinusAllowance = 1;
        m.calibrationMs = 50;
    });
    auto c = Run({"init-memory", "calibrate", "time-check", "indicator-check", "checks-off", "clear-tamper",
                  "a-minus-check", "a-minus-check", "backlight", "off", "leave-plc", "set-password", "2", "4294967295",
                  "backlight", "on", "transparent", "exit-transparent"});
    ASSERT_EQ(Finish(c), 0) << c.err;
    EXPECT_EQ(c.out,
              "result: Инициализация памяти выполнена\n"
              "result: Калибровка выполнена\n"
              "result: Режим проверки времени активен\n"
              "result: Режим проверки индикатора активен\n"
              "result: Выход из режимов проверки выполнен\n"
              "result: Сброс индикации внешних воздействий выполнен\n"
              "result: Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось 0 команд\n"
              "result: Превышен лимит установки режима поверки А-\n"
              "result: Смена режима подсветки выполнена\n"
              "result: Команда покинуть PLC-сеть выполнена\n"
              "result: Пароль доступа записан\n"
              "result: Смена режима подсветки выполнена\n"
              "result: Переход в прозрачный режим выполнен\n"
              "result: Выход из прозрачного режима выполнен\n");
    EXPECT_TRUE(c.err.empty()) << c.err;
    EXPECT_EQ(emu.password(2), 0xFFFFFFFFu);
    emu.withMeter([](sim34::MeterModel& m) { EXPECT_EQ(m.state().backlight, 1); });

    auto keys = Run({"--json", "set-keys", "7", "-8"});
    ASSERT_EQ(Finish(keys), 0) << keys.err;
    EXPECT_EQ(keys.out, "{\"command\":\"set-keys\",\"ok\":true,\"result\":\"Ключи доступа записаны\"}\n");
    EXPECT_EQ(emu.keyA(), 7u);
    EXPECT_EQ(emu.keyB(), 0xFFFFFFF8u);
}

TEST_F(Cli, ServiceCommandsFailWithTheWindowsTextAndExitCodes) {
    struct Case {
        std::vector<std::string> args;
        int rc;
        const char* err;  // the whole of stderr, or its start for a usage error
    } cases[] = {
        {{"--key-a", "5", "time-check"}, 1, "Ошибка открытия доступа: Ошибка доступа\n"},
        {{"--password", "9", "set-keys", "1", "1"}, 1, "Ошибка открытия доступа: Ошибка доступа\n"},
        {{"--level", "2", "--password", "2", "set-password", "1", "5"}, 1,
         "Ошибка записи пароля доступа: Нет прав доступа\n"},
        {{"backlight", "maybe"}, 2, "quorvane-cli: backlight takes on or off\n"},
        {{"set-password", "3", "1"}, 2, "quorvane-cli: LEVEL: \"3\" is not an integer in 1..2\n"},
        {{"set-password", "1", "пароль"}, 2,
         "quorvane-cli: Ошибка записи пароля доступа: неверное значение в поле «Уровень доступа/пароль»\n"},
        {{"set-keys", "1", "4294967296"}, 2, "quorvane-cli: Ошибка записи ключей доступа: неверное значение в поле «Ключ Б»\n"},
        {{"set-keys", "1"}, 2, "quorvane-cli: "},
    };
    for (const auto& k : cases) {
        emu.clearLog();
        auto c = Run(k.args);
        EXPECT_EQ(Finish(c), k.rc) << c.out;
        EXPECT_EQ(c.err.rfind(k.err, 0), 0u) << c.err;
        if (k.rc == 2) {
            EXPECT_TRUE(emu.rawInput().empty()) << c.err;  // refused before the port was opened
        }
    }
    // A meter that refuses the calibration.
    emu.forceResult(0x00, 14);
    auto c = Run({"calibrate"});
    EXPECT_EQ(Finish(c), 1);
    EXPECT_EQ(c.err, "Ошибка выполнения калибровки: Ошибка устройства\n");
}
