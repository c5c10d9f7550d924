// The parameter read and write jobs against the emulated meter: row order,
// step lines, the first failure ends the job, a cancel between blocks, and
// the access session of the write job closed on every path.
#include <gtest/gtest.h>

#include <stdexcept>

#include "manager/core/ParameterJobs.h"
#include "manager/core/Parameters.h"
#include "meter34/Structures.h"
#include "tests/manager/core/MeterSim.h"

using namespace manager::core;

namespace {

// Step lines as the progress dialog would show them; a cancel on request.
struct RecordingHooks : common::OperationHooks {
    std::vector<std::string> steps;
    bool cancel = false;
    int events = 0;
    void SetStep(const std::string& text) override { steps.push_back(text); }
    void ProcessEvents() override { ++events; }
    bool CancelRequested() override { return cancel; }
};

// The page's four blocks over its values, as the window wires them; rows 2
// and 3 are left to the test.
struct PageValues {
    MainParameterValues main;
    AdditionalParameterValues additional;
    TransformationRatioValues ratios;
    SecondGroupParameterValues second;

    ParameterBlocks Blocks() {
        ParameterBlocks b;
        b[MainParametersRow] = {[this](OperationContext& c) { return ReadMainParameters(c, main); },
                                [this](OperationContext& c) { return WriteMainParameters(c, main); }};
        b[AdditionalParametersRow] = {[this](OperationContext& c) { return ReadAdditionalParameters(c, additional); },
                                      [this](OperationContext& c) { return WriteAdditionalParameters(c, additional); }};
        b[TransformationRatiosRow] = {[this](OperationContext& c) { return ReadTransformationRatios(c, ratios); },
                                      [this](OperationContext& c) { return WriteTransformationRatios(c, ratios); }};
        b[SecondGroupParametersRow] = {[this](OperationContext& c) { return ReadSecondGroupParameters(c, second); },
                                       [this](OperationContext& c) { return WriteSecondGroupParameters(c, second); }};
        return b;
    }
};

ParameterTicks Ticks(std::initializer_list<int> rows) {
    ParameterTicks t{};
    for (int r : rows) t[static_cast<std::size_t>(r)] = true;
    return t;
}

using Steps = std::vector<std::string>;

struct JobSim : MeterSim {
    RecordingHooks hooks;
    PageValues page;

    void SetUp() override {
        MeterSim::SetUp();
        // A period is chosen, as after a read or a configuration load.
        page.additional.PeriodComboBox = 6;
    }
    OperationContext Context() { return OperationContext(conn, hooks, common::Formats()); }
    // Command codes of the reads (sent in clear).
    std::vector<int> ReadCodes() const {
        std::vector<int> out;
        for (const auto& r : emu->requests())
            if (r.size() > 10 && r[0] == 0x7E && r[9] == 3) out.push_back(r[10]);
        return out;
    }
    void ExpectClosed(const char* name) {
        EXPECT_FALSE(conn.Meter->SessionOpen) << name;
        EXPECT_FALSE(emu->sessionOpen()) << name;
    }
};

}  // namespace

TEST_F(JobSim, RowsRunInTheirOrderWhateverWasTicked) {
    auto ctx = Context();
    ASSERT_TRUE(ReadParametersJob(ctx, page.Blocks(), Ticks({5, 0})));
    EXPECT_EQ(ctx.StatusText, "Чтение параметров выполнено");
    EXPECT_EQ(ReadCodes(), (std::vector<int>{0x06, 0x0E}));
    EXPECT_EQ(hooks.steps, (Steps{"Чтение области параметров...", "Прочитали область параметров",
                                  "Чтение области параметров2...", "Прочитали область параметров2"}));
    // The emulator's factory values reached the values.
    EXPECT_EQ(page.main.InfoTimeEdit, 5);
    EXPECT_EQ(page.second.Max_IEdit, 60);
    EXPECT_EQ(page.additional.SummerDateEdit, "01.01");  // row 1 was not ticked

    emu->clearLog();
    hooks.steps.clear();
    page.main.InfoTimeEdit = 9;
    page.second.Max_IEdit = 75;
    ASSERT_TRUE(WriteParametersJob(ctx, {}, page.Blocks(), Ticks({5, 0})));
    EXPECT_EQ(ctx.StatusText, "Запись параметров выполнена");
    EXPECT_EQ(Types(), (std::vector<int>{1, 1, 1, 4, 4, 2}));  // one access around both blocks
    EXPECT_EQ(hooks.steps, (Steps{"Запись области параметров...", "Записали область параметров",
                                  "Запись области параметров2...", "Записали область параметров2"}));
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(m.state().main[2], 9);
        EXPECT_EQ(meter34::GetU32LE(m.state().second.data() + 6), 75000u);
    });
    ExpectClosed("write");
}

TEST_F(JobSim, EveryBlockReadThenWrittenBack) {
    auto ctx = Context();
    const auto all = Ticks({0, 1, 2, 3, 4, 5});
    ASSERT_TRUE(ReadParametersJob(ctx, page.Blocks(), all));
    EXPECT_EQ(ReadCodes(), (std::vector<int>{0x06, 0x0D, 0x1F, 0x0E}));
    EXPECT_EQ(page.additional.TimeShiftComboBox, 1);
    EXPECT_EQ(page.ratios.CurrentVoltageRatioChangesCountLabel, "Изменений: 1");
    sim34::MeterState before;
    emu->withMeter([&](sim34::MeterModel& m) { before = m.state(); });
    ASSERT_TRUE(WriteParametersJob(ctx, {}, page.Blocks(), all)) << ctx.StatusText;
    emu->withMeter([&](sim34::MeterModel& m) {
        // What was read goes back unchanged, byte for byte.
        EXPECT_EQ(m.state().main, before.main);
        EXPECT_EQ(m.state().additional, before.additional);
        EXPECT_EQ(m.state().second, before.second);
        EXPECT_EQ(m.state().ratioCount, before.ratioCount + 1);
    });
    ExpectClosed("write");
}

TEST_F(JobSim, NothingTicked) {
    auto ctx = Context();
    // Rows 2 and 3 have no operations here: ticked, they are skipped.
    EXPECT_TRUE(ReadParametersJob(ctx, page.Blocks(), Ticks({2, 3})));
    EXPECT_EQ(ctx.StatusText, "Чтение параметров выполнено");
    EXPECT_TRUE(emu->requests().empty());
    EXPECT_TRUE(hooks.steps.empty());

    EXPECT_TRUE(WriteParametersJob(ctx, {}, page.Blocks(), Ticks({})));
    EXPECT_EQ(ctx.StatusText, "Запись параметров выполнена");
    EXPECT_EQ(Types(), (std::vector<int>{1, 1, 1, 2}));
    ExpectClosed("write");
}

TEST_F(JobSim, TheFirstFailingBlockEndsTheJob) {
    struct Case {
        const char* name;
        bool write;
        ParameterTicks ticks;
        std::function<void(JobSim&)> fault;
        const char* text;
        Steps lastSteps;  // the last step lines
        std::vector<int> types;
    } cases[] = {
        {"no answer to row 0: row 1 is not read", false, Ticks({0, 1}), [](JobSim& t) { t.emu->setSilence(1); },
         "Ошибка чтения параметров: Устройство не ответило на запрос",
         {"Чтение области параметров...", "Ошибка чтения области параметров"}, {3}},
        {"the meter refuses ratio 0: row 5 is not written", true, Ticks({0, 4, 5}),
         [](JobSim& t) { t.page.ratios.CurrentRatioEdit = 0; },
         "Ошибка записи коэффициентов трансформации: Неверные параметры",
         {"Запись коэффициентов трансформации...", "Ошибка записи коэффициентов трансформации"}, {1, 1, 1, 4, 4, 2}},
        {"row 5 fails with the line of row 0", true, Ticks({5}),
         [](JobSim& t) { t.emu->forceResult(0x0E, 5); },
         "Ошибка записи параметров: Ошибка базы параметров",
         {"Запись области параметров2...", "Ошибка записи области параметров"}, {1, 1, 1, 4, 2}},
        {"a change date that is no date sends nothing of row 1", true, Ticks({1, 5}),
         [](JobSim& t) { t.page.additional.WinterDateEdit = "31.11"; },
         "Ошибка записи дополнительных параметров: неверная дата перехода «31.11»",
         {"Запись области дополнительных параметров...", "Ошибка записи области дополнительных параметров"},
         {1, 1, 1, 2}},
        {"no integration period", true, Ticks({1}), [](JobSim& t) { t.page.additional.PeriodComboBox = -1; },
         "Ошибка записи дополнительных параметров: не выбран период интеграции",
         {"Запись области дополнительных параметров...", "Ошибка записи области дополнительных параметров"},
         {1, 1, 1, 2}},
        {"access refused: no block is written", true, Ticks({0, 5}), [](JobSim& t) { t.emu->setKeys(7, 1); },
         "Ошибка открытия доступа: Ошибка доступа", {}, {1, 1, 2}},
    };
    for (auto& c : cases) {
        emu->clearLog();
        emu->clearForcedResults();
        emu->setKeys(1, 1);
        hooks.steps.clear();
        page = PageValues{};
        page.additional.PeriodComboBox = 6;
        c.fault(*this);
        auto ctx = Context();
        const bool ok = c.write ? WriteParametersJob(ctx, {}, page.Blocks(), c.ticks)
                                : ReadParametersJob(ctx, page.Blocks(), c.ticks);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(ctx.StatusText, c.text) << c.name;
        const Steps last(hooks.steps.end() - std::min(hooks.steps.size(), c.lastSteps.size()), hooks.steps.end());
        EXPECT_EQ(last, c.lastSteps) << c.name;
        EXPECT_EQ(Types(), c.types) << c.name;
        ExpectClosed(c.name);
    }
}

TEST_F(JobSim, ACancelDuringABlockEndsTheJobBeforeTheNextOne) {
    for (const bool write : {false, true}) {
        emu->clearLog();
        hooks = RecordingHooks{};
        ParameterBlocks blocks = page.Blocks();
        bool row3Ran = false;
        // Row 2 stands for a long block during which "Отмена" is pressed: it
        // ends normally, the job stops before row 3.
        auto row2 = [this](OperationContext& c) {
            hooks.cancel = true;
            c.StatusText = "row 2 done";
            return true;
        };
        auto row3 = [&row3Ran](OperationContext&) { return row3Ran = true; };
        blocks[TariffScheduleRow] = {row2, row2};
        blocks[HolidaysRow] = {row3, row3};
        auto ctx = Context();
        const bool ok = write ? WriteParametersJob(ctx, {}, blocks, Ticks({0, 1, 2, 3, 4, 5}))
                              : ReadParametersJob(ctx, blocks, Ticks({0, 1, 2, 3, 4, 5}));
        EXPECT_FALSE(ok);
        EXPECT_TRUE(hooks.cancel);
        EXPECT_FALSE(row3Ran);
        EXPECT_EQ(ctx.StatusText, "row 2 done");  // the runner reports "Отменено пользователем!"
        EXPECT_EQ(hooks.steps.back(), write ? "Записали область тарифного расписания" : "Прочитали область тарифного расписания");
        // Rows 0 and 1 were exchanged, nothing after row 2.
        const std::vector<int> types = write ? std::vector<int>{1, 1, 1, 4, 4, 2} : std::vector<int>{3, 3};
        EXPECT_EQ(Types(), types);
        ExpectClosed(write ? "write" : "read");
    }
}

TEST_F(JobSim, ABlockThatThrowsStillClosesAccess) {
    ParameterBlocks blocks = page.Blocks();
    blocks[HolidaysRow].write = [](OperationContext&) -> bool { throw std::runtime_error("stop"); };
    auto ctx = Context();
    EXPECT_THROW(WriteParametersJob(ctx, {}, blocks, Ticks({0, 3, 5})), std::runtime_error);
    EXPECT_EQ(Types(), (std::vector<int>{1, 1, 1, 4, 2}));
    ExpectClosed("throw");
}

TEST_F(JobSim, ReadBlocksLetEventsRunAndFailedReadsChangeNothing) {
    auto ctx = Context();
    emu->setSilence(4);
    page.ratios.CurrentRatioEdit = 7;
    page.main.InfoTimeEdit = 9;
    EXPECT_FALSE(ReadMainParameters(ctx, page.main));
    EXPECT_FALSE(ReadTransformationRatios(ctx, page.ratios));
    EXPECT_EQ(ctx.StatusText, "Ошибка чтения коэффициентов трансформации: Устройство не ответило на запрос");
    EXPECT_EQ(page.main.InfoTimeEdit, 9);
    EXPECT_EQ(page.ratios.CurrentRatioEdit, 7);
    EXPECT_EQ(page.ratios.CurrentVoltageRatioChangesCountLabel, "Нет данных");
    EXPECT_EQ(page.ratios.CurrentVoltageRatioLastDateLabel, "Нет данных");

    emu->setSilence(0);
    hooks.events = 0;
    ctx.StatusText = "before";
    EXPECT_TRUE(ReadSecondGroupParameters(ctx, page.second));
    EXPECT_EQ(ctx.StatusText, "before");  // the second group has no text of its own
    EXPECT_EQ(hooks.events, 1);
    EXPECT_TRUE(ReadTransformationRatios(ctx, page.ratios));
    EXPECT_EQ(ctx.StatusText, "Коэффициентов трансформации прочитаны");
    EXPECT_EQ(page.ratios.CurrentRatioEdit, 1);
    EXPECT_TRUE(page.ratios.CurrentVoltageRatioLastDateLabel.starts_with("Последнее: ")) << page.ratios.CurrentVoltageRatioLastDateLabel;
}
