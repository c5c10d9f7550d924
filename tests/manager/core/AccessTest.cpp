// The access session around changing operations, against the emulated meter:
// whatever fails, the session is closed again, and fields that are not
// numbers send nothing at all.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/core/Timings.h"
#include "manager/core/Access.h"
#include "manager/core/AdminCommands.h"
#include "tests/manager/core/MeterSim.h"

using namespace manager::core;

using AccessSim = MeterSim;

TEST_F(AccessSim, TheSessionIsAlwaysClosedAgain) {
    struct Case {
        const char* name;
        AccessValues access;
        int silentRequests;  // the meter does not answer the first ones
        bool throws;         // the operation throws after its exchange
        bool result;
        const char* status;
        std::vector<int> types;  // 1 session steps, 2 closing, 3 read, 4 write
    } cases[] = {
        {"all steps pass", {}, 0, false, true, "Время установлено", {1, 1, 1, 4, 2}},
        {"no answer to AUTH_0", {}, 1, false, false, "Ошибка открытия доступа: Устройство не ответило на запрос",
         {1, 2}},
        {"wrong key A: AUTH_1 refused", {"1", "1", "7", "1"}, 0, false, false,
         "Ошибка открытия доступа: Ошибка доступа", {1, 1, 2}},
        {"wrong password: AUTH_2 refused", {"1", "99", "1", "1"}, 0, false, false,
         "Ошибка открытия доступа: Ошибка доступа", {1, 1, 1, 2}},
        {"the operation throws", {}, 0, true, false, "", {1, 1, 1, 4, 2}},
        {"key B is not a number", {"1", "1", "1", "abc"}, 0, false, false,
         "Ошибка открытия доступа: в поле «Ключ Б» не целое число: «abc»", {}},
        {"level out of range", {"256", "1", "1", "1"}, 0, false, false,
         "Ошибка открытия доступа: значение поля «Уровень доступа» вне диапазона 0..255", {}},
    };
    for (const auto& c : cases) {
        emu->clearLog();
        emu->setSilence(c.silentRequests);
        OperationContext ctx(conn, common::NoHooks(), common::Formats());
        bool result = false;
        auto op = [&](OperationContext& x) {
            const bool ok = WriteDateTime(x);
            if (c.throws) throw std::runtime_error("stop");
            return ok;
        };
        if (c.throws) {
            EXPECT_THROW(WithAccess(ctx, c.access, op), std::runtime_error) << c.name;
        } else {
            result = WithAccess(ctx, c.access, op);
            EXPECT_EQ(ctx.StatusText, c.status) << c.name;
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(Types(), c.types) << c.name;
        EXPECT_FALSE(conn.Meter->SessionOpen) << c.name;
        EXPECT_FALSE(emu->sessionOpen()) << c.name;
    }
}

TEST_F(AccessSim, TwoSessionsInARowThenAReadInClear) {
    OperationContext ctx(conn, common::NoHooks(), common::Formats());
    EXPECT_TRUE(WithAccess(ctx, {}, WriteDateTime));
    EXPECT_TRUE(WithAccess(ctx, {}, WriteDateTime));
    emu->clearLog();
    EXPECT_TRUE(ReadDateTime(ctx));
    ASSERT_EQ(emu->requests().size(), 1u);
    EXPECT_EQ(emu->requests()[0][9], 0x03);  // a read, cipher bit clear
    EXPECT_TRUE(ctx.StatusText.starts_with("Дата и время счетчика: ")) << ctx.StatusText;
}
