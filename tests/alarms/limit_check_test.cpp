#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alarms/limit_check.h"

namespace tovanix::alarms {
namespace {

constexpr std::int64_t kMinute = 1796634300;  // a whole minute
constexpr float kInside1 = 5.0f;              // within kUsual's channel 1
constexpr float kInside2 = 50.0f;             // within kUsual's channel 2
const DeviceLimits kUsual{{1, 2.0f, 8.0f}, {2, 30.0f, 80.0f}};

DeviceLimits enabled(const DeviceLimits& l, int en1, int en2) {
    DeviceLimits out = l;
    out.ch1.enable = en1;
    out.ch2.enable = en2;
    return out;
}

// A reading that is due for the alarm log, with the database up.
LimitInput due(const DeviceLimits& l, float ch1, float ch2) {
    LimitInput in;
    in.limits = l;
    in.ch1 = ch1;
    in.ch2 = ch2;
    in.signPair[0] = ch1;
    in.signPair[1] = ch2;
    in.status = kLimitNormal;
    in.nextAlarmLogTime = 0;
    in.minute = kMinute;
    in.recordInterval = 1;
    in.storing = true;
    return in;
}

struct Row {
    int channel;
    bool belowLower;
};

std::string describe(const LimitInput& in) {
    return "limits " + std::to_string(in.limits.ch1.enable) + ":" + std::to_string(in.limits.ch1.lower) + ".." +
           std::to_string(in.limits.ch1.upper) + " " + std::to_string(in.limits.ch2.enable) + ":" +
           std::to_string(in.limits.ch2.lower) + ".." + std::to_string(in.limits.ch2.upper) + " reading " +
           std::to_string(in.ch1) + "," + std::to_string(in.ch2);
}

TEST(LimitCheck, ChannelsBelowAboveAndInside) {
    const DeviceLimits negative{{1, -20.0f, -5.0f}, {1, -40.0f, -30.0f}};
    const DeviceLimits closed{{1, 5.0f, 5.0f}, {0, 0, 0}};  // lower == upper: "below" wins
    struct Case {
        DeviceLimits limits;
        float ch1;
        float ch2;
        std::int8_t mask;
        int ch1Direction;
        int ch2Direction;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {kUsual, kInside1, kInside2, 0, 0, 0, {}},
        {kUsual, 1.0f, kInside2, kMaskCh1, kDirectionBelow, 0, {{1, true}}},
        {kUsual, 9.0f, kInside2, kMaskCh1, kDirectionAbove, 0, {{1, false}}},
        {kUsual, 2.0f, kInside2, kMaskCh1, kDirectionBelow, 0, {{1, true}}},   // at the lower limit
        {kUsual, 8.0f, kInside2, kMaskCh1, kDirectionAbove, 0, {{1, false}}},  // at the upper limit
        {kUsual, 2.01f, kInside2, 0, 0, 0, {}},
        {kUsual, 7.99f, kInside2, 0, 0, 0, {}},
        {kUsual, kInside1, 20.0f, kMaskCh2, 0, kDirectionBelow, {{2, true}}},
        {kUsual, kInside1, 90.0f, kMaskCh2, 0, kDirectionAbove, {{2, false}}},
        {kUsual, kInside1, 30.0f, kMaskCh2, 0, kDirectionBelow, {{2, true}}},
        {kUsual, kInside1, 80.0f, kMaskCh2, 0, kDirectionAbove, {{2, false}}},
        {kUsual, 1.0f, 90.0f, kMaskCh1 | kMaskCh2, kDirectionBelow, kDirectionAbove, {{1, true}, {2, false}}},
        {kUsual, 9.0f, 20.0f, kMaskCh1 | kMaskCh2, kDirectionAbove, kDirectionBelow, {{1, false}, {2, true}}},
        {enabled(kUsual, 0, 2), -99.0f, kInside2, 0, 0, 0, {}},  // channel 1 off
        {enabled(kUsual, 0, 2), -99.0f, 90.0f, kMaskCh2, 0, kDirectionAbove, {{2, false}}},
        {enabled(kUsual, 1, 0), kInside1, 999.0f, 0, 0, 0, {}},  // channel 2 off
        {enabled(kUsual, 0, 0), -99.0f, 999.0f, 0, 0, 0, {}},
        {enabled(kUsual, 2, 1), 1.0f, kInside2, kMaskCh1, kDirectionBelow, 0, {{1, true}}},  // any nonzero enables
        {negative, -25.0f, -35.0f, kMaskCh1, kDirectionBelow, 0, {{1, true}}},
        {negative, -20.0f, -35.0f, kMaskCh1, kDirectionBelow, 0, {{1, true}}},
        {negative, -5.0f, -35.0f, kMaskCh1, kDirectionAbove, 0, {{1, false}}},
        {negative, -4.0f, -35.0f, kMaskCh1, kDirectionAbove, 0, {{1, false}}},
        {negative, -10.0f, -35.0f, 0, 0, 0, {}},
        {negative, -10.0f, -41.0f, kMaskCh2, 0, kDirectionBelow, {{2, true}}},
        {negative, -10.0f, -29.5f, kMaskCh2, 0, kDirectionAbove, {{2, false}}},
        {closed, 5.0f, 0, kMaskCh1, kDirectionBelow, 0, {{1, true}}},
    };
    for (const auto& c : cases) {
        const LimitInput in = due(c.limits, c.ch1, c.ch2);
        const LimitResult r = checkReading(in);
        const bool out = c.mask != 0;
        SCOPED_TRACE(describe(in));
        EXPECT_EQ(r.outOfLimits, out);
        EXPECT_EQ(outOfLimits(c.limits, c.ch1, c.ch2), out);
        EXPECT_EQ(r.status, out ? kLimitInAlarm : kLimitNormal);
        EXPECT_EQ(r.alarm.mask, c.mask);
        EXPECT_TRUE(r.alarm.deviceName.empty());
        // Values and directions only for the channels that are out.
        EXPECT_EQ(r.alarm.ch1Direction, c.ch1Direction);
        EXPECT_EQ(r.alarm.ch2Direction, c.ch2Direction);
        EXPECT_EQ(r.alarm.ch1Value, (c.mask & kMaskCh1) ? c.ch1 : 0.0f);
        EXPECT_EQ(r.alarm.ch2Value, (c.mask & kMaskCh2) ? c.ch2 : 0.0f);
        ASSERT_EQ(r.logRows.size(), c.rows.size());
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            EXPECT_EQ(r.logRows[i].channel, c.rows[i].channel) << "row " << i;
            EXPECT_EQ(r.logRows[i].belowLower, c.rows[i].belowLower) << "row " << i;
            EXPECT_EQ(r.logRows[i].value, c.rows[i].channel == 1 ? c.ch1 : c.ch2) << "row " << i;
        }
        EXPECT_EQ(r.nextAlarmLogTime, out ? kMinute + kAlarmLogSpacingShortS : 0);
    }
}

TEST(LimitCheck, SignFromTheFirstPairAlarmFromTheSecond) {
    struct Case {
        DeviceLimits limits;
        float tested[2];
        float signed_[2];
        const char* sign;
        bool out;
    };
    const Case cases[] = {
        {kUsual, {kInside1, kInside2}, {kInside1, kInside2}, "0", false},
        {kUsual, {kInside1, kInside2}, {1.0f, kInside2}, "1", false},  // the sign pair alone raises no alarm
        {kUsual, {kInside1, kInside2}, {9.0f, kInside2}, "2", false},
        {kUsual, {kInside1, kInside2}, {kInside1, 20.0f}, "16", false},
        {kUsual, {kInside1, kInside2}, {kInside1, 90.0f}, "32", false},
        {kUsual, {1.0f, 20.0f}, {1.0f, 20.0f}, "17", true},
        {kUsual, {kInside1, kInside2}, {2.0f, 80.0f}, "33", false},  // bounds inclusive
        {kUsual, {kInside1, kInside2}, {9.0f, 30.0f}, "18", false},
        {kUsual, {kInside1, kInside2}, {8.0f, 90.0f}, "34", false},
        {kUsual, {1.0f, 90.0f}, {kInside1, kInside2}, "0", true},  // the tested pair alone signs nothing
        {enabled(kUsual, 0, 0), {-99.0f, 999.0f}, {-99.0f, 999.0f}, "0", false},
        {enabled(kUsual, 0, 2), {kInside1, kInside2}, {-99.0f, 20.0f}, "16", false},
        {enabled(kUsual, 1, 0), {kInside1, kInside2}, {9.0f, 999.0f}, "2", false},
    };
    for (const auto& c : cases) {
        LimitInput in = due(c.limits, c.tested[0], c.tested[1]);
        in.signPair[0] = c.signed_[0];
        in.signPair[1] = c.signed_[1];
        SCOPED_TRACE(describe(in) + " signed " + std::to_string(c.signed_[0]) + "," + std::to_string(c.signed_[1]));
        const LimitResult r = checkReading(in);
        EXPECT_EQ(r.sign, c.sign);
        EXPECT_EQ(alarmSign(c.limits, c.signed_), c.sign);
        EXPECT_EQ(r.outOfLimits, c.out);
    }
}

TEST(LimitCheck, StatusFollowsThePreviousOne) {
    constexpr std::uint8_t kUnknown = 0;
    constexpr std::uint8_t kNotAnswering = 4;
    struct Case {
        std::uint8_t before;
        bool out;
        std::uint8_t after;
    };
    const Case cases[] = {
        {kLimitNormal, false, kLimitNormal},       {kLimitNormal, true, kLimitInAlarm},
        {kLimitInAlarm, true, kLimitInAlarm},      {kLimitInAlarm, false, kLimitAlarmOver},
        {kLimitAlarmOver, false, kLimitAlarmOver},  // only a quick read makes it normal again
        {kLimitAlarmOver, true, kLimitInAlarm},    {kNotAnswering, false, kLimitNormal},
        {kNotAnswering, true, kLimitInAlarm},      {kUnknown, false, kLimitNormal},
    };
    for (const auto& c : cases) {
        LimitInput in = due(kUsual, c.out ? 1.0f : kInside1, kInside2);
        in.status = c.before;
        EXPECT_EQ(checkReading(in).status, c.after) << int(c.before) << (c.out ? " out" : " in");
    }

    // One device over several scans, each result fed into the next.
    struct Step {
        float ch1;
        std::uint8_t status;
    };
    const Step steps[] = {{kInside1, kLimitNormal}, {1.0f, kLimitInAlarm},       {kInside1, kLimitAlarmOver},
                          {9.0f, kLimitInAlarm},    {kInside1, kLimitAlarmOver}, {kInside1, kLimitAlarmOver}};
    std::uint8_t status = kLimitNormal;
    int n = 0;
    for (const auto& s : steps) {
        LimitInput in = due(kUsual, s.ch1, kInside2);
        in.status = status;
        status = checkReading(in).status;
        EXPECT_EQ(status, s.status) << "step " << n++;
    }
}

TEST(LimitCheck, AlarmLogSpacing) {
    struct Case {
        int intervalCode;
        std::int64_t minute;
        std::int64_t next;  // before
        bool storing;
        bool out;
        std::size_t rows;
        std::int64_t nextAfter;
    };
    const Case cases[] = {
        {1, kMinute, 0, true, true, 1, kMinute + 60},
        {0, kMinute, 0, true, true, 1, kMinute + 60},
        {2, kMinute, 0, true, true, 1, kMinute + 120},
        {5, kMinute, 0, true, true, 1, kMinute + 120},
        {1, kMinute, kMinute, true, true, 1, kMinute + 60},       // due at the next time itself
        {1, kMinute, kMinute + 60, true, true, 0, kMinute + 60},  // not before it
        {2, kMinute + 60, kMinute + 120, true, true, 0, kMinute + 120},
        {2, kMinute + 120, kMinute + 120, true, true, 1, kMinute + 240},
        {1, kMinute, 0, false, true, 0, 0},  // not storing: no rows, the time stays
        {2, kMinute, kMinute - 60, false, true, 0, kMinute - 60},
        {1, kMinute, 0, true, false, 0, 0},  // within limits: nothing to log
    };
    for (const auto& c : cases) {
        LimitInput in = due(kUsual, c.out ? 9.0f : kInside1, kInside2);
        in.recordInterval = c.intervalCode;
        in.minute = c.minute;
        in.nextAlarmLogTime = c.next;
        in.storing = c.storing;
        const LimitResult r = checkReading(in);
        const std::string what = "code " + std::to_string(c.intervalCode) + " minute +" +
                                 std::to_string(c.minute - kMinute) + " next " + std::to_string(c.next) +
                                 (c.storing ? " storing" : "") + (c.out ? " out" : " in");
        EXPECT_EQ(r.logRows.size(), c.rows) << what;
        EXPECT_EQ(r.nextAlarmLogTime, c.nextAfter) << what;
        // The alarm itself does not wait for the log.
        EXPECT_EQ(r.outOfLimits, c.out) << what;
        EXPECT_EQ(r.alarm.mask, c.out ? kMaskCh1 : 0) << what;
    }

    // A device out of limits at every one-minute scan for five minutes.
    struct Run {
        int intervalCode;
        std::vector<int> loggedMinutes;
    };
    const Run runs[] = {{1, {0, 1, 2, 3, 4}}, {2, {0, 2, 4}}};
    for (const auto& run : runs) {
        std::int64_t next = 0;
        std::vector<int> logged;
        for (int m = 0; m < 5; ++m) {
            LimitInput in = due(kUsual, 1.0f, 90.0f);
            in.recordInterval = run.intervalCode;
            in.minute = kMinute + m * 60;
            in.nextAlarmLogTime = next;
            const LimitResult r = checkReading(in);
            if (!r.logRows.empty()) {
                logged.push_back(m);
                EXPECT_EQ(r.logRows.size(), 2u) << "both channels, minute " << m;
            }
            next = r.nextAlarmLogTime;
        }
        EXPECT_EQ(logged, run.loggedMinutes) << "code " << run.intervalCode;
    }
}

TEST(LimitCheck, DescribeNamesEachChannelWithItsLimit) {
    DeviceLimits l;
    l.ch1 = {1, 2.0f, 8.0f};
    l.ch2 = {1, 30.0f, 70.5f};
    const struct {
        std::int8_t mask;
        int dir1;
        float v1;
        int dir2;
        float v2;
        std::string text;
    } cases[] = {
        {kMaskCh1, kDirectionAbove, 9.54f, 0, 0, "channel 1 9.5 above the upper limit 8.0"},
        {kMaskCh1, kDirectionBelow, -3.25f, 0, 0, "channel 1 -3.2 below the lower limit 2.0"},
        {kMaskCh2, 0, 0, kDirectionAbove, 80.0f, "channel 2 80.0 above the upper limit 70.5"},
        {kMaskCh1 | kMaskCh2, kDirectionBelow, 1.0f, kDirectionBelow, 20.0f,
         "channel 1 1.0 below the lower limit 2.0; channel 2 20.0 below the lower limit 30.0"},
        {0, 0, 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        AlarmState a;
        a.mask = c.mask;
        a.ch1Direction = c.dir1;
        a.ch1Value = c.v1;
        a.ch2Direction = c.dir2;
        a.ch2Value = c.v2;
        EXPECT_EQ(describeAlarm(l, a), c.text);
    }
}

}  // namespace
}  // namespace tovanix::alarms
