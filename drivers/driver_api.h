// The three driver libraries, loaded at run time by absolute path from the
// program folder and bound entry by entry by exported name. A library or
// entry that is missing leaves a null entry; every call through a null entry
// is a failed operation (result 0) and shows nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace tovanix::drivers {

inline constexpr const char* kWiredLibrary = "libWired.so";
inline constexpr const char* kAlarmLibrary = "libAlarm.so";
inline constexpr const char* kTevlibLibrary = "libTevlib.so";

// Result codes of the wired operations on success.
inline constexpr int kDownloadNowOk = 22;
inline constexpr int kGetAlarmOk = 33;
// Time texts are written without a terminating zero into a zero-filled
// buffer of at least this size.
inline constexpr int kTimeTextSize = 50;
inline constexpr int kHistoryBlockRecords = 20;

// Which entries a binder looks up (each binder has its own set).
enum class WiredUse { Drive, Polling };

class WiredApi {
public:
    // Loads from a folder, normally driverFolder().
    bool loadFrom(const std::string& folder, WiredUse use);
    bool loaded() const { return lib_.isOpen(); }

    int startThread() const { return startThread_ ? startThread_() : 0; }
    void endThread() const {
        if (endThread_) endThread_();
    }
    int openCom(int port) const { return openCom_ ? openCom_(port) : 0; }
    int closeCom(int port) const { return closeCom_ ? closeCom_(port) : 0; }
    int setTargetDevice(int port, int address) const { return setTarget_ ? setTarget_(port, address) : 0; }
    int downloadNow(int port, char* timeText, float r12[2], float r34[2]) const {
        return downloadNow_ ? downloadNow_(port, timeText, r12, r34) : 0;
    }
    int getAlarm(int port, char* mask, int limits[4], int* soundDuration, int* interval) const {
        return getAlarm_ ? getAlarm_(port, mask, limits, soundDuration, interval) : 0;
    }
    int setAlarm(int port, int mask, const int limits[4], int soundDuration, int interval) const {
        return setAlarm_ ? setAlarm_(port, mask, limits, soundDuration, interval) : 0;
    }
    int getRecordingInterval(int port) const { return getInterval_ ? getInterval_(port) : 0; }
    int getClock(int port, char* timeText) const { return getClock_ ? getClock_(port, timeText) : 0; }
    int setClock(int port, const unsigned char bcd[6]) const { return setClock_ ? setClock_(port, bcd) : 0; }
    int getHistory(int port, int block, unsigned char times[][5], double values[][2], int* count) const {
        return getHistory_ ? getHistory_(port, block, times, values, count) : 0;
    }
    int getOldestRecordTime(int port, char* timeText, int* interval, int* count, int* second) const {
        return getOldest_ ? getOldest_(port, timeText, interval, count, second) : 0;
    }
    int setRecordingInterval(int port, int interval) const { return setInterval_ ? setInterval_(port, interval) : 0; }
    int clearData(int port) const { return clearData_ ? clearData_(port) : 0; }
    int openTimer() const { return openTimer_ ? openTimer_() : 0; }

    bool has(const char* entry) const;

private:
    platform::DynamicLibrary lib_;
    int (*startThread_)() = nullptr;
    void (*endThread_)() = nullptr;
    int (*openCom_)(int) = nullptr;
    int (*closeCom_)(int) = nullptr;
    int (*setTarget_)(int, int) = nullptr;
    int (*downloadNow_)(int, char*, float*, float*) = nullptr;
    int (*getAlarm_)(int, char*, int*, int*, int*) = nullptr;
    int (*setAlarm_)(int, int, const int*, int, int) = nullptr;
    int (*getInterval_)(int) = nullptr;
    int (*getClock_)(int, char*) = nullptr;
    int (*setClock_)(int, const unsigned char*) = nullptr;
    int (*getHistory_)(int, int, unsigned char (*)[5], double (*)[2], int*) = nullptr;
    int (*getOldest_)(int, char*, int*, int*, int*) = nullptr;
    int (*setInterval_)(int, int) = nullptr;
    int (*clearData_)(int) = nullptr;
    int (*openTimer_)() = nullptr;
    // Looked up, never called.
    void* getRecentRecord_ = nullptr;
    void* getHistoryEx_ = nullptr;
    void* downloadAll_ = nullptr;
};

enum class AlarmUse { Drive, Polling, AlarmThread };

class AlarmApi {
public:
    bool loadFrom(const std::string& folder, AlarmUse use);
    bool loaded() const { return lib_.isOpen(); }

    int openCom(int port) const { return openCom_ ? openCom_(port) : 0; }
    int closeCom() const { return closeCom_ ? closeCom_() : 0; }
    int openAlarm() const { return openAlarm_ ? openAlarm_() : 0; }
    int closeAlarm() const { return closeAlarm_ ? closeAlarm_() : 0; }
    int gsmSendAt() const { return sendAt_ ? sendAt_() : 0; }
    int gsmSendMessage(const char* phone, const char16_t* text) const {
        return sendMessage_ ? sendMessage_(phone, text) : 0;
    }
    int getPower() const { return getPower_ ? getPower_() : 0; }
    bool has(const char* entry) const;

private:
    platform::DynamicLibrary lib_;
    int (*openCom_)(int) = nullptr;
    int (*closeCom_)() = nullptr;
    int (*openAlarm_)() = nullptr;
    int (*closeAlarm_)() = nullptr;
    int (*sendAt_)() = nullptr;
    int (*sendMessage_)(const char*, const char16_t*) = nullptr;
    int (*getPower_)() = nullptr;
};

class TevlibApi {
public:
    bool loadFrom(const std::string& folder);
    bool loaded() const { return lib_.isOpen(); }

    int open(int port) const { return open_ ? open_(port) : 0; }
    void close() const {
        if (close_) close_();
    }
    void setTargetDevice(int address) const {
        if (setTarget_) setTarget_(address);
    }
    int getState(unsigned char* running, float* power1, float* power2, unsigned char* powerKind) const {
        return getState_ ? getState_(running, power1, power2, powerKind) : 0;
    }
    int start() const { return start_ ? start_() : 0; }
    int stop() const { return stop_ ? stop_() : 0; }
    int getBeep(unsigned char* enable, unsigned char* monitor, unsigned char* duration) const {
        return getBeep_ ? getBeep_(enable, monitor, duration) : 0;
    }
    int getConfig(int* interval, int* unit, int* sampling, int* lcdOff) const {
        return getConfig_ ? getConfig_(interval, unit, sampling, lcdOff) : 0;
    }
    // Looked up when it is needed, as the device information dialog does.
    int setDeviceId(int newAddress) const;
    bool has(const char* entry) const;

private:
    platform::DynamicLibrary lib_;
    int (*open_)(int) = nullptr;
    void (*close_)() = nullptr;
    void (*setTarget_)(int) = nullptr;
    int (*getState_)(unsigned char*, float*, float*, unsigned char*) = nullptr;
    int (*start_)() = nullptr;
    int (*stop_)() = nullptr;
    int (*getBeep_)(unsigned char*, unsigned char*, unsigned char*) = nullptr;
    int (*getConfig_)(int*, int*, int*, int*) = nullptr;
    // Looked up, not called.
    void* others_[14] = {};
};

// Folder the libraries are loaded from: the program folder, or
// $TOVANIX_DRIVER_DIR when set (tests that run from another folder).
std::string driverFolder();

}  // namespace tovanix::drivers
