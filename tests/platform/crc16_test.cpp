// The one CRC-16/MODBUS of the serial lines: published check values and real
// frames of the wired loggers and the alarm box, byte for byte.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "platform/crc16.h"

namespace tovanix::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

struct Vector {
    const char* name;
    Bytes data;
    std::uint16_t crc;
};

const Vector kVectors[] = {
    {"empty input", {}, 0xFFFF},
    {"\"abc\"", text("abc"), 0x5749},
    {"check string \"123456789\"", text("123456789"), 0x4B37},
    {"single zero byte", {0x00}, 0x40BF},
    {"single 0xFF byte", {0xFF}, 0x00FF},
};

TEST(Crc16, KnownVectors) {
    for (const Vector& v : kVectors) EXPECT_EQ(crc16Modbus(v.data), v.crc) << v.name;
}

TEST(Crc16, ComputedAtCompileTime) {
    constexpr std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    static_assert(crc16Modbus(check) == 0x4B37);
    static_assert(crc16_detail::kTable[0] == 0x0000);
    static_assert(crc16_detail::kTable[1] == 0xC0C1);
    static_assert(crc16_detail::kTable[255] == 0x4040);
    EXPECT_EQ(crc16_detail::kTable[1], 0xC0C1);
}

// Whole frames as they travel, CRC low byte first.
struct RealFrame {
    const char* name;
    Bytes bytes;
};

const RealFrame kFrames[] = {
    {"wired logger 1, download now", {0x01, 0x03, 0x00, 0xCE, 0x00, 0x04, 0x25, 0xF6}},
    {"alarm box, siren on", {0xFF, 0x06, 0x00, 0x04, 0xAA, 0x55, 0x63, 0x4A}},
    {"alarm box, siren off", {0xFF, 0x06, 0x00, 0x04, 0x00, 0x00, 0xDD, 0xD5}},
    {"alarm box, power query", {0xFF, 0x06, 0x00, 0x08, 0x00, 0x01, 0xDC, 0x16}},
    {"alarm box, mains present", {0xFF, 0x06, 0x00, 0x08, 0x01, 0x00, 0x1C, 0x46}},
    {"alarm box, mains failed", {0xFF, 0x06, 0x00, 0x08, 0x00, 0x00, 0x1D, 0xD6}},
    {"published write-register example", {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B}},
    {"\"abc\" sealed", {'a', 'b', 'c', 0x49, 0x57}},
    {"CRC of nothing", {0xFF, 0xFF}},
};

TEST(Crc16, SealsRealFramesByteForByte) {
    for (const RealFrame& f : kFrames) {
        Bytes sealed = f.bytes;
        sealed[sealed.size() - 2] = 0;
        sealed[sealed.size() - 1] = 0;
        putCrc16(sealed);
        EXPECT_EQ(sealed, f.bytes) << f.name;
        EXPECT_TRUE(crc16Ok(f.bytes)) << f.name;
    }
}

TEST(Crc16, EverySingleBitErrorIsCaught) {
    for (const RealFrame& f : kFrames) {
        for (std::size_t i = 0; i < f.bytes.size(); ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                Bytes damaged = f.bytes;
                damaged[i] ^= static_cast<std::uint8_t>(1u << bit);
                EXPECT_FALSE(crc16Ok(damaged)) << f.name << ", byte " << i << ", bit " << bit;
            }
        }
    }
}

TEST(Crc16, HighByteFirstIsWrong) {
    for (const RealFrame& f : kFrames) {
        Bytes swapped = f.bytes;
        std::swap(swapped[swapped.size() - 2], swapped[swapped.size() - 1]);
        if (swapped == f.bytes) continue;  // both CRC bytes equal
        EXPECT_FALSE(crc16Ok(swapped)) << f.name;
    }
}

TEST(Crc16, FramesShorterThanTheCrc) {
    EXPECT_FALSE(crc16Ok(Bytes{}));
    EXPECT_FALSE(crc16Ok(Bytes{0xFF}));
    Bytes one{0x5A};
    putCrc16(one);  // nothing to seal: left alone
    EXPECT_EQ(one, Bytes{0x5A});
}

}  // namespace
}  // namespace tovanix::platform
