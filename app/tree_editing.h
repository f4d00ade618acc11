// Deleting lines, groups and devices from the device tree and renaming its
// nodes: each changes the database, the station table (under its lock), the
// tree and the status view together. The tree and the status view are
// reached through TreeSurface, so the logic runs without a window.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "devices/messages.h"
#include "platform/result_follower.h"

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::app {

inline constexpr const char* kDeleteLineQuestion = "该操作会删除线路、线路下的设备及对应的数据，确定删除？";
inline constexpr const char* kLineNotFound = "未在数据库中查询到需要删除线路的信息，请重试";
inline constexpr const char* kLineDeleted = "成功删除线路";
inline constexpr const char* kDeleteDeviceQuestion =
    "该操作将会删除数据库中设备信息和对应的数据记录，确定要删除该设备？";
inline constexpr const char* kDeviceLineMissing = "未成功删除设备，请重试！";
inline constexpr const char* kDataTableNotDropped = "未成功删除对应的数据表！";
inline constexpr const char* kDeviceNotDeleted = "未成功删除设备！";
inline constexpr const char* kDeviceDeleted = "成功删除设备！";
inline constexpr const char* kDeleteGroupQuestion =
    "该操作会删除分组,分组下的设备及对应的数据不会被删除，但设备会从分组中移动到线路下，确定删除？";
inline constexpr const char* kGroupDeleted = "成功删除分组！";
inline constexpr const char* kGroupNotDeleted = "未成功删除分组！";

class TreeSurface {
public:
    virtual ~TreeSurface() = default;
    virtual void removeNode(unsigned data) = 0;
    // A new device node last under the line node, which is then expanded.
    virtual void addDeviceUnderLine(int lineid, unsigned data, const std::string& name) = 0;
    // A new node last under the parent node, which is then expanded; the new
    // node becomes the selected one.
    virtual void insertNode(unsigned parentData, unsigned data, const std::string& name) = 0;
    // The status view with all devices / with the current scope.
    virtual void refillAll() = 0;
    virtual void refillCurrent() = 0;
};

// A deleted line's port is closed by the polling thread: the line's
// station-table entry is emptied at once
// (nothing of it is polled or shown any more) and removed only when the
// close has been handled. The close carries the port, and one close is in
// flight at a time, so the deletion's closing flag always belongs to it.
class LineRetirement {
public:
    explicit LineRetirement(devices::Engine& engine) : engine_(engine) {}
    // Empties the line's entry and queues the close of its port.
    void retire(int lineid);
    // The close of the first queued line, for the window to follow; nullopt
    // when none is queued. No time-out: the close waits behind a scan pass,
    // which may take minutes on a long line, and removing the entry before
    // it ran would leave the port open.
    std::optional<platform::ResultFollower::Request> nextClose();
    // The first queued close was handled, or no polling thread took it (then
    // no port is open): its entry goes.
    void closed();
    bool busy() const { return !pending_.empty(); }

private:
    devices::Engine& engine_;
    std::deque<devices::LineRequest> pending_;  // closes with their ports, UI thread only
};

enum class EditOutcome {
    Cancelled,     // the question was not confirmed
    NoConnection,  // the database refused: nothing changed, no message
    Refused,       // a failure message was shown, nothing (more) changed
    Done,
};

EditOutcome deleteLine(Prompter& prompter, devices::Engine& engine, LineRetirement& retirement, TreeSurface& surface,
                       unsigned nodeData);
EditOutcome deleteDevice(Prompter& prompter, devices::Engine& engine, TreeSurface& surface, unsigned nodeData);
EditOutcome deleteGroup(Prompter& prompter, devices::Engine& engine, TreeSurface& surface, unsigned nodeData);

// A line, group or device was added: its node goes last under its parent
// and is selected, the status view shows the current scope again (a new
// device gets its tile at once) and timer 5 takes the period of the new
// device count.
void nodeAdded(devices::Engine& engine, TreeSurface& surface, unsigned parentData, unsigned data,
               const std::string& name);

// Rename after a label edit. False (the node keeps its old name) for an
// empty name, a device missing from the station table, or a statement that
// did not run.
bool renameNode(devices::Engine& engine, unsigned nodeData, const std::string& name);

}  // namespace tovanix::app
