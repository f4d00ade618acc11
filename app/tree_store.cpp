#include "app/tree_store.h"

#include "db/connection.h"

namespace tovanix::app {

namespace {

template <typename Build>
RenameResult run(Build build) {
    db::Connection c;
    if (!c.open()) return RenameResult::ConnectFailed;
    return c.exec(build(c)) ? RenameResult::Done : RenameResult::Failed;
}

}  // namespace

RenameResult renameSystem(const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update  tovansystrmtable set SystemName='%s';", c.escape(name).c_str());
    });
}

RenameResult renameLine(int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovanlinetable set lineName='%s' where LineID=%d;", c.escape(name).c_str(), lineid);
    });
}

RenameResult renameGroup(int roomid, int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovanroomtable set RoomName='%s' where roomid=%d and LineID=%d;",
                        c.escape(name).c_str(), roomid, lineid);
    });
}

RenameResult renameDevice(int deviceid, int lineid, const std::string& name) {
    return run([&](db::Connection& c) {
        return db::sqlf("update tovandevicetable set DeviceName='%s' where deviceid=%d and LineID=%d;",
                        c.escape(name).c_str(), deviceid, lineid);
    });
}

}  // namespace tovanix::app
