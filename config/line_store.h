// The statements of the line dialogs. Each operation runs on a connection of
// its own, after the line table's creation statement.
#pragma once

#include <string>

#include "db/allocation.h"
#include "db/store.h"

namespace tovanix::config {

struct PortCheck {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool held = false;  // a live line other than `exceptLineid` uses the port
};
// Whether a live line row other than exceptLineid (0: none) uses the port.
PortCheck portHeldByLiveLine(int port, int exceptLineid = 0);

struct LineAdd {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    db::Allocation allocation;  // InUse when the port was taken meanwhile
};
// Revives a deleted line row with its lineid, or inserts lineid = live lines + 1.
LineAdd addLineRow(const db::LineSettings& line);

struct StoredLine {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool found = false;
    db::LineSettings settings;
};
StoredLine loadLineRow(int lineid);

// Port, wired flag and the disabled fields of one line row.
db::StoreResult updateLineRow(int lineid, const db::LineSettings& line);

}  // namespace tovanix::config
