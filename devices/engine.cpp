#include "devices/engine.h"

#include <utility>

#include "devices/polling_thread.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::devices {

Engine::Engine(EngineTiming timing) : timing_(timing) {}

Engine::~Engine() {
    stop();
}

void Engine::log(const std::string& line) const {
    if (!log_) return;
    log_(platform::localDateTime(now()) + " " + line);
}

ConfigLoadResult Engine::loadConfiguration() {
    ConfigLoadResult r = devices::loadConfiguration(table_, alarmShared_.config, now());
    updateInterval.store(r.scanInterval);
    storedUpdateInterval.store(r.storedScanInterval);
    {
        std::lock_guard<std::mutex> lock(infoMutex_);
        system_ = r.system;
    }
    if (!r.connected)
        log(std::string("configuration: ") + kCannotOpenDatabase);
    else
        log(platform::format("configuration: %d lines, %d devices", table_.lineCount(), table_.deviceCount()));
    if (r.skippedLines + r.skippedGroups + r.skippedDevices + r.skippedPhones > 0) {
        log(platform::format("configuration: beyond capacity, not loaded: %d lines, %d groups, %d devices, %d phones",
                             r.skippedLines, r.skippedGroups, r.skippedDevices, r.skippedPhones));
    }
    return r;
}

int Engine::assignSequenceNumbers() {
    return table_.with([](std::vector<LineEntry>& lines) {
        int n = 0;
        for (auto& l : lines) {
            for (auto& d : l.devices) d.sequence = ++n;
        }
        return n;
    });
}

void Engine::start() {
    if (polling_) return;
    stopping_.store(false);
    polling_ = std::make_unique<CMyThread>(*this);
    auto logger = [this](const std::string& s) { log(s); };
    alarm_ = std::make_unique<alarms::CAlarmThread>(alarmShared_, timing_.alarm, logger, now_, driverFolder_);
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timerStop_ = false;
        periodMs_ = timing_.firstScanMs;
        firstScanPending_ = true;
        nextScan_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timing_.firstScanMs);
    }
    timer_ = std::thread([this] { timerLoop(); });
}

void Engine::stop() {
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timerStop_ = true;
    }
    timerCv_.notify_all();
    if (timer_.joinable()) timer_.join();
    stopping_.store(true);
    if (polling_) {
        polling_->discardPending(
            [](const platform::Message& m) { return m.id == kMsgCloseAllPorts || m.id == kMsgClosePort; });
    }
    if (alarm_) {
        alarm_->discardPending([](const platform::Message&) { return false; });
        alarm_->requestStop();
    }
    polling_.reset();  // closes the ports still queued, then ends the receiver thread
    alarm_.reset();
    stopping_.store(false);
}

bool Engine::post(std::uint32_t message, std::any payload) {
    return polling_ && polling_->post(message, std::move(payload));
}

bool Engine::postAlarm(std::uint32_t message, std::any payload) {
    return alarm_ && alarm_->post(message, std::move(payload));
}

void Engine::restartScanTimer() {
    const long long period = scanPeriodMs(table_.deviceCount(), timing_.scanUnitMs);
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        firstScanPending_ = false;
        periodMs_ = period;
        nextScan_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(periodMs_);
    }
    timerCv_.notify_all();
}

long long Engine::currentScanPeriodMs() const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return periodMs_;
}

alarms::AlarmState Engine::lastAlarm() const {
    std::lock_guard<std::mutex> lock(infoMutex_);
    return lastAlarm_;
}

void Engine::setLastAlarm(const alarms::AlarmState& s) {
    std::lock_guard<std::mutex> lock(infoMutex_);
    lastAlarm_ = s;
}

SystemInfo Engine::systemInfo() const {
    std::lock_guard<std::mutex> lock(infoMutex_);
    return system_;
}

void Engine::setCompany(const std::string& companyName, const std::string& url) {
    std::lock_guard<std::mutex> lock(infoMutex_);
    system_.companyName = companyName;
    system_.url = url;
}

void Engine::beginFill() {
    std::lock_guard<std::mutex> lock(fillMutex_);
    fillRunning_ = true;
    scanDue_ = false;
}

void Engine::noteHandedScanStart() {
    const long long waited = (std::chrono::steady_clock::now() - dueAt_).count();
    long long longest = longestHandedScanDelayNs.load();
    while (waited > longest && !longestHandedScanDelayNs.compare_exchange_weak(longest, waited)) {
    }
}

bool Engine::takeDueScan() {
    std::lock_guard<std::mutex> lock(fillMutex_);
    if (!scanDue_) return false;
    noteHandedScanStart();
    scanDue_ = false;
    return true;
}

bool Engine::endFill() {
    std::lock_guard<std::mutex> lock(fillMutex_);
    fillRunning_ = false;
    if (!scanDue_) return false;
    noteHandedScanStart();
    scanDue_ = false;
    return true;
}

std::string Engine::gapNotice() const {
    std::lock_guard<std::mutex> lock(infoMutex_);
    return gapNotice_;
}

void Engine::setGapNotice(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(infoMutex_);
        gapNotice_ = text;
    }
    gapNotices.fetch_add(1);
}

void Engine::timerLoop() {
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + std::chrono::milliseconds(timing_.tickMs);
    std::unique_lock<std::mutex> lock(timerMutex_);
    while (!timerStop_) {
        auto wake = std::min(nextTick, nextScan_);
        timerCv_.wait_until(lock, wake, [&] { return timerStop_ || Clock::now() >= std::min(nextTick, nextScan_); });
        if (timerStop_) break;
        auto now = Clock::now();
        if (now >= nextTick) {
            alarmShared_.tick();
            nextTick += std::chrono::milliseconds(timing_.tickMs);
            if (nextTick < now) nextTick = now + std::chrono::milliseconds(timing_.tickMs);
        }
        if (now >= nextScan_) {
            // After the first scan the period follows the device count.
            if (firstScanPending_) {
                firstScanPending_ = false;
                lock.unlock();
                const long long period = scanPeriodMs(table_.deviceCount(), timing_.scanUnitMs);
                lock.lock();
                periodMs_ = period;
            }
            nextScan_ = now + std::chrono::milliseconds(periodMs_);
            bool handed = false;
            {
                std::lock_guard<std::mutex> fill(fillMutex_);
                if (fillRunning_) {
                    if (!scanDue_) dueAt_ = Clock::now();
                    handed = scanDue_ = true;
                }
            }
            if (handed) {
                scansPosted_.fetch_add(1);
            } else if (driverState.load() == kStateIdle) {
                // A pass is posted only while nothing runs, so passes never pile up.
                lock.unlock();
                bool posted = post(kMsgScan);
                lock.lock();
                if (posted) scansPosted_.fetch_add(1);
            } else {
                scansSkipped_.fetch_add(1);
            }
        }
    }
}

}  // namespace tovanix::devices
