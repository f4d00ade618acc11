#include "data/history_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"
#include "platform/local_time.h"

namespace tovanix::data {

namespace {

namespace dev = db::schema::device;
namespace col = db::schema::data;

constexpr std::size_t kChannelColumns = dev::CHL2GetSign - dev::CHL1GetSign;
constexpr std::size_t kFloatText = 64;  // longer than any float the server prints
constexpr long long kProgressEvery = 1024;  // rows between two progress updates

void readChannel(const db::Row& row, std::size_t first, ChannelInfo& ch) {
    ch.getSign = row.integer(first + (dev::CHL1GetSign - dev::CHL1GetSign));
    ch.enable = row.integer(first + (dev::CHL1Enable - dev::CHL1GetSign));
    ch.type = row.text(first + (dev::CHL1Type - dev::CHL1GetSign));
    ch.unit = row.text(first + (dev::CHL1Unit - dev::CHL1GetSign));
    ch.lower = static_cast<float>(row.real(first + (dev::CHL1Lower - dev::CHL1GetSign)));
    ch.upper = static_cast<float>(row.real(first + (dev::CHL1Upper - dev::CHL1GetSign)));
}

void readDeviceRow(const db::Row& row, DeviceReportInfo& info) {
    info.deviceNumber = row.integer(dev::DeviceNumber);
    info.deviceName = row.text(dev::DeviceName);
    for (int i = 0; i < kChannels; ++i) {
        readChannel(row, dev::CHL1GetSign + static_cast<std::size_t>(i) * kChannelColumns, info.channels[i]);
    }
    info.alarmSoundEnable = row.integer(dev::AlarmSoundEnable);
    info.alarmSoundMonitorInter = row.integer(dev::AlarmSoundMonitorInter);
    info.alarmSoundDuration = row.integer(dev::AlarmSoundDuration);
    info.recordInterUnit = row.integer(dev::RecordInterUnit);
    info.recordInter = row.integer(dev::RecordInter);
    info.samplingInter = row.integer(dev::SamplingInter);
    info.lcdOffDelay = row.integer(dev::LCDOFFDelay);
    info.probeType = row.integer(dev::DeviceProbeType);
}

// The first column of the first row of a one-row query.
std::optional<std::string> single(db::Connection& c, const std::string& sql) {
    auto rows = c.query(sql);
    if (!rows) return std::nullopt;
    if (rows->empty()) return std::string();
    return rows->front().text(0);
}

std::string text(const char* const* cols, const unsigned long* lengths, unsigned count, std::size_t i) {
    if (i >= count || cols[i] == nullptr) return {};
    return std::string(cols[i], lengths[i]);
}

float floatColumn(const char* const* cols, const unsigned long* lengths, unsigned count, std::size_t i) {
    if (i >= count || cols[i] == nullptr) return 0;
    return scanFloat(cols[i], lengths[i]);
}

}  // namespace

float scanFloat(const char* text, unsigned long length) {
    char buf[kFloatText];
    const std::size_t n = std::min<std::size_t>(length, sizeof buf - 1);
    std::memcpy(buf, text, n);
    buf[n] = '\0';
    return std::strtof(buf, nullptr);
}

DeviceRow readDeviceInfo(db::Connection& c, int lineid, int address, DeviceReportInfo& info) {
    auto device = c.query(db::sqlf(
        "select * from tovandevicetable WHERE lineid = %d and DeviceNumber=%d and DeviceEraseSign=0;", lineid, address));
    if (!device) return DeviceRow::StatementFailed;
    if (device->empty()) return DeviceRow::Missing;
    readDeviceRow(device->front(), info);
    return DeviceRow::Found;
}

TableSummary summarizeDevice(int lineid, int address, const std::function<void(const TableSummary&)>& endsKnown) {
    TableSummary s;
    db::Connection c;
    if (!c.open()) return s;
    s.deviceRow = readDeviceInfo(c, lineid, address, s.info);
    s.info.lineid = lineid;
    s.info.deviceAddress = address;

    const int n = db::dataTableNumber(lineid, address);
    s.result = db::StoreResult::Failed;
    if (!db::createDataTable(c, n)) return s;
    const std::string table = db::dataTableName(n);
    auto first = single(c, "select RecordDataTime from " + table + " order by RecordDataTime ASC limit 1");
    auto last = single(c, "select RecordDataTime from " + table + " order by RecordDataTime DESC limit 1");
    if (!first || !last) return s;
    s.first = *first;
    s.last = *last;
    if (endsKnown) {
        s.total = -1;
        endsKnown(s);
    }
    auto total = single(c, "select count(*) from " + table);
    auto open = single(c, db::sqlf("select count(*) from %s where %s and checksign = 0", table.c_str(),
                                   db::kAlarmRowPredicate));
    if (!total || !open) return s;
    s.total = std::atoll(total->c_str());
    s.openAlarms = std::atoll(open->c_str());
    s.result = db::StoreResult::Done;
    return s;
}

SpanResult querySpan(int n, const std::string& start, const std::string& end, QueryControl& control) {
    SpanResult r;
    db::Connection c;
    if (!c.open()) return r;
    const std::string from = c.escape(start), to = c.escape(end);
    // Readings come newest first: how far the last one is from `end` tells
    // the progress without counting the span beforehand.
    const std::time_t spanEnd = platform::parseLocalDateTime(end).value_or(0);
    const std::time_t spanStart = platform::parseLocalDateTime(start).value_or(spanEnd);
    const double spanLength = std::max<double>(1.0, static_cast<double>(spanEnd - spanStart));
    // One pass gives the readings and the alarm rows among them: the alarm
    // rows' own statement would read the whole span a second time.
    enum SpanColumn : std::size_t { kTime, kCh1, kCh2, kSign, kCheck, kUser, kNote };
    long long rows = 0;
    const bool read = c.forEachRow(
        db::sqlf("Select RecordDataTime,CHL1,CHL2,AlarmSign,checksign,user_name,checkevent from TovanDataTable_%d "
                 "where RecordDataTime>='%s' and RecordDataTime<='%s' order by RecordDataTime DESC;",
                 n, from.c_str(), to.c_str()),
        [&](const char* const* cols, const unsigned long* lengths, unsigned count) {
            if (control.cancel.load(std::memory_order_relaxed)) return false;
            Reading reading;
            if (count > kTime && cols[kTime] != nullptr) {
                const std::size_t len = std::min<std::size_t>(lengths[kTime], reading.time.size() - 1);
                std::memcpy(reading.time.data(), cols[kTime], len);
            }
            reading.ch1 = floatColumn(cols, lengths, count, kCh1);
            reading.ch2 = floatColumn(cols, lengths, count, kCh2);
            r.readings.push_back(reading);
            const std::string sign = text(cols, lengths, count, kSign);
            if (db::isAlarmSign(sign)) {
                AlarmRow a;
                a.time = std::string(reading.timeText());
                a.ch1 = reading.ch1;
                a.ch2 = reading.ch2;
                a.sign = sign;
                // A checksign that holds no number counts as handled, as does
                // NULL: only a stored 0 is an open alarm.
                const std::string check = text(cols, lengths, count, kCheck);
                a.handled = check.empty() || check.find_first_not_of('0') != std::string::npos;
                if (a.handled) {
                    a.user = text(cols, lengths, count, kUser);
                    a.note = text(cols, lengths, count, kNote);
                }
                r.alarms.push_back(std::move(a));
            }
            if (++rows % kProgressEvery == 0) {
                if (auto t = platform::parseLocalDateTime(std::string(reading.timeText()))) {
                    const double done = static_cast<double>(spanEnd - *t) / spanLength;
                    control.permille.store(static_cast<int>(std::clamp(done, 0.0, 1.0) * kPermille));
                }
            }
            return true;
        });
    if (control.cancel.load()) {
        r.cancelled = true;
        r.result = db::StoreResult::Failed;
        r.readings.clear();
        r.alarms.clear();
        return r;
    }
    if (!read) {
        r.readings.clear();
        r.alarms.clear();
        r.result = db::StoreResult::Failed;
        return r;
    }
    control.permille.store(kPermille);
    r.result = db::StoreResult::Done;
    r.alarmsRead = true;
    return r;
}

void StatisticsAccumulator::Channel::add(float v) {
    if (v == kNoReading) {
        ++missing;
        return;
    }
    if (!any) {
        any = true;
        max = min = v;
    } else if (v < min) {
        min = v;
    } else if (v > max) {
        max = v;
    }
    sum += v;
}

void StatisticsAccumulator::add(float ch1, float ch2) {
    ++count_;
    ch1_.add(ch1);
    ch2_.add(ch2);
}

Statistics StatisticsAccumulator::result() const {
    Statistics s;
    s.count = count_;
    if (ch1_.any) {
        s.max1 = ch1_.max;
        s.min1 = ch1_.min;
        s.avg1 = ch1_.sum / static_cast<float>(count_ - ch1_.missing);
    }
    if (ch2_.any) {
        s.max2 = ch2_.max;
        s.min2 = ch2_.min;
        s.avg2 = ch2_.sum / static_cast<float>(count_ - ch2_.missing);
    }
    return s;
}

StatisticsResult computeStatistics(int n, const std::string& oldest, const std::string& newest) {
    StatisticsResult r;
    db::Connection c;
    if (!c.open()) return r;
    StatisticsAccumulator acc;
    const bool read = c.forEachRow(
        db::sqlf("Select * from TovanDataTable_%d where RecordDataTime>='%s' and RecordDataTime<='%s'order by "
                 "RecordDataTime DESC;",
                 n, c.escape(oldest).c_str(), c.escape(newest).c_str()),
        [&](const char* const* cols, const unsigned long* lengths, unsigned count) {
            acc.add(floatColumn(cols, lengths, count, col::CHL1), floatColumn(cols, lengths, count, col::CHL2));
            return true;
        });
    if (!read) {
        r.result = db::StoreResult::Failed;
        return r;
    }
    r.result = db::StoreResult::Done;
    r.figures = acc.result();
    return r;
}

}  // namespace tovanix::data
