// CAlarmThread: every action on the alarm device (siren, mains power, short
// messages) runs here, one job at a time, in the order posted, so a slow
// short message never blocks the polling thread or the window.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "alarms/alarm_config.h"
#include "drivers/driver_api.h"
#include "alarms/alarm_messages.h"
#include "platform/event.h"
#include "platform/message_thread.h"

namespace tovanix::alarms {

struct AlarmTiming {
    int perNumberWaitMs = 6000;  // the modem needs this between two messages
};

class CAlarmThread : public platform::MessageThread {
public:
    using Log = std::function<void(const std::string&)>;
    using Now = std::function<std::time_t()>;

    // Binds the Alarm library (from `driverFolder` when given) and starts
    // the message loop.
    CAlarmThread(AlarmShared& shared, AlarmTiming timing = {}, Log log = {}, Now now = {},
                 const std::string& driverFolder = {});
    ~CAlarmThread() override;

    const drivers::AlarmApi& api() const { return api_; }
    // A job that serves several numbers stops after the current one.
    void requestStop() {
        stopping_.store(true);
        stopEvent_.set();
    }

private:
    void boxOn();
    void boxOff();
    void sms(const AlarmState& state);
    void powerCheck();
    void portTest(int com);
    // Opens, sends and closes per number; stops at the first port that
    // cannot be opened. Returns the numbers served.
    int sendToAll(const std::u16string& text, int com, const std::vector<std::string>& phones);
    std::uint32_t limitSeconds(const AlarmDeviceSettings& s) const;
    void log(const std::string& line) const;
    std::tm localNow() const;

    AlarmShared& shared_;
    AlarmTiming timing_;
    Log log_;
    Now now_;
    drivers::AlarmApi api_;
    std::atomic<bool> stopping_{false};
    platform::AutoResetEvent stopEvent_;  // ends the wait between two numbers early
};

}  // namespace tovanix::alarms
