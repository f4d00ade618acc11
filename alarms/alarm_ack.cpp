#include "alarms/alarm_ack.h"

#include "alarms/alarm_event.h"
#include "db/data_table.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::alarms {

AckListing listOpenAlarms(AckStation& station, int lineid, int address) {
    AckListing listing;
    auto names = station.find(lineid, address);
    if (!names) return listing;
    OpenAlarms open = loadOpenAlarms(db::dataTableNumber(lineid, address));
    if (open.result == db::StoreResult::ConnectFailed) return listing;
    listing.title = platform::format(kAckTitleFormat, names->device.c_str(), names->line.c_str());
    listing.rows = std::move(open.rows);
    return listing;
}

std::string ackCell(const OpenAlarm& row, int index, int column) {
    switch (column) {
        case 0:
            return platform::format("%d", index + 1);
        case 1:
            return row.time;
        case 2:
            return platform::format("%0.1f", row.ch1);
        case 3:
            return platform::format("%0.1f", row.ch2);
        case 4:
            return eventText(row.sign);
        default:
            return {};
    }
}

AckOutcome acknowledge(Prompter& prompter, AckStation& station, int lineid, int address, const std::string& user,
                       const std::function<std::optional<std::string>()>& askNote) {
    AckOutcome out;
    if (station.soundOn()) {
        prompter.inform(kSirenLater, kSirenCaption, PromptIcon::None);
        station.sirenOff();
    }
    if (!station.find(lineid, address)) return out;
    std::optional<std::string> note = askNote();
    if (!note) return out;
    out.close = true;
    if (acknowledgeAll(lineid, address, user, *note) != db::StoreResult::Done) {
        // Nothing was marked: the tile keeps showing the alarm that is still
        // open in the database.
        return out;
    }
    out.stored = true;
    prompter.inform(kAcknowledged, kCaptionInfo);
    station.resetEntry(lineid, address);
    return out;
}

}  // namespace tovanix::alarms
