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

namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes AsBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

}  // namespace

TEST_F(Cli, SetWritesEachRecordByTheControlsNames) {
    // Bytes the window does not show stay as the meter keeps them.
    emu.withMeter([](sim34::MeterModel& m) {
        auto& g = m.state().second;
        g[16] = 0x5A;
        for (int i = 0; i < 6; ++i) g[static_cast<std::size_t>(20 + i)] = static_cast<std::uint8_t>(i + 1);
    });
    auto c = Run({"set", "params", "InfoTimeEdit=7", "MaxPowerEdit=1235", "LCDCheckListBox16=1",
                  "ContactorControlCheckListBox9=1", "ReinitCheckBox=1",
                  "set", "dop-params", "PeriodComboBox=1 час", "TimeShiftComboBox=автоматически",
                  "SummerDateEdit=29.02", "SummerTimeEdit=3", "WinterShiftEdit=0",
                  "set", "params2", "Max_IEdit=100", "ExternalContactorModeCheckListBox5=1", "LCD2CheckListBox2=1",
                  "set", "ratios", "CurrentRatioEdit=10"});
    ASSERT_EQ(Finish(c), 0) << c.err;
    EXPECT_EQ(c.out,
              "result: Параметры записаны\nresult: Дополнительные параметры записаны\n"
              "result: Параметры записаны\nresult: Коэффициентов трансформации записаны\n");
    emu.withMeter([](sim34::MeterModel& m) {
        const auto& s = m.state();
        // Display mask 0x1AC7 as it was; 7 s; 1235 W = 123500 (0x0001E26C) in 0.01 W;
        // 30 s; 60 s; contactor 0x03; flags: reinit, display row 16, contactor row 9; 30 min.
        EXPECT_EQ(AsBytes(s.main),
                  (Bytes{0xC7, 0x1A, 0x07, 0x6C, 0xE2, 0x01, 0x00, 0x1E, 0x3C, 0x00, 0x03, 0x13, 0x1E, 0x00}));
        // No correction; "Автоматически" 3 | period 7 << 5; summer 29.02 3 h = 3 | 29 << 5 | 2 << 10;
        // +1; winter 27.10 3 h as it was = 0x2B63; shift 0.
        EXPECT_EQ(AsBytes(s.additional), (Bytes{0x00, 0xE3, 0xA3, 0x0B, 0x01, 0x63, 0x2B, 0x00}));
        // Rows 0 and 2; 1500000; 100 A = 100000 mA (0x000186A0); 30, 60, 30, 60; 0x5A kept;
        // 30; external row 5; bytes 20-25 kept.
        EXPECT_EQ(AsBytes(s.second),
                  (Bytes{0x05, 0x00, 0x60, 0xE3, 0x16, 0x00, 0xA0, 0x86, 0x01, 0x00, 0x1E, 0x3C, 0x00,
                         0x1E, 0x3C, 0x00, 0x5A, 0x1E, 0x00, 0x20, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
        EXPECT_EQ(s.ratioI, 10);
        EXPECT_EQ(s.ratioU, 1);
        EXPECT_FALSE(m.sessionOpen());
    });
}

TEST_F(Cli, GetPrintsOneLinePerControlInTheirOrder) {
    auto c = Run({"get", "dop-params", "get", "ratios", "params"});
    ASSERT_EQ(Finish(c), 0) << c.err;
    // The emulator's factory record: "По таблице", 30 minutes, 31.03 2 h +1, 27.10 3 h -1.
    EXPECT_EQ(c.out.rfind("SecAutoCorrectTimeEdit=0\nPeriodComboBox=30 минут\nTimeShiftComboBox=По таблице\n"
                          "SummerDateEdit=31.03\nSummerTimeEdit=2\nSummerShiftEdit=1\n"
                          "WinterDateEdit=27.10\nWinterTimeEdit=3\nWinterShiftEdit=-1\n"
                          "CurrentRatioEdit=1\nVoltageRatioEdit=1\nCurrentVoltageRatioChangesCountLabel=Изменений: 1\n"
                          "CurrentVoltageRatioLastDateLabel=Последнее: ",
                          0),
              0u)
        << c.out;
    // The old name of get params prints the same lines.
    EXPECT_NE(c.out.find("\nInfoTimeEdit=5\nMaxPowerEdit=15000\nMaxPowerTimeEdit=30\nLCDCheckListBox0=1\n"),
              std::string::npos);
    EXPECT_NE(c.out.find("\nContactorOnTimeEdit=60\nReinitCheckBox=0\nReinitTimeEdit=30\n"), std::string::npos);

    auto j = Run({"--json", "get", "params2"});
    ASSERT_EQ(Finish(j), 0) << j.err;
    EXPECT_EQ(j.out.rfind("{\"command\":\"get\",\"ok\":true,\"record\":\"params2\",\"LCD2CheckListBox0\":1,"
                          "\"LCD2CheckListBox1\":0,\"LCD2CheckListBox2\":0,\"Max_AminusEdit\":15000,\"Max_IEdit\":60,",
                          0),
              0u)
        << j.out;
}

TEST_F(Cli, ARefusedNameOrValueSendsNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"set", "params", "NoSuchEdit=1"},
        {"set", "params", "InfoTimeEdit=11"},                  // 3..10
        {"set", "params", "LCDCheckListBox17=1"},              // rows 0..16
        {"set", "params", "ReinitCheckBox=2"},
        {"set", "dop-params", "PeriodComboBox=45 минут"},
        {"set", "dop-params", "SummerShiftEdit=2"},            // -1..1
        {"set", "params2", "Max_ITimeEdit=256"},               // one byte on the wire
        {"set", "ratios", "VoltageRatioEdit=65536"},           // two bytes on the wire
        {"set", "ratios", "CurrentVoltageRatioChangesCountLabel=5"},  // shown, never set
        {"set", "params"},                                     // nothing to set
        {"set", "params", "InfoTimeEdit"},
        {"get", "params", "InfoTimeEdit=5"},                   // get takes no values here
        {"get", "nothing"},
        {"datetime", "set", "params", "InfoTimeEdit=7", "MaxPowerEdit=0"},  // refused before the first command runs
    };
    for (const auto& args : cases) {
        auto c = Run(args);
        EXPECT_EQ(Finish(c), 2) << args[1] << " " << (args.size() > 2 ? args[2] : "") << ": " << c.err;
        EXPECT_FALSE(c.err.empty());
    }
    EXPECT_EQ(emu.counters().bytesIn, 0u);
}

TEST_F(Cli, AWriteTheMeterRefusesFailsWithTheBlocksText) {
    // The meter takes no ratio 0; the additional record refuses a date that does not exist.
    auto c = Run({"set", "ratios", "CurrentRatioEdit=0"});
    EXPECT_EQ(Finish(c), 1);
    EXPECT_EQ(c.err, "Ошибка записи коэффициентов трансформации: Неверные параметры\n");
    auto d = Run({"set", "dop-params", "WinterDateEdit=30.02"});
    EXPECT_EQ(Finish(d), 1);
    EXPECT_EQ(d.err, "Ошибка записи дополнительных параметров: неверная дата перехода «30.02»\n");
    emu.withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(m.state().ratioI, 1);
        EXPECT_EQ(m.state().additional[5], 0x63);
        EXPECT_FALSE(m.sessionOpen());
    });
}

TEST_F(Cli, ServiceRecordsByTheirDialogsControls) {
    auto g = Run({"get", "voltage", "get", "contactor-tariffs", "get", "internet", "get", "functions", "get", "pulses",
                  "get", "lora", "get", "speed", "ChannelNumberComboBox=Второй", "get", "calibration"});
    ASSERT_EQ(Finish(g), 0) << g.err;
    // The emulator's factory records: 175 and 265 V, 2000 pulses, the second channel at 9600 bit/s on PLC.
    EXPECT_EQ(g.out.rfind("VoltageMinEdit=175\nVoltageMaxEdit=265\n"
                          "ComboBox1=Включать\nComboBox2=Включать\nComboBox3=Включать\nComboBox4=Включать\n"
                          "APNEdit=internet\nPortEdit=1234\nIPEdit=0.0.0.0\nEnableGPRSCheckBox=0\n"
                          "TimeCorrectionCheckBox=0\n"
                          "total_energy_pulse_thresholdComboBox=2000\nact_onlyCheckBox=0\none_izm_elCheckBox=0\n"
                          "LoraPowerComboBox=100\n"
                          "ChannelNumberComboBox=Второй\nChannelSpeedComboBox=9600\nChannelTypeComboBox=PLC модуль\n"
                          "Channel1CoeffIEdit=",
                          0),
              0u)
        << g.out;
    EXPECT_NE(g.out.find("\nChannel2CoeffVEdit="), std::string::npos);

    auto s = Run({"set", "voltage", "VoltageMinEdit=180", "VoltageMaxEdit=260", "set", "contactor-tariffs",
                  "ComboBox2=Отключать", "set", "internet", "APNEdit=m2m", "PortEdit=80", "EnableGPRSCheckBox=1",
                  "set", "functions", "TimeCorrectionCheckBox=1", "set", "pulses",
                  "total_energy_pulse_thresholdComboBox=15000", "act_onlyCheckBox=1", "set", "lora",
                  "LoraPowerComboBox=10", "set", "speed", "ChannelNumberComboBox=Третий", "ChannelSpeedComboBox=115200"});
    ASSERT_EQ(Finish(s), 0) << s.err;
    EXPECT_EQ(s.out,
              "result: Структура напряжений записана\n"
              "result: Структура управления контактором по тарифам записана\n"
              "result: Параметры Internet подключения записаны\n"
              "result: Параметры дополнительных функций записаны\n"
              "result: Число поверочных импульсов записано\n"
              "result: Мощность LORA установлена\n"
              "result: Скорость интерфейса записана\n");
    emu.withMeter([](sim34::MeterModel& m) {
        const auto& st = m.state();
        EXPECT_EQ(AsBytes(st.voltage), (Bytes{0x50, 0x46, 0x90, 0x65, 0xDE, 0xFE}));
        EXPECT_EQ(AsBytes(st.contactorByTariff), (Bytes{0x00, 0x01, 0x00, 0x00, 0x30, 0x37}));
        EXPECT_EQ(Bytes(st.apn.begin(), st.apn.begin() + 9), (Bytes{'m', '2', 'm', 0, 'r', 'n', 'e', 't', 0}));
        EXPECT_EQ(Bytes(st.tcp.begin() + 16, st.tcp.begin() + 24), (Bytes{'8', '0', 0, '4', 0, 0, 1, 0}));
        EXPECT_EQ(st.functions[0], 1);
        EXPECT_EQ(Bytes(st.pulses.begin(), st.pulses.begin() + 6), (Bytes{0x00, 0x00, 0xDC, 0x05, 1, 0}));
        EXPECT_EQ(st.loraPower, 3);
        EXPECT_EQ(st.speeds[2].code, 8);
        EXPECT_EQ(st.speeds[2].type, 2);  // as read from that channel
        EXPECT_FALSE(m.sessionOpen());
    });

    const std::vector<std::vector<std::string>> refused = {
        {"set", "internet", "IPEdit=1.2.3.4"},                  // shown, never set
        {"set", "pulses", "one_izm_elCheckBox=1"},              // shown, never set
        {"set", "calibration", "Channel1CoeffIEdit=1"},         // read only
        {"set", "voltage", "VoltageMinEdit=79"},                // 80..275
        {"set", "internet", "APNEdit=" + std::string(30, 'a')},  // 29 characters and the zero
        {"set", "internet", "PortEdit=65536"},
        {"set", "speed", "ChannelSpeedComboBox=300"},
        {"get", "voltage", "VoltageMinEdit=180"},               // only the speed's channel selects
    };
    emu.clearLog();
    for (const auto& args : refused) {
        auto c = Run(args);
        EXPECT_EQ(Finish(c), 2) << args[1] << " " << args[2] << ": " << c.err;
        EXPECT_FALSE(c.err.empty());
    }
    EXPECT_TRUE(emu.rawInput().empty());

    struct Failed {
        std::vector<std::string> args;
        const char* err;
    } failed[] = {
        {{"set", "speed", "ChannelSpeedComboBox="}, "Ошибка записи скорости интерфейса: не выбрано значение в поле «Скорость (bps)»\n"},
        {{"--key-a", "5", "set", "lora", "LoraPowerComboBox=50"}, "Ошибка открытия доступа: Ошибка доступа\n"},
    };
    for (const auto& f : failed) {
        auto c = Run(f.args);
        EXPECT_EQ(Finish(c), 1) << c.out;
        EXPECT_EQ(c.err, f.err);
    }
    emu.withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(m.state().loraPower, 3);
        EXPECT_EQ(m.state().speeds[0].code, 3);
    });
}
