// CRC-16/MODBUS, the check of every frame on the serial lines (wired
// loggers, wireless receiver, alarm box): reflected polynomial 0xA001
// (0x8005), initial value 0xFFFF, no final XOR, sent low byte first.
//
// Part of the serial layer, so it depends on nothing else of the project.
// constexpr, so fixed frames can be checked against their construction at
// compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tovanix::platform {

inline constexpr std::size_t kCrc16Size = 2;

namespace crc16_detail {
inline constexpr std::uint16_t kPolynomial = 0xA001;  // 0x8005 reflected
inline constexpr std::uint16_t kInit = 0xFFFF;
inline constexpr int kBitsPerByte = 8;
inline constexpr std::size_t kTableSize = 256;
inline constexpr unsigned kByteMask = 0xFFu;

constexpr std::array<std::uint16_t, kTableSize> makeTable() {
    std::array<std::uint16_t, kTableSize> table{};
    for (unsigned i = 0; i < table.size(); ++i) {
        auto c = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < kBitsPerByte; ++bit)
            c = (c & 1u) ? static_cast<std::uint16_t>((c >> 1) ^ kPolynomial) : static_cast<std::uint16_t>(c >> 1);
        table[i] = c;
    }
    return table;
}
inline constexpr std::array<std::uint16_t, kTableSize> kTable = makeTable();
}  // namespace crc16_detail

// The CRC of data; an empty input yields 0xFFFF.
constexpr std::uint16_t crc16Modbus(std::span<const std::uint8_t> data) {
    using namespace crc16_detail;
    std::uint16_t crc = kInit;
    for (std::uint8_t b : data) crc = static_cast<std::uint16_t>((crc >> kBitsPerByte) ^ kTable[(crc ^ b) & kByteMask]);
    return crc;
}

// Writes the CRC of all but the last two bytes of frame into those two, low
// byte first. A frame shorter than the CRC is left alone.
constexpr void putCrc16(std::span<std::uint8_t> frame) {
    if (frame.size() < kCrc16Size) return;
    const std::size_t body = frame.size() - kCrc16Size;
    const std::uint16_t crc = crc16Modbus(frame.first(body));
    frame[body] = static_cast<std::uint8_t>(crc & crc16_detail::kByteMask);
    frame[body + 1] = static_cast<std::uint8_t>(crc >> crc16_detail::kBitsPerByte);
}

// True when frame has at least the two CRC bytes and they are the CRC (low,
// high) of the bytes before them.
constexpr bool crc16Ok(std::span<const std::uint8_t> frame) {
    if (frame.size() < kCrc16Size) return false;
    const std::size_t body = frame.size() - kCrc16Size;
    const std::uint16_t crc = crc16Modbus(frame.first(body));
    return frame[body] == (crc & crc16_detail::kByteMask) && frame[body + 1] == (crc >> crc16_detail::kBitsPerByte);
}

}  // namespace tovanix::platform
