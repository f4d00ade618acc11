// A bus of simulated wired loggers: request frames in, reply bytes with
// their timing out. No I/O here; main.cpp moves the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wired/protocol.h"

namespace tovanix::sim {

// One byte at 9600 baud, 8N1: 10 bits.
inline constexpr double kByteMicros = 10.0 * 1e6 / 9600.0;

enum class FaultKind {
    None,
    Silent,     // no reply
    BadCrc,     // CRC low byte flipped
    Short,      // one byte fewer, CRC valid over what is sent
    Long,       // one byte more, CRC valid over what is sent
    Split,      // first half, a gap of arg ms, the rest
    Trickle,    // every byte arg ms after the one before
    Late,       // reply starts arg ms later than usual
    SlowFirst,  // first byte, then arg ms, then the rest
    Oversize,   // reply padded to arg bytes, CRC valid
    HistBytes,  // history reply with byte count arg, CRC valid
};

struct Fault {
    FaultKind kind = FaultKind::None;
    int arg = 0;
    int remaining = -1;  // replies still affected; -1 = until cleared
    int skip = 0;        // replies let through untouched before it applies

    // Whether the next reply is affected; counts it either way.
    FaultKind take();
    FaultKind peek() const { return (skip > 0 || remaining == 0) ? FaultKind::None : kind; }
};

std::optional<FaultKind> faultFromName(const std::string& name);
int defaultFaultArg(FaultKind kind);

struct HistoryRecord {
    std::time_t when = 0;  // logger time, minute resolution
    std::int16_t values[2] = {0, 0};
};

struct Logger {
    int address = 1;
    std::int16_t readings[4] = {250, 550, 250, 550};  // tenths
    // Alarm settings block, stored as fields.
    std::uint8_t intervalCode = 1;
    std::uint8_t enableMask = 3;
    std::int16_t limits[4] = {300, 100, 800, 200};  // ch1 up, ch1 low, ch2 up, ch2 low
    std::uint16_t soundDuration = 10;
    std::array<std::uint8_t, tovanix::wired::proto::kAlarmBlockSize> rawBlock{};  // as last written
    bool blockWritten = false;
    std::time_t clockOffset = 0;   // logger time minus host time, seconds
    std::time_t clearedAt = 0;     // oldest-record time when nothing is stored
    std::vector<HistoryRecord> history;
    std::uint16_t secondWord = 0;
    bool recording = false;        // store a record every interval
    std::time_t nextRecord = 0;
    Fault fault;
};

// A chunk of reply bytes and when it leaves, relative to the request's end.
struct Chunk {
    double delayMicros = 0;  // before the first byte of this chunk
    double gapMicros = 0;    // between bytes inside the chunk (at least one byte time when paced)
    std::vector<std::uint8_t> bytes;
};

struct Transmission {
    std::vector<Chunk> chunks;
};

class Bus {
public:
    Bus();

    Logger& add(int address);
    bool remove(int address);
    Logger* find(int address);
    std::map<int, Logger>& loggers() { return loggers_; }

    // Feeds bytes from the wire. Complete frames are answered; the replies
    // come out in order with their timing.
    std::vector<Transmission> feed(const std::uint8_t* data, std::size_t len, bool paced);
    // Drops a partial frame that has been waiting too long (the next request
    // starts clean).
    void resync() { pending_.clear(); }
    bool hasPartial() const { return !pending_.empty(); }

    // Logger time now.
    std::time_t loggerNow(const Logger& l) const;
    void setLoggerTime(Logger& l, std::time_t when);
    // Stores records for loggers that record; call about once a second.
    void tick();

    // What was received: every raw byte, and valid frames per address.
    const std::vector<std::uint8_t>& raw() const { return raw_; }
    std::vector<std::vector<std::uint8_t>> framesTo(int address) const;
    void clearLog();

    // The reply a logger gives to one request, before faults and timing.
    std::vector<std::uint8_t> answer(Logger& l, const std::vector<std::uint8_t>& request);

private:
    Transmission shape(Logger& l, std::vector<std::uint8_t> reply, std::size_t requestLen, bool paced);

    std::map<int, Logger> loggers_;
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint8_t> raw_;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> frames_;
};

// BCD helpers on local time.
void toBcd(std::time_t t, std::uint8_t out[6]);
std::optional<std::time_t> fromBcd(const std::uint8_t in[6]);
std::string hex(const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> unhex(const std::string& text);

}  // namespace tovanix::sim
