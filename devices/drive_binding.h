// CTovanDeviveDrive: the binder the device dialogs use. It binds all three
// libraries and runs the settings-read thread, which reads one logger's
// alarm settings into the station table and the database while holding the
// device event.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <string>

#include "drivers/driver_api.h"
#include "devices/edit_device_store.h"
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

    // How one settings read went, for the page that started it (the
    // engine's settingsPageState is shared by every reader).
    struct SettingsRead {
        std::atomic<bool> done{false};
        std::atomic<bool> ok{false};  // the logger's settings were read
    };

    // Starts the settings-read thread for one device and returns at once,
    // also while an earlier read still waits for the device event: a page
    // never waits on a thread. Its end is seen in the returned record and in
    // the engine's settingsPageState (1) and driverState (0).
    std::shared_ptr<const SettingsRead> startSettingsRead(const DeviceRequest& request);

    // A network logger's start, stop or new address through Tevlib, on a
    // thread of its own under the device event (the receiver's replies take
    // up to two seconds). Once the logger took a new address the same thread
    // names and moves its row and entry, so they follow it even when the
    // window closed or gave up meanwhile.
    enum class NetworkJob { Start, Stop, SetAddress };
    struct NetworkRequest {
        NetworkJob job = NetworkJob::Start;
        int port = 0;
        int address = 0;
        // SetAddress: the new address, and the row to store with it.
        int newAddress = 0;
        int lineid = 0;
        int rowId = 0;
        std::string name;
    };
    // Pending until the job ends, then one of the others.
    enum NetworkOutcome : int { kNetworkPending = 1, kNetworkDone = 2, kNetworkFailed = 3, kNetworkPortFailed = 4 };
    struct NetworkResult {
        std::atomic<int> outcome{kNetworkPending};
        std::atomic<bool> done{false};
        // The logger's state after a start; read once outcome is done.
        unsigned char running = 0;
        float power1 = 0, power2 = 0;
        unsigned char powerKind = 0;
        // How the row and the entry took a new address; read once outcome is done.
        ReAddressResult stored = ReAddressResult::Failed;
    };
    // The caller makes the result, so it can follow it from before the start.
    void startNetworkJob(const NetworkRequest& request, std::shared_ptr<NetworkResult> result);
    // Waits for every settings-read thread started here (tests, and the
    // binder's end, when the program closes).
    void join();

    const drivers::WiredApi& wired() const { return wired_; }
    const drivers::AlarmApi& alarm() const { return alarm_; }
    const drivers::TevlibApi& tevlib() const { return tevlib_; }

private:
    void readSettings(DeviceRequest request, SettingsRead& result);
    void runNetworkJob(NetworkRequest request, NetworkResult& result);
    // Joins the threads that have ended (which returns at once).
    void reapEnded();

    Engine& engine_;
    Prompter* prompter_;
    drivers::TevlibApi tevlib_;
    drivers::WiredApi wired_;
    drivers::AlarmApi alarm_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<const void> result;  // keeps `done` alive
        const std::atomic<bool>* done;
    };
    std::vector<Worker> workers_;  // UI thread only
};

}  // namespace tovanix::devices
