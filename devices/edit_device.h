// What the edit-device dialog (CEditDevice) does on opening and on OK,
// without its window: a logger's name and bus address.
#pragma once

#include <string>

#include "devices/edit_device_store.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

inline constexpr const char* kEditDeviceTitle = "编辑设备";
inline constexpr const char* kDeviceExists = "设备已经存在！";
inline constexpr const char* kDeviceChanged = "设备信息修改成功！";
inline constexpr const char* kDeviceChangeFailed = "设备信息修改失败！";
inline constexpr const char* kDeviceMissing = "设备不存在";
inline constexpr const char* kDataTableExistsFormat = "地址为 %d 的数据表已经存在，设备地址未修改";

struct EditDeviceState {
    bool found = false;
    int lineid = 0;
    int rowId = 0;
    std::string name;
    int address = 0;
    std::string lineName;  // for the "already exists" message
};

// Opening: the device of the selected node (line and address from its data)
// and its own live row.
EditDeviceState openEditDevice(Prompter& prompter, Engine& engine, unsigned deviceNodeData);

struct EditDeviceOutcome {
    bool close = false;
    bool focusName = false;
    bool focusAddress = false;
};

// The row (with its data table) and the station entry of one device, named
// and addressed anew together under the store lock. The connection is opened
// first, so a slow server keeps neither the scan nor the caller waiting on
// the lock.
ReAddressResult storeDeviceIdentity(Engine& engine, int rowId, int lineid, int oldAddress, int newAddress,
                                    const std::string& name);

// OK: checks, then the row, the data table and the device entry together.
EditDeviceOutcome submitEditDevice(Prompter& prompter, Engine& engine, const EditDeviceState& opened,
                                   const std::string& name, const std::string& addressText);

}  // namespace tovanix::devices
