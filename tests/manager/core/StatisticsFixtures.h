#pragma once
// What the tests of the statistics views share: the emulated meter over a
// pseudo-terminal, a meter whose replies the test writes out byte by byte,
// hooks that cancel or meddle after a given number of rows, and the table as
// rows of texts.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "manager/core/Operation.h"
#include "manager/core/StatisticsTable.h"
#include "sim/meter34/Emulator.h"
#include "tests/manager/core/MeterSim.h"
#include "tests/support/MemoryLink.h"
#include "tests/support/MeterFrames.h"

namespace stats_test {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::string>>;

// Rows 0..RowCount()-1 of the table, every column.
inline Rows RowsOf(const manager::core::StatisticsTable& t) {
    Rows out;
    for (int r = 0; r < t.RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < t.ColCount(); ++c) row.push_back(t.Cell(c, r));
        out.push_back(row);
    }
    return out;
}

// Counts the moments the view lets events run; cancels from the n-th on, or
// calls onEvents with the count.
struct ScriptHooks : common::OperationHooks {
    int events = 0;
    int cancelFrom = -1;  // -1: never; 0: before the first request
    std::function<void(int)> onEvents;
    void ProcessEvents() override {
        ++events;
        if (onEvents) onEvents(events);
    }
    bool CancelRequested() override { return cancelFrom >= 0 && events >= cancelFrom; }
};

// The emulated meter 12345 (MeterSim.h), of version 4 unless Version says otherwise.
struct SimMeter : MeterSim {
    ScriptHooks hooks;
    manager::core::StatisticsTable table;
    const common::FormatSettings russian = common::FormatSettings::Russian();

    void Version(std::uint16_t version) {
        emu->setVersion(version);
        std::string status;
        ASSERT_TRUE(conn.PrepareAddressing(12345, version, "", status)) << status;
    }
    manager::core::OperationContext Context() { return {conn, hooks, russian}; }
    // The command bytes of every request the meter received, in order.
    std::vector<Bytes> Commands() const {
        std::vector<Bytes> out;
        for (const auto& r : emu->requests()) {
            const Bytes f = frames34::Unstuff(r);
            if (f.size() > 12 && f[0] == 0x7E) out.push_back(frames34::RequestPayload(f));
        }
        return out;
    }
    // Indexes of the requests for a structure, in order.
    std::vector<int> StructIndexes(std::uint8_t structure) const {
        std::vector<int> out;
        for (const auto& c : Commands())
            if (c.size() >= 4 && c[0] == 0x14 && c[1] == structure) out.push_back(c[2] | (c[3] << 8));
        return out;
    }
};

// A meter on an in-memory line whose replies the test writes out: given the
// command bytes of a request, the result code and data of the reply.
struct WireMeter : ::testing::Test {
    meter34::TMeterConnection conn;
    testsupport::MemoryLink* link = nullptr;
    std::function<Bytes(const Bytes& command)> answer;
    std::vector<Bytes> commands;
    ScriptHooks hooks;
    manager::core::StatisticsTable table;
    const common::FormatSettings russian = common::FormatSettings::Russian();

    void SetUp() override {
        auto l = std::make_unique<testsupport::MemoryLink>();
        link = l.get();
        link->Timeout = 300;
        link->TryCount = 1;
        link->RetryPause = 10;
        link->responder = [this](const Bytes& written, testsupport::MemoryLink& to) {
            const Bytes req = frames34::Unstuff(written);
            const Bytes command = frames34::RequestPayload(req);
            commands.push_back(Bytes(command.begin(), command.end() - 1));  // without the sum
            to.Send(frames34::Stuff(frames34::ReplyFrame(12345, 4, req[8] & 0x0F, req[9] & 0x7F, answer(commands.back()))));
        };
        conn.Link = std::move(l);
        conn.Exchange = std::make_unique<meter34::TDirect_MeterExchange>(link);
        conn.Meter = std::make_unique<meter34::TMeter>(conn.Exchange.get());
        conn.Meter->MeterNumber = 12345;
        conn.Meter->MeterVersion = 4;
    }
    manager::core::OperationContext Context() { return {conn, hooks, russian}; }
    // Answers structure reads from records by (structure, index); any other
    // index gets a record of zeros of its structure's size.
    void Structures(std::map<std::pair<int, int>, Bytes> records) {
        answer = [records](const Bytes& c) {
            static const std::map<int, std::size_t> kSize = {{11, 5}, {12, 7}, {17, 50}, {30, 10}, {31, 18}};
            Bytes reply = {0x00, c[0], c[1], c[2], c[3]};
            const auto it = records.find({c[1], c[2] | (c[3] << 8)});
            const Bytes rec = it != records.end() ? it->second : Bytes(kSize.at(c[1]), 0);
            reply.insert(reply.end(), rec.begin(), rec.end());
            return reply;
        };
    }
};

}  // namespace stats_test
