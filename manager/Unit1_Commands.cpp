// Administrative and service commands of the meter.
#include "Unit1.h"
#include "common/ui/FormatSettings.h"

namespace manager {

namespace {
QString ResultText(const meter34::TMeter& meter) {
    std::uint8_t code = 0;
    std::string text;
    meter.GetResultText(code, text);
    return QString::fromStdString(text);
}
}  // namespace

bool TFrmMain::ReadDateTime() {
    common::DateTime t;
    if (!Connection.Meter->GetDateTime(t)) {
        StatusText = QStringLiteral("Ошибка чтения даты и времени: ") + ResultText(*Connection.Meter);
        return false;
    }
    StatusText = QStringLiteral("Дата и время счетчика: ") + common::ui::FormatDate(t) + QLatin1Char(' ') +
                 common::ui::FormatTime(t);
    return true;
}

bool TFrmMain::WriteDateTime() {
    return WithAccess([this] {
        // The computer's local time at the moment of sending.
        if (!Connection.Meter->SetDateTime(common::DateTime::now())) {
            StatusText = QStringLiteral("Ошибка записи даты и времени: ") + ResultText(*Connection.Meter);
            return false;
        }
        StatusText = QStringLiteral("Время установлено");
        return true;
    });
}

bool TFrmMain::CorrectDateTime() {
    // The correction goes out without access, whatever the access fields hold.
    if (!Connection.Meter->SetDateTime(common::DateTime::now())) {
        StatusText = QStringLiteral("Ошибка корректировки даты и времени: ") + ResultText(*Connection.Meter);
        return false;
    }
    StatusText = QStringLiteral("Время установлено");
    return true;
}

void TFrmMain::ReadDateTimeClick() {
    RunMeterOperation(QStringLiteral("Читаем дату и время..."), true, [this] { return ReadDateTime(); });
}

void TFrmMain::WriteDateTimeClick() {
    RunMeterOperation(QStringLiteral("Записываем дату и время..."), true, [this] { return WriteDateTime(); });
}

void TFrmMain::CorrectDateTimeClick() {
    RunMeterOperation(QStringLiteral("Корректируем дату и время..."), true, [this] { return CorrectDateTime(); });
}

}  // namespace manager
