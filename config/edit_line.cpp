#include "config/edit_line.h"

#include "config/add_line.h"
#include "config/line_store.h"
#include "devices/config_load.h"
#include "devices/engine.h"
#include "devices/messages.h"
#include "drivers/driver_api.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::config {

namespace {
constexpr unsigned kLineNodeFactor = 100000;  // line node data = lineid * 100000

bool stay(Prompter& p, const std::string& text) {
    p.inform(text, kCaptionInfo);
    return false;
}
}  // namespace

EditLineState openEditLine(Prompter& p, devices::Engine& engine, unsigned lineNodeData) {
    EditLineState s;
    s.lineid = static_cast<int>(lineNodeData / kLineNodeFactor);
    auto entry = engine.table().line(s.lineid);
    s.portOpen = entry && entry->portOpen;
    const StoredLine row = loadLineRow(s.lineid);
    if (row.result == db::StoreResult::ConnectFailed) {
        p.inform(devices::kCannotOpenDatabase, kCaptionInfo);
    } else if (!row.found || !entry) {
        p.inform(kLineMissing, kCaptionInfo);
    } else {
        s.found = true;
        s.settings = row.settings;
        s.portText = "COM" + std::to_string(row.settings.serialPort);
    }
    return s;
}

bool submitChangeLine(Prompter& p, devices::Engine& engine, const PortDrivers& drivers, const ChangeLineInput& in) {
    const int port = parsePortText(in.portText);
    if (engine.portToggle.load() == devices::kToggleClosing) return stay(p, kClosingInProgress);
    auto entry = engine.table().line(in.lineid);
    if (!entry) return stay(p, kLineMissing);
    if (entry->portOpen || engine.portToggle.load() == devices::kToggleOpening) return stay(p, kCloseFirst);

    // Before the port test: opening a port another line holds would reopen it.
    const PortCheck held = portHeldByLiveLine(port, in.lineid);
    if (held.result == db::StoreResult::ConnectFailed) return stay(p, devices::kCannotOpenDatabase);
    if (held.result == db::StoreResult::Failed) return stay(p, kLineChangeFailed);
    const bool inTable = engine.table().with([&](const std::vector<devices::LineEntry>& lines) {
        for (const auto& l : lines) {
            if (l.lineid != in.lineid && l.port == port) return true;
        }
        return false;
    });
    if (held.held || inTable) return stay(p, platform::format(kPortTakenFormat, port));

    // A wireless line's receiver is not tested.
    if (in.wired) {
        if (drivers.wired.openCom(port) == 0) return stay(p, platform::format(kPortUnusableFormat, port));
        drivers.wired.closeCom(port);
    }
    db::LineSettings s = in.stored;
    s.serialPort = port;
    s.wired = in.wired ? 1 : 0;
    const db::StoreResult r = updateLineRow(in.lineid, s);
    if (r == db::StoreResult::ConnectFailed) return stay(p, devices::kCannotOpenDatabase);
    if (r == db::StoreResult::Failed) return stay(p, kLineChangeFailed);
    // Memory follows only what the database took.
    engine.table().updateLine(in.lineid, [&](devices::LineEntry& l) {
        l.port = port;
        l.wired = s.wired;
    });
    p.inform(kLineChanged, kCaptionInfo);
    return true;
}

PortToggle portToggle(devices::Engine& engine, int lineid) {
    auto entry = engine.table().line(lineid);
    const bool open = entry && entry->portOpen;
    PortToggle t;
    devices::LineRequest request{lineid, devices::kPortOfEntry, devices::PortRequester::Toggle};
    const auto message = open ? devices::kMsgClosePort : devices::kMsgOpenPort;
    t.request.post = [&engine, request, message] { return engine.post(message, request); };
    t.request.code = &engine.portToggle;
    t.request.pending = open ? devices::kToggleClosing : devices::kToggleOpening;
    t.request.idle = devices::kToggleIdle;
    t.caption = open ? kOpenPortButton : kClosePortButton;
    return t;
}

}  // namespace tovanix::config
