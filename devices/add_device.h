// What the add-device dialog (CAddDevice) does on OK, without its window:
// the row, the station-table entry, the scan period and the first contact
// with the logger.
#pragma once

#include <string>

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

inline constexpr const char* kAddDeviceTitle = "添加设备";
inline constexpr const char* kDeviceNameLabel = "设备名称";
inline constexpr const char* kDeviceAddressLabel = "设备地址";
inline constexpr const char* kNameLengthWrong = "设备名长度不符合要求，必须在（1-50）字符之间";
inline constexpr const char* kNameCaption = "设备名称";
inline constexpr const char* kAddressWrong = "设备地址必须在，（1-999）之间！";
inline constexpr const char* kAddressCaption = "设备地址";
inline constexpr const char* kAddressTakenFormat = "%s 下地址为 %d 的设备已经存在";
inline constexpr const char* kDeviceAddFailed = "设备添加失败";
inline constexpr const char* kDevicesFull = "该线路的设备数量已达上限（999个），无法再添加设备";
inline constexpr const char* kDeviceLineMissing = "线路不存在";
inline constexpr int kDeviceNameMaxChars = 50;

// The address field: a whole number (blanks around it allowed), else -1.
int parseAddress(const std::string& text);

struct AddDeviceInput {
    std::string name;
    std::string addressText;
    unsigned nodeData = 0;     // the selected line or group node
    std::string nodeText;      // its text, for the "already exists" message
};

enum class AddDeviceField { None, Name, Address };

struct AddDeviceOutcome {
    bool close = false;
    AddDeviceField focus = AddDeviceField::None;
    int lineid = 0;
    int roomid = 0;   // 0: directly under the line
    int address = 0;
    int deviceid = 0;
};

// On success the device is in the database and the station table, the scan
// timer runs with the new period and the probe (0x49C) is posted.
AddDeviceOutcome submitAddDevice(Prompter& prompter, Engine& engine, const AddDeviceInput& in);

}  // namespace tovanix::devices
