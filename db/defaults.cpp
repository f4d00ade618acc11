#include "db/defaults.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::db {

bool ensureUserTable(Connection& c, bool* inserted) {
    if (inserted != nullptr) *inserted = false;
    c.exec(schema::kCreateDatabase);
    c.exec(kUseDatabase);
    if (!c.exec(schema::kCreateUserTable)) return false;
    auto rows = c.query("select * from tovanusertable;");
    if (!rows) return false;
    if (!rows->empty()) return true;
    if (!c.exec("insert into tovanusertable (User_Name,PassWord,User_Right) values('root','582046','2');")) return false;
    if (inserted != nullptr) *inserted = true;
    return true;
}

bool ensureRightsRow(Connection& c, int level) {
    if (!c.exec(schema::kCreateUserRightTable)) return false;
    auto rows = c.query(sqlf("select * from tovanuserrighttable WHERE User_Right=%d", level));
    if (!rows) return false;
    if (!rows->empty()) return true;
    if (level == kLevelAdministrator) {
        return c.exec("insert into TovanUserRightTable (User_Right,DeviceManagement,AlarmSetting,AlarmAck,DataView,"
                      "UserManage,DatabaseManage,Setting,CompanyInfo) values('1','0','0','0','1','0','0','0','0');");
    }
    if (level == kLevelGuest) {
        return c.exec("insert into TovanUserRightTable (User_Right,DeviceManagement,AlarmSetting,AlarmAck,DataView,"
                      "UserManage,DatabaseManage,Setting,CompanyInfo) values('0','0','0','0','0','0','0','0','0');");
    }
    return true;  // the system administrator level has no row
}

bool ensureSystemRow(Connection& c) {
    auto rows = c.query("select * from tovansystrmtable;");
    if (!rows) return false;
    if (!rows->empty()) return true;
    return c.exec(sqlf("insert into TovanSystrmTable (SystemName,ServerOpen,ServerIP,ServerPort,CompanyName,URL,ModelID) "
                       "values('%s','0','%s','%d','%s','%s','%s');",
                       c.escape(kDefaultSystemName).c_str(), kDefaultServerIp, kDefaultServerPort,
                       c.escape(kDefaultCompanyName).c_str(), c.escape(kDefaultCompanyUrl).c_str(), kDefaultModelId));
}

bool ensureAlarmDeviceRow(Connection& c, bool* inserted) {
    if (inserted != nullptr) *inserted = false;
    auto rows = c.query("select * from tovanalarmdevicetable;");
    if (!rows) return false;
    if (!rows->empty()) return true;
    if (!c.exec("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('0','0','0','0');")) return false;
    if (inserted != nullptr) *inserted = true;
    return true;
}

}  // namespace tovanix::db
