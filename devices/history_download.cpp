// The history download: every record a logger still holds within the
// requested range goes into its device's data table (the lost-record recovery
// and the system data dialog's download).
#include "devices/polling_thread.h"

#include <algorithm>

#include "db/connection.h"
#include "devices/device_store.h"
#include "devices/engine.h"
#include "devices/handler_pass.h"
#include "platform/event.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::devices {

namespace {

constexpr int kHistoryRetries = 2;
constexpr double kTenths = 10.0;  // history values come in tenths of the unit
constexpr int kOldestYearFirst = 2001;
constexpr int kOldestYearLast = 2139;
constexpr int kMonthsPerYear = 12;
constexpr int kMaxMonthDay = 31;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;

// A logger whose oldest record has a time out of range holds nothing worth
// reading (unset clock or a garbled answer).
bool plausibleOldest(const platform::DateTimeFields& f) {
    return f.year >= kOldestYearFirst && f.year <= kOldestYearLast && f.month >= 1 && f.month <= kMonthsPerYear &&
           f.day >= 1 && f.day <= kMaxMonthDay && f.hour >= 0 && f.hour < kHoursPerDay && f.minute >= 0 &&
           f.minute < kMinutesPerHour;
}

}  // namespace

void CMyThread::download(const HistoryRequest& r) {
    // The port event as the recovery dialog expects, and the device event as
    // well, so a download never interleaves with the settings-read thread.
    platform::EventHold port(engine_.portEvent);
    Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingHistory);
    db::Connection c;
    const bool dbOk = c.open();
    if (!dbOk) engine_.log("download: database unreachable, nothing downloaded");
    const auto work = wiredWork([](const LineEntry&, const DeviceEntry&) { return true; });
    if (dbOk) {
        engine_.log(platform::format("download: %zu loggers, records from %s to %s", work.size(),
                                     platform::localDateTime(r.start).c_str(), platform::localDateTime(r.end).c_str()));
        int stored = 0;
        std::size_t done = 0;
        for (const WorkItem& item : work) {
            if (engine_.stopping()) break;
            stored += downloadDevice(&c, item.port, item.lineid, item.address, r);
            ++done;
        }
        engine_.log(platform::format("download: finished, %d new records from %zu of %zu loggers%s", stored, done,
                                     work.size(), done < work.size() ? " (stopped)" : ""));
    }
    c.close();
    sleepMs(engine_.timing().downloadEndMs);
    engine_.recoveryFlag.store(0);
}

void CMyThread::downloadChosen(const HistoryRequest& r) {
    platform::EventHold port(engine_.portEvent);
    Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingHistory);
    BackfillJobs& jobs = engine_.backfill;
    db::Connection c;
    const bool dbOk = c.open();
    if (!dbOk) engine_.log("back-fill: database unreachable, nothing downloaded");
    const auto work = wiredWork([](const LineEntry&, const DeviceEntry&) { return true; });
    for (std::size_t i = 0; i < r.devices.size(); ++i) {
        const DeviceRequest& want = r.devices[i];
        const auto item = std::find_if(work.begin(), work.end(), [&](const WorkItem& w) {
            return w.lineid == want.lineid && w.address == want.address;
        });
        // A device of a closed or wireless line, or one deleted meanwhile.
        if (!dbOk || item == work.end() || engine_.stopping()) {
            jobs.set(i, kJobFailed);
            continue;
        }
        jobs.set(i, kJobDownloading);
        BlockWalk walk;
        downloadDevice(&c, item->port, item->lineid, item->address, r, &walk);
        // Done only when the logger answered and every block read was stored.
        const bool complete = walk.answered && walk.failedBlocks == 0 && walk.failedStores == 0;
        jobs.set(i, complete ? kJobDone : kJobFailed);
    }
    c.close();
    sleepMs(engine_.timing().downloadEndMs);
    jobs.finish();
}

int CMyThread::downloadDevice(db::Connection* c, int port, int lineid, int address, const HistoryRequest& r,
                              BlockWalk* walk) {
    char oldest[drivers::kTimeTextSize] = {};
    int interval = 0, count = 0, second = 0;
    wired_.setTargetDevice(port, address);
    if (!wired_.getOldestRecordTime(port, oldest, &interval, &count, &second)) {
        engine_.log(platform::format("download: line %d address %d: no answer", lineid, address));
        return 0;
    }
    if (walk != nullptr) {
        walk->answered = true;
        walk->count = count;
        walk->interval = interval;
        walk->oldest = platform::parseLocalDateTime(oldest).value_or(0);
    }
    if (count <= 0 || !plausibleOldest(platform::scanDateTime(oldest))) {
        engine_.log(platform::format("download: line %d address %d: no records", lineid, address));
        return 0;
    }
    const int n = db::dataTableNumber(lineid, address);
    db::createDataTable(*c, n);
    std::string newest = newestStoredTime(*c, n);
    const int blocks = (count - 1) / drivers::kHistoryBlockRecords + 1;
    int stored = 0;
    std::time_t lastBlockOldest = 0;
    for (int step = 0; step < blocks; ++step) {
        if (walk != nullptr && step > 0 && walk->beforeBlock && !walk->beforeBlock(lastBlockOldest)) break;
        const int block = walk != nullptr && walk->newestFirst ? blocks - step : step + 1;
        lastBlockOldest = 0;
        unsigned char times[drivers::kHistoryBlockRecords][5] = {};
        double values[drivers::kHistoryBlockRecords][2] = {};
        int records = 0;
        bool ok = false;
        for (int attempt = 0; attempt < kHistoryRetries && !ok; ++attempt) {
            wired_.setTargetDevice(port, address);
            ok = wired_.getHistory(port, block, times, values, &records) != 0;
        }
        if (!ok) {
            if (walk != nullptr) walk->failedBlocks++;
            continue;
        }
        if (records > drivers::kHistoryBlockRecords) records = drivers::kHistoryBlockRecords;
        for (int i = 0; i < records; ++i) {
            const std::time_t t = platform::makeLocalTime(platform::kLoggerYearBase + times[i][0], times[i][1],
                                                          times[i][2], times[i][3], times[i][4], 0);
            if (i == 0) lastBlockOldest = t;
            if (t < r.start || t > r.end) continue;
            if (db::storeFetchedRecord(*c, n, platform::localDateTime(t), values[i][0] / kTenths,
                                       values[i][1] / kTenths)) {
                stored += static_cast<int>(c->affectedRows());
            } else if (walk != nullptr) {
                walk->failedStores++;
            }
        }
    }
    engine_.log(platform::format("download: line %d address %d: %d records, %d new (newest stored %s)", lineid, address,
                                 count, stored, newest.empty() ? "none" : newest.c_str()));
    return stored;
}

}  // namespace tovanix::devices
