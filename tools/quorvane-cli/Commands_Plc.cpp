// The meters behind a PLC base station.
#include "Cli.h"

namespace qcli {

void AddPlcCommands(CommandTable& t) {
    CommandRow list = NoArgs("plc-list", "plc-list", "meters behind the PLC base station (--via plc)",
                             [](Session& s, Output& out) {
                                 Output::Rows lines;
                                 s.connection().ListPlcMeters([&](const std::string& line) { lines.push_back({line}); });
                                 out.Table("log", lines);
                             });
    // The list asks the station and every meter itself: no addressing first.
    list.addressed = false;
    list.refuse = [](const Options& o) {
        return meter34::IsPlcType(o.conn.ConnectionType) ? std::string() : std::string("plc-list needs --via plc");
    };
    t.Add(list);
}

}  // namespace qcli
