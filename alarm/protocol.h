// Alarm-box frames (with the serial layer's CRC-16/MODBUS) and the rules for
// collecting and judging a reply. Pure: no I/O, so every rule is tested
// without a port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/crc16.h"

namespace tovanix::alarm {

// Line and read timing of the port.
inline constexpr int kBaudRate = 9600;
inline constexpr int kReadTimeoutMs = 100;     // one one-byte read waits at most this long
inline constexpr int kFirstByteAttempts = 50;  // empty reads allowed before the first byte (about 5 s)

// Modbus RTU "write single register" frames to the alarm box.
inline constexpr std::size_t kFrameSize = 8;
using Frame = std::array<std::uint8_t, kFrameSize>;
inline constexpr std::uint8_t kBoxSlave = 0xFF;
inline constexpr std::uint8_t kWriteSingleRegister = 0x06;
inline constexpr std::uint16_t kSirenRegister = 0x0004;
inline constexpr std::uint16_t kSirenOnValue = 0xAA55;
inline constexpr std::uint16_t kSirenOffValue = 0x0000;
inline constexpr std::uint16_t kPowerRegister = 0x0008;
inline constexpr std::uint16_t kPowerQueryValue = 0x0001;
inline constexpr std::size_t kPowerStateByte = 4;  // in the reply: nonzero = mains present

// Slave, function, register and value high byte first, CRC low byte first.
constexpr Frame writeRegisterFrame(std::uint8_t slave, std::uint16_t reg, std::uint16_t value) {
    Frame f {slave,
             kWriteSingleRegister,
             static_cast<std::uint8_t>(reg >> 8),
             static_cast<std::uint8_t>(reg & 0xFF),
             static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value & 0xFF),
             0,
             0};
    platform::putCrc16(f);
    return f;
}

// The three requests the library sends; fixed bytes, checked against their
// construction at compile time.
inline constexpr Frame kSirenOnFrame {0xFF, 0x06, 0x00, 0x04, 0xAA, 0x55, 0x63, 0x4A};
inline constexpr Frame kSirenOffFrame {0xFF, 0x06, 0x00, 0x04, 0x00, 0x00, 0xDD, 0xD5};
inline constexpr Frame kPowerQueryFrame {0xFF, 0x06, 0x00, 0x08, 0x00, 0x01, 0xDC, 0x16};
static_assert(kSirenOnFrame == writeRegisterFrame(kBoxSlave, kSirenRegister, kSirenOnValue));
static_assert(kSirenOffFrame == writeRegisterFrame(kBoxSlave, kSirenRegister, kSirenOffValue));
static_assert(kPowerQueryFrame == writeRegisterFrame(kBoxSlave, kPowerRegister, kPowerQueryValue));

// A box reply is valid when it has at least two bytes, did not overflow its
// buffer, and its last two bytes are the CRC (low byte first) of the rest.
// Nothing else of the reply is compared with the request.
bool frameReplyValid(const std::uint8_t* reply, std::size_t stored, bool overflowed);
// Mains present: a valid reply whose byte 4 is nonzero (a shorter reply reads
// as 0 there, like the cleared buffer it was collected into).
bool powerPresent(const std::uint8_t* reply, std::size_t stored, bool overflowed);

// Collects one reply, fed one read result at a time by the port layer:
// up to `firstByteAttempts` empty reads while the first byte is awaited,
// then every byte until the first empty read, which ends the reply at once.
// The buffer is cleared first and never written past its size; bytes that do
// not fit are counted and dropped. In text mode one byte stays free so the
// stored reply is always NUL-terminated.
class ReplyCollector {
public:
    enum class Mode { Binary, Text };

    ReplyCollector(std::uint8_t* buffer, std::size_t size, Mode mode, int firstByteAttempts = kFirstByteAttempts);

    bool finished() const { return state_ == State::Done; }
    // A read returned one byte.
    void byteArrived(std::uint8_t b);
    // A read of kReadTimeoutMs returned nothing.
    void readTimedOut();

    std::size_t stored() const { return stored_; }
    std::size_t received() const { return received_; }
    bool overflowed() const { return received_ > stored_; }
    int emptyReads() const { return emptyReads_; }
    // The stored reply read as text: up to its first NUL byte.
    std::string_view text() const;

private:
    enum class State { AwaitingFirst, Receiving, Done };
    std::uint8_t* buffer_;
    std::size_t room_;
    int firstByteAttempts_;
    State state_ = State::AwaitingFirst;
    std::size_t stored_ = 0;
    std::size_t received_ = 0;
    int emptyReads_ = 0;
};

// Substring search in a reply text, only for matches starting at `from` or
// later (a text no longer than `from` never matches).
bool textContains(std::string_view text, std::string_view pattern, std::size_t from = 0);

// AT command lines and the checks on their replies.
inline constexpr std::string_view kAtCommand = "AT\r\n";
inline constexpr std::string_view kPduModeCommand = "AT+CMGF=0\r\n";
inline constexpr std::string_view kServiceCentreCommand = "AT+CSCA?\r\n";
inline constexpr std::string_view kOkText = "OK";
inline constexpr std::string_view kPromptText = ">";
inline constexpr std::string_view kInternationalTypeText = "145";
inline constexpr std::size_t kServiceCentreTypeFrom = 34;  // after the echo and the number

// Reply buffer sizes, NUL included.
inline constexpr std::size_t kAtReplySize = 20;
inline constexpr std::size_t kShortReplySize = 50;  // AT+CMGF, AT+CSCA?
inline constexpr std::size_t kPromptReplySize = 400;

}  // namespace tovanix::alarm
