#pragma once
// What every window test sets up around the real window: the scripted UI
// double, Russian formats, the event hook of the protocol layers and a short
// start of the runner; all of it is undone afterwards. Fixtures derive from
// it next to ::testing::Test and destroy their window in TearDown.

#include <memory>

#include "ScriptedUi.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"
#include "common/ui/FormatSettings.h"
#include "common/ui/OperationProgress.h"

namespace testsupport {

struct WindowTestEnvironment {
    WindowTestEnvironment() {
        common::timings().runnerStartMs = 5;
        common::ui::SetFormats(common::ui::FormatSettings::Russian());
        common::ui::InstallEventHook();
        ui = std::make_unique<ScriptedUi>();
    }
    ~WindowTestEnvironment() {
        ui.reset();
        common::SetProcessEventsHook({});
        common::ResetTimings();
    }
    WindowTestEnvironment(const WindowTestEnvironment&) = delete;
    WindowTestEnvironment& operator=(const WindowTestEnvironment&) = delete;

    std::unique_ptr<ScriptedUi> ui;
};

}  // namespace testsupport
