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
    bool storeScanned(db::Connection& c, const WorkItem& item, const std::vector<AlarmRow>& rows, const DeviceEntry& d,
                      const std::string& sign);
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
    void download(const HistoryRequest& r, bool chosenOnly);
    // The chosen devices of 0x49B, each job's status in engine_.backfill.
    void downloadChosen(const HistoryRequest& r);
    // New records stored for one logger; `complete` (when given) tells
    // whether it answered and every block was read.
    int downloadDevice(db::Connection* c, int port, int lineid, int address, const HistoryRequest& r,
                       bool* complete = nullptr);
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
};

}  // namespace tovanix::devices
