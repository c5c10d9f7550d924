#pragma once
// TTopPanel: the panel above the pages - which meter the operations log in
// to ("Зав. номер", "Идентификатор"), the hidden write password, and (not in
// the serial-only build) the connection selector "Тип связи" with
// "Подключиться" and "Отключиться".

#include <QFrame>
#include <memory>

#include "console/core/TopPanel.h"

namespace Ui {
class TTopPanel;
}

namespace console {

class TTopPanel : public QFrame {
    Q_OBJECT
public:
    explicit TTopPanel(QWidget* parent = nullptr);
    ~TTopPanel() override;

    core::TopPanelValues Values() const;

#ifndef OSTRILON_SERIAL_ONLY
    // Items of the connection selector.
    enum ConnectionKind { kRS232 = 0, kModem = 1, kTcpServer = 2 };
    int SelectedConnection() const;
    // While a link is open (or being opened) only "Отключиться" is offered,
    // and the kind of the link must not change under it.
    void ShowLinkOpen(bool open);

Q_SIGNALS:
    void ConnectButtonClick();
    void DisconnectButtonClick();
#endif

private:
    std::unique_ptr<Ui::TTopPanel> ui_;
};

}  // namespace console
