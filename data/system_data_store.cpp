#include "data/system_data_store.h"

#include <map>

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::data {

BackfillDeviceList loadBackfillDevices() {
    BackfillDeviceList out;
    out.result = db::onOwnConnection([&](db::Connection& c) {
        auto devices = c.query("select *  from tovandevicetable where DeviceEraseSign=0;");
        if (!devices) return false;
        std::map<int, std::string> lineNames;  // each line asked once
        for (const db::Row& d : *devices) {
            namespace col = db::schema::device;
            BackfillDeviceRow row;
            row.name = d.text(col::DeviceName);
            row.address = d.integer(col::DeviceNumber);
            row.deviceid = d.integer(col::deviceid);
            row.lineid = d.integer(col::LineID);
            auto known = lineNames.find(row.lineid);
            if (known == lineNames.end()) {
                auto line = c.query(db::sqlf("select *  from tovanlinetable where EraseSign=0 and lineid=%d;", row.lineid));
                const bool found = line && !line->empty();
                known = lineNames.emplace(row.lineid, found ? line->front().text(db::schema::line::lineName) : kUnknownLine)
                            .first;
            }
            row.lineName = known->second;
            out.rows.push_back(std::move(row));
        }
        return true;
    });
    return out;
}

}  // namespace tovanix::data
