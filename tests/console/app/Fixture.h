#pragma once
// The real main window of Ostrilon on the offscreen platform, with the
// scripted UI double, short pauses and a private settings file. Compiled
// into the tests of both builds (with and without the TCP server).

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <stdexcept>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/OperationProgress.h"
#include "console/app/CurrencyEditor.h"
#include "console/app/Main.h"
#include "console/app/Main_Commands.h"
#include "tests/support/qt/WindowTestEnvironment.h"

// Records the title of every runner dialog as it shows.
class RunnerTitles : public QObject {
public:
    RunnerTitles() { qApp->installEventFilter(this); }
    ~RunnerTitles() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show)
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(o)) titles << r->Label1->text();
        return false;
    }
    QStringList titles;
};

// Processes window events until pred holds or ms pass.
inline bool WaitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Once the currency editor opens: keeps what it shows in shown, types text
// and presses OK.
inline void AnswerCurrencyEditor(QString& shown, const QString& text) {
    testsupport::WhenDialogOpens("console::TFrmInputCurrency", [&shown, text](QWidget* d) {
        auto& dlg = *static_cast<console::TFrmInputCurrency*>(d);
        shown = dlg.CurrencyEdit->text();
        dlg.CurrencyEdit->setText(text);
        dlg.OKButton->click();
    });
}

// The texts of the recorded boxes, for messages of failed checks.
inline std::string BoxTexts(const testsupport::ScriptedUi& ui) {
    std::string s;
    for (const auto& b : ui.boxes) s += "[" + b.caption.toStdString() + "] " + b.text.toStdString() + "\n";
    return s;
}

struct OstrilonFixture : ::testing::Test, testsupport::WindowTestEnvironment {
    QTemporaryDir dir;
    std::unique_ptr<console::TFrmMain> w;

    void SetUp() override {
        auto& t = common::timings();
        t.consoleSendPauseMs = 2;
        // A reply's first byte may take 10 polls: generous for a loaded machine.
        t.consolePollMs = 40;
        w = std::make_unique<console::TFrmMain>(SettingsPath());
    }
    void TearDown() override {
        if (w) w->close();
        w.reset();
    }
    QString SettingsPath() const { return dir.filePath("Ostrilon.INI"); }

    // A control of the window by its object name; the test stops when there is none.
    template <class T>
    T* Find(const char* name) const {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c) throw std::logic_error(std::string("no control ") + name);
        return c;
    }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QMenu* Menu(const char* name) const { return Find<QMenu>(name); }
    console::TMeterCommands& Commands() const { return *Find<console::TMeterCommands>("MeterCommands"); }
    QSpinBox* CounterNumEdit() const { return Find<QSpinBox>("CounterNumEdit"); }
    QDoubleSpinBox* CounterIdentEdit() const { return Find<QDoubleSpinBox>("CounterIdentEdit"); }
    QLineEdit* CurrentPasswordEdit() const { return Find<QLineEdit>("CurrentPasswordEdit"); }
    QTabWidget* PageControl1() const { return Find<QTabWidget>("PageControl1"); }
#ifndef OSTRILON_SERIAL_ONLY
    QComboBox* ConnectionTypeComboBox() const { return Find<QComboBox>("ConnectionTypeComboBox"); }
    QPushButton* ConnectButton() const { return Find<QPushButton>("ConnectButton"); }
    QPushButton* DisconnectButton() const { return Find<QPushButton>("DisconnectButton"); }
#endif

    // The meter the emulator plays by default.
    void AddressDefaultMeter() {
        CounterNumEdit()->setValue(1234567);
        CounterIdentEdit()->setValue(1);
    }
    std::vector<testsupport::RecordedBox> Boxes() const { return ui->boxes; }

#ifndef OSTRILON_SERIAL_ONLY
    // "Подключиться" on the serial link to device.
    void ConnectSerial(const std::string& device) {
        w->Settings.ComPortDevice = device;
        ConnectionTypeComboBox()->setCurrentIndex(console::TFrmMain::kRS232);
        ConnectButton()->click();
    }
    // "Подключиться" on the TCP server at port.
    void Listen(int port) {
        w->Settings.TcpServerPort = port;
        ConnectionTypeComboBox()->setCurrentIndex(console::TFrmMain::kTcpServer);
        ConnectButton()->click();
    }
#endif
};
