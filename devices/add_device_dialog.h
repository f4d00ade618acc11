// CAddDevice: a new logger under the selected line or group.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

class CAddDevice : public QDialog {
    Q_OBJECT
public:
    CAddDevice(Prompter& prompter, Engine& engine, QWidget* parent = nullptr);

    // Adds under the node with this data and text (a line or a group).
    int exec(unsigned nodeData, const QString& nodeText);

    // The new device, after the dialog was accepted.
    int lineid() const { return lineid_; }
    int roomid() const { return roomid_; }
    int address() const { return address_; }
    QString deviceName() const { return addedName_; }

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* addressEdit() const { return address_edit_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    Engine& engine_;
    QLineEdit* name_;
    QLineEdit* address_edit_;
    unsigned node_ = 0;
    QString nodeText_;
    int lineid_ = 0;
    int roomid_ = 0;
    int address_ = 0;
    QString addedName_;
};

}  // namespace tovanix::devices
