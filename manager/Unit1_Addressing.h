#pragma once
// TAddressingPage: the page "Адресация и параметры доступа" — which meter the
// operations address, the access fields, the exchange parameters, the log
// memo and the PLC base station's meter list.

#include <QWidget>
#include <memory>

#include "manager/core/Access.h"
#include "manager/core/Addressing.h"

class QSpinBox;

namespace Ui {
class TAddressingPage;
}

namespace manager {

class TPageHost;

class TAddressingPage : public QWidget {
    Q_OBJECT
public:
    explicit TAddressingPage(TPageHost& host, QWidget* parent = nullptr);
    ~TAddressingPage() override;

    core::AddressingValues Addressing() const;
    core::AccessValues Access() const;
    core::ExchangeValues Exchange() const;

    // The field "Доп. параметры" belongs to the PLC and radio-route types.
    void ShowAddressingFor(int connectionType);
    // The addressing fields follow the connection; the PLC list button is
    // shown after a connect of a PLC type and hidden by any other.
    void SetConnected(bool connected, int connectionType);

    void AddLogLine(const QString& text);

private:
    void GetPLCBaseInfoButtonClick();

    TPageHost& host_;
    std::unique_ptr<Ui::TAddressingPage> ui_;
    QSpinBox* MeterVersionEdit;  // hidden; the meter version byte
};

}  // namespace manager
