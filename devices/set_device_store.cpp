#include "devices/set_device_store.h"

#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"

namespace tovanix::devices {

DeviceSettingsRow loadDeviceSettingsRow(int lineid, int address) {
    DeviceSettingsRow s;
    s.result = db::onOwnConnection([&](db::Connection& c) {
        auto rows = c.query(db::sqlf(
            "select * from tovandevicetable WHERE DeviceNumber =%d and LineID=%d and DeviceEraseSign=0;", address,
            lineid));
        if (!rows) return false;
        if (rows->empty()) return true;
        using namespace db::schema::device;
        const db::Row& r = rows->front();
        s.found = true;
        s.rowId = r.integer(id);
        s.ch1Type = r.text(CHL1Type);
        s.ch1Unit = r.text(CHL1Unit);
        s.ch2Type = r.text(CHL2Type);
        s.ch2Unit = r.text(CHL2Unit);
        s.soundEnable = r.integer(AlarmSoundEnable);
        s.monitorInter = r.integer(AlarmSoundMonitorInter);
        s.soundDuration = r.integer(AlarmSoundDuration);
        s.recordInter = r.integer(RecordInter);
        s.recordInterUnit = r.integer(RecordInterUnit);
        return true;
    });
    return s;
}

AddressUse addressInUse(int lineid, int address) {
    AddressUse u;
    u.result = db::onOwnConnection([&](db::Connection& c) {
        auto live = c.query(db::sqlf(
            "select * from tovandevicetable WHERE DeviceNumber =%d and LineID=%d and DeviceEraseSign=0;", address,
            lineid));
        auto table = c.query(db::sqlf(
            "select * from information_schema.tables where table_schema=database() and table_name='%s';",
            db::dataTableName(db::dataTableNumber(lineid, address)).c_str()));
        if (!live || !table) return false;
        u.device = !live->empty();
        u.table = !table->empty();
        return true;
    });
    return u;
}

db::StoreResult storeProbeType(int probeType, int address, int lineid) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("Update  tovandevicetable set DeviceProbeType=%d WHERE DeviceNumber = %d and LineID=%d "
                               "and DeviceEraseSign=0;",
                               probeType, address, lineid));
    });
}

db::StoreResult storeUpdateInterval(int minutes, int storedMinutes) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("update tovanlinetable set scantimerInter=%d where scantimerInter=%d;", minutes,
                               storedMinutes));
    });
}

}  // namespace tovanix::devices
