// The operation runner dialog and the formats of dates and numbers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/OperationProgress.h"
#include "tests/support/qt/ScriptedUi.h"

using namespace common::ui;

namespace {

struct Runner : ::testing::Test {
    testsupport::ScriptedUi ui;
    void SetUp() override {
        common::timings().runnerStartMs = 10;
        InstallEventHook();
    }
    void TearDown() override {
        common::ResetTimings();
        common::SetProcessEventsHook({});
    }
};

TFrmOperationProgress* OpenRunner() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<TFrmOperationProgress*>(w); d && d->isVisible()) return d;
    return nullptr;
}

}  // namespace

TEST_F(Runner, ResultCodesFollowTheOperation) {
    EXPECT_EQ(RunOperation(nullptr, "c", "t", [] { return true; }), kResultOk);
    EXPECT_EQ(RunOperation(nullptr, "c", "t", [] { return false; }), kResultFailed);
    // "Отмена" pressed while the operation lets events through.
    EXPECT_EQ(RunOperation(nullptr, "c", "t",
                           [] {
                               auto* d = OpenRunner();
                               if (!d) return true;
                               EXPECT_EQ(d->windowTitle(), "c");
                               EXPECT_EQ(d->Label1->text(), "t");
                               EXPECT_EQ(d->Button1->text(), "Отмена");
                               QTest::mouseClick(d->Button1, Qt::LeftButton);
                               common::SleepMs(30);  // the hook processes the click
                               return !CancelRequested();
                           }),
              kResultCancelled);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Runner, AnExceptionEndsTheOperationWithItsText) {
    EXPECT_EQ(RunOperation(nullptr, "c", "t", []() -> bool { throw std::runtime_error("COM port not opened"); }),
              kResultFailed);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.Last().text, "COM port not opened");
    EXPECT_EQ(ui.Last().caption, "Ошибка");
}

TEST_F(Runner, StepsShowOnTheSecondLineAndEscapeDoesNotClose) {
    QString seen;
    EXPECT_EQ(RunOperation(nullptr, "c", "t",
                           [&] {
                               SetStep("Чтение блока 3");
                               auto* d = OpenRunner();
                               QTest::keyClick(d, Qt::Key_Escape);
                               common::SleepMs(20);
                               seen = d->isVisible() ? d->Label2->text() : QString();
                               return true;
                           }),
              kResultOk);
    EXPECT_EQ(seen, "Чтение блока 3");
}

TEST_F(Runner, WrapperReceivesTheOperation) {
    int calls = 0;
    EXPECT_EQ(RunOperation(nullptr, "c", "t", [&] { ++calls; return true; },
                           [&](const Operation& op) { return op() && false; }),
              kResultFailed);
    EXPECT_EQ(calls, 1);
}

TEST(Formats, RussianDatesTimesAndNumbers) {
    SetFormats(FormatSettings::Russian());
    const auto t = *common::DateTime::make(2024, 2, 9, 7, 5, 3);
    EXPECT_EQ(FormatDateTime(t), "09.02.2024 7:05:03");
    EXPECT_EQ(FormatDateTime(*common::DateTime::make(2024, 2, 9)), "09.02.2024");  // midnight: date alone
    EXPECT_EQ(FormatFixed(-2.5, 2), "-2,50");
    EXPECT_EQ(common::ui::LongMonthNames().value(0), "Январь");
    EXPECT_EQ(FormatDateTime(common::DateTime{}), "");
}
