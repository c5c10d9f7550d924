// The command layer against a scripted meter on an in-memory link:
// byte-exact requests, reply checks, tries and the access session.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "meter34/CRCUtils.h"
#include "meter34/MeterNew.h"
#include "meter34/Structures.h"
#include "tests/support/MemoryLink.h"
#include "tests/support/MeterFrames.h"

using namespace meter34;
using frames34::Bytes;
using frames34::Stuff;

namespace {

// A stuffed reply frame: payload = result code + data (sum appended); the
// data after the result code enciphered with key when given.
Bytes Reply(std::uint32_t number, std::uint16_t version, std::uint8_t packet, std::uint8_t type, Bytes payload,
            const Key4* key = nullptr) {
    return Stuff(frames34::ReplyFrame(number, version, packet, type, std::move(payload), key));
}

Bytes Payload(const Bytes& req, const Key4* key = nullptr) { return frames34::RequestPayload(req, key); }

struct MeterFixture : ::testing::Test {
    testsupport::MemoryLink link;
    TDirect_MeterExchange exchange{&link};
    TMeter meter{&exchange};
    // Given a request (unstuffed), the byte chunks to answer with.
    std::function<std::vector<Bytes>(const Bytes&)> respond = [](const Bytes&) { return std::vector<Bytes>{}; };
    std::vector<Bytes> requests;

    void SetUp() override {
        link.Timeout = 300;
        link.TryCount = 1;
        link.RetryPause = 10;
        meter.MeterNumber = 12345;
        meter.MeterVersion = 4;
        link.responder = [this](const Bytes& written, testsupport::MemoryLink& l) {
            const Bytes req = frames34::Unstuff(written);
            requests.push_back(req);
            for (const auto& chunk : respond(req)) l.Send(chunk);
        };
    }
    void Respond(std::function<std::vector<Bytes>(const Bytes&)> f) { respond = std::move(f); }
    const std::vector<Bytes>& Requests() const { return requests; }
};

// A meter answering every read with result 0 and `data`, echoing the packet number.
auto Answer(Bytes data, std::uint32_t number = 12345) {
    return [data, number](const Bytes& req) {
        Bytes p = {0x00};
        p.insert(p.end(), data.begin(), data.end());
        return std::vector<Bytes>{Reply(number, 4, req[8] & 0x0F, req[9] & 0x7F, p)};
    };
}

}  // namespace

TEST_F(MeterFixture, FirstStateRequestIsTheKnownFrameAndPacketsRunOneToZero) {
    Respond(Answer(Bytes(13, 0)));
    MeterState state{};
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(meter.GetState(state)) << i;
    const auto reqs = Requests();
    ASSERT_EQ(reqs.size(), 16u);
    EXPECT_EQ(reqs[0], (Bytes{0x7E, 0x02, 0x39, 0x30, 0x00, 0x00, 0x04, 0x00, 0x01, 0x03, 0x09, 0x09, 0x3E, 0x18}));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(reqs[static_cast<std::size_t>(i)][8], (i + 1) % 16) << i;
}

TEST_F(MeterFixture, RejectedFramesAreSkippedWhileWaiting) {
    // Before the right reply: a stale reply (previous packet number), a frame of
    // another meter, a corrupted frame and a request echo. All are skipped.
    Respond([](const Bytes& req) {
        const std::uint8_t pn = req[8] & 0x0F;
        Bytes bad = Reply(12345, 4, pn, 3, {0x00, 0x11});
        bad[bad.size() - 1] ^= 0x55;
        return std::vector<Bytes>{Reply(12345, 4, static_cast<std::uint8_t>((pn + 15) % 16), 3, {0x00, 0x99}),
                                  Reply(777, 4, pn, 3, {0x00, 0x98}), bad, Stuff(req),
                                  Reply(12345, 4, pn, 3, {0x00, 0x29, 0x42})};
    });
    std::uint8_t level = 0;
    ASSERT_TRUE(meter.GetLoraPower(level));
    EXPECT_EQ(level, 0x42);
    EXPECT_EQ(meter.ResultCode, 0);
}

TEST_F(MeterFixture, LastRejectionIsReportedWhenNothingValidArrives) {
    struct Case { const char* name; std::function<Bytes(const Bytes&)> reply; std::uint8_t code; } cases[] = {
        {"silence", [](const Bytes&) { return Bytes{}; }, 255},
        {"another meter", [](const Bytes& r) { return Reply(777, 4, r[8] & 0x0F, 3, {0x00, 1}); }, 251},
        {"stale packet", [](const Bytes& r) { return Reply(12345, 4, (r[8] + 1) & 0x0F, 3, {0x00, 1}); }, 253},
        {"request echo", [](const Bytes& r) { return Stuff(r); }, 250},
        {"bad frame check", [](const Bytes& r) { Bytes b = Reply(12345, 4, r[8] & 0x0F, 3, {0x00, 1}); b.back() ^= 1; return b; }, 254},
        {"bad payload sum", [](const Bytes& r) {
             // The sum should be 0x01.
             return Stuff(frames34::MeterFrame(12345, 4, static_cast<std::uint8_t>(0x80 | (r[8] & 0x0F)), 3, {0x00, 0x01, 0x77}));
         }, 252},
    };
    for (const auto& c : cases) {
        Respond([&c](const Bytes& r) { return std::vector<Bytes>{c.reply(r)}; });
        link.TryCount = 2;
        const auto before = Requests().size();
        std::uint8_t level = 0;
        EXPECT_FALSE(meter.GetLoraPower(level)) << c.name;
        EXPECT_EQ(meter.ResultCode, c.code) << c.name;
        EXPECT_EQ(Requests().size() - before, 2u) << c.name;  // both tries were sent
        std::uint8_t code;
        std::string text;
        meter.GetResultText(code, text);
        if (c.code == 255) {
            EXPECT_EQ(text, "Устройство не ответило на запрос");
        }
    }
}

TEST_F(MeterFixture, NumberZeroLearnsTheMeterThenRefusesAnother) {
    meter.MeterNumber = 0;
    meter.MeterVersion = 0;
    int calls = 0;
    Respond([&calls](const Bytes& r) {
        const std::uint32_t who = calls++ == 0 ? 12345 : 54321;
        return std::vector<Bytes>{Reply(who, 0x0104, r[8] & 0x0F, 3, {0x00, 0x29, 0x07})};
    });
    std::uint8_t level = 0;
    ASSERT_TRUE(meter.GetLoraPower(level));
    EXPECT_EQ(meter.MeterNumber, 12345u);
    EXPECT_EQ(meter.MeterVersion, 0x0104);
    EXPECT_FALSE(meter.GetLoraPower(level));
    EXPECT_EQ(meter.ResultCode, 251);
    // The learned version's low byte goes into later requests.
    EXPECT_EQ(Requests().back()[6], 0x04);
    EXPECT_EQ(Requests().back()[7], 0x00);
}

TEST_F(MeterFixture, AccessSessionDerivesTheKeyAndEnciphersCommands) {
    const Key4 keyA = Key4::FromNumber(1111), keyB = Key4::FromNumber(2222);
    const Bytes challenge = {0x10, 0x20, 0x30, 0x40};
    Key4 session;
    std::memcpy(session.b, challenge.data(), 4);
    Cipher(session.b, 4, keyA);
    Key4 response = session;
    Cipher(response.b, 4, keyB);
    Respond([&](const Bytes& r) {
        const std::uint8_t pn = r[8] & 0x0F, type = r[9] & 0x7F;
        const Bytes p = Payload(r, &session);
        if (type == 1 && p[0] == 0x00) return std::vector<Bytes>{Reply(12345, 4, pn, 1, {0x00, 0x00, 0x10, 0x20, 0x30, 0x40})};
        if (type == 1 && p[0] == 0x01) {
            const bool ok = Bytes(p.begin() + 1, p.begin() + 5) == Bytes(response.b, response.b + 4);
            return std::vector<Bytes>{Reply(12345, 4, pn, 1, {static_cast<std::uint8_t>(ok ? 0 : 1)})};
        }
        if (type == 1 && p[0] == 0x02) {
            const bool ok = p[1] == 2 && GetU32LE(p.data() + 2) == 777u;
            return std::vector<Bytes>{Reply(12345, 4, pn, 1, {static_cast<std::uint8_t>(ok ? 0 : 1)}, &session)};
        }
        if (type == 2) return std::vector<Bytes>{Reply(12345, 4, pn, 2, {0x00})};
        return std::vector<Bytes>{Reply(12345, 4, pn, type, {0x00}, (r[9] & 0x80) ? &session : nullptr)};
    });
    ASSERT_TRUE(meter.OpenSession(2, 777, 1111, 2222));
    EXPECT_TRUE(meter.SessionOpen);
    EXPECT_EQ(meter.SessionKey, session);
    ASSERT_TRUE(meter.SetDateTime(*DateTime::make(2024, 2, 29, 13, 5, 7)));
    ASSERT_TRUE(meter.CloseSession());
    EXPECT_FALSE(meter.SessionOpen);
    const auto reqs = Requests();
    ASSERT_EQ(reqs.size(), 5u);
    EXPECT_EQ(reqs[0][9], 0x01);
    EXPECT_EQ(reqs[2][9], 0x81);  // AUTH_2 enciphered
    EXPECT_EQ(reqs[3][9], 0x84);  // the command too, while the session is open
    // Year 2024 goes out as 24, 20.
    EXPECT_EQ(Payload(reqs[3], &session), (Bytes{0x0B, 13, 5, 7, 0, 29, 2, 24, 20,
                                                 Sum8(Bytes{0x0B, 13, 5, 7, 0, 29, 2, 24, 20}.data(), 9)}));
    EXPECT_EQ(Payload(reqs[4]), Bytes{0x00});  // close: the sum byte alone
    EXPECT_EQ(reqs[4][9], 0x02);

    // Wrong key A: AUTH_1 refused; no session.
    ASSERT_FALSE(meter.OpenSession(2, 777, 1, 2222));
    EXPECT_EQ(meter.ResultCode, 1);
    EXPECT_FALSE(meter.SessionOpen);
    // Wrong password: AUTH_2 refused, the session stays marked open until closed.
    ASSERT_FALSE(meter.OpenSession(2, 778, 1111, 2222));
    EXPECT_TRUE(meter.SessionOpen);
    meter.CloseSession();
    EXPECT_FALSE(meter.SessionOpen);
}

TEST_F(MeterFixture, EncipheredRefusalKeepsItsResultCodeInClear) {
    meter.SessionOpen = true;
    meter.SessionKey = Key4::FromNumber(0xDEADBEEF);
    const Key4 other = Key4::FromNumber(0x01020304);  // the meter uses another key
    Respond([&](const Bytes& r) { return std::vector<Bytes>{Reply(12345, 4, r[8] & 0x0F, 4, {0x07}, &other)}; });
    EXPECT_FALSE(meter.SetContactor(1));
    EXPECT_EQ(meter.ResultCode, 7);
    std::uint8_t code;
    std::string text;
    meter.GetResultText(code, text);
    EXPECT_EQ(text, "Нет прав доступа");
}

TEST_F(MeterFixture, RepliesShorterThanTheirFieldsFail) {
    struct Case { const char* name; Bytes data; std::function<bool(TMeter&)> call; std::uint8_t code; } cases[] = {
        {"struct of 5 bytes delivers 0", {0x00, 0x09, 0x00, 0x00}, [](TMeter& m) {
             std::uint8_t d[256];
             int len = -1;
             return m.GetStruct(9, 0, len, d) && len == 0;
         }, 0},
        {"struct shorter than its header", {0x00, 0x09}, [](TMeter& m) {
             std::uint8_t d[256];
             int len = -1;
             return !m.GetStruct(9, 0, len, d);
         }, 252},
        {"clock without its fields", {0x00, 12}, [](TMeter& m) { DateTime t; return !m.GetDateTime(t); }, 252},
        {"clock with impossible fields", {0x00, 25, 0, 0, 1, 31, 2, 24, 20}, [](TMeter& m) { DateTime t; return !m.GetDateTime(t); }, 252},
        {"profile announcing more values than sent", {0x00, 10, 0x00, 0x06, 0x01, 0x00}, [](TMeter& m) {
             std::uint16_t v[255];
             std::uint8_t c, p;
             return !m.GetPowerGrafic(0, 0, *DateTime::make(2024, 1, 1), c, v, p);
         }, 252},
        {"phase values missing", {0x00, 0xFF, 0xFF, 0xFF, 0, 0}, [](TMeter& m) { PhaseValues pv; return !m.GetPhaseValues(255, 255, 255, pv); }, 252},
    };
    for (const auto& c : cases) {
        Respond(Answer(c.data));
        EXPECT_TRUE(c.call(meter)) << c.name;
        EXPECT_EQ(meter.ResultCode, c.code) << c.name;
    }
}

TEST_F(MeterFixture, ReadsDecodeTheirFields) {
    Respond(Answer({0x00, 13, 5, 7, 4, 29, 2, 24, 20}));
    DateTime t;
    ASSERT_TRUE(meter.GetDateTime(t));
    EXPECT_EQ(t, *DateTime::make(2024, 2, 29, 13, 5, 7));

    const std::uint32_t stamp = (24u << 25) | (3u << 21) | (1u << 16) | (8u << 11);
    Respond(Answer({0x00, 0x10, 0x00, 0x64, 0x00, static_cast<std::uint8_t>(stamp), static_cast<std::uint8_t>(stamp >> 8),
                    static_cast<std::uint8_t>(stamp >> 16), static_cast<std::uint8_t>(stamp >> 24), 0x03, 0x00}));
    std::uint16_t ci, cu, n;
    DateTime last;
    ASSERT_TRUE(meter.GetIUCoefficients(ci, cu, last, n));
    EXPECT_EQ(ci, 16);
    EXPECT_EQ(cu, 100);
    EXPECT_EQ(last, *DateTime::make(2024, 3, 1, 8));
    EXPECT_EQ(n, 3);

    // Masks 01, 00, 04: P of phase A and U of phase C, everything else zero.
    Respond(Answer({0x00, 0x01, 0x00, 0x04, 0x06, 0xFF, 0xFF, 0xFF, 0x10, 0x5A, 0x00, 0x00}));
    PhaseValues pv;
    ASSERT_TRUE(meter.GetPhaseValues(255, 255, 255, pv));
    EXPECT_EQ(pv.Phase[0].P, -250);
    EXPECT_EQ(pv.Phase[2].U, 23056);
    EXPECT_EQ(pv.Phase[0].U, 0);
    EXPECT_EQ(pv.Phase[1].Mask, 0);
    EXPECT_EQ(Payload(Requests().back()), (Bytes{0x03, 0xFF, 0xFF, 0xFF, 0x00}));
}

TEST_F(MeterFixture, ResultTexts) {
    struct Case { std::uint8_t code; const char* text; } cases[] = {
        {0, "Выполнено успешно"}, {8, "Ошибка  пользователя (не существует такого пользователя)"},
        {15, "Нет данных"}, {16, "Ошибка с кодом:16"}, {249, "Ошибка с кодом:249"},
        {250, "Неверный тип пакета (ожидается ответ)"}, {254, "Ошибка CRC пакета"},
    };
    for (const auto& c : cases) EXPECT_EQ(TMeter::ResultText(c.code), c.text);
}

TEST(MeterEnvelopes, ExitTransparentModeTravelsInsideAPLCEnvelope) {
    testsupport::MemoryLink link;
    TPLC_MeterExchange plc(&link);
    plc.Destination = 300;
    TMeter meter(&plc);
    ASSERT_TRUE(meter.ExitTransparentMode());
    Bytes expected = {0xCA, 0x12, 0x00, 0x00, 0x60, 0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x01,
                      0x2A, 0x2A, 0x2A, 0x2A, 0x2A};
    expected.push_back(Sum8(expected.data() + 1, expected.size() - 1));
    ASSERT_EQ(link.Written().size(), 1u);
    EXPECT_EQ(link.Written()[0], expected);
}

TEST(MeterEnvelopes, EveryExchangeCarriesTheSameRequestAndHandsBackAnUnstuffedReply) {
    // The first state request of meter 12345, version 4, in clear, and a
    // state record whose bytes need both stuffings on the way back.
    const Bytes request = {0x7E, 0x02, 0x39, 0x30, 0x00, 0x00, 0x04, 0x00, 0x01, 0x03, 0x09, 0x09, 0x3E, 0x18};
    const MeterState state = {0x7E, 0x7D, 0x7A, 0x73, 0xCA, 0x5E, 0x5D, 0x11, 0x22, 0x00, 0xFF, 0x01};
    const Bytes reply = Stuff(frames34::ReplyFrame(12345, 4, 1, 3, frames34::Concat({{0x00, 0x09}, Bytes(state.begin(), state.end())})));
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TMeterExchange>(links::TCommunication*)> make;
        Bytes sent;
        Bytes answer;
    } cases[] = {
        {"direct", [](links::TCommunication* l) { return std::make_unique<TDirect_MeterExchange>(l); }, request, reply},
        {"radio route 12;34",
         [](links::TCommunication* l) {
             auto rf = std::make_unique<TRF_Route_MeterExchange>(l);
             EXPECT_TRUE(rf->SetRoute("12;34;12345"));
             return rf;
         },
         frames34::Concat({{0x7A, 0x22, 0x0C, 0x00, 0x22, 0x00, 0x39, 0x30, 0x00, 0x0E, 0x08}, request, {0x63, 0xC6}}),
         frames34::RFReply({12, 34, 12345}, reply)},
        {"PLC modem 300",
         [](links::TCommunication* l) {
             auto plc = std::make_unique<TPLC_MeterExchange>(l);
             plc->Destination = 300;
             return plc;
         },
         frames34::Concat({{0xCA, 0x1B, 0x00, 0x00, 0x60, 0x01, 0x00, 0x01, 0x08, 0x07, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x01},
                           request, {0x13}}),
         frames34::PLCReply(reply)},
    };
    for (const auto& c : cases) {
        testsupport::MemoryLink link;
        link.Timeout = 300;
        link.responder = [&c](const Bytes&, testsupport::MemoryLink& l) { l.Send(c.answer); };
        auto exchange = c.make(&link);
        TMeter meter(exchange.get());
        meter.MeterNumber = 12345;
        meter.MeterVersion = 4;
        MeterState got{};
        EXPECT_TRUE(meter.GetState(got)) << c.name << ": " << TMeter::ResultText(meter.ResultCode);
        EXPECT_EQ(got, state) << c.name;
        ASSERT_EQ(link.Written().size(), 1u) << c.name;
        EXPECT_EQ(link.Written()[0], c.sent) << c.name;
    }
}

TEST_F(MeterFixture, NoTriesSendNothingAndKeepTheLastResult) {
    Respond([](const Bytes& r) { return std::vector<Bytes>{Reply(12345, 4, r[8] & 0x0F, 3, {0x07})}; });
    std::uint8_t level = 0;
    EXPECT_FALSE(meter.GetLoraPower(level));
    EXPECT_EQ(meter.ResultCode, 7);
    link.TryCount = 0x100;  // only the low 8 bits count: no try at all
    EXPECT_FALSE(meter.GetLoraPower(level));
    EXPECT_EQ(meter.ResultCode, 7);
    EXPECT_EQ(Requests().size(), 1u);
}
