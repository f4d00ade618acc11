#include "devices/polling_thread.h"

#include <atomic>
#include <mutex>
#include <chrono>
#include <thread>

#include "db/connection.h"
#include "devices/config_load.h"
#include "devices/device_store.h"
#include "devices/engine.h"
#include "devices/handler_pass.h"
#include "platform/event.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::devices {

namespace {

// The Wired receiver thread runs while at least one polling thread object
// exists: started by the first, ended by the last (a second object never
// starts it again, and a short-lived one cannot end it under another).
std::mutex receiverMutex;  // guards receiverUsers
int receiverUsers = 0;

constexpr int kFailuresBeforeNotAnswering = 3;
constexpr float kWiredSupplyVolts = 5.0f;
constexpr int kLoggerSoundDuration = 301;  // sent with every limits write

bool monthAndDaySet(const std::string& text) {
    const platform::DateTimeFields f = platform::scanDateTime(text);
    return f.month != 0 && f.day != 0;
}

// The reading into its entry: stored and tested values from the second pair.
void storeReading(DeviceEntry& d, const std::string& timeText, const float r12[2], const float r34[2]) {
    d.readingTime = timeText;
    d.pair1[0] = r12[0];
    d.pair1[1] = r12[1];
    d.ch1 = r34[0];
    d.ch2 = r34[1];
}

}  // namespace

void applyAlarmSettings(DeviceEntry& d, const LoggerSettings& s) {
    d.ch1Enable = s.ch1Enable;
    d.ch2Enable = s.ch2Enable;
    d.ch1Lower = s.ch1Lower;
    d.ch1Upper = s.ch1Upper;
    d.ch2Lower = s.ch2Lower;
    d.ch2Upper = s.ch2Upper;
    d.recordInterval = s.recordInter;
}

std::vector<CMyThread::WorkItem> CMyThread::wiredWork(const WorkFilter& want) {
    return engine_.table().with([&](std::vector<LineEntry>& lines) {
        std::vector<WorkItem> w;
        for (const auto& l : lines) {
            if (l.wired == 0 || !l.portOpen) continue;
            for (const auto& d : l.devices) {
                if (want(l, d)) w.push_back({l.lineid, l.port, d.address});
            }
        }
        return w;
    });
}

alarms::DeviceLimits alarmLimits(const DeviceEntry& d) {
    return {{d.ch1Enable, d.ch1Lower, d.ch1Upper}, {d.ch2Enable, d.ch2Lower, d.ch2Upper}};
}

namespace {

// The limit test reads and sets the entry's own status codes.
static_assert(alarms::kLimitNormal == kStatusNormal && alarms::kLimitInAlarm == kStatusAlarm &&
              alarms::kLimitAlarmOver == kStatusAlarmOver);

// The entry's fresh reading as the limit test takes it: tested on the second
// pair, signed on the first.
alarms::LimitInput limitInput(const DeviceEntry& d, std::time_t minute, bool storing) {
    alarms::LimitInput in;
    in.limits = alarmLimits(d);
    in.ch1 = d.ch1;
    in.ch2 = d.ch2;
    in.signPair[0] = d.pair1[0];
    in.signPair[1] = d.pair1[1];
    in.status = d.status;
    in.nextAlarmLogTime = d.nextAlarmLogTime;
    in.minute = minute;
    in.recordInterval = d.recordInterval;
    in.storing = storing;
    return in;
}

}  // namespace

CMyThread::CMyThread(Engine& engine) : MessageThread("polling"), engine_(engine) {
    const std::string folder = engine_.driverFolder();
    wired_.loadFrom(folder, drivers::WiredUse::Polling);
    alarm_.loadFrom(folder, drivers::AlarmUse::Polling);
    {
        // Before any port is opened.
        std::lock_guard<std::mutex> lock(receiverMutex);
        if (receiverUsers++ == 0) wired_.startThread();
    }

    on(kMsgScan, [this](const platform::Message&) { scan(); });
    on(kMsgQuickRead, [this](const platform::Message&) { quickRead(); });
    on(kMsgReadSettings, [this](const platform::Message&) { readSettings(); });
    on(kMsgOpenPorts, [this](const platform::Message&) { openPorts(); });
    on(kMsgProbeDevice, [this](const platform::Message& m) {
        if (const auto* r = m.as<DeviceRequest>()) probe(*r);
    });
    // A request without its record still ends with a result, so the dialog
    // that waits for it never spins.
    on(kMsgStartLogging, [this](const platform::Message& m) {
        if (const auto* r = m.as<DeviceRequest>())
            startLogging(*r);
        else
            engine_.startLoggingResult.store(kResultDeviceFailed);
    });
    on(kMsgWriteAlarm, [this](const platform::Message& m) {
        if (const auto* r = m.as<AlarmWriteRequest>())
            writeAlarm(*r);
        else
            engine_.alarmWriteResult.store(kResultDeviceFailed);
    });
    on(kMsgWriteInterval, [this](const platform::Message& m) {
        if (const auto* r = m.as<IntervalRequest>())
            writeInterval(*r);
        else
            engine_.intervalResult.store(kResultDeviceFailed);
    });
    on(kMsgCheckAddress, [this](const platform::Message& m) {
        if (const auto* r = m.as<DeviceRequest>())
            checkAddress(*r);
        else
            engine_.addressCheckResult.store(kResultDeviceFailed);
    });
    on(kMsgClosePort, [this](const platform::Message& m) {
        if (const auto* r = m.as<LineRequest>()) closePort(*r);
    });
    on(kMsgOpenPort, [this](const platform::Message& m) {
        if (const auto* r = m.as<LineRequest>()) openPort(*r);
    });
    on(kMsgCloseAllPorts, [this](const platform::Message&) { closeAllPorts(); });
    on(kMsgOpenTimer, [this](const platform::Message&) {
        platform::EventHold hold(engine_.portEvent);
        wired_.openTimer();
    });
    on(kMsgDownloadAll, [this](const platform::Message& m) {
        const auto* r = m.as<HistoryRequest>();
        download(r != nullptr ? *r : HistoryRequest{});
    });
    on(kMsgFillGaps, [this](const platform::Message&) { fillGaps(); });
    on(kMsgDownloadChosen, [this](const platform::Message& m) {
        const auto* r = m.as<HistoryRequest>();
        downloadChosen(r != nullptr ? *r : HistoryRequest{});
    });
    start();
}

CMyThread::~CMyThread() {
    join();
    std::lock_guard<std::mutex> lock(receiverMutex);
    if (--receiverUsers == 0) wired_.endThread();
}

void CMyThread::sleepMs(int ms) const {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool CMyThread::readNow(int port, int address, std::string& timeText, float r12[2], float r34[2]) {
    char text[drivers::kTimeTextSize] = {};
    wired_.setTargetDevice(port, address);
    sleepMs(engine_.timing().beforeReadMs);
    bool ok = wired_.downloadNow(port, text, r12, r34) != 0;
    text[drivers::kTimeTextSize - 1] = '\0';
    timeText = ok ? text : "";
    return ok;
}

void CMyThread::finishPass() {
    engine_.finishedFlag.store(1);
    engine_.runningFlag.store(0);
}

bool CMyThread::storeScanned(db::Connection& c, const WorkItem& item, const std::vector<AlarmRow>& rows,
                             const DeviceEntry& d, const std::string& sign, ScanStore& kept) {
    kept = ScanStore::NotKept;
    // A device deleted from the tree meanwhile must not get its dropped table
    // or its alarm rows back.
    std::lock_guard<std::mutex> lock(engine_.storeLock());
    if (!engine_.table().find(item.lineid, item.address).valid()) {
        kept = ScanStore::Gone;
        return true;
    }
    if (engine_.storingPaused.load()) {
        kept = ScanStore::Paused;
        return true;
    }
    const int n = db::dataTableNumber(item.lineid, item.address);
    bool ok = true;
    for (const AlarmRow& r : rows) ok = insertAlarmRow(c, r) && ok;
    if (!rows.empty()) ok = setAlarmGetSign(c, item.address, item.lineid) && ok;
    const bool table = db::createDataTable(c, n);
    ok = table && ok;
    if (monthAndDaySet(d.readingTime)) {
        const bool stored = table && db::storeLiveReading(c, n, d.readingTime, d.ch1, d.ch2, sign);
        if (stored) kept = ScanStore::Kept;
        ok = stored && ok;
    }
    ok = db::updateDownLastTime(c, item.address, item.lineid, d.readingTime) && ok;
    return ok || !c.connectionLost();
}

void CMyThread::scan() {
    platform::EventHold hold(engine_.deviceEvent);
    engine_.driverState.store(kStateReadingAll);
    engine_.scanDone.store(0);
    engine_.runningFlag.store(1);

    ScanSummary summary;
    db::Connection c;
    // Without the database the loggers are still read and alarms still
    // raised; only the storing is skipped.
    bool storing = c.open();
    summary.stored = storing;
    if (!storing) engine_.log("scan: database unreachable (" + c.lastError() + "): readings are not stored");
    bool reopened = false;
    engine_.postAlarm(alarms::kMsgPowerCheck);

    const auto work = wiredWork([](const LineEntry&, const DeviceEntry&) { return true; });
    for (const WorkItem& item : work) {
        if (engine_.stopping()) break;
        std::string timeText;
        float r12[2] = {kNoValue, kNoValue};
        float r34[2] = {kNoValue, kNoValue};
        bool ok = readNow(item.port, item.address, timeText, r12, r34);
        const long long replyNs = std::chrono::steady_clock::now().time_since_epoch().count();
        if (ok) sleepMs(engine_.timing().afterReadMs);

        bool alarm = false;
        alarms::AlarmState state;
        std::string alarmLine;
        std::vector<AlarmRow> rows;
        std::string sign;
        DeviceEntry copy;
        bool found = false;
        const std::time_t now = engine_.now();
        const std::time_t minute = platform::minuteStart(now);

        engine_.table().with([&](std::vector<LineEntry>& lines) {
            LineEntry* lp = nullptr;
            DeviceEntry* dp = StationTable::findIn(lines, item.lineid, item.address, &lp);
            if (dp == nullptr) return;
            DeviceEntry& d = *dp;
            const LineEntry& l = *lp;
            found = true;
            d.readingTime = timeText;
            if (!ok) {
                if (++d.failureCount > kFailuresBeforeNotAnswering) {
                    d.failureCount = 0;
                    d.status = kStatusNotAnswering;
                }
                copy = d;
                return;
            }
            d.readCounter++;
            d.powerKind = kPowerExternal;
            d.failureCount = 0;
            storeReading(d, timeText, r12, r34);
            alarms::LimitResult r = alarms::checkReading(limitInput(d, minute, storing));
            d.status = r.status;
            d.nextAlarmLogTime = r.nextAlarmLogTime;
            sign = std::move(r.sign);
            if (r.outOfLimits) {
                alarm = true;
                d.unacknowledged = 1;
                // A fresh state per device, so a message never mixes two devices.
                state = r.alarm;
                state.deviceName = d.name;
                alarmLine = platform::format("scan: in alarm: %s (line %d %s, address %d): ", d.name.c_str(),
                                             l.lineid, l.name.c_str(), d.address) +
                            alarms::describeAlarm(alarmLimits(d), r.alarm);
            }
            if (!r.logRows.empty()) {
                const std::string group = StationTable::groupNameIn(lines, d.groupId);
                const std::string t = platform::minuteStamp(minute);
                for (const alarms::AlarmLogEntry& e : r.logRows) {
                    rows.push_back({t, d.name, d.address, l.name, group, d.deviceid, l.lineid, e.channel, e.value,
                                    e.belowLower});
                }
            }
            copy = d;
        });
        if (!found) continue;  // removed while it was being read
        if (!ok) {
            summary.failed++;
            engine_.lastRead.store(copy.sequence);
            noteMissed(copy, item.lineid, GapCause::NoAnswer, "did not answer");
            continue;
        }
        summary.read++;

        if (alarm) {
            summary.inAlarm++;
            engine_.log(alarmLine);
            engine_.lastAlarmReplyNs.store(replyNs);
            engine_.setLastAlarm(state);
            engine_.postAlarm(alarms::kMsgAlarmBoxOn);
            engine_.postAlarm(alarms::kMsgAlarmSms, state);
        }
        ScanStore kept = ScanStore::NotKept;
        if (storing && !storeScanned(c, item, rows, copy, sign, kept)) {
            // A server that restarted during the pass: open again once (the
            // statements are safe to repeat); a second loss ends storing for
            // this pass rather than waiting on every device. Opened outside
            // the store lock, so tree editing never waits on a connect.
            storing = !reopened && c.open();
            reopened = true;
            if (storing) {
                engine_.log("scan: database connection opened again");
                storing = storeScanned(c, item, rows, copy, sign, kept);
            }
            if (!storing) {
                summary.stored = false;
                engine_.log("scan: database connection lost: the rest of this pass is not stored");
            }
        }
        if (kept == ScanStore::Kept) {
            noteStored(copy, item.lineid, copy.readingTime);
        } else if (kept == ScanStore::Gone) {
            // Deleted meanwhile: nothing is missing from a table that is gone.
            gaps_.forget({item.lineid, copy.address});
        } else if (monthAndDaySet(copy.readingTime)) {
            noteMissed(copy, item.lineid, GapCause::NotStored,
                       kept == ScanStore::Paused ? "reading not stored (storing paused for a restore)"
                       : storing                 ? "reading refused by the database"
                                                 : "reading not stored (database unreachable)");
        }
        engine_.lastRead.store(copy.sequence);
    }
    c.close();
    engine_.scansDone.fetch_add(1);
    engine_.log(platform::format("scan: %d read, %d failed, %d in alarm%s", summary.read, summary.failed,
                                 summary.inAlarm, summary.stored ? "" : " (not stored: database unreachable)"));
    finishPass();
    engine_.scanDone.store(1);
    engine_.driverState.store(kStateIdle);
    queueFill();
}

void CMyThread::quickRead() {
    platform::EventHold hold(engine_.deviceEvent);
    engine_.driverState.store(kStateReadingAll);
    engine_.scanDone.store(0);
    const auto work = wiredWork([](const LineEntry&, const DeviceEntry&) { return true; });
    for (const WorkItem& item : work) {
        if (engine_.stopping()) break;
        std::string timeText;
        float r12[2] = {kNoValue, kNoValue};
        float r34[2] = {kNoValue, kNoValue};
        if (!readNow(item.port, item.address, timeText, r12, r34)) {
            engine_.table().updateDevice(item.lineid, item.address, [](DeviceEntry& d) { d.readingTime.clear(); });
            continue;
        }
        int seq = 0;
        engine_.table().updateDevice(item.lineid, item.address, [&](DeviceEntry& d) {
            storeReading(d, timeText, r12, r34);
            d.power1 = d.power2 = kWiredSupplyVolts;
            d.readCounter = 0;
            d.status = d.alarmOver ? kStatusAlarmOver : kStatusNormal;
            seq = d.sequence;
        });
        engine_.lastRead.store(seq);
    }
    finishPass();
    engine_.scanDone.store(1);
    engine_.driverState.store(kStateIdle);
}

void CMyThread::readSettings() {
    Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingSettings);
    db::Connection c;
    const bool dbOk = c.open();
    const auto work = wiredWork([](const LineEntry&, const DeviceEntry& d) { return d.settingsLoaded == 0; });
    for (const WorkItem& item : work) {
        if (engine_.stopping()) break;
        std::string timeText;
        float r12[2], r34[2];
        if (!readNow(item.port, item.address, timeText, r12, r34)) continue;
        char mask = 0;
        int limits[4] = {};
        int duration = 0, interval = 0;
        // The read left the library's target at 0; address the logger again.
        wired_.setTargetDevice(item.port, item.address);
        if (!wired_.getAlarm(item.port, &mask, limits, &duration, &interval)) continue;
        LoggerSettings s = fromLoggerAlarm(static_cast<unsigned char>(mask), limits, duration, interval);
        bool stored = dbOk && storeLoggerSettings(c, s, SettingsKey::ByAddress, item.address, item.lineid);
        engine_.table().updateDevice(item.lineid, item.address, [&](DeviceEntry& d) {
            applyAlarmSettings(d, s);
            // Read again next time when the row could not be written.
            if (stored) d.settingsLoaded = 1;
        });
    }
    engine_.settingsPageState.store(1);
}

void CMyThread::openPorts() {
    platform::EventHold hold(engine_.deviceEvent);
    std::vector<std::pair<int, int>> ports = engine_.table().with([](std::vector<LineEntry>& lines) {
        std::vector<std::pair<int, int>> p;
        // Wireless lines are reached through their own library, which opens
        // the port itself.
        for (const auto& l : lines) {
            if (l.wired != 0) p.emplace_back(l.lineid, l.port);
        }
        return p;
    });
    for (auto [lineid, port] : ports) {
        bool open = wired_.openCom(port) != 0;
        engine_.log(platform::format("line %d: COM%d %s", lineid, port, open ? "opened" : "cannot be opened"));
        engine_.table().updateLine(lineid, [&](LineEntry& l) { l.portOpen = open; });
    }
}

void CMyThread::probe(const DeviceRequest& r) {
    Pass pass(engine_.deviceEvent, engine_.driverState, kStateProbing);
    auto line = engine_.table().line(r.lineid);
    if (!line || !line->portOpen) return;
    // Deleted again before its probe: its logger's records are not ours to erase.
    if (!engine_.table().find(r.lineid, r.address).valid()) return;
    const int port = line->port;
    const std::time_t now = engine_.now();
    unsigned char bcd[platform::kBcdClockBytes];
    platform::bcdClock(now, bcd);

    char clock[drivers::kTimeTextSize] = {};
    wired_.setTargetDevice(port, r.address);
    if (wired_.getClock(port, clock)) {
        // The logger's seconds do not count: same minute, same clock.
        if (!platform::sameLocalMinute(platform::scanDateTime(clock), now)) {
            wired_.setTargetDevice(port, r.address);
            if (!wired_.setClock(port, bcd)) return;
            wired_.setTargetDevice(port, r.address);
            wired_.clearData(port);
            engine_.log(
                platform::format("probe: line %d address %d: clock set, stored records erased", r.lineid, r.address));
        }
    }
    std::string timeText;
    float r12[2], r34[2];
    if (!readNow(port, r.address, timeText, r12, r34)) return;
    char mask = 0;
    int limits[4] = {};
    int duration = 0, interval = 0;
    wired_.setTargetDevice(port, r.address);
    bool gotAlarm = wired_.getAlarm(port, &mask, limits, &duration, &interval) != 0;
    LoggerSettings s = fromLoggerAlarm(static_cast<unsigned char>(mask), limits, duration, interval);
    bool stored = false;
    if (gotAlarm) {
        db::Connection c;
        stored = c.open() && storeProbedSettings(c, s, timeText, r.address, r.lineid);
    }
    int seq = 0;
    engine_.table().updateDevice(r.lineid, r.address, [&](DeviceEntry& d) {
        storeReading(d, timeText, r12, r34);
        d.status = kStatusNormal;
        d.power1 = d.power2 = kWiredSupplyVolts;
        d.powerKind = kPowerExternal;
        if (gotAlarm) {
            applyAlarmSettings(d, s);
            d.settingsLoaded = stored ? 1 : 0;
        }
        seq = d.sequence;
    });
    engine_.lastRead.store(seq);
}

void CMyThread::startLogging(const DeviceRequest& r) {
    platform::EventHold hold(engine_.deviceEvent);
    auto line = engine_.table().line(r.lineid);
    // A line removed meanwhile has no port either; the dialog must not wait.
    if (!line || !line->portOpen) {
        engine_.startLoggingResult.store(kStartLoggingPortClosed);
        return;
    }
    unsigned char bcd[platform::kBcdClockBytes];
    platform::bcdClock(engine_.now(), bcd);
    wired_.setTargetDevice(line->port, r.address);
    if (!wired_.setClock(line->port, bcd)) {
        engine_.startLoggingResult.store(kResultDeviceFailed);
        return;
    }
    wired_.setTargetDevice(line->port, r.address);
    wired_.clearData(line->port);
    engine_.startLoggingResult.store(kResultDone);
}

std::optional<DeviceEntry> CMyThread::addressOpenDevice(int lineid, int address, int& port) {
    auto line = engine_.table().line(lineid);
    auto dev = engine_.table().device(lineid, address);
    if (!line || !dev || !line->portOpen) return std::nullopt;
    port = line->port;
    wired_.setTargetDevice(port, address);
    return dev;
}

void CMyThread::writeAlarm(const AlarmWriteRequest& r) {
    platform::EventHold hold(engine_.deviceEvent);
    int port = 0;
    auto dev = addressOpenDevice(r.lineid, r.address, port);
    if (!dev) {
        engine_.alarmWriteResult.store(kResultPortClosed);
        return;
    }
    if (!wired_.setAlarm(port, r.enableBits, r.limitsTenths, kLoggerSoundDuration, dev->recordInterval)) {
        engine_.alarmWriteResult.store(kResultDeviceFailed);
        return;
    }
    int deviceid = 0;
    engine_.table().updateDevice(r.lineid, r.address, [&](DeviceEntry& d) {
        d.ch1Enable = r.ch1Enable;
        d.ch2Enable = r.ch2Enable;
        d.ch1Upper = r.ch1Upper;
        d.ch1Lower = r.ch1Lower;
        d.ch2Upper = r.ch2Upper;
        d.ch2Lower = r.ch2Lower;
        bool beyond = (d.ch1Enable != 0 && (d.ch1 < d.ch1Lower || d.ch1 > d.ch1Upper)) ||
                      (d.ch2Enable != 0 && (d.ch2 < d.ch2Lower || d.ch2 > d.ch2Upper));
        if (beyond && (d.status == kStatusAlarm || d.status == kStatusAlarmOver)) d.status = kStatusAlarmOver;
        deviceid = d.deviceid;
    });
    AlarmLimitsUpdate u{r.ch1Enable, r.ch1Type, r.ch1Unit,  r.ch1Lower, r.ch1Upper,          r.ch2Enable,
                        r.ch2Type,   r.ch2Unit, r.ch2Lower, r.ch2Upper, kLoggerSoundDuration};
    db::Connection c;
    bool ok = c.open() && updateAlarmLimits(c, u, deviceid, r.lineid);
    engine_.alarmWriteResult.store(ok ? kResultDone : kResultDatabaseFailed);
}

void CMyThread::writeInterval(const IntervalRequest& r) {
    platform::EventHold hold(engine_.deviceEvent);
    int port = 0;
    auto dev = addressOpenDevice(r.lineid, r.address, port);
    if (!dev) {
        engine_.intervalResult.store(kResultPortClosed);
        return;
    }
    if (!wired_.setRecordingInterval(port, r.minutes)) {
        engine_.intervalResult.store(kResultDeviceFailed);
        return;
    }
    engine_.table().updateDevice(r.lineid, r.address, [&](DeviceEntry& d) { d.recordInterval = r.minutes; });
    db::Connection c;
    bool ok = c.open() && updateRecordInterval(c, r.minutes, dev->deviceid, r.lineid);
    engine_.intervalResult.store(ok ? kResultDone : kResultDatabaseFailed);
}

void CMyThread::checkAddress(const DeviceRequest& r) {
    platform::EventHold hold(engine_.deviceEvent);
    auto line = engine_.table().line(r.lineid);
    if (!line || !line->portOpen) {
        engine_.addressCheckResult.store(kResultPortClosed);
        return;
    }
    std::string timeText;
    float r12[2], r34[2];
    const bool answered = readNow(line->port, r.address, timeText, r12, r34);
    engine_.addressCheckResult.store(answered ? kResultDone : kResultDeviceFailed);
}

void CMyThread::closePort(const LineRequest& r) {
    platform::EventHold hold(engine_.portEvent);
    int port = r.port;
    if (port == kPortOfEntry) {
        auto line = engine_.table().line(r.lineid);
        if (line) port = line->port;
    }
    if (port != kPortOfEntry) wired_.closeCom(port);
    engine_.table().updateLine(r.lineid, [](LineEntry& l) { l.portOpen = false; });
    (r.requester == PortRequester::Toggle ? engine_.portToggle : engine_.lineClosing).store(0);
}

void CMyThread::openPort(const LineRequest& r) {
    platform::EventHold hold(engine_.portEvent);
    auto line = engine_.table().line(r.lineid);
    if (line && wired_.openCom(line->port) != 0) {
        engine_.table().updateLine(r.lineid, [](LineEntry& l) { l.portOpen = true; });
    }
    if (r.requester == PortRequester::Toggle) engine_.portToggle.store(kToggleIdle);
}

void CMyThread::closeAllPorts() {
    platform::EventHold hold(engine_.portEvent);
    std::vector<int> ports = engine_.table().with([](std::vector<LineEntry>& lines) {
        std::vector<int> p;
        for (auto& l : lines) {
            if (l.wired != 0 && l.portOpen) {
                p.push_back(l.port);
                l.portOpen = false;
            }
        }
        return p;
    });
    for (int port : ports) wired_.closeCom(port);
}

}  // namespace tovanix::devices
