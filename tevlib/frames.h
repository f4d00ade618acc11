// Frames between libTevlib and the wireless receiver (see PROTOCOL.md), with
// no I/O. Shared by libTevlib.so and the simulator's receiver mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/crc16.h"

namespace tovanix::tevlib::frames {

inline constexpr std::uint8_t kRequestStart = 0xA5;
inline constexpr std::uint8_t kReplyStart = 0x5A;
inline constexpr std::uint8_t kReplyFlag = 0x80;  // or-ed into the command of a reply

// Commands.
enum Command : std::uint8_t {
    kCmdGetState = 0x01,   // running state, two power values, power kind
    kCmdStart = 0x02,      // start recording
    kCmdStop = 0x03,       // stop recording
    kCmdGetBeep = 0x04,    // alarm sound enable, monitor interval, duration
    kCmdGetConfig = 0x05,  // record interval and unit, sampling interval, LCD-off delay
    kCmdSetId = 0x06,      // take a new bus address
};

// Reply status.
enum Status : std::uint8_t {
    kStatusOk = 0x00,
    kStatusUnknownCommand = 0x01,
    kStatusBadArgument = 0x02,
    kStatusAddressInUse = 0x03,
    kStatusNoDevice = 0x04,  // the receiver heard nothing from that address
};

inline constexpr int kMinAddress = 1;
inline constexpr int kMaxAddress = 999;
inline constexpr std::size_t kHeaderSize = 2;        // start, length
inline constexpr std::size_t kCrcSize = platform::kCrc16Size;
inline constexpr std::size_t kRequestFixed = 3;      // address (2), command
inline constexpr std::size_t kReplyFixed = 4;        // address (2), command, status
inline constexpr std::size_t kMaxPayload = 32;

// Payload sizes.
inline constexpr std::size_t kStatePayload = 10;   // u8, f32, f32, u8
inline constexpr std::size_t kBeepPayload = 3;     // u8, u8, u8
inline constexpr std::size_t kConfigPayload = 7;   // u16, u8, u16, u16
inline constexpr std::size_t kSetIdPayload = 2;    // u16

std::vector<std::uint8_t> request(int address, Command cmd, std::span<const std::uint8_t> payload = {});
std::vector<std::uint8_t> reply(int address, std::uint8_t cmd, Status status, std::span<const std::uint8_t> payload = {});

struct Parsed {
    int address = 0;
    std::uint8_t command = 0;  // reply flag removed
    Status status = kStatusOk;  // replies only
    std::vector<std::uint8_t> payload;
};

// Total length of the frame starting at data[0] once its length byte is
// known; nullopt when data does not start a frame of the given kind or the
// length byte is out of range; 0 when more bytes are needed to tell.
std::optional<std::size_t> frameLength(std::span<const std::uint8_t> data, std::uint8_t start);
// Checks start byte, length and CRC of one whole frame.
std::optional<Parsed> parseRequest(std::span<const std::uint8_t> frame);
std::optional<Parsed> parseReply(std::span<const std::uint8_t> frame);

void putU16(std::vector<std::uint8_t>& out, unsigned v);  // little endian
void putF32(std::vector<std::uint8_t>& out, float v);     // IEEE 754, little endian
unsigned getU16(const std::uint8_t* p);
float getF32(const std::uint8_t* p);

}  // namespace tovanix::tevlib::frames
