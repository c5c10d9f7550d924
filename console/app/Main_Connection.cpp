// "Подключиться" and "Отключиться": the serial link or the TCP server, and
// the links' connected and disconnected events.
#include "Main.h"
#include "common/ui/UiServices.h"

namespace console {

#ifndef OSTRILON_SERIAL_ONLY

void TFrmMain::ConnectButtonClick() {
    topPanel_->ShowLinkOpen(true);
    auto connected = [this](TCounterCommunication& sender, bool& flag) { IsConnectedToCommunication(sender, flag); };
    auto disconnected = [this](TCounterCommunication& sender) { IsDisConnectedToCommunication(sender); };

    switch (topPanel_->SelectedConnection()) {
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
                topPanel_->ShowLinkOpen(false);
                common::ui::ErrorBox(this, QStringLiteral("Не удалось запустить TCP-сервер на порту %1:\n%2")
                                               .arg(Settings.TcpServerPort)
                                               .arg(reason));
            }
            break;
        }
        default:
            // Dialing is not part of this program: no link.
            topPanel_->ShowLinkOpen(false);
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
        topPanel_->ShowLinkOpen(false);
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
        text += QLatin1Char('\n') + LinkText(serial->SerialPort.OpenFailureMessage());
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
    topPanel_->ShowLinkOpen(false);
}

#endif

}  // namespace console
