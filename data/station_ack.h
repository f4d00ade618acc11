// The running station as the alarm acknowledgement sees it: names from the
// station table, Sound from the alarm settings, the siren-off message to
// the alarm thread, the entry's reset under the station lock.
#pragma once

#include "alarms/alarm_ack.h"

namespace tovanix::devices {
class Engine;
}

namespace tovanix::data {

class StationAck : public alarms::AckStation {
public:
    explicit StationAck(devices::Engine& engine) : engine_(engine) {}
    std::optional<Names> find(int lineid, int address) override;
    bool soundOn() override;
    void sirenOff() override;
    void resetEntry(int lineid, int address) override;

private:
    devices::Engine& engine_;
};

}  // namespace tovanix::data
