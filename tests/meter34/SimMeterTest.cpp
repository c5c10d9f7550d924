// The command layer and the connection builder against the meter emulator:
// every connection type, the whole command set, and the faults of a line.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/core/Timings.h"
#include "meter34/MeterConnection.h"
#include "meter34/MeterReadings.h"
#include "meter34/Structures.h"
#include "sim/meter34/Emulator.h"

using namespace meter34;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Route {
    const char* name;
    sim34::Front front;
    bool tcp;
    bool modem;
    bool controller;
};

const Route kRoutes[] = {
    {"direct serial", sim34::Front::Direct, false, false, false},
    {"direct TCP", sim34::Front::Direct, true, false, false},
    {"GSM dial-up", sim34::Front::Direct, false, true, false},
    {"PLC serial with controller", sim34::Front::PLC, false, false, true},
    {"PLC over TCP", sim34::Front::PLC, true, false, false},
    {"radio route serial", sim34::Front::RF, false, false, false},
    {"radio route over TCP with controller", sim34::Front::RF, true, false, true},
};

class Connected : public ::testing::TestWithParam<Route> {
protected:
    void SetUp() override {
        auto& t = common::timings();
        t.modemSettleMs = t.modemAfterHangupMs = 20;
        t.modemCloseGuardMs = 80;
        t.controllerLogoutPauseMs = t.controllerAfterLoginMs = 20;
        const Route& r = GetParam();
        sim34::Config cfg;
        cfg.front = r.front;
        cfg.modem = r.modem;
        cfg.controller = r.controller;
        cfg.modemGuardMs = 50;
        cfg.calibrationMs = 50;
        emu = std::make_unique<sim34::Emulator>(cfg);
        std::string error;
        ASSERT_TRUE(r.tcp ? emu->startTcp(0, &error) : emu->startPty(&error)) << error;

        ConnectionSettings s;
        const int base = r.front == sim34::Front::PLC ? kPlc : r.front == sim34::Front::RF ? kRfRoute : 0;
        if (r.tcp) {
            s.ConnectionType = base == 0 ? kTcpClient : base == kPlc ? kTcpPlc : kTcpRfRoute;
            s.PhoneOrHost = "127.0.0.1";
            s.PortSetting = emu->port();
        } else {
            s.ConnectionType = r.modem ? kGsmCsd : base;
            s.DevicePath = emu->slavePath();
            s.BaudRateText = "9600";
            if (r.modem) s.PhoneOrHost = "89001234567";
        }
        s.UseController = r.controller;
        s.Timeout = 1500;
        s.TryCount = 2;
        s.RetryPause = 20;
        ASSERT_TRUE(conn.Open(s)) << conn.ErrorText;
        EXPECT_FALSE(conn.ControllerFailed);
        conn.Link->ExtraTimeout = 0;  // no 20 s allowance for dial-up and TCP here
        std::string status;
        ASSERT_TRUE(conn.PrepareAddressing(12345, 4, base == kPlc ? "300" : base == kRfRoute ? "7;9" : "", status))
            << status;
    }
    void TearDown() override {
        conn.Close();
        emu.reset();
        common::ResetTimings();
    }
    TMeter& M() { return *conn.Meter; }

    std::unique_ptr<sim34::Emulator> emu;
    TMeterConnection conn;
};

}  // namespace

TEST_P(Connected, EveryCommand) {
    TMeter& m = M();
    DateTime t;
    ASSERT_TRUE(m.GetDateTime(t)) << TMeter::ResultText(m.ResultCode);
    EXPECT_LT(std::llabs(t.msecsTo(DateTime::now())), 5000);

    // Changing commands inside a session; the clock correction outside one.
    ASSERT_TRUE(m.OpenSession(1, 1, 1, 1)) << TMeter::ResultText(m.ResultCode);
    const DateTime set = *DateTime::make(2031, 7, 4, 15, 42, 10);
    ASSERT_TRUE(m.SetDateTime(set));
    ASSERT_TRUE(m.SetContactor(0));
    ASSERT_TRUE(m.SetIUCoefficients(40, 1));
    Bytes holiday = {0xA1, 0x00, 0, 0};
    PutCrc16Xmodem(holiday.data(), 2);
    ASSERT_TRUE(m.SetStruct(16, 3, holiday.data(), 4));
    ASSERT_TRUE(m.SetLoraPower(2));
    m.CloseSession();
    ASSERT_TRUE(m.GetDateTime(t));
    EXPECT_LT(std::llabs(t.msecsTo(set)), 5000);
    ASSERT_TRUE(m.SetDateTime(DateTime::now()));  // correction needs no session

    MeterState state{};
    ASSERT_TRUE(m.GetState(state));
    EXPECT_EQ(state[1], 0);  // the contactor is off now
    MeterStatus status{};
    ASSERT_TRUE(m.GetStatus(status));
    PhaseValues pv;
    ASSERT_TRUE(m.GetPhaseValues(255, 255, 255, pv));
    EXPECT_GT(pv.Phase[0].U, 20000);  // a live line: around 230 V
    EXPECT_LT(pv.Phase[0].U, 26000);
    std::uint16_t ci = 0, cu = 0, count = 0;
    DateTime last;
    ASSERT_TRUE(m.GetIUCoefficients(ci, cu, last, count));
    EXPECT_EQ(ci, 40);
    EXPECT_EQ(cu, 1);
    EXPECT_GE(count, 1);
    std::uint8_t data[256];
    int len = 0;
    ASSERT_TRUE(m.GetStruct(16, 3, len, data));
    EXPECT_EQ(Bytes(data, data + len), holiday);
    ASSERT_TRUE(m.GetStruct(9, 0, len, data));
    EXPECT_EQ(len, 50);
    std::uint8_t level = 9;
    ASSERT_TRUE(m.GetLoraPower(level));
    EXPECT_EQ(level, 2);
    MainParameterRecord main{};
    ASSERT_TRUE(m.GetParameters(main));
    SecondGroupParameterRecord second{};
    ASSERT_TRUE(m.GetParameters2(second));
    AdditionalParameterRecord extra{};
    ASSERT_TRUE(m.GetAdditionalParameters(extra));
    std::uint8_t speed = 0, type = 0;
    ASSERT_TRUE(m.GetSpeed(0, speed, type));
    std::uint32_t total = 0;
    ASSERT_TRUE(m.GetEnergy(12, 0, DateTime::now(), 0, total));
    EXPECT_GT(total, 0u);
    int rows = 0;
    EXPECT_EQ(ReadLoadProfileDay(m, 12, DateTime::now().addDays(-1), [&](const ProfileRow&) { ++rows; }),
              ProfileDayResult::Ok);
    EXPECT_EQ(rows, 48);  // version 4: half-hourly
    CalibrationCoefficients cal{};
    ASSERT_TRUE(m.GetCalibrationCoeff(cal));
}

TEST_P(Connected, RefusalsCarryTheMetersReason) {
    TMeter& m = M();
    EXPECT_FALSE(m.SetContactor(1));  // outside a session
    EXPECT_EQ(m.ResultCode, 7);
    EXPECT_FALSE(m.OpenSession(1, 1, 2, 1));  // wrong key A
    EXPECT_EQ(m.ResultCode, 1);
    m.CloseSession();
    std::uint32_t v = 0;
    EXPECT_FALSE(m.GetEnergy(12, 0, *DateTime::make(2001, 1, 1), 1, v));  // before the meter's history
    EXPECT_EQ(m.ResultCode, 15);
}

INSTANTIATE_TEST_SUITE_P(Routes, Connected, ::testing::ValuesIn(kRoutes),
                         [](const ::testing::TestParamInfo<Route>& p) {
                             std::string n = p.param.name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

namespace {

struct Faulty : ::testing::Test {
    void SetUp() override {
        sim34::Config cfg;
        cfg.modem = modem;
        cfg.modemGuardMs = 50;
        emu = std::make_unique<sim34::Emulator>(cfg);
        ASSERT_TRUE(emu->startPty());
        common::timings().modemSettleMs = common::timings().modemAfterHangupMs = 20;
        common::timings().modemCloseGuardMs = 80;
        ConnectionSettings s;
        s.ConnectionType = modem ? kGsmCsd : kSerial;
        s.PhoneOrHost = modem ? "5" : "";
        s.DevicePath = emu->slavePath();
        s.BaudRateText = "9600";
        s.Timeout = 400;
        s.TryCount = 2;
        s.RetryPause = 20;
        ASSERT_TRUE(conn.Open(s)) << conn.ErrorText;
        conn.Link->ExtraTimeout = 0;
        std::string status;
        ASSERT_TRUE(conn.PrepareAddressing(12345, 4, "", status));
        emu->clearLog();
    }
    void TearDown() override {
        conn.Close();
        emu.reset();
        common::ResetTimings();
    }
    bool modem = false;
    std::unique_ptr<sim34::Emulator> emu;
    TMeterConnection conn;
};

struct FaultyModem : Faulty {
    FaultyModem() { modem = true; }
};

}  // namespace

TEST_F(Faulty, SilenceGivesNoAnswerAfterEveryTry) {
    emu->setSilence(2);
    DateTime t;
    EXPECT_FALSE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(conn.Meter->ResultCode, 255);
    std::uint8_t code = 0;
    std::string text;
    conn.Meter->GetResultText(code, text);
    EXPECT_EQ(text, "Устройство не ответило на запрос");
    EXPECT_EQ(emu->requests().size(), 2u);
    EXPECT_TRUE(conn.Link->Connected);
    EXPECT_TRUE(conn.Meter->GetDateTime(t));  // the meter is back
}

TEST_F(Faulty, CorruptedCheckIsRetried) {
    emu->setBadCheck(1);
    DateTime t;
    EXPECT_TRUE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(emu->requests().size(), 2u);
    emu->clearLog();
    emu->setBadCheck(2);
    EXPECT_FALSE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(conn.Meter->ResultCode, 254);
    EXPECT_EQ(emu->requests().size(), 2u);
}

TEST_F(Faulty, StaleWrongAndForeignRepliesAreSkipped) {
    emu->setStaleReply(1);
    emu->setOtherMeter(0);
    DateTime t;
    EXPECT_TRUE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(emu->requests().size(), 1u);
    emu->setWrongPacket(2);
    EXPECT_FALSE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(conn.Meter->ResultCode, 253);
    emu->setOtherMeter(2);
    EXPECT_FALSE(conn.Meter->GetDateTime(t));
    EXPECT_EQ(conn.Meter->ResultCode, 251);
}

TEST_F(FaultyModem, LostCarrierStopsAtOnce) {
    DateTime t;
    ASSERT_TRUE(conn.Meter->GetDateTime(t));
    conn.Link->Timeout = 5000;
    // The call drops while the program waits for a reply that will not come.
    emu->setSilence(1);
    std::thread drop([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        emu->dropCarrier();
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(conn.Meter->GetDateTime(t));
    const auto took = std::chrono::steady_clock::now() - t0;
    drop.join();
    EXPECT_FALSE(conn.Link->Connected);
    // No second try and no waiting out the time-out.
    EXPECT_LT(took, std::chrono::seconds(4));
    EXPECT_EQ(emu->requests().size(), 2u);  // the first request and the one the silence swallowed
}

TEST(Connections, ControllerRefusalAndBadSettings) {
    sim34::Config cfg;
    cfg.front = sim34::Front::PLC;
    cfg.controller = true;
    sim34::Emulator emu(cfg);
    ASSERT_TRUE(emu.startTcp());
    common::timings().controllerLogoutPauseMs = common::timings().controllerAfterLoginMs = 10;
    ConnectionSettings s;
    s.ConnectionType = kTcpPlc;
    s.PhoneOrHost = "127.0.0.1";
    s.PortSetting = emu.port();
    s.UseController = true;
    s.ControllerPassword = "wrong";
    TMeterConnection conn;
    bool told = false;
    conn.OnControllerFailed = [&] { told = true; };
    ASSERT_TRUE(conn.Open(s));
    EXPECT_TRUE(conn.ControllerFailed);
    EXPECT_TRUE(told);
    conn.Close();

    // A speed that is not a number is refused before the port is touched.
    ConnectionSettings bad;
    bad.DevicePath = "/dev/null";
    bad.BaudRateText = "fast";
    EXPECT_FALSE(conn.Open(bad));
    EXPECT_EQ(conn.ErrorText, "Скорость обмена «fast» не является числом");
    EXPECT_FALSE(conn.IsOpen());
    common::ResetTimings();
}

TEST(Connections, PlcMeterList) {
    sim34::Config cfg;
    cfg.front = sim34::Front::PLC;
    cfg.plcSlots = {{true, 300, 12345}, {false, 0, 0}, {true, 301, 777}, {true, 302, 888}};
    sim34::Emulator emu(cfg);
    ASSERT_TRUE(emu.startPty());
    ConnectionSettings s;
    s.ConnectionType = kPlc;
    s.DevicePath = emu.slavePath();
    s.Timeout = 1000;
    TMeterConnection conn;
    ASSERT_TRUE(conn.Open(s));
    std::vector<std::string> log;
    ASSERT_TRUE(conn.ListPlcMeters([&](const std::string& l) { log.push_back(l); }));
    EXPECT_EQ(log, (std::vector<std::string>{"Получаем список счетчиков, подключенных к базовой станции",
                                             "Зарегистрировано модемов в БС: 4", "ID/ZNum: 300/12345",
                                             "ID/ZNum: 301/777", "ID/ZNum: 302/888", "Выполнено!"}));
    EXPECT_EQ(conn.Meter->PacketNumber, 0);  // a fresh command object
}
