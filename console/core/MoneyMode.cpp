#include "MoneyMode.h"

namespace console::core {

MoneyCaptionTexts MoneyCaptions(bool rubles) {
    const std::string unit = rubles ? "руб." : "коп.";
    MoneyCaptionTexts t;
    t.MaxSum = "Макс. сумма разовой загрузки (" + unit + ")";
    t.AlarmDebit = "Дебет предупреждения (" + unit + ")";
    t.OffDebit = "Дебет отключения (" + unit + ")";
    for (std::size_t i = 0; i < t.Tariffs.size(); ++i)
        t.Tariffs[i] = "Тариф " + std::to_string(i + 1) + " (" + unit + "/кВт)";
    return t;
}

}  // namespace console::core
