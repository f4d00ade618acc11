#include "db/data_table.h"

#include "db/connection.h"

namespace tovanix::db {

std::string dataTableName(int n) { return "TovanDataTable_" + std::to_string(n); }

std::string createDataTableSql(int n) {
    return sqlf("Create Table if not exists TovanDataTable_%d(RecordDataTime datetime not null primary key,"
                "CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                "user_name char(16),checkevent char(120))",
                n);
}

bool createDataTable(Connection& c, int n) { return c.exec(createDataTableSql(n)); }

bool storeLiveReading(Connection& c, int n, const std::string& time, double ch1, double ch2,
                      const std::string& alarmSign) {
    return c.exec(sqlf("replace into TovanDataTable_%d values('%s','%0.1f','%0.1f',0,0,'%s',0,'','');", n,
                       c.escape(time).c_str(), ch1, ch2, c.escape(alarmSign).c_str()));
}

bool storeFetchedRecord(Connection& c, int n, const std::string& time, double ch1, double ch2) {
    return c.exec(sqlf(" insert ignore into TovanDataTable_%d (RecordDataTime,CHL1,CHL2,CHL3,CHL4,AlarmSign,checksign,"
                       "user_name,checkevent) values('%s','%0.1f','%0.1f',0,0,'0',0,'','');",
                       n, c.escape(time).c_str(), ch1, ch2));
}

bool updateDownLastTime(Connection& c, int address, int lineid, const std::string& time) {
    return c.exec(sqlf("update TovanDeviceTable set DownLastTime='%s'  where DeviceNumber = %d and LineID=%d and "
                       "DeviceEraseSign=0;",
                       c.escape(time).c_str(), address, lineid));
}

bool isAlarmSign(std::string_view sign) {
    // The server compares with trailing blanks ignored and letter case folded.
    while (!sign.empty() && sign.back() == ' ') sign.remove_suffix(1);
    return sign != "0" && !sign.empty() && sign != "A" && sign != "a";
}

}  // namespace tovanix::db
