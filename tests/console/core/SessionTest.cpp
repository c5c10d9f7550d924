// The session around every operation: it is always ended, whatever happens
// inside, and its own failures carry the texts the window shows.
#include <functional>

#include "SimMeter.h"
#include "console/core/Session.h"
#include "console/link/COMPort.h"

using console::core::SessionOutcome;
using testcore::kIdent;
using testcore::kMeter;

namespace {

struct Session : testcore::SimMeter {};

}  // namespace

TEST_F(Session, EndsTheSessionWhateverHappensAndNamesItsOwnFailures) {
    struct Case {
        const char* what;
        std::uint32_t ident;
        std::function<void(sim5x::Faults&)> faults;
        bool operationResult;
        SessionOutcome outcome;
        bool ran;
        const char* text;
    };
    const Case cases[] = {
        {"done", kIdent, {}, true, SessionOutcome::Done, true, ""},
        {"the operation fails", kIdent, {}, false, SessionOutcome::OperationFailed, true, ""},
        {"authorization refused", kIdent, [](sim5x::Faults& f) { f.refusals.push_back({3, -1, 2}); }, true,
         SessionOutcome::AuthorizationFailed, false,
         "Ошибка подключения к счетчику зав.номер: 1234567; идентификатор: 1"},
        // Another identifier: the meter keeps silent. Shown unsigned.
        {"wrong identifier", 4000000000u, {}, true, SessionOutcome::AuthorizationFailed, false,
         "Ошибка подключения к счетчику зав.номер: 1234567; идентификатор: 4000000000"},
        {"unsupported version", kIdent, [](sim5x::Faults& f) { f.reportVersion = 55; }, true,
         SessionOutcome::UnsupportedVersion, false, "Текущая версия счетчика [v.55] не поддерживается программой"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        meter.setFaults({});
        if (c.faults) meter.updateFaults(c.faults);
        const auto ended = Ended();
        const auto authorized = meter.counters().authorizations;
        bool ran = false;
        const SessionOutcome outcome = console::core::WithSession(link, kMeter, c.ident, [&] {
            ran = true;
            // Inside: logged in, nothing ended yet.
            EXPECT_EQ(Ended(), ended + 1);
            EXPECT_TRUE(meter.sessionOpen());
            return c.operationResult;
        });
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(console::core::SessionFailureText(outcome, kMeter, c.ident, link), c.text);
        // Ended before and after.
        EXPECT_TRUE(meter.waitUntil([&](const sim5x::Counters& n) { return n.sessionsEnded == ended + 2; }, 10000));
        EXPECT_FALSE(meter.sessionOpen());
        // A meter of another version did open the session.
        const bool opened = c.outcome != SessionOutcome::AuthorizationFailed;
        EXPECT_EQ(meter.counters().authorizations, authorized + (opened ? 1 : 0));
    }
}

TEST_F(Session, APortErrorInsideIsRaisedAgainAfterTheSessionEnds) {
    // The port works: the end of the session still goes out, then the error.
    const auto ended = Ended();
    try {
        console::core::WithSession(link, kMeter, kIdent, []() -> bool { throw console::ComPortError("Error receive: 5"); });
        ADD_FAILURE() << "no error raised";
    } catch (const console::ComPortError& e) {
        EXPECT_STREQ(e.what(), "Error receive: 5");
    }
    EXPECT_TRUE(meter.waitUntil([&](const sim5x::Counters& n) { return n.sessionsEnded == ended + 2; }, 10000));
    EXPECT_FALSE(meter.sessionOpen());

    // The port goes away under the operation: its first error is the one raised.
    try {
        console::core::WithSession(link, kMeter, kIdent, [&] {
            link.SerialPort.ClosePort();
            return link.ReadArea(console::Area::Parameters, 0);
        });
        ADD_FAILURE() << "no error raised";
    } catch (const console::ComPortError& e) {
        EXPECT_STREQ(e.what(), "COM port not opened");
    }
}
