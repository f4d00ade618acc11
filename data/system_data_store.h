// The device list of the data-centre page, read from the database.
#pragma once

#include <string>
#include <vector>

#include "db/store.h"

namespace tovanix::data {

inline constexpr const char* kUnknownLine = "未知";

struct BackfillDeviceRow {
    std::string name;      // DeviceName
    int address = 0;       // DeviceNumber, the bus address
    std::string lineName;  // of its line, "未知" when none is found
    int deviceid = 0;
    int lineid = 0;
};

struct BackfillDeviceList {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    std::vector<BackfillDeviceRow> rows;
};

// Every device not deleted, in server order.
BackfillDeviceList loadBackfillDevices();

}  // namespace tovanix::data
