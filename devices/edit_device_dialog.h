// CEditDevice: the name and the bus address of one logger.
#pragma once

#include <QDialog>

#include "devices/edit_device.h"

class QLineEdit;

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

class CEditDevice : public QDialog {
    Q_OBJECT
public:
    CEditDevice(Prompter& prompter, Engine& engine, QWidget* parent = nullptr);

    // Fills the fields from the device of this node.
    void load(unsigned deviceNodeData);
    int exec(unsigned deviceNodeData);

    // What was stored, after the dialog was accepted.
    int lineid() const { return opened_.lineid; }
    int address() const { return address_; }
    QString deviceName() const { return name_text_; }

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* addressEdit() const { return address_edit_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    Engine& engine_;
    QLineEdit* name_;
    QLineEdit* address_edit_;
    EditDeviceState opened_;
    int address_ = 0;
    QString name_text_;
};

}  // namespace tovanix::devices
