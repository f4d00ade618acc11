#include "drivers/driver_api.h"

#include <cstdlib>

#include "platform/paths.h"

namespace tovanix::drivers {

namespace {
template <typename Fn>
void bind(const platform::DynamicLibrary& lib, Fn& fn, const char* name) {
    fn = lib.entry<Fn>(name);
}

const char* const kTevlibLookedUpOnly[14] = {
    "T_DownloadNow", "T_SetTimeouts", "T_GetTimeouts",    "T_SetClock",   "T_Clear",   "T_SetAlarmConfig",
    "T_GetAlarmConfig", "T_SetAlarmChl", "T_SetBeep",    "T_SetAlarmEnable", "T_GetClock", "T_SetConfig",
    "T_DownloadAll", "T_DownloadAllEx"};
}  // namespace

std::string driverFolder() {
    if (const char* d = std::getenv("TOVANIX_DRIVER_DIR"); d != nullptr && *d == '/') return d;
    return platform::programFolder();
}

bool WiredApi::loadFrom(const std::string& folder, WiredUse use) {
    lib_.open(folder + "/" + kWiredLibrary);
    // In the order the binders have always looked them up.
    bind(lib_, openCom_, "W_OpenCom");
    bind(lib_, setTarget_, "W_SetTargetDevice");
    bind(lib_, downloadNow_, "W_DownloadNow");
    bind(lib_, closeCom_, "W_CloseCom");
    getRecentRecord_ = lib_.symbol("W_GetRecentRecord");
    bind(lib_, setAlarm_, "W_SetAlarm");
    bind(lib_, getClock_, "W_GetClock");
    bind(lib_, setClock_, "W_SetClock");
    bind(lib_, getOldest_, "W_GetOldestRecordTime");
    bind(lib_, getHistory_, "W_GetHistroy");
    getHistoryEx_ = lib_.symbol("W_GetHistroyEX");
    downloadAll_ = lib_.symbol("W_DownloadAll");
    bind(lib_, getInterval_, "W_GetRecordingInterval");
    bind(lib_, setInterval_, "W_SetRecordingInterval");
    bind(lib_, clearData_, "W_ClearData");
    // The settings-read thread of the drive binder reads alarm settings too,
    // so every binder needs this entry.
    bind(lib_, getAlarm_, "W_GetAlarm");
    if (use == WiredUse::Polling) {
        bind(lib_, openTimer_, "W_OpenTimer");
        bind(lib_, startThread_, "StartThread");
        bind(lib_, endThread_, "EndThread");
    }
    return lib_.isOpen();
}

bool WiredApi::has(const char* entry) const { return lib_.symbol(entry) != nullptr; }

bool AlarmApi::loadFrom(const std::string& folder, AlarmUse use) {
    lib_.open(folder + "/" + kAlarmLibrary);
    bind(lib_, openCom_, "W_OpenCom");
    bind(lib_, closeCom_, "W_CloseCom");
    bind(lib_, openAlarm_, "W_OpenAlarm");
    bind(lib_, closeAlarm_, "W_CloseAlarm");
    bind(lib_, sendAt_, "W_GSMSendAT");
    bind(lib_, sendMessage_, "W_GSMSendMessage");
    if (use != AlarmUse::Drive) bind(lib_, getPower_, "W_GetPower");
    return lib_.isOpen();
}

bool AlarmApi::has(const char* entry) const { return lib_.symbol(entry) != nullptr; }

bool TevlibApi::loadFrom(const std::string& folder) {
    lib_.open(folder + "/" + kTevlibLibrary);
    bind(lib_, open_, "T_Open");
    bind(lib_, close_, "T_Close");
    bind(lib_, setTarget_, "T_SetTargetDevice");
    bind(lib_, getState_, "T_GetState");
    bind(lib_, start_, "T_Start");
    bind(lib_, stop_, "T_Stop");
    bind(lib_, getBeep_, "T_GetBeep");
    bind(lib_, getConfig_, "T_GetConfig");
    for (int i = 0; i < 14; ++i) others_[i] = lib_.symbol(kTevlibLookedUpOnly[i]);
    return lib_.isOpen();
}

int TevlibApi::setDeviceId(int newAddress) const {
    auto fn = lib_.entry<int (*)(int)>("T_SetDeviceID");
    return fn ? fn(newAddress) : 0;
}

bool TevlibApi::has(const char* entry) const { return lib_.symbol(entry) != nullptr; }

}  // namespace tovanix::drivers
