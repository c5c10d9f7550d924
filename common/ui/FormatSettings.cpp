#include "FormatSettings.h"

#include <QLocale>
#include <QStringList>

namespace common::ui {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

FormatSettings FormatsOfSystem() {
    const QLocale l = QLocale::system();
    if (l.language() == QLocale::Russian || l.language() == QLocale::C) return FormatSettings::Russian();
    FormatSettings f;
    f.ShortDateFormat = l.dateFormat(QLocale::ShortFormat).toStdString();
    // Qt's long time format carries a time zone the meters know nothing about.
    f.LongTimeFormat = l.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed().toStdString();
    f.DecimalSeparator = l.decimalPoint().isEmpty() ? std::string(".") : l.decimalPoint().toStdString();
    for (int m = 1; m <= 12; ++m) {
        QString name = l.standaloneMonthName(m, QLocale::LongFormat);
        if (!name.isEmpty()) name[0] = name[0].toUpper();
        f.LongMonthNames[static_cast<std::size_t>(m - 1)] = name.toStdString();
    }
    return f;
}

QString FormatDate(const DateTime& d) { return Q(Formats().Date(d)); }
QString FormatTime(const DateTime& t) { return Q(Formats().Time(t)); }
QString FormatDateTime(const DateTime& t) { return Q(Formats().DateAndTime(t)); }
QString FormatFixed(double value, int decimals) { return Q(Formats().Fixed(value, decimals)); }

QStringList LongMonthNames() {
    QStringList out;
    for (const auto& n : Formats().LongMonthNames) out << Q(n);
    return out;
}

}  // namespace common::ui
