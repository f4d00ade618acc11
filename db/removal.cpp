#include "db/removal.h"

#include "db/connection.h"
#include "db/schema.h"
#include "db/data_table.h"

namespace tovanix::db {

bool dropDataTable(Connection& c, int lineid, int address) {
    return c.exec(sqlf("drop table if exists tovandatatable_%d;", dataTableNumber(lineid, address)));
}

bool deleteDeviceAlarmRows(Connection& c, int deviceid, int lineid) {
    return c.exec(sqlf("delete from tovanalarmtable where deviceid=%d and LineID=%d;", deviceid, lineid));
}

bool markDeviceDeleted(Connection& c, int address, int lineid) {
    return c.exec(sqlf("update TovanDeviceTable set DeviceEraseSign=1,SqlRecord=0 where DeviceNumber=%d and LineID=%d;",
                       address, lineid));
}

LineRemoval removeLine(Connection& c, int lineid) {
    LineRemoval r;
    auto line = c.query(sqlf("select *  from tovanlinetable where lineid='%d' and EraseSign=0", lineid));
    if (!line || line->empty()) return r;
    r.found = true;
    r.serialPort = line->front().integer(schema::line::SerialPortNum);
    auto devices = c.query(sqlf("select *  from tovandevicetable where LineID='%d' and DeviceEraseSign=0", lineid));
    if (devices) {
        for (const Row& row : *devices) {
            int address = row.integer(schema::device::DeviceNumber);
            dropDataTable(c, lineid, address);
            c.exec(sqlf("update TovanDeviceTable set DeviceEraseSign=1 where DeviceNumber=%d and LineID=%d;", address,
                        lineid));
        }
        r.devicesRemoved = static_cast<int>(devices->size());
    }
    c.exec(sqlf("update tovanroomtable set EraseSign=1 where LineID=%d;", lineid));
    c.exec(sqlf("update tovanlinetable set EraseSign=1 where LineID=%d;", lineid));
    return r;
}

bool removeGroup(Connection& c, int roomid, int lineid) {
    bool ok = c.exec(sqlf("update tovanroomtable set EraseSign=1 where roomid=%d and LineID=%d;", roomid, lineid));
    ok = c.exec(sqlf("update tovandevicetable set RoomID=0 where RoomID=%d and LineID=%d;", roomid, lineid)) && ok;
    return ok;
}

}  // namespace tovanix::db
