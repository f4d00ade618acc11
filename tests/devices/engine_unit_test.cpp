#include <gtest/gtest.h>

#include "alarms/alarm_config.h"
#include "alarms/alarm_text.h"
#include "alarms/limit_check.h"
#include "devices/config_load.h"
#include "devices/device_store.h"
#include "devices/engine.h"
#include "devices/polling_thread.h"
#include "devices/station_table.h"

namespace tovanix::devices {
namespace {

DeviceEntry withLimits(int ch1Enable, float lo1, float up1, int ch2Enable, float lo2, float up2) {
    DeviceEntry d;
    d.ch1Enable = ch1Enable;
    d.ch1Lower = lo1;
    d.ch1Upper = up1;
    d.ch2Enable = ch2Enable;
    d.ch2Lower = lo2;
    d.ch2Upper = up2;
    return d;
}

TEST(LimitTest, BoundsAreInclusiveAndEnableTwoCounts) {
    struct Case {
        int en1;
        int en2;
        float v1;
        float v2;
        bool alarm;
    };
    const Case cases[] = {
        {1, 0, 2.0f, 50.0f, true},    // equal to the lower limit
        {1, 0, 8.0f, 50.0f, true},    // equal to the upper limit
        {1, 0, 2.1f, 50.0f, false},
        {0, 0, -50.0f, 500.0f, false},  // both alarms off
        {0, 2, 5.0f, 30.0f, true},    // channel 2 enable field 2 acts as on
        {0, 1, 5.0f, 30.0f, true},
        {0, 2, 5.0f, 55.0f, false},
        {1, 2, 5.0f, 80.0f, true},    // channel 2 equal to its upper limit
    };
    for (const auto& c : cases) {
        DeviceEntry d = withLimits(c.en1, 2.0f, 8.0f, c.en2, 30.0f, 80.0f);
        d.ch1 = c.v1;
        d.ch2 = c.v2;
        EXPECT_EQ(alarms::outOfLimits(alarmLimits(d), d.ch1, d.ch2), c.alarm)
            << c.en1 << "," << c.en2 << " " << c.v1 << "," << c.v2;
    }
}

TEST(AlarmSign, BitsFromTheFirstPair) {
    struct Case {
        int en1;
        int en2;
        float p1;
        float p2;
        const char* sign;
    };
    const Case cases[] = {
        {0, 0, -99, 999, "0"},  // both disabled
        {1, 0, 1.0f, 999, "1"}, {1, 0, 9.0f, 999, "2"},  {1, 0, 5.0f, 999, "0"},
        {0, 2, 0, 20.0f, "16"}, {0, 2, 0, 90.0f, "32"}, {1, 2, 9.0f, 90.0f, "34"},
        {1, 2, 1.0f, 20.0f, "17"}, {1, 2, 2.0f, 80.0f, "33"},  // bounds inclusive
    };
    for (const auto& c : cases) {
        DeviceEntry d = withLimits(c.en1, 2.0f, 8.0f, c.en2, 30.0f, 80.0f);
        const float pair[2] = {c.p1, c.p2};
        EXPECT_EQ(alarms::alarmSign(alarmLimits(d), pair), c.sign) << c.p1 << "," << c.p2;
    }
}

TEST(ScanPeriod, GrowsThirtySecondsPerTenDevices) {
    EXPECT_EQ(scanPeriodMs(0), 30000);
    EXPECT_EQ(scanPeriodMs(9), 30000);
    EXPECT_EQ(scanPeriodMs(10), 60000);
    EXPECT_EQ(scanPeriodMs(19), 60000);
    EXPECT_EQ(scanPeriodMs(25), 90000);
    EXPECT_EQ(scanPeriodMs(999), 3000000);
}

TEST(StationTable, CapacityIsRefusedNotOverrun) {
    StationTable t;
    for (int i = 1; i <= kMaxLines; ++i) {
        LineEntry l;
        l.lineid = i;
        ASSERT_TRUE(t.addLine(l));
    }
    LineEntry extra;
    extra.lineid = 21;
    EXPECT_FALSE(t.addLine(extra));
    EXPECT_EQ(t.lineCount(), kMaxLines);
    for (int g = 0; g < kMaxGroupsPerLine; ++g) ASSERT_TRUE(t.addGroup(1, {"g", 1, 100 + g + 1}));
    EXPECT_FALSE(t.addGroup(1, {"too many", 1, 200}));
    EXPECT_FALSE(t.addGroup(99, {"no line", 99, 9901}));
    for (int a = 1; a <= kMaxDevicesPerLine; ++a) {
        DeviceEntry d;
        d.address = static_cast<std::uint16_t>(a);
        ASSERT_EQ(t.addDevice(2, d), a - 1);
    }
    DeviceEntry d;
    d.address = 1000;
    EXPECT_EQ(t.addDevice(2, d), -1);
    EXPECT_EQ(t.deviceCount(), kMaxDevicesPerLine);
}

TEST(StationTable, RemovalsMoveLaterEntriesDown) {
    StationTable t;
    for (int i = 1; i <= 3; ++i) {
        LineEntry l;
        l.lineid = i;
        l.name = "L" + std::to_string(i);
        for (int a = 1; a <= 3; ++a) {
            DeviceEntry d;
            d.address = static_cast<std::uint16_t>(a);
            d.groupId = a == 2 ? i * 100 + 1 : 0;
            l.devices.push_back(d);
        }
        l.groups.push_back({"G", i, i * 100 + 1});
        ASSERT_TRUE(t.addLine(l));
    }
    EXPECT_TRUE(t.removeLine(2));
    EXPECT_FALSE(t.removeLine(2));
    EXPECT_EQ(t.lineIndex(3), 1);
    EXPECT_TRUE(t.removeDevice(3, 1));
    auto l3 = t.line(3);
    ASSERT_TRUE(l3);
    ASSERT_EQ(l3->devices.size(), 2u);
    EXPECT_EQ(l3->devices[0].address, 2);
    EXPECT_TRUE(t.removeGroup(3, 301));
    EXPECT_EQ(t.device(3, 2)->groupId, 0);
    EXPECT_TRUE(t.line(3)->groups.empty());
    EXPECT_EQ(t.groupName(101), "G");
    EXPECT_EQ(t.deviceCount(), 5);
}

TEST(LoggerSettings, LimitsUpperBeforeLowerInTenths) {
    const int limits[4] = {80, -200, 900, 100};  // ch1 upper, ch1 lower, ch2 upper, ch2 lower
    LoggerSettings s = fromLoggerAlarm(0x03, limits, 0x1234, 5);
    EXPECT_EQ(s.ch1Enable, 1);
    EXPECT_EQ(s.ch2Enable, 2);  // bit 1 kept in place
    EXPECT_FLOAT_EQ(s.ch1Upper, 8.0f);
    EXPECT_FLOAT_EQ(s.ch1Lower, -20.0f);
    EXPECT_FLOAT_EQ(s.ch2Upper, 90.0f);
    EXPECT_FLOAT_EQ(s.ch2Lower, 10.0f);
    EXPECT_EQ(s.alarmSoundEnable, 1);
    EXPECT_EQ(s.alarmSoundDuration, 0x34);
    EXPECT_EQ(s.recordInter, 5);
    EXPECT_EQ(fromLoggerAlarm(0, limits, 0, 1).alarmSoundEnable, 0);
}

TEST(DbTime, ZeroDateFallsBackToNow) {
    const std::time_t now = 1700000000;
    EXPECT_EQ(parseDbTime("0000-00-00 00:00:00", now), now);
    EXPECT_EQ(parseDbTime("", now), now);
    EXPECT_EQ(parseDbTime("garbage", now), now);
    std::time_t t = parseDbTime("2014-01-01 00:00:00", now);
    std::tm tm {};
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year, 114);
    EXPECT_EQ(tm.tm_hour, 0);
}

TEST(AlarmText, ChannelTextsAndMessages) {
    alarms::AlarmState s;
    s.deviceName = "冷库1";
    s.mask = 3;
    s.ch1Direction = 1;
    s.ch1Value = 31.26f;
    s.ch2Direction = 0;
    s.ch2Value = 10.04f;
    EXPECT_EQ(alarms::channelText(s), "通道一:31.3超过上限\r\n通道二:10.0低于下限\r\n");
    s.mask = 1;
    s.ch1Direction = 0;
    EXPECT_EQ(alarms::channelText(s), "通道一:31.3低于下限\r\n");
    s.mask = 2;
    s.ch2Direction = 1;
    EXPECT_EQ(alarms::channelText(s), "通道二:10.0超过上限\r\n");
    s.mask = 0;
    EXPECT_EQ(alarms::channelText(s), "系统误报警\r\n");

    std::tm tm {};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    EXPECT_EQ(alarms::alarmMessage(s, tm), "冷库1发生报警！\r\n系统误报警\r\n发生时间:2026-12-07 09:05:03");
    EXPECT_EQ(alarms::powerFailureMessage(tm), "系统发生断电\r\n发生时间:2026-12-07 09:05:03");
}

TEST(AlarmConfig, PhoneListHoldsTenAndIntervalAtLeastOne) {
    alarms::AlarmConfig c;
    std::vector<std::string> many;
    for (int i = 0; i < 12; ++i) many.push_back("1380000000" + std::to_string(i % 10));
    c.setPhones(many);
    EXPECT_EQ(c.phones().size(), 10u);
    EXPECT_FALSE(c.addPhone("13999999999"));
    c.setSettings({3, 1, 1, 0});
    EXPECT_EQ(c.settings().gmsTime, 1);
    c.setSettings({3, 1, 1, -5});
    EXPECT_EQ(c.settings().gmsTime, 1);
}

}  // namespace
}  // namespace tovanix::devices
