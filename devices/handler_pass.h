// A polling-thread handler's hold on the device event (or another event),
// with the driver state code shown meanwhile and put back to idle on every
// way out. Shared by the polling thread's source files.
#pragma once

#include <atomic>

#include "devices/messages.h"
#include "platform/event.h"

namespace tovanix::devices {

class Pass {
public:
    Pass(platform::AutoResetEvent& e, std::atomic<int>& state, int code) : hold_(e), state_(state) {
        state_.store(code);
    }
    ~Pass() { state_.store(kStateIdle); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

private:
    platform::EventHold hold_;
    std::atomic<int>& state_;  // the engine's driver state code (atomic, no lock)
};

}  // namespace tovanix::devices
