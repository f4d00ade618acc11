#include "app/tree_store.h"

#include "db/store.h"

namespace tovanix::app {

namespace {

template <typename Build>
db::StoreResult run(Build build) {
    return db::onOwnConnection([&](db::Connection& c) { return c.exec(build(c)); });
}

}  // namespace

db::StoreResult renameSystem(const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update  tovansystrmtable set SystemName='%s';", c.escape(name).c_str());
    });
}

db::StoreResult renameLine(int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovanlinetable set lineName='%s' where LineID=%d;", c.escape(name).c_str(), lineid);
    });
}

db::StoreResult renameGroup(int roomid, int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovanroomtable set RoomName='%s' where roomid=%d and LineID=%d;",
                        c.escape(name).c_str(), roomid, lineid);
    });
}

db::StoreResult renameDevice(int deviceid, int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovandevicetable set DeviceName='%s' where deviceid=%d and LineID=%d;",
                        c.escape(name).c_str(), deviceid, lineid);
    });
}

}  // namespace tovanix::app
