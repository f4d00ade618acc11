#include "users/user_store.h"

#include <algorithm>
#include <cctype>

#include "db/connection.h"
#include "db/schema.h"
#include "db/defaults.h"
#include "db/store.h"

namespace tovanix::users {

namespace {

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

template <typename Build>
db::StoreResult run(Build build) {
    return db::onOwnConnection([&](db::Connection& c) {
        // A statement that matched no row changed nothing: that is no success.
        return c.exec(build(c)) && c.affectedRows() != 0;
    });
}

}  // namespace

void sortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string fa = folded(a), fb = folded(b);
        return fa != fb ? fa < fb : a < b;
    });
}

LoginNames loadLoginNames() {
    LoginNames r;
    db::Connection c;
    if (!c.open()) return r;
    r.connected = true;
    db::ensureUserTable(c);
    auto rows = c.query("select * from tovanusertable;");
    if (rows) {
        for (const db::Row& row : *rows) r.names.push_back(row.text(db::schema::user::User_Name));
    }
    sortNames(r.names);
    return r;
}

Lookup lookUpUser(const std::string& name) {
    Lookup r;
    db::Connection c;
    if (!c.open()) return r;
    auto rows = c.query(db::sqlf("select * from tovanusertable WHERE User_Name='%s'", c.escape(name).c_str()));
    if (!rows || rows->empty()) {
        r.result = LookupResult::NoSuchUser;
        return r;
    }
    const db::Row& row = rows->front();
    r.result = LookupResult::Found;
    r.user.name = row.text(db::schema::user::User_Name);
    r.user.password = row.text(db::schema::user::PassWord);
    r.user.level = row.integer(db::schema::user::User_Right);
    if (name == db::kRootUser) {
        r.rights.grantAll();
        return r;
    }
    // A level without a rights row grants nothing.
    auto rights = c.query(db::sqlf("select * from tovanuserrighttable WHERE User_Right=%d", r.user.level));
    if (rights && !rights->empty()) {
        const db::Row& rr = rights->front();
        r.rights.deviceManagement = rr.integer(db::schema::user_right::DeviceManagement);
        r.rights.alarmSetting = rr.integer(db::schema::user_right::AlarmSetting);
        r.rights.alarmAck = rr.integer(db::schema::user_right::AlarmAck);
        r.rights.dataView = rr.integer(db::schema::user_right::DataView);
        r.rights.userManage = rr.integer(db::schema::user_right::UserManage);
        r.rights.databaseManage = rr.integer(db::schema::user_right::DatabaseManage);
    }
    return r;
}

std::optional<bool> userExists(const std::string& name) {
    db::Connection c;
    if (!c.open()) return std::nullopt;
    auto rows = c.query(db::sqlf("select * from tovanusertable where User_Name='%s'", c.escape(name).c_str()));
    if (!rows) return std::nullopt;
    return !rows->empty();
}

db::StoreResult updateNameAndPassword(const std::string& newName, const std::string& newPassword,
                                   const std::string& currentName, const std::string& currentPassword) {
    return run([&](db::Connection& c) {
        return db::sqlf(
            "Update tovanusertable set User_Name='%s',PassWord ='%s' where User_Name='%s'and PassWord ='%s';",
            c.escape(newName).c_str(), c.escape(newPassword).c_str(), c.escape(currentName).c_str(),
            c.escape(currentPassword).c_str());
    });
}

db::StoreResult updateName(const std::string& newName, const std::string& currentName,
                        const std::string& currentPassword) {
    return run([&](db::Connection& c) {
        return db::sqlf("Update tovanusertable set User_Name='%s' where User_Name='%s'and PassWord ='%s';",
                        c.escape(newName).c_str(), c.escape(currentName).c_str(), c.escape(currentPassword).c_str());
    });
}

db::StoreResult updatePassword(const std::string& newPassword, const std::string& currentName,
                            const std::string& currentPassword) {
    return run([&](db::Connection& c) {
        return db::sqlf("Update tovanusertable set PassWord='%s' where User_Name='%s'and PassWord ='%s';",
                        c.escape(newPassword).c_str(), c.escape(currentName).c_str(),
                        c.escape(currentPassword).c_str());
    });
}

}  // namespace tovanix::users
