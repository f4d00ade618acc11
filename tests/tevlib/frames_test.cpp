// Frames of the wireless receiver protocol, without I/O.
#include <gtest/gtest.h>

#include "platform/crc16.h"
#include "tevlib/frames.h"

namespace tovanix::tevlib::frames {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes withCrc(Bytes b) {
    b.resize(b.size() + kCrcSize);
    platform::putCrc16(b);
    return b;
}

TEST(TevlibFrames, RequestLayout) {
    EXPECT_EQ(request(1, kCmdGetState), withCrc({0xA5, 0x03, 0x01, 0x00, 0x01}));
    Bytes payload;
    putU16(payload, 999);
    EXPECT_EQ(request(0x0203, kCmdSetId, payload), withCrc({0xA5, 0x05, 0x03, 0x02, 0x06, 0xE7, 0x03}));
}

TEST(TevlibFrames, ReplyRoundTrip) {
    Bytes payload;
    payload.push_back(1);
    putF32(payload, 3.25f);
    putF32(payload, -1.5f);
    payload.push_back(2);
    Bytes f = reply(12, kCmdGetState, kStatusOk, payload);
    EXPECT_EQ(f[0], 0x5A);
    EXPECT_EQ(f[1], 4 + payload.size());
    EXPECT_EQ(f[4], 0x81);
    auto len = frameLength(f, kReplyStart);
    ASSERT_TRUE(len.has_value());
    EXPECT_EQ(*len, f.size());
    auto p = parseReply(f);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->address, 12);
    EXPECT_EQ(p->command, kCmdGetState);
    EXPECT_EQ(p->status, kStatusOk);
    ASSERT_EQ(p->payload.size(), kStatePayload);
    EXPECT_FLOAT_EQ(getF32(&p->payload[1]), 3.25f);
    EXPECT_FLOAT_EQ(getF32(&p->payload[5]), -1.5f);
}

TEST(TevlibFrames, RejectsBadCrcWrongStartAndLength) {
    Bytes f = reply(1, kCmdStart, kStatusOk);
    Bytes bad = f;
    bad.back() ^= 1;
    EXPECT_FALSE(parseReply(bad).has_value());
    EXPECT_FALSE(parseRequest(f).has_value());  // a reply is no request
    EXPECT_FALSE(frameLength(Bytes{0x5A, 0x03}, kReplyStart).has_value());  // too short for a reply
    EXPECT_FALSE(frameLength(Bytes{0x5A, 0xFF}, kReplyStart).has_value());
    EXPECT_EQ(frameLength(Bytes{0x5A}, kReplyStart), std::optional<std::size_t>{0});
    Bytes cut(f.begin(), f.end() - 1);
    EXPECT_FALSE(parseReply(cut).has_value());
}

}  // namespace
}  // namespace tovanix::tevlib::frames
