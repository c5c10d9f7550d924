// The meters behind a PLC base station.
#include "Cli.h"

namespace qcli {

namespace {

void ListMeters(Session& s, Output& out) {
    Output::Rows lines;
    s.connection().ListPlcMeters([&](const std::string& line) { lines.push_back({line}); });
    out.Table("log", lines);
}

std::string OnPlcOnly(const Options& o) {
    return meter34::IsPlcType(o.conn.ConnectionType) ? std::string() : std::string("plc-list needs --via plc");
}

}  // namespace

void AddPlcCommands(CommandTable& t) {
    // The list asks the station and every meter itself: no addressing first.
    t.Add(Row("plc-list")
              .Shown("plc-list", "meters behind the PLC base station (--via plc)")
              .Runs(ListMeters)
              .Unaddressed()
              .Refuses(OnPlcOnly));
}

}  // namespace qcli
