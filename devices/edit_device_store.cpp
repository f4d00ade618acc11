#include "devices/edit_device_store.h"

#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"

namespace tovanix::devices {

namespace {

// Whether the table exists; nullopt when the question failed.
std::optional<bool> tableExists(db::Connection& c, const std::string& table) {
    std::string pattern;
    for (char ch : table) {
        if (ch == '_' || ch == '%') pattern += '\\';  // literal in a LIKE pattern
        pattern += ch;
    }
    auto rows = c.query(db::sqlf("show tables like '%s';", c.escape(pattern).c_str()));
    if (!rows) return std::nullopt;
    return !rows->empty();
}

}  // namespace

StoredDevice loadDeviceRow(int lineid, int address) {
    StoredDevice s;
    s.result = db::onOwnConnection([&](db::Connection& c) {
        auto rows = c.query(db::sqlf(
            "select * from tovandevicetable WHERE LineID=%d and DeviceNumber=%d and DeviceEraseSign=0;", lineid, address));
        if (!rows) return false;
        if (rows->empty()) return true;
        using namespace db::schema::device;
        const db::Row& r = rows->front();
        s.found = true;
        s.rowId = r.integer(id);
        s.name = r.text(DeviceName);
        s.address = r.integer(DeviceNumber);
        return true;
    });
    return s;
}

NameCheck deviceNameTaken(int lineid, const std::string& name, int exceptRowId) {
    NameCheck check;
    check.result = db::onOwnConnection([&](db::Connection& c) {
        auto rows = c.query(db::sqlf(
            "select * from tovandevicetable WHERE DeviceName = '%s' and LineID=%d and DeviceEraseSign=0 and id<>%d;",
            c.escape(name).c_str(), lineid, exceptRowId));
        if (!rows) return false;
        check.taken = !rows->empty();
        return true;
    });
    return check;
}

ReAddressResult updateDeviceRow(db::Connection& c, int rowId, int lineid, int oldAddress, int newAddress,
                                const std::string& name) {
    const std::string from = db::dataTableName(db::dataTableNumber(lineid, oldAddress));
    const std::string to = db::dataTableName(db::dataTableNumber(lineid, newAddress));
    bool moved = false;
    if (newAddress != oldAddress) {
        auto live = c.query(db::sqlf(
            "select * from tovandevicetable WHERE LineID=%d and DeviceNumber=%d and DeviceEraseSign=0 and id<>%d;",
            lineid, newAddress, rowId));
        if (!live) return ReAddressResult::Failed;
        if (!live->empty()) return ReAddressResult::AddressTaken;
        auto target = tableExists(c, to);
        auto source = tableExists(c, from);
        if (!target || !source) return ReAddressResult::Failed;
        // Another device's history (a deleted one's, or one kept by hand) is never overwritten.
        if (*target) return ReAddressResult::TableTaken;
        if (*source) {
            if (!c.exec("RENAME TABLE " + from + " TO " + to)) return ReAddressResult::Failed;
            moved = true;
        }
    }
    const bool updated = c.exec(db::sqlf("Update  tovandevicetable set DeviceName='%s',DeviceNumber=%d WHERE id=%d;",
                                         c.escape(name).c_str(), newAddress, rowId)) &&
                         c.affectedRows() <= 1;
    if (!updated) {
        if (moved) c.exec("RENAME TABLE " + to + " TO " + from);
        return ReAddressResult::Failed;
    }
    return ReAddressResult::Done;
}

}  // namespace tovanix::devices
