// libWired.so loaded with dlopen from bin/ beside the test or benchmark
// folder, its operations looked up by name, as the station binds it.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tovanix::test {

struct WiredApi {
    int (*StartThread)(void) = nullptr;
    void (*EndThread)(void) = nullptr;
    int (*W_OpenCom)(int) = nullptr;
    int (*W_CloseCom)(int) = nullptr;
    int (*W_SetTargetDevice)(int, int) = nullptr;
    int (*W_DownloadNow)(int, char*, float*, float*) = nullptr;
    int (*W_GetAlarm)(int, char*, int*, int*, int*) = nullptr;
    int (*W_SetAlarm)(int, int, const int*, int, int) = nullptr;
    int (*W_GetRecordingInterval)(int) = nullptr;
    int (*W_GetClock)(int, char*) = nullptr;
    int (*W_SetClock)(int, const unsigned char*) = nullptr;
    int (*W_GetHistroy)(int, int, unsigned char (*)[5], double (*)[2], int*) = nullptr;
    int (*W_GetOldestRecordTime)(int, char*, int*, int*, int*) = nullptr;
    int (*W_SetRecordingInterval)(int, int) = nullptr;
    int (*W_ClearData)(int) = nullptr;

    void* handle = nullptr;
    std::string path;
    std::string error;

    // Looks for bin/<name> beside the folder of the running program.
    static std::string libraryPath(const std::string& name) {
        std::error_code ec;
        std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        return (self.parent_path().parent_path() / "bin" / name).string();
    }

    template <typename F>
    bool bind(F& slot, const char* name) {
        slot = reinterpret_cast<F>(::dlsym(handle, name));
        if (slot == nullptr) error += std::string(" missing ") + name;
        return slot != nullptr;
    }

    bool load() {
        path = libraryPath("libWired.so");
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* e = ::dlerror();
            error = e != nullptr ? e : "dlopen failed";
            return false;
        }
        bool ok = true;
        ok &= bind(StartThread, "StartThread");
        ok &= bind(EndThread, "EndThread");
        ok &= bind(W_OpenCom, "W_OpenCom");
        ok &= bind(W_CloseCom, "W_CloseCom");
        ok &= bind(W_SetTargetDevice, "W_SetTargetDevice");
        ok &= bind(W_DownloadNow, "W_DownloadNow");
        ok &= bind(W_GetAlarm, "W_GetAlarm");
        ok &= bind(W_SetAlarm, "W_SetAlarm");
        ok &= bind(W_GetRecordingInterval, "W_GetRecordingInterval");
        ok &= bind(W_GetClock, "W_GetClock");
        ok &= bind(W_SetClock, "W_SetClock");
        ok &= bind(W_GetHistroy, "W_GetHistroy");
        ok &= bind(W_GetOldestRecordTime, "W_GetOldestRecordTime");
        ok &= bind(W_SetRecordingInterval, "W_SetRecordingInterval");
        ok &= bind(W_ClearData, "W_ClearData");
        return ok;
    }

    void unload() {
        if (handle != nullptr) ::dlclose(handle);
        handle = nullptr;
    }
};

}  // namespace tovanix::test
