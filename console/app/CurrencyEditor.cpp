#include "CurrencyEditor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace console {

namespace {
constexpr int kCurrencyLength = 3;

bool Accepted(QChar c) { return c.unicode() >= 65 && c.unicode() <= 122; }
}  // namespace

QValidator::State CurrencyValidator::validate(QString& input, int& pos) const {
    (void)pos;
#ifdef OSTRILON_SERIAL_ONLY
    for (QChar& c : input)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = c.toUpper();
#endif
    for (QChar c : input)
        if (!Accepted(c)) return Invalid;
    return Acceptable;
}

TFrmInputCurrency::TFrmInputCurrency(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmInputCurrency"));
    setWindowTitle(QStringLiteral("Смена валюты"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Идентификатор валюты"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    CurrencyEdit = new QLineEdit(this);
    CurrencyEdit->setObjectName(QStringLiteral("CurrencyEdit"));
    CurrencyEdit->setMaxLength(kCurrencyLength);
    CurrencyEdit->setValidator(new CurrencyValidator(CurrencyEdit));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* g = new QGridLayout(this);
    g->addWidget(Label1, 0, 0);
    g->addWidget(CurrencyEdit, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    g->addLayout(buttons, 1, 0, 1, 2);
    setMinimumWidth(280);

    connect(OKButton, &QPushButton::clicked, this, [this] { accept(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
}

void TFrmInputCurrency::accept() {
    if (CurrencyEdit->text().size() != kCurrencyLength) return;
    QDialog::accept();
}

}  // namespace console
