// Frames of the wired logger protocol: building requests and decoding
// replies, with no I/O. Shared by libWired.so and the logger simulator.
//
// The frames borrow Modbus RTU framing (address, function, header, data,
// CRC-16/MODBUS low byte first), but lengths and data layouts are the
// loggers' own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/crc16.h"

namespace tovanix::wired::proto {

// Function codes.
enum Function : std::uint8_t {
    kFnRead = 0x03,   // read a register block
    kFnWrite = 0x10,  // write a register block
};

// Register addresses (high byte first in requests).
enum Register : std::uint16_t {
    kRegStatus = 0x0000,      // status block: oldest record, interval, count
    kRegAlarmRead = 0x0004,   // 27-byte alarm settings block, read
    kRegAlarmWrite = 0x0005,  // the same block, written
    kRegClearData = 0x00C0,   // erase stored records
    kRegClock = 0x00C8,       // 6-byte BCD clock
    kRegCurrent = 0x00CE,     // current reading
    kRegHistory = 0x0100,     // stored records; the low count byte is the block number
};

// Register counts sent in read and write requests.
enum RegisterCount : std::uint16_t {
    kCountStatus = 0x0002,
    kCountAlarmRead = 0x0010,
    kCountAlarmWrite = 0x000F,
    kCountClock = 0x0006,
    kCountCurrent = 0x0004,
    kCountClearData = 0x0000,
};

inline constexpr std::size_t kTxBufferSize = 40;   // transmit buffer of the library
inline constexpr std::size_t kRxBufferSize = 200;  // receive buffer of the library
inline constexpr std::size_t kCrcSize = platform::kCrc16Size;

// Alarm settings block: offsets from its first byte.
enum AlarmBlockOffset : std::size_t {
    kAbInterval = 0,       // recording interval code (minutes)
    kAbMarker = 1,         // 0xEE when written
    kAbVersion = 2,        // 0x02 when written
    kAbEnableMask = 3,     // bit 0 channel 1 alarm, bit 1 channel 2 alarm
    kAbReserved = 4,       // 0 when written
    kAbCh1Upper = 5,
    kAbCh1Lower = 7,
    kAbCh2Upper = 9,
    kAbCh2Lower = 11,
    kAbPadding = 13,       // 12 bytes, 0 when written
    kAbSoundDuration = 25,
    kAlarmBlockSize = 27,
};
inline constexpr std::uint8_t kAlarmMarker = 0xEE;
inline constexpr std::uint8_t kAlarmVersion = 0x02;

// Reply lengths, CRC included.
enum ReplyLength : std::size_t {
    kReplyCurrent = 22,
    kReplyAlarm = 33,
    kReplyWriteAck = 8,
    kReplyStatus = 15,
    kReplyClock = 11,
};

// Request lengths as written on the wire.
enum RequestLength : std::size_t {
    kRequestRead = 8,
    kRequestSetAlarm = 36,
    kRequestSetClock = 15,
    kRequestClearData = 36,  // 8-byte frame and 28 zero bytes
};

// History replies: header (address, function, byte count), two unused
// bytes, records of 9 bytes, CRC.
inline constexpr std::size_t kHistoryHeader = 3;
inline constexpr std::size_t kHistoryUnused = 2;
inline constexpr std::size_t kHistoryRecordSize = 9;
inline constexpr std::size_t kHistoryMaxRecords = 20;
// Largest byte count accepted: (184 - 2) / 9 rounds down to 20 records; any
// more would overrun the callers' arrays of 20.
inline constexpr std::size_t kHistoryMaxByteCount = 184;
inline constexpr std::size_t kHistoryFirstRecord = kHistoryHeader + kHistoryUnused;

// Offsets inside replies.
enum ReplyOffset : std::size_t {
    kRoByteCount = 2,
    kRoCurrentTime = 3,       // 5 BCD bytes
    kRoCurrentReadings = 8,   // four signed words
    kRoAlarmBlock = 4,        // 27-byte alarm block
    kRoClock = 3,             // 6 BCD bytes
    kRoStatusBlock = 3,       // 10-byte status block
};

// Status block: offsets from its first byte.
enum StatusOffset : std::size_t {
    kSbOldest = 0,        // 5 BCD bytes
    kSbInterval = 5,
    kSbCount = 6,         // reply word
    kSbSecondWord = 8,    // reply word
    kStatusBlockSize = 10,
};

inline constexpr int kCenturyBase = 2000;
inline constexpr std::size_t kTimeTextLength = 19;  // "YYYY-MM-DD HH:MM:SS"

// Request word: 16-bit two's complement, low byte first (negative limits
// travel as e.g. -200 -> 38 FF).
void putRequestWord(std::uint8_t* out, int value);
// Reply words are high byte first.
std::uint16_t replyWord(const std::uint8_t* in);
std::int16_t replySigned(const std::uint8_t* in);

std::uint8_t bcdDecode(std::uint8_t b);
std::uint8_t bcdEncode(int value);  // 0..99

// A built request.
struct Frame {
    std::array<std::uint8_t, kTxBufferSize> bytes{};
    std::size_t length = 0;
    std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// Alarm settings as the exported operations pass them.
struct AlarmSettings {
    int enableMask = 0;
    int limits[4] = {0, 0, 0, 0};  // ch1 upper, ch1 lower, ch2 upper, ch2 lower (tenths)
    int soundDuration = 0;
    int intervalCode = 0;
};

Frame buildDownloadNow(int address);
Frame buildGetAlarm(int address);
Frame buildSetAlarm(int address, const AlarmSettings& settings);
Frame buildGetStatus(int address);  // W_GetRecordingInterval, W_GetOldestRecordTime
Frame buildGetClock(int address);
Frame buildSetClock(int address, const std::uint8_t bcd[6]);
Frame buildGetHistory(int address, int block);
Frame buildClearData(int address);

// The 27-byte block that W_SetAlarm writes.
std::array<std::uint8_t, kAlarmBlockSize> alarmBlock(const AlarmSettings& settings);

// Decoders take the whole reply (CRC included) whose length and CRC were
// already checked.
struct CurrentReading {
    char timeText[kTimeTextLength + 1] = {};  // "YYYY-MM-DD HH:MM:00"
    float r12[2] = {0, 0};
    float r34[2] = {0, 0};
};
CurrentReading decodeCurrent(std::span<const std::uint8_t> reply);
AlarmSettings decodeAlarm(std::span<const std::uint8_t> reply);

struct Status {
    char timeText[kTimeTextLength + 1] = {};
    int intervalCode = 0;
    int count = 0;
    int secondWord = 0;
};
Status decodeStatus(std::span<const std::uint8_t> reply);

// "YYYY-MM-DD HH:MM:SS" from the 6 BCD bytes of a clock reply.
void decodeClock(std::span<const std::uint8_t> reply, char text[kTimeTextLength + 1]);

// History: the reply length that byte 2 asks for, whether that byte count is
// acceptable, and the records it holds.
std::size_t historyReplyLength(std::uint8_t byteCount);
bool historyByteCountOk(std::uint8_t byteCount);
std::size_t historyRecordCount(std::uint8_t byteCount);
struct HistoryRecord {
    std::uint8_t time[5] = {};  // year (two digits), month, day, hour, minute: binary
    double values[2] = {0, 0};  // tenths, not divided
};
// Decodes at most `capacity` records into out; returns the number written.
std::size_t decodeHistory(std::span<const std::uint8_t> reply, HistoryRecord* out, std::size_t capacity);

// Writes "YYYY-MM-DD HH:MM:SS" (seconds given or 0) from decoded BCD fields.
// Each field is kept to two digits so the text is always 19 characters, even
// when a logger sends bytes that are not decimal.
void formatTime(char text[kTimeTextLength + 1], const std::uint8_t bcd[], bool withSeconds);

}  // namespace tovanix::wired::proto
