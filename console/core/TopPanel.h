#pragma once
// The values of the window's top panel: which meter the operations log in
// to, and the write password of the parameter areas.

#include <cstdint>
#include <string>

namespace console::core {

struct TopPanelValues {
    static constexpr std::uint32_t kCounterNumMax = 9999999;
    static constexpr std::uint32_t kCounterIdentMax = 4294967295u;

    std::uint32_t CounterNumEdit = 0;        // "Зав. номер"; 0: no meter chosen
    std::uint32_t CounterIdentEdit = 0;      // "Идентификатор", unsigned
    std::string CurrentPasswordEdit = "0";  // hidden: the write password
};

}  // namespace console::core
