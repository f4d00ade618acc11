#include "alarms/limit_check.h"

#include "platform/format.h"

namespace tovanix::alarms {

namespace {

int channelSign(const ChannelLimits& c, float value, int lowBit, int highBit) {
    if (c.enable == 0) return 0;
    if (value <= c.lower) return lowBit;
    if (value >= c.upper) return highBit;
    return 0;
}

int direction(const ChannelLimits& c, float value) {
    return value <= c.lower ? kDirectionBelow : kDirectionAbove;
}

}  // namespace

bool outOfLimits(const ChannelLimits& c, float value) {
    return c.enable != 0 && (value <= c.lower || value >= c.upper);
}

bool outOfLimits(const DeviceLimits& l, float ch1, float ch2) {
    return outOfLimits(l.ch1, ch1) || outOfLimits(l.ch2, ch2);
}

std::string alarmSign(const DeviceLimits& l, const float pair[2]) {
    if (l.ch1.enable == 0 && l.ch2.enable == 0) return "0";
    const int sign =
        channelSign(l.ch1, pair[0], kSignCh1Low, kSignCh1High) | channelSign(l.ch2, pair[1], kSignCh2Low, kSignCh2High);
    return std::to_string(sign);
}

LimitResult checkReading(const LimitInput& in) {
    LimitResult r;
    r.sign = alarmSign(in.limits, in.signPair);
    r.nextAlarmLogTime = in.nextAlarmLogTime;
    r.outOfLimits = outOfLimits(in.limits, in.ch1, in.ch2);
    if (!r.outOfLimits) {
        const bool alarmed = in.status == kLimitInAlarm || in.status == kLimitAlarmOver;
        r.status = alarmed ? kLimitAlarmOver : kLimitNormal;
        return r;
    }
    r.status = kLimitInAlarm;
    if (outOfLimits(in.limits.ch1, in.ch1)) {
        r.alarm.mask |= kMaskCh1;
        r.alarm.ch1Value = in.ch1;
        r.alarm.ch1Direction = direction(in.limits.ch1, in.ch1);
    }
    if (outOfLimits(in.limits.ch2, in.ch2)) {
        r.alarm.mask |= kMaskCh2;
        r.alarm.ch2Value = in.ch2;
        r.alarm.ch2Direction = direction(in.limits.ch2, in.ch2);
    }
    // Without the database nothing is logged, and the spacing does not move.
    if (!in.storing || in.minute < in.nextAlarmLogTime) return r;
    if (r.alarm.mask & kMaskCh1) {
        r.logRows.push_back({1, in.ch1, in.ch1 <= in.limits.ch1.lower});
    }
    if (r.alarm.mask & kMaskCh2) {
        r.logRows.push_back({2, in.ch2, in.ch2 <= in.limits.ch2.lower});
    }
    r.nextAlarmLogTime =
        in.minute + (in.recordInterval < kLongIntervalCode ? kAlarmLogSpacingShortS : kAlarmLogSpacingLongS);
    return r;
}

std::string describeAlarm(const DeviceLimits& l, const AlarmState& a) {
    std::string out;
    auto channel = [&](int number, float value, int direction, const ChannelLimits& c) {
        const bool above = direction == kDirectionAbove;
        if (!out.empty()) out += "; ";
        out += platform::format("channel %d %.1f %s limit %.1f", number, value, above ? "above the upper" : "below the lower",
                                above ? c.upper : c.lower);
    };
    if (a.mask & kMaskCh1) channel(1, a.ch1Value, a.ch1Direction, l.ch1);
    if (a.mask & kMaskCh2) channel(2, a.ch2Value, a.ch2Direction, l.ch2);
    return out;
}

}  // namespace tovanix::alarms
