// Control commands of the logger simulator: one text line in, one line out
// ("OK ..." or "ERR reason"). The command set is listed in README.md.
#pragma once

#include <string>

#include "sim/logger/bus.h"
#include "sim/logger/receiver.h"

namespace tovanix::sim {

struct SimState {
    Bus bus;
    Receiver receiver;
    bool receiverMode = false;  // the pty plays the wireless receiver instead of the wired bus
    bool paced = true;          // 9600-baud timing of replies
    bool quit = false;          // QUIT was asked
};

std::string handleCommand(SimState& state, const std::string& line);

// "YYYY-MM-DD HH:MM[:SS]" in local time.
bool parseTime(const std::string& date, const std::string& time, std::time_t& out);
std::string formatTime(std::time_t t, bool seconds);

}  // namespace tovanix::sim
