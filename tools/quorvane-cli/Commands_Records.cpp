// get RECORD and set RECORD NAME=VALUE ...: any record of the record table
// (Records.h), by the names of the window's controls.
#include <algorithm>

#include "Cli.h"
#include "Records.h"

namespace qcli {

namespace {

constexpr int kMaxAssignments = 1000;

const RecordRow& FindRecord(const std::string& name) {
    const RecordRow* r = Records().Find(name);
    if (r) return *r;
    std::string list;
    for (const auto& row : Records().rows()) list += (list.empty() ? "" : ", ") + row.name;
    Bad("unknown record " + name + " (records: " + list + ")");
}

std::string NameOf(const std::string& assignment) { return assignment.substr(0, assignment.find('=')); }

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return common::SameTextIgnoringCase(n, name); });
}

// The assignments a fresh values object takes, or Usage: nothing is sent
// for a name the record does not have or a value its control cannot take.
void Check(const RecordRow& record, const Args& assignments) {
    RecordInstance probe = record.fresh();
    std::string error;
    if (!common::ApplyAssignments(probe.fields, assignments, error)) Bad(record.name + ": " + error);
}

void Apply(RecordInstance& i, const Args& assignments) {
    std::string error;
    if (!common::ApplyAssignments(i.fields, assignments, error)) throw Failure{error};  // checked before the port was opened
}

void Print(Output& out, const std::string& record, const RecordInstance& i) {
    out.Assignments();
    out.JsonField("record", record);
    for (const common::Field& f : i.fields) {
        const std::string text = common::FieldText(f);
        if (f.kind == common::FieldKind::Integer || f.kind == common::FieldKind::Tick)
            out.Number(f.name, std::stoll(text));
        else
            out.Field(f.name, text);
    }
}

Action Get(const RecordRow& record, Args selectors) {
    for (const auto& a : selectors)
        if (!Listed(record.selectors, NameOf(a)))
            Bad("get " + record.name + ": " + NameOf(a) +
                (record.selectors.empty() ? " (the record takes no selection)" : " does not select what is read"));
    Check(record, selectors);
    return [&record, selectors](Session& s, Output& out) {
        RecordInstance i = record.fresh();
        Apply(i, selectors);
        s.Run(i.read);
        Print(out, record.name, i);
    };
}

Action Set(const RecordRow& record, Args assignments) {
    if (!record.writable) Bad("set " + record.name + ": the record cannot be written");
    Args selectors;
    for (const auto& a : assignments) {
        const std::string name = NameOf(a);
        if (Listed(record.shownOnly, name)) Bad("set " + record.name + ": " + name + " is shown, never set");
        if (Listed(record.selectors, name)) selectors.push_back(a);
    }
    Check(record, assignments);
    return [&record, selectors, assignments](Session& s, Output& out) {
        // As the write job does: what the record holds now, the given names
        // changed, the whole record written back.
        RecordInstance i = record.fresh();
        Apply(i, selectors);
        s.Run(i.read);
        Apply(i, assignments);
        out.Field("result", s.Run(i.write, record.writeWithAccess));
    };
}

}  // namespace

Action GetRecord(const std::string& name) { return Get(FindRecord(name), {}); }

void AddRecordCommands(CommandTable& t) {
    t.Add(Row("get")
              .Takes(1, 1 + kMaxAssignments)
              .Shown("get RECORD [NAME=VALUE ...]", "a record, one NAME=VALUE per control (see Records)")
              .Does([](const Args& a) { return Get(FindRecord(a[0]), Args(a.begin() + 1, a.end())); }));
    t.Add(Row("set")
              .Takes(2, 1 + kMaxAssignments)
              .Shown("set RECORD NAME=VALUE ...", "read a record, change the named controls, write it (in access)")
              .Does([](const Args& a) { return Set(FindRecord(a[0]), Args(a.begin() + 1, a.end())); }));
}

}  // namespace qcli
