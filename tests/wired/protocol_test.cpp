// Frames of the wired logger protocol, byte for byte, without any I/O.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wired/protocol.h"

namespace tovanix::wired::proto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const Frame& f) { return Bytes(f.bytes.begin(), f.bytes.begin() + static_cast<long>(f.length)); }

// The CRC itself is tested with the serial layer (tests/platform/crc16_test.cpp).
Bytes withCrc(Bytes b) {
    b.resize(b.size() + kCrcSize);
    platform::putCrc16(b);
    return b;
}

TEST(Requests, DownloadNowToAddressOne) {
    EXPECT_EQ(bytes(buildDownloadNow(1)), (Bytes{0x01, 0x03, 0x00, 0xCE, 0x00, 0x04, 0x25, 0xF6}));
}

TEST(Requests, ReadRequestsByteForByte) {
    EXPECT_EQ(bytes(buildGetAlarm(2)), withCrc({0x02, 0x03, 0x00, 0x04, 0x00, 0x10}));
    EXPECT_EQ(bytes(buildGetStatus(3)), withCrc({0x03, 0x03, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(bytes(buildGetClock(4)), withCrc({0x04, 0x03, 0x00, 0xC8, 0x00, 0x06}));
    EXPECT_EQ(bytes(buildGetHistory(5, 7)), withCrc({0x05, 0x03, 0x01, 0x00, 0x00, 0x07}));
    // Only the low byte of the block number is sent.
    EXPECT_EQ(bytes(buildGetHistory(5, 0x107)), withCrc({0x05, 0x03, 0x01, 0x00, 0x00, 0x07}));
    for (const Frame& f : {buildGetAlarm(1), buildGetStatus(1), buildGetClock(1), buildGetHistory(1, 0)})
        EXPECT_EQ(f.length, kRequestRead);
}

TEST(Requests, AddressIsItsLowByte) {
    EXPECT_EQ(buildDownloadNow(256).bytes[0], 0x00);
    EXPECT_EQ(buildDownloadNow(257).bytes[0], 0x01);
    EXPECT_EQ(buildDownloadNow(255).bytes[0], 0xFF);
}

TEST(Requests, SetAlarmBlock) {
    AlarmSettings s;
    s.enableMask = 3;
    s.limits[0] = 300;
    s.limits[1] = -200;
    s.limits[2] = 800;
    s.limits[3] = -300;
    s.soundDuration = 10;
    s.intervalCode = 5;
    Bytes expected{0x07, 0x10, 0x00, 0x05, 0x00, 0x0F, 0x1B,
                   0x05, 0xEE, 0x02, 0x03, 0x00,       // interval, marker, version, mask, 0
                   0x2C, 0x01, 0x38, 0xFF,             // ch1 upper 300, lower -200
                   0x20, 0x03, 0xD4, 0xFE};            // ch2 upper 800, lower -300
    expected.insert(expected.end(), 12, 0x00);
    expected.push_back(0x0A);
    expected.push_back(0x00);
    expected = withCrc(expected);
    Frame f = buildSetAlarm(7, s);
    EXPECT_EQ(f.length, kRequestSetAlarm);
    EXPECT_EQ(bytes(f), expected);
}

TEST(Requests, SetClockSendsBcdUnchanged) {
    const std::uint8_t bcd[6] = {0x24, 0x12, 0x31, 0x23, 0x59, 0x58};
    Frame f = buildSetClock(1, bcd);
    EXPECT_EQ(f.length, kRequestSetClock);
    EXPECT_EQ(bytes(f), withCrc({0x01, 0x10, 0x00, 0xC8, 0x00, 0x06, 0x06, 0x24, 0x12, 0x31, 0x23, 0x59, 0x58}));
}

TEST(Requests, ClearDataIsPaddedToThirtySixBytes) {
    Frame f = buildClearData(1);
    Bytes expected = withCrc({0x01, 0x10, 0x00, 0xC0, 0x00, 0x00});
    expected.insert(expected.end(), 28, 0x00);
    EXPECT_EQ(f.length, 36u);
    EXPECT_EQ(bytes(f), expected);
}

TEST(Words, RequestWordsAreTwosComplementLowFirst) {
    std::uint8_t b[2];
    putRequestWord(b, 300);
    EXPECT_EQ(b[0], 0x2C);
    EXPECT_EQ(b[1], 0x01);
    putRequestWord(b, -200);
    EXPECT_EQ(b[0], 0x38);
    EXPECT_EQ(b[1], 0xFF);
    putRequestWord(b, -300);
    EXPECT_EQ(b[0], 0xD4);
    EXPECT_EQ(b[1], 0xFE);
    putRequestWord(b, 0);
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x00);
    putRequestWord(b, 65535);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xFF);
}

TEST(Words, ReplyWordsHighFirst) {
    const std::uint8_t w300[2] = {0x01, 0x2C};
    const std::uint8_t wneg[2] = {0xFF, 0x38};
    EXPECT_EQ(replyWord(w300), 300);
    EXPECT_EQ(replySigned(wneg), -200);
    EXPECT_EQ(replyWord(wneg), 0xFF38);
}

TEST(Bcd, DecodeAndEncode) {
    EXPECT_EQ(bcdDecode(0x59), 59);
    EXPECT_EQ(bcdDecode(0x00), 0);
    EXPECT_EQ(bcdEncode(42), 0x42);
    EXPECT_EQ(bcdEncode(7), 0x07);
}

Bytes currentReply(const std::uint8_t time[5], const std::int16_t r[4]) {
    Bytes b{0x01, 0x03, 0x11};
    b.insert(b.end(), time, time + 5);
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(r[i]) >> 8) & 0xFF));
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(r[i]) & 0xFF));
    }
    b.insert(b.end(), 4, 0);
    return withCrc(b);
}

TEST(Decode, CurrentReadingWithNegativeValues) {
    const std::uint8_t time[5] = {0x24, 0x03, 0x05, 0x14, 0x27};
    const std::int16_t r[4] = {253, -5, -105, 602};
    Bytes reply = currentReply(time, r);
    ASSERT_EQ(reply.size(), std::size_t{kReplyCurrent});
    CurrentReading c = decodeCurrent(reply);
    EXPECT_STREQ(c.timeText, "2024-03-05 14:27:00");
    EXPECT_FLOAT_EQ(c.r12[0], 25.3f);
    EXPECT_FLOAT_EQ(c.r12[1], -0.5f);
    EXPECT_FLOAT_EQ(c.r34[0], -10.5f);
    EXPECT_FLOAT_EQ(c.r34[1], 60.2f);
}

TEST(Decode, TimeTextStaysNineteenCharactersOnGarbage) {
    const std::uint8_t junk[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    char text[kTimeTextLength + 1];
    std::memset(text, 'x', sizeof text);
    formatTime(text, junk, true);
    EXPECT_EQ(std::strlen(text), kTimeTextLength);
}

Bytes alarmReply(const std::uint8_t block[27]) {
    Bytes b{0x01, 0x03, 0x1C, 0x00};
    b.insert(b.end(), block, block + 27);
    return withCrc(b);
}

TEST(Decode, AlarmLimitsSignedDurationUnsigned) {
    std::uint8_t block[27] = {};
    block[kAbInterval] = 15;
    block[kAbEnableMask] = 2;
    block[5] = 0x01, block[6] = 0x2C;   // 300
    block[7] = 0xFF, block[8] = 0x38;   // -200
    block[9] = 0x03, block[10] = 0x20;  // 800
    block[11] = 0xFE, block[12] = 0xD4; // -300
    block[25] = 0xFF, block[26] = 0xFE; // 65534
    Bytes reply = alarmReply(block);
    ASSERT_EQ(reply.size(), std::size_t{kReplyAlarm});
    AlarmSettings s = decodeAlarm(reply);
    EXPECT_EQ(s.intervalCode, 15);
    EXPECT_EQ(s.enableMask, 2);
    EXPECT_EQ(s.limits[0], 300);
    EXPECT_EQ(s.limits[1], -200);
    EXPECT_EQ(s.limits[2], 800);
    EXPECT_EQ(s.limits[3], -300);
    EXPECT_EQ(s.soundDuration, 65534);
}

TEST(Decode, StatusBlock) {
    Bytes b = withCrc({0x01, 0x03, 0x0A, 0x23, 0x11, 0x30, 0x08, 0x05, 0x02, 0x01, 0x02, 0xAB, 0xCD});
    ASSERT_EQ(b.size(), std::size_t{kReplyStatus});
    Status s = decodeStatus(b);
    EXPECT_STREQ(s.timeText, "2023-11-30 08:05:00");
    EXPECT_EQ(s.intervalCode, 2);
    EXPECT_EQ(s.count, 258);
    EXPECT_EQ(s.secondWord, 0xABCD);
}

TEST(Decode, ClockWithSeconds) {
    Bytes b = withCrc({0x01, 0x03, 0x06, 0x24, 0x02, 0x29, 0x23, 0x59, 0x07});
    ASSERT_EQ(b.size(), std::size_t{kReplyClock});
    char text[kTimeTextLength + 1];
    decodeClock(b, text);
    EXPECT_STREQ(text, "2024-02-29 23:59:07");
}

TEST(History, ByteCountsAndRecordCounts) {
    EXPECT_EQ(historyReplyLength(2), 7u);
    EXPECT_EQ(historyRecordCount(2), 0u);
    EXPECT_EQ(historyRecordCount(10), 0u);  // 8 bytes: not a whole record
    EXPECT_EQ(historyRecordCount(11), 1u);
    EXPECT_EQ(historyRecordCount(182), 20u);
    EXPECT_EQ(historyRecordCount(184), 20u);
    EXPECT_TRUE(historyByteCountOk(2));
    EXPECT_TRUE(historyByteCountOk(184));
    EXPECT_FALSE(historyByteCountOk(185));
    EXPECT_FALSE(historyByteCountOk(255));
    EXPECT_FALSE(historyByteCountOk(1));
}

TEST(History, DecodesRecordsAndRespectsCapacity) {
    Bytes b{0x01, 0x03, static_cast<std::uint8_t>(2 + 3 * 9), 0x00, 0x00};
    for (int i = 0; i < 3; ++i) {
        Bytes rec{0x24, 0x01, 0x02, 0x03, static_cast<std::uint8_t>(0x10 + i), 0xFF, 0x9C, 0x02, 0x26};
        b.insert(b.end(), rec.begin(), rec.end());
    }
    b = withCrc(b);
    HistoryRecord out[3];
    ASSERT_EQ(decodeHistory(b, out, 3), 3u);
    EXPECT_EQ(out[2].time[0], 24);
    EXPECT_EQ(out[2].time[4], 12);
    EXPECT_DOUBLE_EQ(out[0].values[0], -100.0);
    EXPECT_DOUBLE_EQ(out[0].values[1], 550.0);
    HistoryRecord two[2];
    EXPECT_EQ(decodeHistory(b, two, 2), 2u);
}

}  // namespace
}  // namespace tovanix::wired::proto
