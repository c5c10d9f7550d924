// The access session around changing operations.
#include <QComboBox>
#include <QLineEdit>

#include "Unit1.h"

namespace manager {

namespace {
// A field value: decimal, within [lo, hi]; false with the reason.
bool FieldValue(const QString& text, const QString& field, long long lo, long long hi, long long& out, QString& reason) {
    long long v = 0;
    if (!meter34::ParseInteger(text.toStdString(), v)) {
        reason = QStringLiteral("в поле «%1» не целое число: «%2»").arg(field, text);
        return false;
    }
    if (v < lo || v > hi) {
        reason = QStringLiteral("значение поля «%1» вне диапазона %2..%3").arg(field).arg(lo).arg(hi);
        return false;
    }
    out = v;
    return true;
}
}  // namespace

bool TFrmMain::BeginAccess() {
    accessAttempted_ = false;
    long long keyA = 0, keyB = 0, password = 0, level = 0;
    QString reason;
    // Keys and passwords are 32-bit values; typed either signed or unsigned.
    if (!FieldValue(StartSeanceKeyAEdit->text(), QStringLiteral("Ключ А"), -2147483648LL, 4294967295LL, keyA, reason) ||
        !FieldValue(StartSeanceKeyBEdit->text(), QStringLiteral("Ключ Б"), -2147483648LL, 4294967295LL, keyB, reason) ||
        !FieldValue(StartSeansePasswordEdit->text(), QStringLiteral("Пароль"), -2147483648LL, 4294967295LL, password,
                    reason) ||
        !FieldValue(StartSeanseLevelComboBox->currentText(), QStringLiteral("Уровень доступа"), 0, 255, level, reason)) {
        StatusText = QStringLiteral("Ошибка открытия доступа: ") + reason;
        return false;
    }
    auto& meter = *Connection.Meter;
    accessAttempted_ = true;
    if (!meter.OpenSession(static_cast<std::uint8_t>(level), static_cast<std::int32_t>(password),
                           static_cast<std::int32_t>(keyA), static_cast<std::int32_t>(keyB))) {
        std::uint8_t code = 0;
        std::string text;
        meter.GetResultText(code, text);
        StatusText = QStringLiteral("Ошибка открытия доступа: ") + QString::fromStdString(text);
        return false;
    }
    return true;
}

void TFrmMain::EndAccess() { Connection.Meter->CloseSession(); }

bool TFrmMain::WithAccess(const std::function<bool()>& op) {
    const bool ok = BeginAccess();
    const bool result = ok && op();
    // Fields that are not numbers stop the operation before anything is sent,
    // so there is no session to close either.
    if (ok || accessAttempted_) EndAccess();
    return result;
}

}  // namespace manager
