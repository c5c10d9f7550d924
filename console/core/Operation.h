#pragma once
// One meter operation as the pages of the program for meters of versions
// 51..54 run it: a function of an OperationContext returning success. It
// runs inside the meter session (Session.h), so the link is authorized and
// its version, key and money mode are those of the meter. The window runs
// it under its progress dialog, ostrilon-cli in a session of its own.

#include <functional>

#include "common/core/FormatSettings.h"
#include "common/core/OperationHooks.h"
#include "console/link/CounterCommunication.h"

namespace console::core {

struct OperationContext {
    OperationContext(TCounterCommunication& link, common::OperationHooks& hooks, const common::FormatSettings& formats)
        : Link(link), Hooks(hooks), Formats(formats) {}

    TCounterCommunication& Link;
    common::OperationHooks& Hooks;
    const common::FormatSettings& Formats;
};

using CounterOperation = std::function<bool(OperationContext&)>;

}  // namespace console::core
