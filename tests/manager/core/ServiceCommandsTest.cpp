// The administrative and service commands and the reads and writes of their
// dialogs, against the emulated meter (and one hand-made short reply).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/manager/core/MeterSim.h"
#include "manager/core/Access.h"
#include "manager/core/AdminCommands.h"
#include "manager/core/ServiceDialogs.h"
#include "meter34/Structures.h"
#include "tests/support/MemoryLink.h"
#include "tests/support/MeterFrames.h"

using namespace manager::core;
using Bytes = std::vector<std::uint8_t>;

namespace {

using ServiceSim = MeterSim;

// Hooks that run a step of the test when the sequence reports a step line.
struct StepHooks : common::OperationHooks {
    std::function<void(const std::string&)> onStep;
    void SetStep(const std::string& text) override {
        if (onStep) onStep(text);
    }
};

// Reads and writes the meter received (session steps and closing left out).
int CommandRequests(const sim34::Emulator& emu) {
    int n = 0;
    for (const auto& r : emu.requests())
        if (r.size() > 9 && r[0] == 0x7E && ((r[9] & 0x7F) == 3 || (r[9] & 0x7F) == 4)) ++n;
    return n;
}

}  // namespace

TEST_F(ServiceSim, AMinusVerificationSaysHowManyCommandsAreLeft) {
    struct Case {
        std::uint8_t allowance;
        const char* status;
    } cases[] = {
        {3, "Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось 2 команд"},
        {1, "Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось 0 команд"},
        {0, "Превышен лимит установки режима поверки А-"},
    };
    for (const auto& c : cases) {
        emu->withMeter([&](sim34::MeterModel& m) { m.state().aMinusAllowance = c.allowance; });
        OperationContext ctx(conn, common::NoHooks(), common::Formats());
        EXPECT_TRUE(WithAccess(ctx, {}, AMinusCheckMode)) << int(c.allowance);
        EXPECT_EQ(ctx.StatusText, c.status);
    }
    // Refused without access.
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    EXPECT_FALSE(AMinusCheckMode(ctx));
    EXPECT_EQ(ctx.StatusText, "Ошибка установки режима поверки А-: Нет прав доступа");
}

TEST_F(ServiceSim, CalibrationWaitsOnceAndLongThenTheExchangeValuesAreBack) {
    emu->withMeter([](sim34::MeterModel& m) { m.calibrationMs = 1500; });  // far longer than the window's time-out
    const ExchangeValues exchange{3, 300, 10};
    ApplyExchange(conn, exchange);
    OperationContext ctx(conn, common::NoHooks(), common::Formats(), exchange);
    EXPECT_TRUE(Calibrate(ctx));
    EXPECT_EQ(ctx.StatusText, "Калибровка выполнена");
    EXPECT_EQ(emu->requests().size(), 1u);
    EXPECT_EQ(conn.Link->TryCount, 3u);
    EXPECT_EQ(conn.Link->Timeout, 300);

    // A meter that stays silent is asked once, and the values are back after the failure.
    emu->clearLog();
    emu->setSilence(10);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(Calibrate(ctx));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(9000));
    EXPECT_EQ(ctx.StatusText, "Ошибка выполнения калибровки: Устройство не ответило на запрос");
    EXPECT_EQ(emu->counters().silenced, 1u);
    EXPECT_EQ(conn.Link->TryCount, 3u);
    EXPECT_EQ(conn.Link->Timeout, 300);
}

TEST_F(ServiceSim, TransparentModeAndItsExitWithoutWaiting) {
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    EXPECT_TRUE(WithAccess(ctx, {}, TransparentMode));
    EXPECT_EQ(ctx.StatusText, "Переход в прозрачный режим выполнен");
    EXPECT_TRUE(emu->transparentMode());

    conn.Link->Timeout = 5000;
    emu->clearLog();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(ExitTransparent(ctx));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_EQ(ctx.StatusText, "Выход из прозрачного режима выполнен");
    for (int i = 0; i < 300 && emu->transparentMode(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(emu->transparentMode());
    const auto raw = emu->rawInput();
    EXPECT_EQ(std::string(raw.begin(), raw.end()), "*****");
}

TEST_F(ServiceSim, InternetApnThenTcpStoppingAtTheFirstFailure) {
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    InternetValues v;
    v.APNEdit = "x";
    ASSERT_TRUE(ReadInternet(ctx, v));
    EXPECT_EQ(ctx.StatusText, "Параметры Internet подключения прочитаны");
    EXPECT_EQ(v.APNEdit, "internet");
    EXPECT_EQ(v.IPEdit, "0.0.0.0");
    EXPECT_EQ(v.PortEdit, 1234);
    EXPECT_FALSE(v.EnableGPRSCheckBox);

    v.APNEdit = "m2m";
    v.PortEdit = 80;
    v.EnableGPRSCheckBox = true;
    ASSERT_TRUE(WithAccess(ctx, {}, [&](OperationContext& x) { return WriteInternet(x, v); }));
    EXPECT_EQ(ctx.StatusText, "Параметры Internet подключения записаны");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(Bytes(m.state().apn.begin(), m.state().apn.begin() + 9), (Bytes{'m', '2', 'm', 0, 'r', 'n', 'e', 't', 0}));
        EXPECT_EQ(Bytes(m.state().tcp.begin() + 16, m.state().tcp.begin() + 24), (Bytes{'8', '0', 0, '4', 0, 0, 1, 0}));
    });

    struct Case {
        const char* name;
        bool write;
        bool failFirst;  // the meter refuses the APN record already
        const char* status;
        int structureRequests;
    } cases[] = {
        {"read: APN refused", false, true, "Ошибка чтения структуры APN: Ошибка доступа к структуре", 1},
        {"read: TCP refused", false, false, "Ошибка чтения структуры TCP: Ошибка доступа к структуре", 2},
        {"write: APN refused", true, true, "Ошибка записи структуры APN: Ошибка доступа к структуре", 1},
        {"write: TCP refused", true, false, "Ошибка записи структуры TCP: Ошибка доступа к структуре", 2},
    };
    for (const auto& c : cases) {
        emu->clearForcedResults();
        emu->clearLog();
        StepHooks hooks;
        // The refusal starts with the first record, or once the first is done.
        if (c.failFirst) emu->forceResult(0x14, 12);
        else hooks.onStep = [&](const std::string&) { emu->forceResult(0x14, 12); };
        OperationContext x(conn, hooks, common::Formats());
        InternetValues w = v;
        w.APNEdit = "other";
        const bool ok = c.write ? WithAccess(x, {}, [&](OperationContext& y) { return WriteInternet(y, w); })
                                : ReadInternet(x, w);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(x.StatusText, c.status) << c.name;
        EXPECT_EQ(CommandRequests(*emu), c.structureRequests) << c.name;
        if (!c.write) {
            EXPECT_EQ(w.APNEdit, "other") << c.name;  // nothing taken from a failed read
        }
    }
    // After a TCP failure the new APN stays in the meter.
    emu->withMeter([](sim34::MeterModel& m) { EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.state().apn.data())), "other"); });
}

TEST_F(ServiceSim, DialogWritesReachTheMeterAndReadBack) {
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    auto write = [&](auto&& op) { return WithAccess(ctx, {}, op); };

    VoltageValues volt{180, 260};
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteVoltage(x, volt); }));
    EXPECT_EQ(ctx.StatusText, "Структура напряжений записана");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(Bytes(m.state().voltage.begin(), m.state().voltage.end()), (Bytes{0x50, 0x46, 0x90, 0x65, 0xDE, 0xFE}));
    });
    VoltageValues voltRead;
    ASSERT_TRUE(ReadVoltage(ctx, voltRead));
    EXPECT_EQ(ctx.StatusText, "Структура напряжений прочитана");
    EXPECT_EQ(voltRead.VoltageMinEdit, 180);

    ContactorTariffValues contactor;
    contactor.ComboBox2 = contactor.ComboBox3 = 1;
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteContactorTariffs(x, contactor); }));
    EXPECT_EQ(ctx.StatusText, "Структура управления контактором по тарифам записана");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(Bytes(m.state().contactorByTariff.begin(), m.state().contactorByTariff.end()),
                  (Bytes{0x00, 0x01, 0x01, 0x00, 0x01, 0x04}));
    });

    // The two bytes the dialog does not show go back as the meter sent them.
    emu->withMeter([](sim34::MeterModel& m) {
        const std::uint8_t f[] = {0x02, 0x80, 0xAA, 0x55};
        std::memcpy(m.state().functions.data(), f, 4);
        meter34::PutCrc16Xmodem(m.state().functions.data(), 4);
    });
    FunctionsValues functions;
    ASSERT_TRUE(ReadFunctions(ctx, functions));
    EXPECT_EQ(ctx.StatusText, "Параметры дополнительных функций прочитаны");
    EXPECT_FALSE(functions.TimeCorrectionCheckBox);
    functions.TimeCorrectionCheckBox = true;
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteFunctions(x, functions); }));
    EXPECT_EQ(ctx.StatusText, "Параметры дополнительных функций записаны");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(Bytes(m.state().functions.begin(), m.state().functions.begin() + 4), (Bytes{0x03, 0x80, 0xAA, 0x55}));
    });

    PulsesValues pulses;
    ASSERT_TRUE(ReadPulses(ctx, pulses));
    EXPECT_EQ(ctx.StatusText, "Число поверочных импульсов прочитано");
    EXPECT_EQ(pulses.total_energy_pulse_thresholdComboBox, 0);
    pulses.total_energy_pulse_thresholdComboBox = 7;
    pulses.act_onlyCheckBox = true;
    ASSERT_TRUE(write([&](OperationContext& x) { return WritePulses(x, pulses); }));
    EXPECT_EQ(ctx.StatusText, "Число поверочных импульсов записано");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(Bytes(m.state().pulses.begin(), m.state().pulses.begin() + 6), (Bytes{0x00, 0x00, 0xDC, 0x05, 1, 0}));
    });

    LoraPowerValues lora{2};
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteLoraPower(x, lora); }));
    EXPECT_EQ(ctx.StatusText, "Мощность LORA установлена");
    lora.LoraPowerComboBox = 0;
    ASSERT_TRUE(ReadLoraPower(ctx, lora));
    EXPECT_EQ(ctx.StatusText, "Мощность LORA прочитана");
    EXPECT_EQ(lora.LoraPowerComboBox, 2);

    // The speed of the chosen channel; the write sends the three indices.
    SpeedValues speed;
    speed.ChannelNumberComboBox = 2;
    ASSERT_TRUE(ReadSpeed(ctx, speed));
    EXPECT_EQ(ctx.StatusText, "Скорость интерфейса прочитана");
    EXPECT_EQ(speed.ChannelSpeedComboBox, 5);  // the emulator's third channel: 19200, GSM
    EXPECT_EQ(speed.ChannelTypeComboBox, 2);
    speed = {1, 3, 8};
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteSpeed(x, speed); }));
    EXPECT_EQ(ctx.StatusText, "Скорость интерфейса записана");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(m.state().speeds[1].code, 8);
        EXPECT_EQ(m.state().speeds[1].type, 3);
    });

    CalibrationValues calibration;
    ASSERT_TRUE(ReadCalibration(ctx, calibration));
    std::int16_t expectedI = 0;
    emu->withMeter([&](sim34::MeterModel& m) {
        expectedI = static_cast<std::int16_t>(meter34::GetU16LE(m.state().calibration.data() + 2));
    });
    EXPECT_EQ(calibration.Channel1CoeffIEdit, expectedI);

    // Passwords and keys: the level is the item's number.
    UserPasswordValues password{1, "4294967295"};
    ASSERT_EQ(CheckUserPassword(password), "");
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteUserPassword(x, password); }));
    EXPECT_EQ(ctx.StatusText, "Пароль доступа записан");
    EXPECT_EQ(emu->password(2), 0xFFFFFFFFu);
    KeysValues keys{"7", "-1"};
    ASSERT_EQ(CheckKeys(keys), "");
    ASSERT_TRUE(write([&](OperationContext& x) { return WriteKeys(x, keys); }));
    EXPECT_EQ(ctx.StatusText, "Ключи доступа записаны");
    EXPECT_EQ(emu->keyA(), 7u);
    EXPECT_EQ(emu->keyB(), 0xFFFFFFFFu);
}

TEST(ServiceChecks, ValuesThatCannotBeSentAreRefusedWithTheFieldsLabel) {
    const auto apn = [](std::size_t length) {
        InternetValues v;
        v.APNEdit = std::string(length, 'a');
        return v;
    };
    struct Case {
        std::string reason, expected;
    } cases[] = {
        {CheckUserPassword({0, "12x"}), "неверное значение в поле «Уровень доступа/пароль»"},
        {CheckUserPassword({-1, "1"}), "неверное значение в поле «Уровень доступа/пароль»"},
        {CheckKeys({"1", "4294967296"}), "неверное значение в поле «Ключ Б»"},
        {CheckKeys({"", "1"}), "неверное значение в поле «Ключ А»"},
        {kSpeedDialog.check({0, -1, 3}), "не выбрано значение в поле «Тип»"},
        {kLoraPowerDialog.check({-1}), "не выбрано значение в поле «Мощность mW»"},
        {kContactorTariffDialog.check({0, 0, -1, 0}), "не выбрано значение в поле «Тарифа 3»"},
        {kInternetDialog.check(apn(30)), "в поле «APN» больше 29 символов"},
        {kInternetDialog.check(apn(29)), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.reason, c.expected);
    EXPECT_STREQ(kUserPasswordDialog.writeError, "Ошибка записи пароля доступа: ");
    EXPECT_STREQ(kKeysDialog.writeError, "Ошибка записи ключей доступа: ");
}

// A meter that answers a structure read with fewer bytes than the structure has.
TEST(ServiceShortReply, AShortStructureFailsWithBothLengths) {
    meter34::TMeterConnection conn;
    auto link = std::make_unique<testsupport::MemoryLink>();
    link->Timeout = 300;
    link->TryCount = 1;
    link->responder = [](const Bytes& written, testsupport::MemoryLink& l) {
        const Bytes req = frames34::Unstuff(written);
        // result, command, structure, index, then three of the six bytes
        l.Send(frames34::Stuff(frames34::ReplyFrame(12345, 4, req[8] & 0x0F, 3, {0x00, 0x14, 23, 0, 0, 0xBF, 0x44, 0x90})));
    };
    conn.Exchange = std::make_unique<meter34::TDirect_MeterExchange>(link.get());
    conn.Link = std::move(link);
    conn.Meter = std::make_unique<meter34::TMeter>(conn.Exchange.get());
    conn.Meter->MeterNumber = 12345;
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    VoltageValues v;
    EXPECT_FALSE(ReadVoltage(ctx, v));
    EXPECT_EQ(ctx.StatusText, "Ошибка чтения структуры напряжений: неверная длина ответа (3 байт вместо 6)");
    EXPECT_EQ(v.VoltageMinEdit, 175);  // untouched
    conn.Meter.reset();
    conn.Exchange.reset();
    conn.Link.reset();
}
