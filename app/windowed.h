// The station with its window: refuses a second instance, attaches the
// skin, obtains the database account (asking for it when the station has
// none), lets the operator log in and runs the main window until the exit.
#pragma once

namespace tovanix::app {

// Returns the process exit status. SIGINT and SIGTERM must be blocked in the
// calling thread before any thread starts: they end the station in order
// (without the exit question), as a session that ends does.
int runWindowed(int argc, char** argv);

}  // namespace tovanix::app
