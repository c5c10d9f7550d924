#include "MoneyLabels.h"

#include <QLabel>

#include "PageHost.h"
#include "console/core/MoneyMode.h"

namespace console {

TMoneyLabels::TMoneyLabels(TPageHost& host, QObject* parent) : QObject(parent) {
    connect(&host, &TPageHost::MoneyModeChanged, this, [this](bool rubles) { Apply(rubles); });
}

void TMoneyLabels::Apply(bool rubles) const {
    const core::MoneyCaptionTexts t = core::MoneyCaptions(rubles);
    auto set = [](QLabel* label, const std::string& text) {
        if (label) label->setText(QString::fromStdString(text));
    };
    set(param2MAXSUMMLabel, t.MaxSum);
    set(param2AlarmValueLabel, t.AlarmDebit);
    set(param2OffValueLabel, t.OffDebit);
    for (const auto& group : TariffValueLabels)
        for (std::size_t i = 0; i < group.size(); ++i) set(group[i], t.Tariffs[i]);
}

}  // namespace console
