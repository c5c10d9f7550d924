// Running operations: the progress dialog, addressing, and the outcome shown
// in a message box and on the status bar.
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "Unit1.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/UiServices.h"

namespace manager {

namespace {
const QString kCaption = QStringLiteral("Выполнение операции. Ждите...");
}

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

bool TFrmMain::RunMeterOperation(const QString& title, bool showResult, const std::function<bool()>& operation) {
    StatusText.clear();
    bool result = false;
    if (PrepareAddressing()) {
        switch (common::ui::RunOperation(this, kCaption, title, operation)) {
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
    }
    const bool linkUp = Connection.Link && Connection.Link->Connected;
    if (!result && linkUp) common::ui::ErrorBox(this, StatusText);
    else if (!result) common::ui::ErrorBox(this, QStringLiteral("Потеряно подключение! Необходимо переподключиться"));
    else if (!OperationCompleted) common::ui::InfoBox(this, QStringLiteral("Отменено пользователем!"));
    else if (showResult) common::ui::InfoBox(this, StatusText);
    statusPanel_[1]->setText(StatusText);
    return result;
}

bool TFrmMain::PrepareAddressing() {
    if (!Connection.IsOpen()) {
        StatusText = QStringLiteral("Подключение не установлено");
        return false;
    }
    const QString numberText = MeterNumEdit->text().trimmed();
    bool ok = true;
    const qulonglong number = numberText.isEmpty() ? 0 : numberText.toULongLong(&ok);
    if (!ok || number > 0xFFFFFFFFull) {
        StatusText = QStringLiteral("Не указан номер счетчика");
        return false;
    }
    std::string status;
    if (!Connection.PrepareAddressing(static_cast<std::uint32_t>(number),
                                      static_cast<std::uint16_t>(MeterVersionEdit->value()),
                                      AddrParametersEdit->text().toStdString(), status)) {
        StatusText = QString::fromStdString(status);
        return false;
    }
    return true;
}

}  // namespace manager
