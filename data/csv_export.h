// The two CSV files of the data page: the curve view's readings with their
// statistics, and the alarm view's alarm rows. GBK without byte-order mark,
// lines ended by CR LF, as LibreOffice and Excel open them on a Chinese
// system. Functions of the device and the rows, so tests need no window.
#pragma once

#include <string>
#include <vector>

#include "data/export_store.h"

namespace tovanix::data {

inline constexpr const char* kCsvFilter = "表格(*.csv)";
inline constexpr const char* kBmpFilter = "图片(*.bmp)";
inline constexpr const char* kPdfFilter = "图表(*.pdf)";
inline constexpr const char* kOpenQuestion = "%s.%s创建成功，是否现在打开？";

// The curve-view file of the rows (newest first). Without the device row
// (`deviceFound` false) the file holds the header and the trailer only, and
// "Serial No." is info.deviceNumber (the address).
std::string curveCsv(const DeviceReportInfo& info, bool deviceFound, const std::vector<ExportRow>& rows);
// The alarm-view file: every row given is an alarm row (newest first).
std::string alarmCsv(const DeviceReportInfo& info, bool deviceFound, const std::vector<ExportRow>& rows);

// "%d day(s) %d hour(s) %d minute(s) %d second(s)" from the oldest to the
// newest time; empty for fewer than two rows.
std::string logDuration(const std::vector<ExportRow>& rows);

// The default file name without extension, from the device name and the
// start of the span: "名称_202401050805", "名称_Alarm_202401050805".
std::string defaultExportName(const std::string& deviceName, bool alarmView, int year, int month, int day, int hour,
                              int minute);

// "名称.csv创建成功，是否现在打开？" for the file's path.
std::string openQuestion(const std::string& path);

}  // namespace tovanix::data
