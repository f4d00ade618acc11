#include "devices/edit_device_dialog.h"

#include <QLineEdit>

#include "devices/add_device.h"
#include "devices/device_fields.h"
#include "platform/prompter.h"

namespace tovanix::devices {

CEditDevice::CEditDevice(Prompter& prompter, Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    const DeviceFields f = buildDeviceFields(this, kEditDeviceTitle);
    name_ = f.name;
    address_edit_ = f.address;
}

void CEditDevice::load(unsigned deviceNodeData) {
    opened_ = openEditDevice(prompter_, engine_, deviceNodeData);
    name_->setText(QString::fromStdString(opened_.name));
    address_edit_->setText(opened_.found ? QString::number(opened_.address) : QString());
}

int CEditDevice::exec(unsigned deviceNodeData) {
    load(deviceNodeData);
    return QDialog::exec();
}

void CEditDevice::accept() {
    const EditDeviceOutcome out =
        submitEditDevice(prompter_, engine_, opened_, name_->text().toStdString(), address_edit_->text().toStdString());
    if (out.close) {
        address_ = parseAddress(address_edit_->text().toStdString());
        name_text_ = name_->text();
        QDialog::accept();
        return;
    }
    QLineEdit* focus = out.focusName ? name_ : out.focusAddress ? address_edit_ : nullptr;
    if (focus != nullptr) {
        focus->selectAll();
        focus->setFocus();
    }
}

}  // namespace tovanix::devices
