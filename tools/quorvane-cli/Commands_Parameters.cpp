// The parameter records of the page "Параметризация" (get and set by the
// controls' names) and the transformation ratios.
#include "Cli.h"
#include "Records.h"
#include "manager/core/Parameters.h"

namespace qcli {

using namespace meter34;
namespace core = manager::core;

namespace {

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

void AddParameterRecords(RecordTable& t) {
    t.Add(Record<core::MainParameterValues>("params", "main parameters (0x06)", core::ReadMainParameters,
                                            core::WriteMainParameters));
    t.Add(Record<core::AdditionalParameterValues>("dop-params", "additional parameters (0x0D)",
                                                  core::ReadAdditionalParameters, core::WriteAdditionalParameters));
    t.Add(Record<core::SecondGroupParameterValues>("params2", "second-group parameters (0x0E)",
                                                   core::ReadSecondGroupParameters,
                                                   core::WriteSecondGroupParameters));
    t.Add(Record<core::TransformationRatioValues>("ratios", "transformation ratios (0x1F)",
                                                  core::ReadTransformationRatios, core::WriteTransformationRatios)
              .ShownOnly({"CurrentVoltageRatioChangesCountLabel", "CurrentVoltageRatioLastDateLabel"}));
}

void AddParameterCommands(CommandTable& t) {
    t.Add(Row("params").Shown("params | params2 | dop-params", "the same as get params, get params2, get dop-params")
              .Runs(GetRecord("params")));
    t.Add(Row("params2").Runs(GetRecord("params2")));
    t.Add(Row("dop-params").Runs(GetRecord("dop-params")));
    t.Add(Row("ratios").Shown("ratios", "transformation ratios and their last change").Runs(Ratios));
}

}  // namespace qcli
