// The name and address fields the add and edit logger dialogs share.
#pragma once

class QDialog;
class QLineEdit;

namespace tovanix::devices {

struct DeviceFields {
    QLineEdit* name;
    QLineEdit* address;
};

// Titles the dialog, lays out the two labelled fields (named for screen
// readers and tests) above the OK/Cancel row, and returns the fields.
DeviceFields buildDeviceFields(QDialog* dialog, const char* title);

}  // namespace tovanix::devices
