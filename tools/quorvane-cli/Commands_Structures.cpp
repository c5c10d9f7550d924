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
}  // namespace

void AddStructureCommands(CommandTable& t) {
    CommandRow get;
    get.name = "get-struct";
    get.minArgs = get.maxArgs = 2;
    get.usage = "get-struct N INDEX";
    get.help = "read structure N (hex dump)";
    get.prepare = [](const Args& a) -> Action {
        const auto [n, index] = Where(a);
        return [n, index](Session& s, Output& out) {
            std::uint8_t data[256];
            int len = 0;
            if (!s.meter().GetStruct(n, index, len, data)) s.Fail("Ошибка чтения структуры: ");
            out.Number("length", len);
            out.Field("data", Hex(data, len));
        };
    };
    t.Add(get);

    CommandRow set;
    set.name = "set-struct";
    set.minArgs = set.maxArgs = 3;
    set.usage = "set-struct N INDEX HEX";
    set.help = "write structure N (access; check code appended)";
    set.prepare = [](const Args& a) -> Action {
        const auto [n, index] = Where(a);
        // The request holds the structure number, the index, the data and its check.
        std::vector<std::uint8_t> data = ParseHex(a[2], 248);
        data.resize(data.size() + 2);
        PutCrc16Xmodem(data.data(), data.size() - 2);
        return [n, index, data](Session& s, Output& out) {
            s.WithAccess([&] { return s.meter().SetStruct(n, index, data.data(), static_cast<int>(data.size())); },
                         "Ошибка записи структуры: ");
            out.Field("written", Hex(data.data(), static_cast<int>(data.size())));
        };
    };
    t.Add(set);
}

}  // namespace qcli
