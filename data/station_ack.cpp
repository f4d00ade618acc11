#include "data/station_ack.h"

#include "alarms/alarm_messages.h"
#include "devices/engine.h"

namespace tovanix::data {

std::optional<alarms::AckStation::Names> StationAck::find(int lineid, int address) {
    return engine_.table().with([&](std::vector<devices::LineEntry>& lines) -> std::optional<Names> {
        devices::LineEntry* line = nullptr;
        devices::DeviceEntry* d = devices::StationTable::findIn(lines, lineid, address, &line);
        if (d == nullptr) return std::nullopt;
        return Names{d->name, line->name};
    });
}

bool StationAck::soundOn() {
    return engine_.alarmShared().config.settings().sound != 0;
}

void StationAck::sirenOff() {
    engine_.postAlarm(alarms::kMsgAlarmBoxOff);
}

void StationAck::resetEntry(int lineid, int address) {
    engine_.table().updateDevice(lineid, address, [](devices::DeviceEntry& d) {
        d.status = devices::kStatusNormal;
        d.unacknowledged = 0;
    });
}

}  // namespace tovanix::data
