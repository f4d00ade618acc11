// The statements of the alarm-output page, each on a connection of its own.
#pragma once

#include <string>
#include <vector>

#include "db/store.h"

namespace tovanix::alarms {

enum class AlarmColumn { Com, Sound, Gms, GmsTime };

struct PhoneRows {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    std::vector<std::string> numbers;  // in the order the table returns them
};
PhoneRows readPhoneRows();

// "update tovanalarmdevicetable set <column>='%d'".
db::StoreResult saveAlarmColumn(AlarmColumn column, int value);

struct PhoneAdd {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool exists = false;  // the number was there already; nothing inserted
};
PhoneAdd addPhoneRow(const std::string& number);

// Deletes the number and reads the list anew on the same connection.
PhoneRows deletePhoneRow(const std::string& number);

}  // namespace tovanix::alarms
