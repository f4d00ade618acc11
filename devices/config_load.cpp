#include "devices/config_load.h"

#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "platform/local_time.h"

namespace tovanix::devices {

using db::sqlf;

namespace {

namespace col = db::schema;

}  // namespace

std::time_t parseDbTime(const std::string& text, std::time_t fallback) {
    return platform::parseLocalDateTime(text).value_or(fallback);
}

ConfigLoadResult loadConfiguration(StationTable& table, alarms::AlarmConfig& alarm, std::time_t now) {
    ConfigLoadResult r;
    table.clear();
    {
        db::Connection c;
        if (!c.open()) return r;
        r.connected = true;
        db::schema::createConfigurationTables(c);

        auto lines = c.query("select * from TovanLineTable where EraseSign=0;");
        if (lines) {
            for (const db::Row& row : *lines) {
                LineEntry line;
                line.name = row.text(col::line::lineName);
                line.lineid = row.integer(col::line::lineid);
                line.port = row.integer(col::line::SerialPortNum);
                line.wired = row.integer(col::line::wired);
                r.scanInterval = row.integer(col::line::scantimerInter);
                if (!table.addLine(std::move(line))) ++r.skippedLines;
            }
        }
        r.storedScanInterval = r.scanInterval;
        if (r.scanInterval == 0) r.scanInterval = kDefaultScanInterval;
        for (const LineEntry& line : table.snapshot()) {
            auto groups = c.query(sqlf("select * from tovanroomtable WHERE LineID=%d and EraseSign=0;", line.lineid));
            if (groups) {
                for (const db::Row& row : *groups) {
                    GroupEntry g{row.text(col::room::RoomName), row.integer(col::room::LineID), row.integer(col::room::roomid)};
                    if (!table.addGroup(line.lineid, std::move(g))) ++r.skippedGroups;
                }
            }
            auto devices =
                c.query(sqlf("select * from tovandevicetable WHERE LineID=%d and DeviceEraseSign=0;", line.lineid));
            if (!devices) continue;
            for (const db::Row& row : *devices) {
                DeviceEntry d;
                d.name = row.text(col::device::DeviceName);
                d.address = static_cast<std::uint16_t>(row.integer(col::device::DeviceNumber));
                d.lineid = line.lineid;
                d.deviceid = row.integer(col::device::deviceid);
                d.groupId = row.integer(col::device::RoomID);
                d.sqlRecord = row.integer(col::device::SqlRecord);
                d.alarmGetSign = row.integer(col::device::AlarmGetSign);
                d.probeType = row.integer(col::device::DeviceProbeType);
                d.ch1Enable = row.integer(col::device::CHL1Enable);
                d.ch2Enable = row.integer(col::device::CHL2Enable);
                d.recordInterval = row.integer(col::device::RecordInter);
                d.ch1Lower = static_cast<float>(row.real(col::device::CHL1Lower));
                d.ch1Upper = static_cast<float>(row.real(col::device::CHL1Upper));
                d.ch2Lower = static_cast<float>(row.real(col::device::CHL2Lower));
                d.ch2Upper = static_cast<float>(row.real(col::device::CHL2Upper));
                d.downLastTime = parseDbTime(row.text(col::device::DownLastTime), now);
                d.downTime3Hour = parseDbTime(row.text(col::device::DownTime3Hour), now);
                d.status = kStatusNotAnswering;
                d.powerKind = kPowerUnknown;
                // Oldest data over all lines, so that no line's gap is forgotten.
                long ageMinutes = static_cast<long>((now - d.downLastTime) / 60);
                if (ageMinutes >= d.recordInterval) {
                    if (!r.lostRecords || d.downLastTime < r.oldestLost) r.oldestLost = d.downLastTime;
                    r.lostRecords = true;
                }
                if (table.addDevice(line.lineid, std::move(d)) < 0) ++r.skippedDevices;
            }
        }
    }
    {
        db::Connection c;
        if (!c.open()) return r;
        c.exec("use tovanDatabase");
        db::ensureSystemRow(c);
        auto sys = c.query("select * from tovansystrmtable;");
        if (sys && !sys->empty()) {
            r.system.systemName = sys->front().text(col::system::SystemName);
            r.system.companyName = sys->front().text(col::system::CompanyName);
            r.system.url = sys->front().text(col::system::URL);
        }
        alarms::AlarmDeviceSettings s;
        auto ad = c.query("select * from tovanalarmdevicetable;");
        if (ad && !ad->empty()) {
            s.com = ad->front().integer(col::alarm_device::COM);
            s.sound = ad->front().integer(col::alarm_device::Sound);
            s.gms = ad->front().integer(col::alarm_device::GMS);
            s.gmsTime = ad->front().integer(col::alarm_device::GMSTime);
        } else if (ad) {
            db::ensureAlarmDeviceRow(c);
        }
        alarm.setSettings(s);  // raises GMSTime below 1 to 1
        auto phones = c.query("select * from tovanphonenumtable;");
        std::vector<std::string> list;
        if (phones) {
            for (const db::Row& row : *phones) list.push_back(row.text(col::phone::PhoneNum));
        }
        if (list.size() > static_cast<std::size_t>(alarms::kMaxPhoneNumbers)) {
            r.skippedPhones = static_cast<int>(list.size()) - alarms::kMaxPhoneNumbers;
        }
        alarm.setPhones(std::move(list));
    }
    return r;
}

}  // namespace tovanix::devices
