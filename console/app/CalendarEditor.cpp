#include "CalendarEditor.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/core/DateTime.h"
#include "common/ui/FormatSettings.h"

namespace console {

namespace {
// The year the picked day is checked against; a leap year, so that 29.02 exists.
constexpr int kPickYear = 2000;

// Opens the picker when the left button is released over the edit.
class DayMonthClick : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* edit = qobject_cast<QLineEdit*>(watched);
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (edit && edit->isEnabled() && mouse->button() == Qt::LeftButton &&
                edit->rect().contains(mouse->position().toPoint())) {
                listhappydayMD0EditClick(edit);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};
}  // namespace

TFrmCalendarEditor::TFrmCalendarEditor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmCalendarEditor"));
    setWindowTitle(QStringLiteral("Выбор даты"));
    // A borderless pop-up: it sits right under the edit it belongs to.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Panel1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    // Clicks on the frame count as clicks on the picker's background.
    frame->setAttribute(Qt::WA_TransparentForMouseEvents, false);

    Label1 = new QLabel(QStringLiteral("Укажите дату"), frame);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(frame);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (int d = 1; d <= 31; ++d) ComboBox1->addItem(QString::number(d));
    ComboBox1->setMaxVisibleItems(31);
    ComboBox2 = new QComboBox(frame);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(common::ui::LongMonthNames());
    ComboBox2->setMaxVisibleItems(12);
    SpeedButton1 = new QToolButton(frame);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("X"));
    SpeedButton1->setAutoRaise(true);  // flat
    SpeedButton1->setToolTip(QStringLiteral("Готово"));

    auto* head = new QHBoxLayout;
    head->addWidget(Label1);
    head->addStretch();
    head->addWidget(SpeedButton1);
    auto* row = new QHBoxLayout;
    row->addWidget(ComboBox1);
    row->addWidget(ComboBox2, 1);
    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(6, 2, 6, 6);
    inner->addLayout(head);
    inner->addLayout(row);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { accept(); });
}

void TFrmCalendarEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TFrmCalendarEditor::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

DayMonth ParseDayMonth(const QString& text) {
    // "dd.mm", or a whole date "dd.mm.yyyy" of which day and month are taken.
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})\\.(\\d{1,2})(?:\\.(\\d{1,4}))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return {};
    const int day = m.captured(1).toInt();
    const int month = m.captured(2).toInt();
    int year = kPickYear;
    if (m.capturedLength(3) > 0) {
        year = m.captured(3).toInt();
        if (m.capturedLength(3) <= 2) year += 2000;
    }
    if (!common::DateTime::isValidDate(year, month, day)) return {};
    return {day, month};
}

QPoint FitOnDesktop(QPoint topLeft, QSize size, const QRect& desktop) {
    int x = topLeft.x();
    int y = topLeft.y();
    if (y + size.height() > desktop.y() + desktop.height()) y = desktop.y() + desktop.height() - size.height();
    if (x + size.width() > desktop.x() + desktop.width()) x = desktop.x() + desktop.width() - size.width();
    if (x < desktop.x()) x = desktop.x();
    if (y < desktop.y()) y = desktop.y();
    return {x, y};
}

QString PickDayMonth(QWidget* owner, const QString& text, int x, int y) {
    TFrmCalendarEditor picker(owner);
    const DayMonth given = text.isEmpty() ? DayMonth{} : ParseDayMonth(text);
    picker.ComboBox2->setCurrentIndex(given.month - 1);
    picker.ComboBox1->setCurrentIndex(given.day - 1);

    picker.adjustSize();
    QRect desktop;
    const QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) desktop = screen->virtualGeometry();
    picker.move(desktop.isValid() ? FitOnDesktop(QPoint(x, y), picker.size(), desktop) : QPoint(x, y));

    if (picker.exec() != QDialog::Accepted) return text;
    const int day = picker.ComboBox1->currentIndex() + 1;
    const int month = picker.ComboBox2->currentIndex() + 1;
    if (day < 1 || month < 1 || !common::DateTime::isValidDate(kPickYear, month, day)) return {};
    return QStringLiteral("%1.%2").arg(day, 2, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0'));
}

void listhappydayMD0EditClick(QLineEdit* edit) {
    const QPoint corner = edit->mapToGlobal(QPoint(0, edit->height()));
    edit->setText(PickDayMonth(edit->window(), edit->text(), corner.x(), corner.y()));
}

void InstallDayMonthPicker(QLineEdit* edit) { edit->installEventFilter(new DayMonthClick(edit)); }

}  // namespace console
