#include "FormatSettings.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace common::ui {

namespace {
FormatSettings& Current() {
    static FormatSettings f = FormatSettings::FromSystem();
    return f;
}

QDate ToQDate(const DateTime& d) {
    const auto c = d.date();
    return QDate(c.year, c.month, c.day);
}
}  // namespace

FormatSettings FormatSettings::Russian() {
    FormatSettings f;
    f.LongMonthNames = {QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
                        QStringLiteral("Апрель"), QStringLiteral("Май"),     QStringLiteral("Июнь"),
                        QStringLiteral("Июль"),   QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
                        QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"), QStringLiteral("Декабрь")};
    return f;
}

FormatSettings FormatSettings::FromSystem() {
    const QLocale l = QLocale::system();
    if (l.language() == QLocale::Russian || l.language() == QLocale::C) return Russian();
    FormatSettings f;
    f.ShortDateFormat = l.dateFormat(QLocale::ShortFormat);
    // Qt's long time format carries a time zone the meters know nothing about.
    f.LongTimeFormat = l.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed();
    f.DecimalSeparator = l.decimalPoint().isEmpty() ? QLatin1Char('.') : l.decimalPoint().at(0);
    for (int m = 1; m <= 12; ++m) {
        QString name = l.standaloneMonthName(m, QLocale::LongFormat);
        if (!name.isEmpty()) name[0] = name[0].toUpper();
        f.LongMonthNames << name;
    }
    return f;
}

const FormatSettings& Formats() { return Current(); }
void SetFormats(const FormatSettings& f) { Current() = f; }

QString FormatDate(const DateTime& d) {
    if (d.isEmpty()) return {};
    return ToQDate(d).toString(Formats().ShortDateFormat);
}

QString FormatTime(const DateTime& t) {
    if (t.isEmpty()) return {};
    return QTime(t.hour(), t.minute(), t.second()).toString(Formats().LongTimeFormat);
}

QString FormatDateTime(const DateTime& t) {
    if (t.isEmpty()) return {};
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0 && t.msec() == 0) return FormatDate(t);
    return FormatDate(t) + QLatin1Char(' ') + FormatTime(t);
}

QString FormatFixed(double value, int decimals) {
    QString s = QString::number(value, 'f', decimals);
    if (Formats().DecimalSeparator != QLatin1Char('.')) s.replace(QLatin1Char('.'), Formats().DecimalSeparator);
    return s;
}

}  // namespace common::ui
