#include "alarms/alarm_output_store.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::alarms {

namespace col = db::schema;

namespace {

const char* columnName(AlarmColumn column) {
    switch (column) {
    case AlarmColumn::Com: return "COM";
    case AlarmColumn::Sound: return "Sound";
    case AlarmColumn::Gms: return "GMS";
    case AlarmColumn::GmsTime: return "GMSTime";
    }
    return "COM";
}

bool readPhones(db::Connection& c, std::vector<std::string>& out) {
    auto rows = c.query("select * from tovanphonenumtable;");
    if (!rows) return false;
    out.clear();
    for (const db::Row& row : *rows) out.push_back(row.text(col::phone::PhoneNum));
    return true;
}

}  // namespace

PhoneRows readPhoneRows() {
    PhoneRows r;
    r.result = db::onOwnConnection([&](db::Connection& c) { return readPhones(c, r.numbers); });
    return r;
}

db::StoreResult saveAlarmColumn(AlarmColumn column, int value) {
    return db::onOwnConnection([&](db::Connection& c) {
        return c.exec(db::sqlf("update tovanalarmdevicetable set %s='%d'", columnName(column), value));
    });
}

PhoneAdd addPhoneRow(const std::string& number) {
    PhoneAdd add;
    add.result = db::onOwnConnection([&](db::Connection& c) {
        const std::string n = c.escape(number);
        auto rows = c.query(db::sqlf("select * from tovanphonenumtable WHERE PhoneNum='%s' ", n.c_str()));
        if (!rows) return false;
        if (!rows->empty()) {
            add.exists = true;
            return true;
        }
        return c.exec(db::sqlf("insert into tovanphonenumtable (PhoneNum) values('%s');", n.c_str()));
    });
    return add;
}

PhoneRows deletePhoneRow(const std::string& number) {
    PhoneRows r;
    r.result = db::onOwnConnection([&](db::Connection& c) {
        if (!c.exec(db::sqlf("delete from tovanphonenumtable where PhoneNum='%s'", c.escape(number).c_str())))
            return false;
        return readPhones(c, r.numbers);
    });
    return r;
}

}  // namespace tovanix::alarms
