// Parameter records and the transformation ratios.
#include "Cli.h"

namespace qcli {

using namespace meter34;

namespace {

// A record read as a whole and shown as hex.
template <class Record, bool (TMeter::*Get)(Record&)>
void ShowRecord(Session& s, Output& out) {
    Record r{};
    if (!(s.meter().*Get)(r)) s.Fail("Ошибка чтения параметров: ");
    out.Field("record", Hex(r.data(), static_cast<int>(r.size())));
}

void Ratios(Session& s, Output& out) {
    std::uint16_t ci = 0, cu = 0, count = 0;
    DateTime last;
    if (!s.meter().GetIUCoefficients(ci, cu, last, count)) s.Fail("Ошибка чтения коэффициентов: ");
    out.Number("current_ratio", ci);
    out.Number("voltage_ratio", cu);
    out.Field("last_change", Text(last));
    out.Number("changes", count);
}

}  // namespace

void AddParameterCommands(CommandTable& t) {
    t.Add(Row("params")
              .Shown("params | params2 | dop-params", "parameter records (hex)")
              .Runs(ShowRecord<MainParameterRecord, &TMeter::GetParameters>));
    t.Add(Row("params2").Runs(ShowRecord<SecondGroupParameterRecord, &TMeter::GetParameters2>));
    t.Add(Row("dop-params").Runs(ShowRecord<AdditionalParameterRecord, &TMeter::GetAdditionalParameters>));
    t.Add(Row("ratios").Shown("ratios", "transformation ratios and their last change").Runs(Ratios));
}

}  // namespace qcli
