// The currency identifier of the debit record: decoded from bytes laid out
// by hand, read from and written to the emulated meter, and a record too
// short to hold it.
#include <optional>

#include "SimMeter.h"
#include "common/core/FormatSettings.h"
#include "console/core/Debit.h"
#include "console/core/MeterCommands.h"
#include "console/core/Session.h"
#include "tests/console/link/Frames.h"
#include "tests/console/link/ScriptedMeter.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// Current debit 12345, remainder 5, loaded 1000, "KZT", flag 1, seal.
const Bytes kDebitRecord = {0x00, 0x00, 0x30, 0x39, 0x00, 0x05, 0x00, 0x00,
                            0x03, 0xE8, 'K',  'Z',  'T',  0x01, 0xAB, 0xCD};

Bytes Prefix(std::size_t n) { return Bytes(kDebitRecord.begin(), kDebitRecord.begin() + static_cast<long>(n)); }

}  // namespace

TEST(DebitRecord, CurrencyAtOffsetTen) {
    struct Row {
        const char* what;
        Bytes record;
        std::optional<std::string> currency;
    } rows[] = {
        {"whole record", kDebitRecord, "KZT"},
        {"up to the identifier", Prefix(13), "KZT"},
        {"one byte short", Prefix(12), std::nullopt},
        {"up to the sum", Prefix(10), std::nullopt},
        {"empty", {}, std::nullopt},
        // The bytes as the meter keeps them, letters or not.
        {"not letters", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '1', ' ', 0xC0, 0, 0, 0}, std::string("1 \xC0")},
    };
    for (const auto& r : rows) EXPECT_EQ(console::core::CurrencyOfDebitRecord(r.record), r.currency) << r.what;
}

namespace {

struct Currency : testcore::SimMeter {
    // op inside a session, with hooks that do nothing.
    bool InSession(const std::function<bool(console::core::OperationContext&)>& op) {
        console::core::OperationContext ctx(link, common::NoHooks(), common::Formats());
        return console::core::WithSession(link, testcore::kMeter, testcore::kIdent, [&] { return op(ctx); }) ==
               console::core::SessionOutcome::Done;
    }
};

}  // namespace

TEST_F(Currency, ReadAndWrittenOnTheMeter) {
    ASSERT_TRUE(meter.setRecord(console::Area::Debit, 0, Prefix(14)));  // resealed by the meter
    std::string currency = "old";
    EXPECT_TRUE(InSession([&](auto& ctx) { return console::core::ReadCurrency(ctx, currency); }));
    EXPECT_EQ(currency, "KZT");

    EXPECT_TRUE(InSession([](auto& ctx) { return console::core::WriteCurrency(ctx, "BYN"); }));
    EXPECT_EQ(meter.currency(), "BYN");
    EXPECT_TRUE(InSession([&](auto& ctx) { return console::core::ReadCurrency(ctx, currency); }));
    EXPECT_EQ(currency, "BYN");

    // A refused read leaves nothing.
    meter.updateFaults([](sim5x::Faults& f) { f.refusals.push_back({6, console::Area::Debit, 2}); });
    EXPECT_FALSE(InSession([&](auto& ctx) { return console::core::ReadCurrency(ctx, currency); }));
    EXPECT_EQ(currency, "");
}

TEST(CurrencyOfAShortRecord, IsNoCurrency) {
    common::ResetTimings();
    common::timings().consoleSendPauseMs = 2;
    common::timings().consolePollMs = 40;
    testmeter::ScriptedMeter meter([](std::uint8_t code) -> testmeter::ScriptedMeter::Bytes {
        // Version 53, key zero, rubles.
        if (code == console::Code::Authorize) return testframes::Frame(4, {53, 0, 0, 0, 0, 1, 0, 0});
        // A debit record of twelve bytes: it ends before the identifier does.
        if (code == console::Code::ReadArea) return testframes::Frame(6, Prefix(12));
        return {};
    });
    console::TRS232Communication link;
    ASSERT_TRUE(link.Connect(meter.path(), 9600)) << link.SerialPort.OpenError();
    console::core::OperationContext ctx(link, common::NoHooks(), common::Formats());
    std::string currency = "old";
    bool read = true;
    EXPECT_EQ(console::core::WithSession(link, testcore::kMeter, testcore::kIdent,
                                         [&] { return read = console::core::ReadCurrency(ctx, currency); }),
              console::core::SessionOutcome::OperationFailed);
    EXPECT_FALSE(read);
    EXPECT_EQ(currency, "");
    EXPECT_EQ(link.AreaDataLength, 12);
    link.Disconnect();
    common::ResetTimings();
}
