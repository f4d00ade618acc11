// The statements of the add-device dialog, on a connection of its own.
#pragma once

#include <string>

#include "db/allocation.h"
#include "db/store.h"

namespace tovanix::devices {

struct DeviceAdd {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    db::Allocation allocation;  // InUse when a live device of the line has the address
};
// Revives a deleted device row of the line with its deviceid, or inserts
// deviceid = live devices of the line + 1 with the defaults of a new logger.
DeviceAdd addDeviceRow(int lineid, int address, const std::string& name, int roomid);

}  // namespace tovanix::devices
