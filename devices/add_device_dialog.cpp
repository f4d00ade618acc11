#include "devices/add_device_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "devices/add_device.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::devices {

CAddDevice::CAddDevice(Prompter& prompter, Engine& engine, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(engine) {
    setWindowTitle(QString::fromUtf8(kAddDeviceTitle));
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
