#pragma once
// The real main window on the offscreen platform, with the scripted UI
// double, short pauses and a private settings file.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <memory>

#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/OperationProgress.h"
#include "manager/OpenCommunication.h"
#include "manager/Unit1.h"
#include "manager/core/AdminCommands.h"
#include "tests/support/qt/WindowTestEnvironment.h"

struct WindowFixture : ::testing::Test, testsupport::WindowTestEnvironment {
    QTemporaryDir dir;
    std::unique_ptr<manager::TFrmMain> w;

    void SetUp() override {
        auto& t = common::timings();
        t.modemSettleMs = t.modemAfterHangupMs = t.modemCloseGuardMs = 10;
        t.controllerLogoutPauseMs = 10;
        t.controllerAfterLoginMs = 10;
        w = std::make_unique<manager::TFrmMain>(SettingsPath());
    }
    void TearDown() override {
        if (w) w->close();
        w.reset();
    }
    QString SettingsPath() const { return dir.filePath("Quorvane_v3_4.INI"); }

    // A control of the window by its name (the names double as file keys).
    template <class T>
    T* Find(const char* name) const {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c) ADD_FAILURE() << "the window has no " << name;
        return c;
    }

    // Opens a connection through the real dialog: fill is called with the
    // dialog before "OK" is pressed. Returns what the connect returned.
    bool ConnectWith(std::function<void(manager::TFrmOpenCommunication&)> fill) {
        testsupport::WhenDialogOpens("manager::TFrmOpenCommunication", [fill](QWidget* d) {
            auto& dlg = *static_cast<manager::TFrmOpenCommunication*>(d);
            fill(dlg);
            dlg.Button1->click();
            if (dlg.isVisible()) dlg.reject();  // validation kept it open
        });
        Find<QAction>("OpenCommunication1")->trigger();
        return w->IsConnected();
    }
    bool ConnectSerial(const std::string& device, int type = 0, const QString& phone = {}) {
        return ConnectWith([&](manager::TFrmOpenCommunication& d) {
            d.ConnectionTypeComboBox->setCurrentIndex(type);
            d.COMPortEdit->setValue(1);
            d.COMDeviceEdit->setText(QString::fromStdString(device));
            d.BaudRateComboBox->setCurrentText("9600");
            d.PhoneNumberEdit->setText(phone);
        });
    }
};
