// The statements of the edit-device dialog, each on a connection of its own.
#pragma once

#include <string>

#include "db/store.h"

namespace tovanix::db {
class Connection;
}

namespace tovanix::devices {

struct StoredDevice {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool found = false;
    int rowId = 0;  // the row's own id
    std::string name;
    int address = 0;
};
// The live row of the device (line, address).
StoredDevice loadDeviceRow(int lineid, int address);

struct NameCheck {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool taken = false;  // another live device of the line has the name
};
NameCheck deviceNameTaken(int lineid, const std::string& name, int exceptRowId);

enum class ReAddressResult {
    ConnectFailed,
    AddressTaken,  // a live device of the line has the new address
    TableTaken,    // a data table of the new address exists already
    Failed,
    Done,
};
// Names the row `rowId` anew and moves it to `newAddress`; its data table
// moves with it (RENAME TABLE) when the address changes. The caller opens the
// connection before it takes the store lock (a slow connect must not hold it).
ReAddressResult updateDeviceRow(db::Connection& c, int rowId, int lineid, int oldAddress, int newAddress,
                                const std::string& name);

}  // namespace tovanix::devices
