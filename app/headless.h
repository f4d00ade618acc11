// The station without a window: reads the account, loads the configuration,
// runs the engine until SIGINT or SIGTERM, closes the ports and ends.
#pragma once

namespace tovanix {

// Returns the process exit status. SIGINT and SIGTERM must be blocked in the
// calling thread before any thread starts (main does it first).
int runHeadless();

}  // namespace tovanix
