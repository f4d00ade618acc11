#include "app/tree_editing.h"

#include <mutex>
#include <vector>

#include "app/node_data.h"
#include "platform/prompter.h"
#include "app/tree_store.h"
#include "db/connection.h"
#include "db/removal.h"
#include "devices/engine.h"
#include "devices/messages.h"

namespace tovanix::app {

namespace {

using devices::LineEntry;

bool confirmed(Prompter& p, const char* question) {
    return p.ask(question, kCaptionConfirm, PromptIcon::Warning, PromptButtons::OkCancel) == PromptAnswer::Ok;
}

}  // namespace

void LineRetirement::retire(int lineid) {
    int port = devices::kPortOfEntry;
    engine_.table().updateLine(lineid, [&port](LineEntry& l) {
        l.devices.clear();
        l.groups.clear();
        port = l.port;
    });
    pending_.push_back({lineid, port});
}

std::optional<platform::ResultFollower::Request> LineRetirement::nextClose() {
    if (pending_.empty()) return std::nullopt;
    const devices::LineRequest close = pending_.front();
    platform::ResultFollower::Request r;
    r.post = [this, close] { return engine_.post(devices::kMsgClosePort, close); };
    r.code = &engine_.lineClosing;
    r.pending = 1;
    r.idle = 0;
    return r;
}

void LineRetirement::closed() {
    if (pending_.empty()) return;
    engine_.table().removeLine(pending_.front().lineid);
    pending_.pop_front();
}

EditOutcome deleteLine(Prompter& p, devices::Engine& engine, LineRetirement& retirement, TreeSurface& surface,
                       unsigned nodeData) {
    if (!confirmed(p, kDeleteLineQuestion)) return EditOutcome::Cancelled;
    const int lineid = lineOf(nodeData);
    {
        db::Connection c;
        if (!c.open()) return EditOutcome::NoConnection;
        // Under the store lock, so a scan in progress cannot store into a
        // table dropped here once it is gone.
        std::lock_guard<std::mutex> store(engine.storeLock());
        db::LineRemoval removed = db::removeLine(c, lineid);
        if (!removed.found) {
            p.inform(kLineNotFound, kCaptionInfo);
            return EditOutcome::Refused;
        }
        retirement.retire(lineid);
    }
    surface.removeNode(nodeData);
    surface.refillAll();
    engine.restartScanTimer();
    p.inform(kLineDeleted, kCaptionInfo);
    return EditOutcome::Done;
}

EditOutcome deleteDevice(Prompter& p, devices::Engine& engine, TreeSurface& surface, unsigned nodeData) {
    if (!confirmed(p, kDeleteDeviceQuestion)) return EditOutcome::Cancelled;
    const int lineid = lineOf(nodeData);
    const int address = addressOf(nodeData);
    if (engine.table().lineIndex(lineid) < 0) {
        p.inform(kDeviceLineMissing, kCaptionInfo);
        return EditOutcome::Refused;
    }
    // Alarm-log rows carry the device's own deviceid.
    auto entry = engine.table().device(lineid, address);
    const int deviceid = entry ? entry->deviceid : address;
    {
        db::Connection c;
        if (!c.open()) return EditOutcome::NoConnection;
        bool dropped = false;
        bool marked = false;
        {
            // The scan stores under the same lock: once the device is out of
            // the table it cannot bring the dropped table or alarm rows back.
            std::lock_guard<std::mutex> store(engine.storeLock());
            dropped = db::dropDataTable(c, lineid, address);
            if (dropped) {
                db::deleteDeviceAlarmRows(c, deviceid, lineid);
                marked = db::markDeviceDeleted(c, address, lineid);
                if (marked) engine.table().removeDevice(lineid, address);
            }
        }
        if (!dropped) {
            p.inform(kDataTableNotDropped, kCaptionInfo);
            return EditOutcome::Refused;
        }
        if (!marked) {
            p.inform(kDeviceNotDeleted, kCaptionInfo);
            return EditOutcome::Refused;
        }
        surface.removeNode(nodeData);
        p.inform(kDeviceDeleted, kCaptionInfo);
    }
    surface.refillCurrent();
    engine.restartScanTimer();
    return EditOutcome::Done;
}

EditOutcome deleteGroup(Prompter& p, devices::Engine& engine, TreeSurface& surface, unsigned nodeData) {
    if (!confirmed(p, kDeleteGroupQuestion)) return EditOutcome::Cancelled;
    const int roomid = roomOf(nodeData);
    const int lineid = lineOf(nodeData);
    {
        db::Connection c;
        if (!c.open()) return EditOutcome::NoConnection;
        // Not reported as done when the database kept the group: it would
        // be back at the next start.
        if (!db::removeGroup(c, roomid, lineid)) {
            p.inform(kGroupNotDeleted, kCaptionInfo);
            return EditOutcome::Refused;
        }
    }
    std::vector<devices::DeviceEntry> moved;
    engine.table().removeGroup(lineid, roomid, &moved);
    for (const auto& d : moved) surface.addDeviceUnderLine(lineid, deviceNode(lineid, 0, d.address), d.name);
    surface.removeNode(nodeData);
    engine.restartScanTimer();
    p.inform(kGroupDeleted, kCaptionInfo);
    return EditOutcome::Done;
}

void nodeAdded(devices::Engine& engine, TreeSurface& surface, unsigned parentData, unsigned data,
               const std::string& name) {
    surface.insertNode(parentData, data, name);
    surface.refillCurrent();
    engine.restartScanTimer();
}

bool renameNode(devices::Engine& engine, unsigned nodeData, const std::string& name) {
    if (name.empty()) return false;
    const int lineid = lineOf(nodeData);
    switch (nodeKind(nodeData)) {
        case NodeKind::Root:
            return renameSystem(name) == db::StoreResult::Done;
        case NodeKind::Line: {
            if (renameLine(lineid, name) != db::StoreResult::Done) return false;
            engine.table().updateLine(lineid, [&](LineEntry& l) { l.name = name; });
            return true;
        }
        case NodeKind::Group: {
            const int roomid = roomOf(nodeData);
            if (renameGroup(roomid, lineid, name) != db::StoreResult::Done) return false;
            // Alarm rows name the group from memory: keep it in step.
            engine.table().updateLine(lineid, [&](LineEntry& l) {
                for (auto& g : l.groups) {
                    if (g.roomid == roomid) g.name = name;
                }
            });
            return true;
        }
        case NodeKind::Device: {
            const int address = addressOf(nodeData);
            auto entry = engine.table().device(lineid, address);
            if (!entry) return false;
            if (renameDevice(entry->deviceid, lineid, name) != db::StoreResult::Done) return false;
            engine.table().updateDevice(lineid, address, [&](devices::DeviceEntry& d) { d.name = name; });
            return true;
        }
    }
    return false;
}

}  // namespace tovanix::app
