// The currency editor and the day-month picker.
#include <QComboBox>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "Fixture.h"
#include "console/app/CalendarEditor.h"
#include "console/app/CurrencyEditor.h"

using Editors = OstrilonFixture;

namespace {

// Types text key by key, letters outside ASCII included.
void TypeText(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// What typing keys leaves in the currency edit, and whether OK closes the dialog.
struct Typed {
    QString text;
    bool accepted;
};
Typed TypeIntoCurrencyEditor(const QString& start, const std::function<void(QLineEdit*)>& keys) {
    console::TFrmInputCurrency d;
    d.CurrencyEdit->setText(start);
    d.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.CurrencyEdit->setFocus();
    keys(d.CurrencyEdit);
    const QString text = d.CurrencyEdit->text();
    d.OKButton->click();
    return {text, d.result() == QDialog::Accepted && !d.isVisible()};
}

}  // namespace

TEST_F(Editors, CurrencyEditorTakesLettersOnlyAndClosesWithThree) {
    struct Row {
        const char* start;
        const char* keys;
        const char* text;
        bool accepted;
    } rows[] = {
        {"", "1", "", false},            // digits are ignored
        {"", "RU", "RU", false},         // two letters cannot be confirmed
        {"", "RUB", "RUB", true},
        {"", "R1U2B3", "RUB", true},
        {"", "rub", "rub", true},        // as typed in this build
        {"", "[_`", "[_`", true},        // the six signs between Z and a count as letters
        {"", "A{z", "Az", false},        // 123 is past z
        {"", "A@", "A", false},          // 64 is before A
        {"", "RUBX", "RUB", true},       // at most three
        {"", "ру", "", false},           // not Latin letters
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.keys);
        const Typed t = TypeIntoCurrencyEditor(r.start, [&](QLineEdit* e) { TypeText(e, QString::fromUtf8(r.keys)); });
        EXPECT_EQ(t.text, QString::fromUtf8(r.text));
        EXPECT_EQ(t.accepted, r.accepted);
    }
    // Backspace works, and the text read from the meter can be corrected.
    const Typed t = TypeIntoCurrencyEditor("RUB", [](QLineEdit* e) {
        e->end(false);
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, "R");
    });
    EXPECT_EQ(t.text, "RUR");
    EXPECT_TRUE(t.accepted);
}

TEST_F(Editors, CurrencyEditorCancelAlwaysCloses) {
    console::TFrmInputCurrency d;
    EXPECT_EQ(d.windowTitle(), "Смена валюты");
    EXPECT_EQ(d.Label1->text(), "Идентификатор валюты");
    EXPECT_EQ(d.OKButton->text(), "OK");
    EXPECT_EQ(d.CancelButton->text(), "Cancel");
    d.show();
    d.CurrencyEdit->setText("R");
    d.CancelButton->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
}

TEST(DayMonth, TextsReadAsDayAndMonth) {
    struct Row {
        const char* text;
        int day, month;
    } rows[] = {
        {"05.03", 5, 3}, {"29.02", 29, 2}, {"1.1", 1, 1},  {"31.12", 31, 12}, {" 07.11 ", 7, 11},
        {"31.04", 0, 0}, {"30.02", 0, 0},  {"00.05", 0, 0}, {"12.13", 0, 0},  {"abc", 0, 0},
        {"", 0, 0},      {"5", 0, 0},      {"05.03.2024", 5, 3}, {"29.02.2024", 29, 2}, {"29.02.2023", 0, 0},
        {"05.03.24", 5, 3}, {"05-03", 0, 0},
    };
    for (const auto& r : rows) {
        const auto dm = console::ParseDayMonth(r.text);
        EXPECT_EQ(dm.day, r.day) << r.text;
        EXPECT_EQ(dm.month, r.month) << r.text;
    }
}

TEST(DayMonth, PickerStaysOnTheDesktop) {
    const QRect desktop(0, 0, 1000, 800);
    const QSize size(200, 80);
    struct Row {
        QPoint at, want;
    } rows[] = {
        {{100, 100}, {100, 100}},  // fits
        {{100, 750}, {100, 720}},  // up from the bottom
        {{900, 100}, {800, 100}},  // left from the right edge
        {{950, 790}, {800, 720}},  // both
        {{-50, -20}, {0, 0}},      // not left of or above the desktop
    };
    for (const auto& r : rows) EXPECT_EQ(console::FitOnDesktop(r.at, size, desktop), r.want) << r.at.x() << "," << r.at.y();
    // A desktop that does not start at 0 (a second screen on the left).
    EXPECT_EQ(console::FitOnDesktop({-2000, 100}, size, QRect(-1920, 0, 3840, 1080)), QPoint(-1920, 100));
    // Larger than the desktop: the top-left corner stays visible.
    EXPECT_EQ(console::FitOnDesktop({10, 10}, QSize(2000, 2000), desktop), QPoint(0, 0));
}

namespace {

// Opens the picker on text and lets drive() choose; returns PickDayMonth's result.
QString Pick(QWidget* owner, const QString& text, const std::function<void(console::TFrmCalendarEditor&)>& drive,
             int* shownDay = nullptr, int* shownMonth = nullptr, QPoint* shownAt = nullptr) {
    testsupport::WhenDialogOpens("console::TFrmCalendarEditor", [=](QWidget* d) {
        auto& p = *static_cast<console::TFrmCalendarEditor*>(d);
        if (shownDay) *shownDay = p.ComboBox1->currentIndex();
        if (shownMonth) *shownMonth = p.ComboBox2->currentIndex();
        if (shownAt) *shownAt = p.pos();
        drive(p);
    });
    return console::PickDayMonth(owner, text, 100, 100);
}

void Choose(console::TFrmCalendarEditor& p, int day, int month) {
    p.ComboBox1->setCurrentIndex(day - 1);
    p.ComboBox2->setCurrentIndex(month - 1);
}

}  // namespace

TEST_F(Editors, DayMonthPickerCloses) {
    struct Row {
        const char* text;
        int day, month;  // chosen (0: no choice)
        std::function<void(console::TFrmCalendarEditor&)> close;
        const char* result;
    } rows[] = {
        {"", 29, 2, [](auto& p) { QTest::keyClick(&p, Qt::Key_Return); }, "29.02"},
        {"", 31, 4, [](auto& p) { QTest::keyClick(&p, Qt::Key_Enter); }, ""},  // no 31st of April
        {"01.01", 5, 3, [](auto& p) { p.SpeedButton1->click(); }, "05.03"},
        {"", 7, 11, [](auto& p) { QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(2, p.height() - 2)); }, "07.11"},
        {"12.06", 1, 1, [](auto& p) { QTest::keyClick(&p, Qt::Key_Escape); }, "12.06"},  // cancel keeps the text
        {"garbage", 1, 1, [](auto& p) { QTest::keyClick(&p, Qt::Key_Escape); }, "garbage"},
        {"", 0, 0, [](auto& p) { p.SpeedButton1->click(); }, ""},  // nothing chosen
        {"", 15, 0, [](auto& p) { p.SpeedButton1->click(); }, ""},  // no month
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.text) + " -> " + r.result);
        const QString got = Pick(w.get(), r.text, [&](console::TFrmCalendarEditor& p) {
            if (r.day) p.ComboBox1->setCurrentIndex(r.day - 1);
            if (r.month) p.ComboBox2->setCurrentIndex(r.month - 1);
            r.close(p);
        });
        EXPECT_EQ(got, QString::fromUtf8(r.result));
    }
}

TEST_F(Editors, DayMonthPickerShowsTheGivenDay) {
    struct Row {
        const char* text;
        int dayIndex, monthIndex;
    } rows[] = {{"05.03", 4, 2}, {"29.02", 28, 1}, {"", -1, -1}, {"31.04", -1, -1}, {"xx", -1, -1}};
    for (const auto& r : rows) {
        int day = -5, month = -5;
        Pick(w.get(), r.text, [](auto& p) { QTest::keyClick(&p, Qt::Key_Escape); }, &day, &month);
        EXPECT_EQ(day, r.dayIndex) << r.text;
        EXPECT_EQ(month, r.monthIndex) << r.text;
    }
    console::TFrmCalendarEditor p;
    EXPECT_EQ(p.windowTitle(), "Выбор даты");
    EXPECT_EQ(p.Label1->text(), "Укажите дату");
    ASSERT_EQ(p.ComboBox1->count(), 31);
    EXPECT_EQ(p.ComboBox1->itemText(0), "1");
    EXPECT_EQ(p.ComboBox1->itemText(30), "31");
    ASSERT_EQ(p.ComboBox2->count(), 12);
    EXPECT_EQ(p.ComboBox2->itemText(0), "Январь");
    EXPECT_EQ(p.ComboBox2->itemText(11), "Декабрь");
    EXPECT_EQ(p.SpeedButton1->text(), "X");
    EXPECT_TRUE(p.windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(Editors, AClickOnADateEditOpensThePickerBelowIt) {
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto* edit = new QLineEdit(QStringLiteral("01.05"), PageControl1());
    edit->setObjectName(QStringLiteral("listhappydayMD0Edit"));
    edit->setGeometry(20, 20, 80, 24);
    edit->show();
    console::InstallDayMonthPicker(edit);

    QPoint at;
    QSize size;
    int day = -1;
    testsupport::WhenDialogOpens("console::TFrmCalendarEditor", [&](QWidget* d) {
        auto& p = *static_cast<console::TFrmCalendarEditor*>(d);
        at = p.pos();
        size = p.size();
        day = p.ComboBox1->currentIndex();
        Choose(p, 8, 3);
        p.SpeedButton1->click();
    });
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(edit->text(), "08.03");
    EXPECT_EQ(day, 0);
    const QPoint corner = edit->mapToGlobal(QPoint(0, edit->height()));
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_EQ(at, console::FitOnDesktop(corner, size, desktop));

    // Cancelled: the text stays.
    testsupport::WhenDialogOpens("console::TFrmCalendarEditor",
                                 [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(edit->text(), "08.03");
}
