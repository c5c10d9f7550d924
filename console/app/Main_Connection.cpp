// The links to the meter, the wrapper every meter operation runs through, the
// meter session around it, and the money unit on the labels.
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "Main.h"
#include "common/core/SerialPort.h"
#include "console/link/SerialOnlyCommunication.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/UiServices.h"

namespace console {

namespace {

const QString kRunnerCaption = QStringLiteral("Процесс обработки. Ждите...");

// Message texts of the link layer end their lines the Windows way.
QString Lines(const std::string& text) { return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Opens the port of the settings with open(number) or open(device path):
// the device when one is given, else the port number.
template <typename Open>
bool OpenConfiguredPort(const PortSettings& s, Open&& open) {
    if (!s.ComPortDevice.empty()) return open(s.ComPortDevice);
    // Numbers past 255 still follow the one rule for device names; 0 and
    // below are refused by the port with its own reason.
    if (s.ComPortNumber > 255) return open(common::SerialDevicePath(s.ComPortNumber));
    return open(static_cast<std::uint8_t>(s.ComPortNumber < 0 ? 0 : s.ComPortNumber));
}

}  // namespace

MoneyCaptionTexts MoneyCaptions(bool rubles) {
    const QString unit = rubles ? QStringLiteral("руб.") : QStringLiteral("коп.");
    MoneyCaptionTexts t;
    t.MaxSum = QStringLiteral("Макс. сумма разовой загрузки (%1)").arg(unit);
    t.AlarmDebit = QStringLiteral("Дебет предупреждения (%1)").arg(unit);
    t.OffDebit = QStringLiteral("Дебет отключения (%1)").arg(unit);
    for (int i = 1; i <= 4; ++i) t.Tariffs << QStringLiteral("Тариф %1 (%2/кВт)").arg(i).arg(unit);
    return t;
}

void TFrmMain::ApplyMoneyCaptions(bool rubles) {
    const MoneyCaptionTexts t = MoneyCaptions(rubles);
    if (param2MAXSUMMLabel) param2MAXSUMMLabel->setText(t.MaxSum);
    if (param2AlarmValueLabel) param2AlarmValueLabel->setText(t.AlarmDebit);
    if (param2OffValueLabel) param2OffValueLabel->setText(t.OffDebit);
    for (const auto& group : TariffValueLabels)
        for (int i = 0; i < 4; ++i)
            if (group[static_cast<std::size_t>(i)]) group[static_cast<std::size_t>(i)]->setText(t.Tariffs[i]);
}

bool TFrmMain::RunCounterOperation(const QString& title, const std::function<bool()>& operation) {
    if (CounterNumEdit->value() == 0) {
        common::ui::ErrorBox(this, QStringLiteral("Укажите номер счетчика!"));
        return false;
    }
    struct Running {
        TFrmMain& window;
        explicit Running(TFrmMain& w) : window(w) { ++window.operationsRunning_; }
        ~Running() {
            if (--window.operationsRunning_ == 0) window.retiredLinks_.clear();
        }
    };
    int result;
    {
        const Running running(*this);
        result = common::ui::RunOperation(this, kRunnerCaption, title, operation,
                                          [this](const common::ui::Operation& op) { return WithMeterSession(op); });
    }
    switch (result) {
        case common::ui::kResultOk:
            common::ui::InfoBox(this, QStringLiteral("Выполнено успешно!"));
            return true;
        case common::ui::kResultCancelled:  // a cancelled operation is not an error
            common::ui::InfoBox(this, QStringLiteral("Отменено пользователем!"));
            return true;
        default:
            common::ui::ErrorBox(this, QStringLiteral("Произошла ошибка!"));
            return false;
    }
}

bool TFrmMain::WithMeterSession(const std::function<bool()>& operation) {
#ifdef OSTRILON_SERIAL_ONLY
    // This build opens the port for every session and closes it afterwards.
    std::unique_ptr<TSerialOnlyCommunication> port;
    OpenConfiguredPort(Settings, [&](const auto& target) {
        port = std::make_unique<TSerialOnlyCommunication>(target, Settings.ComPortSpeed);
        return port->SerialPort.IsOpen();
    });
    if (!port->SerialPort.IsOpen()) {
        // The box names the device and the reason; nothing is sent on a port that is not open.
        common::ui::ErrorBox(this, Lines(port->SerialPort.OpenFailureMessage()));
        return false;
    }
    struct Release {
        TFrmMain* window;
        ~Release() { window->CurrentLink = nullptr; }
    } release{this};
    CurrentLink = port.get();
#else
    if (!CurrentLink) {
        common::ui::ErrorBox(this, QStringLiteral("Подключение не установлено"));
        return false;
    }
#endif
    TCounterCommunication& link = *CurrentLink;
    const auto number = static_cast<std::uint32_t>(CounterNumEdit->value());
    const auto ident = static_cast<std::uint32_t>(CounterIdentEdit->value());
    const SessionOutcome outcome = WithSession(link, number, ident, [&] {
        ApplyMoneyCaptions(link.RublesMode);
        return operation();
    });
    switch (outcome) {
        case SessionOutcome::Done:
            return true;
        case SessionOutcome::OperationFailed:
            return false;
        case SessionOutcome::AuthorizationFailed:
            common::ui::ErrorBox(this, QStringLiteral("Ошибка подключения к счетчику зав.номер: %1; идентификатор: %2")
                                           .arg(number)
                                           .arg(ident));
            return false;
        case SessionOutcome::UnsupportedVersion:
            common::ui::ErrorBox(this, QStringLiteral("Текущая версия счетчика [v.%1] не поддерживается программой")
                                           .arg(link.CounterVersion));
            return false;
    }
    return false;
}

#ifndef OSTRILON_SERIAL_ONLY

void TFrmMain::ConnectButtonClick() {
    ConnectButton->setEnabled(false);
    DisconnectButton->setEnabled(true);
    // The kind of the open link must not change under it.
    ConnectionTypeComboBox->setEnabled(false);
    auto connected = [this](TCounterCommunication& sender, bool& flag) { IsConnectedToCommunication(sender, flag); };
    auto disconnected = [this](TCounterCommunication& sender) { IsDisConnectedToCommunication(sender); };

    switch (ConnectionTypeComboBox->currentIndex()) {
        case kRS232: {
            SerialLink = std::make_unique<TRS232Communication>();
            TRS232Communication* link = SerialLink.get();
            link->OnConnected = connected;
            link->OnDisconnected = disconnected;
            const bool ok = OpenConfiguredPort(Settings, [link, this](const auto& target) {
                return link->Connect(target, Settings.ComPortSpeed);
            });
            if (ok) CurrentLink = link;
            // A port that did not open stays with "Отключиться" until the user presses it.
            break;
        }
        case kTcpServer: {
            // The client thread's connected event is posted to the window's
            // thread, which also runs it while an exchange waits (event hook).
            // Posted, not waited for: the client thread never needs the
            // window's event loop to leave, and a call still queued when the
            // window goes is dropped with it.
            TcpLink = std::make_unique<TTCPIPCommunication>([this](std::function<void()> f) {
                QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
            });
            TcpLink->OnConnected = connected;
            TcpLink->OnDisconnected = disconnected;
            const auto port = static_cast<std::uint16_t>(Settings.TcpServerPort);
            if (TcpLink->StartListening(port)) {
                // Operations become possible once the meter side connects.
                CurrentLink = TcpLink.get();
            } else {
                const QString reason = QString::fromStdString(TcpLink->LastError());
                TcpLink.reset();
                ConnectButton->setEnabled(true);
                DisconnectButton->setEnabled(false);
                ConnectionTypeComboBox->setEnabled(true);
                common::ui::ErrorBox(this, QStringLiteral("Не удалось запустить TCP-сервер на порту %1:\n%2")
                                               .arg(Settings.TcpServerPort)
                                               .arg(reason));
            }
            break;
        }
        default:
            // Dialing is not part of this program: no link.
            ConnectButton->setEnabled(true);
            DisconnectButton->setEnabled(false);
            ConnectionTypeComboBox->setEnabled(true);
            break;
    }
}

void TFrmMain::DisconnectButtonClick() {
    // Either call ends in IsDisConnectedToCommunication, which frees the link.
    if (SerialLink) {
        SerialLink->Disconnect();
    } else if (TcpLink) {
        TcpLink->StopListening();
    } else {
        ConnectButton->setEnabled(true);
        DisconnectButton->setEnabled(false);
        ConnectionTypeComboBox->setEnabled(true);
    }
}

void TFrmMain::IsConnectedToCommunication(TCounterCommunication& sender, bool& connected) {
    if (connected) {
        SetMeterActionsEnabled(true);
        return;
    }
    SetMeterActionsEnabled(false);
    QString text = QStringLiteral("Error");
    if (auto* serial = dynamic_cast<TRS232Communication*>(&sender))
        text += QLatin1Char('\n') + Lines(serial->SerialPort.OpenFailureMessage());
    common::ui::PlainBox(this, text);
}

void TFrmMain::IsDisConnectedToCommunication(TCounterCommunication& sender) {
    SetMeterActionsEnabled(false);
    if (CurrentLink == &sender) CurrentLink = nullptr;
    // The link fired this as its last act: freeing it here is safe, unless
    // an operation still waits on it further down (the window was closed
    // during an exchange); then it goes once the operation has ended.
    auto release = [this](auto& link) {
        if (operationsRunning_ > 0) retiredLinks_.push_back(std::move(link));
        link.reset();
    };
    if (SerialLink.get() == &sender) release(SerialLink);
    if (TcpLink.get() == &sender) release(TcpLink);
    ConnectButton->setEnabled(true);
    DisconnectButton->setEnabled(false);
    ConnectionTypeComboBox->setEnabled(true);
}

#endif

}  // namespace console
