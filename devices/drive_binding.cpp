#include "devices/drive_binding.h"

#include <chrono>

#include "platform/prompter.h"
#include "db/connection.h"
#include "devices/device_store.h"
#include "devices/edit_device.h"
#include "devices/engine.h"
#include "devices/polling_thread.h"
#include "platform/event.h"

namespace tovanix::devices {

CTovanDeviveDrive::CTovanDeviveDrive(Engine& engine, Prompter* prompter) : engine_(engine), prompter_(prompter) {
    const std::string dir = engine_.driverFolder();
    tevlib_.loadFrom(dir);
    wired_.loadFrom(dir, drivers::WiredUse::Drive);
    alarm_.loadFrom(dir, drivers::AlarmUse::Drive);
}

CTovanDeviveDrive::~CTovanDeviveDrive() {
    bool running = false;
    for (const Worker& w : workers_) running = running || !w.done->load();
    if (engine_.runningFlag.load() == 1 && running) {
        if (prompter_ != nullptr)
            prompter_->inform(kThreadRunning, "Tovanix");
        else
            engine_.log(kThreadRunning);
    }
    // The thread uses this binder's entries; it must end before they go.
    join();
}

void CTovanDeviveDrive::join() {
    for (Worker& w : workers_) {
        if (w.thread.joinable()) w.thread.join();
    }
    workers_.clear();
}

void CTovanDeviveDrive::reapEnded() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (!it->done->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = workers_.erase(it);
    }
}

std::shared_ptr<const CTovanDeviveDrive::SettingsRead> CTovanDeviveDrive::startSettingsRead(
    const DeviceRequest& request) {
    reapEnded();
    engine_.settingsPageState.store(0);
    auto read = std::make_shared<SettingsRead>();
    workers_.push_back({std::thread([this, request, read] { readSettings(request, *read); }), read, &read->done});
    return read;
}

void CTovanDeviveDrive::startNetworkJob(const NetworkRequest& request, std::shared_ptr<NetworkResult> result) {
    reapEnded();
    const std::atomic<bool>* done = &result->done;
    std::thread t([this, request, result] { runNetworkJob(request, *result); });
    workers_.push_back({std::move(t), std::move(result), done});
}

void CTovanDeviveDrive::runNetworkJob(NetworkRequest r, NetworkResult& result) {
    int outcome = kNetworkFailed;
    {
        platform::EventHold hold(engine_.deviceEvent);
        if (!tevlib_.open(r.port)) {
            outcome = kNetworkPortFailed;
        } else {
            tevlib_.setTargetDevice(r.address);
            bool ok = false;
            switch (r.job) {
                case NetworkJob::Start:
                    ok = tevlib_.start() &&
                         tevlib_.getState(&result.running, &result.power1, &result.power2, &result.powerKind);
                    break;
                case NetworkJob::Stop:
                    ok = tevlib_.stop() != 0;
                    break;
                case NetworkJob::SetAddress:
                    ok = tevlib_.setDeviceId(r.newAddress) != 0;
                    break;
            }
            tevlib_.close();
            outcome = ok ? kNetworkDone : kNetworkFailed;
        }
    }
    // After the device event: the database is never waited on while holding it.
    if (r.job == NetworkJob::SetAddress && outcome == kNetworkDone)
        result.stored = storeDeviceIdentity(engine_, r.rowId, r.lineid, r.address, r.newAddress, r.name);
    // The state fields are written before the outcome that publishes them.
    result.outcome.store(outcome);
    result.done.store(true);
}

void CTovanDeviveDrive::readSettings(DeviceRequest r, SettingsRead& result) {
    // The port event first, as the polling thread takes them: a line dialog
    // opening or closing the port meanwhile waits for this read.
    platform::EventHold port(engine_.portEvent);
    platform::EventHold hold(engine_.deviceEvent);
    engine_.driverState.store(kStateReadingSettings);
    engine_.runningFlag.store(1);
    auto line = engine_.table().line(r.lineid);
    auto dev = engine_.table().device(r.lineid, r.address);
    if (line && dev && line->wired != 0) {
        // The polling thread may hold the port already; then it is used as it
        // is and left open.
        const bool ownPort = !line->portOpen;
        if (!ownPort || wired_.openCom(line->port)) {
            wired_.setTargetDevice(line->port, r.address);
            std::this_thread::sleep_for(std::chrono::milliseconds(engine_.timing().settingsPauseMs));
            char mask = 0;
            int limits[4] = {};
            int duration = 0, interval = 0;
            if (wired_.getAlarm(line->port, &mask, limits, &duration, &interval)) {
                LoggerSettings s = fromLoggerAlarm(static_cast<unsigned char>(mask), limits, duration, interval);
                engine_.table().updateDevice(r.lineid, r.address, [&](DeviceEntry& d) {
                    d.status = kStatusNormal;
                    applyAlarmSettings(d, s);
                    d.settingsLoaded = 1;
                });
                db::Connection c;
                if (c.open()) storeLoggerSettings(c, s, SettingsKey::ByDeviceid, dev->deviceid, r.lineid);
                result.ok.store(true);
            }
            if (ownPort) wired_.closeCom(line->port);
        }
    } else if (line && dev) {
        if (tevlib_.open(line->port)) {
            tevlib_.setTargetDevice(r.address);
            unsigned char enable = 0, monitor = 0, duration = 0;
            int interval = 0, unit = 0, sampling = 0, lcdOff = 0;
            if (tevlib_.getBeep(&enable, &monitor, &duration) &&
                tevlib_.getConfig(&interval, &unit, &sampling, &lcdOff)) {
                // The channel fields come from the entry: the receiver does not report them.
                LoggerSettings s;
                s.ch1Enable = dev->ch1Enable;
                s.ch1Lower = dev->ch1Lower;
                s.ch1Upper = dev->ch1Upper;
                s.ch2Enable = dev->ch2Enable;
                s.ch2Lower = dev->ch2Lower;
                s.ch2Upper = dev->ch2Upper;
                s.alarmSoundEnable = enable;
                s.alarmSoundMonitorInter = monitor;
                s.alarmSoundDuration = duration;
                s.recordInter = interval;
                s.recordInterUnit = unit;
                s.samplingInter = sampling;
                s.lcdOffDelay = lcdOff;
                db::Connection c;
                if (c.open()) storeLoggerSettings(c, s, SettingsKey::ByDeviceid, dev->deviceid, r.lineid);
                engine_.table().updateDevice(r.lineid, r.address, [](DeviceEntry& d) { d.settingsLoaded = 1; });
                result.ok.store(true);
            }
            tevlib_.close();
        }
    }
    engine_.runningFlag.store(0);
    engine_.finishedFlag.store(1);
    engine_.driverState.store(kStateIdle);
    engine_.settingsPageState.store(1);
    result.done.store(true);
}

}  // namespace tovanix::devices
