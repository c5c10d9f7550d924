#pragma once
// The records that `get RECORD` and `set RECORD NAME=VALUE ...` work on.
//
// A feature registers a record with the values struct of its core (its
// Fields are the names), the core operation that reads the record into the
// values and the one that writes it from them:
//
//   t.Add(Record<MainParameterValues>("params", "main parameters (0x06)",
//                                     ReadMainParameters, WriteMainParameters));
//
// `get` prints every field as NAME=VALUE in the order of the fields (or one
// JSON object); `set` checks the given names against the fields before
// anything is sent, reads the record, applies the names and writes it back
// (inside an access session unless the record says otherwise). Fields named
// in ShownOnly are printed but never set; fields named in Selects choose
// what is read (`get speed ChannelNumberComboBox=Второй`) and may be given
// to get as well as to set.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/core/Fields.h"
#include "manager/core/Operation.h"

namespace qcli {

// One values object of a record with its fields and operations bound to it.
struct RecordInstance {
    std::shared_ptr<void> values;  // keeps the object the fields point into
    common::Fields fields;
    manager::core::MeterOperation read;
    manager::core::MeterOperation write;  // empty: the record cannot be written
};

struct RecordRow {
    std::string name;
    std::string help;
    // A fresh values object (the core's defaults) each time.
    std::function<RecordInstance()> fresh;
    bool writable = false;
    bool writeWithAccess = true;
    std::vector<std::string> shownOnly;
    std::vector<std::string> selectors;

    RecordRow& ShownOnly(std::vector<std::string> names) {
        shownOnly = std::move(names);
        return *this;
    }
    RecordRow& Selects(std::vector<std::string> names) {
        selectors = std::move(names);
        return *this;
    }
    // The write goes out without an access session.
    RecordRow& WritesWithoutAccess() {
        writeWithAccess = false;
        return *this;
    }
};

// A record over a values struct V with a Fields() member; write may be
// nullptr for a record that is only read.
template <class V>
RecordRow Record(std::string name, std::string help, bool (*read)(manager::core::OperationContext&, V&),
                 bool (*write)(manager::core::OperationContext&, const V&)) {
    RecordRow r;
    r.name = std::move(name);
    r.help = std::move(help);
    r.writable = write != nullptr;
    r.fresh = [read, write] {
        auto v = std::make_shared<V>();
        RecordInstance i;
        i.values = v;
        i.fields = v->Fields();
        i.read = [v, read](manager::core::OperationContext& ctx) { return read(ctx, *v); };
        if (write) i.write = [v, write](manager::core::OperationContext& ctx) { return write(ctx, *v); };
        return i;
    };
    return r;
}

class RecordTable {
public:
    void Add(RecordRow row) { rows_.push_back(std::move(row)); }
    const RecordRow* Find(const std::string& name) const;
    const std::vector<RecordRow>& rows() const { return rows_; }
    // The "Records" lines of --help.
    std::string Help() const;

private:
    std::vector<RecordRow> rows_;
};

// Every record, in the order of --help.
const RecordTable& Records();

// The records of each feature (in its Commands_<Feature>.cpp).
void AddParameterRecords(RecordTable& t);
void AddServiceRecords(RecordTable& t);

}  // namespace qcli
