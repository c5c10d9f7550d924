#pragma once
// TFrmOpenCommunication: the dialog "Подключение к счетчику" in which the
// user picks one of the seven connection types and its port, speed, phone
// number or address, and the optional controller login.

#include <QDialog>

#include "meter34/MeterConnection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace manager {

class TFrmOpenCommunication : public QDialog {
    Q_OBJECT
public:
    explicit TFrmOpenCommunication(QWidget* parent = nullptr);

    // Fills the controls from the settings / stores them back.
    void LoadFrom(const meter34::ConnectionSettings& s);
    void StoreTo(meter34::ConnectionSettings& s) const;

    // Applies the visibility rules of the selected type.
    void ConnectionTypeComboBoxChange();
    // The checks of "OK": false after an error box, with the focus on the control.
    bool Validate();

    QComboBox* ConnectionTypeComboBox;
    QLabel* Label1;
    QSpinBox* COMPortEdit;
    QComboBox* BaudRateComboBox;
    QLabel* COMDeviceLabel;
    QLineEdit* COMDeviceEdit;  // any serial device by path; overrides the number
    QLabel* Label16;
    QLineEdit* PhoneNumberEdit;
    QCheckBox* ControllerGSMCheckBox;
    QLineEdit* ControllerPasswordEdit;
    QPushButton* Button1;
    QPushButton* Button2;

    void accept() override;
};

}  // namespace manager
