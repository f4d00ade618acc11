#include "devices/config_load.h"

#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "platform/local_time.h"

namespace tovanix::devices {

using db::sqlf;

namespace {

// Column positions of "select *" rows.
enum LineColumn { kLineName = 3, kLineId = 2, kLinePort = 7, kLineScanInter = 8, kLineWired = 10 };
enum RoomColumn { kRoomName = 1, kRoomLineId = 2, kRoomId = 4 };
enum DeviceColumn {
    kDevDeviceid = 2,
    kDevName = 4,
    kDevNumber = 5,
    kDevProbeType = 6,
    kDevAlarmGetSign = 7,
    kDevCh1Enable = 9,
    kDevCh1Lower = 12,
    kDevCh1Upper = 13,
    kDevCh2Enable = 15,
    kDevCh2Lower = 18,
    kDevCh2Upper = 19,
    kDevRecordInter = 34,
    kDevDownLastTime = 71,
    kDevDownTime3Hour = 74,
    kDevRoomId = 75,
    kDevSqlRecord = 76,
};
enum SystemColumn { kSysName = 1, kSysCompany = 5, kSysUrl = 6 };
enum AlarmDeviceColumn { kAdCom = 1, kAdSound = 2, kAdGms = 3, kAdGmsTime = 4 };
constexpr int kPhoneColumn = 1;

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
                line.name = row.text(kLineName);
                line.lineid = row.integer(kLineId);
                line.port = row.integer(kLinePort);
                line.wired = row.integer(kLineWired);
                r.scanInterval = row.integer(kLineScanInter);
                if (!table.addLine(std::move(line))) ++r.skippedLines;
            }
        }
        if (r.scanInterval == 0) r.scanInterval = kDefaultScanInterval;
        for (const LineEntry& line : table.snapshot()) {
            auto groups = c.query(sqlf("select * from tovanroomtable WHERE LineID=%d and EraseSign=0;", line.lineid));
            if (groups) {
                for (const db::Row& row : *groups) {
                    GroupEntry g{row.text(kRoomName), row.integer(kRoomLineId), row.integer(kRoomId)};
                    if (!table.addGroup(line.lineid, std::move(g))) ++r.skippedGroups;
                }
            }
            auto devices =
                c.query(sqlf("select * from tovandevicetable WHERE LineID=%d and DeviceEraseSign=0;", line.lineid));
            if (!devices) continue;
            for (const db::Row& row : *devices) {
                DeviceEntry d;
                d.name = row.text(kDevName);
                d.address = static_cast<std::uint16_t>(row.integer(kDevNumber));
                d.lineid = line.lineid;
                d.deviceid = row.integer(kDevDeviceid);
                d.groupId = row.integer(kDevRoomId);
                d.sqlRecord = row.integer(kDevSqlRecord);
                d.alarmGetSign = row.integer(kDevAlarmGetSign);
                d.probeType = row.integer(kDevProbeType);
                d.ch1Enable = row.integer(kDevCh1Enable);
                d.ch2Enable = row.integer(kDevCh2Enable);
                d.recordInterval = row.integer(kDevRecordInter);
                d.ch1Lower = static_cast<float>(row.real(kDevCh1Lower));
                d.ch1Upper = static_cast<float>(row.real(kDevCh1Upper));
                d.ch2Lower = static_cast<float>(row.real(kDevCh2Lower));
                d.ch2Upper = static_cast<float>(row.real(kDevCh2Upper));
                d.downLastTime = parseDbTime(row.text(kDevDownLastTime), now);
                d.downTime3Hour = parseDbTime(row.text(kDevDownTime3Hour), now);
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
            r.system.systemName = sys->front().text(kSysName);
            r.system.companyName = sys->front().text(kSysCompany);
            r.system.url = sys->front().text(kSysUrl);
        }
        alarms::AlarmDeviceSettings s;
        auto ad = c.query("select * from tovanalarmdevicetable;");
        if (ad && !ad->empty()) {
            s.com = ad->front().integer(kAdCom);
            s.sound = ad->front().integer(kAdSound);
            s.gms = ad->front().integer(kAdGms);
            s.gmsTime = ad->front().integer(kAdGmsTime);
        } else if (ad) {
            db::ensureAlarmDeviceRow(c);
        }
        alarm.setSettings(s);  // raises GMSTime below 1 to 1
        auto phones = c.query("select * from tovanphonenumtable;");
        std::vector<std::string> list;
        if (phones) {
            for (const db::Row& row : *phones) list.push_back(row.text(kPhoneColumn));
        }
        if (list.size() > static_cast<std::size_t>(alarms::kMaxPhoneNumbers)) {
            r.skippedPhones = static_cast<int>(list.size()) - alarms::kMaxPhoneNumbers;
        }
        alarm.setPhones(std::move(list));
    }
    return r;
}

}  // namespace tovanix::devices
