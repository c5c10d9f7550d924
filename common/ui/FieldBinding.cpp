#include "FieldBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <climits>

namespace common::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Control {
    QWidget* widget = nullptr;
    QListWidgetItem* row = nullptr;  // a check-list row
};

Control Find(QWidget* root, const std::string& name) {
    const QString n = Q(name);
    if (root->objectName() == n) return {root, nullptr};
    if (auto* w = root->findChild<QWidget*>(n)) return {w, nullptr};
    // "ListName<row>": a row of a check list.
    qsizetype digits = 0;
    while (digits < n.size() && n.at(n.size() - 1 - digits).isDigit()) ++digits;
    if (digits == 0 || digits == n.size()) return {};
    auto* list = root->findChild<QListWidget*>(n.left(n.size() - digits));
    const int row = n.right(digits).toInt();
    if (!list || row >= list->count()) return {};
    return {list, list->item(row)};
}

}  // namespace

void PrepareControls(QWidget* root, std::span<const common::Field> fields) {
    for (const auto& f : fields) {
        const Control c = Find(root, f.name);
        if (!c.widget || c.row) continue;
        if (auto* spin = qobject_cast<QSpinBox*>(c.widget); spin && f.kind == FieldKind::Integer) {
            spin->setRange(static_cast<int>(std::max<long long>(f.lo, INT_MIN)),
                           static_cast<int>(std::min<long long>(f.hi, INT_MAX)));
        } else if (auto* combo = qobject_cast<QComboBox*>(c.widget); combo && f.kind == FieldKind::Choice &&
                                                                       combo->count() == 0) {
            for (const char* item : f.items) combo->addItem(QString::fromUtf8(item));
        } else if (auto* edit = qobject_cast<QLineEdit*>(c.widget); edit && f.kind == FieldKind::Text && f.maxLength > 0) {
            edit->setMaxLength(f.maxLength);
        }
    }
}

void ShowFields(QWidget* root, std::span<const common::Field> fields) {
    for (const auto& f : fields) {
        const Control c = Find(root, f.name);
        if (!c.widget) continue;
        const QString text = Q(FieldText(f));
        if (c.row) {
            c.row->setCheckState(text == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
        } else if (auto* spin = qobject_cast<QSpinBox*>(c.widget)) {
            spin->setValue(text.toInt());
        } else if (auto* check = qobject_cast<QCheckBox*>(c.widget)) {
            check->setChecked(text == QLatin1String("1"));
        } else if (auto* combo = qobject_cast<QComboBox*>(c.widget)) {
            if (f.kind == FieldKind::Choice) combo->setCurrentIndex(*std::get<int*>(f.target));
            else combo->setCurrentText(text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(c.widget)) {
            edit->setText(text);
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(c.widget)) {
            memo->setPlainText(text);
        }
    }
}

bool TakeFields(QWidget* root, std::span<const common::Field> fields, QString& error) {
    for (const auto& f : fields) {
        const Control c = Find(root, f.name);
        if (!c.widget) continue;
        QString text;
        if (c.row) {
            text = c.row->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
        } else if (auto* spin = qobject_cast<QSpinBox*>(c.widget)) {
            text = QString::number(spin->value());
        } else if (auto* check = qobject_cast<QCheckBox*>(c.widget)) {
            text = check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        } else if (auto* combo = qobject_cast<QComboBox*>(c.widget)) {
            if (f.kind == FieldKind::Choice) {
                // The index itself: items that are numbers ("1", "2") would
                // otherwise be read back as item texts.
                const int index = combo->currentIndex();
                if (index < -1 || index > f.hi) {
                    error = QStringLiteral("«%1»: нет пункта %2").arg(Q(f.name)).arg(index);
                    return false;
                }
                *std::get<int*>(f.target) = index;
                continue;
            }
            text = combo->currentText();
        } else if (auto* edit = qobject_cast<QLineEdit*>(c.widget)) {
            text = edit->text();
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(c.widget)) {
            text = memo->toPlainText();
        } else {
            continue;
        }
        std::string why;
        if (!SetFieldText(f, text.toStdString(), why)) {
            error = Q(why);
            return false;
        }
    }
    return true;
}

}  // namespace common::ui
