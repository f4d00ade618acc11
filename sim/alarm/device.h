// The simulated alarm device: alarm box (Modbus RTU function 6 to slave 255)
// and GSM modem (AT commands, PDU-mode AT+CMGS) sharing one line. Fed with
// the bytes the station wrote and the current time; produces the bytes to
// send back, paced at 9600 baud. No I/O here: main.cpp moves the bytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/alarm/tpdu_decoder.h"

namespace tovanix::alarmsim {

using Clock = std::chrono::steady_clock;

enum class Fault { None, Silence, NoPrompt, PartialEcho, BadCrc, Pause };

struct FaultSetting {
    Fault fault = Fault::None;
    int times = 0;        // replies (requests, for silence) it still affects; 0 = until cleared
    std::size_t at = 0;   // partial echo: bytes echoed; pause: bytes before the pause
    int pauseMs = 0;
};

inline constexpr std::size_t kDefaultPauseAt = 4;
inline constexpr int kDefaultPauseMs = 300;
inline constexpr std::size_t kDefaultPartialEcho = 16;
inline constexpr int kDefaultNetworkDelayMs = 1000;

// One short message the modem was handed.
struct ReceivedMessage {
    long cmgsLength = 0;      // the <length> of AT+CMGS
    std::string pdu;          // the hex typed after the prompt, SUB and line end removed
    std::optional<SubmitTpdu> tpdu;
    std::string error;        // empty when decoded and the length matched
};

// Bytes written at a fixed baud rate, with pauses between segments.
class PacedOutput {
public:
    explicit PacedOutput(bool paced) : paced_(paced) {}
    // Appends a segment that starts `delayMs` after the previous one ended;
    // `marked` segments are counted by takeDue once their last byte is out.
    void push(const std::vector<std::uint8_t>& bytes, int delayMs, Clock::time_point now, bool marked = false);
    // Bytes due by `now`, removed from the queue.
    std::vector<std::uint8_t> takeDue(Clock::time_point now, long* markedDone = nullptr);
    std::optional<Clock::time_point> nextDue() const;
    bool empty() const { return queue_.empty(); }

private:
    struct Pending {
        std::uint8_t byte;
        Clock::time_point due;
        bool endsMarked;
    };
    bool paced_;
    std::deque<Pending> queue_;
    Clock::time_point lastDue_ {};
};

class AlarmDevice {
public:
    explicit AlarmDevice(bool paced = true) : out_(paced) {}

    void receive(const std::uint8_t* data, std::size_t len, Clock::time_point now);
    // Ends what waited for a time-out (a line end, a broken frame).
    void tick(Clock::time_point now);
    // The earliest time tick() or output needs attention.
    std::optional<Clock::time_point> nextDeadline() const;
    std::vector<std::uint8_t> takeOutput(Clock::time_point now) { return out_.takeDue(now, &counters_.results); }

    // Control.
    void setPower(bool present) { power_ = present; }
    bool power() const { return power_; }
    bool siren() const { return siren_; }
    void setFault(const FaultSetting& f) { fault_ = f; }
    const FaultSetting& fault() const { return fault_; }
    void setCommandEcho(bool on) { commandEcho_ = on; }
    bool commandEcho() const { return commandEcho_; }
    void setNetworkDelay(int ms) { networkDelayMs_ = ms; }
    int networkDelay() const { return networkDelayMs_; }
    const std::vector<ReceivedMessage>& messages() const { return messages_; }
    void clear();

    struct Counters {
        long frames = 0;       // valid box frames handled
        long badFrames = 0;    // frames dropped: CRC, slave, function, incomplete
        long sirenOn = 0;      // switch-on requests
        long sirenOff = 0;
        long powerQueries = 0;
        long commands = 0;     // AT command lines
        long ignored = 0;      // requests swallowed by the silence fault
        long results = 0;      // "+CMGS" / "+CMS ERROR" lines written after a PDU
    };
    const Counters& counters() const { return counters_; }

    // Events for the demo log, taken by main.cpp.
    std::vector<std::string> takeEvents();

private:
    enum class State { Command, CommandCr, Frame, PduEntry, PduEnd };

    void feed(std::uint8_t b, Clock::time_point now);
    void executeCommand(Clock::time_point now);
    void handleFrame(Clock::time_point now);
    void finishPdu(Clock::time_point now);
    // Sends one reply through the fault in force.
    void reply(std::vector<std::uint8_t> bytes, bool boxReply, bool pduEcho, Clock::time_point now);
    bool consume(Fault f);  // true when f is in force; counts one use
    void event(std::string text) { events_.push_back(std::move(text)); }

    PacedOutput out_;
    State state_ = State::Command;
    Clock::time_point deadline_ {};
    std::string line_;                 // command typed so far
    std::vector<std::uint8_t> echo_;   // bytes of the command line as received
    std::vector<std::uint8_t> frame_;
    std::string pdu_;
    std::string pduTail_;              // SUB and the line end after it
    long cmgsLength_ = 0;

    bool power_ = true;
    bool siren_ = false;
    bool commandEcho_ = true;  // ATE1
    bool pduMode_ = true;      // AT+CMGF=0
    int networkDelayMs_ = kDefaultNetworkDelayMs;
    int messageReference_ = 0;
    FaultSetting fault_;
    std::vector<ReceivedMessage> messages_;
    Counters counters_;
    std::vector<std::string> events_;
};

}  // namespace tovanix::alarmsim
