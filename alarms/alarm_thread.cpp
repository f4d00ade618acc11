#include "alarms/alarm_thread.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "alarms/alarm_text.h"
#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::alarms {

namespace {
constexpr std::size_t kPhoneTextSize = 20;  // the number travels in a 20-byte text
constexpr int kPowerPresent = 1;
}  // namespace

CAlarmThread::CAlarmThread(AlarmShared& shared, AlarmTiming timing, Log log, Now now, const std::string& folder)
    : MessageThread("alarm"), shared_(shared), timing_(timing), log_(std::move(log)), now_(std::move(now)) {
    api_.loadFrom(folder.empty() ? drivers::driverFolder() : folder, drivers::AlarmUse::AlarmThread);
    on(kMsgAlarmBoxOn, [this](const platform::Message&) { boxOn(); });
    on(kMsgAlarmBoxOff, [this](const platform::Message&) { boxOff(); });
    on(kMsgPowerCheck, [this](const platform::Message&) { powerCheck(); });
    on(kMsgPortTest, [this](const platform::Message& m) {
        const auto* r = m.as<PortTestRequest>();
        portTest(r != nullptr ? r->com : 0);
    });
    on(kMsgAlarmSms, [this](const platform::Message& m) {
        const auto* s = m.as<AlarmState>();
        sms(s != nullptr ? *s : AlarmState{});
    });
    start();
}

CAlarmThread::~CAlarmThread() {
    join();
}

std::uint32_t CAlarmThread::limitSeconds(const AlarmDeviceSettings& s) const {
    return static_cast<std::uint32_t>(s.gmsTime < 1 ? 1 : s.gmsTime) * 60u;
}

void CAlarmThread::log(const std::string& line) const {
    if (log_) log_(line);
}

std::tm CAlarmThread::localNow() const {
    return platform::localTm(now_ ? now_() : std::time(nullptr));
}

void CAlarmThread::boxOn() {
    AlarmDeviceSettings s = shared_.config.settings();
    if (shared_.boxTimer.load() < limitSeconds(s)) return;
    shared_.boxTimer.store(0);
    if (s.com == 0) return;
    if (!api_.openCom(s.com)) {
        log(platform::format("alarm: siren on: COM%d cannot be opened", s.com));
        return;
    }
    if (s.sound) {
        api_.openAlarm();
        log("alarm: siren switched on");
    }
    api_.closeCom();
}

void CAlarmThread::boxOff() {
    AlarmDeviceSettings s = shared_.config.settings();
    if (s.com == 0 || !api_.openCom(s.com)) return;
    api_.closeAlarm();
    api_.closeCom();
    log("alarm: siren switched off");
}

void CAlarmThread::portTest(int com) {
    const bool opened = com > 0 && api_.openCom(com);
    if (opened) api_.closeCom();
    shared_.portTestResult.store(opened ? kPortTestOpened : kPortTestMissing);
}

int CAlarmThread::sendToAll(const std::u16string& text, int com, const std::vector<std::string>& phones) {
    int served = 0;
    for (const std::string& phone : phones) {
        if (stopping_.load()) break;
        if (!api_.openCom(com)) {
            log(platform::format("alarm: COM%d cannot be opened, remaining numbers skipped", com));
            break;
        }
        char number[kPhoneTextSize] = {};
        std::strncpy(number, phone.c_str(), kPhoneTextSize - 1);
        int r = api_.gsmSendMessage(number, text.c_str());
        log(platform::format("alarm: short message to %s %s", number, r ? "sent" : "failed"));
        stopEvent_.waitFor(std::chrono::milliseconds(timing_.perNumberWaitMs));
        api_.closeCom();
        ++served;
    }
    return served;
}

void CAlarmThread::sms(const AlarmState& state) {
    const AlarmConfig::Snapshot snap = shared_.config.snapshot();
    const AlarmDeviceSettings& s = snap.settings;
    if (s.gms == 0 || s.com == 0) return;
    if (shared_.smsTimer.load() < limitSeconds(s)) return;
    shared_.smsTimer.store(0);
    const std::u16string text = platform::utf8ToUtf16(alarmMessage(state, localNow()));
    log("alarm: alarm message for " + state.deviceName);
    sendToAll(text, s.com, snap.phones);
}

void CAlarmThread::powerCheck() {
    const AlarmConfig::Snapshot snap = shared_.config.snapshot();
    const AlarmDeviceSettings& s = snap.settings;
    if (s.gms == 0) return;
    if (s.com == 0) {
        shared_.setStatusText(kStatusNoDevice);
        return;
    }
    if (!api_.openCom(s.com)) {
        shared_.setStatusText(kStatusOpenFailed);
        return;
    }
    shared_.setStatusText({});
    int power = api_.getPower();
    api_.closeCom();
    if (power == kPowerPresent) return;
    log("alarm: mains power failed (or no valid answer)");
    if (shared_.powerTimer.load() < limitSeconds(s)) return;
    shared_.powerTimer.store(0);
    sendToAll(platform::utf8ToUtf16(powerFailureMessage(localNow())), s.com, snap.phones);
}

}  // namespace tovanix::alarms
