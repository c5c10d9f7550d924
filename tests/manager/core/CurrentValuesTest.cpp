// The live views: the repeat loop against the emulated meter (how many
// requests, the counter, cancel, a failure that unticks the box), and the
// cells of replies written out by hand.
#include <gtest/gtest.h>

#include "manager/core/CurrentValues.h"
#include "tests/manager/core/StatisticsFixtures.h"

using namespace manager::core;
using stats_test::Bytes;
using stats_test::Rows;
using stats_test::RowsOf;

namespace {

using LiveSim = stats_test::SimMeter;
using LiveWire = stats_test::WireMeter;

}  // namespace

TEST_F(LiveSim, TheRepeatLoopCountsItsSuccessfulRequests) {
    struct Case {
        const char* name;
        bool ticked;
        int maxRequests;
        int cancelFrom;   // events after which "Отмена" is pressed (-1 never)
        int silenceAfter; // events after which the meter stops answering (0 never)
        bool result;
        int requests;
        const char* status;
        bool tickedAfter;
        int rowCount;
    } cases[] = {
        {"unticked: one request", false, 0, -1, 0, true, 1, "Выполнено", false, 11},
        {"ticked: until cancelled", true, 0, 3, 0, true, 3, "Прервано пользователем\r\nУспешных запросов: 3", true, 11},
        {"a failure mid-run unticks the box", true, 0, -1, 2, false, 3,
         "Ошибка: Устройство не ответило на запрос\r\nУспешных запросов: 2", false, 2},
        {"cancel before the first request", true, 0, 0, 0, false, 0, "Прервано пользователем\r\nУспешных запросов: 0",
         true, 8},
        {"at most N requests", true, 4, -1, 0, true, 4, "Выполнено", true, 11},
    };
    for (const auto& c : cases) {
        emu->clearLog();
        table.Reset({});
        table.SetRowCount(8);
        hooks = {};
        hooks.cancelFrom = c.cancelFrom;
        hooks.onEvents = [&](int n) {
            if (n == c.silenceAfter) emu->setSilence(1);
        };
        RepeatValues repeat{c.ticked, c.maxRequests};
        auto ctx = Context();
        EXPECT_EQ(ReadStatus(ctx, table, repeat), c.result) << c.name;
        EXPECT_EQ(ctx.StatusText, c.status) << c.name;
        EXPECT_EQ(static_cast<int>(Commands().size()), c.requests) << c.name;
        EXPECT_EQ(repeat.RepeatRequestCheckBox, c.tickedAfter) << c.name;
        EXPECT_EQ(table.RowCount(), c.rowCount) << c.name;
        if (c.rowCount == 2) {
            EXPECT_EQ(RowsOf(table), (Rows{{"Параметр", "Значение"}, {"", ""}})) << c.name;
        }
    }
}

TEST_F(LiveSim, EachViewAsksItsRecordAndFillsItsRows) {
    struct Case {
        const char* name;
        bool (*view)(OperationContext&, StatisticsTable&, RepeatValues&);
        Bytes command;
        std::vector<std::string> header;
        std::vector<std::string> captions;
    } cases[] = {
        {"current values", ReadCurrentValues, {0x03, 0xFF, 0xFF, 0xFF}, {"Параметр", "Фаза A", "Фаза B", "Фаза C"},
         {"P (W)", "Q (Var)", "U (V)", "I (A)", "F (Hz)", "K"}},
        {"status", ReadStatus, {0x09}, {"Параметр", "Значение"},
         {"Версия", "Субверсия", "Контактор", "Скорость инт1", "Скорость инт2", "LCD mode", "Текущий тариф",
          "Текущие ошибки", "Всего тарифов", "Типы энергий"}},
        {"status 2", ReadStatus2, {0x0F}, {"Параметр", "Значение"},
         {"LCD mode 2", "Внеш. контактор", "Скорость инт3", "Откл контактора", "Сост. фазы A по U",
          "Сост. фазы B по U", "Сост. фазы C по U", "Сост. фазы A по I", "Сост. фазы B по I", "Сост. фазы C по I",
          "Сост. фазы A по A+", "Сост. фазы B по A+", "Сост. фазы C по A+", "Сост. фазы A по A-",
          "Сост. фазы B по A-", "Сост. фазы C по A-", "Откл внешн.контактора"}},
    };
    for (const auto& c : cases) {
        emu->clearLog();
        RepeatValues repeat;
        auto ctx = Context();
        ASSERT_TRUE(c.view(ctx, table, repeat)) << c.name << ctx.StatusText;
        EXPECT_EQ(ctx.StatusText, "Выполнено");
        const auto commands = Commands();
        ASSERT_EQ(commands.size(), 1u) << c.name;
        EXPECT_EQ(Bytes(commands[0].begin(), commands[0].end() - 1), c.command) << c.name;
        const Rows rows = RowsOf(table);
        ASSERT_EQ(rows.size(), c.captions.size() + 1) << c.name;
        EXPECT_EQ(rows[0], c.header) << c.name;
        for (std::size_t r = 0; r < c.captions.size(); ++r) {
            EXPECT_EQ(rows[r + 1][0], c.captions[r]) << c.name;
            for (std::size_t k = 1; k < rows[r + 1].size(); ++k)
                if (c.captions[r] != "Контактор" && c.captions[r] != "Внеш. контактор") {
                    EXPECT_FALSE(rows[r + 1][k].empty()) << c.name << " " << c.captions[r];
                }
        }
    }
    // The meter's version comes from the addressing, not from the record.
    EXPECT_EQ(table.Cell(0, 1), "LCD mode 2");
    RepeatValues repeat;
    auto ctx = Context();
    ASSERT_TRUE(ReadStatus(ctx, table, repeat));
    EXPECT_EQ(table.Cell(1, 1), "4");
}

TEST_F(LiveWire, PhaseValuesAreRawTimesScaleWithTheirDecimals) {
    // Masks: A carries P and U, B nothing, C carries P and K.
    answer = [](const Bytes&) {
        return Bytes{0x00, 0x03, 0x05, 0x00, 0x21,
                     0x06, 0xFF, 0xFF, 0xFF,   // P of A: -250
                     0xD8, 0x59, 0x00, 0x00,   // U of A: 23000
                     0x39, 0x30, 0x00, 0x00,   // P of C: 12345
                     0xFF, 0xFF};              // K of C: -1
    };
    RepeatValues repeat;
    auto ctx = Context();
    ASSERT_TRUE(ReadCurrentValues(ctx, table, repeat)) << ctx.StatusText;
    EXPECT_EQ(RowsOf(table), (Rows{{"Параметр", "Фаза A", "Фаза B", "Фаза C"},
                                   {"P (W)", "-2,50", "0,00", "123,45"},
                                   {"Q (Var)", "0,00", "0,00", "0,00"},
                                   {"U (V)", "230,00", "0,00", "0,00"},
                                   {"I (A)", "0,000", "0,000", "0,000"},
                                   {"F (Hz)", "0,00", "0,00", "0,00"},
                                   {"K", "0,0000", "0,0000", "-0,0001"}}));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], (Bytes{0x03, 0xFF, 0xFF, 0xFF}));
}

// Column 1 of the data rows (the captions are checked against the emulator).
std::vector<std::string> Values(const StatisticsTable& t) {
    std::vector<std::string> out;
    for (int r = 1; r < t.RowCount(); ++r) out.push_back(t.Cell(1, r));
    return out;
}

TEST_F(LiveWire, StateAndStatusRecordCells) {
    struct Case {
        const char* name;
        bool (*view)(OperationContext&, StatisticsTable&, RepeatValues&);
        Bytes reply;
        std::vector<std::string> values;
    } cases[] = {
        // Subversion 7, contactor 2 (no text), speeds 05 and 00, LCD mode
        // 1234h, tariff index 3, errors 81h (high byte not shown), 4 tariffs,
        // energy types 0100h.
        {"state", ReadStatus, {0x00, 0x09, 0x07, 0x02, 0x05, 0x00, 0x34, 0x12, 0x03, 0x81, 0xFF, 0x04, 0x00, 0x01},
         {"4", "7", "", "05", "00", "1234", "4", "01h 80h ", "4", "100"}},
    };
    // Status 2: LCD mode 2 = 0005h, external contactor on, speed 07; by U
    // phase A below the limit, B above it, C code 3 (no text); by I B above
    // the limit; A+ and A- above the limit on A. Then the reason lists:
    // bytes 4, 5 and 9, and the texts of rows 4 and 17.
    const struct {
        std::uint8_t byte4, byte5, byte9;
        const char* reason1;
        const char* reason2;
    } reasons[] = {
        {0x21, 0x00, 0x00, "По тарифу", "-"},  // bit 5 is tested after bit 0
        {0x01, 0x20, 0x41, "По превышению тока", "Откл. по интерфейсу"},
        {0x80, 0xCF, 0x90, "-", "-"},  // bits that are not shown
        {0x00, 0x10, 0x0C, "По превышению мощности А-", "Вкл. по тарифу 4"},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const auto& r : reasons)
        all.push_back({r.reason1, ReadStatus2,
                       {0x00, 0x0F, 0x05, 0x00, 0x01, 0x07, r.byte4, r.byte5, 0x38, 0x02, 0x09, r.byte9, 0x00, 0x00},
                       {"05", "ВКЛ", "07", r.reason1, "Ниже лимита", "Выше лимита", "", "Норма", "Выше лимита", "Норма",
                        "Выше лимита A+", "Норма", "Норма", "Выше лимита A-", "Норма", "Норма", r.reason2}});
    for (const auto& c : all) {
        answer = [&](const Bytes&) { return c.reply; };
        RepeatValues repeat;
        auto ctx = Context();
        ASSERT_TRUE(c.view(ctx, table, repeat)) << c.name << ctx.StatusText;
        EXPECT_EQ(Values(table), c.values) << c.name;
    }
}
