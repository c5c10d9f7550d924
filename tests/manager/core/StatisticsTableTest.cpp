// The statistics table without a meter: its shape at start and after a
// reset, what a window showing it is told, the order by date, and the CSV
// file byte for byte (Windows-1251 written out by hand).
#include <gtest/gtest.h>

#include <filesystem>

#include "common/core/AtomicFile.h"
#include "manager/core/Export.h"
#include "manager/core/StatisticsTable.h"
#include "tests/manager/core/StatisticsFixtures.h"

using namespace manager::core;
using stats_test::Rows;
using stats_test::RowsOf;

namespace {

std::string Bytes(std::initializer_list<unsigned> b) {
    std::string s;
    for (unsigned v : b) s += static_cast<char>(v);
    return s;
}

struct Recorder : StatisticsTable::Listener {
    std::vector<std::string> events;
    const StatisticsTable* t = nullptr;
    void TableReset() override { events.push_back("reset"); }
    void RowCountChanged() override { events.push_back("rows " + std::to_string(t->RowCount())); }
    void RowsChanged(int first, int last) override {
        events.push_back("changed " + std::to_string(first) + ".." + std::to_string(last));
    }
};

struct TempDir : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("stats-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Read(const std::filesystem::path& p) {
        std::string bytes, error;
        EXPECT_TRUE(common::ReadWholeFile(p.string(), bytes, error)) << error;
        return bytes;
    }
};

constexpr Column kTwo[] = {{"Параметр", 130}, {"Значение", 100}};

}  // namespace

TEST(StatisticsTable, StartsAsTheFormsTwoByEightAndEveryViewStartsFromTwoRows) {
    StatisticsTable t;
    EXPECT_EQ(t.ColCount(), 2);
    EXPECT_EQ(t.RowCount(), 8);
    EXPECT_EQ(RowsOf(t), Rows(8, {"", ""}));

    constexpr Column seven[] = {{"Дата время смены", 130}, {"KI", 75}, {"KU", 75}, {"T1", 75},
                                {"T2", 75},               {"T3", 75}, {"T4", 75}};
    t.Reset(seven);
    for (int r = 1; r <= 16; ++r)
        for (int c = 0; c < 7; ++c) t.SetCell(c, r, "x");
    t.SetRowCount(17);
    t.Reset(kTwo);
    EXPECT_EQ(t.ColCount(), 2);
    EXPECT_EQ(t.ColWidth(0), 130);
    EXPECT_EQ(t.ColWidth(1), 100);
    EXPECT_EQ(RowsOf(t), (Rows{{"Параметр", "Значение"}, {"", ""}}));
    // Nothing of the earlier view comes back when the rows and columns do.
    t.SetRowCount(5);
    t.Reset(seven);
    t.SetRowCount(17);
    for (int r = 1; r < 17; ++r)
        for (int c = 0; c < 7; ++c) EXPECT_EQ(t.Cell(c, r), "") << c << "," << r;
    EXPECT_EQ(t.Cell(7, 1), "");
    EXPECT_EQ(t.Cell(0, 17), "");
}

TEST(StatisticsTable, AWindowHearsOfEachRowAfterItsCells) {
    StatisticsTable t;
    Recorder rec;
    rec.t = &t;
    t.AddListener(&rec);
    t.Reset(kTwo);
    // Row 1 exists from the reset on; rows 2 and 3 are written before the
    // row count covers them, as the journal views do.
    t.SetCell(0, 1, "a");
    t.SetRowCount(2);
    t.SetCell(0, 2, "b");
    t.SetCell(1, 2, "c");
    t.SetRowCount(3);
    t.SetCell(0, 0, "header");
    t.SetRowCount(1);
    t.RemoveListener(&rec);
    t.SetRowCount(4);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"reset", "changed 1..1", "rows 3", "changed 0..0", "rows 1"}));
    // A dropped row is gone for good.
    EXPECT_EQ(t.Cell(0, 2), "");
}

TEST(StatisticsTable, SortingByDateKeepsTheReadOrderOfEqualKeysAndPutsUndatedRowsAtTomorrow) {
    using common::DateTime;
    const DateTime now = *DateTime::make(2025, 3, 10, 15, 0, 0);
    StatisticsTable t;
    t.Reset(kTwo);
    const struct {
        const char* text;
        DateTime moment;
    } rows[] = {
        {"d3", *DateTime::make(2025, 3, 9)},
        {"none1", {}},
        {"d1", *DateTime::make(2024, 1, 1, 12, 0, 0)},
        {"none2", {}},
        {"d1 again", *DateTime::make(2024, 1, 1, 12, 0, 0)},
        {"after tomorrow", *DateTime::make(2025, 3, 12)},
        {"tomorrow", *DateTime::make(2025, 3, 11)},
    };
    int r = 1;
    for (const auto& row : rows) {
        t.SetCell(0, r, row.text, row.moment);
        t.SetCell(1, r, std::to_string(r));
        t.SetRowCount(++r);
    }
    t.SortRowsByDate(now);
    EXPECT_EQ(RowsOf(t), (Rows{{"Параметр", "Значение"},
                               {"d1", "3"},
                               {"d1 again", "5"},
                               {"d3", "1"},
                               {"none1", "2"},
                               {"none2", "4"},
                               {"tomorrow", "7"},
                               {"after tomorrow", "6"}}));
}

using Csv = TempDir;

TEST_F(Csv, EveryCellFollowedBySemicolonLinesInCrLfWindows1251) {
    std::string eightEmptyLines;
    for (int i = 0; i < 8; ++i) eightEmptyLines += ";;\r\n";
    struct Case {
        const char* name;
        std::function<void(StatisticsTable&)> fill;
        std::string bytes;
    } cases[] = {
        {"the form's table at start", [](StatisticsTable&) {}, eightEmptyLines},
        {"two columns, one data row, its second cell empty",
         [](StatisticsTable& t) {
             t.Reset(kTwo);
             t.SetCell(0, 1, "Версия");
         },
         // Параметр;Значение;\r\nВерсия;;\r\n
         Bytes({0xCF, 0xE0, 0xF0, 0xE0, 0xEC, 0xE5, 0xF2, 0xF0, ';', 0xC7, 0xED, 0xE0, 0xF7, 0xE5, 0xED, 0xE8, 0xE5,
                ';', '\r', '\n', 0xC2, 0xE5, 0xF0, 0xF1, 0xE8, 0xFF, ';', ';', '\r', '\n'})},
        {"texts kept as shown: Н/Д, Нет данных, the blank after an error list",
         [](StatisticsTable& t) {
             constexpr Column three[] = {{"", 64}, {"", 64}, {"", 64}};
             t.Reset(three);
             t.SetCell(0, 1, "Н/Д");
             t.SetCell(1, 1, "Нет данных");
             t.SetCell(2, 1, "01h 80h ");
         },
         Bytes({';', ';', ';', '\r', '\n', 0xCD, '/', 0xC4, ';', 0xCD, 0xE5, 0xF2, ' ', 0xE4, 0xE0, 0xED, 0xED, 0xFB,
                0xF5, ';', '0', '1', 'h', ' ', '8', '0', 'h', ' ', ';', '\r', '\n'})},
    };
    for (const auto& c : cases) {
        StatisticsTable t;
        c.fill(t);
        const auto path = dir / "result.csv";
        std::string error;
        ASSERT_TRUE(SaveTableCsv(t, path.string(), error)) << c.name << error;
        EXPECT_EQ(Read(path), c.bytes) << c.name;
    }
}

TEST_F(Csv, AnExistingFileIsReplacedAndAFailedWriteLeavesNothing) {
    const auto path = dir / "result.csv";
    std::string error;
    ASSERT_TRUE(common::WriteFileAtomically(path.string(), "old contents that are longer", error));
    StatisticsTable t;
    t.Reset(kTwo);
    ASSERT_TRUE(SaveTableCsv(t, path.string(), error)) << error;
    EXPECT_EQ(Read(path), Bytes({0xCF, 0xE0, 0xF0, 0xE0, 0xEC, 0xE5, 0xF2, 0xF0, ';', 0xC7, 0xED, 0xE0, 0xF7, 0xE5,
                                 0xED, 0xE8, 0xE5, ';', '\r', '\n', ';', ';', '\r', '\n'}));

    const auto missing = dir / "no such folder" / "result.csv";
    EXPECT_FALSE(SaveTableCsv(t, missing.string(), error));
    EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}
