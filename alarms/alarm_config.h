// Alarm-output settings (one row of TovanAlarmDeviceTable) and the phone
// list, held in memory for the whole run. Written by the settings pages,
// read by the alarm thread: one object under one lock, readers take copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tovanix::alarms {

inline constexpr int kMaxPhoneNumbers = 10;
inline constexpr std::uint32_t kTimerStartSeconds = 3600;

// Result codes of the port test (AlarmShared::portTestResult).
inline constexpr int kPortTestIdle = 0;
inline constexpr int kPortTestPending = 1;
inline constexpr int kPortTestOpened = 2;
inline constexpr int kPortTestMissing = 3;

struct AlarmDeviceSettings {
    int com = 0;       // port of the alarm box, 0 = none
    int sound = 0;     // switch the siren on for alarms
    int gms = 0;       // short messages and mains watch
    int gmsTime = 1;   // repeat interval, minutes, at least 1
};

class AlarmConfig {
public:
    // Settings and phone list as one copy: a job never sees half a change.
    struct Snapshot {
        AlarmDeviceSettings settings;
        std::vector<std::string> phones;
    };
    Snapshot snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return {settings_, phones_};
    }
    AlarmDeviceSettings settings() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return settings_;
    }
    void setSettings(AlarmDeviceSettings s) {
        if (s.gmsTime < 1) s.gmsTime = 1;
        std::lock_guard<std::mutex> lock(mutex_);
        settings_ = s;
    }
    std::vector<std::string> phones() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return phones_;
    }
    // Numbers beyond the tenth are dropped.
    void setPhones(std::vector<std::string> phones) {
        if (phones.size() > static_cast<std::size_t>(kMaxPhoneNumbers)) phones.resize(kMaxPhoneNumbers);
        std::lock_guard<std::mutex> lock(mutex_);
        phones_ = std::move(phones);
    }
    // False when the list is full.
    bool addPhone(const std::string& phone) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (phones_.size() >= static_cast<std::size_t>(kMaxPhoneNumbers)) return false;
        phones_.push_back(phone);
        return true;
    }

private:
    mutable std::mutex mutex_;  // guards settings_ and phones_
    AlarmDeviceSettings settings_;
    std::vector<std::string> phones_;
};

// What the alarm thread shares with the rest of the station: the three
// rate-limit counters (seconds since the last siren switch-on, alarm
// message and power-failure message; the one-second tick advances them, the
// alarm thread resets them) and the SMS-device status text.
class AlarmShared {
public:
    AlarmConfig config;
    std::atomic<std::uint32_t> smsTimer{kTimerStartSeconds};
    std::atomic<std::uint32_t> boxTimer{kTimerStartSeconds};
    std::atomic<std::uint32_t> powerTimer{kTimerStartSeconds};
    std::atomic<int> portTestResult{kPortTestIdle};

    void tick() {
        smsTimer.fetch_add(1);
        boxTimer.fetch_add(1);
        powerTimer.fetch_add(1);
    }
    std::string statusText() const {
        std::lock_guard<std::mutex> lock(statusMutex_);
        return status_;
    }
    void setStatusText(std::string s) {
        std::lock_guard<std::mutex> lock(statusMutex_);
        status_ = std::move(s);
    }

private:
    mutable std::mutex statusMutex_;  // guards status_
    std::string status_;
};

}  // namespace tovanix::alarms
