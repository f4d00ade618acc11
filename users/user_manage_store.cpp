#include "users/user_manage_store.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::users {

namespace col = db::schema;

namespace {
constexpr const char* kRootName = "root";

bool readUsers(db::Connection& c, std::vector<ListedUser>& out) {
    auto rows = c.query("select * from tovanusertable;");
    if (!rows) return false;
    out.clear();
    for (const db::Row& row : *rows) {
        const std::string name = row.text(col::user::User_Name);
        if (name == kRootName) continue;
        out.push_back({row.integer(col::user::id), name});
    }
    return true;
}
}  // namespace

UserList listUsers() {
    UserList l;
    l.result = db::onOwnConnection([&](db::Connection& c) { return readUsers(c, l.users); });
    return l;
}

RightsRead readRights(int level) {
    RightsRead r;
    r.result = db::onOwnConnection([&](db::Connection& c) {
        if (!c.exec(db::schema::kCreateUserRightTable)) return false;
        auto rows = c.query(db::sqlf("select * from tovanuserrighttable WHERE User_Right=%d", level));
        if (!rows) return false;
        if (rows->empty()) {
            r.flags = RightFlags{};
            if (level == 1) r.flags[kDataView] = 1;
            return c.exec(db::sqlf(
                "insert into TovanUserRightTable (User_Right,DeviceManagement,AlarmSetting,AlarmAck,DataView,"
                "UserManage,DatabaseManage,Setting,CompanyInfo) values('%d','%d','%d','%d','%d','%d','%d','%d','%d');",
                level, r.flags[0], r.flags[1], r.flags[2], r.flags[3], r.flags[4], r.flags[5], r.flags[6],
                r.flags[7]));
        }
        const db::Row& row = rows->front();
        for (std::size_t i = 0; i < r.flags.size(); ++i) r.flags[i] = row.integer(col::user_right::DeviceManagement + i);
        return true;
    });
    return r;
}

db::StoreResult saveRights(int level, const RightFlags& f) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("update tovanuserrighttable set DeviceManagement=%d,AlarmSetting=%d,AlarmAck=%d,"
                               "DataView=%d,UserManage=%d,DatabaseManage=%d,Setting=%d,CompanyInfo=%d where "
                               "User_Right=%d;",
                               f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], level));
    });
}

UserLevel readUserLevel(int id) {
    UserLevel u;
    u.result = db::onOwnConnection([&](db::Connection& c) {
        auto rows = c.query(db::sqlf("select * from tovanusertable where id=%d", id));
        if (!rows || rows->empty()) return false;
        u.level = rows->front().integer(col::user::User_Right);
        return true;
    });
    return u;
}

UserInsert insertUser(const std::string& name, const std::string& password, int level) {
    UserInsert in;
    in.result = db::onOwnConnection([&](db::Connection& c) {
        const std::string n = c.escape(name);
        // The column's collation ignores case: "Root" finds "root".
        auto rows = c.query(db::sqlf("select * from tovanusertable where User_Name='%s'", n.c_str()));
        if (!rows) return false;
        if (!rows->empty()) {
            in.exists = true;
            return true;
        }
        return c.exec(db::sqlf("insert into tovanusertable (User_Name,PassWord,User_Right) values('%s','%s','%d');",
                               n.c_str(), c.escape(password).c_str(), level));
    });
    return in;
}

db::StoreResult deleteUser(int id) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("delete from tovanusertable where id=%d and binary User_Name<>'%s'", id, kRootName)) &&
               c.affectedRows() == 1;
    });
}

db::StoreResult setRootPassword(const std::string& password) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("update tovanusertable set password='%s' where binary User_Name='%s';",
                               c.escape(password).c_str(), kRootName));
    });
}

}  // namespace tovanix::users
