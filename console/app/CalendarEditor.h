#pragma once
// TFrmCalendarEditor: the day-month picker "Выбор даты" of the date-like
// edits (holidays, summer and winter switch dates), and PickDayMonth, the way
// the main window uses it.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace console {

class TFrmCalendarEditor : public QDialog {
    Q_OBJECT
public:
    explicit TFrmCalendarEditor(QWidget* parent = nullptr);

    QLabel* Label1;         // "Укажите дату"
    QComboBox* ComboBox1;   // days "1".."31"
    QComboBox* ComboBox2;   // the twelve long month names
    QToolButton* SpeedButton1;  // flat "X": closes with OK

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

// Day and month of a "dd.mm" text (or of a whole date "dd.mm.yyyy"); {0, 0}
// when it is not a day of the year (29.02 counts: holidays and switch dates
// recur every year).
struct DayMonth {
    int day = 0, month = 0;
};
DayMonth ParseDayMonth(const QString& text);

// Where a pop-up of the given size placed at topLeft ends up so that it lies
// within the desktop: moved up and left when it would pass the bottom or the
// right edge, never left of or above the desktop.
QPoint FitOnDesktop(QPoint topLeft, QSize size, const QRect& desktop);

// Shows the picker at screen position (x, y) with the day and month of text
// selected. OK: the chosen day and month as "dd.mm", or empty when nothing is
// chosen or the day does not exist in that month (31.04). Cancel (Escape):
// text unchanged.
QString PickDayMonth(QWidget* owner, const QString& text, int x, int y);

// The day-month picker for a date-like edit (holidays, switch dates): opens
// below the edit and puts the chosen day and month into it (unchanged when
// cancelled).
void listhappydayMD0EditClick(QLineEdit* edit);
// Makes a left click on edit open the day-month picker, for as long as the
// edit lives.
void InstallDayMonthPicker(QLineEdit* edit);

}  // namespace console
