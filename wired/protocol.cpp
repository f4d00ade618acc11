#include "wired/protocol.h"

#include <cstdio>
#include <cstring>

namespace tovanix::wired::proto {

namespace {

constexpr int kBitsPerByte = 8;
constexpr int kTwoDigits = 100;

std::uint8_t lowByte(int v) { return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu); }
std::uint8_t highByte(int v) { return static_cast<std::uint8_t>((static_cast<unsigned>(v) >> kBitsPerByte) & 0xFFu); }

// Address, function, register (high first), count (high first).
Frame header(int address, Function fn, Register reg, std::uint16_t count) {
    Frame f;
    f.bytes[0] = lowByte(address);
    f.bytes[1] = fn;
    f.bytes[2] = highByte(reg);
    f.bytes[3] = lowByte(reg);
    f.bytes[4] = highByte(count);
    f.bytes[5] = lowByte(count);
    f.length = 6;
    return f;
}

// Appends the CRC of the bytes so far.
void appendCrc(Frame& f) {
    platform::putCrc16({f.bytes.data(), f.length + kCrcSize});
    f.length += kCrcSize;
}

Frame readRequest(int address, Register reg, std::uint16_t count) {
    Frame f = header(address, kFnRead, reg, count);
    appendCrc(f);
    return f;
}

}  // namespace

void putRequestWord(std::uint8_t* out, int value) {
    // Two's complement of the low 16 bits, low byte first.
    out[0] = lowByte(value);
    out[1] = highByte(value);
}

std::uint16_t replyWord(const std::uint8_t* in) {
    return static_cast<std::uint16_t>((in[0] << kBitsPerByte) | in[1]);
}

std::int16_t replySigned(const std::uint8_t* in) { return static_cast<std::int16_t>(replyWord(in)); }

std::uint8_t bcdDecode(std::uint8_t b) { return static_cast<std::uint8_t>((b >> 4) * 10 + (b & 0x0F)); }

std::uint8_t bcdEncode(int value) {
    value %= kTwoDigits;
    if (value < 0) value += kTwoDigits;
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

Frame buildDownloadNow(int address) { return readRequest(address, kRegCurrent, kCountCurrent); }
Frame buildGetAlarm(int address) { return readRequest(address, kRegAlarmRead, kCountAlarmRead); }
Frame buildGetStatus(int address) { return readRequest(address, kRegStatus, kCountStatus); }
Frame buildGetClock(int address) { return readRequest(address, kRegClock, kCountClock); }

Frame buildGetHistory(int address, int block) {
    // The block number rides in the low byte of the register count.
    return readRequest(address, kRegHistory, lowByte(block));
}

std::array<std::uint8_t, kAlarmBlockSize> alarmBlock(const AlarmSettings& s) {
    std::array<std::uint8_t, kAlarmBlockSize> b{};
    b[kAbInterval] = lowByte(s.intervalCode);
    b[kAbMarker] = kAlarmMarker;
    b[kAbVersion] = kAlarmVersion;
    b[kAbEnableMask] = lowByte(s.enableMask);
    b[kAbReserved] = 0;
    putRequestWord(&b[kAbCh1Upper], s.limits[0]);
    putRequestWord(&b[kAbCh1Lower], s.limits[1]);
    putRequestWord(&b[kAbCh2Upper], s.limits[2]);
    putRequestWord(&b[kAbCh2Lower], s.limits[3]);
    putRequestWord(&b[kAbSoundDuration], s.soundDuration);
    return b;
}

Frame buildSetAlarm(int address, const AlarmSettings& settings) {
    Frame f = header(address, kFnWrite, kRegAlarmWrite, kCountAlarmWrite);
    f.bytes[f.length++] = kAlarmBlockSize;
    auto block = alarmBlock(settings);
    std::memcpy(&f.bytes[f.length], block.data(), block.size());
    f.length += block.size();
    appendCrc(f);
    return f;
}

Frame buildSetClock(int address, const std::uint8_t bcd[6]) {
    constexpr std::uint8_t kClockBytes = 6;
    Frame f = header(address, kFnWrite, kRegClock, kCountClock);
    f.bytes[f.length++] = kClockBytes;
    std::memcpy(&f.bytes[f.length], bcd, kClockBytes);
    f.length += kClockBytes;
    appendCrc(f);
    return f;
}

Frame buildClearData(int address) {
    Frame f = header(address, kFnWrite, kRegClearData, kCountClearData);
    appendCrc(f);
    // The loggers expect the frame padded with zeros to 36 bytes; the buffer
    // is zero-filled already.
    f.length = kRequestClearData;
    return f;
}

void formatTime(char text[kTimeTextLength + 1], const std::uint8_t bcd[], bool withSeconds) {
    int field[6];
    for (int i = 0; i < 6; ++i) field[i] = (i < 5 || withSeconds) ? bcdDecode(bcd[i]) % kTwoDigits : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d %02d:%02d:%02d", kCenturyBase + field[0], field[1], field[2], field[3],
                  field[4], field[5]);
    std::memcpy(text, buf, kTimeTextLength);
    text[kTimeTextLength] = '\0';
}

CurrentReading decodeCurrent(std::span<const std::uint8_t> reply) {
    constexpr float kTenths = 10.0f;
    CurrentReading r;
    formatTime(r.timeText, &reply[kRoCurrentTime], false);
    const std::uint8_t* w = &reply[kRoCurrentReadings];
    r.r12[0] = static_cast<float>(replySigned(w + 0)) / kTenths;
    r.r12[1] = static_cast<float>(replySigned(w + 2)) / kTenths;
    r.r34[0] = static_cast<float>(replySigned(w + 4)) / kTenths;
    r.r34[1] = static_cast<float>(replySigned(w + 6)) / kTenths;
    return r;
}

AlarmSettings decodeAlarm(std::span<const std::uint8_t> reply) {
    const std::uint8_t* b = &reply[kRoAlarmBlock];
    AlarmSettings s;
    s.intervalCode = b[kAbInterval];
    s.enableMask = b[kAbEnableMask];
    // Limits are signed so that freezer limits below zero survive the trip.
    s.limits[0] = replySigned(&b[kAbCh1Upper]);
    s.limits[1] = replySigned(&b[kAbCh1Lower]);
    s.limits[2] = replySigned(&b[kAbCh2Upper]);
    s.limits[3] = replySigned(&b[kAbCh2Lower]);
    s.soundDuration = replyWord(&b[kAbSoundDuration]);
    return s;
}

Status decodeStatus(std::span<const std::uint8_t> reply) {
    const std::uint8_t* b = &reply[kRoStatusBlock];
    Status s;
    formatTime(s.timeText, &b[kSbOldest], false);
    s.intervalCode = b[kSbInterval];
    s.count = replyWord(&b[kSbCount]);
    s.secondWord = replyWord(&b[kSbSecondWord]);
    return s;
}

void decodeClock(std::span<const std::uint8_t> reply, char text[kTimeTextLength + 1]) {
    formatTime(text, &reply[kRoClock], true);
}

std::size_t historyReplyLength(std::uint8_t byteCount) { return kHistoryHeader + byteCount + kCrcSize; }

bool historyByteCountOk(std::uint8_t byteCount) {
    return byteCount >= kHistoryUnused && byteCount <= kHistoryMaxByteCount;
}

std::size_t historyRecordCount(std::uint8_t byteCount) {
    if (byteCount < kHistoryUnused) return 0;
    return (byteCount - kHistoryUnused) / kHistoryRecordSize;
}

std::size_t decodeHistory(std::span<const std::uint8_t> reply, HistoryRecord* out, std::size_t capacity) {
    if (reply.size() <= kRoByteCount) return 0;
    std::size_t n = historyRecordCount(reply[kRoByteCount]);
    if (n > capacity) n = capacity;
    // Never read into the CRC or past the reply.
    const std::size_t payloadEnd = reply.size() - kCrcSize;
    std::size_t written = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t at = kHistoryFirstRecord + i * kHistoryRecordSize;
        if (at + kHistoryRecordSize > payloadEnd) break;
        HistoryRecord& r = out[written++];
        for (int k = 0; k < 5; ++k) r.time[k] = bcdDecode(reply[at + k]);
        r.values[0] = replySigned(&reply[at + 5]);
        r.values[1] = replySigned(&reply[at + 7]);
    }
    return written;
}

}  // namespace tovanix::wired::proto
