// The station engine: the station table, the alarm-output settings, the
// shared states and events, the polling thread and the alarm thread, and the
// scan timer with the one-second tick. The window watches it; the headless
// runner runs it on its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "alarms/alarm_config.h"
#include "alarms/alarm_thread.h"
#include "devices/backfill_jobs.h"
#include "devices/config_load.h"
#include "devices/messages.h"
#include "devices/station_table.h"
#include "platform/event.h"

namespace tovanix::devices {

class CMyThread;

// Every wait and sleep the engine uses; the product runs the defaults, tests
// shrink them.
struct EngineTiming {
    int beforeReadMs = 150;     // after W_SetTargetDevice, before the read
    int afterReadMs = 100;      // after a successful read
    int settingsPauseMs = 100;  // settings-read thread, before W_GetAlarm
    int downloadEndMs = 500;    // end of a history download
    int firstScanMs = 10000;    // first scan after the start
    int scanUnitMs = 30000;     // per ten devices (and one more unit)
    int tickMs = 1000;          // the rate-limit counters' second
    alarms::AlarmTiming alarm;
};

// ((device count + 10) / 10) units: 30 s up to 9 devices, 60 s for 10 to 19 ...
constexpr long long scanPeriodMs(int deviceCount, int unitMs = 30000) {
    return static_cast<long long>((deviceCount + 10) / 10) * unitMs;
}

class Engine {
public:
    using Log = std::function<void(const std::string&)>;
    using Now = std::function<std::time_t()>;

    explicit Engine(EngineTiming timing = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Optional hooks, set before start().
    void setLog(Log log) { log_ = std::move(log); }
    void setNow(Now now) { now_ = std::move(now); }
    // Folder the driver libraries are loaded from (default: program folder).
    void setDriverFolder(std::string folder) { driverFolder_ = std::move(folder); }

    // Loads lines, groups, devices, alarm settings and phones.
    ConfigLoadResult loadConfiguration();
    // Gives every device a sequence number in table order (as a fill of the
    // whole status view does) and returns the count.
    int assignSequenceNumbers();

    // Starts the polling thread, then the alarm thread, then the scan timer.
    void start();
    // Stops the timer and both threads. Work still queued is dropped, except
    // the closing of ports (post kMsgCloseAllPorts first); a pass that runs
    // ends after the device it is reading, an alarm job after the number it
    // is serving.
    void stop();
    // Set by stop(): the handlers' loops look at it between devices.
    bool stopping() const { return stopping_.load(); }

    // Held while the scan stores one device's reading and alarm rows, and by
    // the tree editing while it drops a device's table and takes the device
    // out of the station table, so a deleted device never gets its table
    // back. Taken before the station lock, never inside it.
    std::mutex& storeLock() { return storeLock_; }
    bool started() const { return polling_ != nullptr; }

    // Posts to the polling thread / the alarm thread. False when not running.
    bool post(std::uint32_t message, std::any payload = {});
    bool postAlarm(std::uint32_t message, std::any payload = {});
    // Recomputes the scan period from the device count and starts it anew
    // (after additions and deletions).
    void restartScanTimer();
    long long currentScanPeriodMs() const;
    // Number of scans the timer posted and skipped (state code not 0).
    long long scansPosted() const { return scansPosted_.load(); }
    long long scansSkipped() const { return scansSkipped_.load(); }

    StationTable& table() { return table_; }
    alarms::AlarmShared& alarmShared() { return alarmShared_; }
    const EngineTiming& timing() const { return timing_; }
    std::time_t now() const { return now_ ? now_() : std::time(nullptr); }
    void log(const std::string& line) const;
    // The folder set for tests, else the program folder (or its override).
    std::string driverFolder() const { return driverFolder_.empty() ? drivers::driverFolder() : driverFolder_; }
    CMyThread* pollingThread() { return polling_.get(); }
    alarms::CAlarmThread* alarmThread() { return alarm_.get(); }

    // Events: exclusive use of the loggers, and of port opening and closing.
    platform::AutoResetEvent deviceEvent{true};
    platform::AutoResetEvent portEvent{true};

    // Shared states, read by the window for display and by the dialogs that
    // follow a request on their timers.
    std::atomic<int> driverState{kStateIdle};
    std::atomic<int> runningFlag{0};
    std::atomic<int> finishedFlag{0};
    std::atomic<int> scanDone{1};
    std::atomic<int> lastRead{0};  // sequence number of the device read last
    std::atomic<int> settingsPageState{0};
    std::atomic<int> alarmWriteResult{kResultNone};
    std::atomic<int> startLoggingResult{kResultNone};
    std::atomic<int> intervalResult{kResultNone};
    std::atomic<int> addressCheckResult{kResultNone};  // kMsgCheckAddress: done, device failed, port closed
    // The database update interval in minutes (3 while the lines hold 0),
    // and the value the line rows hold, which its update statement selects.
    std::atomic<int> updateInterval{kDefaultScanInterval};
    std::atomic<int> storedUpdateInterval{0};
    std::atomic<int> recoveryFlag{0};
    // Set while a restore loads the database: the scans read the loggers and
    // raise alarms but store nothing, as with the database away.
    std::atomic<bool> storingPaused{false};
    // The data-centre page's back-fill (0x49B): job statuses and running flag.
    BackfillJobs backfill;
    std::atomic<int> lineClosing{0};  // a deleted line's port close is pending
    std::atomic<int> portToggle{kToggleIdle};  // the edit-line dialog's close or open is pending
    std::atomic<long long> scansDone{0};
    // Steady-clock time (ns) at which the last out-of-limit reply came in.
    std::atomic<long long> lastAlarmReplyNs{0};

    // Last alarm the scan found (for display), under its own lock.
    alarms::AlarmState lastAlarm() const;
    void setLastAlarm(const alarms::AlarmState& s);

    SystemInfo systemInfo() const;
    // The company information was changed in the system configuration.
    void setCompany(const std::string& companyName, const std::string& url);

    // While the polling thread fills gaps, a scan falling due is handed to
    // the fill, which runs it between two blocks, instead of being skipped.
    void beginFill();
    bool takeDueScan();  // true once for each scan handed over
    bool endFill();      // true when a scan was handed over and has not run
    // Readings lost for good (the latest report), for the window's state
    // text; gapNotices counts the reports.
    std::string gapNotice() const;
    void setGapNotice(const std::string& text);
    std::atomic<int> gapNotices{0};
    // Longest wait (ns) of a scan handed to a fill, from falling due to
    // starting (for the benchmark).
    std::atomic<long long> longestHandedScanDelayNs{0};

private:
    void timerLoop();

    EngineTiming timing_;
    Log log_;
    Now now_;
    std::string driverFolder_;
    StationTable table_;
    alarms::AlarmShared alarmShared_;
    std::unique_ptr<CMyThread> polling_;
    std::unique_ptr<alarms::CAlarmThread> alarm_;

    std::atomic<bool> stopping_{false};
    std::mutex storeLock_;
    mutable std::mutex infoMutex_;  // guards lastAlarm_, system_ and gapNotice_
    alarms::AlarmState lastAlarm_;
    SystemInfo system_;
    std::string gapNotice_;

    // Taken inside timerMutex_ by the timer, alone by the polling thread.
    std::mutex fillMutex_;  // guards fillRunning_, scanDue_ and dueAt_
    bool fillRunning_ = false;
    bool scanDue_ = false;
    std::chrono::steady_clock::time_point dueAt_;
    void noteHandedScanStart();  // under fillMutex_, with scanDue_ set

    mutable std::mutex timerMutex_;  // guards timer state below
    std::condition_variable timerCv_;
    bool timerStop_ = false;
    std::chrono::steady_clock::time_point nextScan_;
    long long periodMs_ = 0;
    bool firstScanPending_ = false;
    std::thread timer_;
    std::atomic<long long> scansPosted_{0};
    std::atomic<long long> scansSkipped_{0};
};

}  // namespace tovanix::devices
