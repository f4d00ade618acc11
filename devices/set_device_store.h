// The statements of the logger settings window, each on a connection of its
// own.
#pragma once

#include <string>

#include "db/store.h"

namespace tovanix::devices {

// What the settings window shows of a device's row beyond its station-table
// entry.
struct DeviceSettingsRow {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool found = false;
    int rowId = 0;
    std::string ch1Type, ch1Unit, ch2Type, ch2Unit;
    int soundEnable = 0;
    int monitorInter = 0;
    int soundDuration = 0;
    int recordInter = 0;
    int recordInterUnit = 0;
};
DeviceSettingsRow loadDeviceSettingsRow(int lineid, int address);

// Whether a live device of the line, or a data table, has this address.
struct AddressUse {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool device = false;
    bool table = false;
};
AddressUse addressInUse(int lineid, int address);

db::StoreResult storeProbeType(int probeType, int address, int lineid);

// The station's database update interval, in the line rows that hold the
// old value.
db::StoreResult storeUpdateInterval(int minutes, int storedMinutes);

}  // namespace tovanix::devices
