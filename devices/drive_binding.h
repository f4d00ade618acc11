// CTovanDeviveDrive: the binder the device dialogs use. It binds all three
// libraries and runs the settings-read thread, which reads one logger's
// alarm settings into the station table and the database while holding the
// device event.
#pragma once

#include <thread>

#include "drivers/driver_api.h"
#include "devices/messages.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

inline constexpr const char* kThreadRunning = "线程在运行";

class CTovanDeviveDrive {
public:
    // Binds Tevlib, then Wired, then Alarm. The prompter (optional) shows
    // "线程在运行" when the binder goes while a logger task still runs.
    explicit CTovanDeviveDrive(Engine& engine, Prompter* prompter = nullptr);
    ~CTovanDeviveDrive();
    CTovanDeviveDrive(const CTovanDeviveDrive&) = delete;
    CTovanDeviveDrive& operator=(const CTovanDeviveDrive&) = delete;

    // Starts the settings-read thread for one device. Its end is seen in the
    // engine's settingsPageState (1) and driverState (0).
    void startSettingsRead(const DeviceRequest& request);
    // Waits for a settings-read thread started here.
    void join();

    const drivers::WiredApi& wired() const { return wired_; }
    const drivers::AlarmApi& alarm() const { return alarm_; }
    const drivers::TevlibApi& tevlib() const { return tevlib_; }

private:
    void readSettings(DeviceRequest request);

    Engine& engine_;
    Prompter* prompter_;
    drivers::TevlibApi tevlib_;
    drivers::WiredApi wired_;
    drivers::AlarmApi alarm_;
    std::thread worker_;
};

}  // namespace tovanix::devices
