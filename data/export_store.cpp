#include "data/export_store.h"

#include <algorithm>
#include <cstring>

#include "db/connection.h"
#include "db/data_table.h"
#include "platform/local_time.h"

namespace tovanix::data {

namespace {

constexpr long long kProgressEvery = 1024;  // rows between two progress updates

}  // namespace

ExportSource readExportSource(int lineid, int address, const std::string& from, const std::string& to,
                              bool alarmsOnly, QueryControl& control, int progressShare) {
    ExportSource s;
    s.info.lineid = lineid;
    s.info.deviceAddress = address;
    s.info.deviceNumber = address;
    db::Connection c;
    if (!c.open()) return s;
    s.result = db::StoreResult::Failed;
    s.deviceRow = readDeviceInfo(c, lineid, address, s.info);
    if (s.deviceRow == DeviceRow::StatementFailed) return s;
    // Readings are written only for a device whose row is there.
    if (s.deviceRow == DeviceRow::Missing) {
        s.result = db::StoreResult::Done;
        return s;
    }
    // A device whose table was never made has no rows, which is no failure.
    const int n = db::dataTableNumber(lineid, address);
    if (!db::createDataTable(c, n)) return s;

    const std::time_t spanEnd = platform::parseLocalDateTime(to).value_or(0);
    const std::time_t spanStart = platform::parseLocalDateTime(from).value_or(spanEnd);
    const double spanLength = std::max<double>(1.0, static_cast<double>(spanEnd - spanStart));
    enum Column : std::size_t { kTime, kCh1, kCh2, kSign };
    long long count = 0;
    const std::string sql = db::sqlf(
        "Select RecordDataTime,CHL1,CHL2,AlarmSign from TovanDataTable_%d where RecordDataTime>='%s' and "
        "RecordDataTime<='%s'%s order by RecordDataTime DESC;",
        n, c.escape(from).c_str(), c.escape(to).c_str(),
        alarmsOnly ? " and AlarmSign!='0' and AlarmSign !='' and AlarmSign !='A'" : "");
    const bool read = c.forEachRow(sql, [&](const char* const* cols, const unsigned long* lengths, unsigned cn) {
        if (control.cancel.load(std::memory_order_relaxed)) return false;
        ExportRow row;
        if (cn > kTime && cols[kTime] != nullptr) {
            std::memcpy(row.time.data(), cols[kTime], std::min<std::size_t>(lengths[kTime], row.time.size() - 1));
        }
        if (cn > kCh1 && cols[kCh1] != nullptr) row.ch1 = scanFloat(cols[kCh1], lengths[kCh1]);
        if (cn > kCh2 && cols[kCh2] != nullptr) row.ch2 = scanFloat(cols[kCh2], lengths[kCh2]);
        if (cn > kSign && cols[kSign] != nullptr) row.sign.assign(cols[kSign], lengths[kSign]);
        s.rows.push_back(std::move(row));
        if (++count % kProgressEvery == 0) {
            if (auto t = platform::parseLocalDateTime(std::string(s.rows.back().timeText()))) {
                const double done = std::clamp(static_cast<double>(spanEnd - *t) / spanLength, 0.0, 1.0);
                control.permille.store(static_cast<int>(done * progressShare));
            }
        }
        return true;
    });
    if (control.cancel.load()) {
        s.cancelled = true;
        s.rows.clear();
        return s;
    }
    if (!read) {
        s.rows.clear();
        return s;
    }
    control.permille.store(progressShare);
    s.result = db::StoreResult::Done;
    return s;
}

}  // namespace tovanix::data
