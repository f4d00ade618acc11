// The wireless receiver mode of the simulator: answers libTevlib's frames
// (tevlib/PROTOCOL.md) for a set of wireless loggers behind the receiver.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "sim/logger/bus.h"

namespace tovanix::sim {

struct WirelessLogger {
    int address = 1;
    std::uint8_t running = 1;
    float power[2] = {3.6f, 3.6f};
    std::uint8_t powerKind = 3;  // 0 external, 1 low, 2 medium, 3 full
    std::uint8_t beep[3] = {1, 10, 30};  // enable, monitor interval, duration
    int config[4] = {5, 1, 10, 30};      // record interval, unit, sampling, LCD-off delay
    Fault fault;
};

class Receiver {
public:
    WirelessLogger& add(int address);
    bool remove(int address);
    WirelessLogger* find(int address);
    std::map<int, WirelessLogger>& loggers() { return loggers_; }

    std::vector<Transmission> feed(const std::uint8_t* data, std::size_t len, bool paced);
    void resync() { pending_.clear(); }
    bool hasPartial() const { return !pending_.empty(); }

    const std::vector<std::uint8_t>& raw() const { return raw_; }
    std::vector<std::vector<std::uint8_t>> framesTo(int address) const;
    void clearLog();

private:
    std::vector<std::uint8_t> answer(int address, std::uint8_t cmd, const std::vector<std::uint8_t>& payload);

    std::map<int, WirelessLogger> loggers_;
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint8_t> raw_;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> frames_;
};

}  // namespace tovanix::sim
