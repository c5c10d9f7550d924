#pragma once
// TFrmAbout: the program information dialog "О программе".

#include <QDialog>

class QLabel;
class QPushButton;

namespace console {

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* parent = nullptr);

    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;
    QPushButton* OKButton;
};

}  // namespace console
