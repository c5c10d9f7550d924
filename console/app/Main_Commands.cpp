// One-shot commands of the menu "Команда": one menu item per row of the
// core's command table.
#include "Main_Commands.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include "CurrencyEditor.h"
#include "PageHost.h"
#include "common/ui/UiServices.h"

namespace console {

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

const char* SubmenuCaption(const char* name) {
    for (const core::CommandSubmenu& s : core::CommandSubmenus())
        if (std::string_view(s.name) == name) return s.caption;
    return name;
}

}  // namespace

TMeterCommands::TMeterCommands(TPageHost& host, QMenu* menu, QObject* parent) : QObject(parent), host_(host) {
    setObjectName(QStringLiteral("MeterCommands"));
    for (const core::CommandRow& row : core::MeterCommandRows()) {
        if (row.separatorBefore) menu->addSeparator();
        QMenu* into = menu;
        if (row.submenu) {
            into = menu->findChild<QMenu*>(QString::fromLatin1(row.submenu), Qt::FindDirectChildrenOnly);
            if (!into) {
                into = menu->addMenu(U(SubmenuCaption(row.submenu)));
                into->setObjectName(QString::fromLatin1(row.submenu));
            }
        }
        QAction* a = into->addAction(U(row.caption));
        a->setObjectName(QString::fromLatin1(row.action));
        const core::CommandRow* r = &row;
        connect(a, &QAction::triggered, this, [this, r] {
            if (r->reply == core::CommandReply::Currency) ChangeCurrency(*r);
            else Run(*r);
        });
        host_.FollowMeterActions(a);
        actions_.push_back(a);
    }
}

void TMeterCommands::Run(const core::CommandRow& row) {
    host_.RunCounterOperation(U(row.title), [this, &row](core::OperationContext& ctx) {
        core::CommandResult result;
        if (!row.operation(ctx, result)) return false;
        // The clock gets a box of its own before the outcome's.
        if (row.reply == core::CommandReply::Clock)
            common::ui::PlainBox(host_.DialogParent(), QString::fromStdString(ctx.Formats.DateAndTime(result.Clock)));
        return true;
    });
}

void TMeterCommands::ChangeCurrency(const core::CommandRow& row) {
    const bool read = host_.RunCounterOperation(U(row.title), [this, &row](core::OperationContext& ctx) {
        CurrencyText.clear();
        core::CommandResult result;
        if (!row.operation(ctx, result)) return false;
        CurrencyText = QString::fromLatin1(result.Currency.data(), static_cast<qsizetype>(result.Currency.size()));
        return true;
    });
    // Also after a cancelled read: the user may type the identifier.
    if (!read) return;
    TFrmInputCurrency dialog(host_.DialogParent());
    dialog.CurrencyEdit->setText(CurrencyText);
    CurrencyText = dialog.exec() == QDialog::Accepted ? dialog.CurrencyEdit->text() : QString();
    if (CurrencyText.isEmpty()) return;
    const QByteArray code = CurrencyText.toLatin1();
    host_.RunCounterOperation(U(core::kWriteCurrencyTitle), [code](core::OperationContext& ctx) {
        return core::WriteCurrency(ctx, std::string_view(code.constData(), static_cast<std::size_t>(code.size())));
    });
}

}  // namespace console
