// The page "Статистика" in the real window against the emulated meter: its
// controls, each button through the runner, rows shown while they arrive,
// repeat and cancel, "Сохранить результаты", and quorvane-cli writing the
// same file for the same view.
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "WindowFixture.h"
#include "common/core/AtomicFile.h"
#include "common/core/TextCodec.h"
#include "manager/Unit1_Views.h"
#include "manager/core/Export.h"
#include "sim/meter34/Emulator.h"
#include "tests/support/Child.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct StatsWindow : WindowFixture {
    std::unique_ptr<sim34::Emulator> emu;

    void StartMeter() {
        emu = std::make_unique<sim34::Emulator>();
        ASSERT_TRUE(emu->startPty());
        Find<QSpinBox>("MaxTimeoutEdit")->setValue(300);
        Find<QSpinBox>("MaxTryCountEdit")->setValue(1);
        ASSERT_TRUE(ConnectSerial(emu->slavePath()));
        Find<QLineEdit>("MeterNumEdit")->setText("12345");
        ui->Clear();
    }
    void TearDown() override {
        WindowFixture::TearDown();
        emu.reset();
    }
    QTableView* Grid() const { return Find<QTableView>("StringGrid1"); }
    QAbstractItemModel* Model() const { return Grid()->model(); }
    // What the grid shows: the header, then the rows.
    Rows Shown() const {
        Rows out(1);
        QAbstractItemModel* m = Model();
        for (int c = 0; c < m->columnCount(); ++c) out[0].push_back(m->headerData(c, Qt::Horizontal).toString().toStdString());
        for (int r = 0; r < m->rowCount(); ++r) {
            out.emplace_back();
            for (int c = 0; c < m->columnCount(); ++c) out.back().push_back(m->index(r, c).data().toString().toStdString());
        }
        return out;
    }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    std::string ReadFile(const QString& path) {
        std::string bytes, error;
        EXPECT_TRUE(common::ReadWholeFile(path.toStdString(), bytes, error)) << error;
        return bytes;
    }
};

}  // namespace

TEST_F(StatsWindow, ThePageAfterTheFirstWithItsControls) {
    auto* pages = Find<QTabWidget>("PageControl1");
    ASSERT_GE(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), "Адресация и параметры доступа");
    const int statistics = pages->indexOf(Find<QWidget>("StatisticsPage"));
    EXPECT_EQ(pages->tabText(statistics), "Статистика");
    EXPECT_EQ(pages->tabText(statistics - 1), "Параметризация");
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"GetCurrentValuesButton", "Текущие значения"},
                   {"GetStatusButton", "Статус"},
                   {"Button6", "Статус 2"},
                   {"Button1", "Прочитать события"},
                   {"Button4", "История изменения времени"},
                   {"Button5", "История изменения коэф. трансформации"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(Find<QPushButton>(b.name)->text(), b.caption);
        EXPECT_FALSE(Find<QPushButton>(b.name)->isEnabled()) << b.name << " without a connection";
    }
    EXPECT_TRUE(Find<QPushButton>("SaveResultsButton")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("SaveResultsButton")->text(), "Сохранить результаты");
    EXPECT_EQ(Find<QCheckBox>("RepeatRequestCheckBox")->text(), "Повторять попытки");
    EXPECT_FALSE(Find<QCheckBox>("RepeatRequestCheckBox")->isChecked());
    auto* journals = Find<QComboBox>("EventTypeComboBox");
    ASSERT_EQ(journals->count(), 9);
    EXPECT_EQ(journals->currentIndex(), 0);
    EXPECT_EQ(journals->itemText(0), "Журнал включения питания");
    EXPECT_EQ(journals->itemText(2), "Журнал воздействия магнита    ");
    EXPECT_EQ(journals->itemText(8), "Журнал стирания признака воздействия");
    auto* report = Find<QAction>("SaveCurrentValues1");
    EXPECT_EQ(report->text(), "Сохранить текущие параметры...");
    EXPECT_FALSE(report->isVisible());
    EXPECT_FALSE(report->isEnabled());
    // The form's table before any view: two columns, seven empty rows.
    EXPECT_EQ(Shown(), Rows(8, {"", ""}));

    StartMeter();
    for (const auto& b : buttons) EXPECT_TRUE(Find<QPushButton>(b.name)->isEnabled()) << b.name;
    // A hidden item is never enabled; once shown it follows the connection.
    report->setVisible(true);
    EXPECT_TRUE(report->isEnabled());
    Find<QAction>("CloseCommunication1")->trigger();
    EXPECT_FALSE(report->isEnabled());
}

TEST_F(StatsWindow, EachButtonRunsItsViewIntoTheGrid) {
    StartMeter();
    const struct {
        const char* button;
        int journal;
        int rows;
        const char* header0;
        const char* status;
    } cases[] = {
        {"GetCurrentValuesButton", 0, 6, "Параметр", "Выполнено"},
        {"GetStatusButton", 0, 10, "Параметр", "Выполнено"},
        {"Button6", 0, 17, "Параметр", "Выполнено"},
        {"Button1", 6, 16, "Дата и время", "Выполнено!"},
        {"Button4", 0, 5, "Код оператора", "Выполнено"},
        {"Button5", 0, 16, "Дата время смены", "Выполнено"},
    };
    for (const auto& c : cases) {
        Find<QComboBox>("EventTypeComboBox")->setCurrentIndex(c.journal);
        emu->clearLog();
        Click(c.button);
        EXPECT_TRUE(ui->boxes.empty()) << c.button << ": " << ui->Last().text.toStdString();
        EXPECT_EQ(w->StatusPanelText(1), c.status) << c.button;
        EXPECT_EQ(Model()->rowCount(), c.rows) << c.button;
        EXPECT_EQ(Model()->headerData(0, Qt::Horizontal).toString(), c.header0) << c.button;
        // Every column at least as wide as its header text.
        for (int col = 0; col < Model()->columnCount(); ++col)
            EXPECT_GE(Grid()->columnWidth(col), Grid()->horizontalHeader()->sectionSizeHint(col)) << c.button << col;
    }
    // The journal chosen is the one asked for: the access journal's records.
    Find<QComboBox>("EventTypeComboBox")->setCurrentIndex(6);
    emu->clearLog();
    Click("Button1");
    bool journal6 = false;
    for (const auto& r : emu->requests()) journal6 = journal6 || (r.size() > 13 && r[10] == 0x14 && r[11] == 12 && r[12] == 96);
    EXPECT_TRUE(journal6);
}

TEST_F(StatsWindow, JournalRowsAppearWhileTheReadRuns) {
    StartMeter();
    std::vector<int> whileRunning;
    QObject::connect(Model(), &QAbstractItemModel::rowsInserted, Grid(), [&] {
        if (qobject_cast<common::ui::TFrmOperationProgress*>(QApplication::activeModalWidget()))
            whileRunning.push_back(Model()->rowCount());
    });
    Click("Button1");
    EXPECT_EQ(whileRunning.size(), 15u);  // row 1 exists from the start of the view
    for (std::size_t i = 0; i < whileRunning.size(); ++i) EXPECT_EQ(whileRunning[i], static_cast<int>(i) + 2);
}

TEST_F(StatsWindow, RepeatUntilCancelThenAFailureUnticksTheBox) {
    StartMeter();
    auto* repeat = Find<QCheckBox>("RepeatRequestCheckBox");
    repeat->setChecked(true);
    int resets = 0;
    auto conn = QObject::connect(Model(), &QAbstractItemModel::modelReset, Grid(), [&] {
        if (++resets == 3)
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(QApplication::activeModalWidget()))
                QTest::mouseClick(r->Button1, Qt::LeftButton);
    });
    Click("GetCurrentValuesButton");
    QObject::disconnect(conn);
    // The last request succeeded: no box, only the status line.
    EXPECT_TRUE(ui->boxes.empty()) << ui->Last().text.toStdString();
    EXPECT_EQ(w->StatusPanelText(1), "Прервано пользователем\r\nУспешных запросов: 3");
    EXPECT_TRUE(repeat->isChecked());
    EXPECT_EQ(Model()->rowCount(), 6);

    emu->setSilence(1);
    Click("GetStatusButton");
    EXPECT_EQ(ui->Last().text, "Ошибка: Устройство не ответило на запрос\r\nУспешных запросов: 0");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_FALSE(repeat->isChecked());
    EXPECT_EQ(Shown(), (Rows{{"Параметр", "Значение"}, {"", ""}}));
    // Unticked, the next press makes one request.
    emu->clearLog();
    Click("GetStatusButton");
    EXPECT_EQ(emu->requests().size(), 1u);
}

TEST_F(StatsWindow, SaveResultsWritesTheTableAsCsv) {
    const QString path = dir.filePath("results");
    // Right after start: the form's empty table, with the default extension added.
    ui->fileAnswers = {path};
    Click("SaveResultsButton");
    EXPECT_EQ(ui->fileDialogs.size(), 1);
    EXPECT_EQ(ui->Last().text, "Результаты сохранены в файл");
    EXPECT_EQ(ui->Last().caption, "Информация");
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += ";;\r\n";
    EXPECT_EQ(ReadFile(path + ".csv"), eight);

    // Cancelling the dialog writes nothing and shows nothing.
    ui->Clear();
    Click("SaveResultsButton");
    EXPECT_TRUE(ui->boxes.empty());

    // A file that cannot be written is an error, and no success box.
    ui->fileAnswers = {dir.filePath("missing/results.csv")};
    Click("SaveResultsButton");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_TRUE(ui->Last().text.startsWith("Не удалось сохранить результаты: ")) << ui->Last().text.toStdString();
}

TEST_F(StatsWindow, TheCliWritesTheWindowsFileForTheSameView) {
    StartMeter();
    emu->withMeter([](sim34::MeterModel& m) {
        m.state().journals[6] = {{1, sim34::PackDateTime32(*common::DateTime::make(2025, 4, 3, 2, 1, 0))}};
        m.state().journalCounts[6] = 1;
    });
    const struct {
        const char* button;
        std::vector<std::string> view;
    } cases[] = {{"Button1", {"journal", "6"}}, {"Button4", {"time-history"}}, {"Button5", {"ratio-history"}}};
    Find<QComboBox>("EventTypeComboBox")->setCurrentIndex(6);
    std::vector<std::string> windowFiles;
    for (const auto& c : cases) {
        Click(c.button);
        const QString path = dir.filePath(QString::fromLatin1(c.button) + ".csv");
        ui->fileAnswers = {path};
        Click("SaveResultsButton");
        windowFiles.push_back(ReadFile(path));
    }
    // The port is the window's alone while it is connected.
    Find<QAction>("CloseCommunication1")->trigger();
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const std::string path = dir.filePath(QString("cli-%1.csv").arg(k)).toStdString();
        std::vector<std::string> argv = {QUORVANE_CLI, "--serial", emu->slavePath(), "--baud", "9600",
                                         "--meter", "12345", "table"};
        argv.insert(argv.end(), cases[k].view.begin(), cases[k].view.end());
        argv.insert(argv.end(), {"--csv", path});
        testchild::Child cli(argv);
        ASSERT_EQ(cli.Wait(60000), 0) << cli.err;
        EXPECT_TRUE(cli.out.empty()) << cli.out;
        EXPECT_EQ(ReadFile(QString::fromStdString(path)), windowFiles[k]) << cases[k].button;
    }
    EXPECT_NE(windowFiles[0].find(common::Utf8ToCp1251("03.04.2025 2:01:00;Администратор;\r\n")), std::string::npos)
        << windowFiles[0];
}
