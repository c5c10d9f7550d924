#include "Export.h"

#include "common/core/AtomicFile.h"
#include "common/core/TextCodec.h"

namespace manager::core {

std::string TableCsvText(const StatisticsTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r) {
        for (int c = 0; c < table.ColCount(); ++c) {
            out += table.Cell(c, r);
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

bool SaveTableCsv(const StatisticsTable& table, const std::string& path, std::string& errorText) {
    return common::WriteFileAtomically(path, common::Utf8ToCp1251(TableCsvText(table)), errorText);
}

}  // namespace manager::core
