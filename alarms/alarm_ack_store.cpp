#include "alarms/alarm_ack_store.h"

#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"

namespace tovanix::alarms {

namespace col = db::schema::data;

std::string cutUtf8(const std::string& text, std::size_t chars) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Continuation bytes (10xxxxxx) belong to the character before.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (count == chars) return text.substr(0, i);
        ++count;
    }
    return text;
}

OpenAlarms loadOpenAlarms(int n) {
    OpenAlarms r;
    db::Connection c;
    if (!c.open()) return r;
    c.exec(db::schema::kCreateAlarmTable);
    auto rows = c.query(db::sqlf("Select * from tovandatatable_%d where  %s and checksign='0' order by RecordDataTime "
                                 "DESC;",
                                 n, db::kAlarmRowPredicate));
    if (!rows) {
        r.result = db::StoreResult::Failed;
        return r;
    }
    r.result = db::StoreResult::Done;
    for (const db::Row& row : *rows) {
        r.rows.push_back({row.text(col::RecordDataTime), static_cast<float>(row.real(col::CHL1)),
                          static_cast<float>(row.real(col::CHL2)), row.text(col::AlarmSign)});
    }
    return r;
}

db::StoreResult acknowledgeAll(int lineid, int address, const std::string& user, const std::string& note) {
    return db::onOwnConnection([&](db::Connection& c) {
        c.exec(db::sqlf("update tovandevicetable set AlarmGetSign=0  where DeviceNumber = %d and LineID=%d and "
                        "DeviceEraseSign=0;",
                        address, lineid));
        return c.exec(db::sqlf("update tovandatatable_%d set checksign ='1',user_name='%s', checkevent='%s' where  %s "
                               "and checksign='0';",
                               db::dataTableNumber(lineid, address), c.escape(cutUtf8(user, kUserNameChars)).c_str(),
                               c.escape(cutUtf8(note, kNoteChars)).c_str(), db::kAlarmRowPredicate));
    });
}

}  // namespace tovanix::alarms
