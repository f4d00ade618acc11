// The one convention of the stores: a store function runs its statements on
// a connection of its own and says how it went; the dialog logic above it
// decides what to show.
#pragma once

#include "db/connection.h"

namespace tovanix::db {

enum class StoreResult {
    ConnectFailed,  // the server could not be reached or refused the account
    Failed,         // a statement failed (or changed nothing where it must)
    Done,
};

// Opens a connection, runs `work` on it (true when its statements did what
// they must) and closes the connection on every path.
template <typename Work>
StoreResult onOwnConnection(Work&& work) {
    Connection c;
    if (!c.open()) return StoreResult::ConnectFailed;
    return work(c) ? StoreResult::Done : StoreResult::Failed;
}

}  // namespace tovanix::db
