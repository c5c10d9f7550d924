#pragma once
// What a page, dialog or command group of the main window may reach of the
// window: running an operation under the runner (with or without access),
// the connection, the runner's step line, the result text and the log memo.
// No page holds the window itself or reaches into another page.

#include <QString>

#include "manager/core/Operation.h"

class QAction;
class QWidget;

namespace manager {

// The menus of the main window, in their order on the menu bar.
enum class MainMenu { Connection, Parametrization, Admin, Service };

// Places of the items of the menu "Параметризация" (hundreds are the groups
// that separator lines divide).
namespace ParametrizationItem {
constexpr int ReadParameters = 100, WriteParameters = 101;
constexpr int LoadConfiguration = 200, SaveConfiguration = 201, ExportConfiguration = 202;
constexpr int ParametrizationProtocol = 300, SaveCurrentValues = 301;
}  // namespace ParametrizationItem

class TPageHost {
public:
    virtual ~TPageHost() = default;

    // Applies the addressing fields, runs operation under the progress dialog
    // (inside an access session when withAccess), then shows the outcome in a
    // box (the result text only when showResult) and on the status bar.
    // true on success and after a cancel; see OperationCompleted.
    virtual bool RunMeterOperation(const QString& title, bool showResult, bool withAccess,
                                   const core::MeterOperation& operation) = 0;
    // Whether the last RunMeterOperation ran to success (false after a cancel).
    virtual bool LastOperationCompleted() const = 0;
    // The result text of the last operation.
    virtual QString LastStatusText() const = 0;
    // The connection (its command object exists only while connected).
    virtual meter34::TMeterConnection& Connection() = 0;
    virtual bool IsConnected() const = 0;
    // The second line of the progress dialog while an operation runs.
    virtual void SetStep(const QString& text) = 0;
    // A line in the log memo of the first page.
    virtual void AddLogLine(const QString& text) = 0;
    // The parent of the dialogs and boxes a page opens.
    virtual QWidget* DialogParent() = 0;
    // Puts a page's action into a main menu at its place: items are kept in
    // the order of place, with a separator line between places of different
    // hundreds. The menu appears with its first item.
    virtual void AddMenuItem(MainMenu menu, int place, QAction* action) = 0;
};

}  // namespace manager
