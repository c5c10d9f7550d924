#pragma once
// TFrmInputCurrency: the dialog "Смена валюты" in which the user types the
// meter's three-character currency identifier.

#include <QDialog>
#include <QValidator>

class QLabel;
class QLineEdit;
class QPushButton;

namespace console {

// Letters only: characters with codes 65..122 ("A" to "z", the six signs
// between "Z" and "a" included). The serial-only build turns "a".."z" into
// capitals as they are typed.
class CurrencyValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

class TFrmInputCurrency : public QDialog {
    Q_OBJECT
public:
    explicit TFrmInputCurrency(QWidget* parent = nullptr);

    QLabel* Label1;  // "Идентификатор валюты"
    QLineEdit* CurrencyEdit;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // OK closes only with exactly three characters; otherwise the dialog
    // stays open without a word.
    void accept() override;
};

}  // namespace console
