// Running meter operations: the number check, the progress dialog, the meter
// session around the operation and the outcome in a message box; and the
// host through which the pages reach the window.
#include <QWidget>

#include "Main.h"
#include "Main_TopPanel.h"
#include "common/core/Wait.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/UiServices.h"
#include "console/core/Session.h"
#include "console/link/SerialOnlyCommunication.h"

namespace console {

namespace {

const QString kRunnerCaption = QStringLiteral("Процесс обработки. Ждите...");

// A core sequence reports to the runner dialog.
class RunnerHooks : public common::OperationHooks {
public:
    void SetStep(const std::string& text) override { common::ui::SetStep(QString::fromStdString(text)); }
    void ProcessEvents() override { common::ProcessPendingEvents(); }
    bool CancelRequested() override { return common::ui::CancelRequested(); }
};

}  // namespace

QString LinkText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class TFrmMain::PageHostImpl final : public TPageHost {
public:
    explicit PageHostImpl(TFrmMain& w) : w_(w) {}
    bool RunCounterOperation(const QString& title, const core::CounterOperation& operation) override {
        return w_.RunCounterOperation(title, operation);
    }
    TCounterCommunication* CurrentLink() override { return w_.CurrentLink; }
    void SetStep(const QString& text) override { common::ui::SetStep(text); }
    QWidget* DialogParent() override { return &w_; }
    bool MeterActionsEnabled() const override { return w_.meterActionsEnabled_; }

private:
    TFrmMain& w_;
};

std::unique_ptr<TPageHost> TFrmMain::MakeHost() { return std::make_unique<PageHostImpl>(*this); }

bool TFrmMain::RunCounterOperation(const QString& title, const core::CounterOperation& operation) {
    return RunCounterOperation(title, [this, &operation] {
        // Inside the session: CurrentLink is the link it logged in on.
        RunnerHooks hooks;
        core::OperationContext ctx(*CurrentLink, hooks, common::Formats());
        return operation(ctx);
    });
}

bool TFrmMain::RunCounterOperation(const QString& title, const std::function<bool()>& operation) {
    if (topPanel_->Values().CounterNumEdit == 0) {
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
        common::ui::ErrorBox(this, LinkText(port->SerialPort.OpenFailureMessage()));
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
    const core::TopPanelValues meter = topPanel_->Values();
    const core::SessionOutcome outcome = core::WithSession(link, meter.CounterNumEdit, meter.CounterIdentEdit, [&] {
        Q_EMIT host_->MoneyModeChanged(link.RublesMode);
        return operation();
    });
    const std::string failure = core::SessionFailureText(outcome, meter.CounterNumEdit, meter.CounterIdentEdit, link);
    if (!failure.empty()) common::ui::ErrorBox(this, QString::fromStdString(failure));
    return outcome == core::SessionOutcome::Done;
}

}  // namespace console
