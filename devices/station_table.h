// The station table: the in-memory picture of lines, their groups and
// devices, shared by the window, the dialogs and the polling thread.
//
// One object, one lock (the station lock). Every access goes through with()
// or the member operations, which take the lock; nobody holds it across
// device I/O or a database call. The polling thread copies what it needs,
// works without the lock and writes its results back, finding the device
// again by (line id, address) since lines and devices may have moved
// meanwhile.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tovanix::devices {

inline constexpr int kMaxLines = 20;
inline constexpr int kMaxGroupsPerLine = 99;
inline constexpr int kMaxDevicesPerLine = 999;

// Device status as the status view shows it.
enum DeviceStatus : std::uint8_t {
    kStatusUnknown = 0,
    kStatusNormal = 1,
    kStatusAlarm = 2,
    kStatusAlarmOver = 3,
    kStatusNotAnswering = 4,
};

// Power kind: 0 external supply, 1..3 battery low/medium/full, 4 unknown.
enum PowerKind : std::uint8_t {
    kPowerExternal = 0,
    kPowerBatteryLow = 1,
    kPowerBatteryMedium = 2,
    kPowerBatteryFull = 3,
    kPowerUnknown = 4,
};

inline constexpr float kNoValue = 1000.0f;  // "no reading" in values and tables

struct DeviceEntry {
    std::uint16_t address = 0;         // DeviceNumber, bus address
    float ch1 = kNoValue;              // stored and tested values (readings 3 and 4)
    float ch2 = kNoValue;
    float pair1[2] = {kNoValue, kNoValue};  // readings 1 and 2, used for the alarm sign
    std::string readingTime;           // "%d-%02d-%02d %02d:%02d:00" of the last reading
    float ch1Lower = 0, ch1Upper = 0, ch2Lower = 0, ch2Upper = 0;
    int ch1Enable = 0;                 // nonzero: channel alarm on
    int ch2Enable = 0;
    std::string name;
    int lineid = 0;
    std::uint8_t status = kStatusNotAnswering;
    float power1 = 0, power2 = 0;
    std::uint8_t powerKind = kPowerUnknown;
    int failureCount = 0;
    int deviceid = 0;
    int readCounter = 0;
    int settingsLoaded = 0;            // alarm settings read from the logger this run
    int groupId = 0;                   // RoomID, 0 = directly under the line
    int sequence = 0;                  // tile position + 1, 0 = no tile
    std::uint8_t alarmOver = 0;
    int recordInterval = 1;            // minutes
    std::int64_t nextAlarmLogTime = 0; // seconds since the epoch
    std::uint8_t unacknowledged = 0;
    int probeType = 4;
    std::uint8_t running = 0;          // network loggers: recording
    // Loaded with the device.
    int sqlRecord = 0;
    int alarmGetSign = 0;
    std::time_t downLastTime = 0;
    std::time_t downTime3Hour = 0;
};

struct GroupEntry {
    std::string name;
    int lineid = 0;
    int roomid = 0;
};

struct LineEntry {
    std::string name;
    int lineid = 0;
    int port = 0;
    int wired = 1;          // 1 wired (polled here), 0 wireless
    bool portOpen = false;
    std::vector<GroupEntry> groups;
    std::vector<DeviceEntry> devices;
};

struct DeviceRef {
    int line = -1;    // index in the table
    int device = -1;  // index in the line
    bool valid() const { return line >= 0 && device >= 0; }
};

class StationTable {
public:
    StationTable() = default;
    StationTable(const StationTable&) = delete;
    StationTable& operator=(const StationTable&) = delete;

    // Runs f(lines) under the station lock.
    template <typename F>
    auto with(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(lines_);
    }
    template <typename F>
    auto with(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const std::vector<LineEntry>&>(lines_));
    }

    std::vector<LineEntry> snapshot() const;
    void clear();
    int lineCount() const;
    int deviceCount() const;

    // False when the table already holds kMaxLines lines.
    bool addLine(LineEntry line);
    // False when the line is unknown or holds kMaxGroupsPerLine groups.
    bool addGroup(int lineid, GroupEntry group);
    // Index of the new entry in its line, or -1 when the line is unknown or
    // full.
    int addDevice(int lineid, DeviceEntry device);
    bool removeLine(int lineid);
    bool removeDevice(int lineid, int address);
    // The group's devices move to the line (group id 0), copied into moved
    // when given; false when the line or the group is unknown.
    bool removeGroup(int lineid, int roomid, std::vector<DeviceEntry>* moved = nullptr);

    // Runs f(entry) under the lock on the device (line id, address), or on
    // the line; false when it is not in the table.
    template <typename F>
    bool updateDevice(int lineid, int address, F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        DeviceEntry* d = findIn(lines_, lineid, address);
        if (d == nullptr) return false;
        f(*d);
        return true;
    }
    template <typename F>
    bool updateLine(int lineid, F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& l : lines_) {
            if (l.lineid != lineid) continue;
            f(l);
            return true;
        }
        return false;
    }

    // For code already inside with(): the device, or nullptr; `line` gets its line.
    static DeviceEntry* findIn(std::vector<LineEntry>& lines, int lineid, int address, LineEntry** line = nullptr);
    // Name of the group with this id over all lines (the last match wins).
    static std::string groupNameIn(const std::vector<LineEntry>& lines, int roomid);

    int lineIndex(int lineid) const;
    DeviceRef find(int lineid, int address) const;
    std::optional<DeviceEntry> device(int lineid, int address) const;
    std::optional<LineEntry> line(int lineid) const;
    // Name of the group with this id over all lines (the last match wins).
    std::string groupName(int roomid) const;

private:
    static DeviceRef findLocked(const std::vector<LineEntry>& lines, int lineid, int address);
    mutable std::mutex mutex_;  // the station lock: guards lines_
    std::vector<LineEntry> lines_;
};

}  // namespace tovanix::devices
