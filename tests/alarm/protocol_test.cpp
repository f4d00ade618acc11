#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "alarm/protocol.h"

namespace tovanix::alarm {
namespace {

// The CRC itself is tested with the serial layer (tests/platform/crc16_test.cpp).
std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> body) {
    body.resize(body.size() + platform::kCrc16Size);
    platform::putCrc16(body);
    return body;
}

TEST(AlarmFrames, ConstantRequestsAreTheirOwnConstruction) {
    EXPECT_EQ(kSirenOnFrame, (Frame {0xFF, 0x06, 0x00, 0x04, 0xAA, 0x55, 0x63, 0x4A}));
    EXPECT_EQ(kSirenOffFrame, (Frame {0xFF, 0x06, 0x00, 0x04, 0x00, 0x00, 0xDD, 0xD5}));
    EXPECT_EQ(kPowerQueryFrame, (Frame {0xFF, 0x06, 0x00, 0x08, 0x00, 0x01, 0xDC, 0x16}));
    // The usual published example: slave 1, register 1, value 3.
    EXPECT_EQ(writeRegisterFrame(0x01, 0x0001, 0x0003), (Frame {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B}));
}

TEST(AlarmFrames, ReplyValidity) {
    // The echo of a request is valid.
    EXPECT_TRUE(frameReplyValid(kSirenOnFrame.data(), kFrameSize, false));
    // CRC high byte first: invalid.
    Frame swapped = kSirenOnFrame;
    std::swap(swapped[6], swapped[7]);
    EXPECT_FALSE(frameReplyValid(swapped.data(), kFrameSize, false));
    // Fewer than two bytes: invalid; two bytes are the CRC of nothing (0xFFFF).
    EXPECT_FALSE(frameReplyValid(kSirenOnFrame.data(), 0, false));
    EXPECT_FALSE(frameReplyValid(kSirenOnFrame.data(), 1, false));
    const std::uint8_t crcOfNothing[] = {0xFF, 0xFF};
    EXPECT_TRUE(frameReplyValid(crcOfNothing, 2, false));
    // A short reply is judged alone: its first part fails the CRC.
    EXPECT_FALSE(frameReplyValid(kSirenOnFrame.data(), 4, false));
    // A reply that did not fit its buffer is invalid, whatever was stored.
    EXPECT_FALSE(frameReplyValid(kSirenOnFrame.data(), kFrameSize, true));
    // Nothing but the CRC is compared: another valid frame counts.
    EXPECT_TRUE(frameReplyValid(kPowerQueryFrame.data(), kFrameSize, false));
}

TEST(AlarmFrames, PowerState) {
    const auto present = withCrc({0xFF, 0x06, 0x00, 0x08, 0x01, 0x00});
    EXPECT_EQ(present, (std::vector<std::uint8_t> {0xFF, 0x06, 0x00, 0x08, 0x01, 0x00, 0x1C, 0x46}));
    EXPECT_TRUE(powerPresent(present.data(), present.size(), false));
    // The echo of the query has byte 4 = 0: power failure.
    EXPECT_FALSE(powerPresent(kPowerQueryFrame.data(), kFrameSize, false));
    const auto failed = withCrc({0xFF, 0x06, 0x00, 0x08, 0x00, 0x00});
    EXPECT_FALSE(powerPresent(failed.data(), failed.size(), false));
    // A valid reply too short to carry byte 4 reads as 0.
    const auto shortReply = withCrc({0xFF, 0x06});
    EXPECT_FALSE(powerPresent(shortReply.data(), shortReply.size(), false));
    std::vector<std::uint8_t> badCrc = present;
    std::swap(badCrc[6], badCrc[7]);
    EXPECT_FALSE(powerPresent(badCrc.data(), badCrc.size(), false));
}

TEST(AlarmCollector, FiftyEmptyReadsThenNothing) {
    std::uint8_t buf[kFrameSize];
    std::memset(buf, 0xAA, sizeof buf);
    ReplyCollector c(buf, sizeof buf, ReplyCollector::Mode::Binary);
    for (int i = 0; i < kFirstByteAttempts - 1; ++i) {
        c.readTimedOut();
        ASSERT_FALSE(c.finished()) << i;
    }
    c.readTimedOut();
    EXPECT_TRUE(c.finished());
    EXPECT_EQ(c.stored(), 0u);
    EXPECT_EQ(c.emptyReads(), kFirstByteAttempts);
    for (auto b : buf) EXPECT_EQ(b, 0) << "the buffer is cleared first";
}

TEST(AlarmCollector, LateFirstByteThenEndsAtFirstGap) {
    std::uint8_t buf[kFrameSize];
    ReplyCollector c(buf, sizeof buf, ReplyCollector::Mode::Binary);
    for (int i = 0; i < kFirstByteAttempts - 1; ++i) c.readTimedOut();
    c.byteArrived(0x11);
    c.byteArrived(0x22);
    EXPECT_FALSE(c.finished());
    c.readTimedOut();  // one gap ends it at once
    EXPECT_TRUE(c.finished());
    c.byteArrived(0x33);  // later bytes are not part of this reply
    EXPECT_EQ(c.stored(), 2u);
    EXPECT_EQ(c.received(), 2u);
    EXPECT_EQ(buf[0], 0x11);
    EXPECT_EQ(buf[2], 0x00);
}

TEST(AlarmCollector, NeverStoresPastTheBuffer) {
    std::uint8_t guarded[kFrameSize + 4];
    std::memset(guarded, 0xEE, sizeof guarded);
    ReplyCollector c(guarded, kFrameSize, ReplyCollector::Mode::Binary);
    for (int i = 0; i < 20; ++i) c.byteArrived(static_cast<std::uint8_t>(i));
    c.readTimedOut();
    EXPECT_EQ(c.stored(), kFrameSize);
    EXPECT_EQ(c.received(), 20u);
    EXPECT_TRUE(c.overflowed());
    for (std::size_t i = kFrameSize; i < sizeof guarded; ++i) EXPECT_EQ(guarded[i], 0xEE);
}

TEST(AlarmCollector, TextStaysTerminated) {
    std::uint8_t buf[kAtReplySize + 2];
    std::memset(buf, 0xEE, sizeof buf);
    ReplyCollector c(buf, kAtReplySize, ReplyCollector::Mode::Text);
    const std::string reply = "AT\r\n\r\nOK\r\nAT\r\n\r\nOK\r\nXYZ";  // 23 bytes
    for (char ch : reply) c.byteArrived(static_cast<std::uint8_t>(ch));
    c.readTimedOut();
    EXPECT_EQ(c.stored(), kAtReplySize - 1);
    EXPECT_EQ(buf[kAtReplySize - 1], 0);
    EXPECT_EQ(buf[kAtReplySize], 0xEE);
    EXPECT_EQ(c.text(), reply.substr(0, kAtReplySize - 1));
}

TEST(AlarmCollector, TextEndsAtFirstNul) {
    std::uint8_t buf[kShortReplySize];
    ReplyCollector c(buf, sizeof buf, ReplyCollector::Mode::Text);
    for (char ch : std::string("AB\0OK", 5)) c.byteArrived(static_cast<std::uint8_t>(ch));
    c.readTimedOut();
    EXPECT_EQ(c.text(), "AB");
    EXPECT_FALSE(textContains(c.text(), kOkText));
}

TEST(AlarmCollector, NullOrEmptyBufferDiscardsEverything) {
    ReplyCollector none(nullptr, 10, ReplyCollector::Mode::Text);
    none.byteArrived('x');
    none.readTimedOut();
    EXPECT_EQ(none.stored(), 0u);
    EXPECT_TRUE(none.overflowed());
    std::uint8_t one[1] = {0x55};
    ReplyCollector tiny(one, 1, ReplyCollector::Mode::Text);
    tiny.byteArrived('>');
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(tiny.text(), "");
}

TEST(AlarmText, ContainsFromPosition) {
    const std::string echoed = "AT+CSCA?\r\n\r\n+CSCA: \"+8613800200500\",145\r\n\r\nOK\r\n";
    EXPECT_EQ(echoed.find("145"), 36u);
    EXPECT_TRUE(textContains(echoed, kInternationalTypeText, kServiceCentreTypeFrom));
    const std::string plain = "\r\n+CSCA: \"+8613800200500\",145\r\n\r\nOK\r\n";
    EXPECT_FALSE(textContains(plain, kInternationalTypeText, kServiceCentreTypeFrom));
    // Exactly at 34 counts; a text of 34 characters or fewer never does.
    const std::string at34 = std::string(34, 'x') + "145";
    EXPECT_TRUE(textContains(at34, "145", 34));
    EXPECT_FALSE(textContains(std::string(34, 'x'), "145", 34));
    EXPECT_FALSE(textContains(std::string(33, 'x') + "145", "145", 34));
    EXPECT_TRUE(textContains("\r\n> ", kPromptText));
    EXPECT_FALSE(textContains("\r\nERROR\r\n", kPromptText));
}

}  // namespace
}  // namespace tovanix::alarm
