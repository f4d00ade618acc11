// The statements of the data page: what a device's table holds (its first
// and last reading, its size, its open alarms), the readings and alarm rows
// of a span, and the statistics of a span. Each function opens its own
// connection and closes it before it returns; none of them needs a window,
// so the page runs them on its worker thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/store.h"

namespace tovanix::data {

inline constexpr std::size_t kTimeTextSize = 20;  // "YYYY-MM-DD HH:MM:SS" and its end
inline constexpr float kNoReading = 1000.0f;
inline constexpr int kChannels = 4;
inline constexpr int kPermille = 1000;

struct ChannelInfo {
    int getSign = 0;
    int enable = 0;
    std::string type;
    std::string unit;
    float lower = 0;
    float upper = 0;
};

// The opened device's settings, as the exports print them.
struct DeviceReportInfo {
    std::string lineName;
    int deviceAddress = 0;
    int deviceNumber = 0;
    std::string deviceName;
    int lineid = 0;
    std::array<ChannelInfo, kChannels> channels;
    int alarmSoundEnable = 0;
    int alarmSoundMonitorInter = 0;
    int alarmSoundDuration = 0;
    int recordInterUnit = 0;
    int recordInter = 0;
    int samplingInter = 0;
    int lcdOffDelay = 0;
    int lineIndex = 0;
    int deviceIndex = 0;
    int probeType = 0;
};

enum class DeviceRow { StatementFailed, Missing, Found };

// What opening a device finds in the database.
struct TableSummary {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    DeviceRow deviceRow = DeviceRow::Missing;
    DeviceReportInfo info;  // columns of the device row, when found
    long long total = 0;    // rows of the data table (-1 while not counted)
    std::string first;      // RecordDataTime of the oldest row ("" when empty)
    std::string last;       // and of the newest
    long long openAlarms = 0;  // alarm rows not acknowledged yet
};

// Reads the device row, creates the data table when it is missing, and asks
// for its oldest and newest rows by the primary key instead of reading the
// whole table. Counting a large table takes long: `endsKnown`, when given,
// gets the summary as soon as the oldest and newest rows are read (total
// still -1), before the counts.
TableSummary summarizeDevice(int lineid, int address,
                             const std::function<void(const TableSummary&)>& endsKnown = {});

// The live device row of (lineid, address) on an open connection, read into
// `info` when found.
DeviceRow readDeviceInfo(db::Connection& c, int lineid, int address, DeviceReportInfo& info);

// One reading of the history list, kept small: a year of minutes is half a
// million of them.
struct Reading {
    std::array<char, kTimeTextSize> time{};  // RecordDataTime as returned
    float ch1 = 0;
    float ch2 = 0;
    std::string_view timeText() const { return std::string_view(time.data()); }
};

struct AlarmRow {
    std::string time;
    float ch1 = 0;
    float ch2 = 0;
    std::string sign;
    bool handled = false;
    std::string user;  // when handled
    std::string note;  // when handled
};

// Progress and cancellation of a running query, shared with the page.
struct QueryControl {
    std::atomic<bool> cancel{false};
    std::atomic<int> permille{0};  // how much of the span has been read
};

struct SpanResult {
    db::StoreResult result = db::StoreResult::ConnectFailed;  // of the readings
    bool cancelled = false;
    std::vector<Reading> readings;  // newest first
    bool alarmsRead = false;        // the alarm rows were read with the readings
    std::vector<AlarmRow> alarms;   // newest first
};

// The readings of [start, end] and the alarm rows among them. Stops early,
// with `cancelled`, when control.cancel is set.
SpanResult querySpan(int tableNumber, const std::string& start, const std::string& end, QueryControl& control);

// A float as "%f" reads a column: 0 when empty or no number.
float scanFloat(const char* text, unsigned long length);

struct Statistics {
    float max1 = 0, min1 = 0, avg1 = 0;
    float max2 = 0, min2 = 0, avg2 = 0;
    unsigned count = 0;
};

// Adds the readings one at a time, in single precision, skipping 1000 per
// channel. A channel without any valid reading keeps 0 for all three.
class StatisticsAccumulator {
public:
    void add(float ch1, float ch2);
    Statistics result() const;

private:
    struct Channel {
        bool any = false;
        float max = 0, min = 0, sum = 0;
        unsigned missing = 0;
        void add(float v);
    };
    Channel ch1_, ch2_;
    unsigned count_ = 0;
};

// The statistics of the rows from `oldest` to `newest`; nullopt-like:
// `connected` false leaves every figure 0.
struct StatisticsResult {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    Statistics figures;
};
StatisticsResult computeStatistics(int tableNumber, const std::string& oldest, const std::string& newest);

}  // namespace tovanix::data
