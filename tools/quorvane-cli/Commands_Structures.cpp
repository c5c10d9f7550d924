// Numbered structures: read as hex, write with the check code appended.
#include <cstdint>

#include "Cli.h"

namespace qcli {

using namespace meter34;

namespace {

// Structure number and index, the first two arguments of both commands.
std::pair<std::uint8_t, std::uint16_t> Where(const Args& a) {
    return {static_cast<std::uint8_t>(Integer(a[0], "N", 0, 255)),
            static_cast<std::uint16_t>(Integer(a[1], "INDEX", 0, 65535))};
}

Action GetStruct(const Args& a) {
    const auto where = Where(a);
    return [n = where.first, index = where.second](Session& s, Output& out) {
        std::uint8_t data[256];
        int len = 0;
        if (!s.meter().GetStruct(n, index, len, data)) s.Fail("Ошибка чтения структуры: ");
        out.Number("length", len);
        out.Field("data", Hex(data, len));
    };
}

Action SetStruct(const Args& a) {
    const auto where = Where(a);
    // The request holds the structure number, the index, the data and its check.
    std::vector<std::uint8_t> data = ParseHex(a[2], 248);
    data.resize(data.size() + 2);
    PutCrc16Xmodem(data.data(), data.size() - 2);
    return [n = where.first, index = where.second, data](Session& s, Output& out) {
        s.WithAccess([&] { return s.meter().SetStruct(n, index, data.data(), static_cast<int>(data.size())); },
                     "Ошибка записи структуры: ");
        out.Field("written", Hex(data.data(), static_cast<int>(data.size())));
    };
}

}  // namespace

void AddStructureCommands(CommandTable& t) {
    t.Add(Row("get-struct").Takes(2).Shown("get-struct N INDEX", "read structure N (hex dump)").Does(GetStruct));
    t.Add(Row("set-struct").Takes(3).Shown("set-struct N INDEX HEX", "write structure N (access; check code appended)")
              .Does(SetStruct));
}

}  // namespace qcli
