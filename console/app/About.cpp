#include "About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef OSTRILON_VERSION
#define OSTRILON_VERSION "1.0"
#endif

namespace console {

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    ProductName = new QLabel(QStringLiteral("Ostrilon"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    ProductName->setFont(big);
#ifdef OSTRILON_SERIAL_ONLY
    const QString build = QStringLiteral("сборка для последовательного порта");
#else
    const QString build = QStringLiteral("последовательный порт и TCP-сервер");
#endif
    Version = new QLabel(QStringLiteral("Версия %1 (%2)").arg(QStringLiteral(OSTRILON_VERSION), build), this);
    Version->setObjectName(QStringLiteral("Version"));
    Comments = new QLabel(QStringLiteral("Управление счетчиками с предоплатой версий 51...54."),
                          this);
    Comments->setObjectName(QStringLiteral("Comments"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);

    auto* v = new QVBoxLayout(this);
    v->addWidget(ProductName);
    v->addWidget(Version);
    v->addSpacing(6);
    v->addWidget(Comments);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    v->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, [this] { accept(); });
}

}  // namespace console
