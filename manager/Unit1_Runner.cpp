// Running operations: the progress dialog, addressing, the access session
// and the outcome shown in a message box and on the status bar; and the host
// through which the pages reach the window.
#include <QLabel>

#include "Unit1.h"
#include "Unit1_Addressing.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/UiServices.h"
#include "manager/core/Access.h"

namespace manager {

namespace {

const QString kCaption = QStringLiteral("Выполнение операции. Ждите...");

// A core sequence reports to the runner dialog.
class RunnerHooks : public common::OperationHooks {
public:
    explicit RunnerHooks(TPageHost& host) : host_(host) {}
    void SetStep(const std::string& text) override { common::ui::SetStep(QString::fromStdString(text)); }
    void ProcessEvents() override { common::ProcessPendingEvents(); }
    bool CancelRequested() override { return common::ui::CancelRequested(); }
    void AddLine(const std::string& line) override { host_.AddLogLine(QString::fromStdString(line)); }

private:
    TPageHost& host_;
};

}  // namespace

class TFrmMain::PageHostImpl final : public TPageHost {
public:
    explicit PageHostImpl(TFrmMain& w) : w_(w) {}
    bool RunMeterOperation(const QString& title, bool showResult, bool withAccess,
                           const core::MeterOperation& operation) override {
        return w_.RunMeterOperation(title, showResult, withAccess, operation);
    }
    bool LastOperationCompleted() const override { return w_.OperationCompleted; }
    QString LastStatusText() const override { return w_.StatusText; }
    meter34::TMeterConnection& Connection() override { return w_.Connection; }
    bool IsConnected() const override { return w_.IsConnected(); }
    void SetStep(const QString& text) override { common::ui::SetStep(text); }
    void AddLogLine(const QString& text) override { w_.addressingPage_->AddLogLine(text); }
    QWidget* DialogParent() override { return &w_; }
    void AddMenuItem(MainMenu menu, int place, QAction* action) override { w_.AddMenuItem(menu, place, action); }

private:
    TFrmMain& w_;
};

std::unique_ptr<TPageHost> TFrmMain::MakeHost() { return std::make_unique<PageHostImpl>(*this); }

bool TFrmMain::RunConnectOperation(const QString& title, const std::function<bool()>& operation) {
    switch (common::ui::RunOperation(this, kCaption, title, operation)) {
        case common::ui::kResultOk:
            return true;
        case common::ui::kResultCancelled:
            common::ui::InfoBox(this, QStringLiteral("Отменено пользователем!"));
            return true;
        default: {
            QString text = QStringLiteral("Произошла ошибка! Проверьте параметры подключения");
            if (!Connection.ErrorText.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(Connection.ErrorText);
            common::ui::ErrorBox(this, text);
            return false;
        }
    }
}

bool TFrmMain::RunMeterOperation(const QString& title, bool showResult, bool withAccess,
                                 const core::MeterOperation& operation) {
    StatusText.clear();
    bool result = false;
    std::string status;
    if (core::PrepareAddressing(Connection, addressingPage_->Addressing(), status)) {
        RunnerHooks hooks(*host_);
        core::OperationContext ctx(Connection, hooks, common::Formats(), addressingPage_->Exchange());
        const core::AccessValues access = addressingPage_->Access();
        auto run = [&] { return withAccess ? core::WithAccess(ctx, access, operation) : operation(ctx); };
        const int code = common::ui::RunOperation(this, kCaption, title, run);
        StatusText = QString::fromStdString(ctx.StatusText);
        switch (code) {
            case common::ui::kResultOk:
                OperationCompleted = true;
                result = true;
                break;
            case common::ui::kResultCancelled:  // a cancelled operation is not an error
                OperationCompleted = false;
                result = true;
                break;
            default:
                OperationCompleted = false;
                result = false;
        }
    } else {
        StatusText = QString::fromStdString(status);
    }
    const bool linkUp = Connection.Link && Connection.Link->Connected;
    if (!result && linkUp) common::ui::ErrorBox(this, StatusText);
    else if (!result) common::ui::ErrorBox(this, QStringLiteral("Потеряно подключение! Необходимо переподключиться"));
    else if (!OperationCompleted) common::ui::InfoBox(this, QStringLiteral("Отменено пользователем!"));
    else if (showResult) common::ui::InfoBox(this, StatusText);
    statusPanel_[1]->setText(StatusText);
    return result;
}

}  // namespace manager
