#include "Records.h"

namespace qcli {

const RecordRow* RecordTable::Find(const std::string& name) const {
    for (const auto& r : rows_)
        if (r.name == name) return &r;
    return nullptr;
}

std::string RecordTable::Help() const {
    std::string out =
        "\nRecords of get and set (names and values are the window's controls: numbers,\n"
        "item texts of combo boxes, 0 or 1 per check-list row as LISTNAME<row>):\n";
    for (const auto& r : rows_) {
        const std::size_t width = 25;
        std::string selects;
        for (const auto& n : r.selectors) selects += (selects.empty() ? "; get selects by " : ", ") + n;
        out += "  " + r.name + std::string(width - std::min(width - 1, r.name.size()), ' ') + r.help +
               (r.writable ? "" : " (read only)") + selects + "\n";
    }
    return out;
}

const RecordTable& Records() {
    static const RecordTable table = [] {
        RecordTable t;
        AddParameterRecords(t);
        AddServiceRecords(t);
        return t;
    }();
    return table;
}

}  // namespace qcli
