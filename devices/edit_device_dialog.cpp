#include "devices/edit_device_dialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "devices/add_device.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::devices {

CEditDevice::CEditDevice(Prompter& prompter, Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    setWindowTitle(QString::fromUtf8(kEditDeviceTitle));
    setWindowIcon(widgets::programIcon());
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    name_->setAccessibleName(QString::fromUtf8(kDeviceNameLabel));
    address_edit_ = new QLineEdit(this);
    address_edit_->setObjectName(QStringLiteral("address"));
    address_edit_->setAccessibleName(QString::fromUtf8(kDeviceAddressLabel));
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(kDeviceNameLabel), name_);
    form->addRow(QString::fromUtf8(kDeviceAddressLabel), address_edit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(widgets::okCancelRow(this));
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
