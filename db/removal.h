// Removing lines, groups and devices: rows are marked deleted (and revived by
// the next allocation), data tables are dropped, alarm-log rows deleted.
#pragma once

namespace tovanix::db {

class Connection;

bool dropDataTable(Connection& c, int lineid, int address);
// Alarm-log rows carry the device's deviceid (as the scan writes them), so
// that is the key their removal uses.
bool deleteDeviceAlarmRows(Connection& c, int deviceid, int lineid);
bool markDeviceDeleted(Connection& c, int address, int lineid);

struct LineRemoval {
    bool found = false;       // a live line row existed
    int serialPort = 0;       // its SerialPortNum
    int devicesRemoved = 0;   // live devices that were marked deleted
};
// Drops every live device's data table, marks the devices, the groups and
// the line deleted.
LineRemoval removeLine(Connection& c, int lineid);

// Marks the group deleted; its devices move to the line, keeping their data.
bool removeGroup(Connection& c, int roomid, int lineid);

}  // namespace tovanix::db
