#pragma once
// How a long sequence of an application core (a parameter job, a read-all,
// a statistics view) reports while it runs, without knowing who runs it.
// The window passes hooks that drive its progress dialog; a command-line tool
// passes hooks that print, or none.

#include <string>
#include <vector>

namespace common {

class OperationHooks {
public:
    virtual ~OperationHooks() = default;
    // The current step (the progress dialog's second line).
    virtual void SetStep(const std::string& /*text*/) {}
    // Lets pending window events run (only then can "Отмена" be pressed).
    virtual void ProcessEvents() {}
    // Whether the user asked to cancel.
    virtual bool CancelRequested() { return false; }
    // A line of text for a log or memo.
    virtual void AddLine(const std::string& /*line*/) {}
    // A row of cells for a table.
    virtual void AddRow(const std::vector<std::string>& /*cells*/) {}
};

// Hooks that do nothing: for sequences run where nobody watches.
inline OperationHooks& NoHooks() {
    static OperationHooks none;
    return none;
}

}  // namespace common
