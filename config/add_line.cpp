#include "config/add_line.h"

#include <cstdio>

#include "config/line_store.h"
#include "devices/config_load.h"
#include "devices/station_table.h"
#include "drivers/driver_api.h"
#include "platform/format.h"
#include "platform/prompter.h"
#include "platform/serial.h"

namespace tovanix::config {

std::vector<std::string> serialPortChoices() {
    std::vector<std::string> names;
    for (const auto& p : platform::enumerateSerialPorts()) names.push_back(p.name);
    if (names.empty()) names.emplace_back(kNoSerialPort);
    return names;
}

int parsePortText(const std::string& text) {
    int port = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "COM%d%c", &port, &rest) != 1 || port < 0) return 0;
    return port;
}

namespace {

AddLineOutcome stay(Prompter& p, const std::string& text) {
    p.inform(text, kCaptionInfo);
    return {};
}

// A live line of the station table on this port (the database may not know
// a line whose row was just revived elsewhere, the table always does).
bool portInTable(const devices::StationTable& table, int port) {
    return table.with([port](const std::vector<devices::LineEntry>& lines) {
        for (const auto& l : lines) {
            if (l.port == port) return true;
        }
        return false;
    });
}

}  // namespace

AddLineOutcome submitAddLine(Prompter& p, devices::StationTable& table, const PortDrivers& drivers,
                             const AddLineInput& in) {
    const int port = parsePortText(in.portText);
    // A deleted line keeps its entry (and number) until its port is closed;
    // a revived row would take that number meanwhile.
    if (in.deletionClosing) return stay(p, kClosingInProgress);
    if (table.lineCount() >= devices::kMaxLines) return stay(p, kLinesFull);

    // Before the port test: opening a port a line already holds would reopen it.
    const PortCheck held = portHeldByLiveLine(port);
    if (held.result == db::StoreResult::ConnectFailed) return stay(p, devices::kCannotOpenDatabase);
    if (held.result == db::StoreResult::Failed) return stay(p, kLineAddFailed);
    if (held.held || portInTable(table, port)) return stay(p, platform::format(kPortTakenFormat, port));

    if (in.wired) {
        // Left open: the polling thread serves it from now on.
        if (drivers.wired.openCom(port) == 0) return stay(p, platform::format(kPortMissingFormat, port));
    } else {
        if (drivers.tevlib.open(port) == 0) return stay(p, platform::format(kPortMissingFormat, port));
        drivers.tevlib.close();
    }

    db::LineSettings s;
    s.name = in.name;
    s.tcpPort = kDefaultTcpPort;
    s.hubAddress = kDefaultHubAddress;
    s.serialPort = port;
    s.scanInterval = kDefaultScanSeconds;
    s.scanIntervalUpper = kDefaultScanUpperSeconds;
    s.wired = in.wired ? 1 : 0;
    const LineAdd add = addLineRow(s);
    if (!add.allocation.ok()) {
        // No line owns the port we opened.
        if (in.wired) drivers.wired.closeCom(port);
        if (add.result == db::StoreResult::ConnectFailed) return stay(p, devices::kCannotOpenDatabase);
        if (add.allocation.result == db::AllocationResult::InUse) {
            return stay(p, platform::format(kPortTakenFormat, port));
        }
        return stay(p, kLineAddFailed);
    }

    devices::LineEntry entry;
    entry.name = in.name;
    entry.lineid = add.allocation.number;
    entry.port = port;
    entry.wired = s.wired;
    entry.portOpen = true;
    if (!table.addLine(std::move(entry))) {
        if (in.wired) drivers.wired.closeCom(port);
        return stay(p, kLinesFull);
    }
    return {true, add.allocation.number};
}

}  // namespace tovanix::config
