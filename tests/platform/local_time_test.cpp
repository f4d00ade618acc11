#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/local_time.h"

namespace tovanix::platform {
namespace {

// POSIX zone rules, so the results need no zone files on the machine.
constexpr const char* kUtc = "UTC0";
constexpr const char* kChina = "CST-8";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kIndia = "IST-5:30";
constexpr std::time_t kHour = 3600;

// Runs each test in a known zone and gives the process its own back.
class LocalTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz != nullptr) saved_ = tz;
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void zone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(LocalTime, TextAndTimeRoundTrip) {
    struct Case {
        const char* tz;
        const char* text;
        std::time_t utc;  // the same instant, seconds since the epoch
    };
    const Case cases[] = {
        {kUtc, "2014-01-01 00:00:00", 1388534400},
        {kChina, "2014-01-01 00:00:00", 1388534400 - 8 * kHour},
        {kChina, "2026-12-07 09:05:03", 1796634303 - 8 * kHour},
        {kUtc, "2000-02-29 23:59:59", 951868799},                         // leap day
        {kCentralEurope, "2021-07-01 12:00:00", 1625140800 - 2 * kHour},  // summer time
        {kCentralEurope, "2021-01-01 12:00:00", 1609502400 - kHour},
        {kIndia, "2099-12-31 23:59:59", 4102444799 - 5 * kHour - 30 * 60},
    };
    for (const auto& c : cases) {
        zone(c.tz);
        EXPECT_EQ(localDateTime(c.utc), c.text) << c.tz;
        EXPECT_EQ(formatLocal(c.utc, kDateTimeFormat), c.text) << c.tz;
        EXPECT_EQ(parseLocalDateTime(c.text), std::optional<std::time_t>(c.utc)) << c.tz << " " << c.text;
        const DateTimeFields f = scanDateTime(c.text);
        EXPECT_EQ(makeLocalTime(f.year, f.month, f.day, f.hour, f.minute, f.second), c.utc) << c.tz << " " << c.text;
    }
}

TEST_F(LocalTime, ShortTextsAndTextsThatAreNoDate) {
    zone(kUtc);
    struct Case {
        const char* text;
        std::optional<std::time_t> t;
        int count;
    };
    const Case cases[] = {
        {"2014-01-01", 1388534400, 3},  // the time of day defaults to midnight
        {"2014-01-01 01", 1388534400 + kHour, 4},
        {"2014-01-01 00:02:03", 1388534400 + 123, 6},
        {"", std::nullopt, 0},
        {"garbage", std::nullopt, 0},
        {"2014-01", std::nullopt, 2},
        {"0000-00-00 00:00:00", std::nullopt, 6},  // the database's zero date
        {"2014-00-10 00:00:00", std::nullopt, 6},
        {"2014-05-00 12:00:00", std::nullopt, 6},
        {"0-05-10 12:00:00", std::nullopt, 6},
        {"2014/01/01 00:00:00", std::nullopt, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseLocalDateTime(c.text), c.t) << '"' << c.text << '"';
        EXPECT_EQ(scanDateTime(c.text).count, c.count) << '"' << c.text << '"';
    }
}

TEST_F(LocalTime, FieldsTheTextLacksStayZero) {
    const DateTimeFields f = scanDateTime("2024-06-15 7");
    EXPECT_EQ(f.year, 2024);
    EXPECT_EQ(f.month, 6);
    EXPECT_EQ(f.day, 15);
    EXPECT_EQ(f.hour, 7);
    EXPECT_EQ(f.minute, 0);
    EXPECT_EQ(f.second, 0);
    EXPECT_EQ(f.count, 4);
}

TEST_F(LocalTime, MinuteStartAndStamp) {
    struct Case {
        const char* tz;
        std::time_t t;
        std::time_t start;
        const char* stamp;
    };
    const std::time_t base = 1796634303;  // 2026-12-07 09:05:03 UTC
    const Case cases[] = {
        {kUtc, base, base - 3, "2026-12-07 09:05:00"},      {kUtc, base - 3, base - 3, "2026-12-07 09:05:00"},
        {kUtc, base + 56, base - 3, "2026-12-07 09:05:00"}, {kUtc, base + 57, base + 57, "2026-12-07 09:06:00"},
        {kChina, base, base - 3, "2026-12-07 17:05:00"},    {kIndia, base, base - 3, "2026-12-07 14:35:00"},
    };
    for (const auto& c : cases) {
        zone(c.tz);
        EXPECT_EQ(minuteStart(c.t), c.start) << c.tz << " " << c.t;
        EXPECT_EQ(minuteStamp(c.t), c.stamp) << c.tz << " " << c.t;
    }
}

TEST_F(LocalTime, BcdDigits) {
    struct Case {
        int v;
        unsigned char bcd;
    };
    const Case cases[] = {{0, 0x00}, {7, 0x07}, {10, 0x10}, {26, 0x26}, {59, 0x59}, {99, 0x99}, {123, 0x23}};
    for (const auto& c : cases) EXPECT_EQ(toBcd(c.v), c.bcd) << c.v;
}

TEST_F(LocalTime, BcdClockOfAKnownTime) {
    struct Case {
        const char* tz;
        std::time_t t;
        unsigned char bytes[kBcdClockBytes];
    };
    const Case cases[] = {
        {kUtc, 1796634303, {0x26, 0x12, 0x07, 0x09, 0x05, 0x03}},
        {kChina, 1796634303, {0x26, 0x12, 0x07, 0x17, 0x05, 0x03}},
        {kChina, 1796634303 + 7 * kHour, {0x26, 0x12, 0x08, 0x00, 0x05, 0x03}},  // past local midnight
        {kUtc, 951868799, {0x00, 0x02, 0x29, 0x23, 0x59, 0x59}},
        {kCentralEurope, 1625140800, {0x21, 0x07, 0x01, 0x14, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        zone(c.tz);
        unsigned char out[kBcdClockBytes] = {};
        bcdClock(c.t, out);
        for (std::size_t i = 0; i < kBcdClockBytes; ++i) {
            EXPECT_EQ(out[i], c.bytes[i]) << c.tz << " " << c.t << " byte " << i;
        }
    }
}

TEST_F(LocalTime, SameMinuteIgnoresOnlyTheSeconds) {
    zone(kChina);
    const std::time_t t = 1796634303;  // 2026-12-07 17:05:03 there
    struct Case {
        const char* clock;
        bool same;
    };
    const Case cases[] = {
        {"2026-12-07 17:05:03", true},  {"2026-12-07 17:05:59", true},
        {"2026-12-07 17:05:00", true},  {"2026-12-07 17:06:03", false},
        {"2026-12-07 09:05:03", false},  // UTC, not local
        {"2026-12-08 17:05:03", false}, {"2026-11-07 17:05:03", false},
        {"2025-12-07 17:05:03", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(sameLocalMinute(scanDateTime(c.clock), t), c.same) << c.clock;
}

TEST_F(LocalTime, OtherFormatsAndOverlongTexts) {
    zone(kUtc);
    EXPECT_EQ(formatLocal(1796634303, "%Y-%m-%d %H:%M"), "2026-12-07 09:05");
    EXPECT_EQ(formatLocal(1796634303, "%H:%M:%S"), "09:05:03");
    const std::string wide(70, 'x');
    EXPECT_EQ(formatLocal(1796634303, wide.c_str()), "");
    EXPECT_EQ(localTm(1796634303).tm_yday, 340);
}

}  // namespace
}  // namespace tovanix::platform
