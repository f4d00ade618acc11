// CMyThread: the polling thread. Every talk with wired loggers in normal
// operation runs here, one handler at a time: scans, quick reads, settings
// reads, probes, writes of limits and intervals, clock setting, history
// download, and the opening and closing of line ports.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <vector>

#include "alarms/limit_check.h"
#include "db/data_table.h"
#include "devices/device_store.h"
#include "devices/gap_fill.h"
#include "drivers/driver_api.h"
#include "devices/messages.h"
#include "devices/station_table.h"
#include "platform/message_thread.h"

namespace tovanix::devices {

class Engine;

// The alarm settings read from a logger, into its entry.
void applyAlarmSettings(DeviceEntry& d, const LoggerSettings& s);

struct ScanSummary {
    int read = 0;
    int failed = 0;
    int inAlarm = 0;
    bool stored = true;  // false when the database was unreachable
};

// How the automatic gap fill walks a logger's history: newest block first,
// looking at each block's oldest record and doing other work (a scan that
// fell due) between blocks; and what the logger and the walk reported.
struct BlockWalk {
    bool newestFirst = false;
    // Called before every block after the first with the oldest record time
    // of the block read last (0 when it failed); false ends the walk.
    std::function<bool(std::time_t lastBlockOldest)> beforeBlock;
    bool answered = false;
    int count = 0;
    int interval = 0;
    std::time_t oldest = 0;
    bool badOldest = false;  // records held, but the oldest time is implausible
    int failedBlocks = 0;
    int failedStores = 0;
    bool paused = false;  // storing paused (a restore runs): the walk ended
    bool gone = false;    // the device was deleted: the walk ended
    // Every block needed was read and every record in range stored.
    bool complete() const {
        return answered && !badOldest && !paused && !gone && failedBlocks == 0 && failedStores == 0;
    }
};

// What storing a scanned reading came to.
enum class ScanStore { Kept, NotKept, Paused, Gone };

// The entry's alarm enables and limits, as the limit test takes them.
alarms::DeviceLimits alarmLimits(const DeviceEntry& d);

class CMyThread : public platform::MessageThread {
public:
    // Binds Wired and Alarm; the first live object calls StartThread, the
    // last one EndThread.
    explicit CMyThread(Engine& engine);
    ~CMyThread() override;

private:
    struct WorkItem {
        int lineid;
        int port;
        int address;
    };
    void scan();
    // False when the statements failed because the connection is gone.
    // `kept`: whether the reading itself is in the data table, and if not,
    // whether storing was paused or the device deleted.
    bool storeScanned(db::Connection& c, const WorkItem& item, const std::vector<AlarmRow>& rows, const DeviceEntry& d,
                      const std::string& sign, ScanStore& kept);
    void quickRead();
    void readSettings();
    void openPorts();
    void probe(const DeviceRequest& r);
    void startLogging(const DeviceRequest& r);
    void writeAlarm(const AlarmWriteRequest& r);
    void writeInterval(const IntervalRequest& r);
    void checkAddress(const DeviceRequest& r);
    // The device of a settings write with the logger addressed on its open
    // port; nothing when the line, the device or the port is gone.
    std::optional<DeviceEntry> addressOpenDevice(int lineid, int address, int& port);
    void closePort(const LineRequest& r);
    void openPort(const LineRequest& r);
    void closeAllPorts();
    // History download (history_download.cpp).
    void download(const HistoryRequest& r);
    // The chosen devices of 0x49B, each job's status in engine_.backfill.
    void downloadChosen(const HistoryRequest& r);
    // New records stored for one logger.
    int downloadDevice(db::Connection* c, int port, int lineid, int address, const HistoryRequest& r,
                       BlockWalk* walk = nullptr);
    // Under the store lock: false, with walk->gone or walk->paused set, when
    // the device was deleted or storing is paused for a restore.
    bool storeAllowed(int lineid, int address, BlockWalk* walk);
    // Automatic gap fill (gap_fill_pass.cpp).
    void noteStored(const DeviceEntry& d, int lineid, const std::string& readingTime);
    void noteMissed(const DeviceEntry& d, int lineid, GapCause cause, const std::string& why);
    void queueFill();
    void fillGaps();
    void fillSpan(db::Connection& c, const GapSpan& span);
    // Runs a scan that fell due meanwhile, giving the loggers back for it.
    void runDueScan();
    // A walk that hands due scans over and ends when stopping or when the
    // device is deleted (`cut` then set).
    BlockWalk yieldingWalk(int lineid, int address, bool& cut);
    void finishPass();
    void sleepMs(int ms) const;
    using WorkFilter = std::function<bool(const LineEntry&, const DeviceEntry&)>;
    // Devices of wired lines with an open port, chosen by `want`.
    std::vector<WorkItem> wiredWork(const WorkFilter& want);
    // Reads one logger's current values into the outputs.
    bool readNow(int port, int address, std::string& timeText, float r12[2], float r34[2]);

    Engine& engine_;
    drivers::WiredApi wired_;
    drivers::AlarmApi alarm_;
    GapTracker gaps_;          // polling thread only
    bool fillQueued_ = false;  // a kMsgFillGaps is waiting (polling thread only)
};

}  // namespace tovanix::devices
