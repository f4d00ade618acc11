#include "sim/logger/crc.h"

namespace tovanix::sim {

namespace {
constexpr std::uint16_t kInit = 0xFFFF;
constexpr std::uint16_t kPolynomial = 0xA001;  // 0x8005 reflected
constexpr int kBitsPerByte = 8;
constexpr std::size_t kCrcBytes = 2;
constexpr unsigned kLowByte = 0xFFu;
}  // namespace

std::uint16_t crc16(std::span<const std::uint8_t> data) {
    std::uint16_t crc = kInit;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int bit = 0; bit < kBitsPerByte; ++bit) {
            const bool carry = (crc & 1u) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) crc ^= kPolynomial;
        }
    }
    return crc;
}

void appendCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & kLowByte));
    frame.push_back(static_cast<std::uint8_t>(crc >> kBitsPerByte));
}

bool crcOk(std::span<const std::uint8_t> frame) {
    if (frame.size() < kCrcBytes) return false;
    const std::size_t body = frame.size() - kCrcBytes;
    const std::uint16_t crc = crc16(frame.first(body));
    return frame[body] == (crc & kLowByte) && frame[body + 1] == (crc >> kBitsPerByte);
}

}  // namespace tovanix::sim
