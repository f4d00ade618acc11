#include "devices/device_record.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "devices/engine.h"
#include "devices/set_device.h"
#include "devices/set_device_store.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {
constexpr int kMinutesPerHour = 60;
constexpr int kMaxHours = 24;
constexpr int kMaxMinutes = 59;
constexpr int kMaxUpdateMinutes = 24 * 60;

std::optional<int> parseWhole(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno != 0) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || v < -kMaxUpdateMinutes * kMinutesPerHour || v > kMaxUpdateMinutes * kMinutesPerHour)
        return std::nullopt;
    return static_cast<int>(v);
}

UpdateOutcome stay(Prompter& p, const char* text, const char* caption, UpdateField focus) {
    p.inform(text, caption);
    return {false, focus};
}
}  // namespace

std::string wiredIntervalText(int minutes) {
    if (minutes < kMinutesPerHour) return platform::format(kMinutesFormat, minutes);
    return platform::format(kHoursFormat, minutes / kMinutesPerHour);
}

std::string networkIntervalText(int value, int unit) {
    const char* name = unit >= 0 && unit < static_cast<int>(std::size(kUnitNames)) ? kUnitNames[unit] : kUnitWrong;
    return platform::format("%d%s", value, name);
}

int wiredIntervalIndex(int minutes) {
    for (int i = 0; i < static_cast<int>(std::size(kWiredIntervals)); ++i) {
        if (kWiredIntervals[i].minutes == minutes) return i;
    }
    return -1;
}

int wiredIntervalMinutes(int index, int current) {
    if (index < 0 || index >= static_cast<int>(std::size(kWiredIntervals))) return current;
    return kWiredIntervals[index].minutes;
}

platform::ResultFollower::Request intervalWriteRequest(Engine& engine, const IntervalRequest& request) {
    platform::ResultFollower::Request r;
    r.post = [&engine, request] { return engine.post(kMsgWriteInterval, request); };
    r.code = &engine.intervalResult;
    r.pending = kResultPending;
    r.idle = kResultNone;
    r.timeout = std::chrono::milliseconds(kRequestTimeoutMs);
    return r;
}

PageButton reportIntervalWrite(Prompter& p, platform::ResultFollower::Step step, int code) {
    using Step = platform::ResultFollower::Step;
    if (step == Step::Finished && code == kResultDone) return {kApplied, true};
    if (step == Step::Finished && code == kResultDatabaseFailed) {
        p.inform(kDeviceSetDatabaseFailed, kDatabaseCaption);
        return {kApply, true};
    }
    if (step == Step::Finished && code == kResultPortClosed) {
        p.inform(kPortNotOpen, kPortCaption);
        return {kChangeAgain, true};
    }
    p.inform(kSettingFailed, kCaptionInfo);
    return {kApply, true};
}

UpdateOutcome submitUpdateInterval(Prompter& p, Engine& engine, const std::string& hoursText,
                                   const std::string& minutesText) {
    const auto hours = parseWhole(hoursText);
    if (!hours) return stay(p, kNumbersOnly, kHoursCaption, UpdateField::Hours);
    const auto minutes = parseWhole(minutesText);
    if (!minutes) return stay(p, kNumbersOnly, kHoursCaption, UpdateField::Minutes);
    if (*hours < 0 || *hours > kMaxHours) return stay(p, kHoursRange, kHoursCaption, UpdateField::Hours);
    if (*minutes < 0 || *minutes > kMaxMinutes) return stay(p, kMinutesRange, kHoursCaption, UpdateField::Minutes);
    const int total = *hours * kMinutesPerHour + *minutes;
    if (total > kMaxUpdateMinutes) return stay(p, kUpdateTooLong, kUpdateCaption, UpdateField::Minutes);
    if (total == 0) return stay(p, kUpdateTooShort, kUpdateCaption, UpdateField::Minutes);
    switch (storeUpdateInterval(total, engine.storedUpdateInterval.load())) {
        case db::StoreResult::ConnectFailed:
            return stay(p, kDatabaseOpenFailed, kDatabaseCaption, UpdateField::None);
        case db::StoreResult::Failed:
            return stay(p, kDatabaseOperationFailed, kDatabaseCaption, UpdateField::None);
        case db::StoreResult::Done:
            break;
    }
    engine.updateInterval.store(total);
    engine.storedUpdateInterval.store(total);
    return {true, UpdateField::None};
}

int updateHours(int minutes) {
    return minutes / kMinutesPerHour;
}

int updateMinutes(int minutes) {
    return minutes % kMinutesPerHour;
}

}  // namespace tovanix::devices
