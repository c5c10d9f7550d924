// Event journals and change histories: which records are asked for, the
// texts of event codes, the order by time, against the emulated meter; the
// structures' layouts and short replies with records written out by hand.
#include <gtest/gtest.h>

#include "manager/core/Journals.h"
#include "tests/manager/core/StatisticsFixtures.h"

using namespace manager::core;
using stats_test::Bytes;
using stats_test::Rows;
using stats_test::RowsOf;

namespace {

struct JournalSim : stats_test::SimMeter {
    static std::uint32_t Packed(int y, int mo, int d, int h, int mi, int s) {
        return sim34::PackDateTime32(*common::DateTime::make(y, mo, d, h, mi, s));
    }
};

using JournalWire = stats_test::WireMeter;

// 2024-03-05 14:07:08 and 2024-03-06 00:00:00 packed, low byte first.
const Bytes kMarch5 = {0xE4, 0x70, 0x65, 0x30};
const Bytes kMarch6 = {0x00, 0x00, 0x66, 0x30};

Bytes Cat(std::initializer_list<Bytes> parts) { return frames34::Concat(parts); }

}  // namespace

TEST(JournalTexts, EventCodesOfEachJournal) {
    struct Case {
        int journal;
        std::uint8_t code;
        const char* text;
    } cases[] = {
        {0, 0x00, "Отключение"},         {0, 0x21, "Включение"},           {0, 0x05, "5"},
        {1, 0x12, "Фаза B: Повышенное"}, {1, 0x17, "Фаза B: 23"},          {1, 0x03, "Фаза A: Отсутствует"},
        {1, 0x21, "Фаза C: Нормальное"}, {2, 0x00, "Окончание"},           {2, 0x21, "33"},
        {3, 0x01, "Начало"},             {4, 0x01, "Открытие"},            {5, 0x00, "Закрытие"},
        {5, 0x02, "2"},                  {6, 0x02, "Пользователь"},        {6, 0x00, "0"},
        {8, 0x01, "Администратор"},      {7, 0x00, "Отсутствуют"},         {7, 0x05, "01h 04h "},
    };
    for (const auto& c : cases) EXPECT_EQ(EventText(c.journal, c.code), c.text) << c.journal << " " << int(c.code);
    EXPECT_EQ(kJournalNames[2], std::string("Журнал воздействия магнита    "));
    EXPECT_EQ(kJournalNames[6], std::string("Журнал доступа к счётчику"));
}

TEST_F(JournalSim, RecordNumbersDependOnTheMeterVersion) {
    struct Case {
        std::uint16_t version;
        int first, count;
    } cases[] = {{100, 100, 50}, {4, 32, 16}, {3, 32, 16}};
    for (const auto& c : cases) {
        Version(c.version);
        emu->clearLog();
        auto ctx = Context();
        ASSERT_TRUE(ReadEventJournal(ctx, table, 2)) << ctx.StatusText;
        EXPECT_EQ(ctx.StatusText, "Выполнено!");
        EXPECT_EQ(StructIndexes(11), std::vector<int>{2}) << c.version;
        std::vector<int> expected;
        for (int k = c.first; k < c.first + c.count; ++k) expected.push_back(k);
        EXPECT_EQ(StructIndexes(12), expected) << c.version;
        EXPECT_EQ(table.RowCount(), c.count + 1) << c.version;
        EXPECT_EQ(Commands().front()[1], 11) << "the header comes first";
    }
}

TEST_F(JournalSim, RowsSortedByTimeEmptyAndInvalidTimesLast) {
    // Month 13: a time that is not a date.
    const std::uint32_t invalid = (1u << 25) | (13u << 21) | (1u << 16);
    emu->withMeter([&](sim34::MeterModel& m) {
        m.state().journals[1] = {{0x12, Packed(2025, 2, 1, 10, 0, 0)}, {0x17, Packed(2024, 12, 31, 0, 0, 0)}, {0x02, invalid}};
        m.state().journalCounts[1] = 3;
    });
    auto ctx = Context();
    ASSERT_TRUE(ReadEventJournal(ctx, table, 1)) << ctx.StatusText;
    Rows expected = {{"Дата и время", "Тип события"},
                     {"31.12.2024", "Фаза B: 23"},
                     {"01.02.2025 10:00:00", "Фаза B: Повышенное"},
                     {"Неверная дата (0x03A10000)", "Фаза A: Повышенное"}};
    // Entries without a time say nothing about an event.
    for (int k = 3; k < 16; ++k) expected.push_back({"Нет данных", ""});
    EXPECT_EQ(RowsOf(table), expected);
}

TEST_F(JournalSim, AFailedReadKeepsAndSortsTheRowsBeforeIt) {
    emu->withMeter([&](sim34::MeterModel& m) {
        m.state().journals[6] = {{1, Packed(2025, 5, 5, 5, 5, 4)}, {2, Packed(2025, 5, 1, 1, 1, 2)}};
        m.state().journalCounts[6] = 2;
    });
    hooks.onEvents = [&](int n) {
        if (n == 5) emu->setSilence(1);
    };
    auto ctx = Context();
    EXPECT_FALSE(ReadEventJournal(ctx, table, 6));
    EXPECT_EQ(ctx.StatusText, "Ошибка: Устройство не ответило на запрос");
    EXPECT_EQ(RowsOf(table), (Rows{{"Дата и время", "Тип события"},
                                   {"01.05.2025 1:01:02", "Пользователь"},
                                   {"05.05.2025 5:05:04", "Администратор"},
                                   {"Нет данных", ""},
                                   {"Нет данных", ""},
                                   {"Нет данных", ""}}));
    // A header that fails leaves the table empty.
    emu->setSilence(1);
    EXPECT_FALSE(ReadEventJournal(ctx, table, 6));
    EXPECT_EQ(RowsOf(table), (Rows{{"Дата и время", "Тип события"}, {"", ""}}));
    EXPECT_EQ(ctx.StatusText, "Ошибка: Устройство не ответило на запрос");
}

TEST_F(JournalSim, RatioHistorySortedAndEmptyEntriesWithoutEnergies) {
    emu->withMeter([&](sim34::MeterModel& m) {
        m.state().ratioHistory = {{40, 1, Packed(2025, 6, 1, 12, 0, 0), {100, 200, 300, 400}},
                                  {80, 2, Packed(2025, 1, 1, 12, 0, 0), {1, 2, 3, 4}}};
        m.state().ratioCount = 2;
    });
    auto ctx = Context();
    ASSERT_TRUE(ReadRatioChangeHistory(ctx, table)) << ctx.StatusText;
    EXPECT_EQ(ctx.StatusText, "Выполнено");
    Rows expected = {{"Дата время смены", "KI", "KU", "T1", "T2", "T3", "T4"},
                     {"01.01.2025 12:00:00", "80", "2", "1", "2", "3", "4"},
                     {"01.06.2025 12:00:00", "40", "1", "100", "200", "300", "400"}};
    for (int i = 2; i < 16; ++i) expected.push_back({"Отсутствует", "Н/Д", "Н/Д", "Н/Д", "Н/Д", "Н/Д", "Н/Д"});
    EXPECT_EQ(RowsOf(table), expected);
    std::vector<int> all;
    for (int i = 0; i < 16; ++i) all.push_back(i);
    EXPECT_EQ(StructIndexes(30), all);
    EXPECT_EQ(StructIndexes(31), (std::vector<int>{0, 1}));
}

TEST_F(JournalSim, ClockHistoryHasFiveRowsInTheMetersOrder) {
    emu->withMeter([&](sim34::MeterModel& m) {
        m.state().clockChanges = {{2, Packed(2025, 3, 1, 8, 0, 0), Packed(2025, 3, 1, 8, 10, 0)},
                                  {7, Packed(2024, 1, 1, 0, 0, 0), Packed(2024, 1, 2, 0, 0, 0)}};
        m.state().clockChangeCount = 2;
    });
    auto ctx = Context();
    ASSERT_TRUE(ReadTimeChangeHistory(ctx, table)) << ctx.StatusText;
    EXPECT_EQ(ctx.StatusText, "Выполнено");
    EXPECT_EQ(RowsOf(table), (Rows{{"Код оператора", "До смены", "Установлено"},
                                   {"Пользователь", "01.03.2025 8:00:00", "01.03.2025 8:10:00"},
                                   {"", "01.01.2024", "02.01.2024"},
                                   {"Корректировка", "Отсутствует", "Отсутствует"},
                                   {"Корректировка", "Отсутствует", "Отсутствует"},
                                   {"Корректировка", "Отсутствует", "Отсутствует"}}));
    EXPECT_EQ(StructIndexes(17), std::vector<int>{0});
}

TEST_F(JournalWire, StructureLayoutsFromBytesWrittenOut) {
    Structures({
        {{11, 0}, {0x10, 0x00, 0x02, 0xAA, 0xBB}},
        {{12, 0}, Cat({{0x21}, kMarch6, {0x12, 0x34}})},
        {{12, 1}, Cat({{0x00}, kMarch5, {0x56, 0x78}})},
        {{17, 0}, Cat({{0x02, 0x00, 0x02}, {0x01}, kMarch5, kMarch6, {0x09}, Bytes(8, 0), Bytes(27, 0), {0x11, 0x22}})},
        {{30, 0}, Cat({{0x90, 0x01, 0x64, 0x00}, kMarch5, {0x00, 0x00}})},
        {{31, 0}, {0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x10, 0x27, 0, 0, 0x33, 0x44}},
        {{30, 1}, {0x05, 0x00, 0x05, 0x00, 0, 0, 0, 0, 0, 0}},
    });
    auto ctx = Context();
    ASSERT_TRUE(ReadEventJournal(ctx, table, 0)) << ctx.StatusText;
    ASSERT_EQ(table.RowCount(), 17);
    EXPECT_EQ(RowsOf(table)[1], (std::vector<std::string>{"05.03.2024 14:07:08", "Отключение"}));
    EXPECT_EQ(RowsOf(table)[2], (std::vector<std::string>{"06.03.2024", "Включение"}));

    ASSERT_TRUE(ReadTimeChangeHistory(ctx, table)) << ctx.StatusText;
    EXPECT_EQ(RowsOf(table)[1], (std::vector<std::string>{"Администратор", "05.03.2024 14:07:08", "06.03.2024"}));
    EXPECT_EQ(RowsOf(table)[2], (std::vector<std::string>{"", "Отсутствует", "Отсутствует"}));

    commands.clear();
    ASSERT_TRUE(ReadRatioChangeHistory(ctx, table)) << ctx.StatusText;
    EXPECT_EQ(RowsOf(table)[1],
              (std::vector<std::string>{"05.03.2024 14:07:08", "400", "100", "1", "4294967295", "0", "10000"}));
    // An entry without a time has no energies, whatever else it holds.
    EXPECT_EQ(RowsOf(table)[2], (std::vector<std::string>{"Отсутствует", "Н/Д", "Н/Д", "Н/Д", "Н/Д", "Н/Д", "Н/Д"}));
    int energies = 0;
    for (const auto& c : commands) energies += c[1] == 31;
    EXPECT_EQ(energies, 1);
}

TEST_F(JournalWire, AShortStructureFailsTheRead) {
    struct Case {
        const char* name;
        std::pair<int, int> at;
        Bytes record;
        std::function<bool(OperationContext&, StatisticsTable&)> read;
        const char* status;
        int rowCount;
    } cases[] = {
        {"journal header", {11, 3}, Bytes(4, 0), [](auto& c, auto& t) { return ReadEventJournal(c, t, 3); },
         "Ошибка: неверная длина ответа (4 байт вместо 5)", 2},
        {"journal record", {12, 49}, Bytes(6, 0), [](auto& c, auto& t) { return ReadEventJournal(c, t, 3); },
         "Ошибка: неверная длина ответа (6 байт вместо 7)", 2},
        {"clock history", {17, 0}, Bytes(48, 0), ReadTimeChangeHistory, "Ошибка: неверная длина ответа (48 байт вместо 50)",
         2},
        {"ratio entry", {30, 2}, Bytes(9, 0), ReadRatioChangeHistory, "Ошибка: неверная длина ответа (9 байт вместо 10)",
         3},
        {"ratio energies", {31, 0}, Bytes(16, 0), ReadRatioChangeHistory,
         "Ошибка: неверная длина ответа (16 байт вместо 18)", 2},
    };
    for (const auto& c : cases) {
        std::map<std::pair<int, int>, Bytes> records = {{c.at, c.record}};
        if (c.at.first == 31) records[{30, 0}] = Cat({{1, 0, 1, 0}, kMarch5, {0, 0}});
        Structures(records);
        auto ctx = Context();
        EXPECT_FALSE(c.read(ctx, table)) << c.name;
        EXPECT_EQ(ctx.StatusText, c.status) << c.name;
        EXPECT_EQ(table.RowCount(), c.rowCount) << c.name;
    }
}
