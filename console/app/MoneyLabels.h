#pragma once
// TMoneyLabels: the labels of a page that carry the money unit. The page
// that owns them sets the pointers; after every login the texts follow the
// meter's money mode (the host's MoneyModeChanged).

#include <QObject>
#include <array>

class QLabel;

namespace console {

class TPageHost;

class TMoneyLabels : public QObject {
    Q_OBJECT
public:
    TMoneyLabels(TPageHost& host, QObject* parent);

    // The money unit of the meter's money mode on the labels that are set.
    void Apply(bool rubles) const;

    // "Параметры режима Предоплаты"
    QLabel* param2MAXSUMMLabel = nullptr;
    QLabel* param2AlarmValueLabel = nullptr;
    QLabel* param2OffValueLabel = nullptr;
    // The rows "Тариф 1".."Тариф 4": [tariff group: 0 current, 1 future][tariff 0..3]
    std::array<std::array<QLabel*, 4>, 2> TariffValueLabels{};
};

}  // namespace console
