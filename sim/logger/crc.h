// The simulator's own CRC-16/MODBUS, bit by bit. It does not use the serial
// layer's table-driven one on purpose: a simulator that reused the codec it
// tests could not catch that codec's faults.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tovanix::sim {

std::uint16_t crc16(std::span<const std::uint8_t> data);
// Appends the CRC of frame, low byte first.
void appendCrc(std::vector<std::uint8_t>& frame);
// True when the last two bytes are the CRC (low, high) of the bytes before.
bool crcOk(std::span<const std::uint8_t> frame);

}  // namespace tovanix::sim
