// One-shot commands of the menu "Команда": the meter clock, card mode,
// contactor, money range, currency identifier and the two extra channels.
#include "CurrencyEditor.h"
#include "Main.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/UiServices.h"

#include <QLineEdit>

namespace console {

namespace {
// The currency identifier sits at this offset of the debit record.
constexpr int kCurrencyOffset = 10;
constexpr int kCurrencyLength = 3;
}  // namespace

void TFrmMain::RunCommand(const QString& title, const std::function<bool(TCounterCommunication&)>& command) {
    RunCounterOperation(title, [this, command] { return CurrentLink && command(*CurrentLink); });
}

void TFrmMain::ReadDateTimeActionExecute() {
    RunCommand(QStringLiteral("Чтение даты и времени счетчика"), [this](TCounterCommunication& link) {
        const common::DateTime clock = link.ReadDateTime();
        if (clock.isEmpty()) return false;
        common::ui::PlainBox(this, common::ui::FormatDateTime(clock));
        return true;
    });
}

void TFrmMain::WriteDateTimeActionExecute() {
    RunCommand(QStringLiteral("Запись даты и времени счетчика"),
               [](TCounterCommunication& link) { return link.WriteDateTime(common::DateTime::now()); });
}

void TFrmMain::CardModeOnActionExecute() {
    RunCommand(QStringLiteral("Установка режима предоплаты"),
               [](TCounterCommunication& link) { return link.SetCardMode(); });
}

void TFrmMain::ContactorOnActionExecute() {
    RunCommand(QStringLiteral("Включение контактора"),
               [](TCounterCommunication& link) { return link.ContactorCommand(ContactorKind::On); });
}

void TFrmMain::ContactorOffActionExecute() {
    RunCommand(QStringLiteral("Выключение контактора"),
               [](TCounterCommunication& link) { return link.ContactorCommand(ContactorKind::Off); });
}

void TFrmMain::ContactorReleaseActionExecute() {
    RunCommand(QStringLiteral("Освобождение контактора"),
               [](TCounterCommunication& link) { return link.ContactorCommand(ContactorKind::Release); });
}

void TFrmMain::RangeMode1ActionExecute() {
    RunCommand(QStringLiteral("Перевод в режим рублей"),
               [](TCounterCommunication& link) { return link.SetRangeMode(RangeKind::Rubles); });
}

void TFrmMain::RangeMode100ActionExecute() {
    RunCommand(QStringLiteral("Перевод в режим копеек"),
               [](TCounterCommunication& link) { return link.SetRangeMode(RangeKind::Kopecks); });
}

void TFrmMain::ChangeCurrencyActionExecute() {
    const bool read = RunCounterOperation(QStringLiteral("Чтение идентификатора валюты"), [this] {
        CurrencyText.clear();
        if (!CurrentLink || !CurrentLink->ReadArea(Area::Debit, 0)) return false;
        // A record too short to hold the identifier is not a debit record.
        if (CurrentLink->AreaDataLength < kCurrencyOffset + kCurrencyLength) return false;
        CurrencyText = QString::fromLatin1(reinterpret_cast<const char*>(CurrentLink->AreaData.data()) + kCurrencyOffset,
                                           kCurrencyLength);
        return true;
    });
    // Also after a cancelled read: the user may type the identifier.
    if (!read) return;
    TFrmInputCurrency dialog(this);
    dialog.CurrencyEdit->setText(CurrencyText);
    CurrencyText = dialog.exec() == QDialog::Accepted ? dialog.CurrencyEdit->text() : QString();
    if (CurrencyText.isEmpty()) return;
    RunCounterOperation(QStringLiteral("Запись идентификатора валюты"), [this] {
        const QByteArray code = CurrencyText.toLatin1();
        return CurrentLink && CurrentLink->SetCurrency(std::string_view(code.constData(), static_cast<std::size_t>(code.size())));
    });
}

// The four extra-channel commands share one runner title.
void TFrmMain::DopChannel1OnActionExecute() {
    RunCommand(QStringLiteral("Включение доп. канала"),
               [](TCounterCommunication& link) { return link.ExtraChannelCommand(ExtraChannelKind::Channel1On); });
}

void TFrmMain::DopChannel1OffActionExecute() {
    RunCommand(QStringLiteral("Включение доп. канала"),
               [](TCounterCommunication& link) { return link.ExtraChannelCommand(ExtraChannelKind::Channel1Off); });
}

void TFrmMain::DopChannel2OnActionExecute() {
    RunCommand(QStringLiteral("Включение доп. канала"),
               [](TCounterCommunication& link) { return link.ExtraChannelCommand(ExtraChannelKind::Channel2On); });
}

void TFrmMain::DopChannel2OffActionExecute() {
    RunCommand(QStringLiteral("Включение доп. канала"),
               [](TCounterCommunication& link) { return link.ExtraChannelCommand(ExtraChannelKind::Channel2Off); });
}

}  // namespace console
