// What an export reads: the device row and the rows of a span, with their
// AlarmSign (the notes of the CSV, the "A" marks of the report). One
// connection for both; no window needed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/history_store.h"

namespace tovanix::data {

struct ExportRow {
    std::array<char, kTimeTextSize> time{};  // RecordDataTime as returned
    float ch1 = 0;
    float ch2 = 0;
    std::string sign;  // AlarmSign as stored
    std::string_view timeText() const { return std::string_view(time.data()); }
};

struct ExportSource {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool cancelled = false;
    DeviceRow deviceRow = DeviceRow::Missing;
    DeviceReportInfo info;  // the device row when found; lineid and address always
    std::vector<ExportRow> rows;  // newest first
};

// The device of (lineid, address) and its rows from `from` to `to`, both
// included; with alarmsOnly only the alarm rows. Progress goes to
// control.permille up to `progressShare` of kPermille; control.cancel stops.
ExportSource readExportSource(int lineid, int address, const std::string& from, const std::string& to,
                              bool alarmsOnly, QueryControl& control, int progressShare = kPermille);

}  // namespace tovanix::data
