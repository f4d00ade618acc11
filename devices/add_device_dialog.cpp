#include "devices/add_device_dialog.h"

#include <QLineEdit>

#include "devices/add_device.h"
#include "devices/device_fields.h"
#include "platform/prompter.h"

namespace tovanix::devices {

CAddDevice::CAddDevice(Prompter& prompter, Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    const DeviceFields f = buildDeviceFields(this, kAddDeviceTitle);
    name_ = f.name;
    address_edit_ = f.address;
}

int CAddDevice::exec(unsigned nodeData, const QString& nodeText) {
    node_ = nodeData;
    nodeText_ = nodeText;
    lineid_ = roomid_ = address_ = 0;
    name_->setFocus();
    return QDialog::exec();
}

void CAddDevice::accept() {
    AddDeviceInput in;
    in.name = name_->text().toStdString();
    in.addressText = address_edit_->text().toStdString();
    in.nodeData = node_;
    in.nodeText = nodeText_.toStdString();
    const AddDeviceOutcome out = submitAddDevice(prompter_, engine_, in);
    if (out.close) {
        lineid_ = out.lineid;
        roomid_ = out.roomid;
        address_ = out.address;
        addedName_ = name_->text();
        name_->clear();
        address_edit_->clear();
        QDialog::accept();
        return;
    }
    QLineEdit* focus = out.focus == AddDeviceField::Name      ? name_
                       : out.focus == AddDeviceField::Address ? address_edit_
                                                              : nullptr;
    if (focus != nullptr) {
        focus->selectAll();
        focus->setFocus();
    }
}

}  // namespace tovanix::devices
