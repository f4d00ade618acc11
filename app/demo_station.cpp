#include "app/demo_station.h"

#include "db/allocation.h"
#include "db/connection.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "platform/format.h"

namespace tovanix::app::demo {

namespace {

constexpr int kScanInterval = 3;
const char* const kGroupNames[] = {"一号冷库", "二号冷库"};
const char* const kAreaNames[] = {"A区", "B区", "装卸区"};

bool fail(std::string* error, const std::string& what, const db::Connection& c) {
    if (error != nullptr) *error = what + ": " + c.lastError();
    return false;
}

}  // namespace

bool seed(bool withLine, std::string* error) {
    db::Connection c;
    if (!c.open(db::account(), false)) return fail(error, "connect", c);
    if (!c.exec(db::schema::kCreateDatabase) || !c.exec(db::kUseDatabase)) return fail(error, "database", c);
    if (!db::schema::createConfigurationTables(c)) return fail(error, "tables", c);
    if (!db::ensureUserTable(c) || !db::ensureSystemRow(c) || !db::ensureAlarmDeviceRow(c)) {
        return fail(error, "default rows", c);
    }
    if (!withLine) return true;
    auto lines = c.query("select * from tovanlinetable where EraseSign=0;");
    if (!lines) return fail(error, "lines", c);
    if (!lines->empty()) return true;  // seeded before, or the operator's own lines

    db::LineSettings line;
    line.name = kLineName;
    line.serialPort = kLoggerPort;
    line.scanInterval = kScanInterval;
    line.wired = 1;
    db::Allocation l = db::allocateLine(c, line);
    if (!l.ok()) return fail(error, "line", c);
    int rooms[2] = {};
    for (int g = 0; g < 2; ++g) {
        db::Allocation r = db::allocateGroup(c, l.number, kGroupNames[g]);
        if (!r.ok()) return fail(error, "group", c);
        rooms[g] = r.number;
    }
    for (int address = 1; address <= kLoggers; ++address) {
        const int area = (address - 1) / kLoggersPerGroup;
        const int room = area < 2 ? rooms[area] : 0;
        const std::string name = platform::format("%s-%02d", kAreaNames[area], address);
        if (!db::allocateDevice(c, l.number, address, name, room).ok()) return fail(error, "device", c);
    }
    if (!c.exec(db::sqlf("update  tovansystrmtable set SystemName='%s';", c.escape(kSystemName).c_str())) ||
        !c.exec(db::sqlf("update tovanalarmdevicetable set COM='%d',Sound='1',GMS='1',GMSTime='1';", kAlarmPort)) ||
        !c.exec(db::sqlf("insert into tovanphonenumtable (PhoneNum) values('%s');", kPhone))) {
        return fail(error, "settings", c);
    }
    return true;
}

}  // namespace tovanix::app::demo
