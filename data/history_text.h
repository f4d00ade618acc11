// The texts of the data page, computed without a window: counts, the
// database start and end, the cells of the history and alarm lists, the
// chart's titles and its readout, by probe type.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/export_store.h"
#include "data/history_store.h"

namespace tovanix::data {

inline constexpr const char* kGroupRecords = "数据记录";
inline constexpr const char* kDeviceNameLabel = "设备名:";
inline constexpr const char* kSelectedDevice = "选择的设备";
inline constexpr const char* kCountFormat = "数据总数:%d条";
inline constexpr const char* kStartNone = "数据库开始时间：无";
inline constexpr const char* kEndNone = "数据库结束时间：无";
inline constexpr const char* kStartFormat = "数据库开始时间：%d-%02d-%02d %02d:%02d:%02d\n";
inline constexpr const char* kEndFormat = "数据库结束时间：%d-%02d-%02d %02d:%02d:%02d\n";
inline constexpr const char* kGroupQuery = "数据查询";
inline constexpr const char* kLastWeek = "最近一周";
inline constexpr const char* kLastMonth = "最近一月";
inline constexpr const char* kCustom = "自定义";
inline constexpr const char* kTo = "至";
inline constexpr const char* kGroupExport = "导出数据";
inline constexpr const char* kExportCsv = "表格(.csv)";
inline constexpr const char* kExportBmp = "图片(.bmp)";
inline constexpr const char* kExportPdf = "文档(.pdf)";
inline constexpr const char* kCurveView = "曲线";
inline constexpr const char* kAlarmView = "报警";
inline constexpr const char* kAcknowledge = "报警确认";
inline constexpr const char* kPickerFormat = "yyyy-MM-dd HH:mm:ss";
inline constexpr const char* kDeviceMissing = "设备不存在";
inline constexpr const char* kNoDeviceInfo = "无设备信息";
inline constexpr const char* kNoAlarmAckRight = "无报警确认权限";

// History list headers.
inline constexpr const char* kHeaderTime = "时间";
inline constexpr const char* kHeaderTemperature = "温度[℃]";
inline constexpr const char* kHeaderHumidity = "湿度[%]";
inline constexpr const char* kNoValueText = "N/A";
inline constexpr const char* kNoChannelText = "--";

// Alarm list.
inline constexpr const char* kAlarmHeaders[] = {"序号", "报警发生时间", "通道", "数值",
                                                "事件", "状态", "处理人", "解决方法"};
inline constexpr const char* kHandled = "已处理";
inline constexpr const char* kOpen = "待处理";

// Chart.
inline constexpr const char* kSeriesTemperature = "温度(℃)";
inline constexpr const char* kSeriesHumidity = "湿度(%)";
inline constexpr const char* kSeriesNone = "   ";
inline constexpr const char* kAxisBottom = "记录曲线-----时间";
inline constexpr const char* kAxisLeft = "温度[℃]----湿度[%]";
inline constexpr const char* kReadoutInitial = "时间: 2013-07-22  16:54:22    温度(℃):30.0  湿度(%):78.0";

inline constexpr int kProbeTemperatureOnly = 1;
inline constexpr int kProbeTwoTemperatures = 2;
inline constexpr std::time_t kWeekSeconds = 604800;
inline constexpr std::time_t kMonthSeconds = 2592000;

std::string countText(long long count);
// The database start / end statics for a RecordDataTime ("" = empty table).
std::string startText(const std::string& first);
std::string endText(const std::string& last);

// "%0.1f", or "N/A" for 1000.
std::string valueText(float v);
// The history list's third column: "--" for probe type 1.
std::string secondChannelText(int probeType, float ch2);
const char* secondHeader(int probeType);
const char* secondSeriesTitle(int probeType);
// Whether the second channel is drawn at all.
bool drawsSecondChannel(int probeType);

// The readout over the chart, for the reading under the mouse.
std::string readoutText(int probeType, const std::string& label, float y1, float y2);

// Cells of an alarm-list row; column 0 is the running number from 1.
std::string alarmCell(const AlarmRow& row, int index, int column);
inline constexpr int kAlarmColumns = 8;

// The numbers of a RecordDataTime, "%d-%d-%d %d:%d:%d"; fields the text
// lacks stay 0.
struct TimeFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
TimeFields scanTime(std::string_view text);

// The time from the oldest row (the last) to the newest (the first);
// nothing without rows or when a time cannot be read.
struct SpanFields {
    long days = 0, hours = 0, minutes = 0, seconds = 0;
};
std::optional<SpanFields> rowsSpan(const std::vector<ExportRow>& rows);

}  // namespace tovanix::data
