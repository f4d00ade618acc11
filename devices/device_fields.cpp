#include "devices/device_fields.h"

#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "devices/add_device.h"
#include "widgets/artwork.h"
#include "widgets/dialog_buttons.h"

namespace tovanix::devices {

DeviceFields buildDeviceFields(QDialog* dialog, const char* title) {
    dialog->setWindowTitle(QString::fromUtf8(title));
    dialog->setWindowIcon(widgets::programIcon());
    auto field = [dialog](const char* objectName, const char* label) {
        auto* edit = new QLineEdit(dialog);
        edit->setObjectName(QString::fromUtf8(objectName));
        edit->setAccessibleName(QString::fromUtf8(label));
        return edit;
    };
    DeviceFields f{field("name", kDeviceNameLabel), field("address", kDeviceAddressLabel)};
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(kDeviceNameLabel), f.name);
    form->addRow(QString::fromUtf8(kDeviceAddressLabel), f.address);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addLayout(widgets::okCancelRow(dialog));
    return f;
}

}  // namespace tovanix::devices
