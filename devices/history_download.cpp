// The history download: every record a logger still holds within the
// requested range goes into its device's data table (the lost-record recovery
// and the system data dialog's download).
#include "devices/polling_thread.h"

#include <algorithm>
#include <mutex>

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
    // Before the state code leaves idle, so a scan falling due is handed over.
    engine_.beginFill();
    {
        Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingHistory);
        db::Connection c;
        const bool dbOk = c.open();
        if (!dbOk) engine_.log("download: database unreachable, nothing downloaded");
        const auto work = wiredWork([](const LineEntry&, const DeviceEntry&) { return true; });
        if (dbOk) {
            engine_.log(platform::format("download: %zu loggers, records from %s to %s", work.size(),
                                         platform::localDateTime(r.start).c_str(),
                                         platform::localDateTime(r.end).c_str()));
            int stored = 0;
            std::size_t done = 0;
            for (const WorkItem& item : work) {
                if (engine_.stopping()) break;
                bool cut = false;
                BlockWalk walk = yieldingWalk(item.lineid, item.address, cut);
                stored += downloadDevice(&c, item.port, item.lineid, item.address, r, &walk);
                ++done;
                runDueScan();
            }
            engine_.log(platform::format("download: finished, %d new records from %zu of %zu loggers%s", stored,
                                         done, work.size(), done < work.size() ? " (stopped)" : ""));
        }
        c.close();
        sleepMs(engine_.timing().downloadEndMs);
    }
    if (engine_.endFill() && !engine_.stopping()) engine_.post(kMsgScan);
    engine_.recoveryFlag.store(0);
}

void CMyThread::downloadChosen(const HistoryRequest& r) {
    platform::EventHold port(engine_.portEvent);
    BackfillJobs& jobs = engine_.backfill;
    // As the gap fill: a scan falling due runs between two blocks, so a long
    // back-fill never holds the alarms back.
    engine_.beginFill();
    {
        Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingHistory);
        db::Connection c;
        const bool dbOk = c.open();
        if (!dbOk) engine_.log("back-fill: database unreachable, nothing downloaded");
        for (std::size_t i = 0; i < r.devices.size(); ++i) {
            const DeviceRequest& want = r.devices[i];
            // Looked up afresh: a scan run between two devices may follow a
            // deletion or a closed port.
            const auto work = wiredWork([&](const LineEntry& l, const DeviceEntry& d) {
                return l.lineid == want.lineid && d.address == want.address;
            });
            // A device of a closed or wireless line, or one deleted meanwhile.
            if (!dbOk || work.empty() || engine_.stopping()) {
                jobs.set(i, kJobFailed);
                continue;
            }
            jobs.set(i, kJobDownloading);
            bool cut = false;
            BlockWalk walk = yieldingWalk(want.lineid, want.address, cut);
            downloadDevice(&c, work.front().port, want.lineid, want.address, r, &walk);
            // Done only when the logger answered and every block read was stored.
            jobs.set(i, walk.complete() && !cut ? kJobDone : kJobFailed);
            runDueScan();
        }
        c.close();
        sleepMs(engine_.timing().downloadEndMs);
    }
    if (engine_.endFill() && !engine_.stopping()) engine_.post(kMsgScan);
    jobs.finish();
}

bool CMyThread::storeAllowed(int lineid, int address, BlockWalk* walk) {
    walk->gone = !engine_.table().find(lineid, address).valid();
    walk->paused = !walk->gone && engine_.storingPaused.load();
    return !walk->gone && !walk->paused;
}

int CMyThread::downloadDevice(db::Connection* c, int port, int lineid, int address, const HistoryRequest& r,
                              BlockWalk* walk) {
    BlockWalk plain;
    if (walk == nullptr) walk = &plain;
    char oldest[drivers::kTimeTextSize] = {};
    int interval = 0, count = 0, second = 0;
    wired_.setTargetDevice(port, address);
    if (!wired_.getOldestRecordTime(port, oldest, &interval, &count, &second)) {
        engine_.log(platform::format("download: line %d address %d: no answer", lineid, address));
        return 0;
    }
    oldest[drivers::kTimeTextSize - 1] = '\0';
    walk->answered = true;
    walk->count = count;
    walk->interval = interval;
    if (count <= 0) {
        engine_.log(platform::format("download: line %d address %d: no records", lineid, address));
        return 0;
    }
    if (!plausibleOldest(platform::scanDateTime(oldest))) {
        // Not "nothing held": the records may be there, so the caller retries
        // or reports them rather than taking the span as done.
        walk->badOldest = true;
        engine_.log(platform::format("download: line %d address %d: %d records, but the oldest time \"%s\" is "
                                     "implausible: nothing read",
                                     lineid, address, count, oldest));
        return 0;
    }
    walk->oldest = platform::parseLocalDateTime(oldest).value_or(0);
    const int n = db::dataTableNumber(lineid, address);
    bool allowed = false;
    {
        // The table exists after a download even when no record fell in range.
        std::lock_guard<std::mutex> lock(engine_.storeLock());
        allowed = storeAllowed(lineid, address, walk);
        if (allowed) db::createDataTable(*c, n);
    }
    if (!allowed) {
        engine_.log(platform::format("download: line %d address %d: nothing stored, %s", lineid, address,
                                     walk->paused ? "storing paused for a restore" : "the device was deleted"));
        return 0;
    }
    const std::string newest = newestStoredTime(*c, n);
    const int blocks = (count - 1) / drivers::kHistoryBlockRecords + 1;
    int stored = 0;
    std::time_t lastBlockOldest = 0;
    for (int step = 0; step < blocks; ++step) {
        if (step > 0 && walk->beforeBlock && !walk->beforeBlock(lastBlockOldest)) break;
        const int block = walk->newestFirst ? blocks - step : step + 1;
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
            walk->failedBlocks++;
            continue;
        }
        if (records > drivers::kHistoryBlockRecords) records = drivers::kHistoryBlockRecords;
        std::time_t when[drivers::kHistoryBlockRecords] = {};
        bool inRange = false;
        for (int i = 0; i < records; ++i) {
            when[i] = platform::makeLocalTime(platform::kLoggerYearBase + times[i][0], times[i][1], times[i][2],
                                              times[i][3], times[i][4], 0);
            if (i == 0) lastBlockOldest = when[i];
            inRange = inRange || (when[i] >= r.start && when[i] <= r.end);
        }
        if (!inRange) continue;
        // The block's database work under the store lock, the logger I/O
        // outside it: a deleted device gets no table back, and nothing goes
        // in while a restore loads the database.
        std::lock_guard<std::mutex> lock(engine_.storeLock());
        if (!storeAllowed(lineid, address, walk)) break;
        if (!db::createDataTable(*c, n)) {
            walk->failedStores++;
            continue;
        }
        for (int i = 0; i < records; ++i) {
            if (when[i] < r.start || when[i] > r.end) continue;
            if (db::storeFetchedRecord(*c, n, platform::localDateTime(when[i]), values[i][0] / kTenths,
                                       values[i][1] / kTenths)) {
                stored += static_cast<int>(c->affectedRows());
            } else {
                walk->failedStores++;
            }
        }
    }
    engine_.log(platform::format("download: line %d address %d: %d records, %d new (newest stored %s)%s", lineid,
                                 address, count, stored, newest.empty() ? "none" : newest.c_str(),
                                 walk->paused ? "; stopped: storing paused for a restore"
                                 : walk->gone ? "; stopped: the device was deleted"
                                              : ""));
    return stored;
}

}  // namespace tovanix::devices
