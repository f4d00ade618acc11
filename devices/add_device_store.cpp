#include "devices/add_device_store.h"

#include "db/connection.h"

namespace tovanix::devices {

DeviceAdd addDeviceRow(int lineid, int address, const std::string& name, int roomid) {
    DeviceAdd add;
    add.result = db::onOwnConnection([&](db::Connection& c) {
        add.allocation = db::allocateDevice(c, lineid, address, name, roomid);
        return add.allocation.result != db::AllocationResult::Failed;
    });
    return add;
}

}  // namespace tovanix::devices
