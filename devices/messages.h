// Thread messages of the polling thread and the request records that travel
// with them (by value: the dialog that posted a request may be gone when it
// is handled).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tovanix::devices {

enum PollingMessage : std::uint32_t {
    kMsgScan = 0x497,              // one polling pass
    kMsgQuickRead = 0x498,         // current values of every logger
    kMsgReadSettings = 0x499,      // alarm settings of loggers not read yet
    kMsgOpenPorts = 0x49A,         // open the port of every line
    kMsgDownloadChosen = 0x49B,    // history of chosen devices (HistoryRequest)
    kMsgProbeDevice = 0x49C,       // first contact with a new logger (DeviceRequest)
    kMsgStartLogging = 0x49D,      // set the clock and clear the logger (DeviceRequest)
    kMsgWriteAlarm = 0x49E,        // write limits (AlarmWriteRequest)
    kMsgWriteInterval = 0x49F,     // write the recording interval (IntervalRequest)
    kMsgClosePort = 0x4A2,         // close one line's port (LineRequest)
    kMsgOpenPort = 0x4A3,          // open one line's port (LineRequest)
    kMsgCloseAllPorts = 0x4A4,
    kMsgOpenTimer = 0x4A5,         // posted by nobody
    kMsgDownloadAll = 0x4A6,       // history of every device (HistoryRequest)
    kMsgCheckAddress = 0x4AA,      // does a logger answer at this address (DeviceRequest)
    kMsgFillGaps = 0x4B0,          // fetch the readings missed while running (posted by the scan)
};


// Devices are named by (line id, address) rather than by table indices,
// which shift when lines or devices are removed.
struct DeviceRequest {
    int lineid = 0;
    int address = 0;
};

inline constexpr int kPortOfEntry = -1;

// Who asked for a port to be closed or opened: each follows its own result
// code, so a line's deletion and the edit dialog's toggle never clear each
// other's.
enum class PortRequester { Deletion, Toggle };

struct LineRequest {
    int lineid = 0;
    // The port to close; kPortOfEntry reads it from the line's entry. A
    // deletion carries it, so the close never depends on the entry.
    int port = kPortOfEntry;
    PortRequester requester = PortRequester::Deletion;
};

struct AlarmWriteRequest {
    int lineid = 0;
    int address = 0;
    int enableBits = 0;        // channel 1 enable | channel 2 enable * 2
    int ch1Enable = 0;
    int ch2Enable = 0;
    int limitsTenths[4] = {};  // ch1 upper, ch1 lower, ch2 upper, ch2 lower
    std::string ch1Type, ch1Unit, ch2Type, ch2Unit;
    float ch1Upper = 0, ch1Lower = 0, ch2Upper = 0, ch2Lower = 0;
};

struct IntervalRequest {
    int lineid = 0;
    int address = 0;
    int minutes = 1;
};

struct HistoryRequest {
    std::time_t start = 0;
    std::time_t end = 0;
    std::vector<DeviceRequest> devices;  // 0x49B only
};


// Driver state codes shown by the window.
enum DriverState : int {
    kStateIdle = 0,
    kStateReadingAll = 101,
    kStateReadingPower = 102,
    kStateReadingSettings = 103,
    kStateProbing = 104,
    kStateReadingHistory = 105,
};

// Result codes the dialogs follow on their timers.
enum ResultCode : int {
    kResultNone = 0,
    kResultPending = 1,
    kResultDone = 2,
    kResultDeviceFailed = 3,
    kResultDatabaseFailed = 4,   // interval and alarm writes
    kResultPortClosed = 5,
};
// The edit dialog's port toggle (Engine::portToggle): pending close or open,
// back to idle when the polling thread has acted.
enum PortToggleState : int {
    kToggleIdle = 0,
    kToggleClosing = 1,
    kToggleOpening = 2,
};
// Start logging uses 4 for "port not open".
inline constexpr int kStartLoggingPortClosed = 4;

}  // namespace tovanix::devices
